// Stop at every moment that matters, on the simulated stage in virtual time, over the
// simulated serial line (bytes take their time to go out; an output flush discards what
// has not). The operator presses Stop (from the front end's thread, as
// platform_request_stop) at one moment of an operation: before the drives are on, between
// drives-on and GO, just after GO, in the motion poll, at the motion-end question, while
// the held replies of a motion's end are still arriving, in a bench run's wait, while a
// Move reopens the controller. The controller then gets exactly the commands that stop
// what was started (the kill of the started axes, then the drives off; only the drives off
// when nothing turns; nothing when the drives are off), the first of them within one
// settle of the press; no cam turns afterwards; the status line and the run log say
// "Stopped by the operator", the log followed by the coordinates read afterwards. A
// test-bench run keeps the points measured before. Every case runs under both wait
// profiles: the fast waits' handshakes (queries that change nothing) aside, the halt is
// the same.
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/wait_profile.hpp"
#include "platform/operator_thread.hpp"
#include "testbench/bench_state.hpp"
#include "testbench_sim_fixture.hpp"

#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr double kSettle = 0.6; // the controller driver's wait after every command

enum class Moment {
    BeforeDrivesOn,   // the operation's first controller command has run
    DrivesOnBeforeGo, // a drive was switched on, no GO yet
    JustAfterGo,      // 0.05 s after the GO ran
    MotionPoll,       // 1.5 s after the WAIT ran: the poll's WRITEs are held behind it
    Question,         // while the motion-end question is up (the motion never ends)
    LateReplies,      // the motion has ended; its held YES replies are still arriving
    Wait,             // `at` seconds into the operation (a bench run's event wait)
    Reopen,           // the Move is bringing the controller up again: just after !RESET
};

// What the controller runs after the press.
enum class Halt { KillAndDrivesOff, DrivesOff, Nothing };

struct Case {
    const char* name;
    bool on_test_panel;
    int control;
    Moment moment;
    Halt halt;
    std::vector<double> cams = {}; // where the cams stand before, radians
    double at = 0.0;               // Moment::Wait: seconds after the press of the control
    double interval = 0.0;         // bench settings
    double random = 0.0;
};

// The operator's finger: a clock over the fixture's own that presses Stop once the
// controller's history (from `since` on) shows the case's moment.
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
    // After the press, reading the clock takes a little time, as on a machine: a loop
    // that polls the clock without ever waiting (a motion poll that no longer halts) then
    // runs into its bound in virtual time instead of spinning at one instant for ever.
    double now_seconds() override {
        if (pressed_at >= 0.0)
            inner_.delay(kClockRead);
        return inner_.now_seconds();
    }
    void pass_event_wait(double seconds) override {
        inner_.pass_event_wait(seconds);
        watch();
    }
    double real_wait_seconds(double seconds) override { return inner_.real_wait_seconds(seconds); }

    void arm(Moment moment, double started, double at) {
        moment_ = moment;
        started_ = started;
        at_ = at;
        sim_.advance(started);
        since_ = sim_.cm6k6().history().size();
    }
    void press() {
        pressed_at = inner_.now_seconds();
        platform_request_stop();
    }

    double pressed_at = -1.0;

private:
    static constexpr double kClockRead = 1e-4;
    // The time the first command from `since_` on that starts with `prefix` ran, or -1.
    double ran(const std::string& prefix) const {
        const auto& h = sim_.cm6k6().history();
        for (std::size_t i = since_; i < h.size(); ++i)
            if (h[i].second.rfind(prefix, 0) == 0)
                return h[i].first;
        return -1.0;
    }
    bool drive_on() const {
        const auto& h = sim_.cm6k6().history();
        for (std::size_t i = since_; i < h.size(); ++i)
            if (h[i].second.rfind("DRIVE", 0) == 0 && h[i].second.find('1') != std::string::npos)
                return true;
        return false;
    }
    bool due() const {
        const double now = inner_.now_seconds();
        switch (moment_) {
        case Moment::BeforeDrivesOn:
            return sim_.cm6k6().history().size() > since_;
        case Moment::DrivesOnBeforeGo:
            return drive_on() && ran("GO") < 0.0;
        case Moment::JustAfterGo:
            return ran("GO") >= 0.0 && now >= ran("GO") + 0.05;
        case Moment::MotionPoll:
            return ran("WAIT") >= 0.0 && now >= ran("WAIT") + 1.5;
        case Moment::LateReplies:
            return ran("WRITE\"YES\"") >= 0.0;
        case Moment::Wait:
            return now >= started_ + at_;
        case Moment::Reopen:
            return ran("RESET") >= 0.0;
        case Moment::Question:
            return false; // pressed by the answer to the question
        }
        return false;
    }
    void watch() {
        if (pressed_at >= 0.0 || !platform_stoppable())
            return;
        sim_.advance(inner_.now_seconds()); // the controller's history up to now
        if (due())
            press();
    }
    ClockBackend& inner_;
    SimStage& sim_;
    Moment moment_ = Moment::Question;
    double started_ = 0.0;
    double at_ = 0.0;
    std::size_t since_ = 0;
};

class OperatorStopTest : public BenchSimTest,
                         public ::testing::WithParamInterface<std::tuple<Case, WaitProfile>> {
protected:
    void SetUp() override {
        BenchSimTest::SetUp();
        set_wait_profile(std::get<1>(GetParam()));
        finger = std::make_unique<StopPressClock>(platform_clock(), sim);
    }
    // Brings the instruments up on the case's panel; its panel.
    int prepare(const Case& c) {
        int panel = main;
        if (c.on_test_panel) {
            bring_up({.cam = 1,
                      .gage_channel = 1,
                      .points = 3,
                      .step = 30.0,
                      .interval = c.interval,
                      .random = c.random});
            panel = test;
        } else {
            op.press(main, MAIN_INIT);
            op.type_value(main, MAIN_MOVE_MODE, 1LL);
            op.type_value(main, MAIN_TARGET_X, 0.0005);
        }
        if (!c.cams.empty())
            place_cams({c.cams[0], c.cams[1], c.cams[2], c.cams[3], c.cams[4]});
        return panel;
    }
    // The controller's commands from `since` on, with the time each ran.
    std::vector<CommandHistory::Entry> commands_from(double since) {
        sim.advance(now());
        std::vector<CommandHistory::Entry> out;
        for (const auto& entry : sim.cm6k6().history())
            if (entry.first >= since)
                out.push_back(entry);
        return out;
    }
    // The axes of the last GO before `time`, as the kill names them ("GO111110" ->
    // "K1,1,1,1,1,0", the immediate command as the controller records it).
    std::string kill_before(double time) {
        std::string go;
        for (const auto& [at, command] : sim.cm6k6().history())
            if (at < time && command.rfind("GO", 0) == 0)
                go = command;
        std::string kill = "K";
        for (std::size_t i = 2; i < go.size(); ++i)
            kill += std::string(i > 2 ? "," : "") + go[i];
        return kill;
    }

    std::unique_ptr<StopPressClock> finger;
};

} // namespace

TEST_P(OperatorStopTest, HaltsWhatWasStartedAtOnceSendsNothingMoreAndSaysSo) {
    const Case& c = std::get<0>(GetParam());
    const int panel = prepare(c);
    const int status = c.on_test_panel ? int{TEST_STATUS} : int{MAIN_STATUS};
    const int stop = c.on_test_panel ? int{TEST_STOP} : int{MAIN_STOP};
    if (c.moment == Moment::Question) {
        // The motion never ends: the wait asks whether to go on, and the operator presses
        // Stop while the question is up, then answers Yes as the question offers.
        for (bool& never : stage_faults().motion_never_ends)
            never = true;
        op.answer_after(PopupKind::Confirm, 1, [this] { finger->press(); });
    }
    if (c.moment == Moment::Reopen)
        shared_device_ids().cm6k6 = 0; // the controller must be brought up again
    const std::size_t log_before = run_log().size();
    const std::size_t plots_before = op.plots().size();
    EXPECT_TRUE(op.dimmed(panel, stop));
    finger->arm(c.moment, now(), c.at);
    platform_use_clock(finger.get());

    op.press(panel, c.control);

    ASSERT_GE(finger->pressed_at, 0.0) << "the moment never came";
    static const std::regex handshake(R"re(WRITE"H\d{1,3}")re");
    std::vector<CommandHistory::Entry> after;
    for (const auto& entry : commands_from(finger->pressed_at))
        if (!std::regex_match(entry.second, handshake))
            after.push_back(entry);
    std::vector<std::string> sent;
    for (const auto& entry : after)
        sent.push_back(entry.second);
    switch (c.halt) {
    case Halt::KillAndDrivesOff:
        EXPECT_EQ(sent, (std::vector<std::string>{kill_before(finger->pressed_at), "DRIVE000000"}));
        break;
    case Halt::DrivesOff:
        EXPECT_EQ(sent, std::vector<std::string>{"DRIVE000000"});
        break;
    case Halt::Nothing:
        EXPECT_EQ(sent, std::vector<std::string>{});
        break;
    }
    // The first command of the halt runs within one settle of the press.
    if (!after.empty()) {
        EXPECT_LE(after.front().first - finger->pressed_at, kSettle);
    }
    // The operation's waits are over: the stage is read again (the data-acquisition unit's
    // first command after the press) within two settles of the press, not after a bench
    // run's interval or the controller's reset.
    double reading = -1.0;
    for (const auto& [at, command] : sim.hp34970().history())
        if (at >= finger->pressed_at) {
            reading = at;
            break;
        }
    EXPECT_GE(reading, 0.0);
    EXPECT_LE(reading - finger->pressed_at, 2 * kSettle);
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
    if (std::string(c.name) == "StepScanJustAfterGo") {
        // The starting point was measured before the first move: kept, line and graph.
        EXPECT_NE(appended.find("     0 "), std::string::npos) << appended;
        EXPECT_EQ(op.plots().size(), plots_before + 1);
    }
    // No false report of the controller's state (a stopped query is not its error).
    EXPECT_EQ(console.output().find("Error executing command"), std::string::npos)
        << console.output();
    // The operation is over: Stop is dimmed again and the next one starts unstopped.
    EXPECT_TRUE(op.dimmed(panel, stop));
    EXPECT_FALSE(platform_stop_requested());
    EXPECT_TRUE(op.unexpected().empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryMomentThatMatters, OperatorStopTest,
    ::testing::Combine(
        ::testing::Values(
            // Main panel: Move and Home.
            Case{"MoveBeforeDrivesOn", false, MAIN_MOVE, Moment::BeforeDrivesOn, Halt::Nothing},
            Case{"MoveDrivesOnBeforeGo", false, MAIN_MOVE, Moment::DrivesOnBeforeGo,
                 Halt::DrivesOff},
            Case{"MoveJustAfterGo", false, MAIN_MOVE, Moment::JustAfterGo, Halt::KillAndDrivesOff},
            Case{"MoveMotionPoll", false, MAIN_MOVE, Moment::MotionPoll, Halt::KillAndDrivesOff},
            Case{"MoveQuestion", false, MAIN_MOVE, Moment::Question, Halt::KillAndDrivesOff},
            Case{"MoveLateReplies", false, MAIN_MOVE, Moment::LateReplies, Halt::KillAndDrivesOff},
            Case{"MoveReopen", false, MAIN_MOVE, Moment::Reopen, Halt::Nothing},
            Case{"HomeJustAfterGo",
                 false,
                 MAIN_HOME,
                 Moment::JustAfterGo,
                 Halt::KillAndDrivesOff,
                 {0.4, -0.3, 0.2, 0.3, -0.2}},
            // Test bench: a cam alone.
            Case{"StepScanDrivesOnBeforeGo", true, TEST_RUN, Moment::DrivesOnBeforeGo,
                 Halt::DrivesOff},
            Case{"StepScanJustAfterGo", true, TEST_RUN, Moment::JustAfterGo,
                 Halt::KillAndDrivesOff},
            Case{"StepScanMotionPoll", true, TEST_RUN, Moment::MotionPoll, Halt::KillAndDrivesOff},
            Case{"RepeatabilityJustAfterGo",
                 true,
                 TEST_RUN,
                 Moment::JustAfterGo,
                 Halt::KillAndDrivesOff,
                 {},
                 0.0,
                 0.0,
                 1.0},
            Case{"TimedSeriesWait", true, TEST_RUN, Moment::Wait, Halt::Nothing, {}, 15.0, 60.0},
            Case{"AngleWatchWait", true, TEST_SET_ANGLE, Moment::Wait, Halt::Nothing, {}, 3.0},
            Case{"WorkPointJustAfterGo", true, TEST_WORK_POINT, Moment::JustAfterGo,
                 Halt::KillAndDrivesOff},
            Case{"PotZeroJustAfterGo",
                 true,
                 TEST_GO_ZERO,
                 Moment::JustAfterGo,
                 Halt::KillAndDrivesOff,
                 {0.8, 0.0, 0.0, 0.0, 0.0}},
            Case{"BenchHomeJustAfterGo",
                 true,
                 TEST_GO_HOME,
                 Moment::JustAfterGo,
                 Halt::KillAndDrivesOff,
                 {0.8, 0.0, 0.0, 0.0, 0.0}}),
        ::testing::Values(WaitProfile::designed, WaitProfile::fast)),
    [](const ::testing::TestParamInfo<std::tuple<Case, WaitProfile>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == WaitProfile::fast ? "Fast" : "");
    });
