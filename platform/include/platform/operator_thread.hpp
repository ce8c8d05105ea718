// The operator thread and the Stop request: how a front end drives the operator program.
//
// The operator program (every callback, every driver call, every wait) runs on a thread
// of its own; a front end (the Qt window, or a headless service) never runs it and never
// blocks on it. How a front end uses it:
//
//   OperatorThread op;
//   platform_use_operator_thread(&op);          // before start(); nullptr when done
//   op.start([] { return WinMain(); },          // the program, on the operator thread
//            [] { /* on the operator thread, after the program returned */ });
//   op.post([=] { cb(panel, ctrl, EVENT_COMMIT, nullptr, 0, 0); });   // an action
//   platform_request_stop();                    // the Stop button: returns at once
//   op.busy(); platform_stoppable(); op.finished();                    // state to show
//   const int status = op.join();               // the program's result
//
// Dispatch: an action posted while no action runs starts at once. One posted while an
// action runs waits until that action calls ProcessSystemEvents or an event-processing
// wait (which run the actions queued, in order, as the one-thread design lets events run
// there), or until it returns. Nothing runs re-entrantly that would not on one thread.
//
// Stop: an operation that may turn a motor opens a StoppableScope. platform_request_stop()
// (any thread) stops the operation open at the press and every one that an action posted
// before the press opens later (it was queued or starting), and nothing posted after it
// (stop_state.hpp: the request and the operation are one state, changed under one lock).
// A stopped operation's waits end at once: the waits of a motion (StopInterruptible) and
// the event-processing waits; the drivers and the operations act on
// platform_stop_requested() at their next wait or poll, and a question it would ask gets
// its safe answer without being shown (panels.hpp). The flag is lowered as the outermost
// scope closes, so one press stops one operation (with what was queued at the press).
//
// Without an operator thread installed (the scripted operator of the tests) the program
// runs on the caller's thread and the stop flag works the same way; nothing is posted
// there, so a press stops the open operation only.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class OperatorThread {
public:
    OperatorThread();
    ~OperatorThread(); // joins the thread if it was started and not joined
    OperatorThread(const OperatorThread&) = delete;
    OperatorThread& operator=(const OperatorThread&) = delete;

    // --- The front end (any thread) ----------------------------------------------------
    // Queues an action for the operator thread.
    void post(std::function<void()> action);
    // True while an action (a callback, with everything it calls) runs.
    bool busy() const;
    // True once the program has returned.
    bool finished() const;

    // --- Life cycle ---------------------------------------------------------------------
    // Runs `program` on a new thread; `after` (may be empty) runs there once it returned.
    void start(std::function<int()> program, std::function<void()> after = {});
    // Waits for the program to return; its result.
    int join();

    // --- The platform, on the operator thread -----------------------------------------
    bool on_operator_thread() const;
    // RunUserInterface: runs actions as they come until quit(); returns quit's code.
    int run_actions();
    void quit(int code);
    // Runs the actions queued now; when there is none, waits up to `real_seconds` (machine
    // time) for one and runs it. A stop request ends the wait.
    void process_actions(double real_seconds);
    // Sleeps `real_seconds` of machine time, running no action; a stop request ends it
    // inside a StopInterruptible.
    void sleep(double real_seconds);
    // Wakes every wait of the operator thread (a stop request).
    void wake();

private:
    struct Posted {
        std::uint64_t ticket = 0; // the Stop state's (stop_state.hpp)
        std::function<void()> action;
    };
    bool take(Posted& action); // with the lock held by the caller
    void run_one(Posted& action);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Posted> queue_;
    std::thread thread_;
    std::thread::id id_;
    int depth_ = 0;     // actions running (nested inside event processing)
    int loops_ = 0;     // run_actions calls running
    bool quit_ = false; // the innermost run_actions is asked to end
    int quit_code_ = 0;
    bool finished_ = false;
    int result_ = 0;
};

// Installs the operator thread RunUserInterface, QuitUserInterface, ProcessSystemEvents,
// Delay and the event-processing waits use when called on it; nullptr removes it.
void platform_use_operator_thread(OperatorThread* thread);
OperatorThread* platform_operator_thread();

// --- Stop --------------------------------------------------------------------------------

// Stops the running operation, and the operations of the actions queued now when they
// start. Any thread; returns at once.
void platform_request_stop();
// True while the open operation is stopped (from the request until it ends). Any thread.
bool platform_stop_requested();
// True while an operation that may turn a motor runs. Any thread.
bool platform_stoppable();

// A front end's hook: `listener` runs each time a request stops the open operation, on
// the thread that made the request, after the flag is raised, so that a front end waiting
// for the operator's answer to a question (which the stopped operation no longer wants)
// ends that wait. It must be quick and must not request a stop itself. Removing it
// (an empty function) waits for a call in progress. One at a time; reset clears it.
void platform_set_stop_listener(std::function<void()> listener);

// Marks an operation that may turn a motor, for as long as it lives (on the thread that
// runs the program). It starts stopped when the action that opens it was posted before a
// press. Nested scopes count as one operation; the outermost one's end lowers the flag.
class StoppableScope {
public:
    StoppableScope();
    ~StoppableScope();
    StoppableScope(const StoppableScope&) = delete;
    StoppableScope& operator=(const StoppableScope&) = delete;
};

// A stretch of the operator thread during which motors may turn (the motion controller's
// driver opens one from a motion's start to the end of its wait). While a stop is
// requested, every wait inside it ends at once (Delay, the links' reads), so the driver
// reaches its next poll without delay. Waits elsewhere run their full length, so that a
// reading taken after the stop is settled as any other.
class StopInterruptible {
public:
    StopInterruptible();
    ~StopInterruptible();
    StopInterruptible(const StopInterruptible&) = delete;
    StopInterruptible& operator=(const StopInterruptible&) = delete;
};
// True on this thread inside a StopInterruptible while a stop is requested.
bool platform_wait_interrupted();

// Returns the Stop state, its listener and the operator thread to their defaults (tests).
void platform_operator_reset();
