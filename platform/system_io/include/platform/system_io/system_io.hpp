// The machine's instruments for the program: serial ports on the machine's devices
// (termios_serial.hpp, or win32_serial.hpp on Windows) and GPIB units through the GPIB
// library or a TCP socket (gpib_routing.hpp), installed as the platform's serial and GPIB
// backends.
#pragma once

#include <string>

// Installs the real serial and GPIB backends. Nothing is opened or loaded until the
// program opens a port or a unit.
void platform_use_system_io();

// Uninstalls them and closes every port and socket they opened.
void platform_system_io_reset();

// Gives one of the variables the instruments are placed by (TRELWICK_COM<n>,
// TRELWICK_GPIB<b>_<a>, ...) a value that wins over the environment, from any thread;
// an empty value goes back to the environment's.
void platform_system_io_set_variable(const std::string& name, const std::string& value);
