// The end of the program and a failed action on the operator thread: ProgramExit there
// unwinds the operation, makes the station safe on the operator thread and hands its
// status to the front end (no process exit); an exception escaping an action is reported
// and the next action runs; a console question there is asked in the front end's pop-up,
// once a panel shows, never read from a terminal that would hold the thread.
#include "app/shell/panel_ids.hpp"
#include "platform/platform.hpp"
#include "platform/scripted/scripted_console.hpp"
#include "platform/scripted/scripted_operator.hpp"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

class OperatorEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform_reset();
        platform_use_console(&console);
        platform_use_operator_thread(&thread);
        platform_set_program_end_handler([this] {
            note(thread.on_operator_thread() ? "made safe on the operator thread"
                                             : "made safe elsewhere");
        });
        thread.start([] { return RunUserInterface(); });
    }
    void TearDown() override {
        if (!thread.finished())
            thread.post([] { QuitUserInterface(0); });
        thread.join();
        platform_reset();
    }
    void note(std::string what) {
        const std::lock_guard lock(mutex);
        seen.push_back(std::move(what));
    }
    std::vector<std::string> notes() {
        const std::lock_guard lock(mutex);
        return seen;
    }
    // Runs `action` on the operator thread and waits until it has returned or failed.
    void run(std::function<void()> action) {
        auto done = std::make_shared<std::promise<void>>();
        thread.post([action, done] {
            struct Signal {
                std::shared_ptr<std::promise<void>> done;
                ~Signal() { done->set_value(); }
            } signal{done};
            action();
        });
        done->get_future().wait();
    }

    // Notes when the stack it lives on unwinds.
    struct Unwound {
        OperatorEndTest& test;
        ~Unwound() { test.note("operation unwound"); }
    };

    OperatorThread thread;
    ScriptedConsole console;
    std::mutex mutex;
    std::vector<std::string> seen;
};

} // namespace

TEST_F(OperatorEndTest, ProgramExitOnTheOperatorThreadUnwindsMakesSafeAndHandsTheStatusBack) {
    thread.post([this] {
        const StoppableScope operation;
        const Unwound guard{*this};
        ProgramExit(5);
    });
    EXPECT_EQ(thread.join(), 5);
    EXPECT_TRUE(thread.ended_by_exit());
    EXPECT_EQ(notes(),
              (std::vector<std::string>{"operation unwound", "made safe on the operator thread"}));
    EXPECT_FALSE(platform_stoppable());
}

TEST_F(OperatorEndTest, AnExceptionFromAnActionIsReportedAndTheNextActionRuns) {
    platform_set_action_failure_handler([this](const std::string& what) {
        note("failed: " + what + (platform_stoppable() ? " (scope open)" : ""));
    });
    run([this] {
        const StoppableScope operation;
        const Unwound guard{*this};
        throw std::runtime_error("cam table broken");
    });
    run([this] { note("next action"); });
    EXPECT_EQ(notes(), (std::vector<std::string>{"operation unwound", "failed: cam table broken",
                                                 "next action"}));
    EXPECT_FALSE(thread.finished());
}

TEST_F(OperatorEndTest, WhenReportingAFailureFailsTooTheProgramEndsCleanly) {
    platform_set_action_failure_handler(
        [](const std::string&) { throw std::runtime_error("no way to tell anyone"); });
    thread.post([] { throw std::logic_error("broken"); });
    EXPECT_EQ(thread.join(), 1);
    EXPECT_TRUE(thread.ended_by_exit());
    EXPECT_EQ(notes(), (std::vector<std::string>{"made safe on the operator thread"}));
}

TEST_F(OperatorEndTest,
       AConsoleQuestionOnTheOperatorThreadIsAskedInThePopUpNotReadFromTheTerminal) {
    ScriptedOperator panels;
    platform_use_panels(&panels);
    platform_set_resource_directory(TRELWICK_UI_DIR);
    const int main = LoadPanel(0, "Trelwick.uir", MAIN_PANEL);
    ASSERT_GT(main, 0);
    ASSERT_EQ(DisplayPanel(main), 0);
    console.add_line("\n"); // a terminal that would answer (or hold the thread until it does)
    panels.answer_generic(VAL_GENERIC_POPUP_BTN2);
    bool go_on = true;
    run([&] { go_on = ConsoleAnswerGoOn("CM6K6 ERROR", "no reply", 81); });
    EXPECT_FALSE(go_on);
    EXPECT_EQ(console.lines_read(), 0);
    ASSERT_EQ(panels.popups().size(), 1U);
    EXPECT_EQ(panels.popups()[0].buttons, (std::vector<std::string>{"Continue", "End program"}));
    platform_use_panels(nullptr);
}
