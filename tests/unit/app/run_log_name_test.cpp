// The run log's name: the lowest free number first, a gap filled before higher numbers, a
// missing log folder (said, with what to do), and a folder whose 999 names are all taken.
#include "app/bring_up.hpp"
#include "station_fixture.hpp"

#include <fstream>

namespace {

const char* const kLogDir = "C:\\CVI\\Trelwick\\Log";

class RunLogNameTest : public StationTest {
protected:
    void touch(const std::string& name) {
        std::ofstream(on_disk(std::string(kLogDir) + "\\" + name)) << name;
    }
};

} // namespace

TEST_F(RunLogNameTest, TheFirstNameIsNumberOneAndAGapIsFilledFirst) {
    make_program_dir(kLogDir);
    std::string path;
    EXPECT_EQ(choose_run_log_name(&path), 0);
    EXPECT_EQ(path, "C:\\CVI\\Trelwick\\Log\\Trelwick_log.001");

    touch("Trelwick_log.001");
    touch("Trelwick_log.003");
    EXPECT_EQ(choose_run_log_name(&path), 0);
    EXPECT_EQ(path, "C:\\CVI\\Trelwick\\Log\\Trelwick_log.002");

    touch("Trelwick_log.002");
    for (int n = 4; n <= 99; ++n)
        touch(strfmt("Trelwick_log.%03d", n));
    EXPECT_EQ(choose_run_log_name(&path), 0);
    EXPECT_EQ(path, "C:\\CVI\\Trelwick\\Log\\Trelwick_log.100");
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(RunLogNameTest, AMissingLogFolderIsSaidWithWhatToDoAndNothingIsOpened) {
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), -1);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "Init Error");
    EXPECT_EQ(op.popups()[0].message,
              "The run-log folder C:\\CVI\\Trelwick\\Log (" + on_disk(kLogDir).string() +
                  ") does not exist.\nCreate it, or give the program the drive root that holds "
                  "it: it is " +
                  platform_drive_root() +
                  " (XDG_DATA_HOME or HOME set it; --simulate uses the simulated stage's).\nNo "
                  "instrument was opened.");
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              std::vector<std::string>{"Devices not initialised: the run-log folder is missing"});
    EXPECT_TRUE(console.output().empty());
    EXPECT_EQ(shared_param().motors_per_move, 0); // the records were not even reset
    EXPECT_EQ(log_path(), "");
    EXPECT_FALSE(op.dimmed(main, MAIN_INIT));
}

TEST_F(RunLogNameTest, WhenAllNamesAreTakenBringUpSaysSoAndStops) {
    make_program_dir(kLogDir);
    for (int n = 1; n <= 999; ++n)
        touch(strfmt("Trelwick_log.%03d", n));
    std::string path;
    EXPECT_EQ(choose_run_log_name(&path), -1);

    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), -1);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "Init Error");
    EXPECT_EQ(op.popups()[0].message, "All run log names up to Trelwick_log.999 are taken.\n"
                                      "Move the old run logs out of C:\\CVI\\Trelwick\\Log.");
    EXPECT_TRUE(op.texts(main, MAIN_STATUS).empty());
    // No file was truncated: the last log keeps what it held.
    EXPECT_EQ(read_text_file(on_disk(std::string(kLogDir) + "\\Trelwick_log.999")),
              "Trelwick_log.999");
    EXPECT_EQ(log_path(), "");
}
