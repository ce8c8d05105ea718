// The unit's side of the bus: commands in arrival order, each taking its time, replies
// and the error queue.
#include "sim/hp34970_sim.hpp"

#include "platform/text.hpp"
#include "scpi_text.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCommandSeconds = 0.001;
constexpr double kChannelDelay = 0.002; // automatic channel delay of a scan
constexpr double kLineHertz = 50.0;

} // namespace

Hp34970Sim::Hp34970Sim(StageModel& model) : model_(model), out_(0.0) {
    power_on(0.0);
}

void Hp34970Sim::power_on(double now) {
    reset_settings(now);
    errors_.clear();
    line_.clear();
    queue_.clear();
    queued_bytes_ = 0;
    out_.clear();
    free_at_ = now;
    history_.clear();
}

void Hp34970Sim::reset_settings(double time) {
    channels_.clear();
    for (int c = 101; c <= 120; ++c)
        channels_[c] = Channel{};
    closed_.clear();
    scan_.clear();
    format_alarm_ = format_channel_ = format_time_ = false;
    format_unit_ = true;
    trigger_count_ = 1;
    for (int c = 201; c <= 220; ++c)
        model_.set_relay(c, false, time);
}

void Hp34970Sim::push_error(int code, std::string_view text) {
    if (errors_.size() >= kHp34970ErrorQueue) {
        errors_.back() = {-350, "Queue overflow"};
        return;
    }
    errors_.emplace_back(code, std::string(text));
}

void Hp34970Sim::sync(double now) {
    if (sync_)
        sync_(now);
    else
        advance(now);
}

void Hp34970Sim::configure(const LinkSettings& /*settings*/, double now) {
    sync(now);
}

void Hp34970Sim::receive(std::string_view bytes, double now) {
    sync(now);
    for (const char c : bytes) {
        if (c != '\n') {
            if (line_.size() < kHp34970InputBuffer)
                line_ += c;
            else
                overrun_ = true;
            continue;
        }
        for (auto& command : scpi_commands(line_)) {
            if (command.find_first_not_of(" \t\r") == std::string::npos)
                continue;
            if (overrun_ || queued_bytes_ + command.size() > kHp34970InputBuffer) {
                overrun_ = true; // the unit is full: the rest of the line is lost
                continue;
            }
            queued_bytes_ += command.size();
            queue_.push_back({now, std::move(command)});
        }
        if (overrun_)
            push_error(-363, "Input buffer overrun");
        overrun_ = false;
        line_.clear();
    }
    sync(now);
}

double Hp34970Sim::output_ready_at(double now) {
    sync(now);
    if (!out_.empty())
        return out_.next_ready();
    return queue_.empty() ? kLinkNever : std::max(queue_.front().time, free_at_);
}

std::string Hp34970Sim::take_output(double now, std::size_t max) {
    sync(now);
    return out_.take(now, max);
}

void Hp34970Sim::device_clear(double now) {
    sync(now);
    line_.clear();
    overrun_ = false;
    queue_.clear();
    queued_bytes_ = 0;
    out_.clear();
    free_at_ = now;
}

int Hp34970Sim::serial_poll(double now) {
    sync(now);
    int status = 0;
    if (!errors_.empty())
        status |= 0x04; // error queue not empty
    if (!out_.empty() && out_.next_ready() <= now)
        status |= 0x10; // message available
    return status;
}

double Hp34970Sim::next_event() const {
    return queue_.empty() ? kLinkNever : std::max(queue_.front().time, free_at_);
}

bool Hp34970Sim::step(double now) {
    const double start = next_event();
    if (start > now)
        return false;
    const std::string command = std::move(queue_.front().command);
    queue_.pop_front();
    queued_bytes_ -= std::min(queued_bytes_, command.size());
    run(command, start);
    return true;
}

void Hp34970Sim::advance(double now) {
    while (step(now)) {
    }
}

void Hp34970Sim::run(const std::string& command, double time) {
    history_.add(time, command);
    if (!out_.empty()) {
        out_.clear();
        push_error(-410, "Query INTERRUPTED");
    }
    free_at_ = time + execute(command, time);
}

void Hp34970Sim::reply(double time, const std::string& text) {
    out_.push(time, reply_with_fault(text, "\n", next_reply_fault(faults_.once, faults_.reply)));
}

std::string Hp34970Sim::reading_text(int channel, double start, double seconds, double time) {
    const Channel& ch = channels_[channel];
    double value = 0.0;
    std::string unit;
    switch (ch.function) {
    case 'v':
        // The meter integrates over its window: a wiper still settling reads its mean.
        value = model_.channel_volts(channel, start, seconds);
        unit = "VDC";
        break;
    case 'r':
    case '4':
        // The pots are 10 kOhm tracks; nothing else is wired for resistance.
        value = channel >= 101 && channel <= 105 ? model_.read_volts(1.0e4) : 9.9e37;
        unit = "OHM";
        break;
    default: {
        if (channel == kSimTemperatureChannel && model_.faults().thermocouple_open) {
            value = 9.9e37; // the unit's overload reading
            unit = std::string(1, ch.temp_unit);
            break;
        }
        double celsius = channel == kSimTemperatureChannel ? model_.temperature(time)
                                                           : model_.config().temperature_mean;
        value = ch.temp_unit == 'F'   ? celsius * 9.0 / 5.0 + 32.0
                : ch.temp_unit == 'K' ? celsius + 273.15
                                      : celsius;
        unit = std::string(1, ch.temp_unit);
        break;
    }
    }
    std::string text = strfmt("%+.8E", value);
    if (format_unit_)
        text += " " + unit;
    if (format_time_)
        text += strfmt(",%+.3E", 0.0);
    if (format_channel_)
        text += strfmt(",%d", channel);
    if (format_alarm_)
        text += ",0";
    return text;
}

double Hp34970Sim::read_scan(double time) {
    if (scan_.empty()) {
        push_error(-221, "Settings conflict");
        return kCommandSeconds;
    }
    // The unit scans its list in ascending channel order, whatever order it was given.
    std::vector<int> order = scan_;
    std::sort(order.begin(), order.end());
    double t = time;
    std::string text;
    for (int sweep = 0; sweep < trigger_count_; ++sweep) {
        for (const int channel : order) {
            // The channel delay, the input's integration window, then (with autozero) the
            // zero reading that follows it.
            const Channel& ch = channels_[channel];
            const double start = t + kChannelDelay;
            const double integration = ch.nplc / kLineHertz;
            t = start + integration * (ch.autozero ? 2.0 : 1.0);
            if (!text.empty())
                text += ",";
            text += reading_text(channel, start, integration, t);
        }
    }
    reply(t, text);
    return t - time;
}
