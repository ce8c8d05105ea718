// RS-232 ports on the machine's serial devices, through termios.
//
// Each COM number opens the device its mapping names (com_port_mapping.hpp), for this
// program alone (TIOCEXCL), in raw mode with the baud rate, data bits, parity and stop
// bits the open asks for and no flow control. Reads wait with poll() for at most
// kSerialReadTimeoutSeconds; bytes that arrive after a reply's terminator stay in the
// port's input queue for the next read. A device that has gone away (adapter unplugged,
// far end of a pseudo-terminal closed) fails the call at once with kRS232PeerGone.
//
// A pseudo-terminal has no transmit queue: a write is with the far side at once, and
// Linux's output flush of a pseudo-terminal discards what the far side has not read yet
// (its drain returns at once, so draining first does not help). FlushOutQ and DrainOutQ
// on one therefore do nothing (but report a far side that has gone, for the flush); on a
// serial device they discard, or wait for, what has not gone out.
#pragma once

#ifndef _WIN32

#include "platform/serial.hpp"
#include "platform/system_io/serial_errors.hpp"

#include <functional>
#include <map>
#include <string>
#include <termios.h>

// Sets `t` to raw mode with the given line settings (parity numbered 0 none, 1 odd,
// 2 even, 3 mark, 4 space): no echo, no line editing, no translation of carriage return
// or line feed, no software or hardware flow control, modem lines ignored. 0, or the
// failure that names the setting the device cannot take.
int serial_line_settings(termios& t, long baud, int parity, int data_bits, int stop_bits);

class TermiosSerialBackend : public SerialBackend {
public:
    // The device node for a COM number; empty when the port has none.
    using DeviceLookup = std::function<std::string(int port)>;

    // Ports map by com_port_device_here() unless the caller gives another rule.
    TermiosSerialBackend();
    explicit TermiosSerialBackend(DeviceLookup lookup);
    ~TermiosSerialBackend() override;
    TermiosSerialBackend(const TermiosSerialBackend&) = delete;
    TermiosSerialBackend& operator=(const TermiosSerialBackend&) = delete;

    // Opens the port's device; a port that is open already is closed and opened again
    // with the new settings. A non-empty `device_name` is used as the device itself.
    int open_com_config(int port, const std::string& device_name, long baud, int parity,
                        int data_bits, int stop_bits, int input_queue, int output_queue) override;
    int flush_in_q(int port) override;
    int flush_out_q(int port) override;
    // tcdrain, bounded: a device whose transmit queue does not empty within the read
    // time-out plus the queued bytes' time on the line gives kRS232Timeout.
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
        int fd = -1;
        double seconds_per_byte = 0.0; // on the line, start and stop bits included
        std::string queue;             // read from the device, not yet handed out
        std::string device;            // the device node, for the operator's reports
        bool pseudo_terminal = false;  // no transmit queue of its own (see above)
    };
    // Records why a read or write of `port` failed with `status` (open_diagnosis.hpp).
    static void note_failure(int port, const Port& p, int status);
    Port* open_port(int port);
    void close_port(Port& p);

    DeviceLookup lookup_;
    std::map<int, Port> ports_;
    int last_read_error_ = 0;
};

#endif
