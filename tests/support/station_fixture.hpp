// Fixture for tests of the operator station's rooms: the application fixture, with the
// main panel loaded and the station's own module state (the log paths, the parameters panel) put
// back to program start around each test.
#pragma once

#include "app/parameters_panel.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app_fixture.hpp"

class StationTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        parameters_panel_reset();
        run_log_reset();
        main_panel_handle() = load(MAIN_PANEL);
        main = main_panel_handle();
    }
    void TearDown() override {
        parameters_panel_reset();
        run_log_reset();
        AppTest::TearDown();
    }

    int main = 0;
};
