// Moves of the cam under test.
#include "testbench/cam_positioning.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/run_log.hpp"
#include "bench_support.hpp"
#include "platform/clock.hpp"
#include "platform/operator_thread.hpp"
#include "platform/text.hpp"
#include "stage/geometry.hpp"
#include "testbench/cam_measure.hpp"

#include <cmath>

void cam_test_rel_move(instrument_addresses address, param_structure record, double& step) {
    // A failed angle reading has been reported where it failed.
    const double angle = cam_test_get_angle(record, address);
    if (!std::isfinite(angle))
        return;
    const int cam = bench_cam(record);
    const double eccentricity = record.cam_eccentricity[cam - 1];
    const double ratio = (step - eccentricity * std::sin(angle)) / eccentricity;
    // Outside -1..1 the target angle does not exist: the operator is told and the cam
    // stays where it is.
    if (!(ratio >= -1.0 && ratio <= 1.0)) {
        cam_move_error_handling(1, "Cam angle > 90 Deg.");
        return;
    }
    const double target = std::asin(ratio);
    if (!(std::fabs(target) <= RIGHT_ANGLE))
        cam_move_error_handling(1, "Cam angle > 90 Deg.");
    move_bench_cam(bench_readings_panel(), record,
                   angle_to_motor_revs(record.pot_offset[cam - 1] + target - angle));
}

void cam_test_move_angle(int panel, param_structure& record, double angle) {
    move_bench_cam(panel, record, angle_to_motor_revs(-angle));
}

// The move goes to the panel that shows the readings, whichever panel asked.
void cam_test_go_zero(int /*panel*/, param_structure& record, instrument_addresses address) {
    const double angle = cam_test_get_angle(record, address);
    if (!std::isfinite(angle))
        return;
    cam_test_move_angle(bench_readings_panel(), record, angle);
    if (platform_stop_requested())
        return; // stopped by the operator: no zero position to log
    write_to_log(motion_log_path(),
                 strfmt("%s * Cams moved to zero position\n", TimeStr().c_str()));
}

void cam_test_go_home(param_structure& record, instrument_addresses address) {
    const double angle = cam_test_get_angle(record, address);
    if (!std::isfinite(angle))
        return;
    const int cam = bench_cam(record);
    cam_test_move_angle(bench_readings_panel(), record, angle - record.home_angle[cam - 1]);
    if (platform_stop_requested())
        return; // stopped by the operator: no home position to log
    cam_test_get_position(address, record.gage_channel, 1);
    cam_test_get_angle(record, address);
    write_to_log(motion_log_path(),
                 strfmt("%s * Cams moved to home position\n", TimeStr().c_str()));
}
