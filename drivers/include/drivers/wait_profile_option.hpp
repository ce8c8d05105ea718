// The command-line option that chooses the wait profile, --wait-profile PROFILE (or
// --wait-profile=PROFILE), shared by every program that runs operations: read from the
// arguments as they are, before any toolkit takes its own options out of them.
#pragma once

#include "drivers/wait_profile.hpp"

#include <string_view>

// Sets the run's profile to the one --wait-profile names (designed when it is not given; the
// last one given wins); false, after saying why on standard error as "<program>: <reason>",
// for a missing or unknown name.
bool use_wait_profile_option(int argc, char** argv, const char* program);

// How many arguments from `arg` on are the option: 2 for "--wait-profile" (its value
// follows), 1 for "--wait-profile=...", 0 for any other argument.
int wait_profile_option_length(std::string_view arg);
