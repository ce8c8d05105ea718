#include "main/callback_table.hpp"

#include "app/bring_up.hpp"
#include "app/main_operations.hpp"
#include "app/main_panel.hpp"
#include "app/parameters_panel.hpp"

#include <array>

namespace {

// Every callback name the resource file may name, bound to its function.
constexpr std::array kCallbacks = {
    CallbackBinding{"program_quit", &program_quit},
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
};

} // namespace

std::span<const CallbackBinding> trelwick_callback_table() {
    return kCallbacks;
}
