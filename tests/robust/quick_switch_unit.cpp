#include "quick_switch_unit.hpp"

#include "platform/text.hpp"

#include <cctype>

namespace {

bool starts_with(const std::string& text, const char* head) {
    return text.rfind(head, 0) == 0;
}

// The channel of a one-channel list "(@nnn)" at the end of a command, or 0.
int single_channel(const std::string& command) {
    const std::size_t at = command.find("(@");
    if (at == std::string::npos)
        return 0;
    const auto n = parse_int_prefix(std::string_view(command).substr(at + 2));
    return n && *n > 0 && *n < 1000 ? static_cast<int>(*n) : 0;
}

} // namespace

void QuickSwitchUnit::receive(std::string_view bytes, double now) {
    in_.append(bytes);
    for (std::size_t end = in_.find('\n'); end != std::string::npos; end = in_.find('\n')) {
        std::string command = in_.substr(0, end);
        in_.erase(0, end + 1);
        for (char& c : command)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        execute(command, now);
    }
}

void QuickSwitchUnit::execute(const std::string& command, double now) {
    sim_.advance(now);
    StageModel& model = sim_.model();
    if (command == "*IDN?") {
        reply(kHp34970Identity);
    } else if (starts_with(command, "SYSTEM:ERROR?") || starts_with(command, "SYST:ERR?")) {
        reply("+0,\"No error\"");
    } else if (starts_with(command, "ROUT:OPEN? ")) {
        reply(model.relay_closed(single_channel(command)) ? "0" : "1");
    } else if (starts_with(command, "ROUT:OPEN ")) {
        model.set_relay(single_channel(command), false, now);
    } else if (starts_with(command, "ROUT:CLOS ")) {
        model.set_relay(single_channel(command), true, now);
    } else if (command == "ROUT:DONE?") {
        reply("1");
    } else if (starts_with(command, "ROUTE:SCAN ")) {
        scan_channel_ = single_channel(command);
    } else if (command == "READ?") {
        const int ch = scan_channel_;
        const double volts = ch >= 101 && ch <= 105 ? model.pot_volts_exact(ch - 100, now)
                             : ch == 110            ? model.reference_volts_exact()
                                                    : 0.0;
        reply(strfmt("%+.8E VDC,%d", volts, ch));
    }
    // Every other command sets up a measurement the answers above do not need.
}

double QuickSwitchUnit::output_ready_at(double now) {
    return out_.empty() ? kLinkNever : now;
}

std::string QuickSwitchUnit::take_output(double /*now*/, std::size_t max) {
    std::string out = out_.substr(0, max);
    out_.erase(0, out.size());
    return out;
}
