// Faults of the simulated stage as the operator meets them on the main panel: the
// potentiometer reference at 0 V, an axis that falls short, a motion that never ends.
#include "app/shell/panel_ids.hpp"
#include "station_sim_fixture.hpp"

#include <array>
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

// A lost reference reads microvolts, as a meter does, not 0 V: a reference that small is
// no reading, so the angles are NaN, Home turns nothing and says so.
TEST_F(FaultsTest, WithTheReferenceLostHomeTurnsNothingAndSaysWhichCamsStay) {
    type_target(0, 0.0003);
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    std::array<double, 5> away{};
    for (int cam = 1; cam <= 5; ++cam)
        away[static_cast<std::size_t>(cam - 1)] = cam_angle(cam);
    op.clear_records();

    stage_faults().reference_lost = true;
    ASSERT_EQ(op.press(main, MAIN_READ_POT_3), 0);
    EXPECT_TRUE(std::isnan(slot(12)));

    const std::string log = run_log();
    // Angles that were not measured raise no division question in the forward solution.
    op.answer_message();
    ASSERT_EQ(op.press(main, MAIN_HOME), 0);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "Cams not moved");
    EXPECT_EQ(op.popups()[0].message, "Cam 1 is not moved: its angle is not a number.\n"
                                      "Cam 2 is not moved: its angle is not a number.\n"
                                      "Cam 3 is not moved: its angle is not a number.\n"
                                      "Cam 4 is not moved: its angle is not a number.\n"
                                      "Cam 5 is not moved: its angle is not a number.");
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Not all cams are in Home position");
    for (int cam = 1; cam <= 5; ++cam)
        EXPECT_EQ(cam_angle(cam), away[static_cast<std::size_t>(cam - 1)]) << "cam " << cam;
    EXPECT_EQ(run_log(), log);
    // The box shows not-a-number rather than the old, plausible values.
    for (int i = 5; i < 15; ++i)
        EXPECT_TRUE(std::isnan(slot(i))) << "slot " << i;
    for (int cam = 1; cam <= 5; ++cam)
        EXPECT_EQ(relay_closed(200 + cam), false);
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
    // Not "Done": the move was given up. What was measured afterwards is still logged.
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Not all cams are in position");
    EXPECT_EQ(last_entry().rfind(" \n hh:mm:ss * Final device coordinates * ", 0), 0u);
    EXPECT_NE(run_log().find(" * Final coordinates * "), std::string::npos);
    // The motors finished their moves; only the end was never reported, and the kill that
    // giving up sends ends the motion at once: the stage stands at the target.
    EXPECT_NEAR(slot(5), 0.0005, 2e-6);
}
