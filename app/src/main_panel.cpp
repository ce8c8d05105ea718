#include "app/main_panel.hpp"

#include "app/shell/coordinate_box.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "platform/panels.hpp"

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
    else
        DisplayPanel(handle);
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
