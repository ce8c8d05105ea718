// Reads and writes on a non-blocking POSIX descriptor (a serial device or a socket) that
// wait with poll() against a deadline, never by spinning. A read gathers bytes into the
// caller's input queue and takes one reply from its front (io_reply.hpp).
#pragma once

#ifndef _WIN32

#include "io_reply.hpp"

#include <cstddef>
#include <string>

// Takes from `queue`, refilled from `fd`, one reply of at most `count` bytes. When the
// deadline passes or the descriptor fails, hands out what the queue holds (up to
// `count`) with that status. A Stop requested during a motion ends the wait at once, as
// timed out (platform_wait_interrupted).
FdReadResult fd_read_reply(int fd, std::string& queue, std::size_t count, ReplyEnd end,
                           IoClock::time_point deadline);

// Writes all `count` bytes, waiting for room until the deadline. Sockets are written with
// send() so that a closed peer is an error, not a signal.
FdWriteResult fd_write_all(int fd, const char* data, std::size_t count,
                           IoClock::time_point deadline, bool is_socket);

// What an errno of a read, write or flush says about the descriptor.
IoStatus io_status_of_errno(int error);

// Reads and drops whatever is readable now (at most 64 KiB).
IoStatus fd_drain(int fd);

#endif
