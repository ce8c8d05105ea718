// The reset of each platform group, called together by platform_reset().
#pragma once

void platform_panels_reset();
void platform_clock_reset();
void platform_console_reset();
void platform_files_reset();
void platform_serial_reset();
void platform_gpib_reset();
void platform_operator_reset();
