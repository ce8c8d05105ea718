#ifdef _WIN32

#include "socket_io.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

constexpr std::size_t kChunk = 512;

// Winsock is started once for the program's life; the system ends it at exit.
bool winsock_ready() {
    static const bool ready = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

IoStatus status_of_error(int error) {
    switch (error) {
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENOTCONN:
    case WSAESHUTDOWN:
    case WSAENETRESET:
        return IoStatus::PeerGone;
    default:
        return IoStatus::Failed;
    }
}

// Waits until the socket is readable (or writable) or the deadline passes.
IoStatus wait_for(SOCKET s, bool for_writing, IoClock::time_point deadline) {
    for (;;) {
        const long long ms = io_ms_left(deadline, 1000LL * 3600);
        if (ms == 0)
            return IoStatus::TimedOut;
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        timeval wait{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
        const int r = ::select(0, for_writing ? nullptr : &ready, for_writing ? &ready : nullptr,
                               &failed, &wait);
        if (r == SOCKET_ERROR)
            return status_of_error(::WSAGetLastError());
        if (r == 0)
            continue; // the deadline is checked at the top
        if (FD_ISSET(s, &ready))
            return IoStatus::Done;
        return IoStatus::PeerGone;
    }
}

// Connects to one address, waiting until the deadline; the socket or INVALID_SOCKET (and
// why: a refusal shows in the exception set, nothing at all by the deadline is a time-out).
SOCKET connect_to(const addrinfo& address, IoClock::time_point deadline, ConnectFailure& why) {
    why.kind = ConnectFailure::Kind::Other;
    SOCKET s = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET)
        return INVALID_SOCKET;
    u_long non_blocking = 1;
    bool connected = ::ioctlsocket(s, FIONBIO, &non_blocking) == 0;
    if (connected && ::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        connected = false;
        if (::WSAGetLastError() == WSAEWOULDBLOCK) {
            // A refused connection shows in the exception set, not as writable.
            const long long ms = io_ms_left(deadline, 30000);
            fd_set writable;
            fd_set failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval wait{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
            const int ready = ::select(0, nullptr, &writable, &failed, &wait);
            if (ready == 0)
                why.kind = ConnectFailure::Kind::TimedOut;
            else if (ready > 0 && FD_ISSET(s, &failed))
                why.kind = ConnectFailure::Kind::Refused;
            if (ready > 0 && FD_ISSET(s, &writable)) {
                int error = 0;
                int length = sizeof error;
                connected = ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                         &length) == 0 &&
                            error == 0;
            }
        }
    }
    if (!connected) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    // Commands are short and each waits for its answer: send them at once.
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return s;
}

SOCKET handle_of(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

} // namespace

SocketHandle socket_connect(const GpibEndpoint& endpoint, double seconds, ConnectFailure* why) {
    ConnectFailure failure;
    ConnectFailure& out = why != nullptr ? *why : failure;
    if (!winsock_ready())
        return kNoSocket;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    if (::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found) != 0) {
        out.kind = ConnectFailure::Kind::HostNotFound;
        return kNoSocket;
    }
    const IoClock::time_point deadline = io_deadline(seconds);
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* a = found; a != nullptr && s == INVALID_SOCKET; a = a->ai_next)
        s = connect_to(*a, deadline, out);
    ::freeaddrinfo(found);
    return s != INVALID_SOCKET ? static_cast<SocketHandle>(s) : kNoSocket;
}

void socket_close(SocketHandle socket) {
    if (socket != kNoSocket)
        ::closesocket(handle_of(socket));
}

FdReadResult socket_read_reply(SocketHandle socket, std::string& queue, std::size_t count,
                               ReplyEnd end, IoClock::time_point deadline) {
    const SOCKET s = handle_of(socket);
    return take_reply(queue, count, end, [s, deadline](std::string& q) {
        for (;;) {
            char chunk[kChunk];
            const int n = ::recv(s, chunk, static_cast<int>(sizeof chunk), 0);
            if (n > 0) {
                q.append(chunk, static_cast<std::size_t>(n));
                return IoStatus::Done;
            }
            if (n == 0)
                return IoStatus::PeerGone;
            const int error = ::WSAGetLastError();
            if (error != WSAEWOULDBLOCK)
                return status_of_error(error);
            const IoStatus waited = wait_for(s, false, deadline);
            if (waited != IoStatus::Done)
                return waited;
        }
    });
}

FdWriteResult socket_write_all(SocketHandle socket, const char* data, std::size_t count,
                               IoClock::time_point deadline) {
    const SOCKET s = handle_of(socket);
    FdWriteResult result;
    while (result.written < count) {
        const std::size_t left = count - result.written;
        const int piece = left > 65536 ? 65536 : static_cast<int>(left);
        const int n = ::send(s, data + result.written, piece, 0);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        const int error = ::WSAGetLastError();
        if (n == SOCKET_ERROR && error == WSAEWOULDBLOCK) {
            result.status = wait_for(s, true, deadline);
            if (result.status != IoStatus::Done)
                return result;
            continue;
        }
        result.status = status_of_error(error);
        return result;
    }
    result.status = IoStatus::Done;
    return result;
}

IoStatus socket_drain(SocketHandle socket) {
    const SOCKET s = handle_of(socket);
    // Bounded, so a peer that never stops talking cannot hold the program here.
    for (int chunks = 0; chunks < 128; ++chunks) {
        char chunk[kChunk];
        const int n = ::recv(s, chunk, static_cast<int>(sizeof chunk), 0);
        if (n > 0)
            continue;
        if (n == 0)
            return IoStatus::PeerGone;
        const int error = ::WSAGetLastError();
        return error == WSAEWOULDBLOCK ? IoStatus::Done : status_of_error(error);
    }
    return IoStatus::Done;
}

#endif
