#ifdef _WIN32

#include "platform/system_io/win32_serial.hpp"

#include "io_reply.hpp"
#include "platform/operator_thread.hpp"
#include "platform/system_io/com_port_mapping.hpp"
#include "platform/system_io/open_diagnosis.hpp"

#include <windows.h>

#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t kChunk = 512;
// How often a read looks whether a Stop wants it to end.
constexpr long long kStopLookMs = 20;

bool baud_known(long baud) {
    switch (baud) {
    case 110:
    case 300:
    case 600:
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
    case 230400:
        return true;
    default:
        return false;
    }
}

HANDLE handle_of(void* h) {
    return static_cast<HANDLE>(h);
}

IoStatus status_of_error(DWORD error) {
    switch (error) {
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
        return IoStatus::PeerGone;
    default:
        return IoStatus::Failed;
    }
}

int status_of(IoStatus status) {
    switch (status) {
    case IoStatus::TimedOut:
        return kRS232Timeout;
    case IoStatus::PeerGone:
        return kRS232PeerGone;
    default:
        return kRS232SystemError;
    }
}

// Plain "COMn" names reach COM1..COM9 only; the device namespace reaches every port and
// every name a driver gives (a USB adapter, a virtual port).
std::string device_path(const std::string& name) {
    if (name.size() > 3 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "com") == 0))
        return "\\\\.\\" + name;
    return name;
}

// One wait of the device for input: a read returns as soon as bytes are there, else
// after `ms` with none (at once for 0).
bool set_read_wait(HANDLE h, DWORD ms) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    if (ms > 0) {
        t.ReadTotalTimeoutMultiplier = MAXDWORD;
        t.ReadTotalTimeoutConstant = ms;
    }
    return ::SetCommTimeouts(h, &t) != 0;
}

} // namespace

int serial_win32_settings(Win32LineSettings& out, long baud, int parity, int data_bits,
                          int stop_bits) {
    if (!baud_known(baud))
        return kRS232BadBaud;
    if (data_bits < 5 || data_bits > 8)
        return kRS232BadDataBits;
    // Parity numbered as the run-time numbers it: 0 none, 1 odd, 2 even, 3 mark, 4 space;
    // the Win32 constants (NOPARITY .. SPACEPARITY) are numbered the same way.
    if (parity < 0 || parity > 4)
        return kRS232BadParity;
    if (stop_bits != 1 && stop_bits != 2)
        return kRS232BadStopBits;
    out.baud = static_cast<unsigned long>(baud);
    out.byte_size = static_cast<unsigned char>(data_bits);
    out.parity = static_cast<unsigned char>(parity);
    out.stop_bits = static_cast<unsigned char>(stop_bits == 2 ? TWOSTOPBITS : ONESTOPBIT);
    return 0;
}

Win32SerialBackend::Win32SerialBackend() : lookup_(com_port_device_here) {}

Win32SerialBackend::Win32SerialBackend(DeviceLookup lookup) : lookup_(std::move(lookup)) {}

Win32SerialBackend::~Win32SerialBackend() {
    close_all();
}

void Win32SerialBackend::close_all() {
    for (auto& [number, p] : ports_)
        close_port(p);
    ports_.clear();
}

void Win32SerialBackend::close_port(Port& p) {
    if (p.handle != nullptr)
        ::CloseHandle(handle_of(p.handle));
    p.handle = nullptr;
    p.queue.clear();
}

Win32SerialBackend::Port* Win32SerialBackend::open_port(int port) {
    const auto it = ports_.find(port);
    return it != ports_.end() && it->second.handle != nullptr ? &it->second : nullptr;
}

int Win32SerialBackend::open_com_config(int port, const std::string& device_name, long baud,
                                        int parity, int data_bits, int stop_bits, int input_queue,
                                        int output_queue) {
    if (port < 1 || port > 255)
        return kRS232InvalidPort;
    Win32LineSettings wanted;
    if (const int refused = serial_win32_settings(wanted, baud, parity, data_bits, stop_bits))
        return refused;
    const std::string device = device_name.empty() ? lookup_(port) : device_name;
    if (device.empty())
        return kRS232InvalidPort;

    if (const auto it = ports_.find(port); it != ports_.end())
        close_port(it->second);

    // No sharing: the port is this program's alone, as TIOCEXCL makes it on Linux.
    const HANDLE h = ::CreateFileA(device_path(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // Windows says "access denied" both for a port another program holds and for one
        // the user may not open: the first is by far the likelier.
        const DWORD error = ::GetLastError();
        const SerialFailure failure =
            error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SerialFailure::NotFound
            : error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                ? SerialFailure::Busy
                : SerialFailure::Other;
        record_serial_failure(port, device, failure, system_error_text(static_cast<int>(error)));
        return kRS232CannotOpen;
    }
    // Start from the device's own settings so that fields this program does not know
    // keep the values the driver gave them.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool ok = ::GetCommState(h, &dcb) != 0;
    if (ok) {
        dcb.BaudRate = wanted.baud;
        dcb.ByteSize = wanted.byte_size;
        dcb.Parity = wanted.parity;
        dcb.StopBits = wanted.stop_bits;
        dcb.fBinary = TRUE; // no end-of-file character
        dcb.fParity = parity != 0 ? TRUE : FALSE;
        // No flow control of either kind; modem lines ignored, DTR and RTS held on.
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fTXContinueOnXoff = TRUE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fAbortOnError = FALSE; // a line error must not stall every later call
        ok = ::SetCommState(h, &dcb) != 0;
    }
    // Read the speed back so a device that refused it is not used at the wrong one.
    DCB applied{};
    applied.DCBlength = sizeof applied;
    if (ok)
        ok = ::GetCommState(h, &applied) != 0 && applied.BaudRate == wanted.baud;
    if (ok && input_queue > 0 && output_queue > 0)
        ::SetupComm(h, static_cast<DWORD>(input_queue), static_cast<DWORD>(output_queue));
    if (ok)
        ok = set_read_wait(h, 0) && ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR) != 0;
    if (!ok) {
        ::CloseHandle(h);
        record_serial_failure(port, device, SerialFailure::SettingsRefused,
                              std::to_string(baud) + " baud");
        return kRS232CannotOpen;
    }
    instrument_diagnosis_forget(serial_instrument_key(port));
    Port& p = ports_[port];
    p.handle = h;
    p.device = device;
    p.queue.clear();
    const int bits = 1 + data_bits + (parity != 0 ? 1 : 0) + stop_bits;
    p.seconds_per_byte = static_cast<double>(bits) / static_cast<double>(baud);
    return 0;
}

std::string Win32SerialBackend::describe_port(int port) const {
    return serial_mapping_text(port, lookup_(port));
}

int Win32SerialBackend::flush_in_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    p->queue.clear();
    if (::PurgeComm(handle_of(p->handle), PURGE_RXCLEAR) == 0)
        return status_of(status_of_error(::GetLastError()));
    return 0;
}

int Win32SerialBackend::flush_out_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    if (::PurgeComm(handle_of(p->handle), PURGE_TXCLEAR) == 0)
        return status_of(status_of_error(::GetLastError()));
    return 0;
}

int Win32SerialBackend::drain_out_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    if (::FlushFileBuffers(handle_of(p->handle)) == 0)
        return status_of(status_of_error(::GetLastError()));
    return 0;
}

int Win32SerialBackend::com_wrt(int port, const char* buffer, int count) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    if (count <= 0)
        return 0;
    const HANDLE h = handle_of(p->handle);
    // The whole write may take the read time-out plus the bytes' time on the line.
    const double seconds = kSerialReadTimeoutSeconds + p->seconds_per_byte * count;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(std::ceil(seconds * 1000.0));
    if (::SetCommTimeouts(h, &t) == 0)
        return status_of(status_of_error(::GetLastError()));
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, buffer, static_cast<DWORD>(count), &written, nullptr);
    if (!ok)
        return status_of(status_of_error(::GetLastError()));
    // Part of a command is no command: anything short of all bytes is a failure.
    return written == static_cast<DWORD>(count) ? count : kRS232Timeout;
}

int Win32SerialBackend::com_rd_term(int port, char* buffer, int count, int termination_byte) {
    Port* p = open_port(port);
    last_read_error_ = 0;
    if (p == nullptr)
        return last_read_error_ = kRS232PortNotOpen;
    if (count <= 0)
        return 0;
    const HANDLE h = handle_of(p->handle);
    const IoClock::time_point deadline = io_deadline(kSerialReadTimeoutSeconds);
    ReplyEnd end;
    end.byte = termination_byte >= 0 && termination_byte <= 0xFF ? termination_byte : -1;
    const FdReadResult r =
        take_reply(p->queue, static_cast<std::size_t>(count), end, [h, deadline](std::string& q) {
            for (;;) {
                // A Stop during a motion ends the read, as every wait of a motion: the
                // driver halts the motors at its next poll, not after the time-out.
                if (platform_wait_interrupted())
                    return IoStatus::TimedOut;
                const long long ms = io_ms_left(deadline, kStopLookMs);
                if (ms == 0)
                    return IoStatus::TimedOut;
                if (!set_read_wait(h, static_cast<DWORD>(ms)))
                    return status_of_error(::GetLastError());
                char chunk[kChunk];
                DWORD got = 0;
                if (::ReadFile(h, chunk, sizeof chunk, &got, nullptr) == 0)
                    return status_of_error(::GetLastError());
                if (got > 0) {
                    q.append(chunk, got);
                    return IoStatus::Done;
                }
                // Nothing within the wait: the deadline is checked at the top.
            }
        });
    const std::size_t n = r.bytes.size() - (r.terminated ? 1 : 0);
    std::memcpy(buffer, r.bytes.data(), n);
    if (r.status != IoStatus::Done)
        last_read_error_ = status_of(r.status);
    // A read the operator's Stop cut short says nothing about the instrument.
    if (r.status != IoStatus::Done && !platform_wait_interrupted()) {
        record_serial_failure(port, p->device,
                              r.status == IoStatus::TimedOut   ? SerialFailure::NoAnswer
                              : r.status == IoStatus::PeerGone ? SerialFailure::Gone
                                                               : SerialFailure::Other);
    }
    if (r.status == IoStatus::Done || n > 0)
        return static_cast<int>(n); // text cut short by a time-out is still text
    return status_of(r.status);
}

#endif
