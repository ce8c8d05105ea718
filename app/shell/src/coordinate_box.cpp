#include "app/shell/coordinate_box.hpp"

#include "app/shell/shared_state.hpp"
#include "platform/panels.hpp"

#include <initializer_list>

namespace {

void set_slots(std::initializer_list<int> slots, int dimmed) {
    for (const int slot : slots)
        SetCtrlAttribute(main_panel_handle(), coord_ctrls[static_cast<std::size_t>(slot)],
                         ATTR_DIMMED, dimmed);
}

} // namespace

void set_coordinate_box(int mode) {
    switch (mode) {
    case 0:
    case 1:
        set_slots({2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, 0);
        break;
    case 2: // X, Y; cams 4 and 5
        set_slots({2, 3, 4, 7, 8, 9, 10, 11, 12}, 1);
        set_slots({13, 14}, 0);
        break;
    case 3: // X, Y, Roll; cams 1 to 3
        set_slots({3, 4, 8, 9, 13, 14}, 1);
        set_slots({10, 11, 2, 12, 7}, 0);
        break;
    default:
        break;
    }
    DisplayPanel(main_panel_handle());
}
