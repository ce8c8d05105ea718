#include "run_log_reader.hpp"

#include "platform/text.hpp"

#include <cmath>
#include <optional>
#include <regex>

namespace {

const std::string kNumber = R"((-?\d+\.\d+))";
const std::string kTime = R"(([0-2]\d:[0-5]\d:[0-5]\d))";

const std::regex& header_pattern() {
    static const std::regex r(
        R"(Trelwick system started  \d\d-\d\d-\d\d\d\d at: [0-2]\d:[0-5]\d:[0-5]\d\n\*+\n)"
        // The first entry names the stage the log is of.
        R"(( \n Trelwick - (simulated stage|instruments on COM\d+, COM\d+, GPIB \d+:\d+) \n )?)");
    return r;
}

struct Pattern {
    RunLogEntry::Kind kind;
    std::regex regex;
    int time_group; // 0 when the entry has no time
    int title_group;
    int first_number; // groups from here to the end are numbers
};

const std::vector<Pattern>& patterns() {
    static const std::vector<Pattern> all = {
        {RunLogEntry::Coordinates,
         std::regex(" \n " + kTime +
                    " \\* (Initial position coordinates|Final coordinates|Final device "
                    "coordinates|Initial device coordinates) \\* X = " +
                    kNumber + " Y = " + kNumber + " Roll = " + kNumber + " Pitch = " + kNumber +
                    " Yaw = " + kNumber + "\n \n "),
         1, 2, 3},
        {RunLogEntry::Event,
         std::regex(" \n " + kTime +
                    " \\* (Cams moved to zero position|Cams moved to home position|All gages "
                    "set to zero)\n \n "),
         1, 2, 0},
        {RunLogEntry::Initialised,
         std::regex(" \n METER: HP34970 \t MOTOR DRIVER:  CM6K6 \t GAGE: EV16P \t Initialized OK "
                    "\n "),
         0, 0, 0},
        // A measured point; the temperature column is written apart and may be missing.
        {RunLogEntry::BenchPoint,
         std::regex(
             " \n" + kTime +
             R"( ([ \d-]{5}\d) ([ -]*\d+\.\d{7}) ([ -]*\d+\.\d{6}) ([ -]*\d+\.\d{3})(?:   0\.0)?(?= \n|$))"),
         1, 0, 3},
        {RunLogEntry::BenchStep, std::regex(R"( \n ([ -]*\d+\.\d{7}) ([ -]*\d+\.\d{7})(?= \n|$))"),
         0, 0, 1},
    };
    return all;
}

bool finite_number(const std::string& text, double& value) {
    std::size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos)
        return false;
    const std::string_view digits = std::string_view(text).substr(at);
    std::size_t used = 0;
    const std::optional<double> parsed = parse_double_prefix(digits, &used);
    if (!parsed || used != digits.size())
        return false;
    value = *parsed;
    return std::isfinite(value);
}

} // namespace

RunLogReading read_run_log(const std::string& text) {
    RunLogReading out;
    std::smatch m;
    if (!std::regex_search(text, m, header_pattern(), std::regex_constants::match_continuous)) {
        out.error = "header";
        return out;
    }
    out.header_ok = true;
    std::size_t at = static_cast<std::size_t>(m.length(0));
    while (at < text.size()) {
        bool matched = false;
        for (const Pattern& p : patterns()) {
            std::smatch e;
            if (!std::regex_search(text.cbegin() + static_cast<std::ptrdiff_t>(at), text.cend(), e,
                                   p.regex, std::regex_constants::match_continuous))
                continue;
            RunLogEntry entry{p.kind, {}, {}, {}};
            if (p.time_group > 0)
                entry.time = e[p.time_group];
            if (p.title_group > 0)
                entry.title = e[p.title_group];
            for (std::size_t g = static_cast<std::size_t>(p.first_number);
                 p.first_number > 0 && g < e.size(); ++g) {
                double value = 0.0;
                if (!finite_number(e[g], value)) {
                    out.error = "number [" + e[g].str() + "] at byte " + std::to_string(at);
                    return out;
                }
                entry.numbers.push_back(value);
            }
            out.entries.push_back(std::move(entry));
            at += static_cast<std::size_t>(e.length(0));
            matched = true;
            break;
        }
        if (!matched) {
            out.consumed = at;
            out.error =
                "no entry at byte " + std::to_string(at) + ": [" + text.substr(at, 120) + "]";
            return out;
        }
    }
    out.consumed = at;
    return out;
}
