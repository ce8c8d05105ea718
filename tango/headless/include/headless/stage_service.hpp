// The stage as a service: the commands of a control system turned into the main panel's
// operations, run by the same callbacks on the operator thread, with the state machine
// OFF -> ON -> MOVING -> ON (ALARM while a question waits, FAULT when bring-up failed or an
// instrument was closed).
//
// Every command that takes time is checked, queued and answered at once; a command the
// stage cannot take now, or a target the coordinate box would refuse, is refused with the
// reason, and nothing is queued. Reads never wait for an instrument: they give the view's
// last values.
#pragma once

#include "headless/headless_panel.hpp"
#include "headless/stage_view.hpp"
#include "platform/operator_thread.hpp"

#include <functional>
#include <mutex>
#include <span>
#include <string>

inline constexpr const char* kOperationRunningText =
    "An operation is running: only Stop, Confirm and Refuse are taken until it ends";
inline constexpr const char* kNotBroughtUpText =
    "The instruments are not brought up: run BringUp first";
inline constexpr const char* kFiveValuesText = "Give five values: X, Y, Roll, Pitch and Yaw";
inline constexpr const char* kNoQuestionText = "No question is waiting for an answer";

struct CommandResult {
    bool accepted = true;
    std::string refusal; // why not, when not accepted
};

class StageService {
public:
    // The panel must be the installed panel and console backend, and `thread` the
    // installed operator thread running the program (WinMain).
    StageService(StageView& view, HeadlessPanel& panel, OperatorThread& thread);

    CommandResult bring_up();
    CommandResult move(std::span<const double> target);
    CommandResult move_relative(std::span<const double> difference);
    CommandResult home();
    CommandResult read_position();
    CommandResult read_gauges();
    CommandResult zero_gauges();
    // Accepted in every state: as the window's Stop, and a waiting question is refused.
    void stop();
    CommandResult confirm();
    CommandResult refuse();
    // Closes the instruments and goes back to OFF (TANGO's Init): a running operation is
    // stopped and the instruments closed once it has ended. Waits for OFF at most
    // `timeout_seconds`.
    void close_instruments(double timeout_seconds);

    StageSnapshot snapshot() const { return view_.snapshot(); }

private:
    // Takes the stage from ON (or, for bring-up, from OFF, ON or FAULT) to MOVING and queues
    // `operation` with the main panel's handle; refused when the state does not allow it.
    CommandResult begin(bool bring_up, std::function<void(int panel)> operation);
    CommandResult refusal_for(StageState state) const;
    CommandResult move_to(std::span<const double> values, bool relative);
    // Runs on the operator thread when an operation has ended.
    void end_operation();
    // On the operator thread: closes the instruments, forgets what was measured, OFF.
    void close_now();

    StageView& view_;
    HeadlessPanel& panel_;
    OperatorThread& thread_;
    // Taken while an operation is begun or ended, so that a close asked for meanwhile is
    // either queued behind an idle stage or made by the operation's end, never inside it.
    std::mutex mutex_;
    bool close_after_operation_ = false;
};
