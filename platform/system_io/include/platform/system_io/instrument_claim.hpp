// One program per instrument: a serial device or GPIB unit that another program on this
// machine (a second window, a device server) holds is refused, never shared, so that two
// programs never interleave their commands on one instrument.
//
// A claim on a serial device is an exclusive flock(2) on the device itself (on Windows
// the system opens a COM port for one program only). A GPIB unit is claimed by a lock file
// per unit in the lock folder ($TRELWICK_LOCK_DIR, else /run/lock when it is writable,
// else /tmp; on Windows the user's temporary folder), held with an exclusive flock(2) or,
// on Windows, opened denying every other opener. A claim ends when its file is closed,
// also when the program dies. A refusal tells the operator which instrument is taken (a
// message pop-up and standard error).
#pragma once

#include <string>

#ifndef _WIN32
// Claims the open device `fd`; false (after telling the operator) when another program
// holds it.
bool claim_serial_device(int fd, int port, const std::string& device);

// Tells the operator that the serial device of COM `port` is held by another program.
void tell_serial_in_use(int port, const std::string& device);
#endif

// Claims a GPIB unit: `unit` names the instrument itself ("GPIB 1:9" on the bus, or its
// "HOST:PORT" when it is reached over TCP), so two programs meet on one lock file only
// when they would reach the same instrument. The claim (give it back with
// release_gpib_unit), or -1 when another program holds the unit (the operator is told) or
// no lock file could be made (then the unit is not opened either: it could not be
// claimed). On -1, `*why` (when given) says which: empty when another program holds the
// unit, else the lock file and the system's reason.
int claim_gpib_unit(const std::string& unit, std::string* why = nullptr);

// Gives back a claim of claim_gpib_unit; a negative one is no claim.
void release_gpib_unit(int claim);
