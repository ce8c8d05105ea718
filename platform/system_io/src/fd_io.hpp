// Reads and writes on a non-blocking descriptor (a serial device or a socket) that wait
// with poll() against a deadline, never by spinning. A read gathers bytes into the
// caller's input queue and takes one reply from its front, so whatever arrived after the
// reply stays queued for the next read, as a serial input queue keeps it.
#pragma once

#ifndef _WIN32

#include <chrono>
#include <cstddef>
#include <string>

using IoClock = std::chrono::steady_clock;

// The moment `seconds` from now; an infinite or enormous wait gives time_point::max().
IoClock::time_point io_deadline(double seconds);

enum class IoStatus {
    Done,     // a whole reply (terminator or count), or every byte written
    TimedOut, // the deadline passed first
    PeerGone, // the far side closed or the device went away (end of file, EIO, hang-up)
    Failed,   // any other error of the descriptor
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

// Takes from `queue`, refilled from `fd`, one reply of at most `count` bytes. When the
// deadline passes or the descriptor fails, hands out what the queue holds (up to
// `count`) with that status.
FdReadResult fd_read_reply(int fd, std::string& queue, std::size_t count, ReplyEnd end,
                           IoClock::time_point deadline);

struct FdWriteResult {
    std::size_t written = 0;
    IoStatus status = IoStatus::Done;
};

// Writes all `count` bytes, waiting for room until the deadline. Sockets are written with
// send() so that a closed peer is an error, not a signal.
FdWriteResult fd_write_all(int fd, const char* data, std::size_t count,
                           IoClock::time_point deadline, bool is_socket);

// What an errno of a read, write or flush says about the descriptor.
IoStatus io_status_of_errno(int error);

// Reads and drops whatever is readable now (at most 64 KiB).
IoStatus fd_drain(int fd);

#endif
