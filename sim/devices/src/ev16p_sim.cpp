#include "sim/ev16p_sim.hpp"

#include "platform/text.hpp"
#include "serial_line.hpp"

#include <algorithm>
#include <cmath>

namespace {

SerialLineFormat counter_line() {
    SerialLineFormat f;
    f.baud = 9600;
    f.data_bits = 7;
    f.stop_bits = 2;
    f.terminators = "\r";
    f.ignored = "\n";
    f.line_limit = 64;
    f.input_limit = 512;
    f.output_limit = 512;
    f.paced_output = true;
    return f;
}

// The channel digit of "XX0n", or 0 when the text is not that shape.
int channel_of(std::string_view command) {
    if (command.size() < 4 || command[2] != '0' || command[3] < '0' || command[3] > '9')
        return 0;
    return command[3] - '0';
}

} // namespace

Ev16pSim::Ev16pSim(StageModel& model)
    : model_(model), line_(std::make_unique<SerialLine>(counter_line())) {
    power_on(0.0);
}

Ev16pSim::~Ev16pSim() = default;

void Ev16pSim::power_on(double now) {
    zero_.fill(0.0);
    line_->reset(now);
    history_.clear();
}

void Ev16pSim::sync(double now) {
    if (sync_)
        sync_(now);
    else
        advance(now);
}

void Ev16pSim::configure(const LinkSettings& settings, double now) {
    sync(now);
    line_->configure(settings);
}

void Ev16pSim::receive(std::string_view bytes, double now) {
    sync(now);
    line_->receive(bytes, now);
    sync(now);
}

void Ev16pSim::discard_unsent(double now) {
    sync(now);
    line_->discard_unsent(now);
}

double Ev16pSim::sent_by(double now) {
    return line_->sent_by(now);
}

double Ev16pSim::output_ready_at(double now) {
    sync(now);
    if (!line_->output().empty())
        return line_->output().next_ready();
    return line_->next_arrival();
}

std::string Ev16pSim::take_output(double now, std::size_t max) {
    sync(now);
    return line_->output().take(now, max);
}

double Ev16pSim::next_event() const {
    return line_->next_arrival();
}

bool Ev16pSim::step(double now) {
    const double time = line_->next_arrival();
    if (time > now)
        return false;
    auto taken = line_->take_byte(false);
    if (line_->take_overflow()) {
        // The command the lost bytes belonged to is spoiled: the counter says so.
        line_->send(time + kEv16pReplyLatency, "ERR\r");
        return true;
    }
    if (taken)
        run(taken->second, taken->first);
    return true;
}

void Ev16pSim::advance(double now) {
    while (step(now)) {
    }
}

double Ev16pSim::value(int channel, double now) const {
    if (channel < 1 || channel > kSimGauges)
        return 0.0;
    return model_.gauge_raw(channel, now) - zero_[channel - 1];
}

const std::vector<Ev16pSim::Command>& Ev16pSim::commands() {
    static const std::vector<Command> table = {
        {"CS", true,
         [](Ev16pSim&, const std::string& c, int, double) {
             return std::string(c == "CS00" ? "CH00" : "ERR");
         }},
        {"CR", true,
         [](Ev16pSim& sim, const std::string& c, int channel, double time) {
             if (c.size() != 4 || channel < 1)
                 return std::string("ERR");
             sim.zero_[channel - 1] = sim.model_.gauge_reading(channel, time);
             return "CH0" + c.substr(3, 1);
         }},
        {"CP", true,
         [](Ev16pSim& sim, const std::string& c, int channel, double time) {
             // "CP0n, +000500.0000": a sign and a number, blanks allowed after the comma.
             if (channel < 1 || c.size() <= 5 || c[4] != ',')
                 return std::string("ERR");
             std::string_view rest = std::string_view(c).substr(5);
             while (!rest.empty() && rest.front() == ' ')
                 rest.remove_prefix(1);
             std::size_t used = 0;
             const auto v = parse_double_prefix(rest, &used);
             if (!v || used != rest.size() || !std::isfinite(*v) || rest.empty() ||
                 (rest[0] != '+' && rest[0] != '-'))
                 return std::string("ERR");
             sim.zero_[channel - 1] = sim.model_.gauge_reading(channel, time) - *v;
             return "CH0" + c.substr(3, 1);
         }},
        {"CK", false,
         [](Ev16pSim& sim, const std::string& c, int channel, double) {
             if (c.size() != 4 || channel < 1)
                 return std::string("ERR");
             const int state = sim.faults_.hold_state >= 0 && sim.faults_.hold_state <= 9
                                   ? sim.faults_.hold_state
                               : sim.faults_.out_of_hold ? 1
                                                         : 0;
             return c + std::to_string(state);
         }},
        {"GA", false,
         [](Ev16pSim& sim, const std::string& c, int channel, double time) {
             if (c.size() != 4 || channel < 1)
                 return std::string("ERR");
             const double shown = sim.model_.gauge_reading(channel, time) - sim.zero_[channel - 1];
             const double v = std::round(shown / kEv16pResolution) * kEv16pResolution;
             if (!(std::fabs(v) <= sim.model_.config().gauge_range))
                 return c + ",OVERFLOW";
             return c + "," + strfmt("%+010.4f", v == 0.0 ? 0.0 : v);
         }},
    };
    return table;
}

void Ev16pSim::run(const std::string& command, double time) {
    history_.add(time, command);
    const std::string_view head = std::string_view(command).substr(0, 2);
    const int channel = channel_of(command);
    const bool in_range = channel >= 1 && channel <= kSimGauges;
    std::string text = "ERR";
    for (const Command& entry : commands()) {
        if (entry.head != head)
            continue;
        // Out of HOLD the front panel has the counter: settings from the line do nothing.
        if (entry.setting && faults_.out_of_hold)
            return;
        text = entry.handler(*this, command, in_range ? channel : 0, time);
        break;
    }
    const ReplyFault fault = next_reply_fault(faults_.once, faults_.reply);
    line_->send(time + kEv16pReplyLatency + reply_lateness(faults_.late_seconds),
                reply_with_fault(text, "\r", fault));
}
