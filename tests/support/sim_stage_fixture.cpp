#include "sim_stage_fixture.hpp"

#include "drivers/wait_profile.hpp"

void SimStageTest::SetUp() {
    PlatformTest::SetUp();
    wait_profile_reset();
    sim.power_on(now());
    sim.set_history_limit(kTestHistory);
    sim.attach(serial, gpib);
    platform_use_serial(&serial);
    platform_use_gpib(&gpib);
}

void SimStageTest::TearDown() {
    wait_profile_reset();
    PlatformTest::TearDown(); // puts the platform's backends back
}

void SimStageTest::stick_relay(int channel, bool closed) {
    stage_faults().stuck_relays[channel] = closed;
    model().apply_faults(now());
}
