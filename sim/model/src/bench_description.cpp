#include "sim/bench_description.hpp"

#include <charconv>
#include <cmath>
#include <sstream>
#include <vector>

namespace {

constexpr std::size_t kMaxText = 64 * 1024;

bool number(std::string_view text, double& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// The settings that are a physical time, with where each goes.
double* physical_time(const std::string& key, StageModelConfig& c) {
    if (key == "drive_ready_seconds")
        return &c.drive_ready_seconds;
    if (key == "relay_settle_seconds")
        return &c.relay_settle_seconds;
    if (key == "pot_settle_seconds")
        return &c.pot_settle_seconds;
    return nullptr;
}

template <std::size_t N> bool fill(const std::vector<double>& v, std::array<double, N>& out) {
    if (v.size() != N)
        return false;
    for (std::size_t i = 0; i < N; ++i)
        out[i] = v[i];
    return true;
}

bool signs(const std::vector<double>& v, std::array<int, kSimCams>& out) {
    if (v.size() != kSimCams)
        return false;
    for (std::size_t i = 0; i < kSimCams; ++i) {
        if (v[i] != 1.0 && v[i] != -1.0)
            return false;
        out[i] = static_cast<int>(v[i]);
    }
    return true;
}

bool channels(const std::vector<double>& v, std::array<int, kSimCams>& out) {
    if (v.size() != kSimCams)
        return false;
    for (std::size_t i = 0; i < kSimCams; ++i) {
        if (v[i] != std::floor(v[i]) || v[i] < 0.0 || v[i] > kSimGauges)
            return false;
        out[i] = static_cast<int>(v[i]);
    }
    return true;
}

} // namespace

std::optional<StageModelConfig>
parse_bench_description(std::string_view text, const StageModelConfig& base, std::string& error) {
    if (text.size() > kMaxText) {
        error = "the bench description is longer than 64 KiB";
        return std::nullopt;
    }
    StageModelConfig c = base;
    std::istringstream lines{std::string(text)};
    std::string line;
    int number_of_line = 0;
    while (std::getline(lines, line)) {
        ++number_of_line;
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream in(line);
        std::string key, word;
        if (!(in >> key))
            continue;
        std::vector<double> v;
        bool ok = true;
        while (ok && in >> word && v.size() <= kSimGauges) {
            double x = 0.0;
            ok = number(word, x);
            v.push_back(x);
        }
        std::string what = "is not a setting it knows with its values";
        if (double* time = physical_time(key, c)) {
            ok = ok && v.size() == 1 && v[0] >= 0.0;
            if (ok)
                *time = v[0];
            else
                what = "needs one time in seconds, a finite number 0 or more";
        } else if (ok) {
            if (key == "motor_sign")
                ok = signs(v, c.motor_sign);
            else if (key == "pot_sign")
                ok = signs(v, c.pot_sign);
            else if (key == "pot_scale")
                ok = fill(v, c.pot_scale) && c.pot_scale[0] != 0.0 && c.pot_scale[1] != 0.0 &&
                     c.pot_scale[2] != 0.0 && c.pot_scale[3] != 0.0 && c.pot_scale[4] != 0.0;
            else if (key == "pot_offset")
                ok = fill(v, c.pot_offset);
            else if (key == "eccentricity")
                ok = fill(v, c.eccentricity);
            else if (key == "start_angle")
                ok = fill(v, c.start_angle);
            else if (key == "gauge_of_cam")
                ok = channels(v, c.gauge_of_cam);
            else if (key == "contact_phase")
                ok = fill(v, c.contact_phase);
            else if (key == "gauge_noise_um" && v.size() == 1 && v[0] >= 0.0)
                c.gauge_noise.fill(v[0] / 1000.0);
            else if (key == "gauge_noise_um" && v.size() == kSimGauges)
                for (std::size_t i = 0; ok && i < kSimGauges; ++i) {
                    ok = v[i] >= 0.0;
                    c.gauge_noise[i] = v[i] / 1000.0;
                }
            else if (key == "reference_volts" && v.size() == 1 && v[0] > 0.0)
                c.reference_volts = v[0];
            else
                ok = false;
        }
        if (!ok) {
            error = "bench description line " + std::to_string(number_of_line) + ": \"" +
                    line.substr(0, 80) + "\" " + what;
            return std::nullopt;
        }
    }
    return c;
}

std::optional<std::array<int, kSimCams>> parse_gauge_wiring(std::string_view text) {
    std::array<int, kSimCams> out{};
    std::size_t start = 0;
    for (int k = 0; k < kSimCams; ++k) {
        const std::size_t comma = text.find(',', start);
        const bool last = k == kSimCams - 1;
        if ((comma == std::string_view::npos) != last)
            return std::nullopt;
        const std::string_view item =
            text.substr(start, last ? std::string_view::npos : comma - start);
        int ch = -1;
        const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), ch);
        if (ec != std::errc() || end != item.data() + item.size() || ch < 0 || ch > kSimGauges)
            return std::nullopt;
        out[k] = ch;
        start = comma + 1;
    }
    return out;
}
