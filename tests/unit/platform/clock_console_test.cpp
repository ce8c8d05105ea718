// The virtual clock and the scripted console that the tests and the simulator stand on.
#include "platform_fixture.hpp"

using ClockConsoleTest = PlatformTest;

TEST_F(ClockConsoleTest, DelayAdvancesTicksAndTheWallClock) {
    EXPECT_EQ(DateStr(), "12-07-2026");
    EXPECT_EQ(TimeStr(), "14:03:27");
    const std::uint32_t t0 = GetTickCount();
    Delay(0.5);
    Delay(2.0);
    EXPECT_EQ(GetTickCount() - t0, 2500u);
    EXPECT_EQ(TimeStr(), "14:03:29");
    clock.set_wall_time({2026, 12, 31, 23, 59, 59});
    Delay(1.0);
    EXPECT_EQ(DateStr(), "01-01-2027");
    EXPECT_EQ(TimeStr(), "00:00:00");
    int h = -1, m = -1, s = -1;
    CVI_GetSystemTime(&h, &m, &s);
    EXPECT_EQ(h * 10000 + m * 100 + s, 0);
    // Negative and non-finite waits do not move time.
    Delay(-1.0);
    Delay(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(TimeStr(), "00:00:00");
}

TEST_F(ClockConsoleTest, TickCounterWrapsAsAnUnsigned32BitCount) {
    VirtualClock near_wrap(0xFFFFFF00u);
    platform_use_clock(&near_wrap);
    Delay(0.512);
    EXPECT_EQ(GetTickCount(), 0x100u);
}

TEST_F(ClockConsoleTest, ConsoleReadsAreBoundedAndExitIsReported) {
    console.add_line(std::string(100, 'a') + "\n");
    std::string line;
    ASSERT_TRUE(ConsoleReadLine(&line, 80));
    EXPECT_EQ(line, std::string(79, 'a'));
    ASSERT_TRUE(ConsoleReadLine(&line, 80));
    EXPECT_EQ(line, std::string(21, 'a') + "\n");
    EXPECT_FALSE(ConsoleReadLine(&line, 80));
    EXPECT_TRUE(line.empty());
    ConsolePrintf("%s=%i\n", "x", 3);
    EXPECT_EQ(console.output(), "x=3\n");
    try {
        ProgramExit(7);
        FAIL() << "ProgramExit returned";
    } catch (const ProgramExitRequest& exit) {
        EXPECT_EQ(exit.status, 7);
    }
}
