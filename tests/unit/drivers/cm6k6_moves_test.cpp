// The stage's moves on the wire: one cam, five cams, the motion-end polling, the
// positioning check and its answers, and the bound on a motion that never ends.
#include "app/shell/panel_ids.hpp"
#include "driver_fixture.hpp"

#include <gmock/gmock.h>

#include <climits>
#include <cmath>
#include <limits>

using ::testing::ElementsAre;

namespace {

class Cm6k6Moves : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        id = bring_up_controller();
        panel = load(1);
        start = clock.elapsed_seconds();
    }
    double since_start(std::size_t command) const {
        return controller.arrival_times().at(command) - start;
    }
    std::vector<long long> led_values(int control) const {
        std::vector<long long> values;
        for (const auto& v : op.value_log())
            if (v.panel == panel && v.control == control)
                values.push_back(std::get<long long>(v.value));
        return values;
    }
    int id = 0;
    int panel = 0;
    double start = 0.0;
    const int leds[10] = {0,
                          0,
                          0,
                          0,
                          0,
                          MAIN_MOVE_LED_1,
                          MAIN_MOVE_LED_2,
                          MAIN_MOVE_LED_3,
                          MAIN_MOVE_LED_4,
                          MAIN_MOVE_LED_5};
};

TEST_F(Cm6k6Moves, OneCamMovesPollsForTheEndAndChecksItsTravel) {
    controller.expect("2TPC", "*2TPC+3.2500")
        .expect("DRIVE010000")
        .expect("2D-1.500000\rGO010000")
        .expect("WAIT(MOV=b000000)")
        // Still moving: the controller holds this WRITE behind the WAIT and answers it at
        // the motion's end, with the next one; the driver reads both answers.
        .expect("WRITE\"YES\"", "YES", 1.75)
        .expect("WRITE\"YES\"", "YES")
        .expect("DRIVE000000")
        .expect("2TPC", "*2TPC+1.7500");
    EXPECT_EQ(cm6k6_cam_move(panel, MAIN_MOVE_LED_2, id, 2, -1.5, 1), 0);

    // Query 0.6; drive on 0.6 + 2.0; distance and GO 0.6; WAIT 0.6; a silent poll costs
    // 0.6 + 0.1 + the 1 s read time-out; the answered poll 0.7; drives off 0.6 + 1.0.
    const double expected[] = {0.0, 0.6, 3.2, 3.8, 4.4, 6.1, 6.8, 8.4};
    ASSERT_EQ(controller.received().size(), 8u);
    for (std::size_t k = 0; k < 8; ++k)
        EXPECT_NEAR(since_start(k), expected[k], 1e-6) << controller.commands()[k];
    EXPECT_THAT(led_values(MAIN_MOVE_LED_2), ElementsAre(1, 0));
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(Cm6k6Moves, ZeroDistanceStillDrivesAndPasses) {
    controller.expect("1TPC", "*1TPC+0.0000")
        .expect("DRIVE100000")
        .expect("1D0.000000\rGO100000")
        .expect("WAIT(MOV=b000000)")
        .expect("WRITE\"YES\"", "YES")
        .expect("DRIVE000000")
        .expect("1TPC", "*1TPC+0.0000");
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 1, 0.0, 0), 0);
    EXPECT_TRUE(op.value_log().empty());
}

TEST_F(Cm6k6Moves, ShortfallAskedYesPassesNoKillsTheAxis) {
    // 2.0 asked, 0.5 travelled: the check reports 1.
    const auto script = [&] {
        controller.expect("4TPC", "*4TPC+0.0000")
            .expect("DRIVE000100")
            .expect("4D2.000000\rGO000100")
            .expect("WAIT(MOV=b000000)")
            .expect("WRITE\"YES\"", "YES")
            .expect("DRIVE000000")
            .expect("4TPC", "*4TPC+0.5000");
    };
    script();
    op.answer_confirm(true);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 4, 2.0, 0), 0);
    script();
    controller.expect("!K0,0,0,1,0,0").expect("DRIVE000000");
    op.answer_confirm(false);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 4, 2.0, 0), -1);
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("Positioning", 1), confirm_text("Positioning", 1)));
}

// 0.9999996 goes out as 1.000000, and the axis that did not move at all is one revolution
// short of what it was sent.
TEST_F(Cm6k6Moves, TravelIsCheckedAgainstTheDistanceAsSent) {
    controller.expect("1TPC", "*1TPC+0.0000")
        .expect("DRIVE100000")
        .expect("1D1.000000\rGO100000")
        .expect("WAIT(MOV=b000000)")
        .expect("WRITE\"YES\"", "YES")
        .expect("DRIVE000000")
        .expect("1TPC", "*1TPC+0.0000")
        .expect("!K1,0,0,0,0,0")
        .expect("DRIVE000000");
    op.answer_confirm(false);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 1, 0.9999996, 0), -1);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("Positioning", 1)));
}

TEST_F(Cm6k6Moves, UnreadablePositionNeverPassesTheCheck) {
    controller.expect("3TPC", "*3TPC+0.0000")
        .expect("DRIVE001000")
        .expect("3D0.400000\rGO001000")
        .expect("WAIT(MOV=b000000)")
        .expect("WRITE\"YES\"", "YES")
        .expect("DRIVE000000")
        .expect("3TPC", "*3TPC garbled");
    controller.expect("!K0,0,1,0,0,0").expect("DRIVE000000");
    op.answer_confirm(false);
    // A difference below one unit would pass; a position that is not a number must not.
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 3, 0.4, 0), -1);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("Positioning", INT_MIN)));
}

TEST_F(Cm6k6Moves, DifferenceTooLargeForAnIntNeverPasses) {
    controller.expect("3TPC", "*3TPC+0.0000")
        .expect("DRIVE001000")
        .expect("3D1.000000\rGO001000")
        .expect("WAIT(MOV=b000000)")
        .expect("WRITE\"YES\"", "YES")
        .expect("DRIVE000000")
        .expect("3TPC", "*3TPC+9E15");
    op.answer_confirm(true);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 3, 1.0, 0), 0);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("Positioning", INT_MIN)));
}

TEST_F(Cm6k6Moves, WrongAxisOrNonFiniteDistanceSendsNothing) {
    // Yes to each: there is still nothing that could be sent.
    for (int k = 0; k < 3; ++k)
        op.answer_confirm(true);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 7, 1.0, 0), -1);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 2, std::numeric_limits<double>::quiet_NaN(), 0), -1);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 2, std::numeric_limits<double>::infinity(), 0), -1);
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("wrong axis number", 0),
                            confirm_text("distance = nan, not a finite number", 2),
                            confirm_text("distance = inf, not a finite number", 2)));
    EXPECT_TRUE(controller.received().empty());
}

TEST_F(Cm6k6Moves, FiveCamsMoveTogether) {
    const double d[5] = {0.25, -1.0, 2.5, 0.0, -0.125};
    const char* start_replies[5] = {"*1TPC+0.0000", "*2TPC+1.0000", "*3TPC-2.0000", "*4TPC+0.5000",
                                    "*5TPC+0.0000"};
    const char* end_replies[5] = {"*1TPC+0.2500", "*2TPC+0.0000", "*3TPC+0.5000", "*4TPC+0.5000",
                                  "*5TPC-0.1250"};
    const char* distances[5] = {"1D0.250000", "2D-1.000000", "3D2.500000", "4D0.000000",
                                "5D-0.125000"};
    for (int k = 0; k < 5; ++k)
        controller.expect(std::to_string(k + 1) + "TPC", start_replies[k]).expect(distances[k]);
    controller.expect("DRIVE111110").expect("GO111110");
    for (int k = 0; k < 5; ++k)
        controller.expect("WAIT(MOV=b000000)")
            .expect("WRITE\"YES\"", "YES")
            .expect(std::to_string(k + 1) + "TPC", end_replies[k])
            .expect("DRIVE000000");
    EXPECT_EQ(cm6k6_cam_move_5(panel, leds, id, d), 0);

    // Ten commands of set-up at 0.6 s each, then the drives get 2 s before GO.
    EXPECT_NEAR(since_start(10), 6.0, 1e-6);  // DRIVE111110
    EXPECT_NEAR(since_start(11), 8.6, 1e-6);  // GO111110
    EXPECT_NEAR(since_start(12), 9.2, 1e-6);  // first WAIT
    EXPECT_NEAR(since_start(16), 12.7, 1e-6); // WAIT 0.6, poll 0.7, query 0.6, off 1.6
    for (int led = MAIN_MOVE_LED_1; led <= MAIN_MOVE_LED_5; ++led)
        EXPECT_THAT(led_values(led), ElementsAre(1, 0)) << led;
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(Cm6k6Moves, FiveCamsAnsweredNoOnAxisThreeKillsItAndLeavesFourAndFiveLit) {
    const double d[5] = {1.0, 1.0, 3.0, 1.0, 1.0};
    for (int k = 1; k <= 5; ++k)
        controller.expect(std::to_string(k) + "TPC", "*" + std::to_string(k) + "TPC+0.0000")
            .expect(std::to_string(k) + "D" + (k == 3 ? "3.000000" : "1.000000"));
    controller.expect("DRIVE111110").expect("GO111110");
    for (int k = 1; k <= 3; ++k)
        controller.expect("WAIT(MOV=b000000)")
            .expect("WRITE\"YES\"", "YES")
            .expect(std::to_string(k) + "TPC",
                    "*" + std::to_string(k) + (k == 3 ? "TPC+1.0000" : "TPC+1.0000"))
            .expect("DRIVE000000");
    controller.expect("!K0,0,1,0,0,0");
    op.answer_confirm(false);
    EXPECT_EQ(cm6k6_cam_move_5(panel, leds, id, d), -1);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("Positioning", 2)));
    EXPECT_THAT(led_values(MAIN_MOVE_LED_3), ElementsAre(1, 0));
    EXPECT_THAT(led_values(MAIN_MOVE_LED_4), ElementsAre(1));
    EXPECT_THAT(led_values(MAIN_MOVE_LED_5), ElementsAre(1));
}

TEST_F(Cm6k6Moves, FiveCamsWithANonFiniteDistanceSendNothing) {
    const double d[5] = {1.0, 1.0, 1.0, std::numeric_limits<double>::infinity(), 1.0};
    op.answer_confirm(true);
    EXPECT_EQ(cm6k6_cam_move_5(panel, leds, id, d), -1);
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("distance = inf, not a finite number", 4)));
    EXPECT_TRUE(controller.received().empty());
}

// A controller that never answers YES: after 1.5 x the longest move (2 revolutions at the
// default 1 rev/s plus 0.1 s to reach speed) + 10 s the operator is asked.
TEST_F(Cm6k6Moves, MotionThatNeverEndsAsksAndNoKillsTheStartedAxesAndDrivesOff) {
    controller.expect("2TPC", "*2TPC+0.0000")
        .expect("DRIVE010000")
        .expect("2D2.000000\rGO010000")
        .expect("WAIT(MOV=b000000)")
        .expect_repeated("WRITE\"YES\"")
        .expect("!K0,1,0,0,0,0")
        .expect("DRIVE000000");
    op.answer_confirm(false);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 2, 2.0, 0), -1);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("Motion end", 13)));
    // Limit 1.5 * 2.1 + 10 = 13.15 s from the WAIT; each silent poll takes 1.7 s, so the
    // eighth poll is the first to end past it, 13.6 s in.
    const auto commands = controller.commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "WRITE\"YES\""), 8);
}

TEST_F(Cm6k6Moves, MotionThatNeverEndsAnsweredYesKeepsWaiting) {
    controller.expect("1TPC", "*1TPC+0.0000")
        .expect("DRIVE100000")
        .expect("1D0.000000\rGO100000")
        .expect("WAIT(MOV=b000000)");
    // Limit 1.5 * 0.1 + 10 = 10.15 s: the sixth silent poll ends past it, 10.2 s in.
    for (int k = 0; k < 6; ++k)
        controller.expect("WRITE\"YES\"");
    controller
        .expect("WRITE\"YES\"", "YES") // after Yes, the next poll ends the wait
        .expect("DRIVE000000")
        .expect("1TPC", "*1TPC+0.0000");
    op.answer_confirm(true);
    EXPECT_EQ(cm6k6_cam_move(0, 0, id, 1, 0.0, 0), 0);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("Motion end", 10)));
}

} // namespace
