// Test fixture: installs the scripted operator, a virtual clock, a scripted console and a
// temporary drive root before each test, and puts the platform back afterwards. A pop-up
// that the test did not script fails the test.
#pragma once

#include "platform/platform.hpp"
#include "platform/scripted/scripted_console.hpp"
#include "platform/scripted/scripted_operator.hpp"
#include "platform/scripted/virtual_clock.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads a panel of the project's resource file through the platform, as the program
    // does, and fails the test if it can't.
    int load(int resource_id, int parent = 0);

    // A file under the temporary drive root, by its program path ("C:\\...").
    std::filesystem::path on_disk(const std::string& program_path) const;
    // Creates a folder under the drive root by its program path.
    void make_program_dir(const std::string& program_path) const;

    ScriptedOperator op;
    VirtualClock clock;
    ScriptedConsole console;
    std::filesystem::path drive_root;
};

// Reads a whole file; empty when it can't be read.
std::string read_text_file(const std::filesystem::path& path);
