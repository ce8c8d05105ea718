#include "sim_options.hpp"

#include "platform/text.hpp"
#include "sim/bench_description.hpp"
#include "sim/sim_control.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>

const char* const kSimToolUsage =
    "Usage: trelwick-sim [option]...\n"
    "Serves the simulated stage: the CM6K6 and the EV-16P on pseudo-terminals, the HP34970\n"
    "on a TCP port. Prints the environment lines that point trelwick at it, then runs until\n"
    "interrupted.\n"
    "\n"
    "Options:\n"
    "  --port N                TCP port of the HP34970 (default: any free port)\n"
    "  --speed N               run the stage N times as fast (0 < N <= 1000)\n"
    "  --control PATH          Unix socket of the control interface (default: one in\n"
    "                          $XDG_RUNTIME_DIR or /tmp); one command a line, 'help' lists them\n"
    "  --history N             commands each instrument remembers (default 64)\n"
    "Bench:\n"
    "  --bench FILE            the bench's description (signs, scales, eccentricities, wiring)\n"
    "  --gauge-wiring c1,c2,c3,c4,c5  counter channel of each cam's gauge, 0 none (1,1,1,2,2)\n"
    "  --gauge-noise UM        gauge noise, micrometres (0.3)\n"
    "  --start-angles a,b,c,d,e  cam angles at start, radians\n"
    "  -h, --help              print this help and exit\n"
    "  --version               print the version and exit\n"
    "Faults (each also a control command; see --list-scenarios for whole situations):\n"
    "  --cm6k6-reply=silent|garbled|truncated   spoil every controller reply\n"
    "  --cm6k6-error-status    TCMDER reports a drive fault\n"
    "  --short-axis=K:REVS     axis K stops REVS revolutions short of every move\n"
    "  --endless-axis=K        axis K never reports the end of its motion\n"
    "  --ev16p-reply=silent|garbled|truncated   spoil every counter reply\n"
    "  --ev16p-out-of-hold     the counter is not in HOLD state\n"
    "  --hp-reply=silent|garbled|truncated      spoil every HP34970 reply\n"
    "  --hp-errors=N           N entries in the HP34970 error queue at start\n"
    "  --stuck-relay=CH:open|closed   relay CH (201..220) stuck\n"
    "  --reference-lost        the potentiometer reference reads microvolts\n"
    "  --scenario NAME         set up a named situation (repeatable)\n"
    "  --list-scenarios        list the scenarios, one a line\n";

namespace {

template <typename T> bool number(std::string_view text, T& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool reply_fault(std::string_view text, ReplyFault& out) {
    if (text == "silent")
        out = ReplyFault::silent;
    else if (text == "garbled")
        out = ReplyFault::garbled;
    else if (text == "truncated")
        out = ReplyFault::truncated;
    else
        return false;
    return true;
}

} // namespace

std::optional<SimToolOptions> parse_sim_options(const std::vector<std::string>& args,
                                                std::string& error) {
    SimToolOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
        } else if ((arg == "--port" || arg == "--speed" || arg == "--start-angles" ||
                    arg == "--control" || arg == "--history" || arg == "--bench" ||
                    arg == "--gauge-wiring" || arg == "--gauge-noise" || arg == "--scenario") &&
                   i + 1 < args.size()) {
            value = args[++i];
        }
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--list-scenarios") {
            o.list_scenarios = true;
        } else if (arg == "--control") {
            ok = !value.empty() && value.size() < 100; // a Unix socket's path is short
            o.control_path = value;
        } else if (arg == "--history") {
            ok = number(value, o.history) && o.history <= 10000000;
        } else if (arg == "--bench") {
            ok = !value.empty();
            o.bench_file = value;
        } else if (arg == "--gauge-wiring") {
            o.gauge_wiring = parse_gauge_wiring(value);
            ok = o.gauge_wiring.has_value();
        } else if (arg == "--gauge-noise") {
            double um = 0.0;
            ok = number(value, um) && std::isfinite(um) && um >= 0.0 && um <= 1e6;
            o.gauge_noise_um = um;
        } else if (arg == "--scenario") {
            ok = find_sim_scenario(value) != nullptr;
            o.scenarios.push_back(value);
        } else if (arg == "--port") {
            ok = number(value, o.tcp_port) && o.tcp_port >= 0 && o.tcp_port <= 65535;
        } else if (arg == "--speed") {
            ok = number(value, o.speed) && std::isfinite(o.speed) && o.speed > 0.0 &&
                 o.speed <= 1000.0;
        } else if (arg == "--start-angles") {
            std::array<double, kSimCams> angles{};
            std::size_t start = 0;
            for (int k = 0; k < kSimCams && ok; ++k) {
                const std::size_t comma = value.find(',', start);
                const bool last = k == kSimCams - 1;
                ok = (comma == std::string::npos) == last &&
                     number(std::string_view(value).substr(start, last ? std::string::npos
                                                                       : comma - start),
                            angles[k]) &&
                     std::isfinite(angles[k]);
                start = comma + 1;
            }
            o.start_angles = angles;
        } else if (arg == "--cm6k6-reply") {
            ok = reply_fault(value, o.cm6k6.reply);
        } else if (arg == "--cm6k6-error-status") {
            o.cm6k6.error_status = true;
        } else if (arg == "--ev16p-reply") {
            ok = reply_fault(value, o.ev16p.reply);
        } else if (arg == "--ev16p-out-of-hold") {
            o.ev16p.out_of_hold = true;
        } else if (arg == "--hp-reply") {
            ok = reply_fault(value, o.hp34970.reply);
        } else if (arg == "--hp-errors") {
            ok = number(value, o.hp_errors) && o.hp_errors >= 0 && o.hp_errors <= 20;
        } else if (arg == "--short-axis") {
            const auto colon = value.find(':');
            int axis = 0;
            double revs = 0.0;
            ok = colon != std::string::npos &&
                 number(std::string_view(value).substr(0, colon), axis) && axis >= 1 &&
                 axis <= kSimAxes && number(std::string_view(value).substr(colon + 1), revs) &&
                 std::isfinite(revs) && revs > 0.0;
            if (ok)
                o.stage.shortfall_revs[axis - 1] = revs;
        } else if (arg == "--endless-axis") {
            int axis = 0;
            ok = number(value, axis) && axis >= 1 && axis <= kSimAxes;
            if (ok)
                o.stage.motion_never_ends[axis - 1] = true;
        } else if (arg == "--stuck-relay") {
            const auto colon = value.find(':');
            int channel = 0;
            const std::string state = colon == std::string::npos ? "" : value.substr(colon + 1);
            ok = colon != std::string::npos &&
                 number(std::string_view(value).substr(0, colon), channel) && channel >= 201 &&
                 channel <= 220 && (state == "open" || state == "closed");
            if (ok)
                o.stage.stuck_relays[channel] = state == "closed";
        } else if (arg == "--reference-lost") {
            o.stage.reference_lost = true;
        } else {
            error = "unknown option " + args[i];
            return std::nullopt;
        }
        if (!ok) {
            error = "bad value for " + arg + ": \"" + value + "\"";
            return std::nullopt;
        }
    }
    return o;
}

std::optional<StageModelConfig> sim_bench_config(const SimToolOptions& o, std::string& error) {
    StageModelConfig config = stage_model_bench_config();
    if (!o.bench_file.empty()) {
        std::ifstream in(o.bench_file, std::ios::binary);
        if (!in.is_open()) {
            error = "cannot open the bench description " + o.bench_file;
            return std::nullopt;
        }
        // One byte past the longest description it takes, so a longer one is refused.
        std::string text(64 * 1024 + 1, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        if (in.bad()) {
            error = "cannot read the bench description " + o.bench_file;
            return std::nullopt;
        }
        text.resize(static_cast<std::size_t>(in.gcount()));
        const auto read = parse_bench_description(text, config, error);
        if (!read)
            return std::nullopt;
        config = *read;
    }
    if (o.gauge_wiring)
        config.gauge_of_cam = *o.gauge_wiring;
    if (o.gauge_noise_um)
        config.gauge_noise.fill(*o.gauge_noise_um / 1000.0);
    if (o.start_angles)
        config.start_angle = *o.start_angles;
    const double slower = std::min(1.0, o.speed);
    config.drive_ready_seconds *= slower;
    config.relay_settle_seconds *= slower;
    config.pot_settle_seconds *= slower;
    return config;
}

double sim_reset_seconds(double speed) {
    return kCm6k6ResetBusySeconds * std::min(1.0, speed);
}

bool apply_sim_faults(const SimToolOptions& o, SimStage& stage, double now, std::string& error) {
    stage.cm6k6().faults() = o.cm6k6;
    stage.ev16p().faults() = o.ev16p;
    stage.hp34970().faults() = o.hp34970;
    for (int i = 0; i < o.hp_errors; ++i)
        stage.hp34970().push_error(-310, "System error");
    stage.model().faults() = o.stage;
    stage.model().apply_faults(now);
    for (const std::string& name : o.scenarios) {
        const std::string reply = sim_control(stage, "scenario " + name, now);
        if (reply != "ok") {
            error = "scenario " + name + ": " + reply;
            return false;
        }
    }
    return true;
}

std::string sim_scenario_list() {
    std::string out;
    for (const SimScenario& s : sim_scenarios())
        out += strfmt("%-24s %s\n", std::string(s.name).c_str(), std::string(s.summary).c_str());
    return out;
}
