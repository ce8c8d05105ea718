// The machine's clock run faster (or slower) by a factor: every wait lasts 1/speed of its
// length, and the seconds, ticks and wall time the program and the simulated stage read
// advance `speed` times as fast. With it a demonstration of the simulated stage runs a
// 27-second move in a few seconds, and everything stays in step.
#pragma once

#include "platform/clock.hpp"

#include <chrono>

class ScaledClock : public ClockBackend {
public:
    explicit ScaledClock(double speed);
    double speed() const { return speed_; }

    void delay(double seconds) override;
    double real_wait_seconds(double seconds) override;
    std::uint32_t tick_count() override;
    WallTime wall_time() override;
    double now_seconds() override;

private:
    double elapsed() const; // scaled seconds since construction
    double speed_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::system_clock::time_point wall_start_;
    std::uint32_t start_ticks_;
    double start_seconds_;
};
