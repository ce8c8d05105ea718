// The test bench on the simulated stage: bring-up in test mode and back, the three kinds
// of test run with their run-log lines compared as text, the temperature column across
// runs, the work-point search against an independent reference, Home and pot zero.
//
// Expected gauge readings come from the bench's geometry, not from the program: the gauge
// of cam k reads eccentricity_k * sin(angle + gauge phase_k), reported to 1e-7.
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "platform/text.hpp"
#include "testbench/bench_state.hpp"
#include "testbench_sim_fixture.hpp"

#include <cmath>
#include <numbers>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr double kTurn = 2.0 * std::numbers::pi / 120.0; // cam radians per motor revolution
constexpr double kDegrees = 57.295779513;

// The bench's eccentricities and the simulated gauges' phases, gauges 1 to 5.
constexpr double kEccentricity[] = {0.000741, 0.000746, 0.000741, 0.000749, 0.000747};
constexpr double kGaugePhase[] = {0.35, -0.6, 1.1, -0.25, 0.8};

// The gauge position the program should show for gauge `gauge` with its cam at `revs`.
double expected_position(int gauge, double revs) {
    const double counter =
        kEccentricity[gauge - 1] * 1000.0 * std::sin(revs * kTurn + kGaugePhase[gauge - 1]);
    return std::round(counter * 1e4) / 1e4 / 1000.0;
}

// What a run appended: the records, each the text after its leading " \n".
std::vector<std::string> records(const std::string& appended) {
    std::vector<std::string> out;
    std::size_t at = appended.find(" \n");
    while (at != std::string::npos) {
        const std::size_t next = appended.find(" \n", at + 2);
        out.push_back(
            appended.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2));
        at = next;
    }
    return out;
}

struct MeasuredLine {
    std::string time, point, position;
    double angle = 0.0, degrees = 0.0;
    bool temperature = false;
};

// One measured point's record: time, point, position, angle in rad and in degrees, in
// fixed columns, and the temperature column where it is due.
bool parse_measured(const std::string& record, MeasuredLine& line) {
    static const std::regex pattern(R"(^(\d\d:\d\d:\d\d) (.{6}) (.{10}) (.{9}) (.{8})(   0\.0)?$)");
    std::smatch m;
    if (!std::regex_match(record, m, pattern))
        return false;
    line.time = m[1];
    line.point = m[2];
    line.position = m[3];
    line.angle = std::stod(m[4]);
    line.degrees = std::stod(m[5]);
    line.temperature = m[6].matched;
    return true;
}

class TestBenchSystemTest : public BenchSimTest {
protected:
    // Checks one step-scan or timed-series record of cam 1 at `revs`.
    void expect_point(const std::string& record, int point, double revs, bool temperature) {
        MeasuredLine line;
        ASSERT_TRUE(parse_measured(record, line)) << "[" << record << "]";
        EXPECT_EQ(line.point, strfmt("%6d", point));
        EXPECT_EQ(line.position, strfmt("%10.7f", expected_position(1, revs)));
        EXPECT_NEAR(line.angle, revs * kTurn, 2e-5);
        EXPECT_NEAR(line.degrees, revs * kTurn * kDegrees, 2e-3);
        EXPECT_EQ(line.temperature, temperature) << "[" << record << "]";
    }
    int moves() {
        int count = 0;
        for (const auto& [time, command] : sim.cm6k6().history())
            count += command.rfind("GO", 0) == 0 ? 1 : 0;
        return count;
    }
    std::string run(const Settings& settings) {
        type_settings(settings);
        sim.cm6k6().clear_history();
        const std::size_t mark = run_log().size();
        op.press(test, TEST_RUN);
        return run_log().substr(mark);
    }
};

} // namespace

TEST_F(TestBenchSystemTest, BringUpInTestModeAndExitSwitchTheRecordBetweenDefaults) {
    bring_up({.cam = 3, .gage_channel = 2, .points = 7, .step = 0.5});
    EXPECT_EQ(op.texts(test, TEST_STATUS).front(), "Initialization in Progress");
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Devices Ready");
    EXPECT_TRUE(op.dimmed(test, TEST_INIT));
    for (int action : {TEST_RUN, TEST_GET_POSITION, TEST_GET_ANGLE, TEST_GET_TEMP, TEST_ZERO,
                       TEST_GO_ZERO, TEST_GO_HOME, TEST_SET_ANGLE, TEST_WORK_POINT})
        EXPECT_FALSE(op.dimmed(test, action)) << action;
    ASSERT_FALSE(op.axis_log().empty());
    EXPECT_EQ(op.axis_log().back().x_mode, VAL_MANUAL);
    EXPECT_EQ(op.axis_log().back().x_max, 120.0);
    EXPECT_EQ(op.axis_log().back().y_mode, VAL_NO_CHANGE);

    const param_structure& record = shared_param();
    EXPECT_EQ(record.motors_per_move, 1);
    EXPECT_EQ(record.gage_count, 1);
    EXPECT_EQ(record.test_axis, 3);
    EXPECT_EQ(record.gage_channel, 2);
    EXPECT_EQ(record.test_points, 7);
    EXPECT_EQ(record.test_step, 0.5);
    EXPECT_GT(shared_device_ids().hp34970, 0);
    EXPECT_GT(shared_device_ids().cm6k6, 0);

    op.press(test, TEST_EXIT);
    EXPECT_EQ(record.motors_per_move, 5);
    EXPECT_EQ(record.gage_count, 0);
    EXPECT_EQ(record.test_axis, 1);
    EXPECT_EQ(record.test_step, 1.0);
    // The instruments stay open for the main panel.
    EXPECT_GT(shared_device_ids().cm6k6, 0);

    // A second visit starts from the test-mode defaults again.
    op.press(main, MAIN_TEST);
    test = test_panel_handle();
    op.press(test, TEST_INIT);
    EXPECT_EQ(shared_param().motors_per_move, 1);
    EXPECT_TRUE(op.unexpected().empty());
}

TEST_F(TestBenchSystemTest, StepScanUpwardNumbersTheFirstMovedPointZeroToo) {
    bring_up({});
    const std::string appended = run({.points = 3, .step = 2.0});
    const std::vector<std::string> lines = records(appended);
    ASSERT_EQ(lines.size(), 4u) << appended;
    expect_point(lines[0], 0, 0.0, true); // first point of the program: temperature column
    expect_point(lines[1], 0, 2.0, false);
    expect_point(lines[2], 1, 4.0, false);
    expect_point(lines[3], 2, 6.0, false);
    EXPECT_EQ(moves(), 3);
    EXPECT_NEAR(cam_revs(1), 6.0, 1e-4);
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Done");
    // Four red points at their numbers, in the gauge's unit.
    ASSERT_EQ(op.plots().size(), 4u);
    EXPECT_EQ(op.plots()[3].x, 2.0);
    EXPECT_NEAR(op.plots()[3].y, 1000.0 * expected_position(1, 6.0), 1e-9);
    EXPECT_EQ(op.plots()[3].color, 0xFF0000);
}

TEST_F(TestBenchSystemTest, StepScanDownwardCountsThePointsDown) {
    bring_up({});
    std::vector<std::string> lines = records(run({.points = 3, .step = -1.0}));
    ASSERT_EQ(lines.size(), 3u);
    expect_point(lines[0], 0, 0.0, true);
    expect_point(lines[1], 2, -1.0, false);
    expect_point(lines[2], 1, -2.0, false);
    EXPECT_EQ(moves(), 2);

    // Half steps: 3 - 0.5 truncates to 2, then 1.5 to 1, then 0.5 to 0 ends.
    lines = records(run({.points = 3, .step = -0.5}));
    ASSERT_EQ(lines.size(), 3u);
    expect_point(lines[0], 0, -2.0, false);
    expect_point(lines[1], 2, -2.5, false);
    expect_point(lines[2], 1, -3.0, true); // the sixth line of the program
    EXPECT_EQ(moves(), 2);
    EXPECT_NEAR(cam_revs(1), -3.0, 1e-4);
}

TEST_F(TestBenchSystemTest, TimedSeriesWithoutPointsStillTakesOneAndWaitsAnInterval) {
    bring_up({});
    const double before = now();
    const std::vector<std::string> lines = records(run({.points = 0, .interval = 30.0}));
    ASSERT_EQ(lines.size(), 1u);
    expect_point(lines[0], 0, 0.0, true);
    EXPECT_EQ(moves(), 0);
    // The reading itself takes seconds; the interval comes on top of it.
    EXPECT_GE(now() - before, 30.0);
    EXPECT_LT(now() - before, 60.0);
}

TEST_F(TestBenchSystemTest, TemperatureColumnOnTheFirstLineThenEveryFifthAcrossRuns) {
    bring_up({});
    std::vector<std::string> lines = records(run({.points = 2, .interval = 1.0}));
    std::vector<std::string> more = records(run({.points = 6, .interval = 1.0}));
    lines.insert(lines.end(), more.begin(), more.end());
    ASSERT_EQ(lines.size(), 8u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        MeasuredLine line;
        ASSERT_TRUE(parse_measured(lines[i], line)) << lines[i];
        EXPECT_EQ(line.temperature, i == 0 || i == 5) << "line " << i;
    }
    // Closing and reopening the panel does not start the count again.
    op.press(test, TEST_EXIT);
    op.press(main, MAIN_TEST);
    test = test_panel_handle();
    op.press(test, TEST_INIT);
    more = records(run({.points = 3, .interval = 1.0}));
    ASSERT_EQ(more.size(), 3u);
    MeasuredLine line;
    ASSERT_TRUE(parse_measured(more[2], line));
    EXPECT_TRUE(line.temperature); // the eleventh line of the program
}

TEST_F(TestBenchSystemTest, RepeatabilityTestMakesThirtyMovesAndShowsTheLastDifference) {
    // Cam 4: its gauge is the list's last entry, gauge 4, which follows cam 4.
    bring_up({.cam = 4, .random = 1.0});
    const std::vector<std::string> lines = records(run({.cam = 4, .random = 1.0}));
    ASSERT_EQ(lines.size(), 30u);
    EXPECT_EQ(moves(), 30);
    static const std::regex pattern(R"(^ (.{10}) (.{10})$)");
    double last = std::nan("");
    int nonzero = 0;
    for (const std::string& record : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(record, m, pattern)) << "[" << record << "]";
        const double r = std::stod(m[1]);
        EXPECT_LE(std::fabs(r), 0.000099 + 1e-12);
        EXPECT_NEAR(r * 1e6, std::round(r * 1e6), 1e-6); // whole millionths
        last = std::stod(m[2]);
        nonzero += last != 0.0 ? 1 : 0;
    }
    EXPECT_GT(nonzero, 0); // the gauge watched the cam that moved
    EXPECT_NEAR(op.value_double(test, TEST_POSITION), last, 5e-8);
    EXPECT_NE(cam_revs(4), 0.0);
    EXPECT_EQ(cam_revs(1), 0.0);
}

TEST_F(TestBenchSystemTest, RepeatabilityTestOfCamOneWatchesGaugeTwo) {
    bring_up({.random = 1.0});
    const std::vector<std::string> lines = records(run({.random = 1.0}));
    ASSERT_EQ(lines.size(), 30u);
    for (const std::string& record : lines)
        EXPECT_EQ(record.substr(12), " 0.0000000") << record; // cam 2 never moves
    EXPECT_NE(cam_revs(1), 0.0);
    EXPECT_EQ(op.value_double(test, TEST_POSITION), 0.0);
}

TEST_F(TestBenchSystemTest, OutOfRangeCamAnsweredYesRunsCamOne) {
    bring_up({});
    op.answer_confirm(true);
    const std::vector<std::string> lines = records(run({.cam = 7, .points = 1, .step = 3.0}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(op.popups().back().message, "axis is out of range, will be set to 1. Continue?");
    EXPECT_NEAR(cam_revs(1), 3.0, 1e-4);
    // Only the run's copy was set to 1.
    EXPECT_EQ(shared_param().test_axis, 7);
}

TEST_F(TestBenchSystemTest, AFailedBringUpLeavesThePanelAsItWas) {
    op.press(main, MAIN_TEST);
    test = test_panel_handle();
    type_settings({});
    platform_use_gpib(nullptr); // the data-acquisition unit cannot be reached
    for (int i = 0; i < 10; ++i)
        console.add_line("\n"); // the driver's console reports, each answered with ENTER
    op.answer_message();
    op.press(test, TEST_INIT);
    ASSERT_FALSE(op.popups().empty());
    EXPECT_EQ(op.popups().back().title, "Init Error");
    EXPECT_EQ(op.popups().back().message, "Error in device init");
    EXPECT_FALSE(op.dimmed(test, TEST_INIT));
    EXPECT_TRUE(op.dimmed(test, TEST_RUN));
    EXPECT_TRUE(op.dimmed(test, TEST_WORK_POINT));
    EXPECT_NE(op.texts(test, TEST_STATUS).back(), "Devices Ready");
    EXPECT_TRUE(op.unexpected().empty());
}
