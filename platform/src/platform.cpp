#include "platform/platform.hpp"

#include "group_resets.hpp"

void platform_reset() {
    platform_panels_reset();
    platform_clock_reset();
    platform_console_reset();
    platform_files_reset();
    platform_serial_reset();
    platform_gpib_reset();
}
