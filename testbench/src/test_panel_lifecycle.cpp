// Opening and closing the test panel, its bring-up in test mode and clearing its graph.
#include "testbench/test_panel.hpp"

#include "app/bring_up.hpp"
#include "app/parameters_panel.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "platform/panels.hpp"
#include "testbench/bench_state.hpp"

#include <array>

namespace {

// The actions that need the instruments: dimmed until a bring-up succeeds.
constexpr std::array kInstrumentActions = {
    TEST_RUN,     TEST_GET_POSITION, TEST_GET_ANGLE, TEST_GET_TEMP,   TEST_ZERO,
    TEST_GO_ZERO, TEST_GO_HOME,      TEST_SET_ANGLE, TEST_WORK_POINT,
};

constexpr double kInitialXMax = 120.0;
constexpr double kInitialYMax = 1.0;

} // namespace

int do_cam_test(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const int panel = LoadPanel(0, "Trelwick.uir", TEST_PANEL);
    if (panel < 0) {
        cam_move_ui_error(" Can not load Test Panel!!!");
        return -1;
    }
    test_panel_handle() = panel;
    // The run settings start at the test defaults, which the bring-up reads into the record:
    // a fresh panel's zeros are no settings (there is no cam 0).
    param_structure defaults = shared_param();
    instrument_addresses addresses = shared_addresses();
    fill_param_structure(defaults, addresses, 1);
    test_write_move_param(panel, defaults);
    DisplayPanel(panel);
    SetActivePanel(panel);
    return 0;
}

int test_device_init(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    update_status_line(panel, TEST_STATUS, "Initialization in Progress");
    param_structure& record = shared_param();
    fill_param_structure(record, shared_addresses(), 1);
    test_read_move_param(panel, record);

    // The catalogue entries go to the run log, also when the main panel's moves go to a
    // data file: the bench's bring-up must not point them anywhere else.
    if (cam_move_device_init(motion_log_path(), panel, TEST_STATUS, shared_addresses(), record) !=
        0) {
        MessagePopup("Init Error", "Error in device init");
        return 0;
    }
    // The run settings show what the record now holds, so that the next button that reads
    // them into the record keeps it.
    test_write_move_param(panel, record);
    for (int control : kInstrumentActions)
        SetCtrlAttribute(panel, control, ATTR_DIMMED, 0);
    SetCtrlAttribute(panel, TEST_STATUS, ATTR_VISIBLE, 1);
    const int status =
        SetAxisRange(panel, TEST_GRAPH, VAL_MANUAL, 0.0, kInitialXMax, VAL_NO_CHANGE, 0.0, 0.0);
    if (status < 0)
        cam_move_error_handling(status, " Problem changing X limit");
    SetCtrlAttribute(panel, TEST_INIT, ATTR_DIMMED, 1);
    update_status_line(panel, TEST_STATUS, "Devices Ready");
    return 0;
}

int test_refresh_graph(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const int status = DeleteGraphPlot(panel, TEST_GRAPH, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    if (status < 0)
        cam_move_error_handling(status, " Problem deleting Graph");
    // The axes go back to their first ranges; the limits at which a run widens them stay.
    SetAxisRange(panel, TEST_GRAPH, VAL_MANUAL, 0.0, kInitialXMax, VAL_MANUAL, -kInitialYMax,
                 kInitialYMax);
    SetCtrlAttribute(panel, TEST_AMPLITUDE, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panel, TEST_PHASE, ATTR_VISIBLE, 0);
    return 0;
}

int exit_test(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    DiscardPanel(panel);
    if (test_panel_handle() == panel)
        test_panel_handle() = 0;
    // Back to the stage: every setting made on the test panel is dropped.
    fill_param_structure(shared_param(), shared_addresses(), 0);
    DisplayPanel(main_panel_handle());
    return 0;
}
