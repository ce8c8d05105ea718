// The run log's entries: the framing on disk, the coordinates entry, what happens before
// bring-up and when the file cannot be written.
#include "app/shell/run_log.hpp"
#include "app_fixture.hpp"

#include <fstream>
#include <limits>

namespace {

const std::string kLogDir = "C:\\CVI\\Trelwick\\Log";
const std::string kLog = kLogDir + "\\Trelwick_log.001";

class RunLogTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        run_log_reset();
    }
    void TearDown() override {
        run_log_reset();
        AppTest::TearDown();
    }

    // A record whose coordinates are the given five.
    static param_structure at(const coordinates& coord) {
        param_structure param{};
        param.coord = coord;
        return param;
    }
};

} // namespace

TEST_F(RunLogTest, EntriesAreAppendedInTheirFraming) {
    make_program_dir(kLogDir);
    std::ofstream(on_disk(kLog), std::ios::binary) << "header\n";
    write_to_log(kLog, "PROBLEM: CM6K6 is not initialized");
    write_to_log(kLog, "14:03:27 * Cams moved to zero position\n");
    EXPECT_EQ(read_text_file(on_disk(kLog)), "header\n"
                                             " \n PROBLEM: CM6K6 is not initialized \n "
                                             " \n 14:03:27 * Cams moved to zero position\n \n ");
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(RunLogTest, NoPathDropsTheEntrySilently) {
    write_to_log("", "PROBLEM: HP34970 is not initialized");
    cam_move_log_motion_data("Final coordinates", at({0, 0, 0, 0, 0}));
    EXPECT_TRUE(op.popups().empty());
    EXPECT_TRUE(std::filesystem::is_empty(drive_root));
}

TEST_F(RunLogTest, AFileThatWillNotOpenIsReportedAndTheEntryLost) {
    // The log directory is missing.
    op.answer_confirm(true);
    write_to_log(kLog, "METER: HP34970");
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[0].message,
              "Error in Unable to open log file. Check error code # 1. Continue?");
    EXPECT_FALSE(std::filesystem::exists(on_disk(kLog)));
}

TEST_F(RunLogTest, CoordinatesEntryGoesToTheMotionLogWithTimeAndSixDecimals) {
    make_program_dir(kLogDir);
    motion_log_path() = kLog;
    log_path() = kLogDir + "\\operator.dat"; // the data file is not where the entry goes
    clock.set_wall_time({2026, 12, 7, 9, 5, 3});
    cam_move_log_motion_data("Initial position coordinates",
                             at({0.0001, -0.00025, 0.0012345678, 1.5, -0.0000004}));
    const std::string text = "09:05:03 * Initial position coordinates * X = 0.000100 "
                             "Y = -0.000250 Roll = 0.001235 Pitch = 1.500000 Yaw = -0.000000\n";
    EXPECT_EQ(log_line(), text);
    EXPECT_EQ(read_text_file(on_disk(kLog)), " \n " + text + " \n ");
    EXPECT_FALSE(std::filesystem::exists(on_disk(log_path())));
}

TEST_F(RunLogTest, ACoordinateThatIsNotANumberIsWrittenAsSuch) {
    make_program_dir(kLogDir);
    motion_log_path() = kLog;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    cam_move_log_motion_data(" ", at({nan, 0.0, nan, 0.0, 0.0}));
    EXPECT_EQ(read_text_file(on_disk(kLog)),
              " \n 14:03:27 *   * X = nan Y = 0.000000 Roll = nan Pitch = 0.000000 "
              "Yaw = 0.000000\n \n ");
}

TEST_F(RunLogTest, ResetForgetsEveryPath) {
    log_path() = "a";
    motion_log_path() = "b";
    log_line() = "c";
    run_log_reset();
    EXPECT_TRUE(log_path().empty());
    EXPECT_TRUE(motion_log_path().empty());
    EXPECT_TRUE(log_line().empty());
}
