// The event-processing wait and the wait module's console messages.
#include "drivers/delay.hpp"

#include "console_stop.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
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

std::uint32_t delay(double seconds) {
    std::uint32_t now = GetTickCount();
    const std::uint32_t end = now + wait_ms(seconds); // wraps as the tick counter does
    while (end > (now = GetTickCount()))
        yield();
    return now;
}

std::uint32_t cvi_delay(double seconds) {
    std::uint32_t now = GetTickCount();
    const std::uint32_t end = now + wait_ms(seconds);
    while (end > (now = GetTickCount())) {
        ProcessTCPEvents();
        ProcessSystemEvents();
    }
    return now;
}

void stop_error_msg(const char* title, const char* text) {
    const char* t = title != nullptr ? title : "";
    const char* x = text != nullptr ? text : "";
    console_stop(strfmt("\n%s: %s\n", t, x), t, x, 16, StopWait::EventProcessing);
}

void message(const char* text) {
    ConsolePrintf("%s\n", text != nullptr ? text : "");
}
