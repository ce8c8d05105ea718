// Readings of the cam under test.
#include "testbench/cam_measure.hpp"

#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "bench_support.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"
#include "stage/geometry.hpp"
#include "stage/readings.hpp"

#include <limits>
#include <string>

namespace {

constexpr int kTemperatureChannel = 111;
// The bench's own gauge counter, where the zeroing looks for it.
constexpr int kBenchGagePort = 5;
constexpr int kBenchGageAddress = 11;
constexpr int kZeroedChannel = 1;

} // namespace

double cam_test_get_position(instrument_addresses address, int channel, int show) {
    const double position = cam_move_read_gage(address, channel) / GAGE_SCALE;
    if (show == 1)
        SetCtrlVal(bench_readings_panel(), TEST_POSITION, position);
    return position;
}

double cam_test_get_angle(param_structure& record, instrument_addresses address) {
    const int cam = bench_cam(record);
    if (cam == 0) {
        // The stage has five cams; the controller's sixth axis has no potentiometer and no
        // calibration to read it with.
        const std::string text = strfmt("cam = %i, out of range", record.test_axis);
        MessagePopup("ERROR", text.c_str());
        return std::numeric_limits<double>::quiet_NaN();
    }
    const double angle = cam_move_read_cam_angles(record, address, cam);
    SetCtrlVal(bench_readings_panel(), TEST_ANGLE,
               DEGREES_PER_RADIAN * record.pot_sign[cam - 1] * angle);
    return angle;
}

void cam_test_get_temp(double* out, instrument_addresses address) {
    int& id = shared_device_ids().hp34970;
    if (id <= 0 && !program_ending())
        hp34970_init(address.hp_gpib_board_addr, address.hp_gpib_dev_addr, &id);
    *out = std::numeric_limits<double>::quiet_NaN();
    // The driver has said why the unit could not be opened; a closed unit is not asked.
    if (id > 0)
        hp34970_get_chan_temp(id, kTemperatureChannel, out);
    SetCtrlVal(bench_readings_panel(), TEST_TEMP, *out);
}

int cam_test_zero_readings() {
    int& id = shared_device_ids().ev16p;
    if (id <= 0 && !program_ending())
        ev16p_init(kBenchGagePort, kBenchGageAddress, &id);
    if (id <= 0)
        return -1; // the driver has said why the counter could not be opened
    return ev16p_zero(id, kZeroedChannel);
}
