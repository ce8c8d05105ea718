#include "headless/stage_service.hpp"

#include "app/bring_up.hpp"
#include "app/main_operations.hpp"
#include "app/main_panel.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "platform/panels.hpp"
#include "stage/coordinate_exchange.hpp"
#include "testbench/cam_measure.hpp"

#include <chrono>
#include <cstddef>
#include <thread>

namespace {

CommandResult refused(std::string why) {
    return {.accepted = false, .refusal = std::move(why)};
}

void press(CtrlCallbackPtr callback, int panel, int control) {
    callback(panel, control, EVENT_COMMIT, nullptr, 0, 0);
}

} // namespace

StageService::StageService(StageView& view, HeadlessPanel& panel, OperatorThread& thread)
    : view_(view), panel_(panel), thread_(thread) {}

CommandResult StageService::refusal_for(StageState state) const {
    if (state == StageState::Moving || state == StageState::Alarm)
        return refused(kOperationRunningText);
    return refused(kNotBroughtUpText);
}

CommandResult StageService::begin(bool bring_up, std::function<void(int panel)> operation) {
    const std::lock_guard lock(mutex_);
    bool began = view_.change_state(StageState::Moving, StageState::On);
    if (!began && bring_up)
        began = view_.change_state(StageState::Moving, StageState::Off) ||
                view_.change_state(StageState::Moving, StageState::Fault);
    if (!began)
        return refusal_for(view_.state());
    view_.clear_message();
    thread_.post([this, operation = std::move(operation)] {
        operation(main_panel_handle());
        end_operation();
    });
    return {};
}

void StageService::end_operation() {
    {
        const std::lock_guard lock(mutex_);
        if (!close_after_operation_) {
            // The instruments are open when both ids are: a failed bring-up, or an "ERROR"
            // answered No (which closes them), leaves the stage in FAULT until the next
            // bring-up.
            const device_ids& ids = shared_device_ids();
            view_.change_state(ids.hp34970 > 0 && ids.cm6k6 > 0 ? StageState::On
                                                                : StageState::Fault);
            return;
        }
    }
    // Still MOVING, so no operation begins meanwhile. Not under the lock: closing may ask a
    // question, which waits for the control system.
    close_now();
}

void StageService::close_now() {
    cam_move_exit();
    view_.reset_values();
    view_.clear_message();
    const std::lock_guard lock(mutex_);
    close_after_operation_ = false;
    view_.change_state(StageState::Off);
}

CommandResult StageService::bring_up() {
    return begin(true, [](int panel) { press(device_init, panel, MAIN_INIT); });
}

CommandResult StageService::move_to(std::span<const double> values, bool relative) {
    if (values.size() != 5)
        return refused(kFiveValuesText);
    if (const StageState state = view_.state(); state != StageState::On)
        return refusal_for(state);
    // The coordinate box's own check, before anything is queued: a refused target moves
    // nothing and puts nothing on the wire.
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!coordinate_input_within(values[i], coordinate_input_limit(i)))
            return refused(kValueOutOfRangeText);

    StageFive typed{};
    std::copy(values.begin(), values.end(), typed.begin());
    StageFive target = typed;
    if (relative) {
        const StageSnapshot now = view_.snapshot();
        for (std::size_t i = 0; i < target.size(); ++i)
            target[i] += now.coordinates[i];
    }
    return begin(false, [this, typed, target, relative](int panel) {
        view_.set_target(target);
        for (int i = 0; i < 5; ++i)
            panel_.type_value(panel, MAIN_TARGET_X + i, typed[static_cast<std::size_t>(i)]);
        panel_.type_value(panel, MAIN_MOVE_MODE, relative ? 0LL : 1LL);
        press(move_motor, panel, MAIN_MOVE);
    });
}

CommandResult StageService::move(std::span<const double> target) {
    return move_to(target, false);
}

CommandResult StageService::move_relative(std::span<const double> difference) {
    return move_to(difference, true);
}

CommandResult StageService::home() {
    return begin(false, [](int panel) { press(go_home, panel, MAIN_HOME); });
}

CommandResult StageService::read_position() {
    return begin(false, [](int panel) {
        param_structure& param = shared_param();
        const instrument_addresses addresses = shared_addresses();
        update_status_line(panel, MAIN_STATUS, "Reading position");
        cam_move_get_coordinates(panel, param, addresses, coord_ctrls);
        cam_move_set_coordinates(panel, coord_ctrls, param);
        double celsius = 0.0;
        cam_test_get_temp(&celsius, addresses);
        update_status_line(panel, MAIN_STATUS, "Done");
    });
}

CommandResult StageService::read_gauges() {
    return begin(false, [](int panel) {
        for (int control = MAIN_READ_GAGE_1; control <= MAIN_READ_GAGE_5; ++control)
            press(read_gage, panel, control);
    });
}

CommandResult StageService::zero_gauges() {
    return begin(false, [](int panel) { press(zero_readings, panel, MAIN_ZERO_ALL); });
}

void StageService::stop() {
    // The stop first: a question put after the cancel below sees it (StageView::ask).
    platform_request_stop();
    view_.cancel_question();
}

CommandResult StageService::confirm() {
    return view_.answer(true) ? CommandResult{} : refused(kNoQuestionText);
}

CommandResult StageService::refuse() {
    return view_.answer(false) ? CommandResult{} : refused(kNoQuestionText);
}

void StageService::close_instruments(double timeout_seconds) {
    {
        const std::lock_guard lock(mutex_);
        const StageState state = view_.state();
        if (state == StageState::Moving || state == StageState::Alarm) {
            // Not inside the operation (it may let queued actions run at its waits): at its
            // end, which the stop brings near.
            close_after_operation_ = true;
            stop();
        } else {
            thread_.post([this] { close_now(); });
        }
    }
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    while (view_.state() != StageState::Off && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}
