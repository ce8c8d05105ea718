// Faults of the simulated stage as the operator meets them on the main panel: the
// potentiometer reference at 0 V, an axis that falls short, a motion that never ends.
#include "app/shell/panel_ids.hpp"
#include "station_sim_fixture.hpp"

#include <cmath>

namespace {

constexpr double kRevsPerRadian = 120.0 / 3.141592653 / 2.0;

class FaultsTest : public StationSimTest {
protected:
    void SetUp() override {
        StationSimTest::SetUp();
        bring_up();
        op.type_value(main, MAIN_MOVE_MODE, 1LL);
    }
};

} // namespace

// A lost reference reads microvolts, as a meter does, not 0 V: each angle read is absurd
// but a number, so nothing is refused as NaN. The forward solution's range check asks
// about each angle beyond 90 degrees (its answer is not used), and Home then turns the
// cams by those absurd angles and reports them home. What the program should do with a
// reference it cannot trust is the program's business; this pins what it does today.
TEST_F(FaultsTest, WithTheReferenceLostHomeTurnsTheCamsByAbsurdAngles) {
    type_target(0, 0.0003);
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    op.clear_records();

    stage_faults().reference_lost = true;
    ASSERT_EQ(op.press(main, MAIN_READ_POT_3), 0);
    EXPECT_GT(std::fabs(slot(12)), 90.0); // degrees
    for (int i = 0; i < 6; ++i)
        op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    ASSERT_EQ(op.press(main, MAIN_HOME), 0);
    ASSERT_EQ(op.popups().size(), 6u);
    for (const auto& p : op.popups())
        EXPECT_EQ(p.message, "Angle out of range (>90 Degrees). Continue?");
    EXPECT_GT(std::fabs(cam_angle(5)), 1.0);
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "All cams are in Home position");
}

TEST_F(FaultsTest, AnAxisThatFallsShortLeavesTheStageShortAndTheLogSaysWhereItIs) {
    stage_faults().shortfall_revs[0] = 1.0;
    type_target(0, 0.0005);
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Done");
    // Cam 1's motor stopped one revolution short of what it was sent.
    const double turned = cam_angle(1) * kRevsPerRadian;
    EXPECT_NEAR(std::fabs(last_distance_sent(1)) - std::fabs(turned), 1.0, 1e-3);
    EXPECT_GT(std::fabs(slot(5) - 0.0005), 1e-5) << "the stage should not be at the target";
    // The log's last entries hold the position the stage reached, as the panel shows it.
    const std::array<double, 5> final_ = logged_coordinates("Final coordinates");
    const std::array<double, 5> device = logged_coordinates("Final device coordinates");
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(final_[static_cast<std::size_t>(i)], slot(5 + i), 1e-6) << i;
        EXPECT_NEAR(device[static_cast<std::size_t>(i)], slot(5 + i), 1e-6) << i;
    }
}

TEST_F(FaultsTest, AMotionThatNeverEndsIsReportedAndGivingUpStillReadsBackAndLogs) {
    stage_faults().motion_never_ends[1] = true;
    type_target(0, 0.0005);
    op.answer_confirm(false);
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[0].message.rfind("Error in Motion end. Check error code # ", 0), 0u)
        << op.popups()[0].message;
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Done");
    EXPECT_EQ(last_entry().rfind(" \n hh:mm:ss * Final device coordinates * ", 0), 0u);
    EXPECT_NE(run_log().find(" * Final coordinates * "), std::string::npos);
    // The motors finished their moves; only the end was never reported, and the kill that
    // giving up sends ends the motion at once: the stage stands at the target.
    EXPECT_NEAR(slot(5), 0.0005, 2e-6);
}
