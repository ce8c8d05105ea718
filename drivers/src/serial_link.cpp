#include "serial_link.hpp"

#include "platform/clock.hpp"
#include "platform/serial.hpp"

#include <vector>

namespace {
// Rounding of the clock's seconds; far below any reply time.
constexpr double kClockSlackSeconds = 1e-3;
} // namespace

int serial_link_write(int port, std::string_view command) {
    std::string framed(command);
    framed += "\r\n";
    return ComWrt(port, framed.data(), static_cast<int>(framed.size()));
}

int serial_link_read(int port, std::size_t max_bytes, std::string* reply) {
    std::vector<char> buffer(max_bytes);
    const double started = platform_now_seconds();
    const int n = ComRdTerm(port, buffer.data(), static_cast<int>(max_bytes), 13);
    // A read that ran out its whole time-out ended without the terminator (a full buffer
    // returns at once): what came is a reply cut short, and "GA01,+0" of "GA01,+0012.5000"
    // would pass for a reading of 0. It counts as the time-out it is.
    if (n > 0 && static_cast<std::size_t>(n) < max_bytes &&
        platform_now_seconds() - started >= kSerialReadTimeoutSeconds - kClockSlackSeconds)
        return kRS232Timeout;
    if (n > 0)
        reply->assign(buffer.data(), static_cast<std::size_t>(n) <= max_bytes
                                         ? static_cast<std::size_t>(n)
                                         : max_bytes);
    return n;
}
