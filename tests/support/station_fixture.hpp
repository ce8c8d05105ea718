// Fixture for tests of the operator station's rooms without instruments: the application
// fixture, with the main panel loaded and the station's module state (log paths,
// parameters panel, driver tables) put back to program start around each test.
#pragma once

#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app_fixture.hpp"
#include "station_state.hpp"

class StationTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        reset_station_state();
        main_panel_handle() = load(MAIN_PANEL);
        main = main_panel_handle();
    }
    void TearDown() override {
        reset_station_state();
        AppTest::TearDown();
    }

    int main = 0;
};
