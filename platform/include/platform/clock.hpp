// Time: the blocking wait, the millisecond tick counter and the wall clock.
//
// The program uses the machine's clocks; tests and the simulated stage install a virtual
// clock, on which Delay advances time at once and every reader follows.
#pragma once

#include <cstdint>
#include <string>

struct WallTime {
    int year, month, day, hour, minute, second;
};

class ClockBackend {
public:
    virtual ~ClockBackend() = default;
    virtual void delay(double seconds) = 0; // blocking; no callbacks run meanwhile
    virtual std::uint32_t tick_count() = 0; // milliseconds, wraps at 2^32
    virtual WallTime wall_time() = 0;       // local date and time of day
    // Monotonic seconds since an arbitrary origin, at the clock's full resolution: the
    // time base of the in-process links and the simulated stage.
    virtual double now_seconds() = 0;
    // The event processing (ProcessSystemEvents) has let up to `seconds` go by while it
    // waited for events. The machine's clock has moved on by itself and ignores this; a
    // virtual clock moves on by `seconds` (not counted as a Delay), so that a wait that
    // watches the tick counter while processing events ends in virtual time too.
    virtual void pass_event_wait(double seconds) { (void)seconds; }
    // The machine time a wait of `seconds` on this clock lasts, or a negative value for a
    // clock that does not keep machine time (a virtual one: its waits pass at once). The
    // operator thread waits this long itself, so that a stop request can end the wait.
    virtual double real_wait_seconds(double seconds) { return seconds; }
};

// Installs the clock used by every call below; nullptr restores the machine's clock.
// The caller keeps ownership.
void platform_use_clock(ClockBackend* backend);
ClockBackend& platform_clock();

// The machine's clocks: steady clock for waits and ticks, local time for the wall clock.
ClockBackend& platform_system_clock();

// Blocking: no callback runs meanwhile. Inside a motion (StopInterruptible) a stop request
// ends it at once, and while one is pending it does not wait at all.
void Delay(double seconds);
std::uint32_t GetTickCount();
double platform_now_seconds(); // platform_clock().now_seconds()
int CVI_GetSystemTime(int* hours, int* minutes, int* seconds);
std::string DateStr(); // "MM-DD-YYYY"
std::string TimeStr(); // "HH:MM:SS"
