// What a simulated instrument has said but the program has not yet taken: bytes that
// leave one after the other at the line's byte time, and the faults that spoil a reply on
// its way out (silence, garbling, truncation).
#pragma once

#include <cmath>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

enum class ReplyFault {
    none,
    silent,    // the instrument says nothing
    garbled,   // every other character of the text is replaced by '#'
    truncated, // only the first half of the text comes, without its terminator
};

// The bytes an instrument sends for `text` ended by `terminator`, spoiled by `fault`.
std::string reply_with_fault(std::string_view text, std::string_view terminator, ReplyFault fault);

// The fault the next reply meets: a one-shot fault (then cleared, so the instrument is
// clean again), else the standing one.
inline ReplyFault next_reply_fault(ReplyFault& once, ReplyFault standing) {
    const ReplyFault fault = once != ReplyFault::none ? once : standing;
    once = ReplyFault::none;
    return fault;
}

// The delay a "late" fault adds to a reply: `seconds` when it is a positive finite
// number, else none.
inline double reply_lateness(double seconds) {
    return std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;
}

// Seconds one character takes on a serial line (start bit, data bits, stop bits).
double serial_seconds_per_byte(long baud, int data_bits, int stop_bits);

class TimedOutput {
public:
    explicit TimedOutput(double seconds_per_byte = 0.0) : per_byte_(seconds_per_byte) {}

    // `bytes` start to leave at `from`, or when what is queued before them has left.
    void push(double from, std::string bytes);
    // When the first byte not yet taken is (or was) ready; infinity when none is queued.
    double next_ready() const;
    std::string take(double now, std::size_t max);
    void clear() {
        chunks_.clear();
        queued_ = 0;
    }
    bool empty() const { return chunks_.empty(); }
    std::size_t size() const { return queued_; } // bytes not yet taken

private:
    struct Chunk {
        double start; // the first byte is ready one byte time after this
        std::string bytes;
        std::size_t taken = 0;
    };
    double per_byte_;
    std::deque<Chunk> chunks_;
    std::size_t queued_ = 0;
};
