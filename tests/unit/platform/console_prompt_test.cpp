// The answer to a console stop message: a line typed or piped in answers as at the
// console; with no line at all the same question is asked in a pop-up.
#include "platform_fixture.hpp"

namespace {

class ConsolePromptTest : public PlatformTest {
protected:
    // The pop-up the prompt showed, checked for its fixed shape.
    void expect_prompt_popup(const char* title, const char* text) {
        ASSERT_EQ(op.popups().size(), 1u);
        const PopupRecord& p = op.popups()[0];
        EXPECT_EQ(p.kind, PopupKind::Generic);
        EXPECT_EQ(p.title, title);
        EXPECT_EQ(p.message, text);
        EXPECT_EQ(p.buttons, (std::vector<std::string>{"Continue", "End program"}));
        EXPECT_EQ(p.active_button, VAL_GENERIC_POPUP_BTN1);
        EXPECT_EQ(p.enter_button, VAL_GENERIC_POPUP_BTN1);
        EXPECT_EQ(p.escape_button, VAL_GENERIC_POPUP_BTN1);
    }
};

} // namespace

TEST_F(ConsolePromptTest, LineAnswersAsAtTheConsole) {
    console.add_line("\n");
    EXPECT_TRUE(ConsoleAnswerGoOn("CM6K6 ERROR", "axis = 7, out of range", 80));
    for (const char* line : {"x\n", " \n", "q", "\r\n"}) {
        console.add_line(line);
        EXPECT_FALSE(ConsoleAnswerGoOn("CM6K6 ERROR", "axis = 7, out of range", 80)) << line;
    }
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(console.lines_read(), 5);
}

TEST_F(ConsolePromptTest, ShortLineBufferLeavesTheRestForTheNextPrompt) {
    // Read 15 characters at a time: a long answer ends the program, and what was not read
    // answers the next prompt.
    console.add_line(std::string(15, ' ') + "\n");
    EXPECT_FALSE(ConsoleAnswerGoOn("Delay", "text", 16));
    EXPECT_TRUE(ConsoleAnswerGoOn("Delay", "text", 16));
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(ConsolePromptTest, NoLineAsksInAPopUp) {
    const struct {
        const char* name;
        void (*script)(ScriptedOperator&);
        bool go_on;
    } cases[] = {
        {"Continue", [](ScriptedOperator& o) { o.answer_generic(1); }, true},
        {"End program", [](ScriptedOperator& o) { o.answer_generic(2); }, false},
        {"Enter", [](ScriptedOperator& o) { o.answer_generic_enter(); }, true},
        {"Escape", [](ScriptedOperator& o) { o.answer_generic_escape(); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        op.clear_records();
        c.script(op);
        EXPECT_EQ(ConsoleAnswerGoOn("HP34970 ERROR", "chan = 21, out of range", 80), c.go_on);
        expect_prompt_popup("HP34970 ERROR", "chan = 21, out of range");
    }
    EXPECT_EQ(console.lines_read(), 4);
}

TEST_F(ConsolePromptTest, NoLineAndNobodyToAskEndsTheProgram) {
    platform_use_panels(nullptr);
    EXPECT_FALSE(ConsoleAnswerGoOn("HP34970 ERROR", "text", 80));
    platform_use_panels(&op);
}
