// Drive-path mapping and the file operations the run log and data files rely on.
#include "platform_fixture.hpp"

#include <fstream>

using FilesTest = PlatformTest;

namespace {
// "/srv/root" and `rest` (written with slashes) joined with the system's separator.
std::string under_srv_root(std::string rest) {
#ifdef _WIN32
    for (char& c : rest)
        c = c == '/' ? '\\' : c;
    return "/srv/root\\" + rest;
#else
    return "/srv/root/" + rest;
#endif
}
} // namespace

// On Windows too, whenever a root is set: tests and the simulated stage never reach the
// station's own C:\CVI and c:\qel folders.
TEST_F(FilesTest, DrivePathsMapUnderTheRootWithTheLetterLowered) {
    platform_set_drive_root("/srv/root");
    EXPECT_EQ(platform_map_path("C:\\CVI\\Trelwick\\Log\\Trelwick_log.001"),
              under_srv_root("c/CVI/Trelwick/Log/Trelwick_log.001"));
    EXPECT_EQ(platform_map_path("c:\\qel\\Exchange\\mech.dat"),
              under_srv_root("c/qel/Exchange/mech.dat"));
    EXPECT_EQ(platform_map_path("D:data.txt"), under_srv_root("d/data.txt"));
    EXPECT_EQ(platform_map_path("/tmp/plain.txt"), "/tmp/plain.txt");
    EXPECT_EQ(platform_map_path("relative/x.dat"), "relative/x.dat");
}

TEST_F(FilesTest, MakePathnameJoinsWithABackslashAndRefusesOverlongPaths) {
    std::string path = "unchanged";
    EXPECT_EQ(MakePathname("C:\\CVI\\Trelwick\\Log", "Trelwick_log.001", &path), 0);
    EXPECT_EQ(path, "C:\\CVI\\Trelwick\\Log\\Trelwick_log.001");
    const std::string long_dir = "C:\\" + std::string(256, 'd');
    path = "unchanged";
    EXPECT_LT(MakePathname(long_dir, "name", &path), 0);
    EXPECT_EQ(path, "unchanged");
    // 259 characters fit, 260 do not.
    EXPECT_EQ(MakePathname(std::string(254, 'd'), "abcd", &path), 0);
    EXPECT_EQ(path.size(), 259u);
    EXPECT_LT(MakePathname(std::string(255, 'd'), "abcd", &path), 0);
}

TEST_F(FilesTest, GetFileInfoTellsWhetherAFileExists) {
    make_program_dir("C:\\Log");
    std::ofstream(on_disk("C:\\Log\\a.txt")) << "12345";
    long size = -1;
    EXPECT_EQ(GetFileInfo("C:\\Log\\a.txt", &size), 1);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(GetFileInfo("C:\\Log\\missing.txt", &size), 0);
    EXPECT_EQ(GetFileInfo("C:\\NoSuchDir\\x.txt", nullptr), 0);
}

TEST_F(FilesTest, WriteTruncateAppendAndReadBack) {
    make_program_dir("C:\\Log");
    int h = OpenFile("C:\\Log\\f.txt", VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    ASSERT_GE(h, 0);
    EXPECT_EQ(WriteFile(h, "first\n"), 6);
    EXPECT_EQ(CloseFile(h), 0);
    h = OpenFile("C:\\Log\\f.txt", VAL_WRITE_ONLY, VAL_APPEND, VAL_ASCII);
    ASSERT_GE(h, 0);
    EXPECT_EQ(WriteFile(h, " \n second \n "), 12);
    EXPECT_EQ(CloseFile(h), 0);
    EXPECT_EQ(read_text_file(on_disk("C:\\Log\\f.txt")), "first\n \n second \n ");

    h = OpenFile("C:\\Log\\f.txt", VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    ASSERT_GE(h, 0);
    char buffer[8];
    EXPECT_EQ(ReadFile(h, buffer, sizeof buffer), 8);
    EXPECT_EQ(std::string(buffer, 8), "first\n \n");
    EXPECT_EQ(CloseFile(h), 0);
    // A handle is not usable once closed.
    EXPECT_EQ(WriteFile(h, "x"), -1);
    EXPECT_EQ(CloseFile(h), -1);
}

TEST_F(FilesTest, OpeningInAMissingFolderFails) {
    EXPECT_EQ(OpenFile("C:\\Missing\\f.txt", VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII), -1);
    EXPECT_EQ(OpenFile("C:\\Missing\\f.txt", VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII), -1);
}
