// The test bench's shared helpers.
#include "bench_support.hpp"

#include "app/shell/messages.hpp"
#include "platform/files.hpp"
#include "stage/geometry.hpp"
#include "stage/motion.hpp"
#include "testbench/bench_state.hpp"

#include <array>

int bench_readings_panel() {
    // Only the test panel's own bring-up leads to the bench's routines, so the panel that
    // shows the readings is the test panel.
    return test_panel_handle();
}

int bench_cam(const param_structure& record) {
    return record.test_axis >= 1 && record.test_axis <= CAM_COUNT ? record.test_axis : 0;
}

double angle_to_motor_revs(double radians) {
    return MOTOR_REVS_PER_CAM_REV * radians / PI_VALUE / 2.0;
}

int move_bench_cam(int panel, param_structure& record, double revs) {
    std::array<double, CAM_COUNT> move{};
    move[0] = revs;
    return move_cam_motor(panel, record, move, 0);
}

void bench_log_line(int file, const std::string& line) {
    if (WriteFile(file, line) != static_cast<long>(line.size()))
        cam_move_error_handling(1, "Unable to open log file");
}
