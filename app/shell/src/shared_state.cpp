#include "app/shell/shared_state.hpp"

#include "app/shell/panel_ids.hpp"

namespace {

param_structure g_param{};
instrument_addresses g_addresses{};
device_ids g_ids{};
int g_main_panel = 0;
bool g_program_ending = false;

} // namespace

const std::array<int, COORD_CTRL_COUNT> coord_ctrls = {
    MAIN_TARGET_X,    MAIN_TARGET_Y,    MAIN_TARGET_ROLL,  MAIN_TARGET_PITCH,  MAIN_TARGET_YAW,
    MAIN_PRESENT_X,   MAIN_PRESENT_Y,   MAIN_PRESENT_ROLL, MAIN_PRESENT_PITCH, MAIN_PRESENT_YAW,
    MAIN_CAM_ANGLE_1, MAIN_CAM_ANGLE_2, MAIN_CAM_ANGLE_3,  MAIN_CAM_ANGLE_4,   MAIN_CAM_ANGLE_5,
    MAIN_GAGE_1,      MAIN_GAGE_2,      MAIN_GAGE_3,       MAIN_GAGE_4,        MAIN_GAGE_5,
};

param_structure& shared_param() {
    return g_param;
}
instrument_addresses& shared_addresses() {
    return g_addresses;
}
device_ids& shared_device_ids() {
    return g_ids;
}
bool& program_ending() {
    return g_program_ending;
}
int& main_panel_handle() {
    return g_main_panel;
}

void shared_state_reset() {
    g_param = param_structure{};
    g_addresses = instrument_addresses{};
    g_ids = device_ids{};
    g_main_panel = 0;
    g_program_ending = false;
}
