// Fixture for system tests of the test bench: the simulated stage in virtual time, the
// program's callback table, the main panel loaded, the run-log folder in place, and every
// module's state (records, device ids, log paths, driver tables, the test bench's own)
// put back to program start around each test.
#pragma once

#include "sim_stage_fixture.hpp"

#include <string>

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

    int main = 0;
    int test = 0;
};
