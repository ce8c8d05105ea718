#include "app/main_panel.hpp"

#include "app/shell/coordinate_box.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/wait_profile.hpp"
#include "platform/platform.hpp"

int WinMain() {
    // The run-time is usable only with a panel backend in place.
    if (platform_panels() == nullptr)
        return -1;
    cam_move_ui_init();
    RunUserInterface();
    // Nothing is discarded or closed here: the callbacks that end the loop close the
    // instruments.
    return 0;
}

void cam_move_ui_init() {
    const int handle = LoadPanel(0, "Trelwick.uir", MAIN_PANEL);
    main_panel_handle() = handle;
    if (handle < 0)
        cam_move_ui_error(" Can not load UI Panel!!!");
    else {
        SetPanelAttribute(handle, ATTR_TITLE, station_title().c_str());
        DisplayPanel(handle);
    }
}

std::string station_title() {
    // The fast waits say so wherever the station is named: the title and the run log.
    const char* waits = fast_waits() ? " - fast waits" : "";
    if (platform_simulated_stage())
        return std::string("Trelwick - simulated stage") + waits;
    instrument_addresses a = shared_addresses();
    if (a.cm_com_port == 0 && a.ev_com_port == 0) {
        // Before the first bring-up: the built-in addresses it will use.
        param_structure defaults{};
        fill_param_structure(defaults, a, 0);
    }
    return strfmt("Trelwick - instruments on COM%d, COM%d, GPIB %d:%d%s", a.cm_com_port,
                  a.ev_com_port, a.hp_gpib_board_addr, a.hp_gpib_dev_addr, waits);
}

int program_quit(int /*panel*/, int /*control*/, int event, void* /*callbackData*/,
                 int /*eventData1*/, int /*eventData2*/) {
    if (event == EVENT_COMMIT) {
        cam_move_exit();
        QuitUserInterface(0);
    }
    return 0;
}

int reference_switch(int panel, int control, int event, void* /*callbackData*/, int /*eventData1*/,
                     int /*eventData2*/) {
    if (event == EVENT_COMMIT) {
        int mode = 0;
        if (GetCtrlVal(panel, control, &mode) >= 0)
            set_coordinate_box(mode);
    }
    return 0;
}
