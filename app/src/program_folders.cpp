#include "app/program_folders.hpp"

#include "app/bring_up.hpp"
#include "app/motion_data_file.hpp"
#include "platform/files.hpp"
#include "platform/platform.hpp"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kProbeName = "Trelwick_write_check.tmp";

std::string lowered_first(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace

bool program_folder_exists(const char* program_path) {
    std::error_code ec;
    return std::filesystem::is_directory(platform_map_path(program_path), ec) && !ec;
}

ProgramFolder check_program_folder(std::string name, const char* program_path) {
    ProgramFolder folder;
    folder.name = std::move(name);
    folder.program_path = program_path;
    folder.disk_path = platform_map_path(program_path);
    folder.exists = program_folder_exists(program_path);
    if (!folder.exists)
        return folder;
    std::string probe;
    if (MakePathname(program_path, kProbeName, &probe) < 0)
        return folder;
    const int handle = OpenFile(probe, VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_BINARY);
    if (handle >= 0) {
        folder.writable = true;
        CloseFile(handle);
        std::error_code ec;
        std::filesystem::remove(platform_map_path(probe), ec);
    }
    return folder;
}

ProgramFolder check_run_log_folder() {
    return check_program_folder("Run-log folder", kRunLogDirectory);
}

ProgramFolder check_motion_data_folder() {
    return check_program_folder("Motion-data folder", kExchangeDirectory);
}

std::string program_folder_problem(const ProgramFolder& folder) {
    if (folder.exists && folder.writable)
        return {};
    std::string where = folder.program_path;
    if (folder.disk_path != folder.program_path)
        where += " (" + folder.disk_path + ")";
    return "The " + lowered_first(folder.name) + " " + where +
           (folder.exists ? " cannot be written by this user." : " does not exist.");
}

std::string program_folder_advice(const ProgramFolder& folder) {
    std::string advice = folder.exists ? "Let this user write there (the folder's owner and "
                                         "permissions)"
                                       : "Create it";
    const std::string& root = platform_drive_root();
    if (root.empty())
        return advice + ".";
    advice += ", or give the program the drive root that holds it: it is " + root;
    if (platform_simulated_stage())
        return advice + ", the simulated stage's (TRELWICK_SIM_ROOT sets it).";
    return advice + " (XDG_DATA_HOME or HOME set it; --simulate uses the simulated stage's).";
}
