// RS-232 ports by COM number, as the run-time offers them.
//
// Each port is served by the serial backend installed at start-up: device nodes for the
// real instruments, in-process links or pseudo-terminals for the simulated stage.
#pragma once

#include <string>

// Failure statuses (negative).
enum : int {
    kRS232PortNotOpen = -3,
    kRS232InvalidPort = -2,
    kRS232Timeout = -99,
    kRS232NoBackend = -60,
};

// How long ComRdTerm waits for its terminator or its count before it returns what it has
// (every backend alike). The controller's motion wait polls with reads that must come
// back, with or without text, so this stays short.
constexpr double kSerialReadTimeoutSeconds = 1.0;

class SerialBackend {
public:
    virtual ~SerialBackend() = default;
    virtual int open_com_config(int port, const std::string& device_name, long baud, int parity,
                                int data_bits, int stop_bits, int input_queue,
                                int output_queue) = 0;
    virtual int flush_in_q(int port) = 0;
    virtual int flush_out_q(int port) = 0;
    // Returns once every byte written to the port has left the program's transmit queue
    // for the line, so that no later flush can take it back. Never cut short by a Stop.
    virtual int drain_out_q(int port) = 0;
    virtual int com_wrt(int port, const char* buffer, int count) = 0;
    virtual int com_rd_term(int port, char* buffer, int count, int termination_byte) = 0;
    // What ended the last com_rd_term: 0 when it found its terminator or its count,
    // kRS232Timeout when time ran out first (whether or not text had come), or the port's
    // failure.
    virtual int last_read_error() const { return 0; }
    // Where COM `port` leads, for the operator: "COM2 -> /dev/ttyS1 (...)".
    virtual std::string describe_port(int port) const { return "COM" + std::to_string(port); }
};

void platform_use_serial(SerialBackend* backend);
SerialBackend* platform_serial();

// 0 or a negative error.
int OpenComConfig(int port, const char* device_name, long baud, int parity, int data_bits,
                  int stop_bits, int input_queue, int output_queue);
int FlushInQ(int port);
// Discards what the program wrote that has not gone out yet.
int FlushOutQ(int port);
// Waits until what the program wrote has gone out onto the line (0, or the port's
// failure). The serial drivers drain each command before they flush or write the port
// again, so that a command whose wait was cut short (the halt's kill above all) is never
// discarded by the next one's FlushOutQ.
int DrainOutQ(int port);
// Bytes written; 0 or less is failure.
int ComWrt(int port, const char* buffer, int count);
// Bytes read up to `count` or the termination byte, which is not stored; 0 or less on
// time-out or failure. Text cut short by a time-out is still returned as text:
// ReturnRS232Err() then tells it from a whole reply.
int ComRdTerm(int port, char* buffer, int count, int termination_byte);
// The failure of the last ComRdTerm: 0 when it ended at its terminator or its count,
// kRS232Timeout when it ran out of time, else the port's failure status.
int ReturnRS232Err();
