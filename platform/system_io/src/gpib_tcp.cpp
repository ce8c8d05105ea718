#ifndef _WIN32

#include "platform/system_io/gpib_tcp.hpp"

#include "fd_io.hpp"
#include "platform/gpib_timeout.hpp"
#include "platform/system_io/gpib_units.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr char kLineFeed = '\n';

// Connects to one address, waiting until the deadline; the socket or -1.
int connect_to(const addrinfo& address, IoClock::time_point deadline) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0)
        return -1;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        bool connected = false;
        if (errno == EINPROGRESS) {
            for (;;) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - IoClock::now());
                if (left.count() <= 0)
                    break;
                pollfd p{fd, POLLOUT, 0};
                const int r = ::poll(&p, 1, static_cast<int>(left.count()));
                if (r < 0 && errno == EINTR)
                    continue;
                if (r > 0) {
                    int error = 0;
                    socklen_t length = sizeof error;
                    connected =
                        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
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

int connect_endpoint(const GpibEndpoint& endpoint, double timeout) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    if (::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found) != 0)
        return -1;
    const double wait = timeout < 1.0 ? 1.0 : (timeout > 30.0 ? 30.0 : timeout);
    const IoClock::time_point deadline = io_deadline(wait);
    int fd = -1;
    for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next)
        fd = connect_to(*a, deadline);
    ::freeaddrinfo(found);
    return fd;
}

int status_of(IoStatus status) {
    return status == IoStatus::TimedOut ? (ERR | TIMO) : ERR;
}

} // namespace

GpibTcpBackend::GpibTcpBackend() : lookup_(gpib_endpoint_from_environment) {}

GpibTcpBackend::GpibTcpBackend(EndpointLookup lookup) : lookup_(std::move(lookup)) {}

GpibTcpBackend::~GpibTcpBackend() {
    close_all();
}

void GpibTcpBackend::close_all() {
    for (auto& [ud, u] : units_)
        if (u.fd >= 0)
            ::close(u.fd);
    units_.clear();
}

GpibTcpBackend::Unit* GpibTcpBackend::unit(int ud) {
    const auto it = units_.find(ud);
    return it != units_.end() ? &it->second : nullptr;
}

int GpibTcpBackend::ibdev(int board, int pad, int /*sad*/, int tmo, int /*eot*/, int /*eos*/) {
    if (!gpib_unit_in_range(board, pad))
        return -1;
    const std::optional<std::string> text = lookup_(board, pad);
    if (!text)
        return -1;
    const std::optional<GpibEndpoint> endpoint = parse_gpib_endpoint(*text);
    if (!endpoint) {
        std::fprintf(stderr, "%s=%s is not HOST:PORT\n", gpib_endpoint_variable(board, pad).c_str(),
                     text->c_str());
        return -1;
    }
    Unit fresh;
    fresh.timeout = gpib_timeout_seconds(tmo);
    fresh.fd = connect_endpoint(*endpoint, fresh.timeout);
    if (fresh.fd < 0)
        return -1;
    const int ud = next_ud_++;
    units_[ud] = std::move(fresh);
    return ud;
}

int GpibTcpBackend::ibclr(int ud) {
    Unit* u = unit(ud);
    if (u == nullptr)
        return ERR;
    u->queue.clear();
    return fd_drain(u->fd) == IoStatus::Done ? CMPL : ERR;
}

int GpibTcpBackend::ibwrt(int ud, const char* buffer, long count, long& transferred) {
    Unit* u = unit(ud);
    if (u == nullptr || count < 0)
        return ERR;
    const FdWriteResult r =
        fd_write_all(u->fd, buffer, static_cast<std::size_t>(count), io_deadline(u->timeout), true);
    transferred = static_cast<long>(r.written);
    return r.status == IoStatus::Done ? CMPL : status_of(r.status);
}

int GpibTcpBackend::ibrd(int ud, char* buffer, long count, long& transferred) {
    Unit* u = unit(ud);
    if (u == nullptr || count <= 0)
        return ERR;
    ReplyEnd end;
    end.byte = kLineFeed;
    const FdReadResult r = fd_read_reply(u->fd, u->queue, static_cast<std::size_t>(count), end,
                                         io_deadline(u->timeout));
    std::memcpy(buffer, r.bytes.data(), r.bytes.size());
    transferred = static_cast<long>(r.bytes.size());
    if (r.status != IoStatus::Done)
        return status_of(r.status);
    return r.terminated ? (CMPL | END) : CMPL;
}

int GpibTcpBackend::ibrsp(int ud, char* status_byte) {
    if (unit(ud) == nullptr)
        return ERR;
    *status_byte = 0;
    return CMPL;
}

int GpibTcpBackend::ibonl(int ud, int online) {
    Unit* u = unit(ud);
    if (u == nullptr)
        return ERR;
    if (online != 0) {
        u->queue.clear();
        return CMPL;
    }
    ::close(u->fd);
    units_.erase(ud);
    return CMPL;
}

#endif
