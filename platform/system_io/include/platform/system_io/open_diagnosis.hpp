// What the operator is told when a serial port or a GPIB unit of this machine does not
// open or does not answer: where the program looked (the device of the COM port and the
// variable that maps it, the GPIB library or the unit's HOST:PORT), the system's reason,
// and the one thing to do. The backends record it per instrument (instrument_diagnosis.hpp)
// for the pop-ups, the run log and --check-instruments.
#pragma once

#include "platform/instrument_diagnosis.hpp"

#include <string>

enum class SerialFailure {
    NotFound,         // no such device
    PermissionDenied, // the user may not open it
    Busy,             // opened exclusively, or claimed, by another program
    NotASerialDevice, // opened, but takes no line settings (a file, a directory)
    SettingsRefused,  // the device would not take the line settings asked for
    NoAnswer,         // a read ran out of time
    Gone,             // the device or its far side went away
    Other,
};

// "COM2 -> /dev/ttyS1 (set by TRELWICK_COM2)" or "... (default mapping; set TRELWICK_COM2
// to change it)", by whether the port's variable is set.
std::string serial_mapping_text(int port, const std::string& device);

InstrumentDiagnosis serial_diagnosis(int port, const std::string& device, SerialFailure failure,
                                     const std::string& system_text);
void record_serial_failure(int port, const std::string& device, SerialFailure failure,
                           const std::string& system_text = {});

#ifndef _WIN32
// The failure an errno of open(2), ioctl(2) or tcsetattr(3) stands for.
SerialFailure serial_failure_of_errno(int error);
#endif

enum class GpibFailure {
    LibraryMissing, // the GPIB library could not be loaded or lacks a function
    LibraryRefused, // the library is there, but its ibdev refused the unit
    BadEndpoint,    // the unit's variable is not HOST:PORT
    HostNotFound,   // the endpoint's host name does not resolve
    Refused,        // nothing listens on the endpoint
    NoAnswer,       // no connection or no reply within the time-out
    Gone,           // the far side closed the connection
    HeldByOther,    // another program holds the unit
    NoLockFile,     // the unit's lock file could not be made
    Other,
};

// "GPIB 1:9 -> 127.0.0.1:5025 (set by TRELWICK_GPIB1_9)" when the unit's variable is set,
// else "GPIB 1:9 -> GPIB library libgpib.so.0 (default; set TRELWICK_GPIB_LIBRARY to use
// another, or TRELWICK_GPIB1_9=HOST:PORT for a unit on the network)" or "(set by
// TRELWICK_GPIB_LIBRARY)". `library` is the library a backend of its own loads, when not
// the one the environment names.
std::string gpib_mapping_text(int board, int address, const std::string& library = {});

InstrumentDiagnosis gpib_diagnosis(int board, int address, GpibFailure failure,
                                   const std::string& system_text, const std::string& library = {});
void record_gpib_failure(int board, int address, GpibFailure failure,
                         const std::string& system_text = {}, const std::string& library = {});

// The operating system's own text for an error number (strerror, or FormatMessage).
std::string system_error_text(int error);
