// Start-up: the main panel shown and the event loop run; a resource file that can't be
// loaded reported on the console, with both answers; Quit ending the loop.
#include "app/main_panel.hpp"
#include "app/shell/panel_ids.hpp"
#include "app_fixture.hpp"

namespace {

class StartupTest : public AppTest {
protected:
    void hide_resource_file() { platform_set_resource_directory(drive_root.string()); }
};

const std::string kConsoleError = "\nTRELWICK_UI_ERROR!!!:  Can not load UI Panel!!!\n"
                                  "Press ENTER to continue.\n"
                                  "Press any key then ENTER to terminate program.\n";

} // namespace

TEST_F(StartupTest, ShowsTheMainPanelAndRunsTheLoopUntilQuit) {
    op.queue_action([&] {
        const int main = main_panel_handle();
        EXPECT_GT(main, 0);
        EXPECT_EQ(op.displays(main), 1);
        // Controls that need instruments start dimmed; Quit does not.
        EXPECT_TRUE(op.dimmed(main, MAIN_MOVE));
        EXPECT_FALSE(op.dimmed(main, MAIN_INIT));
        op.press(main, MAIN_QUIT);
    });
    op.queue_action([] { ADD_FAILURE() << "the loop went on after Quit"; });
    EXPECT_EQ(WinMain(), 0);
    EXPECT_EQ(op.event_loop_runs(), 1);
    EXPECT_TRUE(op.quit_requested());
    EXPECT_TRUE(console.output().empty());
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(StartupTest, QuitActsOnTheCommitEventOnly) {
    const int main = load(MAIN_PANEL);
    for (int event : {EVENT_LEFT_CLICK, EVENT_RIGHT_CLICK, EVENT_VAL_CHANGED}) {
        op.press(main, MAIN_QUIT, event);
        EXPECT_FALSE(op.quit_requested()) << "event " << event;
    }
    shared_device_ids() = {1, 2, 3};
    op.press(main, MAIN_QUIT);
    EXPECT_TRUE(op.quit_requested());
    EXPECT_EQ(shared_device_ids().hp34970 + shared_device_ids().cm6k6 + shared_device_ids().ev16p,
              0);
}

TEST_F(StartupTest, MissingResourceFileAnsweredWithXEndsWithStatusZero) {
    hide_resource_file();
    console.add_line("x\n");
    try {
        WinMain();
        FAIL() << "the program went on";
    } catch (const ProgramExitRequest& exit) {
        EXPECT_EQ(exit.status, 0);
    }
    EXPECT_EQ(console.output(), kConsoleError);
    EXPECT_EQ(op.event_loop_runs(), 0);
    EXPECT_LT(main_panel_handle(), 0);
}

TEST_F(StartupTest, MissingResourceFileAnsweredWithEnterGoesOnIntoTheLoop) {
    hide_resource_file();
    console.add_line("\n");
    EXPECT_EQ(WinMain(), 0);
    EXPECT_EQ(console.output(), kConsoleError);
    EXPECT_EQ(op.event_loop_runs(), 1);
    EXPECT_EQ(op.beeps(), 2);
}

TEST_F(StartupTest, NoRunTimeMeansMinusOneAndNoMessage) {
    platform_use_panels(nullptr);
    EXPECT_EQ(WinMain(), -1);
    EXPECT_TRUE(console.output().empty());
    platform_use_panels(&op);
}

TEST_F(StartupTest, TheSelectorAppliesItsModeToTheCoordinateBox) {
    main_panel_handle() = load(MAIN_PANEL);
    const int main = main_panel_handle();
    EXPECT_EQ(op.commit_value(main, MAIN_ENTRY_MODE, 3LL), 0);
    EXPECT_TRUE(op.dimmed(main, MAIN_TARGET_PITCH));
    EXPECT_FALSE(op.dimmed(main, MAIN_TARGET_ROLL));
    // Only the commit event acts.
    op.type_value(main, MAIN_ENTRY_MODE, 0LL);
    op.press(main, MAIN_ENTRY_MODE, EVENT_LEFT_CLICK);
    EXPECT_TRUE(op.dimmed(main, MAIN_TARGET_PITCH));
}
