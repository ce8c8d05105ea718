// Everything the platform offers, and one reset that returns every group to its
// default (no panels, machine clock, standard console, no serial or GPIB backend).
#pragma once

#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/files.hpp"
#include "platform/gpib.hpp"
#include "platform/panels.hpp"
#include "platform/serial.hpp"
#include "platform/text.hpp"

void platform_reset();
