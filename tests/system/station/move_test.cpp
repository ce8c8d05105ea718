// Move on the simulated stage: absolute and relative targets reached, the run log's four
// entries, the motors' signs on the wire, the revolutions limit, and a target out of range.
#include "app/shell/panel_ids.hpp"
#include "station_sim_fixture.hpp"

#include <charconv>
#include <cmath>

namespace {

// Motor revolutions per radian of cam turn: 120 / (2 * 3.141592653).
constexpr double kRevsPerRadian = 120.0 / 3.141592653 / 2.0;

class MoveTest : public StationSimTest {
protected:
    void SetUp() override {
        StationSimTest::SetUp();
        bring_up();
        commands_before = sim.cm6k6().history().size();
    }
    void absolute(bool on) { op.type_value(main, MAIN_MOVE_MODE, on ? 1LL : 0LL); }
    // The controller commands since bring-up.
    std::vector<std::string> commands() {
        std::vector<std::string> out;
        const auto& history = sim.cm6k6().history();
        for (std::size_t i = commands_before; i < history.size(); ++i)
            out.push_back(history[i].second);
        return out;
    }
    // The distance sent to axis k by its "kD<distance>" command since bring-up; NaN if none.
    double distance_sent(int axis) {
        const std::string head = std::to_string(axis) + "D";
        for (const std::string& c : commands())
            if (c.rfind(head, 0) == 0) {
                double value = NAN;
                std::from_chars(c.data() + head.size(), c.data() + c.size(), value);
                return value;
            }
        return NAN;
    }

    std::size_t commands_before = 0;
};

} // namespace

TEST_F(MoveTest, AnAbsoluteTargetIsReachedAndTheMoveIsLoggedInFourEntries) {
    absolute(true);
    type_target(0, 0.0005);
    type_target(1, 0.0002);
    type_target(2, 0.0001);
    type_target(3, 0.00005);
    type_target(4, -0.00005);
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              (std::vector<std::string>{"Motors are in motion", "Reading position", "Done"}));
    const double expected[5] = {0.0005, 0.0002, 0.0001, 0.00005, -0.00005};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(slot(5 + i), expected[i], 1e-7) << "present " << i;

    const std::string reached =
        "X = 0.000500 Y = 0.000200 Roll = 0.000100 Pitch = 0.000050 Yaw = -0.000050";
    // All cams at 0 give coordinates within a few millionths of zero (X about 1e-7, Y
    // about -3e-7, Roll about -1.2e-6): their signs are the solution's, so they are
    // checked as numbers.
    const std::array<double, 5> start = logged_coordinates("Initial position coordinates");
    EXPECT_NEAR(start[0], 1.05e-7, 1e-6);
    EXPECT_NEAR(start[1], -2.94e-7, 1e-6);
    EXPECT_NEAR(start[2], -1.2e-6, 1e-6);
    EXPECT_NEAR(start[3], 0.0, 2e-6);
    EXPECT_NEAR(start[4], 0.0, 2e-6);
    std::string log = without_entry_times(run_log());
    const std::size_t initial = log.find(" \n hh:mm:ss * Initial position coordinates");
    ASSERT_NE(initial, std::string::npos);
    const std::size_t end = log.find("\n \n ", initial) + 4;
    log.replace(initial, end - initial, coordinates_entry("Initial position coordinates", "..."));
    EXPECT_EQ(log, kRunLogHead + kInstrumentsReady +
                       coordinates_entry("Initial device coordinates", kZeroCoordinates) +
                       coordinates_entry("Initial position coordinates", "...") +
                       coordinates_entry("Final coordinates", reached) +
                       coordinates_entry("Final device coordinates", reached));
}

TEST_F(MoveTest, MotorsTwoAndFourAreSentNegatedAndEachCamTurnsWhatItsMotorWasSent) {
    absolute(true);
    type_target(0, 0.0005);
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    // The cams started at 0; each motor was sent its cam's turn in motor revolutions
    // (120 per cam turn), times the motor's sign: +1, -1, +1, -1, +1.
    const int sign[5] = {1, -1, 1, -1, 1};
    for (int cam = 1; cam <= 5; ++cam) {
        const double turn = cam_angle(cam) * kRevsPerRadian;
        EXPECT_NEAR(distance_sent(cam), sign[cam - 1] * turn, 1e-4) << "motor " << cam;
    }
    // Cams 1 and 2 turn opposite ways for an X move, so motors 1 and 2 are sent the same
    // sign; likewise 4 and 5.
    EXPECT_LT(cam_angle(1) * cam_angle(2), 0.0);
    EXPECT_GT(distance_sent(1) * distance_sent(2), 0.0);
    EXPECT_GT(distance_sent(4) * distance_sent(5), 0.0);
    EXPECT_NEAR(slot(5), 0.0005, 1e-7);
}

TEST_F(MoveTest, RelativeTargetsAddToThePresentPosition) {
    absolute(true);
    type_target(0, 0.0003);
    op.press(main, MAIN_MOVE);
    absolute(false);
    type_target(0, -0.0002);
    type_target(1, 0.0001);
    op.press(main, MAIN_MOVE);
    EXPECT_NEAR(slot(5), 0.0001, 1e-7);
    EXPECT_NEAR(slot(6), 0.0001, 1e-7);
}

TEST_F(MoveTest, RelativeZerosStillDriveReadBackAndLog) {
    absolute(false);
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    EXPECT_TRUE(op.popups().empty());
    bool started = false;
    for (const std::string& c : commands())
        started = started || c.rfind("GO1", 0) == 0;
    EXPECT_TRUE(started) << "the controller was not started";
    for (int axis = 1; axis <= 5; ++axis)
        EXPECT_LT(std::fabs(distance_sent(axis)), 1e-3) << axis;
    const std::string log = without_entry_times(run_log());
    EXPECT_NE(log.find(" * Initial position coordinates * "), std::string::npos);
    EXPECT_NE(log.find(" * Final coordinates * "), std::string::npos);
    EXPECT_NE(log.find(" * Final device coordinates * "), std::string::npos);
}

TEST_F(MoveTest, AnXTargetOutOfRangeMovesNothingAndIsShownTwice) {
    absolute(true);
    type_target(0, 0.002);
    op.answer_message();
    op.answer_message();
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    ASSERT_EQ(op.popups().size(), 2u);
    for (const PopupRecord& p : op.popups()) {
        EXPECT_EQ(p.title, "Warning");
        EXPECT_EQ(p.message, "Value out of Range\nInput a new one.");
    }
    ASSERT_FALSE(op.focus_log().empty());
    EXPECT_EQ(op.focus_log().back().panel, main);
    EXPECT_EQ(op.focus_log().back().control, MAIN_TARGET_X);
    EXPECT_TRUE(commands().empty()) << "the controller was told something";
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Done");
    EXPECT_EQ(run_log().find("Initial position coordinates"), std::string::npos);
    // The read-back still works out where the stage is (it did not move) and logs it.
    EXPECT_EQ(last_entry().rfind(" \n hh:mm:ss * Final device coordinates * X = ", 0), 0u);
    for (const double value : logged_coordinates("Final device coordinates"))
        EXPECT_NEAR(value, 0.0, 2e-6);
}

TEST_F(MoveTest, ACamTurnOf3Point1RadiansPassesWithoutAsking) {
    // A potentiometer offset makes cam 3 read 3.1 rad from the target its solution gives
    // (about 0): the move is 59.2 motor revolutions. The forward solution warns twice about
    // the angle beyond 90 degrees.
    shared_param().pot_offset[2] = 3.1;
    absolute(true);
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    op.press(main, MAIN_MOVE);
    ASSERT_EQ(op.popups().size(), 2u);
    for (const PopupRecord& p : op.popups())
        EXPECT_EQ(p.message, "Angle out of range (>90 Degrees). Continue?");
    EXPECT_NEAR(distance_sent(3), 3.1 * kRevsPerRadian, 1e-3);
    EXPECT_NEAR(cam_angle(3), 3.1, 1e-3);
}

TEST_F(MoveTest, ACamTurnOf3Point2RadiansAsksAndResetMovesNothing) {
    shared_param().pot_offset[2] = 3.2;
    absolute(true);
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    op.answer_generic(VAL_GENERIC_POPUP_BTN3); // Reset
    // The read-back after the refused move warns twice more.
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    op.press(main, MAIN_MOVE);
    ASSERT_EQ(op.popups().size(), 5u);
    EXPECT_EQ(op.popups()[2].title, "Danger Operation");
    EXPECT_EQ(op.popups()[2].message, " Too many motor revolutions. Continue?");
    EXPECT_TRUE(commands().empty());
    EXPECT_NEAR(cam_angle(3), 0.0, 1e-6);
    // The read-back leaves the refusal and its reason in the status line.
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(),
              "Move refused: cam 3 would turn more than 60 motor revolutions");
}
