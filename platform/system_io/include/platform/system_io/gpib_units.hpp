// What every real GPIB backend checks before it opens a unit, and the variables by which
// the operator places units and the GPIB library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Board index 0..10 and primary address 1..30: the units the program can address.
bool gpib_unit_in_range(int board, int address);

// A TCP endpoint of a unit that speaks SCPI over a socket.
struct GpibEndpoint {
    std::string host;
    int port = 0;
};

// "HOST:PORT" (HOST a name or IPv4 address, or "[IPv6]"; PORT 1..65535); nothing for
// any other text.
std::optional<GpibEndpoint> parse_gpib_endpoint(std::string_view text);

// The variable that places one unit on a socket: "TRELWICK_GPIB<board>_<address>".
std::string gpib_endpoint_variable(int board, int address);

// The value of that variable for one unit; nothing when it is unset or empty.
std::optional<std::string> gpib_endpoint_from_environment(int board, int address);

// The GPIB library to load: TRELWICK_GPIB_LIBRARY when set, else "libgpib.so.0"
// (linux-gpib); on Windows NI-488.2's "ni4882.dll" for a 64-bit program, "gpib-32.dll"
// for a 32-bit one.
std::string gpib_library_name();
