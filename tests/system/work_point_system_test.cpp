// The work-point search on the simulated stage, checked against work_point_reference.py
// (an independent computation of the readings, the fit and the zero crossing); the
// search's refusal when readings fail; Home, pot zero and the angle watch.
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "stage/motion.hpp"
#include "testbench/cam_positioning.hpp"
#include "testbench_sim_fixture.hpp"

#include <cmath>
#include <numbers>
#include <regex>
#include <vector>

namespace {

constexpr double kTurn = 2.0 * std::numbers::pi / 120.0;
constexpr double kOmega = 0.05235987755;

class WorkPointSystemTest : public BenchSimTest {
protected:
    std::vector<PlotRecord> plots(int color) const {
        std::vector<PlotRecord> out;
        for (const PlotRecord& p : op.plots())
            if (p.color == color)
                out.push_back(p);
        return out;
    }
    int moves() {
        int count = 0;
        for (const auto& [time, command] : sim.cm6k6().history())
            count += command.rfind("GO", 0) == 0 ? 1 : 0;
        return count;
    }
    void turn(double revs) {
        motor_move move{revs, 0.0, 0.0, 0.0, 0.0};
        move_cam_motor(test, shared_param(), move, 0);
    }
    void expect_relative(double actual, double expected, double relative) {
        EXPECT_NEAR(actual, expected, std::fabs(expected) * relative) << "expected " << expected;
    }
};

// The reference's readings of gauge 1 on cam 1 from power-on.
double cam1_reading(double revs) {
    return std::round(0.741 * std::sin(revs * kTurn + 0.35) * 1e4) / 1e4 / 1000.0;
}

} // namespace

TEST_F(WorkPointSystemTest, RisingStartEndsAtTheFittedZeroCrossing) {
    bring_up({});
    op.clear_records();
    sim.cm6k6().clear_history();
    op.press(test, TEST_WORK_POINT);

    // 21 readings, at every sixth motor revolution of one turn.
    const std::vector<PlotRecord> readings = plots(0xFF0000);
    ASSERT_EQ(readings.size(), 21u);
    for (int i = 0; i <= 20; ++i) {
        EXPECT_EQ(readings[i].x, 6.0 * i);
        EXPECT_NEAR(readings[i].y, 1000.0 * cam1_reading(6.0 * i), 1e-9) << i;
    }
    EXPECT_EQ(op.texts(test, TEST_STATUS).at(1), "Motion in Progress. Point # 6");

    // python3 tests/system/work_point_reference.py: "cam 1 from 0". The fit stops at its
    // second accepted step, close to the true amplitude and phase here.
    const double amplitude = 0.00074091916002608476;
    const double phase = 0.35074796215002596;
    expect_relative(op.value_double(test, TEST_AMPLITUDE), amplitude, 1e-8);
    expect_relative(op.value_double(test, TEST_PHASE), phase, 1e-8);
    EXPECT_TRUE(op.visible(test, TEST_AMPLITUDE));
    EXPECT_TRUE(op.visible(test, TEST_PHASE));

    const std::vector<PlotRecord> curve = plots(0x000080);
    ASSERT_EQ(curve.size(), 120u);
    for (int i : {0, 37, 119}) {
        EXPECT_EQ(curve[i].x, i);
        EXPECT_EQ(curve[i].style, VAL_SOLID_SQUARE);
        EXPECT_NEAR(curve[i].y, std::sin(kOmega * i + phase) * 1000.0 * amplitude, 1e-9);
    }

    // 20 scan moves, then the move to the work point; the record keeps it as its step.
    EXPECT_EQ(moves(), 21);
    expect_relative(shared_param().test_step, -6.6987926359278882, 1e-7);
    EXPECT_NEAR(cam_revs(1), 113.30120736407211, 1e-4);
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Done");
    EXPECT_TRUE(op.unexpected().empty());
}

TEST_F(WorkPointSystemTest, FallingStartTakesTheOtherCrossingBeyondHalfATurn) {
    bring_up({.cam = 3, .gage_channel = 3});
    turn(30.0); // a quarter turn: the first step of the scan goes down
    op.clear_records();
    // Beyond the stage's revolution limit the bench asks as the Move does.
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    op.press(test, TEST_WORK_POINT);
    EXPECT_EQ(op.popups().back().message, " Too many motor revolutions. Continue?");
    // "cam 3 from 30": the early stop leaves a negative amplitude and the work point is
    // 60 - phase / w, more than half a turn, and the cam is turned that far.
    expect_relative(op.value_double(test, TEST_AMPLITUDE), -0.00044999901687968133, 1e-7);
    expect_relative(op.value_double(test, TEST_PHASE), -0.44501665183516148, 1e-7);
    expect_relative(shared_param().test_step, 68.499191989328125, 1e-7);
    EXPECT_NEAR(cam_revs(3), 218.49919198932812, 1e-4);
}

TEST_F(WorkPointSystemTest, FailedReadingsLeaveTheCamWhereTheScanLeftIt) {
    bring_up({.gage_channel = 7}); // the counter has no gauge 7: every reading fails
    for (int i = 0; i < 21; ++i)
        op.answer_confirm(false);
    op.answer_message();
    sim.cm6k6().clear_history();
    op.press(test, TEST_WORK_POINT);

    ASSERT_FALSE(op.popups().empty());
    EXPECT_EQ(op.popups().front().message,
              "Error in Gage = 7, out of range. Check error code # 7. Continue?");
    const PopupRecord& told = op.popups().back();
    EXPECT_EQ(told.kind, PopupKind::Message);
    EXPECT_EQ(told.title, "Work point");
    EXPECT_EQ(told.message, "A gauge reading of the scan failed. The cam is not moved to a "
                            "work point.");
    EXPECT_EQ(moves(), 20); // the scan only: one whole turn
    EXPECT_NEAR(cam_revs(1), 120.0, 1e-4);
    EXPECT_EQ(shared_param().test_step, 1.0);
    EXPECT_TRUE(plots(0x000080).empty());
    EXPECT_FALSE(op.visible(test, TEST_AMPLITUDE));
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "No work point");
    EXPECT_TRUE(op.unexpected().empty());
}

TEST_F(WorkPointSystemTest, HomeEndsAtTheCamsHomeAngleWhateverTheStart) {
    bring_up({});
    const std::regex entries(R"(^ \n \d\d:\d\d:\d\d \* Cams moved to zero position\n \n )"
                             R"( \n \d\d:\d\d:\d\d \* Cams moved to home position\n \n $)");
    for (double start : {17.0, -40.0}) {
        turn(start);
        const std::size_t mark = run_log().size();
        op.press(test, TEST_GO_HOME);
        EXPECT_NEAR(sim.model().cam_angle(1, now()), 0.7853982, 1e-4) << "from " << start;
        EXPECT_TRUE(std::regex_match(run_log().substr(mark), entries)) << run_log().substr(mark);
        EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Homing Done");
        // Shown with the potentiometer's sign undone: cam 1 counts the other way round.
        EXPECT_NEAR(op.value_double(test, TEST_ANGLE), -45.0, 0.01);
    }
    // Cam 4 has a home angle of -39 degrees.
    type_settings({.cam = 4, .gage_channel = 2});
    op.press(test, TEST_GO_HOME);
    EXPECT_NEAR(sim.model().cam_angle(4, now()), -0.6806784, 1e-4);
}

TEST_F(WorkPointSystemTest, PotZeroEndsAtPotentiometerZero) {
    bring_up({});
    turn(-25.0);
    const std::size_t mark = run_log().size();
    op.press(test, TEST_GO_ZERO);
    EXPECT_NEAR(sim.model().cam_angle(1, now()), 0.0, 1e-4);
    EXPECT_NEAR(op.value_double(test, TEST_ANGLE), 0.0, 0.01);
    EXPECT_TRUE(std::regex_match(
        run_log().substr(mark),
        std::regex(R"(^ \n \d\d:\d\d:\d\d \* Cams moved to zero position\n \n $)")));
    EXPECT_EQ(op.texts(test, TEST_STATUS),
              (std::vector<std::string>{"Initialization in Progress", "Devices Ready",
                                        "Go to Pot zero position", "Pot zero Done"}));
}

TEST_F(WorkPointSystemTest, AngleWatchReadsTwentyTimesWhileThePanelStaysAlive) {
    bring_up({});
    op.clear_records();
    const double before = now();
    op.press(test, TEST_SET_ANGLE);
    int shown = 0;
    for (const ValueRecord& v : op.value_log())
        shown += v.panel == test && v.control == TEST_ANGLE ? 1 : 0;
    EXPECT_EQ(shown, 20);
    EXPECT_GE(now() - before, 22.0);
    EXPECT_EQ(op.texts(test, TEST_STATUS), (std::vector<std::string>{"Measure angle", "Done"}));
}

TEST_F(WorkPointSystemTest, RandomMoveTurnsToTheArcsineTargetOrRefusesWhenThereIsNone) {
    bring_up({});
    // At angle 0 a step of 0.00005 asks for arcsin(0.00005 / 0.000741) = 0.0675277 rad.
    double step = 0.00005;
    cam_test_rel_move(shared_addresses(), shared_param(), step);
    EXPECT_NEAR(sim.model().cam_angle(1, now()), 0.0675277, 1e-5);

    // A quarter turn on, (-0.00005 - 0.000741 sin(pi/2)) / 0.000741 is below -1: there is
    // no target angle, the operator is told and nothing reaches the controller.
    turn(30.0 - 0.0675277 / kTurn);
    sim.cm6k6().clear_history();
    const double before = sim.model().cam_angle(1, now());
    step = -0.00005;
    op.answer_confirm(true);
    cam_test_rel_move(shared_addresses(), shared_param(), step);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].message,
              "Error in Cam angle > 90 Deg.. Check error code # 1. Continue?");
    EXPECT_EQ(moves(), 0);
    EXPECT_EQ(sim.model().cam_angle(1, now()), before);
}

TEST_F(WorkPointSystemTest, ZeroingOpensTheBenchGaugeCounterWhateverTheAddressRecordSays) {
    bring_up({});
    turn(10.0); // gauge 1 off zero
    EXPECT_EQ(shared_device_ids().ev16p, 0);
    shared_addresses().ev_com_port = 9; // nothing listens there
    shared_addresses().ev_dev_addr = 3;
    op.clear_records();
    op.press(test, TEST_ZERO);
    EXPECT_GT(shared_device_ids().ev16p, 0);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(op.texts(test, TEST_STATUS),
              (std::vector<std::string>{"Setting Position to zero", "Done"}));
    // Gauge 1 now reads zero where the cam stands.
    op.press(test, TEST_GET_POSITION);
    EXPECT_EQ(op.value_double(test, TEST_POSITION), 0.0);
}
