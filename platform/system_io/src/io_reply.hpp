// What every transport of the machine's instruments shares, on every system: deadlines,
// the outcome of a transfer, and taking one reply from the front of an input queue, so
// that whatever arrived after a reply's terminator stays queued for the next read, as a
// serial input queue keeps it. Each transport only says how to refill the queue.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

using IoClock = std::chrono::steady_clock;

// The moment `seconds` from now; an infinite or enormous wait gives time_point::max().
IoClock::time_point io_deadline(double seconds);

// Whole milliseconds left until `deadline`, rounded up so a wait never ends early; 0 when
// it has passed, `cap` for no deadline or a longer one.
long long io_ms_left(IoClock::time_point deadline, long long cap);

enum class IoStatus {
    Done,     // a whole reply (terminator or count), or every byte written
    TimedOut, // the deadline passed first
    PeerGone, // the far side closed or the device went away (end of file, EIO, hang-up)
    Failed,   // any other error of the device or socket
};

// How a reply ends: at `byte` compared on the bits of `mask`, or only at the count when
// `byte` is negative.
struct ReplyEnd {
    int byte = -1;
    unsigned mask = 0xFF;
};

struct FdReadResult {
    std::string bytes; // from the front of the queue, the terminator included
    bool terminated = false;
    IoStatus status = IoStatus::Done;
};

struct FdWriteResult {
    std::size_t written = 0;
    IoStatus status = IoStatus::Done;
};

// Appends at least one byte to the queue (waiting as the transport's deadline allows)
// and gives Done, or gives why it could not.
using QueueRefill = std::function<IoStatus(std::string& queue)>;

// Takes from `queue`, refilled by `refill`, one reply of at most `count` bytes. When the
// refill fails (deadline, hang-up, error), hands out what the queue holds (up to `count`)
// with that status.
FdReadResult take_reply(std::string& queue, std::size_t count, ReplyEnd end,
                        const QueueRefill& refill);
