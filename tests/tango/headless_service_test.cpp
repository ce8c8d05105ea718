// The device server's command and state logic without TANGO: the headless panel and the
// stage service on the simulated stage in virtual time, the operations on their operator
// thread, driven as the control system drives them.
#include "app/main_panel.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "headless/stage_service.hpp"
#include "sim_stage_fixture.hpp"
#include "stage/coordinate_exchange.hpp"
#include "station_state.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

namespace {

constexpr double kArrival = 5e-6; // the simulated potentiometers' resolution of a move
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class HeadlessServiceTest : public SimStageTest {
protected:
    void SetUp() override {
        SimStageTest::SetUp();
        reset_station_state();
        make_program_dir("C:\\CVI\\Trelwick\\Log");
        platform_use_panels(&panel);
        platform_use_console(&panel);
        platform_use_operator_thread(&thread);
        thread.start([] { return WinMain(); });
    }
    void TearDown() override {
        service.stop();
        thread.post([] { QuitUserInterface(0); });
        thread.join();
        platform_use_operator_thread(nullptr);
        reset_station_state();
        SimStageTest::TearDown();
    }

    // Waits (wall clock, bounded) until the state is `wanted`.
    void wait_for(StageState wanted) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (view.state() != wanted && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(stage_state_name(view.state()), std::string(stage_state_name(wanted)));
    }
    // Waits for the operation to end in `wanted`.
    void settle(StageState wanted) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((view.state() == StageState::Moving || view.state() == StageState::Alarm) &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(stage_state_name(view.state()), std::string(stage_state_name(wanted)))
            << view.snapshot().status;
    }
    void bring_up() {
        ASSERT_TRUE(service.bring_up().accepted);
        settle(StageState::On);
    }
    std::size_t wire_commands() {
        sim.advance(now());
        return sim.cm6k6().history().size() + sim.ev16p().history().size() +
               sim.hp34970().history().size();
    }
    static void expect_refused(const CommandResult& result, const char* why) {
        EXPECT_FALSE(result.accepted);
        EXPECT_EQ(result.refusal, why);
    }
    std::string status() const { return view.snapshot().status; }
    // The commands the controller received, from now on.
    void watch_controller() {
        sim.advance(now());
        sim.cm6k6().set_history_limit(100000);
        sim.cm6k6().clear_history();
    }
    std::vector<std::string> controller_commands() {
        sim.advance(now());
        std::vector<std::string> commands;
        for (const auto& [time, command] : sim.cm6k6().history())
            commands.push_back(command);
        return commands;
    }

    StageView view;
    HeadlessPanel panel{view};
    OperatorThread thread;
    StageService service{view, panel, thread};
};

TEST_F(HeadlessServiceTest, RunsTheWindowsOperationsAndRefusesWhatTheWindowWould) {
    EXPECT_EQ(view.state(), StageState::Off);
    EXPECT_TRUE(std::isnan(view.snapshot().coordinates[0])); // nothing measured yet
    const std::vector<double> target{0.0005, 0.0, 0.0, 0.0, 0.0};
    expect_refused(service.move(target), kNotBroughtUpText);

    bring_up();
    EXPECT_EQ(status(), "Devices are ready");
    EXPECT_LT(std::fabs(view.snapshot().coordinates[0]), kArrival);

    // Targets the coordinate box refuses: nothing is queued, nothing goes on the wire.
    const std::size_t before = wire_commands();
    expect_refused(service.move(std::vector<double>{kNaN, 0, 0, 0, 0}), kValueOutOfRangeText);
    expect_refused(service.move(std::vector<double>{0, 0.0011, 0, 0, 0}), kValueOutOfRangeText);
    expect_refused(service.move_relative(std::vector<double>{0, 0, 0, 0, 1.6}),
                   kValueOutOfRangeText);
    expect_refused(service.move(std::vector<double>{0, 0, 0, 0}), kFiveValuesText);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(wire_commands(), before);
    EXPECT_EQ(view.state(), StageState::On);

    // While an operation runs (the operator thread held for the test), only Stop, Confirm
    // and Refuse are taken.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    thread.post([released] { released.wait(); });
    ASSERT_TRUE(service.move(target).accepted);
    EXPECT_EQ(view.state(), StageState::Moving);
    expect_refused(service.home(), kOperationRunningText);
    expect_refused(service.bring_up(), kOperationRunningText);
    expect_refused(service.confirm(), kNoQuestionText);
    release.set_value();
    settle(StageState::On);
    EXPECT_EQ(status(), "Done");
    EXPECT_NEAR(view.snapshot().coordinates[0], 0.0005, kArrival);
    EXPECT_EQ(view.snapshot().target, (StageFive{0.0005, 0.0, 0.0, 0.0, 0.0}));

    // The relative target is the present position plus the difference.
    ASSERT_TRUE(service.move_relative(std::vector<double>{-0.0003, 0, 0, 0, 0}).accepted);
    settle(StageState::On);
    EXPECT_NEAR(view.snapshot().coordinates[0], 0.0002, kArrival);
    EXPECT_NEAR(view.snapshot().target[0], 0.0002, kArrival);

    ASSERT_TRUE(service.home().accepted);
    settle(StageState::On);
    EXPECT_EQ(status(), "All cams are in Home position");
    for (int cam = 1; cam <= 5; ++cam)
        EXPECT_LT(std::fabs(cam_angle(cam)), 1e-5) << "cam " << cam; // the potentiometer zero
    EXPECT_EQ(view.snapshot().target, StageFive{});
}

TEST_F(HeadlessServiceTest, QuestionsAreRefusedOrAskedButNeverAnsweredYesAlone) {
    bring_up();
    const std::string question = "Danger Operation: All gages will be set to ZERO.Continue?";

    // refuse (the default): the safe answer at once, said in Status and the run log.
    ASSERT_TRUE(service.zero_gauges().accepted);
    settle(StageState::On);
    const std::string refused =
        question + " - answered Reset by the device server (Questions = refuse)";
    EXPECT_EQ(status(), "Devices are ready\n" + refused);
    EXPECT_NE(read_text_file(on_disk(log_path())).find(" * " + refused + "\n \n "),
              std::string::npos);
    EXPECT_TRUE(sim.ev16p().history().empty()); // nothing was zeroed

    // ask: ALARM with the question until the control system answers.
    panel.set_questions({QuestionPolicy::Ask, 60.0});
    ASSERT_TRUE(service.zero_gauges().accepted);
    wait_for(StageState::Alarm);
    EXPECT_EQ(view.snapshot().question, question);
    EXPECT_EQ(status(), "Devices are ready\n" + question);
    expect_refused(service.read_position(), kOperationRunningText);
    ASSERT_TRUE(service.confirm().accepted);
    settle(StageState::On);
    EXPECT_EQ(status(), "All gages are set to zero\n" + question + " - answered Yes by Confirm");
    EXPECT_FALSE(sim.ev16p().history().empty());

    // No answer within the time-out is a refusal.
    panel.set_questions({QuestionPolicy::Ask, 0.05});
    ASSERT_TRUE(service.zero_gauges().accepted);
    settle(StageState::On);
    EXPECT_EQ(status(), "All gages are set to zero\n" + question +
                            " - answered Reset as no answer came within 0.05 s");
}

TEST_F(HeadlessServiceTest, ABringUpWithoutItsRunLogFolderIsAFaultThatSaysWhatToDo) {
    const std::string log_dir = on_disk("C:\\CVI\\Trelwick\\Log").string();
    std::filesystem::remove_all(log_dir);
    ASSERT_TRUE(service.bring_up().accepted);
    settle(StageState::Fault);
    EXPECT_EQ(status(), "Devices not initialised: the run-log folder is missing\n"
                        "Init Error: The run-log folder C:\\CVI\\Trelwick\\Log (" +
                            log_dir +
                            ") does not exist. Create it, or give the program the drive root "
                            "that holds it: it is " +
                            platform_drive_root() +
                            " (XDG_DATA_HOME or HOME set it; --simulate uses the simulated "
                            "stage's). No instrument was opened.");
    EXPECT_EQ(wire_commands(), 0u);

    // With the folder made, the next bring-up brings the stage up.
    make_program_dir("C:\\CVI\\Trelwick\\Log");
    bring_up();
}

TEST_F(HeadlessServiceTest, ABringUpWithoutItsInstrumentsIsAFaultUntilTheNextOne) {
    LinkGpibBackend empty_bus; // nothing at the data-acquisition unit's address
    platform_use_gpib(&empty_bus);
    ASSERT_TRUE(service.bring_up().accepted);
    settle(StageState::Fault);
    // The pop-up's text, and under it what was tried, why it failed and what to do.
    EXPECT_EQ(status(), "Initialization HP34970...\n"
                        "Init Error: Error in device init (Tried: GPIB 1:9 -> the simulated "
                        "stage in this program; Reason: nothing at this address; To do: the "
                        "simulated stage serves no GPIB unit)");
    expect_refused(service.home(), kNotBroughtUpText);

    platform_use_gpib(&gpib);
    bring_up();

    // TANGO's Init while an operation waits in the queue: it is stopped when it starts,
    // and the instruments are closed when it has ended, not in the middle of it; then OFF
    // with nothing measured.
    watch_controller();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    thread.post([released] { released.wait(); });
    ASSERT_TRUE(service.home().accepted);
    service.close_instruments(0.01);
    EXPECT_EQ(view.state(), StageState::Moving);
    release.set_value();
    wait_for(StageState::Off);
    for (const std::string& command : controller_commands())
        EXPECT_EQ(command.find("GO"), std::string::npos) << command;
    EXPECT_EQ(read_text_file(on_disk(log_path())).find("Cams moved to zero position"),
              std::string::npos);
    EXPECT_EQ(shared_device_ids().hp34970, 0);
    EXPECT_EQ(shared_device_ids().cm6k6, 0);
    EXPECT_TRUE(std::isnan(view.snapshot().coordinates[0]));
    expect_refused(service.read_gauges(), kNotBroughtUpText);
}

// The control system's Stop right after Move or Home, while the operation waits in the
// queue: it is stopped every time before any motor turns, and the device is left ready (a
// press that outlived its operation would refuse every controller command after it, and
// the next bring-up with them). The operator thread is held while the two commands come,
// as a busy one would be: in virtual time an operation left to run could end before the
// Stop on a loaded machine. A press while the operation is starting is the operator
// thread's own test.
TEST_F(HeadlessServiceTest, AStopRightAfterMoveOrHomeStopsItEveryTime) {
    bring_up();
    watch_controller();
    const std::vector<double> target{0.0005, 0.0, 0.0, 0.0, 0.0};
    int stopped = 0;
    for (int i = 0; i < 100; ++i)
        for (const bool move : {true, false}) {
            std::promise<void> release;
            thread.post([held = release.get_future().share()] { held.wait(); });
            ASSERT_TRUE((move ? service.move(target) : service.home()).accepted);
            service.stop();
            release.set_value();
            settle(StageState::On);
            stopped += status() == "Stopped by the operator";
        }
    EXPECT_EQ(stopped, 200);
    for (const std::string& command : controller_commands())
        EXPECT_EQ(command.find("GO"), std::string::npos) << command;
    EXPECT_LT(std::fabs(view.snapshot().coordinates[0]), kArrival); // where it started

    // A Stop with nothing running or queued stops nothing later.
    service.stop();
    ASSERT_TRUE(service.move(target).accepted);
    settle(StageState::On);
    EXPECT_EQ(status(), "Done");
    EXPECT_NEAR(view.snapshot().coordinates[0], 0.0005, kArrival);
    service.close_instruments(30.0);
    bring_up();
    EXPECT_EQ(status(), "Devices are ready");
}

// A question the stopped operation would ask is not put to the control system: a Move to
// an unreachable target, stopped as it is queued, ends at once instead of waiting in
// ALARM for an answer; and a question already waiting when the Stop comes ends with it.
TEST_F(HeadlessServiceTest, AStoppedOperationAsksNothing) {
    bring_up();
    panel.set_questions({QuestionPolicy::Ask, 5.0});
    ASSERT_TRUE(service.move(std::vector<double>{0, 0.001, 0, 0, 0}).accepted);
    service.stop();
    settle(StageState::On);
    EXPECT_EQ(status(), "Stopped by the operator");
    EXPECT_EQ(read_text_file(on_disk(log_path())).find("Unreachable"), std::string::npos);

    EXPECT_EQ(view.ask("A question", 30.0, [] { return true; }), StageView::Answer::Cancelled);
}

} // namespace
