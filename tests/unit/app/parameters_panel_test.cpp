// The parameters panel: what it shows before and after the records are filled, saving,
// the warning on an unsaved exit and the flag that stays set; the test panel's settings
// copied into the record with the 16-bit fields cut to their low bits.
#include "app/parameters_panel.hpp"
#include "station_fixture.hpp"

#include <string>

namespace {

class ParametersPanelTest : public StationTest {
protected:
    int open_panel() {
        EXPECT_EQ(op.press(main, MAIN_PARAM), 0);
        const int handle = op.panel_by_resource(PARAM_PANEL);
        EXPECT_GT(handle, 0);
        return handle;
    }
    // The twelve fields in their fill order, as the operator reads them.
    std::string shown(int panel) const {
        std::string text;
        for (const int c : {PARAM_HP_BOARD, PARAM_CM_ADDR, PARAM_EV_ADDR, PARAM_HP_ADDR,
                            PARAM_EV_PORT, PARAM_CM_PORT, PARAM_CAM, PARAM_POINTS})
            text += std::to_string(op.value_int(panel, c)) + " ";
        for (const int c : {PARAM_SETTING_1, PARAM_SETTING_2, PARAM_STEP, PARAM_INTERVAL})
            text += std::to_string(op.value_double(panel, c)) + " ";
        return text;
    }
};

} // namespace

TEST_F(ParametersPanelTest, BeforeBringUpTheFieldsShowTheZeroFilledRecords) {
    const int panel = open_panel();
    EXPECT_EQ(op.panel(panel)->parent, main);
    EXPECT_EQ(shown(panel), "0 0 0 0 0 0 0 0 0.000000 0.000000 0.000000 0.000000 ");
    EXPECT_GE(op.displays(panel), 1);
    EXPECT_EQ(save_param_flag(), 0);
}

TEST_F(ParametersPanelTest, AfterTheDefaultsAreFilledTheFieldsShowThem) {
    fill_param_structure(shared_param(), shared_addresses(), 0);
    const int panel = open_panel();
    // board, CM6K6 address, EV-16P address, HP34970 address, EV-16P port, CM6K6 port, cam,
    // points; then the two settings, step and interval.
    EXPECT_EQ(shown(panel), "1 1 11 9 5 2 1 1 0.500000 1.000000 1.000000 0.000000 ");
}

TEST_F(ParametersPanelTest, SaveCopiesEveryFieldIntoTheRecords) {
    const int panel = open_panel();
    int value = 20;
    for (const int c : {PARAM_HP_BOARD, PARAM_CM_ADDR, PARAM_EV_ADDR, PARAM_HP_ADDR, PARAM_EV_PORT,
                        PARAM_CM_PORT, PARAM_CAM, PARAM_POINTS})
        op.type_value(panel, c, static_cast<long long>(value++));
    op.type_value(panel, PARAM_SETTING_1, 0.25);
    op.type_value(panel, PARAM_SETTING_2, -2.5);
    op.type_value(panel, PARAM_STEP, 0.125);
    op.type_value(panel, PARAM_INTERVAL, 3.75);
    EXPECT_EQ(op.press(panel, PARAM_SAVE), 0);

    const instrument_addresses& a = shared_addresses();
    EXPECT_EQ(a.hp_gpib_board_addr, 20);
    EXPECT_EQ(a.cm_dev_addr, 21);
    EXPECT_EQ(a.ev_dev_addr, 22);
    EXPECT_EQ(a.hp_gpib_dev_addr, 23);
    EXPECT_EQ(a.ev_com_port, 24);
    EXPECT_EQ(a.cm_com_port, 25);
    const param_structure& p = shared_param();
    EXPECT_EQ(p.test_axis, 26);
    EXPECT_EQ(p.test_points, 27);
    EXPECT_EQ(p.aux_setting_1, 0.25);
    EXPECT_EQ(p.aux_setting_2, -2.5);
    EXPECT_EQ(p.test_step, 0.125);
    EXPECT_EQ(p.test_interval, 3.75);
    EXPECT_EQ(save_param_flag(), 1);
    // Saving does not close the panel and asks nothing.
    EXPECT_NE(op.panel(panel), nullptr);
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(ParametersPanelTest, AnUnsavedExitWarnsAndNoKeepsThePanelOpen) {
    const int panel = open_panel();
    op.answer_confirm(false);
    EXPECT_EQ(op.press(panel, PARAM_EXIT), 0);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].kind, PopupKind::Confirm);
    EXPECT_EQ(op.popups()[0].title, "WARNING");
    EXPECT_EQ(op.popups()[0].message, "Parameters have not been saved. Continue?");
    EXPECT_NE(op.panel(panel), nullptr);

    op.answer_confirm(true);
    op.press(panel, PARAM_EXIT);
    EXPECT_EQ(op.popups().size(), 2u);
    EXPECT_EQ(op.panel(panel), nullptr);
}

TEST_F(ParametersPanelTest, AfterOneSaveLaterExitsGoWithoutWarningAndUnsavedEditsAreLost) {
    int panel = open_panel();
    op.press(panel, PARAM_SAVE);
    op.press(panel, PARAM_EXIT);
    EXPECT_EQ(op.panel(panel), nullptr);

    panel = open_panel();
    op.type_value(panel, PARAM_CM_PORT, 7LL);
    op.press(panel, PARAM_EXIT);
    EXPECT_EQ(op.panel(panel), nullptr);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(shared_addresses().cm_com_port, 0);
    EXPECT_EQ(save_param_flag(), 1);
}

TEST_F(ParametersPanelTest, OnlyTheCommitEventActs) {
    op.press(main, MAIN_PARAM, EVENT_LEFT_CLICK);
    EXPECT_EQ(op.panel_by_resource(PARAM_PANEL), 0);
    const int panel = open_panel();
    op.press(panel, PARAM_SAVE, EVENT_RIGHT_CLICK);
    EXPECT_EQ(save_param_flag(), 0);
    op.press(panel, PARAM_EXIT, EVENT_VAL_CHANGED);
    EXPECT_NE(op.panel(panel), nullptr);
}

TEST_F(ParametersPanelTest, APanelThatCannotLoadIsAConsoleErrorAndMinusOne) {
    op.fail_next_load(UIEFileNotFound);
    console.add_line("\n");
    EXPECT_EQ(op.press(main, MAIN_PARAM), -1);
    EXPECT_EQ(console.output(), "\nTRELWICK_UI_ERROR!!!:  Can not load Param Panel!!!\n"
                                "Press ENTER to continue.\n"
                                "Press any key then ENTER to terminate program.\n");
}

TEST_F(ParametersPanelTest, TestPanelSettingsReachTheRecordWithTheirLow16Bits) {
    const int test = load(TEST_PANEL);
    op.type_value(test, TEST_CAM, 65537LL);
    op.type_value(test, TEST_INTERVAL, 0.5);
    op.type_value(test, TEST_POINTS, 65536LL + 40);
    op.type_value(test, TEST_STEP, 2.25);
    op.type_value(test, TEST_SETTING_2, -1.5);
    op.type_value(test, TEST_SETTING_1, 4.5);
    op.type_value(test, TEST_RANDOM, 1.0);
    op.type_value(test, TEST_GAGE_CHANNEL, 65535LL);
    param_structure p{};
    test_read_move_param(test, p);
    EXPECT_EQ(p.test_axis, 1);
    EXPECT_EQ(p.test_interval, 0.5);
    EXPECT_EQ(p.test_points, 40);
    EXPECT_EQ(p.test_step, 2.25);
    EXPECT_EQ(p.aux_setting_2, -1.5);
    EXPECT_EQ(p.aux_setting_1, 4.5);
    EXPECT_EQ(p.test_random, 1.0);
    EXPECT_EQ(p.gage_channel, -1);
}
