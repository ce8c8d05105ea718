#include "platform/platform.hpp"

#include "group_resets.hpp"
#include "platform/instrument_diagnosis.hpp"

namespace {

bool g_simulated_stage = false;

} // namespace

void platform_set_simulated_stage(bool simulated) {
    g_simulated_stage = simulated;
}

bool platform_simulated_stage() {
    return g_simulated_stage;
}

void platform_reset() {
    g_simulated_stage = false;
    platform_panels_reset();
    platform_clock_reset();
    platform_console_reset();
    platform_files_reset();
    platform_serial_reset();
    platform_gpib_reset();
    platform_operator_reset();
    platform_instrument_diagnosis_reset();
}
