#include "sim_wire.hpp"

#include "platform/platform.hpp"

#include <string>

int open_port(int port, int data_bits, int stop_bits) {
    return OpenComConfig(port, "", 9600, 0, data_bits, stop_bits, 512, 512);
}

void send(int port, std::string_view text) {
    const std::string bytes(text);
    ComWrt(port, bytes.data(), static_cast<int>(bytes.size()));
}

std::string read_line(int port) {
    std::string buffer(300, '\0');
    const int n = ComRdTerm(port, buffer.data(), 300, 13);
    return n > 0 ? buffer.substr(0, static_cast<std::size_t>(n)) : std::string();
}

std::string drain(int port, double seconds) {
    Delay(seconds);
    std::string all;
    for (;;) {
        std::string buffer(512, '\0');
        // No terminator: the read ends at its count or its time-out.
        const int n = ComRdTerm(port, buffer.data(), 512, -1);
        if (n <= 0)
            return all;
        all += buffer.substr(0, static_cast<std::size_t>(n));
        if (n < 512)
            return all;
    }
}

int open_daq() {
    return ibdev(1, 9, 0, 14, 0, 0x140A);
}

void daq_send(int ud, std::string_view command) {
    const std::string bytes = std::string(command) + "\n";
    ibwrt(ud, bytes.data(), static_cast<long>(bytes.size()));
}

std::string daq_read(int ud) {
    std::string buffer(3000, '\0');
    const int status = ibrd(ud, buffer.data(), 3000);
    if ((status & ERR) != 0)
        return "<timeout>";
    std::string text = buffer.substr(0, static_cast<std::size_t>(ThreadIbcntl()));
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

std::string daq_query(int ud, std::string_view query) {
    daq_send(ud, query);
    return daq_read(ud);
}
