// Fixture for tests of the operator station's rooms: the application fixture, with the
// main panel loaded and the station's own module state (log paths, parameters panel,
// driver tables) put back to program start around each test.
#pragma once

#include "app/parameters_panel.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app_fixture.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"

class StationTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        reset_station();
        main_panel_handle() = load(MAIN_PANEL);
        main = main_panel_handle();
    }
    void TearDown() override {
        reset_station();
        AppTest::TearDown();
    }

    static void reset_station() {
        parameters_panel_reset();
        run_log_reset();
        hp34970_reset();
        cm6k6_reset();
        ev16p_reset();
    }

    int main = 0;
};
