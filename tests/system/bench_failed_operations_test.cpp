// Test-bench operations that cannot do their work say which part failed and log nothing
// that claims success, on the simulated stage.
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "testbench_sim_fixture.hpp"

#include <cmath>
#include <string>
#include <vector>

namespace {

class BenchFailedOperationsTest : public BenchSimTest {
protected:
    int moves() {
        int count = 0;
        for (const auto& [time, command] : sim.cm6k6().history())
            count += command.rfind("GO", 0) == 0 ? 1 : 0;
        return count;
    }
};

} // namespace

TEST_F(BenchFailedOperationsTest, PotZeroAndHomeSayWhatFailedAndLogNothing) {
    bring_up({});
    op.clear_records();
    const std::string log = run_log();
    // The cam's angle cannot be measured: nothing moves.
    stage_faults().reference_lost = true;
    op.press(test, TEST_GO_ZERO);
    op.press(test, TEST_GO_HOME);
    EXPECT_EQ(op.texts(test, TEST_STATUS),
              (std::vector<std::string>{
                  "Go to Pot zero position", "Pot zero failed: the cam angle was not measured",
                  "Go to Pot home position", "Homing failed: the cam angle was not measured"}));
    // The controller closed at an "ERROR" No: the move is refused.
    stage_faults().reference_lost = false;
    op.answer_confirm(false);
    cam_move_error_handling(1, "Unable to open log file");
    op.clear_records();
    op.answer_message();
    op.press(test, TEST_GO_ZERO);
    EXPECT_EQ(op.popups().back().message, "The CM6K6 is not open: no motor is moved.");
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Pot zero failed: the cam did not move");
    EXPECT_EQ(run_log(), log);
}

// A random move that could not be made stops the run: no line for it.
TEST_F(BenchFailedOperationsTest, RepeatabilityTestStopsAtTheFirstMoveNotMade) {
    bring_up({.random = 1.0});
    const std::string log = run_log();
    stage_faults().reference_lost = true;
    sim.cm6k6().clear_history();
    op.press(test, TEST_RUN);
    EXPECT_EQ(moves(), 0);
    EXPECT_EQ(run_log(), log);
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Test run stopped");
}

TEST_F(BenchFailedOperationsTest, ZeroGaugeThatFailedShowsNoZero) {
    bring_up({});
    sim.ev16p().faults().reply = ReplyFault::silent;
    op.answer_confirm(false);
    op.press(test, TEST_ZERO);
    EXPECT_TRUE(std::isnan(op.value_double(test, TEST_POSITION)));
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "Position not set to zero");
}

// The run settings start at the test defaults, so the first search after a bring-up
// without typing works on cam 1.
TEST_F(BenchFailedOperationsTest, TheRunSettingsShowTheTestDefaults) {
    open_test_panel();
    EXPECT_EQ(op.value_int(test, TEST_CAM), 1);
    EXPECT_EQ(op.value_int(test, TEST_GAGE_CHANNEL), 1);
    EXPECT_EQ(op.value_int(test, TEST_POINTS), 1);
    op.press(test, TEST_INIT);
    EXPECT_EQ(shared_param().test_axis, 1);
    EXPECT_EQ(shared_param().gage_channel, 1);
}

// With the moves logged to a data file, the bench's bring-up leaves the run log the run
// log: its entries do not go to the data file.
TEST_F(BenchFailedOperationsTest, TheBenchsEntriesGoToTheRunLogBesideADataFile) {
    const std::string data_file = "C:\\CVI\\Trelwick\\Log\\bench.dat";
    op.type_value(main, MAIN_LOG_TO_FILE, 1LL);
    op.answer_message();
    op.answer(PopupKind::FileSelect, VAL_NEW_FILE_SELECTED, data_file);
    op.answer(PopupKind::Prompt, 1, "bench");
    open_test_panel();
    type_settings({});
    op.press(test, TEST_INIT);
    op.press(test, TEST_GO_ZERO);
    EXPECT_EQ(motion_log_path(), kRunLog);
    EXPECT_NE(run_log().find(" * Cams moved to zero position"), std::string::npos);
    EXPECT_EQ(read_text_file(on_disk(data_file)), "12-07-2026 bench");
}

// A scan the gauge does not follow (channel 6 follows no cam) fits no amplitude worth
// moving to: the operator is asked, with the amplitude and the eccentricity.
TEST_F(BenchFailedOperationsTest, AFlatScanAsksBeforeMovingToItsWorkPoint) {
    bring_up({.gage_channel = 6});
    sim.cm6k6().clear_history();
    op.answer_confirm(false);
    op.press(test, TEST_WORK_POINT);
    ASSERT_FALSE(op.popups().empty());
    const PopupRecord& asked = op.popups().back();
    EXPECT_EQ(asked.title, "Work point");
    EXPECT_NE(asked.message.find("below a tenth of the cam's eccentricity 0.000741"),
              std::string::npos)
        << asked.message;
    EXPECT_EQ(moves(), 20); // the scan only
    EXPECT_EQ(op.texts(test, TEST_STATUS).back(), "No work point");
}
