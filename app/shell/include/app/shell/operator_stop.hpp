// Stop: the operator halts the motors of the running operation.
//
// An operation that may turn a motor holds a stoppable_operation while it runs: its
// panel's Stop button is lit and a press reaches the operator thread
// (platform_request_stop). The motion controller's driver then kills the started axes and
// switches the drives off at its next wait or poll and sends nothing more; the operation
// sees operation_stopped(), ends early, and says so with report_operator_stop. The Stop
// button's own callback, operator_stop, runs on the front end's thread and only asks.
#pragma once

#include "platform/operator_thread.hpp"

class stoppable_operation {
public:
    // Lights `stop_control` on `panel`. The outermost operation's end dims it again, with
    // every Stop button that the operations nested in it lit.
    stoppable_operation(int panel, int stop_control);
    ~stoppable_operation();
    stoppable_operation(const stoppable_operation&) = delete;
    stoppable_operation& operator=(const stoppable_operation&) = delete;

private:
    StoppableScope scope_;
};

// True once the operator has asked the running operation to stop.
bool operation_stopped();

// "Stopped by the operator" on the status line and as a run-log entry.
void report_operator_stop(int panel, int status_control);

// The Stop button's callback. Any thread; touches no panel.
int operator_stop(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
