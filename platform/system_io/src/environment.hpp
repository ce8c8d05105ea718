// Reading the program's environment variables.
#pragma once

#include <optional>
#include <string>

// The value of variable `name`; nothing when it is unset or empty.
std::optional<std::string> environment_value(const std::string& name);

// Forgets every value set by platform_system_io_set_variable().
void environment_overrides_reset();
