// RS-232 ports on Windows, through the Win32 communications API.
//
// Each COM number opens the device its mapping names (com_port_mapping.hpp: \\.\COMn, or
// TRELWICK_COM<n>) for this program alone, with the baud rate, data bits, parity and stop
// bits the open asks for, binary, no flow control, modem lines ignored: the settings the
// termios backend gives a Linux port, with the same failures (serial_errors.hpp). A read
// waits at most kSerialReadTimeoutSeconds (COMMTIMEOUTS, set to what is left of that
// second before each wait); bytes that arrive after a reply's terminator stay queued for
// the next read. Text cut short by the time-out is handed out with kRS232Timeout as the
// read's error, as on Linux.
#pragma once

#ifdef _WIN32

#include "platform/serial.hpp"
#include "platform/system_io/serial_errors.hpp"

#include <functional>
#include <map>
#include <string>

// The Win32 line settings of one open, kept apart from the API's own DCB so that they
// are checked (and tested) without a device: 0, or the failure that names the setting.
struct Win32LineSettings {
    unsigned long baud = 0;
    unsigned char byte_size = 8;
    unsigned char parity = 0;    // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    unsigned char stop_bits = 0; // ONESTOPBIT or TWOSTOPBITS
};
int serial_win32_settings(Win32LineSettings& out, long baud, int parity, int data_bits,
                          int stop_bits);

class Win32SerialBackend : public SerialBackend {
public:
    // The device for a COM number; empty when the port has none.
    using DeviceLookup = std::function<std::string(int port)>;

    // Ports map by com_port_device_here() unless the caller gives another rule.
    Win32SerialBackend();
    explicit Win32SerialBackend(DeviceLookup lookup);
    ~Win32SerialBackend() override;
    Win32SerialBackend(const Win32SerialBackend&) = delete;
    Win32SerialBackend& operator=(const Win32SerialBackend&) = delete;

    // Opens the port's device; a port that is open already is closed and opened again
    // with the new settings. A non-empty `device_name` is used as the device itself.
    int open_com_config(int port, const std::string& device_name, long baud, int parity,
                        int data_bits, int stop_bits, int input_queue, int output_queue) override;
    int flush_in_q(int port) override;
    int flush_out_q(int port) override;
    // FlushFileBuffers: returns once the device has sent what was written (bounded by the
    // write time-out the last write set).
    int drain_out_q(int port) override;
    // All bytes, or a failure: a write that cannot finish within the read time-out plus
    // the bytes' time on the line gives kRS232Timeout.
    int com_wrt(int port, const char* buffer, int count) override;
    int com_rd_term(int port, char* buffer, int count, int termination_byte) override;
    int last_read_error() const override { return last_read_error_; }
    std::string describe_port(int port) const override;

    // Closes every port.
    void close_all();

private:
    struct Port {
        void* handle = nullptr;        // the device's HANDLE
        double seconds_per_byte = 0.0; // on the line, start and stop bits included
        std::string queue;             // read from the device, not yet handed out
        std::string device;            // the device, for the operator's reports
    };
    Port* open_port(int port);
    void close_port(Port& p);

    DeviceLookup lookup_;
    std::map<int, Port> ports_;
    int last_read_error_ = 0;
};

#endif
