// The event-processing wait on the tick counter, and the wait module's console messages.
// Each event processing waits for what is left of the wait, so with nothing to run one
// call ends it, on time; a press queued for the wait ends that call at its moment.
#include "platform_fixture.hpp"

#include "drivers/delay.hpp"

#include <limits>

namespace {

using Delay = PlatformTest;

TEST_F(Delay, ZeroSecondsReturnsWithoutYielding) {
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(delay(0.0), start);
    EXPECT_EQ(op.events_processed(), 0);
}

TEST_F(Delay, OneMillisecondEndsAtTheNextTick) {
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(delay(0.001), start + 1);
    EXPECT_EQ(op.events_processed(), 1);
}

TEST_F(Delay, WaitsOnceForTheWholeWaitAndEndsOnTime) {
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(delay(0.25), start + 250);
    EXPECT_EQ(op.events_processed(), 1);
    EXPECT_EQ(cvi_delay(0.1), start + 350);
    EXPECT_EQ(op.events_processed(), 2);
    EXPECT_EQ(clock.delay_calls(), 0); // never the blocking wait
}

TEST_F(Delay, APressDuringTheWaitRunsAtItsMomentAndTheWaitStillEndsOnTime) {
    const std::uint32_t start = GetTickCount();
    std::uint32_t pressed = 0;
    op.during_wait([&] { pressed = GetTickCount(); }, clock.now_seconds() + 0.1);
    EXPECT_EQ(delay(0.25), start + 250);
    EXPECT_EQ(pressed, start + 100);
    EXPECT_EQ(op.events_processed(), 2);
}

TEST_F(Delay, WaitsThatAreNotTimesAreNoWait) {
    delay(-1.0);
    delay(std::numeric_limits<double>::quiet_NaN());
    cvi_delay(-0.5);
    EXPECT_EQ(op.events_processed(), 0);
}

TEST(DelayAtTheWrap, EndPastTheCountersWrapEndsAtOnce) {
    // The end wraps below the present tick, so the unsigned comparison is already over.
    VirtualClock late(4294967290u);
    platform_use_clock(&late);
    EXPECT_EQ(delay(0.01), 4294967290u);
    platform_reset();
}

TEST_F(Delay, StopMessageWaitsWithEventsAndEnterGoesOn) {
    console.add_line("\n");
    stop_error_msg("TEST", "Gage not found");
    EXPECT_EQ(console.output(), "\nTEST: Gage not found\nPress ENTER to continue.\nPress any "
                                "key then ENTER to terminate program.\n");
    EXPECT_EQ(op.beeps(), 2);
    EXPECT_EQ(op.events_processed(), 1); // the half second between the beeps
}

TEST_F(Delay, StopMessageAnsweredOtherwiseEndsTheProgram) {
    console.add_line("n\n");
    try {
        stop_error_msg("TEST", "x");
        ADD_FAILURE() << "the program went on";
    } catch (const ProgramExitRequest& exit) {
        EXPECT_EQ(exit.status, 0);
    }
}

TEST_F(Delay, MessageIsOneLine) {
    message("Scan done");
    EXPECT_EQ(console.output(), "Scan done\n");
}

} // namespace
