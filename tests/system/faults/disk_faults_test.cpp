// The run log on a disk that fails: a read-only log folder and a full disk, at bring-up
// and during a Move, on the simulated stage; and the instrument check's folder rows. The files
// backend fails as the disk would, so the tests hold when they run as root.
#include "app/instrument_check.hpp"
#include "app/shell/panel_ids.hpp"
#include "platform/files.hpp"
#include "station_sim_fixture.hpp"

#include <filesystem>

namespace {

const std::string kLostEntry = "Error in Unable to open log file. Check error code # 1. Continue?";

class DiskFaultsTest : public StationSimTest {
protected:
    // The titles and texts of the pop-ups so far, one line each.
    std::vector<std::string> popup_lines() const {
        std::vector<std::string> lines;
        for (const auto& p : op.popups())
            lines.push_back(p.title + ": " + p.message);
        return lines;
    }
    // Nothing has been said to any instrument.
    bool instruments_untouched() {
        return sim.cm6k6().history().empty() && sim.hp34970().history().empty() &&
               sim.ev16p().history().empty();
    }
    // A relative Move of X by 0.0005.
    void move_x() {
        op.type_value(main, MAIN_MOVE_MODE, 0LL);
        type_target(0, 0.0005);
        ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    }
};

} // namespace

TEST_F(DiskFaultsTest, AReadOnlyLogFolderStopsBringUpBeforeAnyInstrumentAndSaysWhy) {
    platform_files_inject_fault(FileFault::read_only);
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), -1);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "Init Error");
    EXPECT_EQ(op.popups()[0].message,
              "The run-log folder C:\\CVI\\Trelwick\\Log (" + on_disk(kStationLogDir).string() +
                  ") cannot be written by this user.\nLet this user write there (the folder's "
                  "owner and permissions), or give the program the drive root that holds it: it "
                  "is " +
                  platform_drive_root() +
                  " (XDG_DATA_HOME or HOME set it; --simulate uses the simulated stage's).\nNo "
                  "instrument was opened.");
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              std::vector<std::string>{"Devices not initialised: the run log cannot be written"});
    EXPECT_TRUE(instruments_untouched());
    EXPECT_FALSE(
        std::filesystem::exists(on_disk(std::string(kStationLogDir) + "\\" + run_log_name(1))));
    EXPECT_FALSE(op.dimmed(main, MAIN_INIT));
    EXPECT_TRUE(op.dimmed(main, MAIN_MOVE));
}

TEST_F(DiskFaultsTest, AFullDiskAtBringUpAsksOnceForEachLostPartAndStillBringsTheStageUp) {
    platform_files_inject_fault(FileFault::disk_full, 0);
    for (int i = 0; i < 4; ++i)
        op.answer_confirm(true);
    ASSERT_EQ(op.press(main, MAIN_INIT), 0);
    // The header, the stage's name, the ready entry and the initial coordinates are each
    // lost and said so.
    EXPECT_EQ(popup_lines(), std::vector<std::string>(4, "ERROR: " + kLostEntry));
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Devices are ready");
    EXPECT_FALSE(op.dimmed(main, MAIN_MOVE));
    // The run log was created and holds nothing, not a part of a line.
    EXPECT_TRUE(
        std::filesystem::exists(on_disk(std::string(kStationLogDir) + "\\" + run_log_name(1))));
    EXPECT_EQ(run_log(), "");
}

TEST_F(DiskFaultsTest, ADiskThatFillsDuringAMoveLosesWholeEntriesOnlyAndTheMoveGoesOn) {
    bring_up();
    const std::string before = run_log();
    // Room for a part of the first entry only: what was written of it is taken back.
    platform_files_inject_fault(FileFault::disk_full, 40);
    for (int i = 0; i < 3; ++i)
        op.answer_confirm(true);
    move_x();
    EXPECT_EQ(popup_lines(), std::vector<std::string>(3, "ERROR: " + kLostEntry));
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Done");
    EXPECT_EQ(run_log(), before);
    EXPECT_NEAR(slot(5), 0.0005, 2e-6);

    // Space again: the next entries follow the old ones directly.
    platform_files_inject_fault(FileFault::none);
    op.clear_records();
    move_x();
    EXPECT_TRUE(op.popups().empty());
    const std::string after = without_entry_times(run_log());
    ASSERT_EQ(after.rfind(without_entry_times(before), 0), 0u);
    const std::string added = after.substr(without_entry_times(before).size());
    EXPECT_EQ(added.rfind(" \n hh:mm:ss * Initial position coordinates * X = 0.000500 Y = ", 0), 0u)
        << added;
}

TEST_F(DiskFaultsTest, ALogFolderTurnedReadOnlyAfterBringUpLosesTheMovesEntriesAndSaysSo) {
    bring_up();
    const std::string before = run_log();
    platform_files_inject_fault(FileFault::read_only);
    for (int i = 0; i < 3; ++i)
        op.answer_confirm(true);
    move_x();
    EXPECT_EQ(popup_lines(), std::vector<std::string>(3, "ERROR: " + kLostEntry));
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Done");
    EXPECT_EQ(run_log(), before);
    EXPECT_NEAR(slot(5), 0.0005, 2e-6);
}

TEST_F(DiskFaultsTest, NoAtTheFirstLostEntryOfAMoveClosesTheInstrumentsAndNoMotorTurns) {
    bring_up();
    const std::string before = run_log();
    platform_files_inject_fault(FileFault::read_only);
    op.answer_confirm(false);
    op.answer_message();
    op.answer_confirm(true);
    op.answer_confirm(true);
    move_x();
    EXPECT_EQ(popup_lines(), (std::vector<std::string>{
                                 "ERROR: " + kLostEntry,
                                 "Move refused: The HP34970 is not open: no motor is moved.",
                                 "ERROR: " + kLostEntry,
                                 "ERROR: " + kLostEntry,
                             }));
    EXPECT_EQ(run_log(), before);
    for (int cam = 1; cam <= 5; ++cam)
        EXPECT_NEAR(cam_angle(cam), 0.0, 1e-9) << "cam " << cam;
    for (const auto& [time, command] : sim.cm6k6().history())
        EXPECT_EQ(command.find("GO"), std::string::npos) << command;
}

TEST_F(DiskFaultsTest, TheInstrumentCheckFailsOnAMissingOrUnwritableFolder) {
    // The three instruments answer; the folders decide.
    InstrumentCheck check = check_instruments();
    EXPECT_EQ(check.failed, 0) << check.report;
    EXPECT_NE(check.report.find("Both folders are in place.\n"), std::string::npos);

    std::filesystem::remove_all(on_disk(kStationExchangeDir));
    platform_files_inject_fault(FileFault::read_only);
    check = check_instruments();
    EXPECT_EQ(check.failed, 2);
    const std::string log_dir = on_disk(kStationLogDir).string();
    const std::string exchange_dir = on_disk(kStationExchangeDir).string();
    const std::string root_advice =
        ", or give the program the drive root that holds it: it is " + platform_drive_root() +
        " (XDG_DATA_HOME or HOME set it; --simulate uses the simulated stage's).\n";
    const std::string folders = check.report.substr(check.report.find("Folder "));
    EXPECT_EQ(folders,
              "Folder                   Exists    Writable\n"
              "Run-log folder           yes       no\n"
              "    C:\\CVI\\Trelwick\\Log -> " +
                  log_dir + "\n    Reason: The run-log folder C:\\CVI\\Trelwick\\Log (" + log_dir +
                  ") cannot be written by this user.\n"
                  "    To do: Let this user write there (the folder's owner and "
                  "permissions)" +
                  root_advice +
                  "Motion-data folder       no        no\n"
                  "    c:\\qel\\Exchange -> " +
                  exchange_dir + "\n    Reason: The motion-data folder c:\\qel\\Exchange (" +
                  exchange_dir +
                  ") does not exist.\n"
                  "    To do: Create it" +
                  root_advice +
                  "All three instruments answer.\n"
                  "2 of 2 folders are not in place: see the advice under them.\n");
}
