// An operation the operator has stopped: the questions it would still ask get their safe
// answer without being shown (none of them moves anything more, none ends the program),
// and the Stop buttons stay lit until the outermost operation ends.
#include "app/shell/messages.hpp"
#include "app/shell/operator_stop.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "app_fixture.hpp"
#include "platform/console.hpp"

namespace {

using StoppedOperationTest = AppTest;

TEST_F(StoppedOperationTest, ItsQuestionsGetTheirSafeAnswerUnseen) {
    const StoppableScope operation;
    platform_request_stop();
    ASSERT_TRUE(platform_stop_requested());

    EXPECT_EQ(ConfirmPopup("ERROR", "Error in x. Check error code # 1. Continue?"), 0);
    // The danger question's Reset: the step is refused and the program goes on.
    EXPECT_EQ(danger_operation_message(" Too many motor revolutions. Continue?"), 1);
    EXPECT_FALSE(program_ending());
    // A driver's console stop goes on (the driver then halts), never ends the program.
    EXPECT_TRUE(ConsoleAnswerGoOn("CM6K6 ERROR", "no reply", 81));
    std::string text = "kept";
    EXPECT_EQ(PromptPopup("Input file header", "Type comments to the data", &text, 1000), 0);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(FileSelectPopup("C:\\", "*.dat", "*.txt", "Input file name", VAL_OK_BUTTON, 0, 1, 1,
                              1, &text),
              VAL_NO_FILE_SELECTED);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_TRUE(console.output().empty()) << console.output();

    // A message asks nothing: it is shown.
    op.answer_message();
    MessagePopup("Cams not moved", "Cam 3 is not moved.");
    EXPECT_EQ(op.popups().size(), 1u);
}

TEST_F(StoppedOperationTest, TheStopButtonsStayLitUntilTheOutermostOperationEnds) {
    const int main = load(MAIN_PANEL);
    const int test = load(TEST_PANEL);
    {
        const stoppable_operation outer(main, MAIN_STOP);
        EXPECT_FALSE(op.dimmed(main, MAIN_STOP));
        {
            // A queued press run inside the outer one's event wait.
            const stoppable_operation inner(test, TEST_STOP);
            EXPECT_FALSE(op.dimmed(test, TEST_STOP));
        }
        EXPECT_FALSE(op.dimmed(main, MAIN_STOP));
        EXPECT_FALSE(op.dimmed(test, TEST_STOP)); // a press there stops the outer one too
        EXPECT_TRUE(platform_stoppable());
    }
    EXPECT_TRUE(op.dimmed(main, MAIN_STOP));
    EXPECT_TRUE(op.dimmed(test, TEST_STOP));
}

} // namespace
