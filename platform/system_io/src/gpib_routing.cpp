#include "platform/system_io/gpib_routing.hpp"

#include "platform/system_io/gpib_units.hpp"

GpibRoutingBackend::GpibRoutingBackend(GpibBackend& library, GpibBackend& tcp)
    : GpibRoutingBackend(library, tcp, gpib_endpoint_from_environment) {}

GpibRoutingBackend::GpibRoutingBackend(GpibBackend& library, GpibBackend& tcp,
                                       EndpointLookup lookup)
    : library_(library), tcp_(tcp), lookup_(std::move(lookup)) {}

GpibRoutingBackend::Route* GpibRoutingBackend::route(int ud) {
    const auto it = routes_.find(ud);
    return it != routes_.end() ? &it->second : nullptr;
}

int GpibRoutingBackend::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    // A unit placed on a socket never falls back to the library: the operator said
    // where it is, and a unit that is not there must show as not opened.
    GpibBackend& backend = lookup_(board, pad) ? tcp_ : library_;
    // Descriptor 0 is refused too, as the callers refuse it from a backend of their own.
    const int inner = backend.ibdev(board, pad, sad, tmo, eot, eos);
    if (inner <= 0)
        return -1;
    const int ud = next_ud_++;
    routes_[ud] = Route{&backend, inner};
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
    return r != nullptr ? r->backend->ibrd(r->ud, buffer, count, transferred) : ERR;
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
    if (online == 0)
        routes_.erase(ud); // the descriptor is given back, as the library gives it back
    return status;
}
