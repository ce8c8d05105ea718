// The drivers against the simulated stage in virtual time: bring-up, a five-cam move, the
// potentiometer readings and the interlocks, and how each fault reaches the operator.
#include "app/shell/panel_ids.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "sim_stage_fixture.hpp"

#include <gmock/gmock.h>

#include <cmath>
#include <numbers>

using ::testing::ElementsAre;

namespace {

constexpr double kRadPerRev = 2.0 * std::numbers::pi / 120.0;

std::string confirm_text(const std::string& what, int code) {
    return "Error in " + what + ". Check error code # " + std::to_string(code) + ". Continue?";
}

const std::string kPrompt =
    "Press ENTER to continue.\nPress any key then ENTER to terminate program.\n";

class StageDrivers : public SimStageTest {
protected:
    void SetUp() override {
        SimStageTest::SetUp();
        cm6k6_reset();
        ev16p_reset();
        hp34970_reset();
    }
    void TearDown() override {
        cm6k6_reset();
        ev16p_reset();
        hp34970_reset();
        SimStageTest::TearDown();
    }
    int controller() {
        int id = 0;
        cm6k6_init(0, kSimCm6k6Port, 1, &id);
        return id;
    }
    int daq() {
        int id = 0;
        hp34970_init(kSimGpibBoard, kSimGpibAddress, &id);
        if (id > 0)
            hp34970_out(id, "SYST:CPON ALL");
        return id;
    }
    int counter() {
        int id = 0;
        ev16p_init(kSimEv16pPort, 11, &id);
        return id;
    }
    // The angle of cam k as the program reads it: pots powered through output 9, the
    // cam's channel and the reference, the default calibration.
    double read_angle(int hp, int cam) {
        static const double sign[5] = {-1, 1, -1, 1, -1};
        static const double scale[5] = {6.2025, 6.2102, 6.2081, 6.215, 6.2197};
        hp34970_switch_on_off(hp, 9, 1);
        Delay(1.0);
        double v = NAN, vref = NAN;
        hp34970_get_chan_volt(hp, cam, &v);
        hp34970_get_chan_volt(hp, 10, &vref);
        hp34970_switch_on_off(hp, 9, 0);
        return sign[cam - 1] * (v / vref - 0.5) * scale[cam - 1];
    }
    std::vector<std::string> confirms() const {
        std::vector<std::string> texts;
        for (const auto& p : op.popups())
            if (p.kind == PopupKind::Confirm)
                texts.push_back(p.message);
        return texts;
    }
    // When the controller ran a command, the last time it ran it.
    double ran_at(const std::string& command) {
        double at = -1.0;
        for (const auto& [t, c] : sim.cm6k6().history())
            if (c == command)
                at = t;
        return at;
    }
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

} // namespace

TEST_F(StageDrivers, EachInstrumentComesUp) {
    const double start = now();
    EXPECT_EQ(controller(), 1);
    // The reset's 5 s and 0.6 s after each of the 29 commands, plus the four replies.
    EXPECT_NEAR(now() - start, 5.0 + 29 * 0.6, 1e-6);
    EXPECT_FALSE(sim.cm6k6().echo());
    EXPECT_EQ(sim.cm6k6().error(), "");
    EXPECT_EQ(daq(), 1);
    EXPECT_EQ(counter(), 1);
    EXPECT_EQ(hp34970_get_errors(1), 0);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(console.output(), "");
    EXPECT_EQ(sim.hp34970().errors_queued(), 0u);
}

// Revolutions {12, -6, 3.5, 24, -0.25}: each cam turns by its motor's sign times the
// revolutions / 120 of a turn; each axis runs its own trapezoid (1 rev/s, 10 rev/s^2:
// |d| + 0.1 s) from the one GO, and the WAIT lets the YES out when the longest (24.1 s)
// has ended.
TEST_F(StageDrivers, FiveCamMoveTurnsEachCamByItsAngleInTheProfilesTime) {
    const int cm = controller();
    const int hp = daq();
    const int panel = load(1);
    const double revs[5] = {12.0, -6.0, 3.5, 24.0, -0.25};
    const double seconds[5] = {12.1, 6.1, 3.6, 24.1, 0.35};
    const int motor_sign[5] = {1, -1, 1, -1, 1};
    for (int k = 1; k <= 5; ++k)
        hp34970_switch_on_off(hp, k, 1);
    EXPECT_EQ(cm6k6_cam_move_5(panel, leds, cm, revs), 0);
    for (int k = 1; k <= 5; ++k)
        hp34970_switch_on_off(hp, k, 0);
    const double go = ran_at("GO111110");
    for (int k = 1; k <= 5; ++k) {
        EXPECT_NEAR(cam_angle(k), motor_sign[k - 1] * revs[k - 1] * kRadPerRev, 1e-12) << k;
        EXPECT_NEAR(model().motion_end_time(k) - go, seconds[k - 1], 1e-9) << k;
    }
    // Every poll was held until the longest move ended, and then ran at once.
    double first_yes = -1.0;
    for (const auto& [t, c] : sim.cm6k6().history())
        if (c == "WRITE\"YES\"" && t > go && first_yes < 0.0)
            first_yes = t;
    EXPECT_NEAR(first_yes, go + 24.1, 1e-9);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(console.output(), "");
}

TEST_F(StageDrivers, PotentiometerReadingGivesTheCamAngleBack) {
    StageModelConfig config = stage_model_bench_config();
    config.start_angle = {0.7853982, -0.7853982, 0.0123, -0.6806784, 2.5};
    SimStage other(config);
    other.power_on(now());
    other.attach(serial, gpib);
    const int hp = daq();
    for (int k = 1; k <= 5; ++k)
        EXPECT_NEAR(read_angle(hp, k), config.start_angle[k - 1], 1e-5) << k;
    EXPECT_FALSE(other.model().relay_closed(209));
    EXPECT_EQ(console.output(), ""); // every setting of the scans understood
}

// The motor's switch channel stays open, or the motor stalls 2.5 revolutions short: the
// controller's commanded position (TPC) has gone all the way, so the driver's positioning
// check is silent, as on the bench; only the potentiometers tell the truth.
TEST_F(StageDrivers, MotorThatDidNotTurnPassesThePositioningCheckButNotThePots) {
    const int cm = controller();
    const int hp = daq();
    EXPECT_EQ(cm6k6_cam_move(0, 0, cm, 2, 5.0, 0), 0);
    EXPECT_EQ(cam_angle(2), 0.0);
    stick_relay(203, false);
    hp34970_switch_on_off(hp, 3, 1);
    EXPECT_EQ(cm6k6_cam_move(0, 0, cm, 3, -2.0, 0), 0);
    EXPECT_EQ(cam_angle(3), 0.0);
    stage_faults().shortfall_revs[0] = 2.5;
    hp34970_switch_on_off(hp, 1, 1);
    EXPECT_EQ(cm6k6_cam_move(0, 0, cm, 1, 4.0, 0), 0);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_NEAR(read_angle(hp, 1), 1.5 * kRadPerRev, 1e-5);
    EXPECT_NEAR(read_angle(hp, 3), 0.0, 1e-5);
}

// A limit switch stops axis 3 after 2.5 of its 4 revolutions: the commanded position stops
// there too, and the positioning check of its own pass finds 1 (1.5, truncated) missing.
TEST_F(StageDrivers, AxisStoppedAtALimitIsReportedOnItsOwnPass) {
    const int cm = controller();
    const int hp = daq();
    const int panel = load(1);
    sim.cm6k6().faults().limit_revs[2] = 2.5;
    for (int k = 1; k <= 5; ++k)
        hp34970_switch_on_off(hp, k, 1);
    const double revs[5] = {2.0, 2.0, 4.0, 2.0, 2.0};
    op.answer_confirm(false);
    EXPECT_EQ(cm6k6_cam_move_5(panel, leds, cm, revs), -1);
    EXPECT_THAT(confirms(), ElementsAre(confirm_text("Positioning", 1)));
    EXPECT_NEAR(cam_angle(3), 2.5 * kRadPerRev, 1e-12);
}

TEST_F(StageDrivers, MotionThatNeverEndsAsksTheOperator) {
    const int cm = controller();
    const int hp = daq();
    hp34970_switch_on_off(hp, 1, 1);
    stage_faults().motion_never_ends[0] = true;
    op.answer_confirm(false);
    EXPECT_EQ(cm6k6_cam_move(0, 0, cm, 1, 1.0, 0), -1);
    ASSERT_EQ(confirms().size(), 1u);
    EXPECT_EQ(confirms()[0].substr(0, 20), "Error in Motion end.");
    EXPECT_GT(ran_at("K1,0,0,0,0,0"), 0.0); // No: the axis is killed
}

TEST_F(StageDrivers, ControllerErrorStatusStopsTheBringUp) {
    sim.cm6k6().faults().error_status = true;
    console.add_line("\n");
    int id = 0;
    cm6k6_init(0, kSimCm6k6Port, 1, &id);
    EXPECT_EQ(console.output(), "*DRIVE FAULT\n\nCM6K6 ERROR: Error executing command\n" + kPrompt);
}

TEST_F(StageDrivers, SilentControllerIsAReadFailure) {
    sim.cm6k6().faults().reply = ReplyFault::silent;
    for (int k = 0; k < 4; ++k)
        console.add_line("\n");
    int id = 0;
    cm6k6_init(0, kSimCm6k6Port, 1, &id);
    // The read times out; the buffer still holds the command, which is no "*NO ERRORS".
    EXPECT_EQ(console.output(), "\nCM6K6 ERROR: # bytes in = -99, problem receiving RS232 input\n" +
                                    kPrompt + "TCMDER\n\nCM6K6 ERROR: Error executing command\n" +
                                    kPrompt);
}

TEST_F(StageDrivers, CounterOutOfHoldWarnsAtBringUp) {
    // Out of HOLD the counter ignores CS00: no acknowledge, then the HOLD check's warning.
    sim.ev16p().faults().out_of_hold = true;
    op.answer_confirm(true);
    op.answer_confirm(true);
    op.answer_confirm(false);
    EXPECT_EQ(counter(), 1);
    ASSERT_EQ(op.popups().size(), 3u);
    EXPECT_EQ(op.popups()[0].message,
              confirm_text("# bytes in = -99, problem receiving RS232 input", -99));
    EXPECT_EQ(op.popups()[1].message, confirm_text("clear errors", 0));
    EXPECT_EQ(op.popups()[2].title, "Warning");
    EXPECT_EQ(op.popups()[2].message, "Counter is not in HOLD state. RS232 commands are not "
                                      "effective. Would you like to set I/O to RS232?");
}

TEST_F(StageDrivers, SilentCounterGivesNoReading) {
    const int ev = counter();
    sim.ev16p().faults().reply = ReplyFault::silent;
    op.answer_confirm(true);
    op.answer_confirm(true);
    op.answer_confirm(true);
    EXPECT_TRUE(std::isnan(ev16p_read(ev, 1)));
    // Two attempts, each a read that times out, then the reading is given up.
    const std::string timeout =
        confirm_text("# bytes in = -99, problem receiving RS232 input", -99);
    EXPECT_THAT(confirms(), ElementsAre(timeout, timeout, confirm_text("Reading gages", 0)));
}

TEST_F(StageDrivers, ErrorQueueEntriesFailTheUnitsBringUp) {
    sim.hp34970().push_error(-310, "System error");
    console.add_line("\n");
    int id = 0;
    hp34970_init(kSimGpibBoard, kSimGpibAddress, &id);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(console.output(), "\nThe HP34970 has an error.\n-310,\"System error\"\n"
                                "HP34970 ERROR: The HP34970 has an error\n" +
                                    kPrompt);
}

// A lost reference reads microvolts, as a meter would; a power relay stuck open leaves
// the wiper near 0 V with the reference live.
TEST_F(StageDrivers, PotentiometerPowerFaultsReadAsAMeterWould) {
    const int hp = daq();
    double v = NAN, vref = NAN;
    stage_faults().reference_lost = true;
    hp34970_get_chan_volt(hp, 10, &vref);
    EXPECT_GE(std::fabs(vref), 1e-6);
    EXPECT_LE(std::fabs(vref), 6.5e-6);
    stage_faults().reference_lost = false;
    stick_relay(209, false);
    hp34970_switch_on_off(hp, 9, 1);
    hp34970_get_chan_volt(hp, 1, &v);
    hp34970_get_chan_volt(hp, 10, &vref);
    EXPECT_LE(std::fabs(v), 3.5e-6);
    EXPECT_NEAR(vref, 10.0, 3.5e-6);
    EXPECT_EQ(console.output(), "");
}

TEST_F(StageDrivers, GarbledUnitRepliesAreMeasurementProblems) {
    const int hp = daq();
    sim.hp34970().faults().reply = ReplyFault::garbled;
    for (int k = 0; k < 6; ++k)
        console.add_line("\n");
    double v = 0.0;
    hp34970_get_chan_volt(hp, 1, &v);
    EXPECT_TRUE(std::isnan(v));
    // The reading does not parse, and no error-queue reply reads "No error": the driver
    // reads the queue to its bound and reports the unit in error.
    const std::string out = console.output();
    EXPECT_EQ(out.rfind("\nHP34970 ERROR: Problem getting HP34970 measurements\n" + kPrompt, 0),
              0u);
    std::size_t errors = 0;
    for (std::size_t at = out.find("The HP34970 has an error.\n+#,#N# #r#o#\"\n");
         at != std::string::npos; at = out.find("The HP34970 has an error.\n", at + 1))
        ++errors;
    EXPECT_EQ(errors, static_cast<std::size_t>(kHp34970MaxErrorEntries));
    EXPECT_TRUE(out.ends_with("HP34970 ERROR: The HP34970 has an error\n" + kPrompt));
}

TEST_F(StageDrivers, ResistanceOfThePotentiometerTracks) {
    const int hp = daq();
    double two_wire = NAN, four_wire = NAN;
    hp34970_get_chan_res(hp, 103, &two_wire);
    hp34970_get_chan_4wire_res(hp, 104, &four_wire);
    EXPECT_NEAR(two_wire, 1.0e4, 1e-5);
    EXPECT_NEAR(four_wire, 1.0e4, 1e-5);
    EXPECT_EQ(console.output(), "");
}

// The temperature set-up in the unit's own words (`SENS:FUNC "TEMP"`, `SENS:TEMP:NPLC`,
// `UNIT:TEMP C`): the strict unit takes them, and the channel reads the room.
TEST_F(StageDrivers, TemperatureSetUpInTheUnitsOwnWords) {
    const int hp = daq();
    double celsius = NAN;
    hp34970_get_chan_temp(hp, 111, &celsius);
    EXPECT_NEAR(celsius, model().temperature(now()), 1e-3);
    EXPECT_EQ(console.output(), "");
}

TEST_F(StageDrivers, SpoiledControllerRepliesFailTheErrorStatus) {
    for (const ReplyFault fault : {ReplyFault::garbled, ReplyFault::truncated}) {
        cm6k6_reset();
        console.clear_output();
        sim.cm6k6().faults().reply = fault;
        console.add_line("\n");
        console.add_line("\n");
        int id = 0;
        cm6k6_init(0, kSimCm6k6Port, 1, &id);
        // Half a reply, its carriage return never come, is the read's time-out: the
        // buffer keeps the query's own text.
        const std::string seen =
            fault == ReplyFault::garbled
                ? "*#O#E#R#R#"
                : "\nCM6K6 ERROR: # bytes in = -99, problem receiving RS232 input\n" + kPrompt +
                      "TCMDER";
        EXPECT_EQ(console.output(), seen + "\n\nCM6K6 ERROR: Error executing command\n" + kPrompt);
        EXPECT_EQ(id, 0);
    }
}

TEST_F(StageDrivers, SpoiledCounterRepliesAreNoAcknowledge) {
    for (const ReplyFault fault : {ReplyFault::garbled, ReplyFault::truncated}) {
        ev16p_reset();
        sim.ev16p().faults().reply = fault;
        for (int i = 0; i < (fault == ReplyFault::truncated ? 3 : 1); ++i)
            op.answer_confirm(true);
        EXPECT_EQ(counter(), 1);
    }
    // Half a reply is the read's time-out.
    const std::string no_reply = "# bytes in = -99, problem receiving RS232 input";
    EXPECT_THAT(confirms(),
                ElementsAre(confirm_text("clear errors", 0), confirm_text(no_reply, -99),
                            confirm_text("clear errors", 0), confirm_text(no_reply, -99)));
}

// A silent unit, or one whose identity stops before its line feed: the read waits out the
// unit's 30 s time-out (error and time-out bits in the status) and the bring-up ends.
TEST_F(StageDrivers, UnitWithoutAWholeReplyFailsItsIdentity) {
    for (const ReplyFault fault : {ReplyFault::silent, ReplyFault::truncated}) {
        hp34970_reset();
        console.clear_output();
        sim.hp34970().power_on(now());
        sim.hp34970().faults().reply = fault;
        console.add_line("\n");
        console.add_line("\n");
        const double start = now();
        int id = 0;
        hp34970_init(kSimGpibBoard, kSimGpibAddress, &id);
        EXPECT_EQ(id, 0);
        EXPECT_GE(now() - start, 30.0);
        EXPECT_EQ(console.output(),
                  "\nHP34970 ERROR: ibsta = c000, problem receiving GPIB input\n" + kPrompt +
                      "\nHP34970 ERROR: Problem reading ID\n" + kPrompt);
    }
}

// The general single-axis set meets a controller that knows every command it sends.
TEST_F(StageDrivers, SingleAxisOperationsRunCleanly) {
    int cm = 0;
    EXPECT_EQ(cm6k6_cam_init(0, kSimCm6k6Port, 1, &cm, 1, 2.0, 20.0), 0);
    ASSERT_EQ(cm, 1);
    for (int k = 1; k <= 4; ++k)
        model().set_relay(200 + k, true, now());
    // These operations switch no drive on themselves (the bring-up leaves all off).
    cm6k6_out(cm, "DRIVE111100");
    EXPECT_EQ(cm6k6_rel_move(cm, 1, 20.0, 2.0, 3.0), 0);
    EXPECT_NEAR(cam_angle(1), 3.0 * kRadPerRev, 1e-12);
    EXPECT_EQ(cm6k6_abs_move(cm, 1, 20.0, 2.0, -1.0), 0);
    double position = 0.0;
    EXPECT_EQ(cm6k6_get_mot_position(cm, 1, &position), 0);
    EXPECT_DOUBLE_EQ(position, -1.0);
    EXPECT_EQ(cm6k6_get_enc_position(cm, 1, &position), 0);
    EXPECT_DOUBLE_EQ(position, -1.0);
    EXPECT_EQ(cm6k6_zero(cm, 1), 0);
    EXPECT_EQ(cm6k6_get_mot_position(cm, 1, &position), 0);
    EXPECT_DOUBLE_EQ(position, 0.0);
    cm6k6_follow_move(cm, 1, 2, 20.0, 2.0, 2.0);
    EXPECT_NEAR(cam_angle(1), 1.0 * kRadPerRev, 1e-12);
    EXPECT_NEAR(cam_angle(2), -2.0 * kRadPerRev, 1e-12); // follows 1:1, motor sign -1
    EXPECT_EQ(cm6k6_go_home(cm, 3, 20.0, 2.0), 0);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(console.output(), "");
    EXPECT_EQ(sim.cm6k6().error(), "");
}

// Zero and preset act on channel 1 and hold while the cam turns under the gauge.
TEST_F(StageDrivers, CounterZeroAndPresetHoldAsTheCamTurns) {
    const int ev = counter();
    const int cm = controller();
    EXPECT_EQ(ev16p_zero(ev, 1), 2);
    EXPECT_NEAR(ev16p_read(ev, 1), 0.0, 6.5e-4);
    const double values[1] = {0.5};
    EXPECT_EQ(ev16p_preset(ev, 1, values), 2);
    EXPECT_NEAR(ev16p_read(ev, 1), 500.0, 6.5e-4);
    model().set_relay(201, true, now());
    EXPECT_EQ(cm6k6_cam_move(0, 0, cm, 1, 6.0, 0), 0);
    const double turned = 6.0 * kRadPerRev;
    const double expected = 500.0 + 0.741 * (std::sin(turned + 0.35) - std::sin(0.35));
    // The counter shows 0.0001 steps; the zero and the reading each carry 0.3 um of noise.
    EXPECT_NEAR(ev16p_read(ev, 1), expected, 6.5e-4);
    EXPECT_TRUE(op.popups().empty());
}
