#include "sim/scaled_clock.hpp"

#include <cmath>
#include <ctime>
#include <thread>

ScaledClock::ScaledClock(double speed)
    : speed_(std::isfinite(speed) && speed > 0.0 ? speed : 1.0),
      start_(std::chrono::steady_clock::now()), wall_start_(std::chrono::system_clock::now()),
      start_ticks_(platform_system_clock().tick_count()),
      start_seconds_(platform_system_clock().now_seconds()) {}

double ScaledClock::elapsed() const {
    const auto real = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration<double>(real).count() * speed_;
}

void ScaledClock::delay(double seconds) {
    if (!(seconds > 0.0))
        return;
    // As the machine's clock does: no wait beyond a day, whatever a value says.
    const double real = std::fmin(seconds, 86400.0) / speed_;
    std::this_thread::sleep_for(std::chrono::duration<double>(real));
}

double ScaledClock::real_wait_seconds(double seconds) {
    return seconds > 0.0 ? std::fmin(seconds, 86400.0) / speed_ : 0.0;
}

std::uint32_t ScaledClock::tick_count() {
    const auto ms = static_cast<unsigned long long>(elapsed() * 1000.0);
    return static_cast<std::uint32_t>(start_ticks_ + ms);
}

double ScaledClock::now_seconds() {
    return start_seconds_ + elapsed();
}

WallTime ScaledClock::wall_time() {
    const auto shift = std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(elapsed()));
    const std::time_t now = std::chrono::system_clock::to_time_t(wall_start_ + shift);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}
