// The data acquisition unit's bring-up, shutdown, relay switching, error queue and the
// failure paths of its device table and bus.
#include "driver_fixture.hpp"

#include <gmock/gmock.h>

#include <climits>
#include <cmath>

using ::testing::ElementsAre;

namespace {

class Hp34970 : public DriverTest {};

TEST_F(Hp34970, BringUpOpensClearsIdentifiesResetsAndChecksErrors) {
    daq.expect("*IDN?", "HEWLETT-PACKARD,34970A,0,13-2-2")
        .expect("*RST")
        .expect("SYSTEM:ERROR?", "+0,\"No error\"");
    int id = 0;
    hp34970_init(kBoard, kDaqAddress, &id);
    EXPECT_EQ(id, 1);
    ASSERT_TRUE(daq.settings().has_value());
    EXPECT_EQ(daq.settings()->gpib_board, 1);
    EXPECT_EQ(daq.settings()->gpib_address, 9);
    EXPECT_EQ(daq.settings()->gpib_timeout_code, 14);
    EXPECT_EQ(daq.settings()->gpib_eos, 0x140A);
    EXPECT_EQ(daq.device_clears(), 1);
    EXPECT_EQ(console.output(), "");
    // No fixed waits on this bus.
    EXPECT_NEAR(clock.elapsed_seconds(), 0.0, 1e-9);
}

TEST_F(Hp34970, ErrorQueueWithTwoEntriesPrintsBothAndReportsOnce) {
    daq.expect("*IDN?", "HEWLETT-PACKARD,34970A,0,13-2-2")
        .expect("*RST")
        .expect("SYSTEM:ERROR?", "-113,\"Undefined header\"")
        .expect("SYSTEM:ERROR?", "-222,\"Data out of range\"")
        .expect("SYSTEM:ERROR?", "+0,\"No error\"");
    press_enter();
    int id = 0;
    hp34970_init(kBoard, kDaqAddress, &id);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(console.output(), "\nThe HP34970 has an error.\n-113,\"Undefined header\""
                                "\nThe HP34970 has an error.\n-222,\"Data out of range\"" +
                                    hp34970_stop_text("The HP34970 has an error"));
    EXPECT_EQ(hp34970_check_dev_open(1), 0);
    EXPECT_FALSE(daq.online()); // the freed unit went off line
}

TEST_F(Hp34970, UnitThatNeverSaysNoErrorIsReadABoundedNumberOfTimes) {
    const int id = bring_up_daq();
    daq.expect_repeated("SYSTEM:ERROR?", "-350,\"Queue overflow\"");
    EXPECT_EQ(hp34970_get_errors(id), -1);
    EXPECT_EQ(daq.received().size(), static_cast<std::size_t>(kHp34970MaxErrorEntries));
}

// A failed read is no entry of the queue: one time-out and one stop message, not twenty.
TEST_F(Hp34970, SilentErrorQueueStopsAtTheFirstFailedRead) {
    const int id = bring_up_daq();
    const double before = clock.elapsed_seconds();
    daq.expect("SYSTEM:ERROR?");
    press_enter();
    EXPECT_EQ(hp34970_get_errors(id), -1);
    EXPECT_EQ(console.output(), hp34970_stop_text("ibsta = c000, problem receiving GPIB input"));
    EXPECT_NEAR(clock.elapsed_seconds() - before, 30.5, 1e-6); // one time-out, one message
}

// Channel and output numbers are checked before their offset is added, so none overflows.
TEST_F(Hp34970, ChannelAndOutputNearIntMaxAreOutOfRange) {
    const int id = bring_up_daq();
    press_enter(2);
    double v = 0.0;
    hp34970_get_chan_volt(id, INT_MAX, &v);
    hp34970_switch_on_off(id, INT_MAX - 100, 1);
    EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(console.output(), hp34970_stop_text("chan = 2147483747, out of range") +
                                    hp34970_stop_text("chan = 2147483747, out of range"));
}

TEST_F(Hp34970, SilentUnitCostsItsThirtySecondTimeOut) {
    daq.expect("*IDN?");
    press_enter(2);
    int id = 0;
    hp34970_init(kBoard, kDaqAddress, &id);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(console.output(), hp34970_stop_text("ibsta = c000, problem receiving GPIB input") +
                                    hp34970_stop_text("Problem reading ID"));
    // 30 s of time-out, then half a second between the beeps of each message.
    EXPECT_NEAR(clock.elapsed_seconds(), 31.0, 1e-6);
    EXPECT_EQ(hp34970_check_dev_open(1), 0);
}

TEST_F(Hp34970, AddressesAndIdsOutOfRangeTouchNothing) {
    press_enter(6);
    int id = -3;
    hp34970_init(11, 9, &id);
    hp34970_init(0, 31, &id);
    hp34970_init(kBoard, 4, &id); // nothing at address 4: the unit cannot be opened
    hp34970_exit(0);
    hp34970_switch_on_off(11, 1, 1);
    EXPECT_EQ(id, -3);
    EXPECT_EQ(console.output(), hp34970_stop_text("gpib_board_addr = 11, out of range") +
                                    hp34970_stop_text("gpib_dev_addr = 31, out of range") +
                                    hp34970_stop_text("The device could not be opened") +
                                    hp34970_stop_text("Device was not opened") +
                                    hp34970_stop_text("dev_ID = 0, out of range") +
                                    hp34970_stop_text("dev_ID = 11, out of range"));
    EXPECT_TRUE(daq.received().empty());
}

TEST_F(Hp34970, SwitchingClosesAnOpenRelayAndLeavesAClosedOne) {
    const int id = bring_up_daq();
    daq.expect("ROUT:OPEN? (@209)", "1").expect("ROUT:CLOS (@209)").expect("ROUT:DONE?", "1");
    hp34970_switch_on_off(id, 9, 1);
    daq.expect("ROUT:OPEN? (@209)", "0").expect("ROUT:DONE?", "1");
    hp34970_switch_on_off(id, 9, 1); // already closed: only the done query
    daq.expect("ROUT:OPEN? (@203)", "0").expect("ROUT:OPEN (@203)").expect("ROUT:DONE?", "1");
    hp34970_switch_on_off(id, 3, 0);
    EXPECT_EQ(console.output(), "");
}

TEST_F(Hp34970, SwitchingReportsAnUnreadableStateAndAnUnfinishedSwitch) {
    const int id = bring_up_daq();
    daq.expect("ROUT:OPEN? (@201)", "2").expect("ROUT:DONE?", "0");
    press_enter(2);
    hp34970_switch_on_off(id, 1, 1);
    EXPECT_EQ(console.output(), hp34970_stop_text(" Problem reading channel list") +
                                    hp34970_stop_text(" Problem open the channels"));
    console.clear_output();
    press_enter();
    hp34970_switch_on_off(id, 201, 1);
    EXPECT_EQ(console.output(), hp34970_stop_text("chan = 401, out of range"));
}

TEST_F(Hp34970, ExitResetsAndTakesTheUnitOffLine) {
    const int id = bring_up_daq();
    daq.expect("*RST");
    hp34970_exit(id);
    EXPECT_EQ(hp34970_check_dev_open(id), 0);
    EXPECT_FALSE(daq.online());
    hp34970_exit(id); // closed: nothing more
}

TEST_F(Hp34970, OpeningTheSameAddressTwiceGivesTheSameId) {
    const int id = bring_up_daq();
    EXPECT_EQ(hp34970_open_dev(kBoard, kDaqAddress), id);
    EXPECT_EQ(daq.device_clears(), 1);
    EXPECT_EQ(hp34970_close_dev(id), 0);
}

TEST_F(Hp34970, SerialPollGivesTheStatusByte) {
    const int id = bring_up_daq();
    daq.set_status_byte(0xC4);
    int status = 0;
    EXPECT_EQ(hp34970_serial_poll(id, &status), 0);
    EXPECT_EQ(status, 0xC4);
}

TEST_F(Hp34970, PresetNeedsAnOpenUnit) {
    const int id = bring_up_daq();
    daq.expect("SYSTEM:PRESET");
    hp34970_preset(id);
    press_enter();
    hp34970_preset(2);
    EXPECT_EQ(console.output(), hp34970_stop_text("Device not open"));
}

} // namespace
