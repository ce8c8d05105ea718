#include "main/callback_table.hpp"

#include "app/bring_up.hpp"
#include "app/main_operations.hpp"
#include "app/main_panel.hpp"
#include "app/parameters_panel.hpp"
#include "app/shell/operator_stop.hpp"
#include "testbench/test_panel.hpp"

#include <array>

namespace {

// Every callback name the resource file may name, bound to its function.
constexpr std::array kCallbacks = {
    CallbackBinding{"program_quit", &program_quit},
    CallbackBinding{"operator_stop", &operator_stop},
    CallbackBinding{"reference_switch", &reference_switch},
    CallbackBinding{"device_init", &device_init},
    CallbackBinding{"move_motor", &move_motor},
    CallbackBinding{"go_home", &go_home},
    CallbackBinding{"zero_readings", &zero_readings},
    CallbackBinding{"read_pot", &read_pot},
    CallbackBinding{"read_gage", &read_gage},
    CallbackBinding{"zero_gage", &zero_gage},
    CallbackBinding{"read_data", &read_data},
    CallbackBinding{"set_param", &set_param},
    CallbackBinding{"save_param", &save_param},
    CallbackBinding{"exit_param", &exit_param},
    // The test panel, and the main-panel button that opens it.
    CallbackBinding{"do_cam_test", &do_cam_test},
    CallbackBinding{"test_device_init", &test_device_init},
    CallbackBinding{"test_distance_move", &test_distance_move},
    CallbackBinding{"test_zero_data", &test_zero_data},
    CallbackBinding{"test_get_temp", &test_get_temp},
    CallbackBinding{"test_get_position", &test_get_position},
    CallbackBinding{"test_get_angle", &test_get_angle},
    CallbackBinding{"test_refresh_graph", &test_refresh_graph},
    CallbackBinding{"test_go_zero", &test_go_zero},
    CallbackBinding{"test_go_home", &test_go_home},
    CallbackBinding{"test_set_angle", &test_set_angle},
    CallbackBinding{"find_work_point", &find_work_point},
    CallbackBinding{"exit_test", &exit_test},
};

} // namespace

std::span<const CallbackBinding> trelwick_callback_table() {
    return kCallbacks;
}
