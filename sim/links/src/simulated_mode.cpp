#include "sim/simulated_mode.hpp"

#include "platform/platform.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

bool parse_speed(std::string_view text, double& speed) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value <= 0.0 || value > 1000.0)
        return false;
    speed = value;
    return true;
}

} // namespace

SimulatedOptions simulated_options(int argc, char** argv) {
    SimulatedOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--simulate") {
            o.simulate = true;
        } else if (arg == "--speed" || arg.substr(0, 8) == "--speed=") {
            std::string_view value;
            if (arg == "--speed") {
                if (i + 1 >= argc) {
                    o.error = "--speed needs a factor";
                    return o;
                }
                value = argv[++i];
            } else {
                value = arg.substr(8);
            }
            if (!parse_speed(value, o.speed)) {
                o.error = "--speed wants a factor above 0 and at most 1000, not \"" +
                          std::string(value) + "\"";
                return o;
            }
        }
    }
    if (o.speed != 1.0 && !o.simulate)
        o.error = "--speed scales the simulated stage only: give --simulate too";
    return o;
}

std::string simulated_drive_root() {
    if (const char* root = std::getenv("TRELWICK_SIM_ROOT"); root != nullptr && *root != '\0')
        return root;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != '\0')
        return std::string(data) + "/trelwick/simulated-drives";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.local/share/trelwick/simulated-drives";
    return (std::filesystem::temp_directory_path() / "trelwick-simulated-drives").string();
}

bool SimulatedMode::start(const SimulatedOptions& options, std::string& error) {
    platform_set_drive_root(simulated_drive_root());
    std::error_code ec;
    for (const char* folder : {"C:\\CVI\\Trelwick\\Log", "c:\\qel\\Exchange"}) {
        std::filesystem::create_directories(platform_map_path(folder), ec);
        if (ec) {
            error = "cannot make " + platform_map_path(folder) + ": " + ec.message();
            return false;
        }
    }
    clock_ = std::make_unique<ScaledClock>(options.speed);
    platform_use_clock(clock_.get());
    stage_ = std::make_unique<SimStage>();
    stage_->power_on(platform_now_seconds());
    stage_->attach(serial_, gpib_);
    platform_use_serial(&serial_);
    platform_use_gpib(&gpib_);
    running_ = true;
    return true;
}

void SimulatedMode::stop() {
    if (!running_)
        return;
    write_motion_report();
    platform_use_serial(nullptr);
    platform_use_gpib(nullptr);
    platform_use_clock(nullptr);
    running_ = false;
}

SimulatedMode::~SimulatedMode() {
    stop();
}

void SimulatedMode::write_motion_report() {
    // For a test of the whole program: where each motor's motion stands as the program
    // ends, on the stage's own clock (at speed 1, the machine's monotonic clock).
    const char* path = std::getenv("TRELWICK_SIM_MOTION_REPORT");
    if (path == nullptr || *path == '\0')
        return;
    const double now = clock_->now_seconds();
    stage_->advance(now);
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr)
        return;
    std::fprintf(out, "now %.6f\n", now);
    for (int axis = 1; axis <= kSimCams; ++axis)
        std::fprintf(out, "axis %d moving %d end %.6f\n", axis,
                     stage_->model().moving(axis, now) ? 1 : 0,
                     stage_->model().motion_end_time(axis));
    std::fclose(out);
}
