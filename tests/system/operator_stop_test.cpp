// Stop in every operation that turns a motor, on the simulated stage in virtual time: the
// operator presses Stop (from the front end's thread, as platform_request_stop) shortly
// after the controller started a motion. The controller then gets the kill of the started
// axes and the drives switched off and nothing more; no cam turns afterwards; the status
// line and the run log say "Stopped by the operator", the log followed by the
// coordinates read afterwards. A test-bench run keeps the points measured before.
#include "app/shell/panel_ids.hpp"
#include "platform/operator_thread.hpp"
#include "testbench/bench_state.hpp"
#include "testbench_sim_fixture.hpp"

#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

// The operator's finger: a clock over the fixture's own that presses Stop once the
// controller has been told to start a motion `after` seconds ago.
class StopPressClock : public ClockBackend {
public:
    StopPressClock(ClockBackend& inner, SimStage& sim) : inner_(inner), sim_(sim) {}
    void delay(double seconds) override {
        inner_.delay(seconds);
        watch();
    }
    std::uint32_t tick_count() override {
        watch();
        return inner_.tick_count();
    }
    WallTime wall_time() override { return inner_.wall_time(); }
    double now_seconds() override { return inner_.now_seconds(); }
    void pass_event_wait(double seconds) override {
        inner_.pass_event_wait(seconds);
        watch();
    }
    double real_wait_seconds(double seconds) override { return inner_.real_wait_seconds(seconds); }

    double pressed_at = -1.0;
    std::string started; // the GO that the press interrupted

private:
    void watch() {
        if (pressed_at >= 0.0 || !platform_stoppable())
            return;
        for (const auto& [time, command] : sim_.cm6k6().history())
            if (command.rfind("GO", 0) == 0 && inner_.now_seconds() >= time + kAfter) {
                started = command;
                pressed_at = inner_.now_seconds();
                platform_request_stop();
                return;
            }
    }
    static constexpr double kAfter = 0.05;
    ClockBackend& inner_;
    SimStage& sim_;
};

struct Operation {
    const char* name;
    bool on_test_panel;
    int control;
    std::vector<double> cams; // where the cams stand before, radians
};

class OperatorStopTest : public BenchSimTest, public ::testing::WithParamInterface<Operation> {
protected:
    void SetUp() override {
        BenchSimTest::SetUp();
        finger = std::make_unique<StopPressClock>(platform_clock(), sim);
    }
    // Brings the instruments up on the operation's panel; its panel.
    int prepare(const Operation& o) {
        int panel = main;
        if (o.on_test_panel) {
            bring_up({.cam = 1, .gage_channel = 1, .points = 3, .step = 30.0, .random = 0.0});
            panel = test;
            if (std::string(o.name) == "Repeatability")
                op.type_value(test, TEST_RANDOM, 1.0);
        } else {
            op.press(main, MAIN_INIT);
            op.type_value(main, MAIN_MOVE_MODE, 1LL);
            op.type_value(main, MAIN_TARGET_X, 0.0005);
        }
        if (!o.cams.empty())
            place_cams({o.cams[0], o.cams[1], o.cams[2], o.cams[3], o.cams[4]});
        return panel;
    }
    // The controller's commands from `since` on.
    std::vector<std::string> commands_from(double since) {
        std::vector<std::string> out;
        for (const auto& [time, command] : sim.cm6k6().history())
            if (time >= since)
                out.push_back(command);
        return out;
    }
    // The kill "!K" with the GO's axes as a comma list, as the controller records it (an
    // immediate command, without its "!"): "GO111110" -> "K1,1,1,1,1,0".
    static std::string kill_of(const std::string& go) {
        std::string kill = "K";
        for (std::size_t i = 2; i < go.size(); ++i)
            kill += std::string(i > 2 ? "," : "") + go[i];
        return kill;
    }

    std::unique_ptr<StopPressClock> finger;
};

} // namespace

TEST_P(OperatorStopTest, HaltsTheMotorsSendsNothingMoreAndSaysSo) {
    const Operation& o = GetParam();
    const int panel = prepare(o);
    const int status = o.on_test_panel ? int{TEST_STATUS} : int{MAIN_STATUS};
    const int stop = o.on_test_panel ? int{TEST_STOP} : int{MAIN_STOP};
    const std::size_t log_before = run_log().size();
    const std::size_t plots_before = op.plots().size();
    EXPECT_TRUE(op.dimmed(panel, stop));
    platform_use_clock(finger.get());

    op.press(panel, o.control);

    ASSERT_GE(finger->pressed_at, 0.0) << "no motion started";
    // The kill of the started axes, the drives off, and nothing after them.
    EXPECT_EQ(commands_from(finger->pressed_at),
              (std::vector<std::string>{kill_of(finger->started), "DRIVE000000"}));
    clock.advance(0.5);
    for (int axis = 1; axis <= 5; ++axis)
        EXPECT_FALSE(model().moving(axis, now())) << "axis " << axis;

    EXPECT_EQ(op.texts(panel, status).back(), "Stopped by the operator");
    const std::string appended = run_log().substr(log_before);
    static const std::regex tail(
        R"( \n \d\d:\d\d:\d\d \* Stopped by the operator\n \n  \n \d\d:\d\d:\d\d \* Final )"
        R"(device coordinates \* X = -?\d+\.\d{6} Y = -?\d+\.\d{6} Roll = -?\d+\.\d{6} )"
        R"(Pitch = -?\d+\.\d{6} Yaw = -?\d+\.\d{6}\n \n $)");
    EXPECT_TRUE(std::regex_search(appended, tail)) << appended;
    if (std::string(o.name) == "StepScan") {
        // The starting point was measured before the first move: kept, line and graph.
        EXPECT_NE(appended.find("     0 "), std::string::npos) << appended;
        EXPECT_EQ(op.plots().size(), plots_before + 1);
    }
    // The operation is over: Stop is dimmed again and the next one starts unstopped.
    EXPECT_TRUE(op.dimmed(panel, stop));
    EXPECT_FALSE(platform_stop_requested());
    EXPECT_TRUE(op.unexpected().empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryOperationThatTurnsAMotor, OperatorStopTest,
    ::testing::Values(Operation{"Move", false, MAIN_MOVE, {}},
                      Operation{"Home", false, MAIN_HOME, {0.4, -0.3, 0.2, 0.3, -0.2}},
                      Operation{"StepScan", true, TEST_RUN, {}},
                      Operation{"Repeatability", true, TEST_RUN, {}},
                      Operation{"WorkPoint", true, TEST_WORK_POINT, {}},
                      Operation{"PotZero", true, TEST_GO_ZERO, {0.8, 0.0, 0.0, 0.0, 0.0}},
                      Operation{"Home", true, TEST_GO_HOME, {0.8, 0.0, 0.0, 0.0, 0.0}}),
    [](const ::testing::TestParamInfo<Operation>& info) {
        return std::string(info.param.on_test_panel ? "Bench" : "Main") + info.param.name;
    });
