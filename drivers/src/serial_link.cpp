#include "serial_link.hpp"

#include "platform/serial.hpp"

#include <vector>

int serial_link_write(int port, std::string_view command) {
    std::string framed(command);
    framed += "\r\n";
    return ComWrt(port, framed.data(), static_cast<int>(framed.size()));
}

int serial_link_read(int port, std::size_t max_bytes, std::string* reply) {
    std::vector<char> buffer(max_bytes);
    const int n = ComRdTerm(port, buffer.data(), static_cast<int>(max_bytes), 13);
    if (n > 0)
        reply->assign(buffer.data(), static_cast<std::size_t>(n) <= max_bytes
                                         ? static_cast<std::size_t>(n)
                                         : max_bytes);
    return n;
}
