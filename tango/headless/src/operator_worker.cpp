#include "headless/operator_worker.hpp"

#include <chrono>
#include <future>
#include <memory>

OperatorWorker::~OperatorWorker() {
    finish();
}

void OperatorWorker::start(std::function<void()> first) {
    if (thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        finishing_ = false;
        if (first)
            actions_.push_front(std::move(first));
    }
    thread_ = std::thread([this] { loop(); });
}

void OperatorWorker::post(std::function<void()> action) {
    {
        const std::lock_guard lock(mutex_);
        actions_.push_back(std::move(action));
    }
    queued_.notify_one();
}

bool OperatorWorker::run_and_wait(std::function<void()> action, double timeout_seconds) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ended = done->get_future();
    post([action = std::move(action), done] {
        action();
        done->set_value();
    });
    return ended.wait_for(std::chrono::duration<double>(timeout_seconds)) ==
           std::future_status::ready;
}

void OperatorWorker::finish() {
    {
        const std::lock_guard lock(mutex_);
        finishing_ = true;
        actions_.clear();
    }
    queued_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void OperatorWorker::loop() {
    for (;;) {
        std::function<void()> action;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return finishing_ || !actions_.empty(); });
            if (finishing_)
                return;
            action = std::move(actions_.front());
            actions_.pop_front();
        }
        action();
    }
}
