// The event processing that the wait-with-events loop stands on: on the scripted operator
// each call lets virtual time move on by one slice, or up to the moment the operator acts
// within it, so a loop that watches the tick counter ends, and a press queued for the
// wait runs inside it at its moment.
#include "app/shell/panel_ids.hpp"
#include "platform_fixture.hpp"

#include <array>
#include <cstdint>
#include <vector>

namespace {

// The event-processing wait as the drivers build it: milliseconds = seconds x 1000.0001,
// truncated; 32-bit tick arithmetic; events processed until the end tick is reached.
// Returns the last tick read.
std::uint32_t wait_with_events(double seconds) {
    const auto ms = static_cast<std::uint32_t>(seconds * 1000.0001);
    const std::uint32_t end = GetTickCount() + ms;
    std::uint32_t now = GetTickCount();
    while (end > now) {
        ProcessTCPEvents();
        ProcessSystemEvents();
        now = GetTickCount();
    }
    return now;
}

std::vector<std::uint32_t> g_press_ticks;

int note_press_tick(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT)
        g_press_ticks.push_back(GetTickCount());
    return 0;
}

// A button whose callback waits 0.1 s with events itself, as a test-bench step does.
int wait_inside(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) {
        g_press_ticks.push_back(GetTickCount());
        wait_with_events(0.1);
        g_press_ticks.push_back(GetTickCount());
    }
    return 0;
}

class EventProcessingTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        g_press_ticks.clear();
        platform_set_callback_table(table);
        main = load(MAIN_PANEL);
    }
    const std::array<CallbackBinding, 2> table{CallbackBinding{"program_quit", &note_press_tick},
                                               CallbackBinding{"set_param", &wait_inside}};
    int main = 0;
};

} // namespace

TEST_F(EventProcessingTest, WaitEndsInVirtualTimeSliceBySliceWithoutCountingAsDelay) {
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(wait_with_events(1.0), start + 1000);
    // 1000 ms in slices of 5 ms.
    EXPECT_EQ(kEventWaitSeconds, 0.005);
    EXPECT_EQ(op.events_processed(), 200);
    EXPECT_EQ(clock.event_waits(), 200);
    // Tests that count the program's blocking waits see none.
    EXPECT_EQ(clock.delay_calls(), 0);
    EXPECT_EQ(clock.delayed_seconds(), 0.0);
}

TEST_F(EventProcessingTest, ShortestWaits) {
    const std::uint32_t start = GetTickCount();
    // No wait at all processes nothing.
    EXPECT_EQ(wait_with_events(0.0), start);
    EXPECT_EQ(op.events_processed(), 0);
    // One millisecond is one slice; the wait ends at the first tick past its end.
    EXPECT_EQ(wait_with_events(0.001), start + 5);
    EXPECT_EQ(op.events_processed(), 1);
    // 0.0049 s x 1000.0001 = 4.9000005 ms, truncated to 4: still one slice.
    EXPECT_EQ(wait_with_events(0.0049), start + 10);
    EXPECT_EQ(op.events_processed(), 2);
}

TEST_F(EventProcessingTest, PressQueuedForTheWaitRunsInsideItAtItsTime) {
    const std::uint32_t start = GetTickCount();
    op.press_during_wait(main, MAIN_QUIT, clock.now_seconds() + 0.25);
    // A blocking wait runs no press.
    Delay(0.1);
    EXPECT_TRUE(g_press_ticks.empty());
    EXPECT_EQ(op.pending_wait_actions(), 1u);
    EXPECT_EQ(wait_with_events(1.0), start + 1100);
    EXPECT_EQ(g_press_ticks, std::vector<std::uint32_t>{start + 250});
    EXPECT_EQ(op.pending_wait_actions(), 0u);
}

TEST_F(EventProcessingTest, QueuedPressesRunInOrderOnePerCall) {
    const std::uint32_t start = GetTickCount();
    op.press_during_wait(main, MAIN_QUIT);
    op.press_during_wait(main, MAIN_QUIT);
    op.during_wait([] { g_press_ticks.push_back(0); });
    wait_with_events(0.02);
    // Due at once, each runs in its own call and takes no time.
    EXPECT_EQ(g_press_ticks, (std::vector<std::uint32_t>{start, start, 0}));
}

TEST_F(EventProcessingTest, PressDueAfterTheWaitStaysQueued) {
    op.press_during_wait(main, MAIN_QUIT, clock.now_seconds() + 2.0);
    wait_with_events(1.0);
    EXPECT_TRUE(g_press_ticks.empty());
    EXPECT_EQ(op.pending_wait_actions(), 1u);
}

TEST_F(EventProcessingTest, CallbackThatWaitsWithEventsInsideAWait) {
    const std::uint32_t start = GetTickCount();
    op.press_during_wait(main, MAIN_PARAM);
    op.press_during_wait(main, MAIN_QUIT);
    EXPECT_EQ(wait_with_events(0.05), start + 100);
    // The inner wait ran the second press; the outer one ended after the inner one.
    EXPECT_EQ(g_press_ticks, (std::vector<std::uint32_t>{start, start, start + 100}));
}

TEST_F(EventProcessingTest, PressOnADimmedControlDuringTheWaitIsRefused) {
    ScriptedOperator other;
    platform_use_panels(&other);
    const int panel = load(MAIN_PANEL);
    other.press_during_wait(panel, MAIN_MOVE); // dimmed until bring-up
    wait_with_events(0.01);
    ASSERT_EQ(other.unexpected().size(), 1u);
    EXPECT_NE(other.unexpected()[0].find("dimmed"), std::string::npos);
    platform_use_panels(&op);
}

TEST_F(EventProcessingTest, WithoutAnyPanelBackendTheWaitStillEnds) {
    platform_use_panels(nullptr);
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(wait_with_events(0.05), start + 50);
    EXPECT_EQ(clock.event_waits(), 10);

    // On the machine's clock the slices pass asleep: about ten of them in 50 ms, where a
    // spinning loop would go round many thousand times. (A slow machine only lowers it.)
    platform_use_clock(nullptr);
    int rounds = 0;
    const std::uint32_t end = GetTickCount() + 50;
    while (end > GetTickCount()) {
        ProcessSystemEvents();
        ++rounds;
    }
    EXPECT_LE(rounds, 50);
    platform_use_clock(&clock);
    platform_use_panels(&op);
}
