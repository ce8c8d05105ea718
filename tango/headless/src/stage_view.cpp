#include "headless/stage_view.hpp"

#include <chrono>
#include <limits>

namespace {

constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

StageFive not_measured() {
    StageFive five;
    five.fill(kNotMeasured);
    return five;
}

} // namespace

const char* stage_state_name(StageState state) {
    switch (state) {
    case StageState::Off:
        return "OFF";
    case StageState::On:
        return "ON";
    case StageState::Moving:
        return "MOVING";
    case StageState::Alarm:
        return "ALARM";
    case StageState::Fault:
        return "FAULT";
    }
    return "UNKNOWN";
}

StageView::StageView() {
    reset_values();
}

void StageView::set_listener(Listener listener) {
    const std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void StageView::notify(const StageChange& change) {
    Listener listener;
    {
        const std::lock_guard lock(mutex_);
        listener = listener_;
    }
    if (listener)
        listener(change);
}

std::string StageView::status_text() const {
    std::string text = status_line_;
    if (!message_.empty()) {
        if (!text.empty())
            text.push_back('\n');
        text.append(message_);
    }
    return text;
}

StageSnapshot StageView::snapshot() const {
    const std::lock_guard lock(mutex_);
    StageSnapshot snapshot = values_;
    snapshot.state = state_;
    snapshot.status = status_text();
    return snapshot;
}

StageState StageView::state() const {
    const std::lock_guard lock(mutex_);
    return state_;
}

bool StageView::change_state(StageState to, std::optional<StageState> expected) {
    {
        const std::lock_guard lock(mutex_);
        if (expected && state_ != *expected)
            return false;
        if (state_ == to)
            return true;
        state_ = to;
    }
    notify({.state = to, .status = false, .coordinate = {}});
    return true;
}

void StageView::set_status_line(std::string text) {
    {
        const std::lock_guard lock(mutex_);
        status_line_ = std::move(text);
    }
    notify({.state = std::nullopt, .status = true, .coordinate = {}});
}

void StageView::set_message(std::string text) {
    {
        const std::lock_guard lock(mutex_);
        message_ = std::move(text);
    }
    notify({.state = std::nullopt, .status = true, .coordinate = {}});
}

void StageView::clear_message() {
    set_message({});
}

void StageView::set_coordinate(int index, double value) {
    if (index < 0 || index >= 5)
        return;
    {
        const std::lock_guard lock(mutex_);
        values_.coordinates[static_cast<std::size_t>(index)] = value;
    }
    StageChange change;
    change.coordinate[static_cast<std::size_t>(index)] = true;
    notify(change);
}

void StageView::set_cam_angle(int index, double radians) {
    const std::lock_guard lock(mutex_);
    if (index >= 0 && index < 5)
        values_.cam_angles[static_cast<std::size_t>(index)] = radians;
}

void StageView::set_gauge(int index, double value) {
    const std::lock_guard lock(mutex_);
    if (index >= 0 && index < 5)
        values_.gauges[static_cast<std::size_t>(index)] = value;
}

void StageView::set_target(const StageFive& target) {
    const std::lock_guard lock(mutex_);
    values_.target = target;
}

void StageView::set_target_one(int index, double value) {
    const std::lock_guard lock(mutex_);
    if (index >= 0 && index < 5)
        values_.target[static_cast<std::size_t>(index)] = value;
}

void StageView::set_temperature(double celsius) {
    const std::lock_guard lock(mutex_);
    values_.temperature = celsius;
}

void StageView::reset_values() {
    {
        const std::lock_guard lock(mutex_);
        values_.coordinates = not_measured();
        values_.cam_angles = not_measured();
        values_.gauges = not_measured();
        values_.target = not_measured();
        values_.temperature = kNotMeasured;
    }
    StageChange change;
    change.coordinate.fill(true);
    notify(change);
}

StageView::Answer StageView::ask(const std::string& question, double timeout_seconds,
                                 const std::function<bool()>& stopped) {
    StageState before;
    {
        const std::lock_guard lock(mutex_);
        before = state_;
        question_waiting_ = true;
        answer_.reset();
        cancelled_ = false;
        values_.question = question;
        message_ = question;
        state_ = StageState::Alarm;
    }
    notify({.state = StageState::Alarm, .status = true, .coordinate = {}});

    Answer answer = Answer::TimedOut;
    StageState after;
    {
        std::unique_lock lock(mutex_);
        const auto wait = std::chrono::duration<double>(timeout_seconds);
        answered_.wait_for(lock, wait, [&] {
            if (!answer_ && !cancelled_ && stopped && stopped())
                cancelled_ = true;
            return answer_.has_value() || cancelled_;
        });
        if (answer_)
            answer = *answer_ ? Answer::Confirmed : Answer::Refused;
        else if (cancelled_)
            answer = Answer::Cancelled;
        question_waiting_ = false;
        values_.question.clear();
        if (state_ == StageState::Alarm)
            state_ = before;
        after = state_;
    }
    notify({.state = after, .status = true, .coordinate = {}});
    return answer;
}

bool StageView::answer(bool confirm) {
    {
        const std::lock_guard lock(mutex_);
        if (!question_waiting_ || answer_.has_value() || cancelled_)
            return false;
        answer_ = confirm;
    }
    answered_.notify_all();
    return true;
}

void StageView::cancel_question() {
    {
        const std::lock_guard lock(mutex_);
        if (!question_waiting_)
            return;
        cancelled_ = true;
    }
    answered_.notify_all();
}
