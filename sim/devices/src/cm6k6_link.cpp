// The controller's side of the line: characters arriving one byte time apart, the echo,
// the command buffer with its holds, and replies leaving at the line's pace.
#include "sim/cm6k6_sim.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr long kBaud = 9600;
constexpr double kReplyLatency = 0.001; // seconds from a command to the start of its reply
constexpr std::size_t kLineLimit = 256; // characters of one command

bool ends_command(char c) {
    return c == '\r' || c == '\n' || c == ':';
}

} // namespace

// A reply leaves whole once its command has run: commands that a WAIT held run together
// when it ends, and their replies are all in the program's input queue by the time it
// flushes it before its next command.
Cm6k6Sim::Cm6k6Sim(StageModel& model)
    : model_(model), per_byte_(serial_seconds_per_byte(kBaud, 8, 1)), out_(0.0) {
    power_on(0.0);
}

void Cm6k6Sim::power_on(double now) {
    reset(now);
    busy_until_ = now;
    input_.clear();
    input_free_at_ = now;
    history_.clear();
}

void Cm6k6Sim::reset(double time) {
    for (int axis = 1; axis <= kSimAxes; ++axis) {
        model_.set_drive(axis, false, time);
        model_.stop_motion(axis, time);
        // The controller takes up its commands from where the motor stands.
        model_.start_motion(axis, MotionProfile::at_rest(time, model_.motor_revs(axis, time)),
                            time);
        axes_[axis - 1] = AxisSettings{};
        axes_[axis - 1].offset = -model_.motor_revs(axis, time);
    }
    echo_ = true;
    scaling_ = false;
    continue_while_moving_ = false;
    error_.clear();
    queue_.clear();
    hold_.reset();
    out_.clear();
    line_.clear();
    busy_until_ = time + kCm6k6ResetBusySeconds;
    last_run_ = time;
}

void Cm6k6Sim::sync(double now) {
    if (sync_)
        sync_(now);
    else
        advance(now);
}

void Cm6k6Sim::configure(const LinkSettings& settings, double now) {
    sync(now);
    // On any other framing every character arrives as noise the controller cannot read.
    line_ok_ = settings.baud == kBaud && settings.data_bits == 8 && settings.stop_bits == 1 &&
               settings.parity == 0;
}

void Cm6k6Sim::receive(std::string_view bytes, double now) {
    sync(now);
    double t = std::max(now, input_free_at_);
    for (const char c : bytes) {
        t += per_byte_;
        input_.emplace_back(t, c);
    }
    input_free_at_ = t;
    sync(now);
}

double Cm6k6Sim::output_ready_at(double now) {
    sync(now);
    if (!out_.empty())
        return out_.next_ready();
    return next_event(now);
}

std::string Cm6k6Sim::take_output(double now, std::size_t max) {
    sync(now);
    return out_.take(now, max);
}

double Cm6k6Sim::hold_release() const {
    if (!hold_)
        return -kSimNever;
    double release = -kSimNever;
    for (int axis = 1; axis <= kSimAxes; ++axis)
        if ((*hold_)[axis - 1] == '0')
            release = std::max(release, model_.motion_end_time(axis));
    return release;
}

double Cm6k6Sim::next_event(double /*now*/) const {
    const double byte = input_.empty() ? kSimNever : input_.front().first;
    return std::min(byte, next_command());
}

double Cm6k6Sim::next_command() const {
    if (queue_.empty())
        return kSimNever;
    return std::max({queue_.front().time, hold_release(), last_run_});
}

void Cm6k6Sim::advance(double now) {
    for (;;) {
        const double byte = input_.empty() ? kSimNever : input_.front().first;
        const double command = next_command();
        if (std::min(byte, command) > now)
            break;
        if (byte <= command) {
            const char c = input_.front().second;
            input_.pop_front();
            take_byte(byte, c);
        } else {
            const std::string text = std::move(queue_.front().command);
            queue_.pop_front();
            hold_.reset(); // the hold is over, or there was none
            last_run_ = command;
            run(text, command);
        }
    }
}

void Cm6k6Sim::take_byte(double time, char byte) {
    if (time < busy_until_ || !line_ok_)
        return;
    if (echo_)
        out_.push(time, std::string(1, byte));
    if (!ends_command(byte)) {
        if (line_.size() < kLineLimit)
            line_ += byte;
        else
            error_ = "COMMAND TOO LONG";
        return;
    }
    std::string command = std::move(line_);
    line_.clear();
    while (!command.empty() && command.front() == ' ')
        command.erase(0, 1);
    while (!command.empty() && command.back() == ' ')
        command.pop_back();
    if (command.empty())
        return;
    if (command.front() == '!') {
        run(command.substr(1), time);
        return;
    }
    if (queue_.size() >= kCm6k6CommandBuffer) {
        fail("BUFFER OVERFLOW");
        return;
    }
    queue_.push_back({time, std::move(command)});
}

void Cm6k6Sim::run(const std::string& command, double time) {
    history_.emplace_back(time, command);
    if (!execute(command, time))
        fail(command);
    if (on_command)
        on_command(command, time);
}

void Cm6k6Sim::reply(double time, const std::string& text) {
    out_.push(time + kReplyLatency, reply_with_fault(text, "\r", faults_.reply));
}

void Cm6k6Sim::fail(std::string_view command) {
    error_ = std::string(command);
}

double Cm6k6Sim::revs_per_unit(int axis) const {
    const AxisSettings& s = axes_[axis - 1];
    const double steps = scaling_ ? s.scale_distance : 1.0;
    return steps / static_cast<double>(s.drive_res);
}

double Cm6k6Sim::position_units(int axis, double now) const {
    if (axis < 1 || axis > kSimAxes)
        return 0.0;
    return (model_.motor_revs(axis, now) + axes_[axis - 1].offset) / revs_per_unit(axis);
}
