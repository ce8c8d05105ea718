#include "sim/ev16p_sim.hpp"

#include "platform/text.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr long kBaud = 9600;
constexpr std::size_t kLineLimit = 64;

// The channel digit of "XX0n", or 0 when the text is not that shape.
int channel_of(std::string_view command) {
    if (command.size() < 4 || command[2] != '0' || command[3] < '0' || command[3] > '9')
        return 0;
    return command[3] - '0';
}

} // namespace

Ev16pSim::Ev16pSim(StageModel& model)
    : model_(model), per_byte_(serial_seconds_per_byte(kBaud, 7, 2)), out_(per_byte_) {
    power_on(0.0);
}

void Ev16pSim::power_on(double now) {
    zero_.fill(0.0);
    input_.clear();
    input_free_at_ = now;
    line_.clear();
    out_.clear();
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
    line_ok_ = settings.baud == kBaud && settings.data_bits == 7 && settings.stop_bits == 2 &&
               settings.parity == 0;
}

void Ev16pSim::receive(std::string_view bytes, double now) {
    sync(now);
    double t = std::max(now, input_free_at_);
    for (const char c : bytes) {
        t += per_byte_;
        input_.emplace_back(t, static_cast<char>(c & 0x7F));
    }
    input_free_at_ = t;
    sync(now);
}

double Ev16pSim::output_ready_at(double now) {
    sync(now);
    if (!out_.empty())
        return out_.next_ready();
    return input_.empty() ? kLinkNever : input_.front().first;
}

std::string Ev16pSim::take_output(double now, std::size_t max) {
    sync(now);
    return out_.take(now, max);
}

void Ev16pSim::advance(double now) {
    while (!input_.empty() && input_.front().first <= now) {
        const auto [time, c] = input_.front();
        input_.pop_front();
        take_byte(time, c);
    }
}

void Ev16pSim::take_byte(double time, char byte) {
    if (!line_ok_ || byte == '\n')
        return;
    if (byte != '\r') {
        if (line_.size() < kLineLimit)
            line_ += byte;
        return;
    }
    std::string command = std::move(line_);
    line_.clear();
    if (!command.empty())
        run(command, time);
}

double Ev16pSim::value(int channel, double now) const {
    if (channel < 1 || channel > kSimGauges)
        return 0.0;
    return model_.gauge_raw(channel, now) - zero_[channel - 1];
}

void Ev16pSim::run(const std::string& command, double time) {
    history_.emplace_back(time, command);
    const std::string head = command.substr(0, 2);
    const int channel = channel_of(command);
    const bool in_range = channel >= 1 && channel <= kSimGauges;
    // Out of HOLD the front panel has the counter: settings from the line do nothing.
    if (faults_.out_of_hold && (head == "CS" || head == "CR" || head == "CP"))
        return;
    std::string text;
    if (command == "CS00") {
        text = "CH00";
    } else if (head == "CR" && command.size() == 4 && in_range) {
        zero_[channel - 1] = model_.gauge_raw(channel, time);
        text = "CH0" + command.substr(3, 1);
    } else if (head == "CP" && in_range && command.size() > 5 && command[4] == ',') {
        // "CP0n, +000500.0000": a sign and a number, blanks allowed after the comma.
        std::string_view rest = std::string_view(command).substr(5);
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        std::size_t used = 0;
        const auto v = parse_double_prefix(rest, &used);
        if (v && used == rest.size() && std::isfinite(*v) && !rest.empty() &&
            (rest[0] == '+' || rest[0] == '-')) {
            zero_[channel - 1] = model_.gauge_raw(channel, time) - *v;
            text = "CH0" + command.substr(3, 1);
        } else {
            text = "ERR";
        }
    } else if (head == "CK" && command.size() == 4 && in_range) {
        text = command + (faults_.out_of_hold ? "1" : "0");
    } else if (head == "GA" && command.size() == 4 && in_range) {
        const double v = std::round(value(channel, time) / kEv16pResolution) * kEv16pResolution;
        text = command + "," + strfmt("%+010.4f", v == 0.0 ? 0.0 : v);
    } else {
        text = "ERR";
    }
    out_.push(time + kEv16pReplyLatency, reply_with_fault(text, "\r", faults_.reply));
}
