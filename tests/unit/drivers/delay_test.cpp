// The event-processing wait on the tick counter, and the wait module's console messages.
// Events here move the virtual clock on by a millisecond, as a busy event loop would.
#include "platform_fixture.hpp"

#include "drivers/delay.hpp"

#include <limits>

namespace {

class TickingOperator : public ScriptedOperator {
public:
    explicit TickingOperator(VirtualClock& clock) : clock_(clock) {}
    void process_system_events() override {
        ++events;
        clock_.advance(0.001);
    }
    int events = 0;

private:
    VirtualClock& clock_;
};

class Delay : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        platform_use_panels(&ticking);
    }
    TickingOperator ticking{clock};
};

TEST_F(Delay, ZeroSecondsReturnsWithoutYielding) {
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(delay(0.0), start);
    EXPECT_EQ(ticking.events, 0);
}

TEST_F(Delay, OneMillisecondTargetsTheNextTick) {
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(delay(0.001), start + 1);
    EXPECT_EQ(ticking.events, 1);
}

TEST_F(Delay, QuarterSecondYieldsUntilTheTickReachesTheEnd) {
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(delay(0.25), start + 250);
    EXPECT_EQ(ticking.events, 250);
    EXPECT_EQ(cvi_delay(0.1), start + 350);
    EXPECT_EQ(ticking.events, 350);
    EXPECT_EQ(clock.delay_calls(), 0); // never the blocking wait
}

TEST_F(Delay, WaitsThatAreNotTimesAreNoWait) {
    delay(-1.0);
    delay(std::numeric_limits<double>::quiet_NaN());
    cvi_delay(-0.5);
    EXPECT_EQ(ticking.events, 0);
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
    EXPECT_EQ(ticking.beeps(), 2);
    EXPECT_EQ(ticking.events, 500);
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
