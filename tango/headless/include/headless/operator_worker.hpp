// The operator thread of a front end without a screen: the one thread on which the
// operator logic runs (callbacks, drivers, waits). The front end queues actions and
// returns at once; actions run one after another in the order queued.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class OperatorWorker {
public:
    OperatorWorker() = default;
    ~OperatorWorker();
    OperatorWorker(const OperatorWorker&) = delete;
    OperatorWorker& operator=(const OperatorWorker&) = delete;

    // Starts the thread; `first` runs on it before any queued action.
    void start(std::function<void()> first = {});
    // Queues an action for the operator thread.
    void post(std::function<void()> action);
    // Runs `action` on the operator thread and waits for it to end, at most
    // `timeout_seconds`; false when it had not ended by then (it still runs later).
    bool run_and_wait(std::function<void()> action, double timeout_seconds);
    // Lets the action in progress end, drops the ones not started, and joins the thread.
    void finish();

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<std::function<void()>> actions_;
    bool finishing_ = false;
    std::thread thread_;
};
