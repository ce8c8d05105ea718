// Values between the instruments, the record and the coordinate box.
#include "stage/coordinate_exchange.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/run_log.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"
#include "stage/geometry.hpp"
#include "stage/kinematics.hpp"
#include "stage/readings.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

// The record's counts come from panels the operator edits; never index past the arrays.
std::size_t cams_in_play(const param_structure& param) {
    return std::min<std::size_t>(param.motors_per_move, CAM_COUNT);
}

std::size_t gages_in_use(const param_structure& param) {
    return static_cast<std::size_t>(std::clamp(param.gage_count, 0, GAGE_SLOTS));
}

void show(int panel, const coordinate_controls& ctrls, std::size_t slot, double value) {
    if (slot < ctrls.size())
        cam_move_GUI_out(panel, ctrls[slot], value);
}

} // namespace

int cam_move_get_coordinates(int panel, param_structure& param, instrument_addresses addresses,
                             const coordinate_controls& ctrls) {
    const std::size_t cams = cams_in_play(param);
    for (std::size_t i = 0; i < cams; ++i)
        param.cam_angle[i] = cam_move_read_cam_angles(param, addresses, static_cast<int>(i) + 1);

    for (std::size_t i = 0; i < gages_in_use(param); ++i)
        param.gage_value[i] = cam_move_read_gage(addresses, param.gage_list[i]) / GAGE_SCALE;

    // X and Y are stored even when out of range; an angle out of range is not.
    for (std::size_t i = COORD_X; i <= COORD_Y; ++i) {
        double value = 0.0;
        const int status =
            cam_move_read_from_GUI(panel, ctrls[i], value, coordinate_input_limit(i));
        param.coord[i] = value;
        if (status != 0)
            return status;
    }
    for (std::size_t i = COORD_ROLL; i < cams; ++i) {
        double value = 0.0;
        const int status =
            cam_move_read_from_GUI(panel, ctrls[i], value, coordinate_input_limit(i));
        if (status != 0)
            return status;
        param.coord[i] = value;
    }
    return 0;
}

int cam_move_set_coordinates(int panel, const coordinate_controls& ctrls, param_structure& param) {
    const std::size_t n = cams_in_play(param);
    const auto k = static_cast<std::size_t>(2.0 * static_cast<double>(n));
    const cam_angles measured = param.cam_angle;
    cam_move_angles_to_coord(param, measured);
    for (std::size_t i = 0; i < n; ++i) {
        show(panel, ctrls, n + i, param.coord[i]);
        show(panel, ctrls, k + i, DEGREES_PER_RADIAN * (param.cam_angle[i] - param.pot_offset[i]));
    }
    const std::size_t gages = gages_in_use(param);
    for (std::size_t i = 0; i < gages; ++i)
        show(panel, ctrls, k + gages + i + 1, param.gage_value[i]);
    return 0;
}

int cam_move_read_from_GUI(int panel, int control, double& value, float limit) {
    const int status = GetCtrlVal(panel, control, &value);
    if (status < 0) {
        // Nothing was read: the value is unknown, and the range check below refuses it.
        value = std::numeric_limits<double>::quiet_NaN();
        cam_move_error_handling(status, strfmt("GetCtrVal %i", control).c_str());
    }
    return cam_move_check_input(panel, control, value, static_cast<double>(limit));
}

bool coordinate_input_within(double value, double limit) {
    return std::fabs(value) <= limit;
}

int cam_move_check_input(int panel, int control, double value, double limit) {
    if (coordinate_input_within(value, limit))
        return 0;
    SetActivePanel(panel);
    MessagePopup("Warning", kValueOutOfRangeText);
    SetActiveCtrl(panel, control);
    return 1;
}

void cam_move_log_present_coordinates(param_structure param, instrument_addresses addresses) {
    for (std::size_t i = 0; i < CAM_COUNT; ++i)
        param.cam_angle[i] = cam_move_read_cam_angles(param, addresses, static_cast<int>(i) + 1);
    const cam_angles measured = param.cam_angle;
    cam_move_angles_to_coord(param, measured);
    cam_move_log_motion_data("Final device coordinates", param);
}
