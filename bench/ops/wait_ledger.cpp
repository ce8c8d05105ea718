#include "wait_ledger.hpp"

#include <chrono>

double machine_seconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count();
}

void LedgerClock::delay(double seconds) {
    if (hook_)
        hook_();
    ++totals_.delays;
    if (seconds > 0.0)
        totals_.asked_seconds += seconds;
    const double start = machine_seconds();
    inner_.delay(seconds);
    totals_.slept_seconds += machine_seconds() - start;
}

void LedgerClock::pass_event_wait(double seconds) {
    ++totals_.event_waits;
    inner_.pass_event_wait(seconds);
}
