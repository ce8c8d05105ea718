#include "link_read.hpp"

#include "platform/clock.hpp"
#include "platform/operator_thread.hpp"

#include <algorithm>
#include <cmath>

namespace {

// The end of the first terminated or full reply in `pending`, or npos.
std::size_t reply_end(const std::string& pending, std::size_t count, int terminator) {
    if (terminator >= 0) {
        const std::size_t at = pending.find(static_cast<char>(terminator));
        if (at != std::string::npos && at < count)
            return at + 1;
    }
    return pending.size() >= count ? count : std::string::npos;
}

} // namespace

LinkReadResult link_read(LinkPeer& peer, std::string& pending, std::size_t count, int terminator,
                         double timeout) {
    LinkReadResult result;
    const double start = platform_now_seconds();
    // An infinite time-out (a GPIB unit opened without one) waits for as long as the peer
    // has something coming; a peer with nothing coming ends the read, since no one else
    // in this process could ever make it answer.
    const bool forever = timeout == kLinkNever;
    const double deadline = forever ? kLinkNever : start + (timeout > 0.0 ? timeout : 0.0);
    for (;;) {
        const double now = platform_now_seconds();
        pending += peer.take_output(now, count + 1);
        const std::size_t end = reply_end(pending, count, terminator);
        if (end != std::string::npos) {
            result.bytes = pending.substr(0, end);
            pending.erase(0, end);
            result.terminated =
                terminator >= 0 && result.bytes.back() == static_cast<char>(terminator);
            return result;
        }
        const double due = peer.output_ready_at(now);
        // A motion being stopped reads no further: the driver's next poll halts it.
        if (now >= deadline || (forever && !(due < kLinkNever)) || platform_wait_interrupted()) {
            result.timed_out = true;
            break;
        }
        // A peer that claims bytes are ready yet hands none over would spin this loop:
        // treat it as silent until the deadline.
        const double wake = (due > now && due < deadline) ? due : deadline;
        Delay(std::max(wake - now, 1e-6));
        if (platform_now_seconds() <= now)
            break; // a clock that does not move: give up rather than spin
    }
    const std::size_t n = pending.size() < count ? pending.size() : count;
    result.bytes = pending.substr(0, n);
    pending.erase(0, n);
    return result;
}
