// The simulated CM6K6 six-axis motion controller on its RS-232 line (9600 baud, 8N1).
//
// Commands end at a carriage return, line feed or colon. Buffered commands run one after
// the other; WAIT(MOV=b......) and a GO under COMEXC0 hold every later buffered command
// until the axes named have stopped, while immediate commands (leading '!') run as they
// arrive. A command runs once its terminator has arrived (a character takes 1.04 ms); its
// reply starts 1 ms later, takes its byte times on the line and ends with a carriage
// return. "!RESET" leaves the controller deaf for its reset time and turns the echo of
// received characters back on (ECHO0 ends it). A command it does not know, or a value it
// cannot use, sets its error status, which TCMDER reports (the offending command after
// '*') and clears; "*NO ERRORS" otherwise. A full command buffer or receive buffer reports
// "*BUFFER OVERFLOW" the same way and drops what did not fit.
//
// Kill (K) and stop (S) end the named axes' motion at once, whatever fault kept it going,
// and empty the buffer.
//
// Positions: TPC reports the commanded position (where the controller has told the motor
// to be), TPE the encoder (where the motor is), in distance units (after SCALE1: SCLD
// steps) and in encoder counts. A motor that did not turn shows in TPE only.
#pragma once

#include "platform/link.hpp"
#include "sim/command_history.hpp"
#include "sim/stage_model.hpp"
#include "sim/timed_output.hpp"

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

constexpr double kCm6k6ResetBusySeconds = 2.5;
constexpr double kCm6k6SimVelocity = 1.0;        // revolutions per second after a reset
constexpr double kCm6k6SimAcceleration = 10.0;   // revolutions per second squared
constexpr std::size_t kCm6k6CommandBuffer = 256; // buffered commands before overflow

struct Cm6k6Faults {
    ReplyFault reply = ReplyFault::none;
    ReplyFault once = ReplyFault::none; // the next reply only
    // Every reply leaves this many seconds late (beyond a read's time-out, say).
    double late_seconds = 0.0;
    // TCMDER reports this error for as long as it is set.
    bool error_status = false;
    std::string error_text = "DRIVE FAULT";
    // The controller dies this many seconds into its next GO: every axis stops where it
    // is and the controller hears and says nothing until power-on. Negative: never.
    double dies_after_go = -1.0;
    // The controller stops an axis after this many revolutions of its next move, as a
    // limit switch would (its commanded position stops there too). 0: no limit.
    std::array<double, kSimAxes> limit_revs{};
};

class SerialLine;

class Cm6k6Sim : public LinkPeer {
public:
    explicit Cm6k6Sim(StageModel& model);
    ~Cm6k6Sim() override;

    // Power-on state at `now`: the controller as after "!RESET", not busy.
    void power_on(double now);
    Cm6k6Faults& faults() { return faults_; }
    // The time the controller is deaf after "!RESET", seconds of its clock.
    void set_reset_seconds(double seconds) { reset_seconds_ = seconds; }

    // When its next piece of work is due (a byte's arrival, a buffered command).
    double next_event() const;
    // Runs the one piece of work due next, if it is due by `now`; false when none is.
    bool step(double now);
    // Runs everything that is due by `now`.
    void advance(double now);
    // Called before any work at `now` instead of advance(now) alone, so the stage can bring
    // all its instruments up to date first.
    void set_sync(std::function<void(double)> sync) { sync_ = std::move(sync); }
    // Called after each command the controller runs, with its text and time (tests watch
    // the controller with it).
    std::function<void(std::string_view command, double time)> on_command;

    // The last commands the controller ran, oldest first, with the time each ran.
    const std::deque<CommandHistory::Entry>& history() const { return history_.entries(); }
    void clear_history() { history_.clear(); }
    void set_history_limit(std::size_t n) { history_.set_limit(n); }
    bool echo() const;
    bool busy(double now) const { return now < busy_until_; }
    bool dead() const { return dead_; }
    const std::string& error() const { return error_; }
    // Position counter of an axis, distance units: commanded (TPC) or encoder (TPE).
    double position_units(int axis, double now) const;
    double encoder_units(int axis, double now) const;

    void configure(const LinkSettings& settings, double now) override;
    void receive(std::string_view bytes, double now) override;
    void discard_unsent(double now) override;
    double sent_by(double now) override;
    double output_ready_at(double now) override;
    std::string take_output(double now, std::size_t max) override;

    // One command as the table sees it: an axis digit or '@' in front, the word, the rest.
    struct Call {
        int axis = 0;     // 1..6 when the command names one
        bool all = false; // '@': every axis
        std::string word; // upper case
        std::string_view args;
        bool per_axis() const { return axis != 0 || all; }
    };

private:
    struct AxisSettings {
        double distance = 0.0; // D, distance units
        double velocity = kCm6k6SimVelocity;
        double acceleration = kCm6k6SimAcceleration;
        double deceleration = 0.0; // 0: as the acceleration
        double s_accel = 0.0;      // AA, ADA: stored; the profile stays a trapezoid
        double s_decel = 0.0;
        bool absolute = false;   // MA1
        bool continuous = false; // MC1
        long drive_res = 25000;  // DRES, steps per revolution
        long encoder_res = 4000; // ERES, counts per revolution
        double scale_distance = 1.0, scale_velocity = 1.0, scale_accel = 1.0, scale_master = 1.0;
        double follow_num = 1.0, follow_den = 1.0;
        int master = 0; // FOLMAS: master axis, 0 none
        int master_sign = 1;
        bool following = false;      // FOLEN1
        double offset = 0.0;         // commanded position counter minus commanded revolutions
        double encoder_offset = 0.0; // encoder counter minus motor revolutions
    };
    struct Queued {
        double time;
        std::string command;
    };
    using Handler = bool (*)(Cm6k6Sim&, const Call&, double);
    struct Command {
        std::string_view word;
        Handler handler;
    };
    static const std::vector<Command>& commands();

    void sync(double now);
    double hold_release() const;
    double next_command() const; // when the buffer's first command can run
    void take_byte(double now);
    void run(const std::string& command, double time);
    void reply(double time, const std::string& text);
    void fail(std::string_view command);
    void reset(double time);
    void die(double time);
    double revs_per_unit(int axis) const;

    // Command handlers (cm6k6_commands.cpp).
    bool execute(std::string_view command, double time);
    // Per-axis numbers: each value within the controller's own limits, then stored.
    bool set_numbers(const Call& c, double time);
    bool go(const std::array<bool, kSimAxes>& axes, double time);
    void kill(const std::array<bool, kSimAxes>& axes, double time);
    std::string position_text(int axis, double time, bool encoder) const;

    StageModel& model_;
    Cm6k6Faults faults_;
    std::function<void(double)> sync_;
    std::array<AxisSettings, kSimAxes> axes_{};
    bool scaling_ = false;
    bool continue_while_moving_ = false; // COMEXC1
    std::string error_;
    double reset_seconds_ = kCm6k6ResetBusySeconds;
    double busy_until_ = 0.0;
    double dies_at_ = kSimNever; // a death scheduled by the fault
    bool dead_ = false;
    std::unique_ptr<SerialLine> line_;
    std::deque<Queued> queue_;
    double last_run_ = 0.0;                          // when the last buffered command ran
    std::optional<std::array<char, kSimAxes>> hold_; // WAIT(MOV=...) pattern
    CommandHistory history_;
};
