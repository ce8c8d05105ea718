// TCP client sockets for the SCPI-over-TCP GPIB transport, the same calls on every
// system: BSD sockets with poll() on POSIX, Winsock with select() on Windows. Sockets
// are non-blocking; every call waits against a deadline, never by spinning.
#pragma once

#include "io_reply.hpp"
#include "platform/system_io/gpib_units.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Why a connection was not made: the kind, and the system's own text.
struct ConnectFailure {
    enum class Kind { HostNotFound, Refused, TimedOut, Other } kind = Kind::Other;
    std::string text;
};

// Connects to the endpoint (every address its name resolves to, in turn) within
// `seconds`; kNoSocket when none accepts, with the last address's failure in `*why` when
// given. Small writes go out at once (no Nagle delay).
SocketHandle socket_connect(const GpibEndpoint& endpoint, double seconds,
                            ConnectFailure* why = nullptr);
void socket_close(SocketHandle socket);

// One reply from the front of `queue`, refilled from the socket (io_reply.hpp).
FdReadResult socket_read_reply(SocketHandle socket, std::string& queue, std::size_t count,
                               ReplyEnd end, IoClock::time_point deadline);
// All `count` bytes, waiting for room until the deadline; a closed peer is PeerGone.
FdWriteResult socket_write_all(SocketHandle socket, const char* data, std::size_t count,
                               IoClock::time_point deadline);
// Reads and drops whatever is readable now (bounded).
IoStatus socket_drain(SocketHandle socket);
