// What a front end without a screen knows of the stage: the state of the device, the
// status line and the last message, the values the main panel shows (present coordinates,
// cam angles, gauges), the last target and temperature, and the question waiting for an
// answer. Every member is guarded by one mutex, so the operator thread writes while the
// control system's threads read; a listener hears of every change, outside the lock.
#pragma once

#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

// OFF before bring-up, ON when ready, MOVING while an operation runs, ALARM while a
// question waits for an answer, FAULT when bring-up failed or an instrument was closed.
enum class StageState { Off, On, Moving, Alarm, Fault };

const char* stage_state_name(StageState state);

using StageFive = std::array<double, 5>;

struct StageSnapshot {
    StageState state = StageState::Off;
    std::string status;       // the status line, then the last message on its own line
    StageFive coordinates{};  // X, Y, Roll, Pitch, Yaw; NaN until measured
    StageFive cam_angles{};   // radians from the potentiometer zero
    StageFive gauges{};       // the main panel's five gauges
    StageFive target{};       // the last target moved to
    double temperature = 0.0; // degrees Celsius
    std::string question;     // the question waiting in ALARM, else empty
};

// Which values a change touched; a new state is carried with the change, so that a
// listener that falls behind still hears every state in its order.
struct StageChange {
    std::optional<StageState> state;
    bool status = false;
    std::array<bool, 5> coordinate{};
};

class StageView {
public:
    using Listener = std::function<void(const StageChange&)>;

    StageView();

    // The listener runs on the thread that made the change, never under the view's lock.
    void set_listener(Listener listener);

    StageSnapshot snapshot() const;
    StageState state() const;

    // The state moves only from `expected` (or from any state when none is given); true
    // when it moved.
    bool change_state(StageState to, std::optional<StageState> expected = std::nullopt);

    void set_status_line(std::string text);
    void set_message(std::string text);
    void clear_message();
    void set_coordinate(int index, double value);
    void set_cam_angle(int index, double radians);
    void set_gauge(int index, double value);
    void set_target(const StageFive& target);
    void set_target_one(int index, double value);
    void set_temperature(double celsius);
    // Back to the values of a device never brought up (nothing measured).
    void reset_values();

    // Asks `question`: ALARM with the question in Status until answer(), cancel_question()
    // or `timeout_seconds` (steady clock). The state goes back to what it was.
    enum class Answer { Confirmed, Refused, TimedOut, Cancelled };
    // `stopped` (when given) is asked under the view's lock as the wait begins and at each
    // wake: true cancels the question, so a Stop raised before cancel_question() is not lost.
    Answer ask(const std::string& question, double timeout_seconds,
               const std::function<bool()>& stopped = {});
    // Answers the waiting question; false when none waits.
    bool answer(bool confirm);
    // Ends a waiting question without an answer (a Stop).
    void cancel_question();

private:
    std::string status_text() const;
    void notify(const StageChange& change);

    mutable std::mutex mutex_;
    std::condition_variable answered_;
    Listener listener_;
    StageState state_ = StageState::Off;
    std::string status_line_;
    std::string message_;
    StageSnapshot values_;
    bool question_waiting_ = false;
    std::optional<bool> answer_;
    bool cancelled_ = false;
};
