// Everything the platform offers, and one reset that returns every group to its
// default (no panels, machine clock, standard console, no serial or GPIB backend).
#pragma once

#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/files.hpp"
#include "platform/gpib.hpp"
#include "platform/instrument_diagnosis.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"
#include "platform/serial.hpp"
#include "platform/text.hpp"

void platform_reset();

// What the program drives, as main knows it: the simulated stage (--simulate) or the
// instruments on their ports. The window title and the run log say which.
void platform_set_simulated_stage(bool simulated);
bool platform_simulated_stage();
