// A virtual clock for tests and the simulated stage: Delay advances time at once, and the
// tick counter and the wall clock follow it. Each event processing call moves it on by its
// wait slice too (pass_event_wait), without counting as a Delay: delay_calls() and
// delayed_seconds() count the program's blocking waits only.
#pragma once

#include "platform/clock.hpp"

#include <cstdint>

class VirtualClock : public ClockBackend {
public:
    // Starts at 12-07-2026 14:03:27 with the tick counter at `start_ticks`.
    explicit VirtualClock(std::uint32_t start_ticks = 1000);

    void set_wall_time(const WallTime& time); // the date and time of day from now on
    void advance(double seconds);
    double elapsed_seconds() const { return static_cast<double>(elapsed_us_) / 1e6; }
    int delay_calls() const { return delays_; }
    double delayed_seconds() const { return delayed_s_; }

    void delay(double seconds) override;
    std::uint32_t tick_count() override;
    WallTime wall_time() override;
    double now_seconds() override { return elapsed_seconds(); }
    void pass_event_wait(double seconds) override;
    double real_wait_seconds(double) override { return -1.0; } // waits pass at once
    int event_waits() const { return event_waits_; }

private:
    std::uint32_t start_ticks_;
    long long elapsed_us_ = 0;  // since construction
    long long wall_base_s_ = 0; // wall time in seconds since 0000-03-01 at elapsed 0
    int delays_ = 0;
    int event_waits_ = 0;
    double delayed_s_ = 0.0;
};
