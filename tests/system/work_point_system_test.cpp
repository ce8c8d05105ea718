// The work-point search on the simulated stage, checked against work_point_reference.py
// (an independent computation of the readings, the fit and the zero crossing); the
// search's refusal when readings fail; Home, pot zero and the angle watch.
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "numeric/status.hpp"
#include "stage/motion.hpp"
#include "testbench/cam_positioning.hpp"
#include "testbench/work_point.hpp"
#include "testbench_sim_fixture.hpp"

#include <cmath>
#include <numbers>
#include <regex>
#include <vector>

namespace {

constexpr double kTurn = 2.0 * std::numbers::pi / 120.0;
constexpr double kOmega = 0.05235987755;
// How near the cam's true work point the search must bring it: 0.1 motor revolution, in
// radians of cam angle.
constexpr double kWorkPointNear = 0.1 * kTurn;

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

    // The simulated cam's own sine (eccentricity 0.000741, contact phase 0.35), to the
    // precision of its readings' four decimals.
    const double amplitude = op.value_double(test, TEST_AMPLITUDE);
    const double phase = op.value_double(test, TEST_PHASE);
    EXPECT_NEAR(amplitude, 0.000741, 0.000741 * 0.001);
    EXPECT_NEAR(phase, 0.35, 0.001);
    // python3 tests/system/work_point_reference.py: "cam 1 from 0".
    expect_relative(amplitude, 0.00074101336697902237, 1e-8);
    expect_relative(phase, 0.35001593097275274, 1e-8);
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
    expect_relative(shared_param().test_step, -6.6848118702820134, 1e-7);
    EXPECT_NEAR(cam_revs(1), 113.31518812971798, 1e-4);
    // The cam stands where its gauge rises through zero: 2 pi - 0.35 rad.
    EXPECT_NEAR(std::remainder(cam_angle(1) + 0.35, 2.0 * std::numbers::pi), 0.0, kWorkPointNear);
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Done");
    EXPECT_TRUE(op.unexpected().empty());
}

TEST_F(WorkPointSystemTest, FallingStartTakesTheNearestFallingCrossing) {
    bring_up({.cam = 3, .gage_channel = 3});
    turn(30.0); // a quarter turn: the first step of the scan goes down
    op.clear_records();
    op.press(test, TEST_WORK_POINT);
    // "cam 3 from 30": the sine of cam 3 seen from a quarter turn on, pi / 2 + 1.1; it falls
    // through zero 9 motor revolutions on, and the cam turns no further than that.
    EXPECT_NEAR(op.value_double(test, TEST_AMPLITUDE), 0.000741, 0.000741 * 0.001);
    EXPECT_NEAR(op.value_double(test, TEST_PHASE), std::numbers::pi / 2.0 + 1.1, 0.001);
    expect_relative(shared_param().test_step, 8.991583984637451, 1e-7);
    EXPECT_NEAR(cam_revs(3), 158.99158398463746, 1e-4);
    EXPECT_NEAR(std::remainder(cam_angle(3) + 1.1 - std::numbers::pi, 2.0 * std::numbers::pi), 0.0,
                kWorkPointNear);
    // Within half a turn: no revolutions question.
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Done");
}

TEST_F(WorkPointSystemTest, NoisyGaugesStillGiveTheCamsWorkPoint) {
    // The simulated stage's noisy gauges (5 micrometres each way), from several starts of
    // cam 2 (contact phase -0.6): the cam ends within 0.1 motor revolution of the angle
    // where its gauge crosses zero on the slope the scan began on.
    bring_up({.cam = 2, .gage_channel = 2});
    model().set_gauge_noise(2, 0.005);
    for (double start : {0.0, 17.0, 45.0, -23.0, -50.0}) {
        turn(start);
        const double before = cam_revs(2);
        // The slope of the first step of the scan (between its first two readings), far
        // enough from a peak that the noise cannot turn it.
        const double middle = std::cos(before * kTurn - 0.6 + 3.0 * kTurn);
        ASSERT_GT(std::fabs(middle), 0.2) << start;
        const double crossing = middle > 0.0 ? 0.0 : std::numbers::pi;
        op.clear_records();
        op.press(test, TEST_WORK_POINT);
        ASSERT_EQ(op.texts(test, TEST_STATUS).back(), "Done") << start;
        EXPECT_NEAR(op.value_double(test, TEST_AMPLITUDE), 0.000746, 0.000746 * 0.01) << start;
        // The cam turned a whole turn, then at most half a turn more.
        EXPECT_LE(std::fabs(cam_revs(2) - before - 120.0), 60.0) << start;
        EXPECT_NEAR(std::remainder(cam_angle(2) - 0.6 - crossing, 2.0 * std::numbers::pi), 0.0,
                    kWorkPointNear)
            << start;
    }
}

TEST_F(WorkPointSystemTest, AFailedFitMovesNothingAndSaysWhy) {
    bring_up({});
    // An amplitude and phase shown by an earlier search are not this one's result.
    op.press(test, TEST_WORK_POINT);
    ASSERT_TRUE(op.visible(test, TEST_AMPLITUDE));
    work_point_use_fit([](const double*, const double*, double*, int, FitModel, double*, int,
                          double*) { return NUMERIC_NOT_POSITIVE_DEFINITE; });
    op.answer_message();
    op.clear_records();
    sim.cm6k6().clear_history();
    const double step = shared_param().test_step;
    op.press(test, TEST_WORK_POINT);

    EXPECT_EQ(moves(), 20); // the scan only: the cam ends where it started
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "Work point");
    EXPECT_EQ(op.popups()[0].message,
              "The sine fit of the scan failed (status -20041): the readings do not determine a "
              "sine (the fit's equations became singular). The cam is not moved to a work "
              "point.");
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(),
              "No work point: the sine fit failed (status -20041)");
    EXPECT_FALSE(op.visible(test, TEST_AMPLITUDE));
    EXPECT_FALSE(op.visible(test, TEST_PHASE));
    EXPECT_TRUE(plots(0x000080).empty());
    EXPECT_EQ(shared_param().test_step, step);
    EXPECT_TRUE(op.unexpected().empty());
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
