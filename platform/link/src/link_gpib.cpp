#include "platform/link/link_backends.hpp"

#include "link_read.hpp"
#include "platform/clock.hpp"
#include "platform/instrument_diagnosis.hpp"

#include <cstring>
#include <string_view>

void LinkGpibBackend::attach(int board, int address, LinkPeer* peer) {
    peers_[{board, address}] = peer;
}

LinkGpibBackend::Unit* LinkGpibBackend::unit(int ud) {
    if (ud < 1 || static_cast<std::size_t>(ud) > units_.size())
        return nullptr;
    Unit& u = units_[static_cast<std::size_t>(ud) - 1];
    return u.in_use && u.peer != nullptr ? &u : nullptr;
}

int LinkGpibBackend::ibdev(int board, int pad, int /*sad*/, int tmo, int /*eot*/, int eos) {
    const auto it = peers_.find({board, pad});
    if (it == peers_.end() || it->second == nullptr) {
        std::string served;
        for (const auto& [unit, peer] : peers_)
            if (peer != nullptr)
                served +=
                    (served.empty() ? "" : ", ") + gpib_instrument_key(unit.first, unit.second);
        instrument_diagnosis_record(
            gpib_instrument_key(board, pad),
            {describe_unit(board, pad), "nothing at this address",
             served.empty() ? std::string("the simulated stage serves no GPIB unit")
                            : "set the instrument back to an address the simulated stage serves (" +
                                  served + ") on the Parameters panel"});
        return -1;
    }
    instrument_diagnosis_forget(gpib_instrument_key(board, pad));
    Unit fresh;
    fresh.peer = it->second;
    fresh.in_use = true;
    fresh.timeout = gpib_timeout_seconds(tmo);
    fresh.eos = eos;
    units_.push_back(fresh);
    LinkSettings settings;
    settings.gpib_board = board;
    settings.gpib_address = pad;
    settings.gpib_timeout_code = tmo;
    settings.gpib_eos = eos;
    fresh.peer->configure(settings, platform_now_seconds());
    return static_cast<int>(units_.size());
}

int LinkGpibBackend::ibclr(int ud) {
    Unit* u = unit(ud);
    if (u == nullptr)
        return ERR;
    u->pending.clear();
    u->peer->device_clear(platform_now_seconds());
    return CMPL;
}

int LinkGpibBackend::ibwrt(int ud, const char* buffer, long count, long& transferred) {
    Unit* u = unit(ud);
    if (u == nullptr)
        return ERR;
    u->peer->receive(std::string_view(buffer, static_cast<std::size_t>(count)),
                     platform_now_seconds());
    transferred = count;
    return CMPL | END;
}

int LinkGpibBackend::ibrd(int ud, char* buffer, long count, long& transferred) {
    Unit* u = unit(ud);
    if (u == nullptr)
        return ERR;
    // REOS (0x0400) ends a read at the end-of-string byte, the low eight bits of eos.
    const int terminator = (u->eos & 0x0400) != 0 ? (u->eos & 0xFF) : -1;
    const LinkReadResult r =
        link_read(*u->peer, u->pending, static_cast<std::size_t>(count), terminator, u->timeout);
    std::memcpy(buffer, r.bytes.data(), r.bytes.size());
    transferred = static_cast<long>(r.bytes.size());
    if (r.terminated)
        return CMPL | END;
    if (r.timed_out)
        return ERR | TIMO;
    return CMPL;
}

int LinkGpibBackend::ibrsp(int ud, char* status_byte) {
    Unit* u = unit(ud);
    if (u == nullptr)
        return ERR;
    *status_byte = static_cast<char>(u->peer->serial_poll(platform_now_seconds()));
    return CMPL;
}

int LinkGpibBackend::ibonl(int ud, int online) {
    Unit* u = unit(ud);
    if (u == nullptr)
        return ERR;
    u->peer->set_online(online != 0, platform_now_seconds());
    if (online == 0)
        u->in_use = false; // the descriptor is given back
    return CMPL;
}

std::string LinkGpibBackend::describe_unit(int board, int address) const {
    return gpib_instrument_key(board, address) + " -> the simulated stage in this program";
}
