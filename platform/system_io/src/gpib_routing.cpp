#include "platform/system_io/gpib_routing.hpp"

#include "platform/system_io/gpib_units.hpp"
#include "platform/system_io/instrument_claim.hpp"
#include "platform/system_io/open_diagnosis.hpp"

#include <optional>
#include <string>

namespace {

// Claims a unit for this program: the claim, -1 when the unit is not to be opened, or -2
// when there is nothing to claim (a unit out of range, refused below).
int claim_unit(int board, int address, const std::optional<std::string>& endpoint) {
    if (!gpib_unit_in_range(board, address))
        return -2;
    std::string why;
    const int claim =
        claim_gpib_unit(endpoint ? *endpoint : gpib_instrument_key(board, address), &why);
    if (claim < 0)
        record_gpib_failure(board, address,
                            why.empty() ? GpibFailure::HeldByOther : GpibFailure::NoLockFile, why);
    return claim;
}

} // namespace

GpibRoutingBackend::GpibRoutingBackend(GpibBackend& library, GpibBackend& tcp)
    : GpibRoutingBackend(library, tcp, gpib_endpoint_from_environment) {}

GpibRoutingBackend::GpibRoutingBackend(GpibBackend& library, GpibBackend& tcp,
                                       EndpointLookup lookup)
    : library_(library), tcp_(tcp), lookup_(std::move(lookup)) {}

GpibRoutingBackend::~GpibRoutingBackend() {
    for (const auto& [ud, route] : routes_)
        release_gpib_unit(route.claim);
}

GpibRoutingBackend::Route* GpibRoutingBackend::route(int ud) {
    const auto it = routes_.find(ud);
    return it != routes_.end() ? &it->second : nullptr;
}

int GpibRoutingBackend::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    // A unit placed on a socket never falls back to the library: the operator said
    // where it is, and a unit that is not there must show as not opened.
    const std::optional<std::string> endpoint = lookup_(board, pad);
    GpibBackend& backend = endpoint ? tcp_ : library_;
    // A unit out of range is the backend's to refuse; one in range is claimed first, so
    // nothing reaches a unit another program holds.
    const int claim = claim_unit(board, pad, endpoint);
    if (claim == -1)
        return -1;
    // Descriptor 0 is refused too, as the callers refuse it from a backend of their own.
    const int inner = backend.ibdev(board, pad, sad, tmo, eot, eos);
    if (inner <= 0) {
        release_gpib_unit(claim);
        return -1;
    }
    instrument_diagnosis_forget(gpib_instrument_key(board, pad));
    const int ud = next_ud_++;
    routes_[ud] = Route{&backend, inner, claim, board, pad};
    return ud;
}

int GpibRoutingBackend::ibclr(int ud) {
    Route* r = route(ud);
    return r != nullptr ? r->backend->ibclr(r->ud) : ERR;
}

int GpibRoutingBackend::ibwrt(int ud, const char* buffer, long count, long& transferred) {
    Route* r = route(ud);
    return r != nullptr ? r->backend->ibwrt(r->ud, buffer, count, transferred) : ERR;
}

int GpibRoutingBackend::ibrd(int ud, char* buffer, long count, long& transferred) {
    Route* r = route(ud);
    if (r == nullptr)
        return ERR;
    const int status = r->backend->ibrd(r->ud, buffer, count, transferred);
    // The socket transport says why itself; the library only sets TIMO.
    if (r->backend == &library_ && (status & TIMO) != 0)
        record_gpib_failure(r->board, r->address, GpibFailure::NoAnswer,
                            "no reply within the unit's time-out");
    return status;
}

int GpibRoutingBackend::ibrsp(int ud, char* status_byte) {
    Route* r = route(ud);
    return r != nullptr ? r->backend->ibrsp(r->ud, status_byte) : ERR;
}

int GpibRoutingBackend::ibonl(int ud, int online) {
    Route* r = route(ud);
    if (r == nullptr)
        return ERR;
    const int status = r->backend->ibonl(r->ud, online);
    if (online == 0) {
        release_gpib_unit(r->claim);
        routes_.erase(ud); // the descriptor is given back, as the library gives it back
    }
    return status;
}

std::string GpibRoutingBackend::describe_unit(int board, int address) const {
    return gpib_mapping_text(board, address);
}
