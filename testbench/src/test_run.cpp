// The three kinds of test run and the loop that measures their points.
#include "testbench/test_run.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "bench_support.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/delay.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"
#include "testbench/bench_state.hpp"
#include "testbench/cam_measure.hpp"
#include "testbench/cam_positioning.hpp"

#include <cstdlib>

namespace {

constexpr int kRandomMoves = 30;

void open_instruments(const instrument_addresses& address) {
    device_ids& ids = shared_device_ids();
    if (ids.hp34970 <= 0)
        hp34970_init(address.hp_gpib_board_addr, address.hp_gpib_dev_addr, &ids.hp34970);
    if (ids.cm6k6 <= 0)
        cm6k6_init(test_panel_handle(), address.cm_com_port, address.cm_dev_addr, &ids.cm6k6);
    if (ids.ev16p <= 0)
        ev16p_init(address.ev_com_port, address.ev_dev_addr, &ids.ev16p);
}

// The gauge that answers a random move of the cam: the entry of the gauge list after the
// cam's own. The list has four entries, so cams 4 and 5 use its last one.
int repeatability_gage(const param_structure& record) {
    const int index = record.test_axis < GAGE_SLOTS ? record.test_axis : GAGE_SLOTS - 1;
    return record.gage_list[index];
}

// A multiple of 0.000001 between -0.000099 and 0.000099; % keeps the dividend's sign.
double random_step() {
    const int a = std::rand();
    const int b = std::rand();
    return ((a - b) % 100) / 1000000.0;
}

void repeatability_test(const instrument_addresses& address, param_structure& record, int file) {
    int hours = 0, minutes = 0, seconds = 0;
    CVI_GetSystemTime(&hours, &minutes, &seconds);
    std::srand(static_cast<unsigned>((hours + minutes + 1) / (seconds + 1)));

    const int gage = repeatability_gage(record);
    double difference = 0.0;
    for (int i = 0; i < kRandomMoves; ++i) {
        const double before = cam_test_get_position(address, gage, 0);
        double step = random_step();
        cam_test_rel_move(address, record, step);
        if (platform_stop_requested())
            break; // stopped during the move: no difference to measure
        const double after = cam_test_get_position(address, gage, 0);
        difference = after - before;
        if (file >= 0)
            bench_log_line(file, strfmt(" \n %10.7f %10.7f", step, difference));
    }
    SetCtrlVal(bench_readings_panel(), TEST_POSITION, difference);
}

void timed_series(const instrument_addresses& address, const param_structure& record, int file) {
    // At least one point, also when no points were asked for.
    for (int point = 0;; ++point) {
        cam_test_out(address, record, file, point);
        delay(record.test_interval); // a Stop ends it
        if (point + 1 >= record.test_points || platform_stop_requested())
            break;
    }
}

void step_scan(const instrument_addresses& address, param_structure& record, int file) {
    const int panel = test_panel_handle();
    cam_test_out(address, record, file, 0); // the starting point
    if (record.test_step >= 0.0) {
        for (int k = 0; k < record.test_points && !platform_stop_requested(); ++k) {
            move_bench_cam(panel, record, record.test_step);
            if (platform_stop_requested())
                break; // stopped during the move: the cam is not at the point
            cam_test_out(address, record, file, k);
        }
        return;
    }
    // Downward: the point numbers count down from the far end; each pass lowers i by at
    // least one because the sum is truncated toward zero.
    int i = static_cast<int>(record.test_points + record.test_step);
    while (i > 0 && !platform_stop_requested()) {
        move_bench_cam(panel, record, record.test_step);
        if (platform_stop_requested())
            break; // stopped during the move: the cam is not at the point
        cam_test_out(address, record, file, i);
        i = static_cast<int>(i + record.test_step);
    }
}

} // namespace

int cam_test(instrument_addresses address, param_structure record, const std::string& log_path) {
    // The per-cam tables hold the stage's five cams: any other number is refused or, at
    // the operator's word, replaced by cam 1 for this run.
    if (bench_cam(record) == 0) {
        if (ConfirmPopup("ERROR", "axis is out of range, will be set to 1. Continue?") == 0)
            return -1;
        record.test_axis = 1;
    }

    open_instruments(address);

    int file = -1;
    if (!log_path.empty()) {
        file = OpenFile(log_path, VAL_WRITE_ONLY, VAL_APPEND, VAL_ASCII);
        if (file < 0) {
            cam_move_error_handling(1, "Unable to open log file");
            return -1;
        }
    }

    if (record.test_random != 0.0)
        repeatability_test(address, record, file);
    else if (record.test_interval != 0.0)
        timed_series(address, record, file);
    else
        step_scan(address, record, file);

    if (file >= 0)
        CloseFile(file);
    return 0;
}
