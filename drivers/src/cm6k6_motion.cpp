// The CM6K6 motion primitives: the wait for motion end with its bound, the kill of an
// axis and the error status.
#include "cm6k6_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/protocol/bounded_number.hpp"
#include "drivers/protocol/cm6k6_protocol.hpp"
#include "drivers/wait_profile.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/operator_thread.hpp"
#include "platform/serial.hpp"
#include "serial_link.hpp"

#include <algorithm>

namespace {

// The motion-end wait asks the operator once the longest move in progress has had half as
// long again as its trapezoid profile needs, plus this margin for the polls themselves.
constexpr double kMotionWaitFactor = 1.5;
constexpr double kMotionWaitMarginSeconds = 10.0;

double positive_or(double value, double fallback) {
    return value > 0.0 ? value : fallback;
}

// How long the wait may run before the operator is asked: by the velocity and acceleration
// each started axis was last given (the controller's defaults until then), its move takes
// at most travel / v + v / a.
double motion_limit_seconds() {
    const Cm6k6State& s = cm6k6_state();
    double longest = 0.0;
    for (int axis = 1; axis <= kCm6k6Axes; ++axis) {
        if ((s.started_axes & (1u << (axis - 1))) == 0)
            continue;
        const auto i = static_cast<unsigned>(axis);
        const double v = positive_or(s.velocity[i], kCm6k6DefaultVelocity);
        const double a = positive_or(s.acceleration[i], kCm6k6DefaultAcceleration);
        longest = std::max(longest, s.travel[i] / v + v / a);
    }
    return kMotionWaitFactor * longest + kMotionWaitMarginSeconds;
}

// The operator gave the motion up: kill what was started (everything when nothing is
// known to be) and switch the drives off.
void give_up_motion(int dev_ID) {
    Cm6k6State& s = cm6k6_state();
    const unsigned axes = s.started_axes != 0 ? s.started_axes : (1u << kCm6k6Axes) - 1;
    cm6k6_outf(dev_ID, "!K%s", cm6k6_comma_pattern_of(axes).c_str());
    cm6k6_out(dev_ID, "DRIVE000000");
    s.started_axes = 0;
}

} // namespace

int cm6k6_ifmove_delay(int dev_ID, int /*axis*/) {
    Cm6k6State& s = cm6k6_state();
    const WaitBooking booking(WaitKind::motion);
    // The operator's Stop ends every wait below at once; the poll then halts the motion.
    const StopInterruptible motion;
    if (platform_stop_requested()) {
        cm6k6_halt(dev_ID);
        return 1;
    }
    // The controller holds every later command until no axis moves, so the YES written
    // after the WAIT arrives only once the motion is over.
    std::string status = "NOT";
    cm6k6_out(dev_ID, "WAIT(MOV=b000000)");
    double asked_from = platform_now_seconds();
    double limit = motion_limit_seconds();
    const double start = asked_from;
    // Every poll's WRITE is held behind the WAIT, so a long motion ends with one YES per
    // poll still owed; all but the first are read off below, or the next query would take
    // a YES for its reply.
    int owed = 0;
    for (;;) {
        cm6k6_out(dev_ID, "WRITE\"YES\"");
        ++owed;
        // Under the fast waits the read itself waits for the YES (up to its time-out).
        profile_wait(DesignedWait::motion_poll);
        // A read that gets nothing leaves the command text in the buffer: not a YES.
        if (serial_link_read(s.com_port, 120, &s.cmd) > 0)
            --owed;
        status = s.cmd.substr(0, 3);
        if (const int r = FlushOutQ(s.com_port); r != 0)
            ConsolePrintf("FlushOutQ err = %i\n", r);
        if (cm6k6_is_motion_done(status))
            break;
        if (platform_stop_requested()) {
            cm6k6_halt(dev_ID);
            return 1;
        }
        const double now = platform_now_seconds();
        if (now - asked_from >= limit) {
            if (cm6k6_error_handling(saturate_to_int(now - start), "Motion end") == 1) {
                give_up_motion(dev_ID);
                return 1;
            }
            asked_from = now;
            limit = motion_limit_seconds();
        }
    }
    // The controller ran the held WRITEs together with the first: their replies are due now.
    // A reply that straddled a read's time-out leaves its bare carriage return behind, an
    // empty line that is no reply of its own; the reads stay bounded all the same.
    std::string late;
    for (int reads = 2 * owed + 1; owed > 0 && reads > 0; --reads) {
        const int n = serial_link_read(s.com_port, 120, &late);
        if (n < 0)
            break;
        if (n > 0)
            --owed;
    }
    s.started_axes = 0;
    return 0;
}

void cm6k6_stop_motor(int dev_ID, int axis) {
    // Without an axis there is nothing to kill; the old text of a buffer must not go out.
    if (const auto pattern = cm6k6_comma_pattern(axis))
        cm6k6_outf(dev_ID, "!K%s", pattern->c_str());
}

int cm6k6_read_error_status(int dev_ID) {
    Cm6k6State& s = cm6k6_state();
    for (int k = 0; k < 4; ++k) {
        cm6k6_ask(dev_ID, "TCMDER");
        cm6k6_in(dev_ID, &s.cmd);
        // Stopped: the query was refused and nothing was read, which says nothing of the
        // controller.
        if (platform_stop_requested())
            return -1;
        if (!cm6k6_is_no_errors(s.cmd)) {
            cm6k6_message(s.cmd.c_str());
            cm6k6_error("Error executing command");
            return -1;
        }
    }
    return 0;
}
