// The motion data file: five numbers on one line or on five, fewer numbers, an empty and a
// missing file, words that are not numbers, words beyond the fifth and an overlong word;
// the targets shown and the run log's two entries compared as text.
#include "app/motion_data_file.hpp"
#include "station_fixture.hpp"

#include <cmath>
#include <fstream>

namespace {

const char* const kRunLog = "C:\\CVI\\Trelwick\\Log\\Trelwick_log.001";
const char* const kDataFile = "c:\\qel\\Exchange\\mech.dat";

class MotionDataFileTest : public StationTest {
protected:
    void SetUp() override {
        StationTest::SetUp();
        make_program_dir("C:\\CVI\\Trelwick\\Log");
        make_program_dir("c:\\qel\\Exchange");
        std::ofstream(on_disk(kRunLog)).flush();
        motion_log_path() = kRunLog;
        // As after a bring-up: the button is enabled.
        SetCtrlAttribute(main, MAIN_READ_DATA, ATTR_DIMMED, 0);
    }
    void write_data(const std::string& text) {
        std::ofstream(on_disk(kDataFile), std::ios::binary) << text;
    }
    void read() { EXPECT_EQ(op.press(main, MAIN_READ_DATA), 0); }
    void previous_targets() { shared_param().coord = {2.0, -3.0, 4.0, 5.0, -6.0}; }
    double target(int i) const { return shared_param().coord[static_cast<std::size_t>(i)]; }
    double slot(int i) const {
        return op.value_double(main, coord_ctrls[static_cast<std::size_t>(i)]);
    }
    std::string run_log() const { return read_text_file(on_disk(kRunLog)); }
};

// What the run log gets for one read: the path entry and the coordinates entry with its
// blank title, at the fixed test time.
std::string logged(const std::string& values) {
    return std::string(" \n Motion data read from file ") + kDataFile + " \n " +
           " \n 14:03:27 *   * " + values + "\n \n ";
}

} // namespace

TEST_F(MotionDataFileTest, FiveNumbersOnOneLineBecomeTargetsInThousandthsWithTheSignTurned) {
    write_data("1 -0.5 0 0.5 0\n");
    read();
    EXPECT_DOUBLE_EQ(target(0), -0.001);
    EXPECT_DOUBLE_EQ(target(1), 0.0005);
    EXPECT_DOUBLE_EQ(target(3), -0.0005);
    // 0 / -1000 is negative zero.
    EXPECT_EQ(target(2), 0.0);
    EXPECT_TRUE(std::signbit(target(2)));
    EXPECT_TRUE(std::signbit(target(4)));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(slot(i), target(i)) << "slot " << i;
    EXPECT_EQ(run_log(), logged("X = -0.001000 Y = 0.000500 Roll = -0.000000 "
                                "Pitch = -0.000500 Yaw = -0.000000"));
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(MotionDataFileTest, LineStructureDoesNotMatter) {
    write_data("1\r\n\t-0.5\n0\n   0.5\n0");
    read();
    EXPECT_DOUBLE_EQ(target(0), -0.001);
    EXPECT_DOUBLE_EQ(target(1), 0.0005);
    EXPECT_TRUE(std::signbit(target(2)));
    EXPECT_DOUBLE_EQ(target(3), -0.0005);
    EXPECT_TRUE(std::signbit(target(4)));
    EXPECT_EQ(run_log(), logged("X = -0.001000 Y = 0.000500 Roll = -0.000000 "
                                "Pitch = -0.000500 Yaw = -0.000000"));
}

TEST_F(MotionDataFileTest, MissingWordsDivideThePreviousTargetsToo) {
    previous_targets();
    write_data("3 2 1\n");
    read();
    EXPECT_DOUBLE_EQ(target(0), -0.003);
    EXPECT_DOUBLE_EQ(target(1), -0.002);
    EXPECT_DOUBLE_EQ(target(2), -0.001);
    EXPECT_DOUBLE_EQ(target(3), -0.005);
    EXPECT_DOUBLE_EQ(target(4), 0.006);
    EXPECT_EQ(slot(4), target(4));

    previous_targets();
    write_data("");
    read();
    EXPECT_DOUBLE_EQ(target(0), -0.002);
    EXPECT_DOUBLE_EQ(target(1), 0.003);
    EXPECT_DOUBLE_EQ(target(2), -0.004);
    EXPECT_EQ(run_log(), logged("X = -0.003000 Y = -0.002000 Roll = -0.001000 Pitch = -0.005000 "
                                "Yaw = 0.006000") +
                             logged("X = -0.002000 Y = 0.003000 Roll = -0.004000 Pitch = -0.005000 "
                                    "Yaw = 0.006000"));
}

TEST_F(MotionDataFileTest, AMissingFileIsReportedAndChangesNothing) {
    previous_targets();
    op.answer_confirm(true);
    read();
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[0].message,
              "Error in Unable to open data file. Check error code # 1. Continue?");
    EXPECT_EQ(shared_param().coord, (coordinates{2.0, -3.0, 4.0, 5.0, -6.0}));
    EXPECT_EQ(slot(0), 0.0);
    EXPECT_EQ(run_log(), "");
}

TEST_F(MotionDataFileTest, AWordThatIsNotANumberIsReportedAndLeavesItsTargetAsItWas) {
    previous_targets();
    SetCtrlVal(main, MAIN_TARGET_Y, 0.25);
    write_data("1 1.5mm 2 nan 4\n");
    op.answer_message();
    op.answer_message();
    read();
    ASSERT_EQ(op.popups().size(), 2u);
    EXPECT_EQ(op.popups()[0].title, "Motion data");
    EXPECT_EQ(op.popups()[0].message, std::string("Word 2 of ") + kDataFile +
                                          " is not a number.\nThe Y target is left as it was.");
    EXPECT_EQ(op.popups()[1].message, std::string("Word 4 of ") + kDataFile +
                                          " is not a number.\nThe Pitch target is left as it was.");
    // The record and the log hold what the panel shows, which Move will use.
    EXPECT_DOUBLE_EQ(target(0), -0.001);
    EXPECT_EQ(target(1), 0.25);
    EXPECT_EQ(slot(1), 0.25);
    EXPECT_DOUBLE_EQ(target(2), -0.002);
    EXPECT_EQ(target(3), slot(3));
    EXPECT_DOUBLE_EQ(target(4), -0.004);
    EXPECT_EQ(run_log(), logged("X = -0.001000 Y = 0.250000 Roll = -0.002000 Pitch = 0.000000 "
                                "Yaw = -0.004000"));
}

TEST_F(MotionDataFileTest, WordsBeyondTheFifthAreIgnored) {
    write_data("1 2 3 4 5 6 not-a-number 8\n");
    read();
    EXPECT_TRUE(op.popups().empty());
    EXPECT_DOUBLE_EQ(target(4), -0.005);
}

TEST_F(MotionDataFileTest, AnOverlongWordIsNotANumberAndTheLongestAllowedIsRead) {
    // 299 characters: "0." and 297 digits (5e-297), read as the number it is.
    const std::string longest = "0." + std::string(296, '0') + "5";
    ASSERT_EQ(longest.size(), kMotionDataWordChars);
    // One character more is refused whatever it holds.
    const std::string overlong = std::string(kMotionDataWordChars, '1') + "1";
    write_data(longest + " " + overlong + " " + std::string(100000, '7') + " 1 2\n");
    op.answer_message();
    op.answer_message();
    read();
    EXPECT_EQ(op.popups().size(), 2u);
    EXPECT_DOUBLE_EQ(target(0), -5e-300); // 5e-297 / -1000
    EXPECT_EQ(target(1), 0.0);            // left as it was
    EXPECT_FALSE(std::signbit(target(1)));
    EXPECT_DOUBLE_EQ(target(3), -0.001);
    EXPECT_DOUBLE_EQ(target(4), -0.002);
}
