#include "app/parameters_panel.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "platform/panels.hpp"

#include <cstdint>

namespace {

int g_param_panel = 0;
// Set by the first save and never cleared: later exits go without the warning even when
// their edits were not saved.
int g_save_param_flag = 0;

} // namespace

int set_param(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
              int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    const int handle = LoadPanel(panel, "Trelwick.uir", PARAM_PANEL);
    if (handle < 0) {
        cam_move_ui_error(" Can not load Param Panel!!!");
        return -1;
    }
    g_param_panel = handle;
    const param_structure& p = shared_param();
    const instrument_addresses& a = shared_addresses();
    SetCtrlVal(handle, PARAM_HP_BOARD, a.hp_gpib_board_addr);
    SetCtrlVal(handle, PARAM_CM_ADDR, a.cm_dev_addr);
    SetCtrlVal(handle, PARAM_EV_ADDR, a.ev_dev_addr);
    SetCtrlVal(handle, PARAM_HP_ADDR, a.hp_gpib_dev_addr);
    SetCtrlVal(handle, PARAM_EV_PORT, a.ev_com_port);
    SetCtrlVal(handle, PARAM_CM_PORT, a.cm_com_port);
    SetCtrlVal(handle, PARAM_SETTING_1, p.aux_setting_1);
    SetCtrlVal(handle, PARAM_SETTING_2, p.aux_setting_2);
    SetCtrlVal(handle, PARAM_CAM, static_cast<int>(p.test_axis));
    SetCtrlVal(handle, PARAM_STEP, p.test_step);
    SetCtrlVal(handle, PARAM_POINTS, static_cast<int>(p.test_points));
    SetCtrlVal(handle, PARAM_INTERVAL, p.test_interval);
    DisplayPanel(handle);
    return 0;
}

int save_param(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
               int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    param_structure& p = shared_param();
    instrument_addresses& a = shared_addresses();
    // No range check here: each driver checks its addresses when it opens its instrument.
    GetCtrlVal(panel, PARAM_HP_BOARD, &a.hp_gpib_board_addr);
    GetCtrlVal(panel, PARAM_CM_ADDR, &a.cm_dev_addr);
    GetCtrlVal(panel, PARAM_EV_ADDR, &a.ev_dev_addr);
    GetCtrlVal(panel, PARAM_HP_ADDR, &a.hp_gpib_dev_addr);
    GetCtrlVal(panel, PARAM_EV_PORT, &a.ev_com_port);
    GetCtrlVal(panel, PARAM_CM_PORT, &a.cm_com_port);
    GetCtrlVal(panel, PARAM_SETTING_1, &p.aux_setting_1);
    GetCtrlVal(panel, PARAM_SETTING_2, &p.aux_setting_2);
    GetCtrlVal(panel, PARAM_CAM, &p.test_axis);
    GetCtrlVal(panel, PARAM_STEP, &p.test_step);
    GetCtrlVal(panel, PARAM_POINTS, &p.test_points);
    GetCtrlVal(panel, PARAM_INTERVAL, &p.test_interval);
    g_save_param_flag = 1;
    return 0;
}

int exit_param(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
               int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    if (g_save_param_flag == 0 &&
        ConfirmPopup("WARNING", "Parameters have not been saved. Continue?") == 0)
        return 0;
    DiscardPanel(panel);
    if (panel == g_param_panel)
        g_param_panel = 0;
    return 0;
}

void test_read_move_param(int panel, param_structure& param) {
    int axis = 0;
    int points = 0;
    int channel = 0;
    double interval = 0.0;
    double step = 0.0;
    double setting_2 = 0.0;
    double setting_1 = 0.0;
    double random = 0.0;
    GetCtrlVal(panel, TEST_CAM, &axis);
    GetCtrlVal(panel, TEST_INTERVAL, &interval);
    GetCtrlVal(panel, TEST_POINTS, &points);
    GetCtrlVal(panel, TEST_STEP, &step);
    GetCtrlVal(panel, TEST_SETTING_2, &setting_2);
    GetCtrlVal(panel, TEST_SETTING_1, &setting_1);
    GetCtrlVal(panel, TEST_RANDOM, &random);
    GetCtrlVal(panel, TEST_GAGE_CHANNEL, &channel);
    // The record's fields are 16 bits wide: only the low 16 bits of a typed value survive.
    param.test_axis = static_cast<std::uint16_t>(axis);
    param.test_interval = interval;
    param.test_points = static_cast<std::uint16_t>(points);
    param.test_step = step;
    param.aux_setting_2 = setting_2;
    param.aux_setting_1 = setting_1;
    param.test_random = random;
    param.gage_channel = static_cast<std::int16_t>(channel);
}

void test_write_move_param(int panel, const param_structure& param) {
    SetCtrlVal(panel, TEST_CAM, static_cast<int>(param.test_axis));
    SetCtrlVal(panel, TEST_INTERVAL, param.test_interval);
    SetCtrlVal(panel, TEST_POINTS, static_cast<int>(param.test_points));
    SetCtrlVal(panel, TEST_STEP, param.test_step);
    SetCtrlVal(panel, TEST_SETTING_2, param.aux_setting_2);
    SetCtrlVal(panel, TEST_SETTING_1, param.aux_setting_1);
    SetCtrlVal(panel, TEST_RANDOM, param.test_random);
    SetCtrlVal(panel, TEST_GAGE_CHANNEL, static_cast<int>(param.gage_channel));
}

int save_param_flag() {
    return g_save_param_flag;
}

void parameters_panel_reset() {
    g_param_panel = 0;
    g_save_param_flag = 0;
}
