// Which device a COM port number opens on this machine.
//
// COMn is /dev/ttyS<n-1> on Linux and COMn itself on Windows; the environment variable
// TRELWICK_COM<n> names another device for one port (TRELWICK_COM2=/dev/ttyUSB0), which
// is how a USB adapter or a pseudo-terminal of the simulated stage plugs in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class ComPortSystem { Linux, Windows };

// The device for COM `port` (1 or more) on `system`; `override_device` is the value of
// the port's variable, used whenever it is not empty. Empty for a port below 1.
std::string com_port_device(int port, ComPortSystem system,
                            std::optional<std::string_view> override_device);

// The variable that overrides COM `port`: "TRELWICK_COM<port>".
std::string com_port_variable(int port);

// The device for COM `port` on the machine the program runs on, with its variable read
// from the environment.
std::string com_port_device_here(int port);
