#include "io_reply.hpp"

#include <cmath>

namespace {

// The end of the first whole reply in `queue`, or 0 when there is none yet.
std::size_t reply_length(const std::string& queue, std::size_t count, ReplyEnd end) {
    if (end.byte >= 0) {
        const unsigned wanted = static_cast<unsigned>(end.byte) & end.mask;
        const std::size_t limit = queue.size() < count ? queue.size() : count;
        for (std::size_t i = 0; i < limit; ++i)
            if ((static_cast<unsigned char>(queue[i]) & end.mask) == wanted)
                return i + 1;
    }
    return queue.size() >= count ? count : 0;
}

} // namespace

IoClock::time_point io_deadline(double seconds) {
    // Beyond a year the wait is "for ever"; this also keeps the arithmetic in range.
    if (!(seconds < 365.0 * 86400.0))
        return IoClock::time_point::max();
    const auto wait = std::chrono::duration_cast<IoClock::duration>(
        std::chrono::duration<double>(seconds > 0.0 ? seconds : 0.0));
    return IoClock::now() + wait;
}

long long io_ms_left(IoClock::time_point deadline, long long cap) {
    if (deadline == IoClock::time_point::max())
        return cap;
    const auto left = deadline - IoClock::now();
    if (left <= IoClock::duration::zero())
        return 0;
    const double ms = std::ceil(std::chrono::duration<double, std::milli>(left).count());
    return ms > static_cast<double>(cap) ? cap : static_cast<long long>(ms);
}

FdReadResult take_reply(std::string& queue, std::size_t count, ReplyEnd end,
                        const QueueRefill& refill) {
    FdReadResult result;
    for (;;) {
        const std::size_t length = reply_length(queue, count, end);
        if (length > 0) {
            result.bytes = queue.substr(0, length);
            queue.erase(0, length);
            result.terminated =
                end.byte >= 0 && (static_cast<unsigned char>(result.bytes.back()) & end.mask) ==
                                     (static_cast<unsigned>(end.byte) & end.mask);
            result.status = IoStatus::Done;
            return result;
        }
        result.status = refill(queue);
        if (result.status != IoStatus::Done)
            break;
    }
    const std::size_t n = queue.size() < count ? queue.size() : count;
    result.bytes = queue.substr(0, n);
    queue.erase(0, n);
    return result;
}
