#include "resource_directory.hpp"

#include "trelwick/version.hpp"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string resource_directory(const std::string& executable_dir) {
    constexpr const char* kResourceFile = "Trelwick.ui";
    std::error_code ec;
    const fs::path beside(executable_dir);
    if (fs::is_regular_file(beside / kResourceFile, ec))
        return beside.string();
    const fs::path installed = (beside / kTrelwickDataFromBin).lexically_normal();
    if (fs::is_regular_file(installed / kResourceFile, ec))
        return installed.string();
    return beside.string();
}
