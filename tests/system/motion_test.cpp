// The Move sequence on the simulated stage: targets reached and logged, the revolution
// limit, refused targets, cams whose angle is not a number, the operator's data file, and
// instruments closed by the operator.
#include "app/shell/messages.hpp"
#include "stage/geometry.hpp"
#include "stage/motion.hpp"
#include "stage_system_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <numbers>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A target and the cam angles that reach it, from the independent reference of the
// kinematics tests.
const coordinates kTargetG{0.0003, -0.0002, 0.0004, 0.00015, -0.00025};
const cam_angles kAnglesG{-1.0313552673269486, 0.30909968790538295, -0.5962982089052897,
                          -0.10838536562480157, -0.007396994373975554};
// The cam angles of coordinates all 0, likewise.
const cam_angles kAnglesZero{0.00036372574146268776, 0.00036128790126602786, 0.0,
                             0.0003859111442914347, 0.000386944373644918};

// Where read-back coordinates may lie from the target: the potentiometers resolve about
// 2e-6 rad, which moves a coordinate by about 1.5e-9 through the 0.00075 eccentricities.
constexpr double kReached = 1e-8;
// Where a cam may stand from its computed angle: one motor step (2.1e-6 rad of cam) and
// the potentiometer resolution of the reading the move started from.
constexpr double kCamNear = 1e-5;

// The present coordinates of the stock stage at power-on, as the log writes them.
const std::string kAtPowerOn =
    "X = 0.000000 Y = -0.000000 Roll = -0.000001 Pitch = -0.000000 Yaw = -0.000000";
const std::string kAllNaN = "X = nan Y = nan Roll = nan Pitch = nan Yaw = nan";

std::string entry(const std::string& title, const std::string& coordinates) {
    return " \n <time> * " + title + " * " + coordinates + "\n \n ";
}

std::string motor_revs(int axis, double revs) {
    return strfmt("%iD%f", axis, revs);
}

// 120 motor revolutions turn a cam once.
double revs_for(double cam_turn) {
    return cam_turn * 120.0 / (2.0 * std::numbers::pi);
}

class Move : public StageSystemTest {
protected:
    // Runs the Move sequence with the typed targets as the operator set them. The log's
    // entries are expected between the start of the first move and the end of the last.
    void move(int absolute) {
        if (start.empty())
            start = TimeStr();
        cam_move_go(panel, shared_addresses(), param, coord_ctrls, log_path(), absolute);
        end = TimeStr();
    }
    std::string log_entries() { return untimed(run_log(), start, end); }

    // The distance commands the controller received, axis by axis.
    std::map<int, std::string> distances() {
        std::map<int, std::string> sent;
        for (const auto& c : controller_commands())
            if (c.size() > 2 && c[1] == 'D' && c[0] >= '1' && c[0] <= '6')
                sent[c[0] - '0'] = c;
        return sent;
    }
    bool controller_started() {
        for (const auto& c : controller_commands())
            if (c.rfind("GO", 0) == 0)
                return true;
        return false;
    }

    // The motor-lamp values the panel was given, lamp by lamp, in order.
    std::map<int, std::vector<long long>> lamp_history() const {
        std::map<int, std::vector<long long>> lamps;
        for (const auto& record : op.value_log())
            for (int lamp : motor_lamps)
                if (record.control == lamp)
                    lamps[lamp].push_back(std::get<long long>(record.value));
        return lamps;
    }

    // From now on, notes which relays of the switch unit (201..209) are closed whenever
    // the controller starts a motion.
    void watch_relays_at_go() {
        sim.cm6k6().on_command = [this](std::string_view command, double) {
            if (command.substr(0, 2) == "GO")
                for (int channel = 201; channel <= 209; ++channel)
                    if (sim.model().relay_closed(channel))
                        closed_at_go.push_back(channel);
        };
    }

    std::vector<std::string> popup_texts() const {
        std::vector<std::string> texts;
        for (const auto& p : op.popups())
            texts.push_back(p.title + ": " + p.message);
        return texts;
    }

    std::string start, end;
    std::vector<int> closed_at_go;
};

TEST_F(Move, AbsoluteTargetIsReachedAndBothEndsAreLogged) {
    bring_up();
    type_targets(kTargetG);
    watch_relays_at_go();
    move(1);

    for (int k = 1; k <= 5; ++k) {
        EXPECT_NEAR(cam_angle(k), kAnglesG[k - 1], kCamNear) << "cam " << k;
        EXPECT_NEAR(param.coord[k - 1], kTargetG[k - 1], kReached) << "coordinate " << k;
        EXPECT_NEAR(param.cam_angle[k - 1], kAnglesG[k - 1], kCamNear) << "cam " << k;
    }
    EXPECT_EQ(log_entries(),
              entry("Initial position coordinates", kAtPowerOn) +
                  entry("Final coordinates", "X = 0.000300 Y = -0.000200 Roll = 0.000400 "
                                             "Pitch = 0.000150 Yaw = -0.000250"));
    // Every motor's relay was closed while the motors ran, and is open again.
    EXPECT_EQ(closed_at_go, (std::vector<int>{201, 202, 203, 204, 205}));
    for (int channel = 201; channel <= 209; ++channel)
        EXPECT_FALSE(relay_closed(channel)) << channel;
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(lamp_history()[motor_lamps[k]], (std::vector<long long>{1, 0})) << k;
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(Move, MotorsTwoAndFourAreSentNegated) {
    bring_up();
    type_targets(kTargetG);
    move(1);
    // Each cam turns from about 0 to its angle of the target; motors 2 and 4 run the other
    // way round.
    const double sign[5] = {1, -1, 1, -1, 1};
    const auto sent = distances();
    for (int k = 1; k <= 5; ++k) {
        const std::string& command = sent.at(k);
        const double revs = std::stod(command.substr(2));
        EXPECT_NEAR(revs, sign[k - 1] * revs_for(kAnglesG[k - 1]), 2e-4) << command;
    }

    // The caller's array holds what was sent.
    forget_traffic();
    motor_move revs{0.5, 0.5, -0.25, 0.25, 1.0};
    move_cam_motor(panel, param, revs, 1);
    EXPECT_EQ(revs, (motor_move{0.5, -0.5, -0.25, -0.25, 1.0}));
    EXPECT_EQ(distances(), (std::map<int, std::string>{{1, "1D0.500000"},
                                                       {2, "2D-0.500000"},
                                                       {3, "3D-0.250000"},
                                                       {4, "4D-0.250000"},
                                                       {5, "5D1.000000"}}));
}

TEST_F(Move, RelativeTargetIsAddedToThePresentPosition) {
    bring_up();
    type_targets(kTargetG);
    move(1);
    forget_traffic();
    const coordinates step{0.0001, 0.0001, -0.0001, 0.00005, 0.00005};
    type_targets(step);
    move(0);
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(param.coord[i], kTargetG[i] + step[i], kReached) << "coordinate " << i;
    const std::string at_g =
        "X = 0.000300 Y = -0.000200 Roll = 0.000400 Pitch = 0.000150 Yaw = -0.000250";
    EXPECT_EQ(log_entries(),
              entry("Initial position coordinates", kAtPowerOn) + entry("Final coordinates", at_g) +
                  entry("Initial position coordinates", at_g) +
                  entry("Final coordinates", "X = 0.000400 Y = -0.000100 Roll = 0.000300 "
                                             "Pitch = 0.000200 Yaw = -0.000200"));
}

TEST_F(Move, RelativeZerosStillDriveReadBackAndLog) {
    bring_up();
    type_targets({0, 0, 0, 0, 0});
    move(0);
    // The target is the present position: what is left of the round trip through both
    // solutions is far below a motor step, so every distance prints as zero.
    for (const auto& [axis, command] : distances())
        EXPECT_TRUE(command == motor_revs(axis, 0.0) || command == motor_revs(axis, -0.0))
            << command;
    EXPECT_EQ(distances().size(), 5u);
    EXPECT_TRUE(controller_started());
    EXPECT_EQ(log_entries(), entry("Initial position coordinates", kAtPowerOn) +
                                 entry("Final coordinates", kAtPowerOn));
    for (int k = 1; k <= 5; ++k)
        EXPECT_NEAR(cam_angle(k), 0.0, 1e-9) << "cam " << k;
}

// Puts the measured present angle of cam 1 `turn` radians short of its angle for
// coordinates all 0, by the potentiometer's zero offset; the cam itself stays at 0.
void offset_cam_1(param_structure& param, double turn) {
    param.pot_offset[0] = turn - kAnglesZero[0];
}

TEST_F(Move, CamTurnOfThreePointOneRadiansPassesWithoutAsking) {
    bring_up();
    offset_cam_1(param, 3.1); // 59.2 motor revolutions
    type_targets({0, 0, 0, 0, 0});
    // The present angle, -3.0996 rad, is beyond 90 degrees: the forward solution warns
    // twice before the move and the operator goes on.
    op.answer_generic(1);
    op.answer_generic(1);
    move(1);
    EXPECT_EQ(popup_texts(), (std::vector<std::string>{
                                 "Danger Operation: Angle out of range (>90 Degrees). Continue?",
                                 "Danger Operation: Angle out of range (>90 Degrees). Continue?"}));
    EXPECT_NEAR(std::stod(distances().at(1).substr(2)), revs_for(3.1), 1e-4);
    EXPECT_NEAR(cam_angle(1), 3.1, kCamNear);
}

TEST_F(Move, CamTurnOfThreePointTwoRadiansAsksAndRefusedMovesNothing) {
    bring_up();
    offset_cam_1(param, 3.2); // 61.1 motor revolutions
    type_targets({0, 0, 0, 0, 0});
    op.answer_generic(1);
    op.answer_generic(1);
    op.answer_generic(3); // Reset
    move(1);
    ASSERT_EQ(op.popups().size(), 3u);
    EXPECT_EQ(op.popups()[2].title, "Danger Operation");
    EXPECT_EQ(op.popups()[2].message, " Too many motor revolutions. Continue?");
    EXPECT_TRUE(controller_commands().empty());
    for (int k = 1; k <= 5; ++k)
        EXPECT_EQ(cam_angle(k), 0.0) << "cam " << k;
    // Only the start of the move was logged.
    EXPECT_EQ(run_log().find("Final coordinates"), std::string::npos);
    EXPECT_NE(run_log().find("Initial position coordinates"), std::string::npos);
}

TEST_F(Move, OutOfRangeXMovesNothing) {
    bring_up();
    type_targets({0.002, 0.005, 0, 0, 0});
    op.answer_message();
    move(1);
    // The warning comes once, for X, and the operator is put back on X's slot; Y is not
    // read. Nothing is logged and the controller hears nothing.
    EXPECT_EQ(popup_texts(),
              std::vector<std::string>{"Warning: Value out of Range\nInput a new one."});
    ASSERT_FALSE(op.focus_log().empty());
    EXPECT_EQ(op.focus_log().back().control, MAIN_TARGET_X);
    EXPECT_EQ(param.coord[COORD_X], 0.002);
    EXPECT_EQ(param.coord[COORD_Y], 0.0);
    EXPECT_TRUE(controller_commands().empty());
    EXPECT_FALSE(std::filesystem::exists(on_disk(kRunLog)));
}

TEST_F(Move, SingleCamMoveTurnsTheTestAxisWithItsRelayClosed) {
    bring_up();
    param.motors_per_move = 1;
    param.test_axis = 3;
    watch_relays_at_go();
    motor_move revs{1.0, 0, 0, 0, 0};
    move_cam_motor(panel, param, revs, 0);
    EXPECT_EQ(distances(), (std::map<int, std::string>{{3, "3D1.000000"}}));
    EXPECT_EQ(closed_at_go, std::vector<int>{203});
    EXPECT_FALSE(relay_closed(203));
    EXPECT_NEAR(cam_angle(3), 2.0 * std::numbers::pi / 120.0, 1e-9);
    EXPECT_TRUE(lamp_history().empty());
}

TEST_F(Move, CamWhosePresentAngleIsNotANumberStaysAndTheOthersGoOn) {
    bring_up();
    param.pot_scale[1] = NaN; // cam 2's calibration is lost: its angle cannot be known
    type_targets(kTargetG);
    // An angle that was not measured is no division by zero: the operator hears which cam
    // stays, and no danger question (whose No would end the program) is asked.
    op.answer_message();
    move(1);
    EXPECT_EQ(popup_texts(),
              (std::vector<std::string>{
                  "Cams not moved: Cam 2 is not moved: its present angle is not a number."}));
    EXPECT_EQ(cam_angle(2), 0.0);
    for (int k : {1, 3, 4, 5})
        EXPECT_NEAR(cam_angle(k), kAnglesG[k - 1], kCamNear) << "cam " << k;
    EXPECT_EQ(distances().at(2), "2D0.000000");
    EXPECT_EQ(lamp_history().count(MAIN_SWITCH_LED_2), 0u);
    EXPECT_EQ(log_entries(),
              entry("Initial position coordinates", kAllNaN) + entry("Final coordinates", kAllNaN));
}

TEST_F(Move, UnreachableCamAcceptedIsNotMoved) {
    bring_up();
    // Y = 0.001 puts cam 3 out of reach (s = -1.3495), and cams 4 and 5 after it; the
    // operator goes on at each, so their target angles are not numbers: they stay, while
    // cams 1 and 2 take their angles.
    type_targets({0, 0.001, 0, 0, 0});
    for (int i = 0; i < 6; ++i)
        op.answer_generic(1);
    op.answer_message();
    move(1);
    EXPECT_EQ(popup_texts(),
              (std::vector<std::string>{
                  "Danger Operation: Unreachable position. Continue?",
                  "Danger Operation: Angle Teta1 > 90.Continue?",
                  "Danger Operation: Unreachable position. Continue?",
                  "Danger Operation: Angle Teta4 > 90. Continue?",
                  "Danger Operation: Unreachable position. Continue?",
                  "Danger Operation: Angle Teta5 > 90. Continue?",
                  "Cams not moved: Cam 3 is not moved: its target angle is not a number.\nCam 4 "
                  "is not moved: its target angle is not a number.\nCam 5 is not moved: its "
                  "target angle is not a number."}));
    EXPECT_NEAR(cam_angle(1), 1.2683941925943802, kCamNear);
    EXPECT_NEAR(cam_angle(2), 1.2476014414611045, kCamNear);
    for (int k : {3, 4, 5})
        EXPECT_EQ(cam_angle(k), 0.0) << "cam " << k;
    EXPECT_EQ(distances().at(3), "3D0.000000");
    EXPECT_EQ(lamp_history().count(MAIN_SWITCH_LED_3), 0u);
}

TEST_F(Move, UnreachableCamRefusedMovesNothing) {
    bring_up();
    // The operator goes on at cam 3 and refuses at cam 4: cams 1 and 2, solved before the
    // refusal, do not move either, and the controller hears nothing.
    type_targets({0, 0.001, 0, 0, 0});
    op.answer_generic(1);
    op.answer_generic(1);
    op.answer_generic(3); // Reset: do not go on
    move(1);
    EXPECT_EQ(popup_texts(),
              (std::vector<std::string>{"Danger Operation: Unreachable position. Continue?",
                                        "Danger Operation: Angle Teta1 > 90.Continue?",
                                        "Danger Operation: Unreachable position. Continue?"}));
    EXPECT_TRUE(controller_commands().empty());
    for (int k = 1; k <= 5; ++k)
        EXPECT_EQ(cam_angle(k), 0.0) << "cam " << k;
    for (int channel = 201; channel <= 205; ++channel)
        EXPECT_FALSE(relay_closed(channel)) << channel;
    EXPECT_TRUE(lamp_history().empty());
    ASSERT_FALSE(op.texts(panel, MAIN_STATUS).empty());
    EXPECT_EQ(op.texts(panel, MAIN_STATUS).back(),
              "Move refused: cam 4 cannot reach the target (unreachable position)");
    EXPECT_EQ(run_log().find("Final coordinates"), std::string::npos);
}

TEST_F(Move, MotorMoveThatIsNotANumberIsNotSent) {
    // Home computes its moves from the present angles; a failed reading gives NaN.
    bring_up();
    motor_move revs{0.5, NaN, 0, 0, 0};
    watch_relays_at_go();
    op.answer_message();
    move_cam_motor(panel, param, revs, 1);
    EXPECT_EQ(popup_texts(), std::vector<std::string>{
                                 "Cams not moved: Cam 2 is not moved: its angle is not a number."});
    EXPECT_EQ(distances().at(2), "2D0.000000");
    EXPECT_EQ(revs[1], 0.0);
    EXPECT_EQ(closed_at_go, (std::vector<int>{201, 203, 204, 205}));
    EXPECT_NEAR(cam_angle(1), 0.5 * 2.0 * std::numbers::pi / 120.0, 1e-9);
    EXPECT_EQ(cam_angle(2), 0.0);
}

TEST_F(Move, NoAtAnErrorThenAMotorMoveSendsNothing) {
    bring_up();
    op.answer_confirm(false);
    cam_move_error_handling(1, "Unable to open log file");
    forget_traffic();
    op.answer_message();
    motor_move revs{1, 1, 1, 1, 1};
    move_cam_motor(panel, param, revs, 1);
    EXPECT_EQ(popup_texts(),
              std::vector<std::string>{"Move refused: The CM6K6 is not open: no motor is moved."});
    EXPECT_TRUE(controller_commands().empty());
    EXPECT_TRUE(daq_commands().empty());
    EXPECT_EQ(revs, (motor_move{1, 1, 1, 1, 1}));
    for (int k = 1; k <= 5; ++k)
        EXPECT_EQ(cam_angle(k), 0.0);
}

TEST_F(Move, NoAtAnErrorThenMoveOpensTheInstrumentsAnew) {
    bring_up();
    op.answer_confirm(false);
    cam_move_error_handling(1, "Unable to open log file");
    forget_traffic();
    type_targets(kTargetG);
    move(1);
    // The controller was brought up again (its positions set to 0) before it moved.
    const auto commands = controller_commands();
    const auto pset = std::find(commands.begin(), commands.end(), "PSET000000");
    const auto go = std::find(commands.begin(), commands.end(), "GO111110");
    EXPECT_LT(pset, go);
    EXPECT_NE(go, commands.end());
    EXPECT_GT(shared_device_ids().hp34970, 0);
    EXPECT_GT(shared_device_ids().cm6k6, 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(param.coord[i], kTargetG[i], kReached) << "coordinate " << i;
}

class MoveWithDataFile : public Move {
protected:
    static constexpr const char* kDataFile = "C:\\CVI\\Trelwick\\Log\\shift.dat";
    void SetUp() override {
        Move::SetUp();
        std::ofstream(on_disk(kDataFile), std::ios::binary) << "12-07-2026 cams after service";
        log_path() = kDataFile;
        param.log_to_file = 1;
    }
};

TEST_F(MoveWithDataFile, BothEntriesGoToTheDataFileAndTheRunLog) {
    bring_up();
    type_targets(kTargetG);
    move(1);
    const std::string entries =
        entry("Initial position coordinates", kAtPowerOn) +
        entry("Final coordinates",
              "X = 0.000300 Y = -0.000200 Roll = 0.000400 Pitch = 0.000150 Yaw = -0.000250");
    EXPECT_EQ(log_entries(), entries);
    EXPECT_EQ(untimed(read_text_file(on_disk(kDataFile)), start, end),
              "12-07-2026 cams after service" + entries);
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(MoveWithDataFile, DataFileThatIsTheRunLogGetsEachEntryOnce) {
    log_path() = kRunLog;
    bring_up();
    type_targets(kTargetG);
    move(1);
    EXPECT_EQ(log_entries(),
              entry("Initial position coordinates", kAtPowerOn) +
                  entry("Final coordinates", "X = 0.000300 Y = -0.000200 Roll = 0.000400 "
                                             "Pitch = 0.000150 Yaw = -0.000250"));
}

TEST_F(MoveWithDataFile, DataFileThatCannotBeOpenedStopsBeforeAnything) {
    log_path() = "C:\\CVI\\Trelwick\\Gone\\shift.dat";
    bring_up();
    type_targets(kTargetG);
    op.answer_confirm(true);
    move(1);
    EXPECT_EQ(popup_texts(),
              std::vector<std::string>{
                  "ERROR: Error in Unable to open log file. Check error code # 1. Continue?"});
    EXPECT_TRUE(controller_commands().empty());
    EXPECT_TRUE(daq_commands().empty());
    EXPECT_FALSE(std::filesystem::exists(on_disk(kRunLog)));
}

} // namespace
