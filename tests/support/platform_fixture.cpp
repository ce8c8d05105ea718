#include "platform_fixture.hpp"

#include "platform/operator_thread.hpp"

#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <unistd.h>

void PlatformTest::SetUp() {
    platform_reset();
    platform_use_panels(&op);
    platform_use_clock(&clock);
    platform_use_console(&console);
    platform_set_resource_directory(TRELWICK_UI_DIR);
    // A question the script holds no answer for fails the test where it is asked, and
    // stops the operation that asked it rather than letting it run on with a guessed
    // answer (a motion-end question would otherwise be followed by the whole wait again).
    op.on_unexpected([](const std::string& what) {
        ADD_FAILURE() << "unexpected operator interaction: " << what;
        platform_request_stop();
    });
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    drive_root = std::filesystem::temp_directory_path() /
                 ("trelwick-test-" + std::string(info->test_suite_name()) + "-" + info->name() +
                  "-" + std::to_string(::getpid()));
    std::error_code ec;
    std::filesystem::remove_all(drive_root, ec);
    std::filesystem::create_directories(drive_root);
    platform_set_drive_root(drive_root.string());
}

void PlatformTest::TearDown() {
    platform_reset();
    std::error_code ec;
    std::filesystem::remove_all(drive_root, ec);
}

int PlatformTest::load(int resource_id, int parent) {
    const int handle = LoadPanel(parent, "Trelwick.uir", resource_id);
    EXPECT_GT(handle, 0) << "panel " << resource_id << " did not load";
    return handle;
}

std::filesystem::path PlatformTest::on_disk(const std::string& program_path) const {
    return platform_map_path(program_path);
}

void PlatformTest::make_program_dir(const std::string& program_path) const {
    std::filesystem::create_directories(on_disk(program_path));
}

std::string read_text_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}
