// Feeds fuzz input to one simulated instrument: the bytes arrive in pieces split at 0xFF,
// each piece a second after the last, and whatever the instrument says is taken at each
// step and at the end, long after. The cams must stay where physics can put them.
#pragma once

#include "sim/sim_stage.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

inline void run_sim_fuzz(const std::uint8_t* data, std::size_t size, LinkPeer& (*peer)(SimStage&)) {
    SimStage stage;
    LinkPeer& instrument = peer(stage);
    // The relays and drives of the stage's axes, as a program leaves them mid-move.
    for (int k = 201; k <= 209; ++k)
        stage.model().set_relay(k, true, 0.0);
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    double t = 0.0;
    for (;;) {
        const std::size_t cut = rest.find('\xff');
        instrument.receive(rest.substr(0, cut), t);
        t += 1.0;
        (void)instrument.output_ready_at(t);
        (void)instrument.take_output(t, 4096);
        if (cut == std::string_view::npos)
            break;
        rest.remove_prefix(cut + 1);
    }
    const double late = t + 1e5;
    (void)instrument.output_ready_at(late);
    (void)instrument.take_output(late, 1 << 20);
    for (int cam = 1; cam <= kSimCams; ++cam)
        if (!std::isfinite(stage.model().cam_angle(cam, late)))
            std::abort();
}
