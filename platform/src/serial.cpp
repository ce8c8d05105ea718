// Dispatch of the RS-232 operations to the installed serial backend.
#include "platform/serial.hpp"

#include "group_resets.hpp"

namespace {
SerialBackend* g_serial = nullptr;
int g_last_read_error = 0;
} // namespace

void platform_use_serial(SerialBackend* backend) {
    g_serial = backend;
}
SerialBackend* platform_serial() {
    return g_serial;
}
void platform_serial_reset() {
    g_serial = nullptr;
    g_last_read_error = 0;
}

int OpenComConfig(int port, const char* device_name, long baud, int parity, int data_bits,
                  int stop_bits, int input_queue, int output_queue) {
    if (g_serial == nullptr)
        return kRS232NoBackend;
    return g_serial->open_com_config(port, device_name != nullptr ? device_name : "", baud, parity,
                                     data_bits, stop_bits, input_queue, output_queue);
}
int FlushInQ(int port) {
    return g_serial != nullptr ? g_serial->flush_in_q(port) : kRS232NoBackend;
}
int FlushOutQ(int port) {
    return g_serial != nullptr ? g_serial->flush_out_q(port) : kRS232NoBackend;
}
int DrainOutQ(int port) {
    return g_serial != nullptr ? g_serial->drain_out_q(port) : kRS232NoBackend;
}
int ComWrt(int port, const char* buffer, int count) {
    if (g_serial == nullptr)
        return kRS232NoBackend;
    if (buffer == nullptr || count < 0)
        return kRS232InvalidPort;
    return g_serial->com_wrt(port, buffer, count);
}
int ComRdTerm(int port, char* buffer, int count, int termination_byte) {
    if (g_serial == nullptr)
        return g_last_read_error = kRS232NoBackend;
    if (buffer == nullptr || count <= 0) {
        g_last_read_error = 0;
        return 0;
    }
    const int n = g_serial->com_rd_term(port, buffer, count, termination_byte);
    g_last_read_error = n < 0 ? n : g_serial->last_read_error();
    return n;
}

int ReturnRS232Err() {
    return g_last_read_error;
}
