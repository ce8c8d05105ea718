#include "platform/scripted/virtual_clock.hpp"

#include <cmath>

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
long long days_from_civil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153LL * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

} // namespace

VirtualClock::VirtualClock(std::uint32_t start_ticks) : start_ticks_(start_ticks) {
    set_wall_time({2026, 12, 7, 14, 3, 27});
}

void VirtualClock::set_wall_time(const WallTime& t) {
    const long long seconds = days_from_civil(t.year, t.month, t.day) * 86400LL + t.hour * 3600LL +
                              t.minute * 60LL + t.second;
    wall_base_s_ = seconds - elapsed_us_ / 1000000;
}

void VirtualClock::advance(double seconds) {
    // Up to a thousand years at a time: the microsecond count stays far inside its range
    // whatever a test or a garbled wait asks for.
    constexpr double kLongestStep = 1000.0 * 366.0 * 86400.0;
    if (seconds > 0.0 && std::isfinite(seconds))
        elapsed_us_ += std::llround(std::fmin(seconds, kLongestStep) * 1e6);
}

void VirtualClock::delay(double seconds) {
    ++delays_;
    if (seconds > 0.0 && std::isfinite(seconds))
        delayed_s_ += seconds;
    advance(seconds);
}

void VirtualClock::pass_event_wait(double seconds) {
    ++event_waits_;
    advance(seconds);
}

std::uint32_t VirtualClock::tick_count() {
    return static_cast<std::uint32_t>(start_ticks_ +
                                      static_cast<unsigned long long>(elapsed_us_ / 1000));
}

WallTime VirtualClock::wall_time() {
    const long long now = wall_base_s_ + elapsed_us_ / 1000000;
    const long long days = now >= 0 ? now / 86400 : (now - 86399) / 86400;
    const long long in_day = now - days * 86400;
    WallTime t{};
    civil_from_days(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(in_day / 3600);
    t.minute = static_cast<int>(in_day % 3600 / 60);
    t.second = static_cast<int>(in_day % 60);
    return t;
}
