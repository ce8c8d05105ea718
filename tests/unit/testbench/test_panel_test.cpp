// The test panel without instruments: opening it from the main panel, the refusals a run
// meets before it measures anything, a cam number outside the stage's five cams, and
// closing the panel back to the stage's settings.
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "platform/files.hpp"
#include "testbench/bench_state.hpp"
#include "testbench/cam_measure.hpp"
#include "testbench/test_run.hpp"
#include "testbench_fixture.hpp"

#include <cmath>

namespace {

class TestPanelTest : public TestBenchTest {
protected:
    // A run log holding one line, to show that a refused run adds nothing to it.
    std::string make_log() {
        make_program_dir("C:\\CVI\\Trelwick\\Log");
        const std::string path = "C:\\CVI\\Trelwick\\Log\\Trelwick_log.001";
        const int file = OpenFile(path, VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
        WriteFile(file, "header\n");
        CloseFile(file);
        return path;
    }
    static param_structure test_defaults() {
        param_structure record{};
        instrument_addresses addresses{};
        fill_param_structure(record, addresses, 1);
        return record;
    }
};

} // namespace

TEST_F(TestPanelTest, TheMainPanelButtonOpensTheTestPanelAndMakesItActive) {
    const int main = load(MAIN_PANEL);
    EXPECT_EQ(op.press(main, MAIN_TEST), 0);
    const int test = op.panel_by_resource(TEST_PANEL);
    ASSERT_GT(test, 0);
    EXPECT_EQ(test_panel_handle(), test);
    EXPECT_EQ(op.active_panel(), test);
    // Until a bring-up, only the actions that need no instrument are offered.
    EXPECT_TRUE(op.dimmed(test, TEST_RUN));
    EXPECT_TRUE(op.dimmed(test, TEST_WORK_POINT));
    EXPECT_FALSE(op.dimmed(test, TEST_INIT));
}

TEST_F(TestPanelTest, ATestPanelThatCannotLoadIsAConsoleError) {
    const int main = load(MAIN_PANEL);
    op.fail_next_load(UIEPanelNotFound);
    console.add_line("\n");
    EXPECT_EQ(op.press(main, MAIN_TEST), -1);
    EXPECT_EQ(console.output(), "\nTRELWICK_UI_ERROR!!!:  Can not load Test Panel!!!\n"
                                "Press ENTER to continue.\n"
                                "Press any key then ENTER to terminate program.\n");
    EXPECT_EQ(test_panel_handle(), 0);
}

TEST_F(TestPanelTest, ACamNumberOutsideTheStageAnsweredNoWritesNothing) {
    const std::string log = make_log();
    test_panel_handle() = load(TEST_PANEL);
    // 6 is an axis of the controller but not a cam of the stage: refused like 0 and 7.
    for (int cam : {0, 6, 7}) {
        param_structure record = test_defaults();
        record.test_axis = static_cast<std::uint16_t>(cam);
        op.answer_confirm(false);
        EXPECT_EQ(cam_test(instrument_addresses{}, record, log), -1) << "cam " << cam;
        ASSERT_FALSE(op.popups().empty());
        EXPECT_EQ(op.popups().back().title, "ERROR");
        EXPECT_EQ(op.popups().back().message, "axis is out of range, will be set to 1. Continue?");
    }
    EXPECT_EQ(op.popups().size(), 3u);
    EXPECT_EQ(read_text_file(on_disk(log)), "header\n");
    EXPECT_TRUE(op.plots().empty());
}

TEST_F(TestPanelTest, ARunLogThatCannotBeOpenedAbortsTheRun) {
    test_panel_handle() = load(TEST_PANEL);
    shared_device_ids() = {1, 1, 1}; // open: the run goes straight to its log
    op.answer_confirm(true);
    EXPECT_EQ(cam_test(instrument_addresses{}, test_defaults(), "C:\\missing\\Trelwick_log.001"),
              -1);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].message,
              "Error in Unable to open log file. Check error code # 1. Continue?");
    EXPECT_TRUE(op.plots().empty());
}

TEST_F(TestPanelTest, ReadingTheAngleOfACamOutsideTheStageIsRefused) {
    const int test = load(TEST_PANEL);
    test_panel_handle() = test;
    SetCtrlAttribute(test, TEST_GET_ANGLE, ATTR_DIMMED, 0);
    op.type_value(test, TEST_CAM, 6LL);
    op.answer_message();
    op.press(test, TEST_GET_ANGLE);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].kind, PopupKind::Message);
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[0].message, "cam = 6, out of range");
    EXPECT_EQ(shared_param().test_axis, 6);
}

TEST_F(TestPanelTest, ExitDropsTheTestSettingsForTheStageDefaults) {
    const int main = load(MAIN_PANEL);
    main_panel_handle() = main;
    op.press(main, MAIN_TEST);
    const int test = test_panel_handle();

    param_structure& record = shared_param();
    instrument_addresses& addresses = shared_addresses();
    fill_param_structure(record, addresses, 1);
    record.test_axis = 4;
    record.test_step = -2.5;
    record.test_random = 1.0;
    record.cam_angle[2] = 0.125; // a measured angle is not a setting
    addresses.ev_com_port = 9;
    const int main_displays = op.displays(main);

    op.press(test, TEST_EXIT);
    EXPECT_EQ(op.panel_by_resource(TEST_PANEL), 0);
    EXPECT_EQ(test_panel_handle(), 0);
    EXPECT_EQ(op.displays(main), main_displays + 1);
    EXPECT_EQ(record.motors_per_move, 5);
    EXPECT_EQ(record.gage_count, 0);
    EXPECT_EQ(record.test_axis, 1);
    EXPECT_EQ(record.test_step, 1.0);
    EXPECT_EQ(record.test_random, 0.0);
    EXPECT_EQ(record.cam_angle[2], 0.125);
    EXPECT_EQ(addresses.ev_com_port, 5);
}

TEST_F(TestPanelTest, AWorkPointSearchOfACamOutsideTheStageIsRefusedAtOnce) {
    const int test = load(TEST_PANEL);
    test_panel_handle() = test;
    SetCtrlAttribute(test, TEST_WORK_POINT, ATTR_DIMMED, 0);
    shared_param() = test_defaults();
    shared_param().test_axis = 6;
    op.answer_message();
    op.press(test, TEST_WORK_POINT);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "Work point");
    EXPECT_EQ(op.popups()[0].message, "cam = 6, out of range");
    EXPECT_EQ(op.texts(test, TEST_STATUS), std::vector<std::string>{"No work point"});
    EXPECT_EQ(shared_param().test_step, 1.0);
    EXPECT_TRUE(op.plots().empty());
}
