// The machine's clocks and the dispatch of the time operations.
#include "platform/clock.hpp"

#include "group_resets.hpp"
#include "platform/operator_thread.hpp"
#include "platform/text.hpp"

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

namespace {

class SystemClock : public ClockBackend {
public:
    void delay(double seconds) override {
        if (!(seconds > 0.0))
            return;
        // A wait longer than a day is not a wait the program means; cap it so a garbled
        // value cannot hang the station for ever.
        const double capped = std::fmin(seconds, 86400.0);
        std::this_thread::sleep_for(std::chrono::duration<double>(capped));
    }
    double real_wait_seconds(double seconds) override {
        return seconds > 0.0 ? std::fmin(seconds, 86400.0) : 0.0;
    }
    std::uint32_t tick_count() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
        return static_cast<std::uint32_t>(static_cast<unsigned long long>(ms));
    }
    double now_seconds() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration<double>(now).count();
    }
    WallTime wall_time() override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec};
    }
};

SystemClock g_system_clock;
ClockBackend* g_clock = nullptr;

} // namespace

void platform_use_clock(ClockBackend* backend) {
    g_clock = backend;
}
ClockBackend& platform_clock() {
    return g_clock != nullptr ? *g_clock : g_system_clock;
}
ClockBackend& platform_system_clock() {
    return g_system_clock;
}
void platform_clock_reset() {
    g_clock = nullptr;
}

void Delay(double seconds) {
    if (platform_wait_interrupted())
        return; // a motion is being stopped: its waits are over
    ClockBackend& clock = platform_clock();
    OperatorThread* t = platform_operator_thread();
    if (t != nullptr && t->on_operator_thread()) {
        const double real = clock.real_wait_seconds(std::fmin(seconds, 86400.0));
        if (real >= 0.0) {
            if (real > 0.0)
                t->sleep(real);
            return;
        }
    }
    clock.delay(seconds);
}
std::uint32_t GetTickCount() {
    return platform_clock().tick_count();
}
double platform_now_seconds() {
    return platform_clock().now_seconds();
}

int CVI_GetSystemTime(int* hours, int* minutes, int* seconds) {
    const WallTime t = platform_clock().wall_time();
    *hours = t.hour;
    *minutes = t.minute;
    *seconds = t.second;
    return 0;
}

std::string DateStr() {
    const WallTime t = platform_clock().wall_time();
    return strfmt("%02d-%02d-%04d", t.month, t.day, t.year);
}

std::string TimeStr() {
    const WallTime t = platform_clock().wall_time();
    return strfmt("%02d:%02d:%02d", t.hour, t.minute, t.second);
}
