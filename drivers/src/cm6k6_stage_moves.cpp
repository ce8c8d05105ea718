// The stage's moves: one cam alone, or all five together, each followed by a check of
// the distance travelled.
#include "cm6k6_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/protocol/cm6k6_protocol.hpp"
#include "drivers/wait_profile.hpp"
#include "platform/clock.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"

#include <climits>
#include <cmath>

namespace {

// The positioning check: true to go on. A position that could not be read, or a
// difference too large for the report, never passes; the pop-up then shows INT_MIN.
// The distance is compared as it went out on the wire (six decimals), which is what the
// axis travelled.
bool positioning_accepted(double distance, double p0, double p1) {
    const auto e = cm6k6_travel_error(cm6k6_round6(distance), p0, p1);
    if (e && *e == 0)
        return true;
    return cm6k6_error_handling(e ? *e : INT_MIN, "Positioning") != 1;
}

void show_indicator(int panel, int control, int on) {
    SetCtrlVal(panel, control, on);
}

} // namespace

int cm6k6_cam_move(int panel, int control, int dev_ID, int axis, double distance, int show) {
    if (!std::isfinite(distance)) {
        cm6k6_error_handling(axis, cm6k6_not_finite_text("distance", distance).c_str());
        return -1;
    }
    const auto pattern = cm6k6_axis_pattern(axis);
    if (!pattern) {
        // Whatever the answer, there is no axis to move.
        cm6k6_error_handling(0, "wrong axis number");
        return -1;
    }
    const double p0 = cm6k6_query_position(dev_ID, axis, "TPC");
    const StopInterruptible motion; // a Stop ends the waits from here on
    cm6k6_outf(dev_ID, "DRIVE%s", pattern->c_str());
    profile_wait(DesignedWait::drives_on);
    const int go = cm6k6_outf(dev_ID, "%dD%f\rGO%s", axis, distance, pattern->c_str());
    cm6k6_note_move(axis, distance);
    if (go == 0 || !platform_stop_requested()) // a Stop refused it: nothing started
        cm6k6_note_started(cm6k6_pattern_axes(*pattern));
    if (show == 1) {
        show_indicator(panel, control, 1);
        DisplayPanel(panel);
    }
    if (cm6k6_ifmove_delay(dev_ID, axis) != 0) {
        if (show == 1) {
            show_indicator(panel, control, 0);
            DisplayPanel(panel);
        }
        return -1;
    }
    cm6k6_out(dev_ID, "DRIVE000000");
    profile_wait(DesignedWait::drives_off);
    if (show == 1) {
        show_indicator(panel, control, 0);
        DisplayPanel(panel);
    }
    const double p1 = cm6k6_query_position(dev_ID, axis, "TPC");
    if (!positioning_accepted(distance, p0, p1)) {
        cm6k6_stop_motor(dev_ID, axis);
        cm6k6_out(dev_ID, "DRIVE000000");
        return -1;
    }
    return 0;
}

int cm6k6_cam_move_5(int panel, const int* controls, int dev_ID, const double* distances) {
    constexpr int kCams = 5;
    for (int axis = 1; axis <= kCams; ++axis)
        if (!std::isfinite(distances[axis - 1])) {
            cm6k6_error_handling(axis,
                                 cm6k6_not_finite_text("distance", distances[axis - 1]).c_str());
            return -1;
        }
    double p0[kCams] = {};
    for (int axis = 1; axis <= kCams; ++axis) {
        p0[axis - 1] = cm6k6_query_position(dev_ID, axis, "TPC");
        cm6k6_outf(dev_ID, "%dD%f", axis, distances[axis - 1]);
        cm6k6_note_move(axis, distances[axis - 1]);
        show_indicator(panel, controls[5 + axis - 1], 1);
    }
    DisplayPanel(panel);
    const StopInterruptible motion; // a Stop ends the waits from here on
    cm6k6_out(dev_ID, "DRIVE111110");
    profile_wait(DesignedWait::drives_on);
    if (cm6k6_out(dev_ID, "GO111110") == 0 || !platform_stop_requested())
        cm6k6_note_started(cm6k6_pattern_axes("111110")); // a Stop refused it: nothing started
    for (int axis = 1; axis <= kCams; ++axis) {
        // The wait holds until no axis moves, so after the first pass it returns at once.
        if (cm6k6_ifmove_delay(dev_ID, axis) != 0) {
            for (int rest = axis; rest <= kCams; ++rest)
                show_indicator(panel, controls[5 + rest - 1], 0);
            DisplayPanel(panel);
            return -1;
        }
        show_indicator(panel, controls[5 + axis - 1], 0);
        const double p1 = cm6k6_query_position(dev_ID, axis, "TPC");
        cm6k6_out(dev_ID, "DRIVE000000");
        profile_wait(DesignedWait::drives_off);
        if (!positioning_accepted(distances[axis - 1], p0[axis - 1], p1)) {
            cm6k6_stop_motor(dev_ID, axis);
            return -1;
        }
    }
    DisplayPanel(panel);
    return 0;
}
