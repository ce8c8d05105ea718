// The controller's side of the line: the command buffer with its holds, the reset's
// deafness, and the order in which bytes and buffered commands are taken. The bytes
// themselves come and go through the shared serial line.
#include "serial_line.hpp"
#include "sim/cm6k6_sim.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kReplyLatency = 0.001; // seconds from a command to the start of its reply

SerialLineFormat controller_line() {
    SerialLineFormat f;
    f.baud = 9600;
    f.data_bits = 8;
    f.stop_bits = 1;
    f.terminators = std::string_view("\r\n:", 3);
    f.line_limit = 256;
    f.input_limit = 4096;
    f.output_limit = 4096;
    f.paced_output = true; // a reply takes its byte times, as on the wire
    return f;
}

} // namespace

// A reply leaves once its command has run, one byte time after the other: commands that a
// WAIT held run together when it ends, and their replies follow one another on the line,
// so that the last may still be arriving when the program flushes its input queue.
Cm6k6Sim::Cm6k6Sim(StageModel& model)
    : model_(model), line_(std::make_unique<SerialLine>(controller_line())) {
    power_on(0.0);
}

Cm6k6Sim::~Cm6k6Sim() = default;

void Cm6k6Sim::power_on(double now) {
    reset(now);
    busy_until_ = now;
    dies_at_ = kSimNever;
    dead_ = false;
    line_->reset(now);
    line_->set_echo(true);
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
        axes_[axis - 1].offset = -model_.commanded_revs(axis, time);
        axes_[axis - 1].encoder_offset = -model_.motor_revs(axis, time);
    }
    line_->set_echo(true);
    scaling_ = false;
    continue_while_moving_ = false;
    error_.clear();
    queue_.clear();
    hold_.reset();
    line_->output().clear();
    busy_until_ = time + reset_seconds_;
    last_run_ = time;
}

void Cm6k6Sim::die(double time) {
    for (int axis = 1; axis <= kSimAxes; ++axis)
        model_.stop_motion(axis, time);
    queue_.clear();
    hold_.reset();
    line_->output().clear();
}

bool Cm6k6Sim::echo() const {
    return line_->echo();
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
    line_->configure(settings);
}

void Cm6k6Sim::receive(std::string_view bytes, double now) {
    sync(now);
    line_->receive(bytes, now);
    sync(now);
}

void Cm6k6Sim::discard_unsent(double now) {
    sync(now);
    line_->discard_unsent(now);
}

double Cm6k6Sim::sent_by(double now) {
    return line_->sent_by(now);
}

double Cm6k6Sim::output_ready_at(double now) {
    sync(now);
    if (!line_->output().empty())
        return line_->output().next_ready();
    return next_event();
}

std::string Cm6k6Sim::take_output(double now, std::size_t max) {
    sync(now);
    return line_->output().take(now, max);
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

double Cm6k6Sim::next_event() const {
    return std::min({line_->next_arrival(), next_command(), dies_at_});
}

double Cm6k6Sim::next_command() const {
    if (queue_.empty())
        return kSimNever;
    return std::max({queue_.front().time, hold_release(), last_run_});
}

bool Cm6k6Sim::step(double now) {
    const double byte = line_->next_arrival();
    const double command = next_command();
    const double death = dies_at_;
    const double first = std::min({byte, command, death});
    if (first > now)
        return false;
    if (death <= first) {
        die(death);
        dies_at_ = kSimNever;
        dead_ = true; // from now on: power-on brings it back
    } else if (byte <= command) {
        take_byte(byte);
    } else {
        const std::string text = std::move(queue_.front().command);
        queue_.pop_front();
        hold_.reset(); // the hold is over, or there was none
        last_run_ = command;
        run(text, command);
    }
    return true;
}

void Cm6k6Sim::advance(double now) {
    while (step(now)) {
    }
}

void Cm6k6Sim::take_byte(double time) {
    const bool deaf = time < busy_until_ || dead_;
    auto taken = line_->take_byte(deaf);
    if (line_->take_overflow())
        error_ = "BUFFER OVERFLOW";
    if (!taken)
        return;
    std::string command = std::move(taken->second);
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
    history_.add(time, command);
    if (!execute(command, time))
        fail(command);
    if (on_command)
        on_command(command, time);
}

void Cm6k6Sim::reply(double time, const std::string& text) {
    if (dead_)
        return;
    const ReplyFault fault = next_reply_fault(faults_.once, faults_.reply);
    line_->send(time + kReplyLatency + reply_lateness(faults_.late_seconds),
                reply_with_fault(text, "\r", fault));
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
    return (model_.commanded_revs(axis, now) + axes_[axis - 1].offset) / revs_per_unit(axis);
}

double Cm6k6Sim::encoder_units(int axis, double now) const {
    if (axis < 1 || axis > kSimAxes)
        return 0.0;
    return (model_.motor_revs(axis, now) + axes_[axis - 1].encoder_offset) / revs_per_unit(axis);
}
