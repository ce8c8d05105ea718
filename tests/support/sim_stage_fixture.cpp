#include "sim_stage_fixture.hpp"

void SimStageTest::SetUp() {
    PlatformTest::SetUp();
    sim.power_on(now());
    sim.set_history_limit(kTestHistory);
    sim.attach(serial, gpib);
    platform_use_serial(&serial);
    platform_use_gpib(&gpib);
}

void SimStageTest::TearDown() {
    PlatformTest::TearDown(); // puts the platform's backends back
}

void SimStageTest::stick_relay(int channel, bool closed) {
    stage_faults().stuck_relays[channel] = closed;
    model().apply_faults(now());
}
