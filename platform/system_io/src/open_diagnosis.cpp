#include "platform/system_io/open_diagnosis.hpp"

#include "environment.hpp"
#include "platform/serial.hpp"
#include "platform/system_io/com_port_mapping.hpp"
#include "platform/system_io/gpib_units.hpp"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// A pseudo-terminal is the simulated stage's (trelwick-sim) side of a port.
bool is_pseudo_terminal(const std::string& device) {
    return device.rfind("/dev/pts/", 0) == 0;
}

bool same_words(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The reason, and the system's own text after it unless it only says the same.
std::string with_system_text(const char* reason, const std::string& system_text) {
    if (system_text.empty() || same_words(reason, system_text))
        return reason;
    return std::string(reason) + " (" + system_text + ")";
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

} // namespace

std::string system_error_text(int error) {
#ifdef _WIN32
    char text[256] = {};
    const DWORD n =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    std::string out(text, n);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out.empty() ? "error " + std::to_string(error) : out;
#else
    return std::strerror(error);
#endif
}

std::string serial_mapping_text(int port, const std::string& device) {
    const std::string variable = com_port_variable(port);
    const std::string head = "COM" + std::to_string(port) + " -> " + device;
    if (environment_value(variable))
        return head + " (set by " + variable + ")";
    return head + " (default mapping; set " + variable + " to change it)";
}

InstrumentDiagnosis serial_diagnosis(int port, const std::string& device, SerialFailure failure,
                                     const std::string& system_text) {
    const std::string variable = com_port_variable(port);
    const bool simulated = is_pseudo_terminal(device);
    InstrumentDiagnosis d;
    d.tried = serial_mapping_text(port, device);
    switch (failure) {
    case SerialFailure::NotFound:
        d.reason = with_system_text("not found", system_text);
        d.advice = simulated ? "check that trelwick-sim is running and set " + variable +
                                   " to the device it prints"
                             : "check that the instrument's serial port or adapter is there, or "
                               "set " +
                                   variable + " to the device it is on";
        break;
    case SerialFailure::PermissionDenied:
        d.reason = with_system_text("permission denied", system_text);
        d.advice = "add the user to the dialout group (sudo usermod -aG dialout $USER), then "
                   "log in again";
        break;
    case SerialFailure::Busy:
        d.reason = with_system_text("busy: claimed by another program", system_text);
        d.advice = "close the other program that holds the port";
        break;
    case SerialFailure::NotASerialDevice:
        d.reason = with_system_text("not a serial device", system_text);
        d.advice = "set " + variable + " to a serial device (/dev/ttyS*, /dev/ttyUSB*)";
        break;
    case SerialFailure::SettingsRefused:
        d.reason = with_system_text("the device refused the line settings", system_text);
        d.advice = "use a serial port or adapter that takes 9600 baud";
        break;
    case SerialFailure::NoAnswer:
        d.reason = "no answer (time-out after " + seconds_text(kSerialReadTimeoutSeconds) + " s)";
        d.advice = simulated ? "check that trelwick-sim is still running"
                             : "check the cable and that the instrument is switched on";
        break;
    case SerialFailure::Gone:
        d.reason = with_system_text("the device has gone away", system_text);
        d.advice = simulated ? "start trelwick-sim again and set the variables it prints"
                             : "plug the adapter back in, then initialise the devices again";
        break;
    case SerialFailure::Other:
        d.reason = with_system_text("cannot be opened", system_text);
        d.advice = "check the device and its driver";
        break;
    }
    return d;
}

void record_serial_failure(int port, const std::string& device, SerialFailure failure,
                           const std::string& system_text) {
    instrument_diagnosis_record(serial_instrument_key(port),
                                serial_diagnosis(port, device, failure, system_text));
}

#ifndef _WIN32
SerialFailure serial_failure_of_errno(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return SerialFailure::NotFound;
    case EACCES:
    case EPERM:
        return SerialFailure::PermissionDenied;
    case EBUSY:
        return SerialFailure::Busy;
    case EISDIR:
    case ENOTTY:
        return SerialFailure::NotASerialDevice;
    case EIO:
    case EPIPE:
        return SerialFailure::Gone;
    default:
        return SerialFailure::Other;
    }
}
#endif

std::string gpib_mapping_text(int board, int address, const std::string& library) {
    const std::string unit = gpib_instrument_key(board, address);
    const std::string variable = gpib_endpoint_variable(board, address);
    if (const auto endpoint = gpib_endpoint_from_environment(board, address))
        return unit + " -> " + *endpoint + " (set by " + variable + ")";
    const std::string named = gpib_library_name();
    const std::string head = unit + " -> GPIB library " + (library.empty() ? named : library);
    if (!library.empty() && library != named)
        return head;
    if (environment_value("TRELWICK_GPIB_LIBRARY"))
        return head + " (set by TRELWICK_GPIB_LIBRARY)";
    return head + " (default; set TRELWICK_GPIB_LIBRARY to use another, or " + variable +
           "=HOST:PORT for a unit on the network)";
}

InstrumentDiagnosis gpib_diagnosis(int board, int address, GpibFailure failure,
                                   const std::string& system_text, const std::string& library) {
    const std::string variable = gpib_endpoint_variable(board, address);
    InstrumentDiagnosis d;
    d.tried = gpib_mapping_text(board, address, library);
    switch (failure) {
    case GpibFailure::LibraryMissing:
        d.reason = with_system_text("GPIB library not found", system_text);
        d.advice = "install the GPIB library or set TRELWICK_GPIB_LIBRARY; for a unit on the "
                   "network set " +
                   variable + "=HOST:PORT";
        break;
    case GpibFailure::LibraryRefused:
        d.reason = with_system_text("the GPIB library could not open the unit", system_text);
        d.advice = "check the GPIB board's configuration and the unit's address, and that the "
                   "user may use the board (gpib group)";
        break;
    case GpibFailure::BadEndpoint:
        d.reason = with_system_text("not HOST:PORT", system_text);
        d.advice = "set " + variable + "=HOST:PORT for a unit on the network";
        break;
    case GpibFailure::HostNotFound:
        d.reason = with_system_text("host not found", system_text);
        d.advice = "check the host name in " + variable;
        break;
    case GpibFailure::Refused:
        d.reason = with_system_text("connection refused", system_text);
        d.advice = "check that the unit (or trelwick-sim) is running and listens on that port";
        break;
    case GpibFailure::NoAnswer:
        d.reason = with_system_text("no answer", system_text);
        d.advice = "check the cable or network and that the instrument is switched on";
        break;
    case GpibFailure::Gone:
        d.reason = with_system_text("the connection was closed by the unit", system_text);
        d.advice = "check that the unit (or trelwick-sim) still runs, then initialise again";
        break;
    case GpibFailure::HeldByOther:
        d.reason = "busy: held by another program";
        d.advice = "close the other program that holds the unit";
        break;
    case GpibFailure::NoLockFile:
        d.reason = with_system_text("cannot make the unit's lock file", system_text);
        d.advice = "set TRELWICK_LOCK_DIR to a folder the user may write to";
        break;
    case GpibFailure::Other:
        d.reason = with_system_text("cannot be reached", system_text);
        d.advice = "check the network and the address in " + variable;
        break;
    }
    return d;
}

void record_gpib_failure(int board, int address, GpibFailure failure,
                         const std::string& system_text, const std::string& library) {
    instrument_diagnosis_record(gpib_instrument_key(board, address),
                                gpib_diagnosis(board, address, failure, system_text, library));
}
