// One program per instrument: a serial device or GPIB unit that another program on this
// machine (a second window, a device server) holds is refused, never shared, so that two
// programs never interleave their commands on one instrument.
//
// A claim is an exclusive flock(2): on the serial device itself, and on a lock file per
// GPIB unit in the lock folder ($TRELWICK_LOCK_DIR, else /run/lock when it is writable,
// else /tmp). It ends when its descriptor is closed, also when the program dies. A refusal
// tells the operator which instrument is taken (a message pop-up and standard error).
#pragma once

#ifndef _WIN32

#include <string>

// Claims the open device `fd`; false (after telling the operator) when another program
// holds it.
bool claim_serial_device(int fd, int port, const std::string& device);

// Tells the operator that the serial device of COM `port` is held by another program.
void tell_serial_in_use(int port, const std::string& device);

// Claims a GPIB unit: `unit` names the instrument itself ("GPIB 1:9" on the bus, or its
// "HOST:PORT" when it is reached over TCP), so two programs meet on one lock file only
// when they would reach the same instrument. The lock file's descriptor (close it to give
// the unit back), or -1 when another program holds the unit (the operator is told) or no
// lock file could be made (then the unit is not opened either: it could not be claimed).
// On -1, `*why` (when given) says which: empty when another program holds the unit, else
// the lock file and the system's reason.
int claim_gpib_unit(const std::string& unit, std::string* why = nullptr);

#endif
