// Failures of the machine's serial ports (termios or Win32), beside those of
// platform/serial.hpp; all negative, the same on every system.
#pragma once

enum : int {
    kRS232SystemError = -1,  // an operating-system error not named below
    kRS232PeerGone = -4,     // the device or whatever was on its far side has gone away
    kRS232CannotOpen = -7,   // the device could not be opened, claimed or set up
    kRS232InUse = -8,        // another program holds the device (instrument_claim.hpp)
    kRS232BadBaud = -14,     // a baud rate the device cannot be set to
    kRS232BadParity = -24,   // parity other than 0 none, 1 odd, 2 even, 3 mark, 4 space
    kRS232BadDataBits = -34, // data bits other than 5..8
    kRS232BadStopBits = -44, // stop bits other than 1 or 2
};
