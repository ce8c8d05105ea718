#include "serial_link.hpp"

#include "drivers/wait_profile.hpp"
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
    // Text that came without its carriage return before the read timed out (or the port
    // went) is a reply cut short: "GA01,+0" of "GA01,+0012.5000" would pass for a reading
    // of 0. It counts as the failure that cut it.
    if (n > 0 && ReturnRS232Err() != 0)
        return ReturnRS232Err();
    if (n > 0)
        reply->assign(buffer.data(), static_cast<std::size_t>(n) <= max_bytes
                                         ? static_cast<std::size_t>(n)
                                         : max_bytes);
    return n;
}

int serial_link_drain(int port) {
    const WaitBooking booking(WaitKind::line);
    return DrainOutQ(port);
}
