// The scripted operator: panels read from the resource file, the run-time's value
// conversions, pop-ups answered from the script, and presses calling bound callbacks.
#include "app/shell/panel_ids.hpp"
#include "platform_fixture.hpp"

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using ScriptedOperatorTest = PlatformTest;

namespace {
int g_presses = 0;
int g_last_event = 0;
int count_press(int, int, int event, void*, int, int) {
    ++g_presses;
    g_last_event = event;
    return 5;
}
} // namespace

TEST_F(ScriptedOperatorTest, ValuesConvertAsTheRunTimeConvertsThem) {
    const int main = load(MAIN_PANEL);
    const int param = load(PARAM_PANEL, main);
    // An integer into a real control reads back as a double; a real into an integer
    // control is rounded.
    EXPECT_EQ(SetCtrlVal(main, MAIN_TARGET_X, 2), 0);
    double d = 0;
    EXPECT_EQ(GetCtrlVal(main, MAIN_TARGET_X, &d), 0);
    EXPECT_EQ(d, 2.0);
    EXPECT_EQ(SetCtrlVal(param, PARAM_CM_PORT, 3.6), 0);
    int i = 0;
    EXPECT_EQ(GetCtrlVal(param, PARAM_CM_PORT, &i), 0);
    EXPECT_EQ(i, 4);
    // Read into a 16-bit field, an integer keeps its low 16 bits.
    EXPECT_EQ(SetCtrlVal(param, PARAM_CM_PORT, 65537), 0);
    unsigned short u = 0;
    EXPECT_EQ(GetCtrlVal(param, PARAM_CM_PORT, &u), 0);
    EXPECT_EQ(u, 1);
    // Text and numbers don't mix; unknown panels and controls are reported.
    EXPECT_EQ(SetCtrlVal(main, MAIN_TARGET_X, "1.0"), UIEValueTypeMismatch);
    EXPECT_EQ(SetCtrlVal(main, MAIN_STATUS, 1.0), UIEValueTypeMismatch);
    EXPECT_EQ(SetCtrlVal(main + 100, MAIN_STATUS, "x"), UIEHandleInvalid);
    EXPECT_EQ(SetCtrlVal(main, 9999, "x"), UIECtrlNotFound);
    std::string text;
    EXPECT_EQ(GetCtrlVal(main, MAIN_TARGET_X, &text), UIEValueTypeMismatch);
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_MOVE, 99, 1), UIEAttributeNotValid);
}

TEST_F(ScriptedOperatorTest, PopUpsAreAnsweredInScriptOrderAndRecorded) {
    op.answer_confirm(true);
    op.answer_generic_escape();
    op.answer(PopupKind::Prompt, 1, "a comment that is longer than ten");
    EXPECT_EQ(ConfirmPopup("ERROR", "Go on?"), 1);
    EXPECT_EQ(GenericMessagePopup("T", "M", "Yes", "No", "Reset", nullptr, 0, 0, 1, 1, 3), 3);
    std::string reply;
    EXPECT_EQ(PromptPopup("Input file header", "Type comments to the data", &reply, 10), 1);
    EXPECT_EQ(reply, "a comment ");
    ASSERT_EQ(op.popups().size(), 3u);
    EXPECT_EQ(op.popups()[1].buttons, (std::vector<std::string>{"Yes", "No", "Reset"}));
    EXPECT_EQ(op.popups()[1].escape_button, 3);
    EXPECT_EQ(op.popups()[2].title, "Input file header");
}

TEST_F(ScriptedOperatorTest, UnscriptedPopUpsGetTheSafeAnswerAndAreReported) {
    ScriptedOperator other;
    platform_use_panels(&other);
    EXPECT_EQ(ConfirmPopup("ERROR", "Continue?"), 0);
    EXPECT_EQ(
        GenericMessagePopup("Danger Operation", "x", "Yes", "No", "Reset", nullptr, 0, 0, 1, 1, 3),
        3);
    other.answer_confirm(true);
    MessagePopup("Warning", "text"); // a message where the script expects a confirmation
    EXPECT_EQ(other.unexpected().size(), 3u);
    EXPECT_EQ(other.pending_answers(), 1u);
    platform_use_panels(&op);
}

// A question without an answer is heard as it is asked, before the program has its
// (safe) answer, so that a fixture fails the test there; an answer may act while its
// pop-up is up (the operator presses Stop, say).
TEST_F(ScriptedOperatorTest, AnUnansweredQuestionIsHeardAsItIsAsked) {
    ScriptedOperator other;
    std::vector<std::string> heard;
    std::size_t popups_then = 0;
    other.on_unexpected([&](const std::string& what) {
        heard.push_back(what);
        popups_then = other.popups().size();
    });
    platform_use_panels(&other);
    bool acted = false;
    other.answer_after(PopupKind::Confirm, 1, [&] { acted = true; });
    EXPECT_EQ(ConfirmPopup("ERROR", "Continue?"), 1);
    EXPECT_TRUE(acted);
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(ConfirmPopup("ERROR", "Error in Motion end. Check error code # 40. Continue?"), 0);
    EXPECT_EQ(heard, (std::vector<std::string>{
                         "confirm pop-up \"ERROR\": \"Error in Motion end. Check error code # "
                         "40. Continue?\""}));
    EXPECT_EQ(popups_then, 1u); // heard before the pop-up was answered and recorded
    platform_use_panels(&op);
}

TEST_F(ScriptedOperatorTest, PressCallsTheBoundCallbackOnlyOnUsableControls) {
    const std::array table{CallbackBinding{"program_quit", &count_press},
                           CallbackBinding{"move_motor", &count_press}};
    platform_set_callback_table(table);
    ScriptedOperator other;
    platform_use_panels(&other);
    const int main = LoadPanel(0, "Trelwick.uir", MAIN_PANEL);
    ASSERT_GT(main, 0);
    g_presses = 0;
    EXPECT_EQ(other.press(main, MAIN_QUIT), 5);
    EXPECT_EQ(g_last_event, EVENT_COMMIT);
    // Move is dimmed until the instruments are up: the operator can't press it.
    EXPECT_TRUE(other.dimmed(main, MAIN_MOVE));
    EXPECT_EQ(other.press(main, MAIN_MOVE), -1);
    // Read motion data has no function bound in this table.
    SetCtrlAttribute(main, MAIN_READ_DATA, ATTR_DIMMED, 0);
    EXPECT_EQ(other.press(main, MAIN_READ_DATA), -1);
    EXPECT_EQ(g_presses, 1);
    EXPECT_EQ(other.unexpected().size(), 2u);
    platform_use_panels(&op);
}

TEST_F(ScriptedOperatorTest, GraphsHandOutPositiveHandlesAndHoldManualLimits) {
    const int test = load(TEST_PANEL);
    EXPECT_GT(PlotPoint(test, TEST_GRAPH, 1.0, 0.5, VAL_SOLID_CIRCLE, 0xFF0000), 0);
    EXPECT_EQ(SetAxisRange(test, TEST_GRAPH, VAL_MANUAL, 0.0, 131.0, VAL_NO_CHANGE, 0, 0), 0);
    EXPECT_EQ(op.control(test, TEST_GRAPH)->x_max, 131.0);
    EXPECT_EQ(op.control(test, TEST_GRAPH)->y_max, 10.0);
    EXPECT_LE(PlotPoint(test, TEST_STATUS, 1.0, 0.5, VAL_SOLID_CIRCLE, 0xFF0000), 0);
    op.fail_graph_calls(-12);
    EXPECT_EQ(PlotPoint(test, TEST_GRAPH, 1.0, 0.5, VAL_SOLID_CIRCLE, 0xFF0000), -12);
}

TEST_F(ScriptedOperatorTest, MissingOrMalformedResourceFilesGiveNegativeHandles) {
    platform_set_resource_directory(drive_root.string());
    EXPECT_EQ(LoadPanel(0, "Trelwick.uir", MAIN_PANEL), UIEFileNotFound);
    std::ofstream(drive_root / "Trelwick.ui") << "<ui version=\"4.0\"><widget class=\"QWidget\"";
    EXPECT_EQ(LoadPanel(0, "Trelwick.uir", MAIN_PANEL), UIEBadFileFormat);
    std::ofstream(drive_root / "Trelwick.ui") << "<ui version=\"4.0\"><widget class=\"QWidget\" "
                                                 "name=\"w\"/></ui>";
    EXPECT_EQ(LoadPanel(0, "Trelwick.uir", MAIN_PANEL), UIEPanelNotFound);
}
