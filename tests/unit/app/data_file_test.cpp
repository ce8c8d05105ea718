// The operator's data file chosen at bring-up: its header line, a cancelled choice that
// touches no file, the run log refused as a data file, and the failures the operator meets.
#include "app/bring_up.hpp"
#include "station_fixture.hpp"

#include <fstream>

namespace {

const char* const kRunLog = "C:\\CVI\\Trelwick\\Log\\Trelwick_log.001";
const char* const kDataFile = "C:\\CVI\\Trelwick\\Log\\run7.dat";

class DataFileTest : public StationTest {
protected:
    void SetUp() override {
        StationTest::SetUp();
        make_program_dir("C:\\CVI\\Trelwick\\Log");
        std::ofstream(on_disk(kRunLog)) << "run log";
        log_path() = kRunLog;
    }
    std::string path = kRunLog;
    int handle = -7;
};

} // namespace

TEST_F(DataFileTest, TheChosenFileHoldsExactlyTheDateABlankAndTheComment) {
    std::ofstream(on_disk(kDataFile)) << "old contents\n";
    op.answer(PopupKind::FileSelect, VAL_EXISTING_FILE_SELECTED, kDataFile);
    op.answer(PopupKind::Prompt, 1, "cam 3 after service");
    EXPECT_EQ(file_open(&path, &handle, VAL_READ_WRITE), 1);
    EXPECT_EQ(path, kDataFile);
    EXPECT_GE(handle, 0);
    EXPECT_EQ(read_text_file(on_disk(kDataFile)), "12-07-2026 cam 3 after service");
    EXPECT_EQ(read_text_file(on_disk(kRunLog)), "run log");

    ASSERT_EQ(op.popups().size(), 2u);
    EXPECT_EQ(op.popups()[0].title, "Input file name");
    EXPECT_EQ(op.popups()[1].title, "Input file header");
    EXPECT_EQ(op.popups()[1].message, "Type comments to the data");
}

TEST_F(DataFileTest, ACancelledChoiceOpensNoFileAndLeavesThePathAndHandleAlone) {
    std::ofstream(on_disk(kDataFile), std::ios::binary) << "kept\n";
    op.answer(PopupKind::FileSelect, VAL_NO_FILE_SELECTED, kDataFile);
    EXPECT_EQ(file_open(&path, &handle, VAL_READ_WRITE), 0);
    EXPECT_EQ(path, kRunLog);
    EXPECT_EQ(handle, -7);
    EXPECT_EQ(read_text_file(on_disk(kRunLog)), "run log");
    EXPECT_EQ(read_text_file(on_disk(kDataFile)), "kept\n");
    EXPECT_EQ(op.popups().size(), 1u);
}

TEST_F(DataFileTest, TheRunLogItselfIsRefusedAsADataFile) {
    op.answer(PopupKind::FileSelect, VAL_EXISTING_FILE_SELECTED,
              "c:\\CVI\\Trelwick\\Log\\..\\Log\\Trelwick_log.001");
    op.answer_confirm(true);
    EXPECT_EQ(file_open(&path, &handle, VAL_READ_WRITE), -1);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(path, kRunLog);
    EXPECT_EQ(read_text_file(on_disk(kRunLog)), "run log");
    EXPECT_EQ(op.popups().back().message,
              "Error in Problem open the file. Check error code # 1. Continue?");
}

TEST_F(DataFileTest, FailuresAreReportedWithTheirOwnTexts) {
    // The pop-up itself failed.
    op.answer(PopupKind::FileSelect, -1);
    op.answer_confirm(true);
    EXPECT_EQ(file_open(&path, &handle, VAL_READ_WRITE), -1);
    EXPECT_EQ(op.popups().back().message,
              "Error in Problem reading file name. Check error code # 1. Continue?");
    EXPECT_EQ(handle, -7);

    // A file in a folder that does not exist.
    op.answer(PopupKind::FileSelect, VAL_NEW_FILE_SELECTED, "C:\\nowhere\\x.dat");
    op.answer_confirm(true);
    EXPECT_EQ(file_open(&path, &handle, VAL_READ_WRITE), -1);
    EXPECT_EQ(op.popups().back().message,
              "Error in Problem open the file. Check error code # 1. Continue?");
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(path, "C:\\nowhere\\x.dat");

    // The comment prompt cancelled: the file is left truncated and closed.
    std::ofstream(on_disk(kDataFile)) << "old\n";
    op.answer(PopupKind::FileSelect, VAL_EXISTING_FILE_SELECTED, kDataFile);
    op.answer(PopupKind::Prompt, 0);
    op.answer_confirm(true);
    EXPECT_EQ(file_open(&path, &handle, VAL_READ_WRITE), -1);
    EXPECT_EQ(op.popups().back().message,
              "Error in Problem reading file header. Check error code # 1. Continue?");
    EXPECT_EQ(read_text_file(on_disk(kDataFile)), "");
}
