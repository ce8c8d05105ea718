// Test fixture for system tests on the simulated stage: everything PlatformTest installs
// (scripted operator, virtual clock, scripted console, temporary drive root), plus the
// simulated CM6K6 (COM2), EV-16P (COM5) and HP34970 (GPIB board 1, address 9) behind the
// in-process serial and GPIB backends, on the same virtual clock. The stage starts at
// power-on (all cams at angle 0, relays open, drives off, no faults) in every test.
//
// Tests reach the physics through `model()` (cam angles, relays, motor positions,
// physical faults), which first lets every instrument finish what is due by now, and each
// instrument's faults through `sim.cm6k6().faults()` and the like.
#pragma once

#include "platform/link/link_backends.hpp"
#include "platform_fixture.hpp"
#include "sim/sim_stage.hpp"

class SimStageTest : public PlatformTest {
protected:
    // Every command of a test stays in the instruments' histories.
    static constexpr std::size_t kTestHistory = 1000000;

    void SetUp() override;
    void TearDown() override;

    // The present virtual time, seconds.
    double now() const { return platform_now_seconds(); }
    // The physics as it stands now: the instruments have run every command due by now.
    StageModel& model() {
        sim.advance(now());
        return sim.model();
    }
    // Cam k (1..5) angle now, radians.
    double cam_angle(int cam) { return model().cam_angle(cam, now()); }
    bool relay_closed(int channel) { return model().relay_closed(channel); }
    // The physical faults (short axis, endless motion, stuck relays, lost reference).
    StageModelFaults& stage_faults() { return sim.model().faults(); }
    // Puts the cams at these angles (radians, cam k at k - 1) now.
    void place_cams(const std::array<double, kSimCams>& angles) {
        model().place_cams(angles, now());
    }
    // Sets a relay stuck in `closed` from now on.
    void stick_relay(int channel, bool closed);

    SimStage sim;
    LinkSerialBackend serial;
    LinkGpibBackend gpib;
};
