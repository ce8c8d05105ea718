// The program's GPIB: each unit served by the TCP transport when its
// TRELWICK_GPIB<board>_<address> variable is set, else by the GPIB library. The
// descriptors handed out are this backend's own, so units of both kinds can be open at
// once. A unit is claimed for this program while it is open (instrument_claim.hpp): one
// that another program holds is not opened.
#pragma once

#include "platform/gpib.hpp"

#include <functional>
#include <map>
#include <optional>
#include <string>

class GpibRoutingBackend : public GpibBackend {
public:
    // Whether a unit has a socket: the "HOST:PORT" text, or nothing.
    using EndpointLookup = std::function<std::optional<std::string>(int board, int address)>;

    // The two backends stay the caller's. Units are placed by the environment unless
    // `lookup` is given.
    GpibRoutingBackend(GpibBackend& library, GpibBackend& tcp);
    GpibRoutingBackend(GpibBackend& library, GpibBackend& tcp, EndpointLookup lookup);
    // Gives back the claims of the units still open.
    ~GpibRoutingBackend() override;
    GpibRoutingBackend(const GpibRoutingBackend&) = delete;
    GpibRoutingBackend& operator=(const GpibRoutingBackend&) = delete;

    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
    int ibclr(int ud) override;
    int ibwrt(int ud, const char* buffer, long count, long& transferred) override;
    int ibrd(int ud, char* buffer, long count, long& transferred) override;
    int ibrsp(int ud, char* status_byte) override;
    int ibonl(int ud, int online) override;
    std::string describe_unit(int board, int address) const override;

private:
    struct Route {
        GpibBackend* backend = nullptr;
        int ud = 0;     // the descriptor of that backend
        int claim = -1; // the unit's claim (instrument_claim.hpp), held while it is open
        int board = 0, address = 0;
    };
    Route* route(int ud);

    GpibBackend& library_;
    GpibBackend& tcp_;
    EndpointLookup lookup_;
    std::map<int, Route> routes_;
    int next_ud_ = 1;
};
