// Every fault the simulated instruments can be switched to, met in a whole operation
// (bring-up, Move, a gauge read or zeroing): what the operator sees in pop-ups, on the
// status line and on the console, and what the run log holds.
//
// Elsewhere: a motion that never ends and an axis short by less than a revolution
// (station/faults_test.cpp), the potentiometer reference at 0 V on Home and on a reading
// (station/faults_test.cpp, readings_test.cpp), a silent data acquisition unit at bring-up
// (station/bring_up_test.cpp).
#include "app/shell/panel_ids.hpp"
#include "station_sim_fixture.hpp"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const std::string kEnterOrEnd =
    "Press ENTER to continue.\nPress any key then ENTER to terminate program.\n";

std::string cm6k6_stop(const std::string& text) {
    return "\nCM6K6 ERROR: " + text + "\n" + kEnterOrEnd;
}
std::string hp34970_stop(const std::string& text) {
    return "\nHP34970 ERROR: " + text + "\n" + kEnterOrEnd;
}
std::string error_confirm(const std::string& what, long long code) {
    return "ERROR: Error in " + what + ". Check error code # " + std::to_string(code) +
           ". Continue?";
}
const std::string kNoReply = "# bytes in = -99, problem receiving RS232 input";

class InstrumentFaultsTest : public StationSimTest {
protected:
    void SetUp() override {
        StationSimTest::SetUp();
        // Enter at every console stop.
        for (int i = 0; i < 40; ++i)
            console.add_line("\n");
    }
    std::vector<std::string> popup_lines() const {
        std::vector<std::string> lines;
        for (const auto& p : op.popups())
            lines.push_back(p.title + ": " + p.message);
        return lines;
    }
    void answer_yes(int times) {
        for (int i = 0; i < times; ++i)
            op.answer_confirm(true);
    }
    // A relative Move by `x` in X and `roll` in Roll.
    void move(double x, double roll = 0.0) {
        op.type_value(main, MAIN_MOVE_MODE, 0LL);
        type_target(0, x);
        type_target(2, roll);
        ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    }
    void enable_gauges() {
        for (int c = MAIN_READ_GAGE_1; c <= MAIN_ZERO_GAGE_5; ++c)
            SetCtrlAttribute(main, c, ATTR_DIMMED, 0);
    }
    bool sent_to_controller(const std::string& command) {
        for (const auto& [time, text] : sim.cm6k6().history())
            if (text == command)
                return true;
        return false;
    }
    // A bring-up that stopped at the controller: the operator's pop-up, the status line,
    // the run log with its PROBLEM entry, and the controls still as before.
    void expect_controller_not_initialised() {
        EXPECT_EQ(popup_lines(), std::vector<std::string>{"Init Error: Error in device init"});
        EXPECT_EQ(
            op.texts(main, MAIN_STATUS),
            (std::vector<std::string>{"Initialization HP34970...", "Initialization CM6K6..."}));
        EXPECT_EQ(without_entry_times(run_log()),
                  kRunLogHead + " \n PROBLEM: CM6K6 is not initialized \n " +
                      coordinates_entry("Initial device coordinates", kZeroCoordinates));
        EXPECT_EQ(shared_device_ids().cm6k6, 0);
        EXPECT_FALSE(op.dimmed(main, MAIN_INIT));
        EXPECT_TRUE(op.dimmed(main, MAIN_MOVE));
    }
};

} // namespace

// The controller at bring-up: whatever spoils its status reply, it is not taken as ready.

TEST_F(InstrumentFaultsTest, ASilentControllerIsNotInitialisedAndTheLogSaysSo) {
    sim.cm6k6().faults().reply = ReplyFault::silent;
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    // The failed read leaves the query's own text where the reply should be.
    EXPECT_EQ(console.output(),
              cm6k6_stop(kNoReply) + "TCMDER\n" + cm6k6_stop("Error executing command"));
    expect_controller_not_initialised();
}

TEST_F(InstrumentFaultsTest, AControllerReplyCutShortCountsAsNoReply) {
    sim.cm6k6().faults().reply = ReplyFault::truncated;
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(),
              cm6k6_stop(kNoReply) + "TCMDER\n" + cm6k6_stop("Error executing command"));
    expect_controller_not_initialised();
}

TEST_F(InstrumentFaultsTest, AGarbledControllerStatusIsShownAndNotTakenAsNoErrors) {
    sim.cm6k6().faults().reply = ReplyFault::garbled;
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(), "*#O#E#R#R#\n" + cm6k6_stop("Error executing command"));
    expect_controller_not_initialised();
}

TEST_F(InstrumentFaultsTest, AControllerErrorStatusIsShownAndStopsBringUp) {
    sim.cm6k6().faults().error_status = true;
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(), "*DRIVE FAULT\n" + cm6k6_stop("Error executing command"));
    expect_controller_not_initialised();

    // Cleared, a second bring-up opens the controller and keeps the unit open.
    sim.cm6k6().faults().error_status = false;
    op.clear_records();
    bring_up();
    const std::string second = without_entry_times(run_log(2));
    EXPECT_EQ(second.substr(second.find('\n') + 1),
              std::string(73, '*') + "\n" +
                  " \n Trelwick - instruments on COM2, COM5, GPIB 1:9 \n " + kInstrumentsReady +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
}

// The controller during a Move.

TEST_F(InstrumentFaultsTest, GarbledPositionsDuringAMoveFailEveryPositioningCheck) {
    bring_up();
    sim.cm6k6().faults().reply = ReplyFault::garbled;
    answer_yes(5);
    move(0.0005);
    // No position could be read, so no check can pass; the report shows the lowest code.
    EXPECT_EQ(popup_lines(), std::vector<std::string>(5, error_confirm("Positioning", INT_MIN)));
    EXPECT_EQ(console.output(), "");
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              (std::vector<std::string>{"Motors are in motion", "Reading position", "Done"}));
    // The motion itself went through; the log holds where the stage is.
    EXPECT_NEAR(slot(5), 0.0005, 2e-6);
    EXPECT_NEAR(logged_coordinates("Final device coordinates")[0], 0.0005, 2e-6);
}

TEST_F(InstrumentFaultsTest, AControllerThatFallsSilentDuringAMoveIsGivenUpAtTheOperatorsWord) {
    bring_up();
    sim.cm6k6().faults().reply = ReplyFault::silent;
    op.answer_confirm(true);
    op.answer_confirm(false);
    move(0.0005);
    EXPECT_EQ(popup_lines(), (std::vector<std::string>{error_confirm("Motion end", 25),
                                                       error_confirm("Motion end", 51)}));
    // Five start positions could not be read.
    std::string stops;
    for (int i = 0; i < 5; ++i)
        stops += cm6k6_stop(kNoReply);
    EXPECT_EQ(console.output(), stops);
    // Giving up kills the five axes (an immediate command) and switches the drives off.
    EXPECT_TRUE(sent_to_controller("K1,1,1,1,1,0"));
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Not all cams are in position");
    EXPECT_NEAR(slot(5), 0.0005, 2e-6);
    EXPECT_EQ(last_entry().rfind(" \n hh:mm:ss * Final device coordinates * X = 0.000500 ", 0), 0u)
        << last_entry();
}

// A motor that stalls 2.5 revolutions short, or stands with its relay stuck open: the
// controller's commanded position went all the way, so its positioning check is silent,
// as on the bench; the final coordinates, read from the potentiometers, say where the
// stage really is.
TEST_F(InstrumentFaultsTest, AMotorThatStallsPassesThePositioningCheckAndTheLogSaysWhereItIs) {
    bring_up();
    stage_faults().shortfall_revs[0] = 2.5;
    move(0.0005);
    EXPECT_TRUE(popup_lines().empty());
    EXPECT_FALSE(sent_to_controller("K1,0,0,0,0,0"));
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Done");
    EXPECT_GT(std::fabs(slot(5) - 0.0005), 1e-5);
    EXPECT_NEAR(logged_coordinates("Final device coordinates")[0], slot(5), 1e-6);
    EXPECT_NEAR(logged_coordinates("Final coordinates")[0], slot(5), 1e-6);
}

TEST_F(InstrumentFaultsTest, AMotorRelayStuckOpenLeavesItsCamAndOnlyThePotsSaySo) {
    bring_up();
    stick_relay(203, false);
    move(0.0, 0.0005);
    EXPECT_TRUE(popup_lines().empty());
    EXPECT_NEAR(cam_angle(3), 0.0, 1e-9);
    EXPECT_FALSE(sent_to_controller("K0,0,1,0,0,0"));
    EXPECT_GT(std::fabs(slot(7) - 0.0005), 1e-5);
    EXPECT_NEAR(logged_coordinates("Final device coordinates")[2], slot(7), 1e-6);
}

// The counter, met by the gauge buttons.

TEST_F(InstrumentFaultsTest, ASilentOrCutShortCounterGivesNoReadingNotAZero) {
    for (const ReplyFault fault : {ReplyFault::silent, ReplyFault::truncated}) {
        SCOPED_TRACE(fault == ReplyFault::silent ? "silent" : "truncated");
        reset_station_state();
        op.clear_records();
        sim.power_on(now());
        SetCtrlAttribute(main, MAIN_INIT, ATTR_DIMMED, 0);
        bring_up();
        enable_gauges();
        const std::string log = run_log(fault == ReplyFault::silent ? 1 : 2);
        sim.ev16p().faults().reply = fault;
        answer_yes(6);
        ASSERT_EQ(op.press(main, MAIN_READ_GAGE_2), 0);
        const std::string no_reply = error_confirm(kNoReply, -99);
        EXPECT_EQ(popup_lines(), (std::vector<std::string>{
                                     no_reply, error_confirm("clear errors", 0), no_reply, no_reply,
                                     no_reply, error_confirm("Reading gages", 0)}));
        EXPECT_TRUE(std::isnan(slot(16)));
        EXPECT_EQ(run_log(fault == ReplyFault::silent ? 1 : 2), log);
    }
}

TEST_F(InstrumentFaultsTest, AGarbledCounterGivesNoReading) {
    bring_up();
    enable_gauges();
    sim.ev16p().faults().reply = ReplyFault::garbled;
    answer_yes(2);
    ASSERT_EQ(op.press(main, MAIN_READ_GAGE_2), 0);
    EXPECT_EQ(popup_lines(), (std::vector<std::string>{error_confirm("clear errors", 0),
                                                       error_confirm("Reading gages", 0)}));
    EXPECT_TRUE(std::isnan(slot(16)));
}

TEST_F(InstrumentFaultsTest, ACounterOutOfHoldIsReportedAndAZeroingItIgnoresIsNotLogged) {
    bring_up();
    enable_gauges();
    const std::string log = run_log();
    sim.ev16p().faults().out_of_hold = true;
    op.answer_confirm(true);  // no reply to the clear
    op.answer_confirm(true);  // clear errors
    op.answer_confirm(true);  // not in HOLD: set to RS-232?
    op.answer_message();      // that is done by hand
    op.answer_confirm(true);  // no reply to the zeroing
    op.answer_confirm(false); // zeroing not acknowledged: stop
    ASSERT_EQ(op.press(main, MAIN_ZERO_GAGE_1), 0);
    const std::string no_reply = error_confirm(kNoReply, -99);
    EXPECT_EQ(popup_lines(),
              (std::vector<std::string>{
                  no_reply, error_confirm("clear errors", 0),
                  "Warning: Counter is not in HOLD state. RS232 commands are not effective. "
                  "Would you like to set I/O to RS232?",
                  "Change HOLD Mode: HOLD mode should be changed manually, p.3-7", no_reply,
                  error_confirm("Zero gages", 0)}));
    EXPECT_EQ(run_log(), log);
}

// The data acquisition unit at bring-up.

TEST_F(InstrumentFaultsTest, AGarbledOrCutShortUnitIsNotInitialisedAndTheControllerNotTried) {
    struct Case {
        ReplyFault fault;
        std::string console;
    };
    std::string garbled;
    for (int i = 0; i < 20; ++i)
        garbled += "\nThe HP34970 has an error.\n+#,#N# #r#o#\"";
    garbled += hp34970_stop("The HP34970 has an error");
    const Case cases[] = {
        {ReplyFault::garbled, garbled},
        {ReplyFault::truncated, hp34970_stop("ibsta = c000, problem receiving GPIB input") +
                                    hp34970_stop("Problem reading ID")},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(++run);
        reset_station_state();
        op.clear_records();
        console.clear_output();
        sim.power_on(now());
        sim.hp34970().faults().reply = c.fault;
        op.answer_message();
        EXPECT_EQ(op.press(main, MAIN_INIT), 0);
        EXPECT_EQ(console.output(), c.console);
        EXPECT_EQ(popup_lines(), std::vector<std::string>{"Init Error: Error in device init"});
        EXPECT_EQ(without_entry_times(run_log(run)),
                  kRunLogHead + " \n PROBLEM: HP34970 is not initialized \n " +
                      coordinates_entry("Initial device coordinates", kZeroCoordinates));
        EXPECT_TRUE(sim.cm6k6().history().empty());
    }
}

TEST_F(InstrumentFaultsTest, ErrorsQueuedInTheUnitAreShownAndTheNextBringUpFindsItClean) {
    for (int i = 0; i < 3; ++i)
        sim.hp34970().push_error(-310, "System error");
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    std::string shown;
    for (int i = 0; i < 3; ++i)
        shown += "\nThe HP34970 has an error.\n-310,\"System error\"";
    EXPECT_EQ(console.output(), shown + hp34970_stop("The HP34970 has an error"));
    EXPECT_EQ(popup_lines(), std::vector<std::string>{"Init Error: Error in device init"});
    EXPECT_EQ(without_entry_times(run_log()),
              kRunLogHead + " \n PROBLEM: HP34970 is not initialized \n " +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
    // Reading the queue emptied it.
    EXPECT_EQ(sim.hp34970().errors_queued(), 0u);
    op.clear_records();
    bring_up();
    EXPECT_EQ(without_entry_times(run_log(2)),
              kRunLogHead + kInstrumentsReady +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
}

TEST_F(InstrumentFaultsTest, GarbledReadingsDuringAMoveTurnNoCamAndLogNotANumber) {
    bring_up();
    for (int i = 0; i < 200; ++i)
        console.add_line("\n");
    sim.hp34970().faults().reply = ReplyFault::garbled;
    // Angles that were not read raise no question of the kinematics; the operator hears
    // which cams stay.
    op.answer_message();
    move(0.0005);
    // No reading is taken from a garbled reply: every angle is unknown, no cam turns.
    for (int cam = 1; cam <= 5; ++cam)
        EXPECT_NEAR(cam_angle(cam), 0.0, 1e-9) << "cam " << cam;
    ASSERT_GE(op.popups().size(), 1u);
    bool told = false;
    for (const auto& p : op.popups())
        told = told || p.title == "Cams not moved";
    EXPECT_TRUE(told);
    // Each failed reading was stopped on the console with the unit's own words only.
    std::string rest = console.output();
    for (const std::string& stop : {hp34970_stop("Problem getting HP34970 measurements"),
                                    hp34970_stop("Problem getting HP34970 measurements."),
                                    hp34970_stop("The HP34970 has an error")}) {
        for (std::size_t at; (at = rest.find(stop)) != std::string::npos;)
            rest.erase(at, stop.size());
    }
    for (std::size_t at; (at = rest.find("\nThe HP34970 has an error.\n")) != std::string::npos;)
        rest.erase(at, rest.find('"', rest.find('"', at) + 1) + 1 - at);
    EXPECT_EQ(rest, "");
    const std::string nans = "X = nan Y = nan Roll = nan Pitch = nan Yaw = nan";
    EXPECT_EQ(last_entry(), coordinates_entry("Final device coordinates", nans));
}

// The stage itself.

// A lost reference reads microvolts, as a meter would, not 0 V: a reference that small is
// no reading at all, so every angle is NaN and nothing turns.
TEST_F(InstrumentFaultsTest, WithTheReferenceLostAMoveTurnsNothingAndLogsNotANumber) {
    bring_up();
    stage_faults().reference_lost = true;
    // The present position, and so the target, cannot be worked out: no kinematic question
    // is asked about numbers that were never measured, and the operator hears which cams
    // stay.
    op.answer_message();
    move(0.0005);
    std::string not_moved;
    for (int cam = 1; cam <= 5; ++cam)
        not_moved += (cam > 1 ? "\n" : "") + std::string("Cam ") + std::to_string(cam) +
                     " is not moved: its present angle is not a number.";
    EXPECT_EQ(popup_lines(), std::vector<std::string>{"Cams not moved: " + not_moved});
    for (int cam = 1; cam <= 5; ++cam)
        EXPECT_NEAR(cam_angle(cam), 0.0, 1e-9) << "cam " << cam;
    const std::string nans = "X = nan Y = nan Roll = nan Pitch = nan Yaw = nan";
    const std::string log = without_entry_times(run_log());
    EXPECT_EQ(log.substr(log.find(" \n hh:mm:ss * Initial position coordinates")),
              coordinates_entry("Initial position coordinates", nans) +
                  coordinates_entry("Final coordinates", nans) +
                  coordinates_entry("Final device coordinates", nans));
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Not all cams are in position");
}
