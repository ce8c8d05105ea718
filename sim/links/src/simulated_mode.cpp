#include "sim/simulated_mode.hpp"

#include "platform/platform.hpp"
#include "sim/sim_control.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

namespace {

// The control file's lines with the simulated seconds after start at which each runs.
// Each is tried on a stage of its own first, so a mistake shows at start, not mid-run.
bool read_control_file(const std::string& path, std::vector<std::pair<double, std::string>>& script,
                       std::string& error) {
    std::ifstream in(path);
    if (!in.is_open()) {
        error = "cannot open the simulator control file " + path;
        return false;
    }
    SimStage trial;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (number > 10000 || line.size() > 1024) {
            error = path + ": more than 10000 lines, or a line over 1024 characters";
            return false;
        }
        double at = 0.0;
        std::string command = line;
        std::istringstream words(line);
        std::string first, when;
        if (words >> first && first == "at") {
            const bool timed = static_cast<bool>(words >> when);
            const auto [end, ec] = std::from_chars(when.data(), when.data() + when.size(), at);
            if (!timed || ec != std::errc() || end != when.data() + when.size() ||
                !std::isfinite(at) || at < 0.0) {
                error = path + " line " + std::to_string(number) + ": \"at\" wants seconds";
                return false;
            }
            std::getline(words, command);
        }
        const std::string reply = sim_control(trial, command, 0.0);
        if (reply.rfind("error:", 0) == 0) {
            error = path + " line " + std::to_string(number) + ": " + reply;
            return false;
        }
        script.emplace_back(at, command);
    }
    return true;
}

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
        } else if (arg == "--sim-control" || arg.substr(0, 14) == "--sim-control=") {
            if (arg == "--sim-control") {
                if (i + 1 >= argc) {
                    o.error = "--sim-control needs a file";
                    return o;
                }
                o.control_file = argv[++i];
            } else {
                o.control_file = std::string(arg.substr(14));
            }
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
    else if (!o.control_file.empty() && !o.simulate)
        o.error = "--sim-control drives the simulated stage only: give --simulate too";
    return o;
}

std::string simulated_drive_root() {
    if (const char* root = std::getenv("TRELWICK_SIM_ROOT"); root != nullptr && *root != '\0')
        return root;
    // Under the user's own data folder (on Windows %LOCALAPPDATA%\Trelwick), never the
    // drives themselves: the simulated stage must not write into a real station's folders.
    const std::string data = platform_user_data_folder();
    if (!data.empty())
        return (std::filesystem::path(data) / "simulated-drives").string();
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    return ((ec ? std::filesystem::path(".") : temp) / "trelwick-simulated-drives").string();
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
    std::vector<std::pair<double, std::string>> script;
    if (!options.control_file.empty() && !read_control_file(options.control_file, script, error))
        return false;
    clock_ = std::make_unique<ScaledClock>(options.speed);
    platform_use_clock(clock_.get());
    stage_ = std::make_unique<SimStage>();
    const double start = platform_now_seconds();
    stage_->power_on(start);
    for (auto& [at, line] : script)
        stage_->schedule(start + at, std::move(line));
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
