// The callbacks the resource file names: each is one the program knows, and every one on
// the main and parameters panels is bound in the callback table, so no button is dead.
// (The controls' roles, kinds and design-time dimming are checked against the real
// widgets in tests/gui/panel_loading_test.cpp.)
#include "app/shell/panel_ids.hpp"
#include "main/callback_table.hpp"
#include "platform_fixture.hpp"

#include <set>
#include <string>

using ResourceFileTest = PlatformTest;

TEST_F(ResourceFileTest, EveryCallbackNamedInTheFileIsKnown) {
    // A typo in the file would leave a button dead.
    const std::set<std::string> known = {
        "reference_switch",   "device_init",   "read_data",         "move_motor",
        "zero_readings",      "go_home",       "read_pot",          "read_gage",
        "zero_gage",          "set_param",     "do_cam_test",       "program_quit",
        "save_param",         "exit_param",    "test_device_init",  "test_distance_move",
        "test_zero_data",     "test_get_temp", "test_get_position", "test_get_angle",
        "test_refresh_graph", "test_go_zero",  "test_go_home",      "test_set_angle",
        "find_work_point",    "exit_test",     "operator_stop"};
    const int main = load(MAIN_PANEL);
    for (int panel : {main, load(PARAM_PANEL, main), load(TEST_PANEL)}) {
        for (const auto& [id, control] : op.panel(panel)->controls) {
            if (!control.callback.empty()) {
                EXPECT_TRUE(known.count(control.callback)) << control.callback;
            }
        }
    }
    for (const auto& binding : trelwick_callback_table())
        EXPECT_TRUE(known.count(std::string(binding.name))) << binding.name;
}

TEST_F(ResourceFileTest, EveryMainAndParametersCallbackIsBound) {
    platform_set_callback_table(trelwick_callback_table());
    const int main = load(MAIN_PANEL);
    for (int panel : {main, load(PARAM_PANEL, main)}) {
        for (const auto& [id, control] : op.panel(panel)->controls) {
            // The test bench binds its own entry.
            if (control.callback.empty() || control.callback == "do_cam_test")
                continue;
            EXPECT_NE(platform_find_callback(control.callback), nullptr) << control.callback;
        }
    }
}
