// The program's own command line: --help and --version, answered before any window or
// display is needed, and the refusal of an argument it does not know, so that a mistyped
// --simulate never starts the program on the instruments.
#pragma once

#include "drivers/wait_profile.hpp"

#include <optional>
#include <string>

enum class EarlyAnswer { none, help, version, wait_table };

// --help (or -h), --version or --wait-table among the arguments, the first one given
// winning.
EarlyAnswer early_answer(int argc, char** argv);

// What --help and --version print.
std::string trelwick_help_text();
std::string trelwick_version_text();

// --check-instruments among the arguments: the check runs instead of the window.
bool wants_instrument_check(int argc, char** argv);

// The first argument that is not one of the program's options, or empty. Call it after Qt
// has taken its own options (-platform, -style, ...) out of the arguments.
std::string unknown_argument(int argc, char** argv);

// The wait profile --wait-profile names (designed when it is not given); nullopt with the
// reason in `error` for a missing or unknown name.
std::optional<WaitProfile> chosen_wait_profile(int argc, char** argv, std::string& error);
