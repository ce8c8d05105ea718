#include "platform/system_io/gpib_tcp.hpp"

#include "platform/gpib_timeout.hpp"
#include "platform/operator_thread.hpp"
#include "platform/system_io/gpib_units.hpp"
#include "platform/system_io/open_diagnosis.hpp"
#include "socket_io.hpp"

#include "platform/text.hpp"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kLineFeed = '\n';

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
        socket_close(u.socket);
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
        const std::string setting = gpib_endpoint_variable(board, pad) + "=" + *text;
        std::fprintf(stderr, "%s is not HOST:PORT\n", setting.c_str());
        record_gpib_failure(board, pad, GpibFailure::BadEndpoint, setting);
        return -1;
    }
    Unit fresh;
    fresh.board = board;
    fresh.address = pad;
    fresh.timeout = gpib_timeout_seconds(tmo);
    // The connection waits the unit's time-out, at least 1 s and at most 30 s.
    const double wait = fresh.timeout < 1.0 ? 1.0 : (fresh.timeout > 30.0 ? 30.0 : fresh.timeout);
    ConnectFailure why;
    fresh.socket = socket_connect(*endpoint, wait, &why);
    if (fresh.socket == kNoSocket) {
        switch (why.kind) {
        case ConnectFailure::Kind::HostNotFound:
            record_gpib_failure(board, pad, GpibFailure::HostNotFound, why.text);
            break;
        case ConnectFailure::Kind::Refused:
            record_gpib_failure(board, pad, GpibFailure::Refused, why.text);
            break;
        case ConnectFailure::Kind::TimedOut:
            record_gpib_failure(board, pad, GpibFailure::NoAnswer,
                                strfmt("no connection within %g s", wait));
            break;
        case ConnectFailure::Kind::Other:
            record_gpib_failure(board, pad, GpibFailure::Other, why.text);
            break;
        }
        return -1;
    }
    const int ud = next_ud_++;
    units_[ud] = std::move(fresh);
    return ud;
}

int GpibTcpBackend::ibclr(int ud) {
    Unit* u = unit(ud);
    if (u == nullptr)
        return ERR;
    u->queue.clear();
    return socket_drain(u->socket) == IoStatus::Done ? CMPL : ERR;
}

int GpibTcpBackend::ibwrt(int ud, const char* buffer, long count, long& transferred) {
    Unit* u = unit(ud);
    if (u == nullptr || count < 0)
        return ERR;
    const FdWriteResult r = socket_write_all(u->socket, buffer, static_cast<std::size_t>(count),
                                             io_deadline(u->timeout));
    transferred = static_cast<long>(r.written);
    if (r.status == IoStatus::PeerGone)
        record_gpib_failure(u->board, u->address, GpibFailure::Gone);
    return r.status == IoStatus::Done ? CMPL : status_of(r.status);
}

int GpibTcpBackend::ibrd(int ud, char* buffer, long count, long& transferred) {
    Unit* u = unit(ud);
    if (u == nullptr || count <= 0)
        return ERR;
    ReplyEnd end;
    end.byte = kLineFeed;
    const FdReadResult r = socket_read_reply(u->socket, u->queue, static_cast<std::size_t>(count),
                                             end, io_deadline(u->timeout));
    std::memcpy(buffer, r.bytes.data(), r.bytes.size());
    transferred = static_cast<long>(r.bytes.size());
    // A read the operator's Stop cut short says nothing about the unit.
    if (r.status == IoStatus::TimedOut && !platform_wait_interrupted())
        record_gpib_failure(u->board, u->address, GpibFailure::NoAnswer,
                            strfmt("no reply within %g s", u->timeout));
    else if (r.status == IoStatus::PeerGone)
        record_gpib_failure(u->board, u->address, GpibFailure::Gone);
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
    socket_close(u->socket);
    units_.erase(ud);
    return CMPL;
}
