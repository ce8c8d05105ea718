// The Stop state: every change under one lock.
#include "platform/stop_state.hpp"

std::uint64_t StopState::post() {
    const std::lock_guard lock(mutex_);
    return ++posted_;
}

StopState::Press StopState::request() {
    const std::lock_guard lock(mutex_);
    Press press;
    marked_ = posted_;
    press.marked = marked_;
    if (depth_ > 0 && !stop_) {
        stop_ = true;
        press.stopped = generation_;
    }
    return press;
}

StopState::Opened StopState::open(std::uint64_t ticket) {
    const std::lock_guard lock(mutex_);
    Opened opened;
    opened.outermost = depth_ == 0;
    if (opened.outermost)
        ++generation_;
    ++depth_;
    // An action the operator stopped while it waited in the queue, or while it started.
    if (ticket != 0 && ticket <= marked_)
        stop_ = true;
    opened.generation = generation_;
    opened.stopped = stop_;
    return opened;
}

bool StopState::close() {
    const std::lock_guard lock(mutex_);
    const bool stopped = stop_;
    if (depth_ > 0 && --depth_ == 0)
        stop_ = false;
    return stopped;
}

bool StopState::stop_requested() const {
    const std::lock_guard lock(mutex_);
    return stop_;
}

bool StopState::stoppable() const {
    const std::lock_guard lock(mutex_);
    return depth_ > 0;
}

StopState::Now StopState::now() const {
    const std::lock_guard lock(mutex_);
    return depth_ > 0 ? Now{generation_, stop_} : Now{};
}

void StopState::reset() {
    const std::lock_guard lock(mutex_);
    posted_ = marked_ = generation_ = 0;
    depth_ = 0;
    stop_ = false;
}
