// The test panel's single readings and moves, test runs and the work-point search.
#include "testbench/test_panel.hpp"

#include "app/bring_up.hpp"
#include "app/parameters_panel.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/operator_stop.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "bench_support.hpp"
#include "drivers/delay.hpp"
#include "drivers/wait_profile.hpp"
#include "platform/panels.hpp"
#include "stage/coordinate_exchange.hpp"
#include "testbench/bench_state.hpp"
#include "testbench/cam_measure.hpp"
#include "testbench/cam_positioning.hpp"
#include "testbench/test_run.hpp"
#include "testbench/work_point.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr int kAngleWatchReadings = 20;
constexpr double kAngleWatchPause = 0.1; // seconds, on top of each reading's own second

// The status line after Pot zero or Home: what was reached, or what failed.
const char* positioning_status(int status, const char* done, const char* angle_unknown,
                               const char* not_moved) {
    if (status == kBenchAngleUnknown)
        return angle_unknown;
    return status == 0 ? done : not_moved;
}

// A test-panel operation the operator stopped ends here: it says so, in the status line
// and the run log, then logs the stage's coordinates read afterwards.
bool end_if_stopped(int panel) {
    if (!operation_stopped())
        return false;
    report_operator_stop(panel, TEST_STATUS);
    cam_move_log_present_coordinates(shared_param(), shared_addresses());
    return true;
}

} // namespace

int test_distance_move(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const stoppable_operation stoppable(panel, TEST_STOP);
    test_read_move_param(panel, shared_param());
    update_status_line(panel, TEST_STATUS, "Motion in Progress");
    const int status = cam_test(shared_addresses(), shared_param(), log_path());
    if (end_if_stopped(panel))
        return 0;
    update_status_line(panel, TEST_STATUS, status == 0 ? "Done" : "Test run stopped");
    return 0;
}

int test_zero_data(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    update_status_line(panel, TEST_STATUS, "Setting Position to zero");
    // The counter zeroes its channel 1: that gauge reads 0.0 once the zeroing is
    // acknowledged, another gauge channel is shown as it reads; after a failed zeroing the
    // position is unknown.
    if (cam_test_zero_readings() < 0) {
        SetCtrlVal(panel, TEST_POSITION, std::numeric_limits<double>::quiet_NaN());
        update_status_line(panel, TEST_STATUS, "Position not set to zero");
        return 0;
    }
    if (shared_param().gage_channel == 1)
        SetCtrlVal(panel, TEST_POSITION, 0.0);
    else
        cam_test_get_position(shared_addresses(), shared_param().gage_channel, 1);
    update_status_line(panel, TEST_STATUS, "Done");
    return 0;
}

int test_get_temp(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    double temperature = 0.0;
    cam_test_get_temp(&temperature, shared_addresses());
    return 0;
}

int test_get_position(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    test_read_move_param(panel, shared_param());
    cam_test_get_position(shared_addresses(), shared_param().gage_channel, 1);
    return 0;
}

int test_get_angle(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    test_read_move_param(panel, shared_param());
    cam_test_get_angle(shared_param(), shared_addresses());
    return 0;
}

int test_go_zero(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const stoppable_operation stoppable(panel, TEST_STOP);
    update_status_line(panel, TEST_STATUS, "Go to Pot zero position");
    test_read_move_param(panel, shared_param());
    const int status = cam_test_go_zero(panel, shared_param(), shared_addresses());
    if (end_if_stopped(panel))
        return 0;
    cam_test_get_angle(shared_param(), shared_addresses());
    update_status_line(panel, TEST_STATUS,
                       positioning_status(status, "Pot zero Done",
                                          "Pot zero failed: the cam angle was not measured",
                                          "Pot zero failed: the cam did not move"));
    return 0;
}

int test_go_home(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const stoppable_operation stoppable(panel, TEST_STOP);
    update_status_line(panel, TEST_STATUS, "Go to Pot home position");
    test_read_move_param(panel, shared_param());
    int status = cam_test_go_zero(panel, shared_param(), shared_addresses());
    if (end_if_stopped(panel))
        return 0;
    if (status == 0) {
        profile_event_wait(DesignedWait::bench_home_pause);
        status = cam_test_go_home(shared_param(), shared_addresses());
        if (end_if_stopped(panel))
            return 0;
    }
    update_status_line(panel, TEST_STATUS,
                       positioning_status(status, "Homing Done",
                                          "Homing failed: the cam angle was not measured",
                                          "Homing failed: the cam did not move"));
    return 0;
}

int test_set_angle(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const stoppable_operation stoppable(panel, TEST_STOP);
    update_status_line(panel, TEST_STATUS, "Measure angle");
    for (int i = 0; i < kAngleWatchReadings && !operation_stopped(); ++i) {
        cam_test_get_angle(shared_param(), shared_addresses());
        delay(kAngleWatchPause); // the panel stays alive between readings
    }
    if (end_if_stopped(panel))
        return 0;
    update_status_line(panel, TEST_STATUS, "Done");
    return 0;
}

int find_work_point(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const stoppable_operation stoppable(panel, TEST_STOP);
    // The record is used as the last callback left it: the panel is not read here.
    param_structure& record = shared_param();
    const double work_point = cam_test_find_work_point(record, shared_addresses());
    if (end_if_stopped(panel))
        return 0;
    if (!std::isfinite(work_point))
        return 0; // the operator has been told; the cam stays where the scan left it
    record.test_step = work_point;
    const int moved = move_bench_cam(panel, record, record.test_step);
    if (end_if_stopped(panel))
        return 0;
    update_status_line(panel, TEST_STATUS,
                       moved == 0 ? "Done" : "Work point not reached: the cam did not move");
    return 0;
}
