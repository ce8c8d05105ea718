// A clock that wraps another and keeps the books on every wait the program asks for: the
// blocking waits (Delay, and the link reads that wait for a reply or their time-out) and
// the event-processing slices. What is left of the wall time once these are taken away is
// the program's own cost.
#pragma once

#include "platform/clock.hpp"

#include <functional>

struct WaitTotals {
    long long delays = 0;       // blocking waits asked for
    double asked_seconds = 0.0; // their length, in the wrapped clock's seconds
    double slept_seconds = 0.0; // machine seconds they really took
    long long event_waits = 0;  // event-processing slices passed
};

class LedgerClock : public ClockBackend {
public:
    explicit LedgerClock(ClockBackend& inner) : inner_(inner) {}

    // Called before each blocking wait (e.g. to note what the simulated stage is doing).
    void on_wait(std::function<void()> hook) { hook_ = std::move(hook); }
    const WaitTotals& totals() const { return totals_; }

    void delay(double seconds) override;
    std::uint32_t tick_count() override { return inner_.tick_count(); }
    WallTime wall_time() override { return inner_.wall_time(); }
    double now_seconds() override { return inner_.now_seconds(); }
    void pass_event_wait(double seconds) override;
    double real_wait_seconds(double seconds) override { return inner_.real_wait_seconds(seconds); }

private:
    ClockBackend& inner_;
    std::function<void()> hook_;
    WaitTotals totals_;
};

// The machine's monotonic clock, seconds.
double machine_seconds();
