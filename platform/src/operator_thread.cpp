// The operator thread's action queue and waits, and the stop flag.
#include "platform/operator_thread.hpp"

#include "group_resets.hpp"
#include "platform/stop_state.hpp"

#include <chrono>
#include <cmath>
#include <utility>

namespace {

OperatorThread* g_thread = nullptr;
StopState g_stop;
thread_local int t_interruptible = 0; // StopInterruptible sections open on this thread
// The ticket of the posted action running on this thread (0: none, or not a posted one).
thread_local std::uint64_t t_ticket = 0;

// The front end's stop listener. Called under its lock, so that removing it waits for a
// call in progress.
std::mutex g_listener_mutex;
std::function<void()> g_listener;

// A wait's length as a duration the condition variable takes: at most a day, never
// negative, nothing for a value that is no time.
std::chrono::steady_clock::duration wait_length(double real_seconds) {
    const double s =
        std::isfinite(real_seconds) ? std::fmin(std::fmax(real_seconds, 0.0), 86400.0) : 0.0;
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(s));
}

} // namespace

OperatorThread::OperatorThread() = default;

OperatorThread::~OperatorThread() {
    if (thread_.joinable())
        thread_.join();
}

void OperatorThread::post(std::function<void()> action) {
    {
        // The ticket is taken in the queue's order: a press marks a prefix of the queue.
        const std::lock_guard lock(mutex_);
        queue_.push_back(Posted{g_stop.post(), std::move(action)});
    }
    changed_.notify_all();
}

bool OperatorThread::busy() const {
    const std::lock_guard lock(mutex_);
    return depth_ > 0;
}

bool OperatorThread::finished() const {
    const std::lock_guard lock(mutex_);
    return finished_;
}

void OperatorThread::start(std::function<int()> program, std::function<void()> after) {
    thread_ = std::thread([this, program = std::move(program), after = std::move(after)] {
        {
            const std::lock_guard lock(mutex_);
            id_ = std::this_thread::get_id();
        }
        changed_.notify_all();
        const int result = program();
        {
            const std::lock_guard lock(mutex_);
            result_ = result;
            finished_ = true;
        }
        if (after)
            after();
    });
    // The thread knows itself before anything is posted to it.
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return id_ != std::thread::id{}; });
}

int OperatorThread::join() {
    if (thread_.joinable())
        thread_.join();
    const std::lock_guard lock(mutex_);
    return result_;
}

bool OperatorThread::on_operator_thread() const {
    const std::lock_guard lock(mutex_);
    return id_ == std::this_thread::get_id();
}

bool OperatorThread::take(Posted& action) {
    if (queue_.empty())
        return false;
    action = std::move(queue_.front());
    queue_.pop_front();
    ++depth_;
    return true;
}

void OperatorThread::run_one(Posted& action) {
    // An action run inside another's event processing has its own ticket, and the outer
    // one's again once it has returned.
    const std::uint64_t outer = t_ticket;
    t_ticket = action.ticket;
    action.action();
    action.action = nullptr;
    t_ticket = outer;
    {
        const std::lock_guard lock(mutex_);
        --depth_;
    }
    changed_.notify_all();
}

int OperatorThread::run_actions() {
    std::unique_lock lock(mutex_);
    ++loops_;
    quit_ = false;
    while (!quit_) {
        Posted action;
        if (!take(action)) {
            changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            continue;
        }
        lock.unlock();
        run_one(action);
        lock.lock();
    }
    quit_ = false;
    --loops_;
    return quit_code_;
}

void OperatorThread::quit(int code) {
    {
        const std::lock_guard lock(mutex_);
        // Heard by the innermost loop once the action that asked for it has returned.
        if (loops_ == 0)
            return;
        quit_ = true;
        quit_code_ = code;
    }
    changed_.notify_all();
}

void OperatorThread::process_actions(double real_seconds) {
    std::unique_lock lock(mutex_);
    // Only what is queued now runs: an action that posts another does not keep this going.
    std::size_t pending = queue_.size();
    if (pending == 0 && !g_stop.stop_requested()) {
        changed_.wait_for(lock, wait_length(real_seconds),
                          [this] { return !queue_.empty() || g_stop.stop_requested(); });
        pending = queue_.size() > 0 ? 1 : 0;
    }
    for (; pending > 0; --pending) {
        Posted action;
        if (!take(action))
            break;
        lock.unlock();
        run_one(action);
        lock.lock();
    }
}

void OperatorThread::sleep(double real_seconds) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait_length(real_seconds), [] { return platform_wait_interrupted(); });
}

void OperatorThread::wake() {
    // Taken and released so that a waiter between its check and its wait hears this.
    { const std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

void platform_use_operator_thread(OperatorThread* thread) {
    g_thread = thread;
}

OperatorThread* platform_operator_thread() {
    return g_thread;
}

void platform_request_stop() {
    if (g_stop.request().stopped == 0)
        return; // nothing open, or stopped already: what is queued is marked
    if (OperatorThread* t = g_thread)
        t->wake();
    const std::lock_guard lock(g_listener_mutex);
    if (g_listener)
        g_listener();
}

bool platform_stop_requested() {
    return g_stop.stop_requested();
}

bool platform_stoppable() {
    return g_stop.stoppable();
}

void platform_set_stop_listener(std::function<void()> listener) {
    const std::lock_guard lock(g_listener_mutex);
    g_listener = std::move(listener);
}

StoppableScope::StoppableScope() {
    g_stop.open(t_ticket);
}

StoppableScope::~StoppableScope() {
    g_stop.close();
}

StopInterruptible::StopInterruptible() {
    ++t_interruptible;
}

StopInterruptible::~StopInterruptible() {
    --t_interruptible;
}

bool platform_wait_interrupted() {
    return t_interruptible > 0 && g_stop.stop_requested();
}

void platform_operator_reset() {
    g_thread = nullptr;
    g_stop.reset();
    platform_set_stop_listener({});
}
