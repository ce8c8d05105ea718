// --wait-profile on a program's command line.
#include "drivers/wait_profile_option.hpp"

#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr std::string_view kWaitOption = "--wait-profile";
constexpr std::string_view kWaitOptionJoined = "--wait-profile=";

// The profile the arguments name; nullopt with the reason in `error`.
std::optional<WaitProfile> chosen_wait_profile(int argc, char** argv, std::string& error) {
    WaitProfile profile = WaitProfile::designed;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        switch (wait_profile_option_length(arg)) {
        case 2:
            if (i + 1 >= argc) {
                error = "--wait-profile wants designed or fast";
                return std::nullopt;
            }
            value = argv[++i];
            break;
        case 1:
            value = arg.substr(kWaitOptionJoined.size());
            break;
        default:
            continue;
        }
        const auto parsed = parse_wait_profile(value);
        if (!parsed) {
            error = "--wait-profile wants designed or fast, not \"" + std::string(value) + "\"";
            return std::nullopt;
        }
        profile = *parsed;
    }
    return profile;
}

} // namespace

int wait_profile_option_length(std::string_view arg) {
    if (arg == kWaitOption)
        return 2;
    if (arg.substr(0, kWaitOptionJoined.size()) == kWaitOptionJoined)
        return 1;
    return 0;
}

bool use_wait_profile_option(int argc, char** argv, const char* program) {
    std::string error;
    const std::optional<WaitProfile> profile = chosen_wait_profile(argc, argv, error);
    if (!profile) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return false;
    }
    set_wait_profile(*profile);
    return true;
}
