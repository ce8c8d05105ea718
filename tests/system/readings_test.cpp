// The readings and the reading of the present state on the simulated stage: the angle from
// its potentiometer, what a failed reading gives, the instruments opened on first use, the
// gauges, and the typed targets with their range checks.
#include "stage/coordinate_exchange.hpp"
#include "stage/motion.hpp"
#include "stage/readings.hpp"
#include "stage_system_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The potentiometers resolve about 2e-6 rad (3 uV of noise on a 10 V reference, times
// the scale of 6.2 rad).
constexpr double kPot = 5e-6;

class Readings : public StageSystemTest {
protected:
    double read(int cam) { return cam_move_read_cam_angles(param, shared_addresses(), cam); }
    bool sent(const std::string& command) {
        const auto commands = daq_commands();
        return std::find(commands.begin(), commands.end(), command) != commands.end();
    }
};

TEST_F(Readings, AngleFollowsTheCamAndItsZeroOffset) {
    bring_up();
    EXPECT_NEAR(read(1), 0.0, kPot);
    // Turn cam 4 by 3 motor revolutions, 3 / 120 of a turn (its motor runs the other way
    // round, which move_cam_motor takes care of).
    motor_move revs{0, 0, 0, 3.0, 0};
    move_cam_motor(panel, param, revs, 0);
    forget_traffic();
    const double turned = 3.0 * 2.0 * std::numbers::pi / 120.0;
    EXPECT_NEAR(read(4), turned, kPot);
    param.pot_offset[3] = 0.1;
    EXPECT_NEAR(read(4), turned - 0.1, kPot);
    // The potentiometers were powered for the reading and are not any more.
    EXPECT_TRUE(sent("ROUT:CLOS (@209)"));
    EXPECT_TRUE(sent("ROUT:OPEN (@209)"));
    EXPECT_FALSE(relay_closed(209));
}

// A lost reference reads microvolts, not 0 V: the ratio is absurd but finite, and the
// reading hands on a number, here an angle beyond 90 degrees (only the forward solution's
// range check asks about it).
// A lost reference reads microvolts of noise: too small to be a reference, so no angle.
TEST_F(Readings, LostReferenceGivesNoAngle) {
    bring_up();
    stage_faults().reference_lost = true;
    EXPECT_TRUE(std::isnan(read(2)));
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(Readings, ClosedUnitIsOpenedForTheReading) {
    // Nothing opened yet: the reading opens the HP34970 itself.
    EXPECT_NEAR(read(3), 0.0, kPot);
    EXPECT_GT(shared_device_ids().hp34970, 0);
}

TEST_F(Readings, UnitThatCannotBeOpenedGivesNoAngleAndNoFurtherReports) {
    shared_addresses().hp_gpib_dev_addr = 8; // nothing answers there
    console.add_line("\n");
    console.add_line("\n");
    EXPECT_TRUE(std::isnan(read(1)));
    // The driver's two reports of the failed open, and none per channel after them.
    const std::string prompt =
        "Press ENTER to continue.\nPress any key then ENTER to terminate program.\n";
    EXPECT_EQ(console.output(), "\nHP34970 ERROR: The device could not be opened\n" + prompt +
                                    "\nHP34970 ERROR: Device was not opened\n" + prompt);
    EXPECT_EQ(shared_device_ids().hp34970, 0);
}

TEST_F(Readings, GaugeIsReadFromTheCounterOpenedOnFirstUse) {
    const double raw = cam_move_read_gage(shared_addresses(), 2);
    EXPECT_GT(shared_device_ids().ev16p, 0);
    EXPECT_NEAR(raw, model().gauge_raw(2, now()), 1e-3);
}

TEST_F(Readings, CounterThatCannotBeOpenedGivesNoReading) {
    shared_addresses().ev_com_port = 7; // no counter on this port
    op.answer_confirm(false);           // the operator gives the bring-up up
    EXPECT_TRUE(std::isnan(cam_move_read_gage(shared_addresses(), 1)));
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].message, "Error in OpenCom. Check error code # -2. Continue?");
    EXPECT_LE(shared_device_ids().ev16p, 0);
}

TEST_F(Readings, PresentStateAndTargetsAreReadIntoTheRecord) {
    bring_up();
    motor_move revs{2.0, 0, 0, 0, 0};
    move_cam_motor(panel, param, revs, 0);
    type_targets({0.0004, -0.0003, 0.001, -0.002, 0.5});
    EXPECT_EQ(cam_move_get_coordinates(panel, param, shared_addresses(), coord_ctrls), 0);
    EXPECT_NEAR(param.cam_angle[0], 2.0 * 2.0 * std::numbers::pi / 120.0, kPot);
    for (int k = 2; k <= 5; ++k)
        EXPECT_NEAR(param.cam_angle[k - 1], 0.0, kPot) << "cam " << k;
    EXPECT_EQ(param.coord, (coordinates{0.0004, -0.0003, 0.001, -0.002, 0.5}));
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(Readings, FourGaugesAreReadWithThePresentState) {
    bring_up();
    param.gage_count = 4;
    param.gage_list = {3, 1, 4, 2};
    cam_move_get_coordinates(panel, param, shared_addresses(), coord_ctrls);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(param.gage_value[i], model().gauge_raw(param.gage_list[i], now()) / 1000.0,
                    1e-6)
            << "gauge slot " << i;
}

TEST_F(Readings, TargetXOutOfRangeStopsTheReadingAndStaysStored) {
    bring_up();
    param.coord = {0.1, 0.2, 0.3, 0.4, 0.5};
    type_targets({0.002, 0.005, 2.0, 0, 0});
    op.answer_message();
    EXPECT_EQ(cam_move_get_coordinates(panel, param, shared_addresses(), coord_ctrls), 1);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].message, "Value out of Range\nInput a new one.");
    EXPECT_EQ(op.focus_log().back().control, MAIN_TARGET_X);
    EXPECT_EQ(param.coord, (coordinates{0.002, 0.2, 0.3, 0.4, 0.5}));
}

TEST_F(Readings, TargetRollOutOfRangeIsNotStored) {
    bring_up();
    param.coord = {0.1, 0.2, 0.3, 0.4, 0.5};
    type_targets({0.0001, 0.0002, 1.6, 0, 0});
    op.answer_message();
    EXPECT_EQ(cam_move_get_coordinates(panel, param, shared_addresses(), coord_ctrls), 1);
    EXPECT_EQ(op.focus_log().back().control, MAIN_TARGET_ROLL);
    EXPECT_EQ(param.coord, (coordinates{0.0001, 0.0002, 0.3, 0.4, 0.5}));
}

} // namespace
