// A test-bench run on a disk that fills: each line the disk will not take is said, the
// run goes on, and the run log keeps whole lines only.
#include "app/shell/panel_ids.hpp"
#include "platform/files.hpp"
#include "testbench_sim_fixture.hpp"

namespace {

using BenchDiskFaultsTest = BenchSimTest;

} // namespace

TEST_F(BenchDiskFaultsTest, ATimedSeriesOnAFullDiskSaysEachLostLineAndKeepsTheLogWhole) {
    bring_up({});
    const std::string before = run_log();
    platform_files_inject_fault(FileFault::disk_full, 10);
    for (int i = 0; i < 2; ++i)
        op.answer_confirm(true);
    type_settings({.points = 2, .interval = 1.0});
    ASSERT_EQ(op.press(test, TEST_RUN), 0);
    // Two points lost, the first with its temperature column: nothing of either is left.
    ASSERT_EQ(op.popups().size(), 2u);
    for (const auto& p : op.popups()) {
        EXPECT_EQ(p.title, "ERROR");
        EXPECT_EQ(p.message, "Error in Unable to open log file. Check error code # 1. Continue?");
    }
    EXPECT_EQ(run_log(), before);
}
