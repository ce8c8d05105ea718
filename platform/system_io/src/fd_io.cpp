#ifndef _WIN32

#include "fd_io.hpp"

#include "platform/operator_thread.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunk = 512;

// How often a read looks whether a Stop wants it to end (see wait_for).
constexpr int kStopLookMs = 20;

// Milliseconds for poll(): -1 for no deadline, rounded up so a wait never ends early
// and never turns into a loop of zero-length polls.
int poll_ms(IoClock::time_point deadline) {
    if (deadline == IoClock::time_point::max())
        return -1;
    return static_cast<int>(io_ms_left(deadline, INT_MAX));
}

} // namespace

IoStatus io_status_of_errno(int error) {
    switch (error) {
    case EIO:
    case EPIPE:
    case ECONNRESET:
    case ENOTCONN:
    case ENXIO:
    case ENODEV:
        return IoStatus::PeerGone;
    default:
        return IoStatus::Failed;
    }
}

namespace {

// Waits for `events` on `fd` until the deadline: Done when they came, else why not. A wait
// that `stoppable` (a read) ends as timed out once a Stop is requested inside a motion
// (platform_wait_interrupted), as every wait of a motion does, so that the driver reaches
// its next poll and halts the motors at once instead of after the read's time-out. A
// write is never cut short: it may be the command that halts them.
IoStatus wait_for(int fd, short events, IoClock::time_point deadline, bool stoppable) {
    for (;;) {
        if (stoppable && platform_wait_interrupted())
            return IoStatus::TimedOut;
        int ms = poll_ms(deadline);
        if (ms == 0)
            return IoStatus::TimedOut;
        if (stoppable)
            ms = ms < 0 ? kStopLookMs : std::min(ms, kStopLookMs);
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, ms);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return IoStatus::Failed;
        }
        if (r == 0)
            continue; // the deadline is checked at the top
        if ((p.revents & POLLNVAL) != 0)
            return IoStatus::Failed;
        if ((p.revents & events) != 0)
            return IoStatus::Done;
        // Hang-up or error with nothing left to read or room to write.
        return IoStatus::PeerGone;
    }
}

} // namespace

FdReadResult fd_read_reply(int fd, std::string& queue, std::size_t count, ReplyEnd end,
                           IoClock::time_point deadline) {
    return take_reply(queue, count, end, [fd, deadline](std::string& q) {
        for (;;) {
            char chunk[kChunk];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n > 0) {
                q.append(chunk, static_cast<std::size_t>(n));
                return IoStatus::Done;
            }
            if (n == 0)
                return IoStatus::PeerGone;
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return io_status_of_errno(errno);
            const IoStatus waited = wait_for(fd, POLLIN, deadline, true);
            if (waited != IoStatus::Done)
                return waited;
        }
    });
}

FdWriteResult fd_write_all(int fd, const char* data, std::size_t count,
                           IoClock::time_point deadline, bool is_socket) {
    FdWriteResult result;
    while (result.written < count) {
        const char* from = data + result.written;
        const std::size_t left = count - result.written;
        const ssize_t n =
            is_socket ? ::send(fd, from, left, MSG_NOSIGNAL) : ::write(fd, from, left);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            result.status = wait_for(fd, POLLOUT, deadline, false);
            if (result.status != IoStatus::Done)
                return result;
            continue;
        }
        result.status = n < 0 ? io_status_of_errno(errno) : IoStatus::Failed;
        return result;
    }
    result.status = IoStatus::Done;
    return result;
}

IoStatus fd_drain(int fd) {
    // Bounded, so a peer that never stops talking cannot hold the program here.
    for (int chunks = 0; chunks < 128; ++chunks) {
        char chunk[kChunk];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0)
            continue;
        if (n == 0)
            return IoStatus::PeerGone;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return IoStatus::Done;
        return io_status_of_errno(errno);
    }
    return IoStatus::Done;
}

#endif
