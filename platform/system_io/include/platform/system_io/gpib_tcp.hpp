// GPIB units that are really SCPI instruments on a TCP socket (the raw-socket service
// networked instruments offer, by convention on port 5025), placed per unit by
// TRELWICK_GPIB<board>_<address>=HOST:PORT.
//
// ibdev connects, waiting the unit's time-out (at least 1 s, at most 30 s). Writes go
// out as given. A read ends at a line feed (the socket's end of message, which takes the
// place of EOI; the line feed is kept in the buffer as a GPIB end-of-string read keeps
// it), at the count, or at the unit's time-out (ERR|TIMO, with whatever arrived);
// bytes after the line feed stay queued for the next read. ibclr drops pending input and
// sends nothing (a socket has no device clear). ibrsp cannot serial-poll over a socket:
// it sends nothing and gives status byte 0 with CMPL. ibonl(ud, 0) closes the socket and
// frees the descriptor; ibonl(ud, 1) drops pending input.
//
// The same on every system: POSIX sockets, or Winsock on Windows (socket_io.hpp).
#pragma once

#include "platform/gpib.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

class GpibTcpBackend : public GpibBackend {
public:
    // The "HOST:PORT" text of a unit, or nothing when the unit has no socket.
    using EndpointLookup = std::function<std::optional<std::string>(int board, int address)>;

    // Units placed by the environment (gpib_endpoint_from_environment), or by `lookup`.
    GpibTcpBackend();
    explicit GpibTcpBackend(EndpointLookup lookup);
    ~GpibTcpBackend() override;
    GpibTcpBackend(const GpibTcpBackend&) = delete;
    GpibTcpBackend& operator=(const GpibTcpBackend&) = delete;

    // -1 for a unit out of range, without an endpoint, with an endpoint that is not
    // HOST:PORT (said once on standard error), or that does not accept the connection.
    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
    int ibclr(int ud) override;
    int ibwrt(int ud, const char* buffer, long count, long& transferred) override;
    int ibrd(int ud, char* buffer, long count, long& transferred) override;
    int ibrsp(int ud, char* status_byte) override;
    int ibonl(int ud, int online) override;

    // Closes every socket.
    void close_all();

private:
    struct Unit {
        std::intptr_t socket = -1; // a SocketHandle
        int board = 0, address = 0;
        double timeout = 0.0;
        std::string queue; // received, not yet read
    };
    Unit* unit(int ud);

    EndpointLookup lookup_;
    std::map<int, Unit> units_;
    int next_ud_ = 1;
};
