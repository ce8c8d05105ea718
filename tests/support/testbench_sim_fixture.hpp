// Fixture for system tests of the test bench: the simulated stage in virtual time (each
// cam with a gauge of its own on channel n, without noise), the
// program's callback table, the main panel loaded, the run-log folder in place, and every
// module's state (records, device ids, log paths, driver tables, the test bench's own)
// put back to program start around each test.
#pragma once

#include "sim_stage_fixture.hpp"

#include <string>

// The fixture's virtual clock, with a tick counter that moves on by a millisecond each
// time it is read, as a real one does while a wait polls it: the event-processing wait
// watches the tick counter and would otherwise wait for ever in virtual time.
class PolledTickClock : public ClockBackend {
public:
    explicit PolledTickClock(VirtualClock& clock) : clock_(clock) {}
    void delay(double seconds) override { clock_.delay(seconds); }
    std::uint32_t tick_count() override {
        clock_.advance(0.001);
        return clock_.tick_count();
    }
    WallTime wall_time() override { return clock_.wall_time(); }
    double now_seconds() override { return clock_.now_seconds(); }

private:
    VirtualClock& clock_;
};

class BenchSimTest : public SimStageTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Initialise devices on the main panel (a new run log), then the Test bench button;
    // returns the test panel.
    int open_test_panel();
    // Types the test panel's settings, then Initialise devices on the test panel.
    struct Settings {
        int cam = 1;
        int gage_channel = 1;
        int points = 1;
        double step = 1.0;
        double interval = 0.0;
        double random = 0.0;
    };
    void type_settings(const Settings& settings);
    void bring_up(const Settings& settings);

    // The run log as it stands on disk.
    std::string run_log() const;
    // Motor revolutions that cam `cam` has turned since power-on, as the cam sees them.
    double cam_revs(int cam);

    static constexpr const char* kRunLog = "C:\\CVI\\Trelwick\\Log\\Trelwick_log.001";

    PolledTickClock polled_clock{clock};
    int main = 0;
    int test = 0;
};
