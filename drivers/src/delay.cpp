// The event-processing wait and the wait module's console messages.
#include "drivers/delay.hpp"

#include "console_stop.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"

#include <cmath>
#include <string>

namespace {

// The wait in whole milliseconds. The factor is a hair above 1000 so that a wait written
// as 0.001 s is not lost to rounding below 1 ms. A negative or unreadable wait is no wait,
// and one too long for the tick counter waits as long as the counter can count.
std::uint32_t wait_ms(double seconds) {
    const double ms = seconds * 1000.0001;
    if (!(ms >= 1.0))
        return 0;
    if (ms >= 4294967295.0)
        return 4294967295u;
    return static_cast<std::uint32_t>(ms);
}

} // namespace

void yield() {
    ProcessTCPEvents();
    ProcessSystemEvents();
}

namespace {

// Processes events until the tick counter reaches the end. Each round waits for an event
// for no longer than what is left, so the wait idles in between and ends on time; a stop
// request ends it early, as the operation is then to end.
std::uint32_t wait_with_events(double seconds) {
    std::uint32_t now = GetTickCount();
    const std::uint32_t end = now + wait_ms(seconds); // wraps as the tick counter does
    while (end > (now = GetTickCount()) && !platform_stop_requested()) {
        ProcessTCPEvents();
        platform_process_events(static_cast<double>(end - now) / 1000.0);
    }
    return now;
}

} // namespace

std::uint32_t delay(double seconds) {
    return wait_with_events(seconds);
}

std::uint32_t cvi_delay(double seconds) {
    return wait_with_events(seconds);
}

void stop_error_msg(const char* title, const char* text) {
    const char* t = title != nullptr ? title : "";
    const char* x = text != nullptr ? text : "";
    console_stop(strfmt("\n%s: %s\n", t, x), t, x, 16, StopWait::EventProcessing);
}

void message(const char* text) {
    ConsolePrintf("%s\n", text != nullptr ? text : "");
}
