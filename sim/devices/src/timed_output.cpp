#include "sim/timed_output.hpp"

#include "sim/motion_profile.hpp"

#include <algorithm>

std::string reply_with_fault(std::string_view text, std::string_view terminator, ReplyFault fault) {
    switch (fault) {
    case ReplyFault::silent:
        return {};
    case ReplyFault::garbled: {
        std::string spoiled(text);
        for (std::size_t i = 1; i < spoiled.size(); i += 2)
            spoiled[i] = '#';
        return spoiled + std::string(terminator);
    }
    case ReplyFault::truncated:
        return std::string(text.substr(0, text.size() / 2));
    case ReplyFault::none:
        break;
    }
    return std::string(text) + std::string(terminator);
}

double serial_seconds_per_byte(long baud, int data_bits, int stop_bits) {
    if (baud <= 0)
        return 0.0;
    return static_cast<double>(1 + data_bits + stop_bits) / static_cast<double>(baud);
}

void TimedOutput::push(double from, std::string bytes) {
    if (bytes.empty())
        return;
    if (!chunks_.empty()) {
        const Chunk& last = chunks_.back();
        from = std::max(from, last.start + per_byte_ * static_cast<double>(last.bytes.size()));
    }
    queued_ += bytes.size();
    chunks_.push_back({from, std::move(bytes), 0});
}

double TimedOutput::next_ready() const {
    if (chunks_.empty())
        return kSimNever;
    const Chunk& c = chunks_.front();
    return c.start + per_byte_ * static_cast<double>(c.taken + 1);
}

std::string TimedOutput::take(double now, std::size_t max) {
    std::string out;
    while (!chunks_.empty() && out.size() < max) {
        Chunk& c = chunks_.front();
        // Bytes of this chunk ready by now.
        std::size_t ready = c.bytes.size();
        if (per_byte_ > 0.0) {
            // A thousandth of a byte of slack absorbs the clock's rounding to microseconds.
            const double sent = (now - c.start) / per_byte_ + 1e-3;
            ready = sent <= 0.0 ? 0 : std::min(c.bytes.size(), static_cast<std::size_t>(sent));
        } else if (now < c.start) {
            ready = 0;
        }
        if (ready <= c.taken)
            break;
        const std::size_t n = std::min(ready - c.taken, max - out.size());
        out.append(c.bytes, c.taken, n);
        c.taken += n;
        queued_ -= n;
        if (c.taken < c.bytes.size())
            break;
        chunks_.pop_front();
    }
    return out;
}
