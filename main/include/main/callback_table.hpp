// The table that binds the callback names written in the resource file to the program's
// callback functions, as the run-time binds them by name.
#pragma once

#include "platform/panels.hpp"

#include <span>

std::span<const CallbackBinding> trelwick_callback_table();
