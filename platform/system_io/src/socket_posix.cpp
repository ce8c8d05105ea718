#ifndef _WIN32

#include "fd_io.hpp"
#include "socket_io.hpp"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void note(ConnectFailure& why, int error) {
    why.kind = error == ECONNREFUSED ? ConnectFailure::Kind::Refused
               : error == ETIMEDOUT  ? ConnectFailure::Kind::TimedOut
                                     : ConnectFailure::Kind::Other;
    why.text = std::strerror(error);
}

// Connects to one address, waiting until the deadline; the socket or -1 (and why).
int connect_to(const addrinfo& address, IoClock::time_point deadline, ConnectFailure& why) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0) {
        note(why, errno);
        return -1;
    }
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        bool connected = false;
        note(why, errno);
        if (errno == EINPROGRESS) {
            note(why, ETIMEDOUT); // unless the wait below ends otherwise
            for (;;) {
                const long long left = io_ms_left(deadline, 30000);
                if (left <= 0)
                    break;
                pollfd p{fd, POLLOUT, 0};
                const int r = ::poll(&p, 1, static_cast<int>(left));
                if (r < 0 && errno == EINTR)
                    continue;
                if (r > 0) {
                    int error = 0;
                    socklen_t length = sizeof error;
                    connected =
                        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
                    if (!connected && error != 0)
                        note(why, error);
                }
                break;
            }
        }
        if (!connected) {
            ::close(fd);
            return -1;
        }
    }
    // Commands are short and each waits for its answer: send them at once.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

} // namespace

SocketHandle socket_connect(const GpibEndpoint& endpoint, double seconds, ConnectFailure* why) {
    ConnectFailure failure;
    ConnectFailure& out = why != nullptr ? *why : failure;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    if (const int r = ::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found); r != 0) {
        out.kind = ConnectFailure::Kind::HostNotFound;
        out.text = ::gai_strerror(r);
        return kNoSocket;
    }
    const IoClock::time_point deadline = io_deadline(seconds);
    int fd = -1;
    for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next)
        fd = connect_to(*a, deadline, out);
    ::freeaddrinfo(found);
    return fd >= 0 ? fd : kNoSocket;
}

void socket_close(SocketHandle socket) {
    if (socket != kNoSocket)
        ::close(static_cast<int>(socket));
}

FdReadResult socket_read_reply(SocketHandle socket, std::string& queue, std::size_t count,
                               ReplyEnd end, IoClock::time_point deadline) {
    return fd_read_reply(static_cast<int>(socket), queue, count, end, deadline);
}

FdWriteResult socket_write_all(SocketHandle socket, const char* data, std::size_t count,
                               IoClock::time_point deadline) {
    return fd_write_all(static_cast<int>(socket), data, count, deadline, true);
}

IoStatus socket_drain(SocketHandle socket) {
    return fd_drain(static_cast<int>(socket));
}

#endif
