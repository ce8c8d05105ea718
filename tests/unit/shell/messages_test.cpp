// The operator messages: the "ERROR" confirmation, the console error and the "Danger
// Operation" confirmation, with every answer the operator can give.
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "app_fixture.hpp"

namespace {

class MessagesTest : public AppTest {
protected:
    static void open_all() { shared_device_ids() = {3, 1, 2}; }
    static bool all_closed() {
        const device_ids& ids = shared_device_ids();
        return ids.hp34970 == 0 && ids.cm6k6 == 0 && ids.ev16p == 0;
    }
};

const char* const kPrompt =
    "Press ENTER to continue.\nPress any key then ENTER to terminate program.\n";

} // namespace

TEST_F(MessagesTest, ErrorConfirmationTextAndYesGoesOn) {
    open_all();
    op.answer_confirm(true);
    cam_move_error_handling(1, "Problem open the file");
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].kind, PopupKind::Confirm);
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[0].message,
              "Error in Problem open the file. Check error code # 1. Continue?");
    EXPECT_EQ(shared_device_ids().hp34970, 3);
    EXPECT_FALSE(op.quit_requested());
}

TEST_F(MessagesTest, ErrorConfirmationNoClosesInstrumentsAndThePanelStaysUsable) {
    const int main = load(MAIN_PANEL);
    main_panel_handle() = main;
    open_all();
    op.answer_confirm(false);
    cam_move_error_handling(-1, "Can not create the file");
    EXPECT_EQ(op.popups()[0].message,
              "Error in Can not create the file. Check error code # -1. Continue?");
    EXPECT_TRUE(all_closed());
    EXPECT_FALSE(op.quit_requested());
    // The operator can still work the panel.
    EXPECT_EQ(op.commit_value(main, MAIN_ENTRY_MODE, 2LL), 0);
    EXPECT_TRUE(op.dimmed(main, MAIN_TARGET_ROLL));
}

TEST_F(MessagesTest, ErrorConfirmationShowsALongDescriptionWhole) {
    const std::string where(400, 'w');
    op.answer_confirm(true);
    cam_move_error_handling(7, where.c_str());
    EXPECT_EQ(op.popups()[0].message, "Error in " + where + ". Check error code # 7. Continue?");
}

TEST_F(MessagesTest, ConsoleErrorWithEnterReturnsToTheCaller) {
    open_all();
    console.add_line("\n");
    cam_move_ui_error(" Can not load Param Panel!!!");
    EXPECT_EQ(console.output(),
              std::string("\nTRELWICK_UI_ERROR!!!:  Can not load Param Panel!!!\n") + kPrompt);
    EXPECT_EQ(op.beeps(), 2);
    EXPECT_EQ(clock.delayed_seconds(), 0.5);
    EXPECT_EQ(shared_device_ids().cm6k6, 1);
}

TEST_F(MessagesTest, ConsoleErrorWithAnyOtherAnswerClosesAndExitsWithZero) {
    for (const char* answer : {"x\n", " \n", "q"}) {
        open_all();
        console.add_line(answer);
        try {
            cam_move_ui_error("text");
            ADD_FAILURE() << "returned after \"" << answer << "\"";
        } catch (const ProgramExitRequest& exit) {
            EXPECT_EQ(exit.status, 0);
        }
        EXPECT_TRUE(all_closed()) << "answer \"" << answer << "\"";
    }
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(MessagesTest, ConsoleErrorWithoutAConsoleAsksInAPopUp) {
    // No line at all (input at its end): the operator answers in a pop-up. Continue
    // returns to the caller with the instruments as they were.
    open_all();
    op.answer_generic(1);
    cam_move_ui_error(" Can not load UI Panel!!!");
    EXPECT_EQ(console.output(),
              std::string("\nTRELWICK_UI_ERROR!!!:  Can not load UI Panel!!!\n") + kPrompt);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "TRELWICK_UI_ERROR!!!");
    EXPECT_EQ(op.popups()[0].message, " Can not load UI Panel!!!");
    EXPECT_EQ(op.popups()[0].buttons, (std::vector<std::string>{"Continue", "End program"}));
    EXPECT_EQ(shared_device_ids().cm6k6, 1);

    // End program closes the instruments and ends with status 0.
    op.answer_generic(2);
    try {
        cam_move_ui_error("text");
        ADD_FAILURE() << "returned after End program";
    } catch (const ProgramExitRequest& exit) {
        EXPECT_EQ(exit.status, 0);
    }
    EXPECT_TRUE(all_closed());
    EXPECT_EQ(op.popups().size(), 2u);
}

TEST_F(MessagesTest, DangerConfirmationOutcomes) {
    struct Case {
        const char* name;
        void (ScriptedOperator::*script)();
        int button;
        int result;
        bool closed, quit;
    };
    const Case cases[] = {
        {"Yes", nullptr, 1, 0, false, false},
        {"Enter", &ScriptedOperator::answer_generic_enter, 0, 0, false, false},
        {"No", nullptr, 2, 1, true, true},
        {"Reset", nullptr, 3, 1, false, false},
        {"Escape", &ScriptedOperator::answer_generic_escape, 0, 1, false, false},
    };
    for (const Case& c : cases) {
        ScriptedOperator fresh;
        platform_use_panels(&fresh);
        program_ending() = false; // each case is a program of its own
        open_all();
        if (c.script != nullptr)
            (fresh.*c.script)();
        else
            fresh.answer_generic(c.button);
        EXPECT_EQ(danger_operation_message("All gages will be set to ZERO.Continue?"), c.result)
            << c.name;
        ASSERT_EQ(fresh.popups().size(), 1u) << c.name;
        const PopupRecord& p = fresh.popups()[0];
        EXPECT_EQ(p.title, "Danger Operation");
        EXPECT_EQ(p.message, "All gages will be set to ZERO.Continue?");
        EXPECT_EQ(p.buttons, (std::vector<std::string>{"Yes", "No", "Reset"}));
        EXPECT_EQ(p.active_button, 1);
        EXPECT_EQ(p.enter_button, 1);
        EXPECT_EQ(p.escape_button, 3);
        EXPECT_EQ(fresh.beeps(), 2) << c.name;
        EXPECT_EQ(all_closed(), c.closed) << c.name;
        EXPECT_EQ(fresh.quit_requested(), c.quit) << c.name;
        EXPECT_EQ(program_ending(), c.quit) << c.name;
        EXPECT_TRUE(fresh.unexpected().empty()) << c.name;
    }
    platform_use_panels(&op);
}

TEST_F(MessagesTest, ShutdownWithNothingOpenDoesNothing) {
    cam_move_exit();
    EXPECT_TRUE(all_closed());
    EXPECT_TRUE(op.popups().empty());
    EXPECT_TRUE(console.output().empty());
}

TEST_F(MessagesTest, StatusLineIsWrittenThenThePanelRedrawn) {
    const int main = load(MAIN_PANEL);
    update_status_line(main, MAIN_STATUS, "Motors are in motion");
    update_status_line(main, MAIN_STATUS, "Done");
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              (std::vector<std::string>{"Motors are in motion", "Done"}));
    EXPECT_EQ(op.displays(main), 2);
}
