#include "main/callback_table.hpp"

#include "app/main_panel.hpp"
#include "app/parameters_panel.hpp"

#include <array>

namespace {

// Every callback name the resource file may name, bound to its function.
constexpr std::array kCallbacks = {
    CallbackBinding{"program_quit", &program_quit},
    CallbackBinding{"reference_switch", &reference_switch},
    CallbackBinding{"set_param", &set_param},
    CallbackBinding{"save_param", &save_param},
    CallbackBinding{"exit_param", &exit_param},
};

} // namespace

std::span<const CallbackBinding> trelwick_callback_table() {
    return kCallbacks;
}
