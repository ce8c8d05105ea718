// The CM6K6 general single-axis operations: relative and absolute moves, homing set-up,
// master-follower move, position queries and zeroing.
#include "cm6k6_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/protocol/bounded_number.hpp"
#include "drivers/protocol/cm6k6_protocol.hpp"
#include "platform/clock.hpp"
#include "platform/text.hpp"

#include <climits>
#include <cmath>
#include <limits>

namespace {

constexpr double kVelMin = 0.1, kVelMax = 99.0;
constexpr double kAccMin = 0.001;
constexpr double kRelAccMax = 9999.9;
constexpr double kAccMax = 999.999;

bool axis_valid(int axis) {
    return axis >= 1 && axis <= kCm6k6Axes;
}

std::string go_pattern(int axis) {
    return "GO" + cm6k6_axis_pattern(axis).value_or("000000");
}

std::string range_text(const char* name, int value) {
    return strfmt("%s = %i, out of range", name, value);
}

std::string adjust_text(const char* name, double value) {
    return strfmt("%s = %f, out of range, will be adjusted", name, value);
}

// The pop-up checks' answer: true when the operator stopped.
bool stopped(int code, const std::string& what) {
    return cm6k6_error_handling(code, what.c_str()) == 1;
}

// The first of the values that is not finite, reported in the pop-up; true if any.
bool refused_not_finite(std::initializer_list<std::pair<const char*, double>> values) {
    for (const auto& [name, value] : values)
        if (!std::isfinite(value)) {
            cm6k6_error_handling(0, cm6k6_not_finite_text(name, value).c_str());
            return true;
        }
    return false;
}

bool refused_not_finite_console(std::initializer_list<std::pair<const char*, double>> values) {
    for (const auto& [name, value] : values)
        if (!std::isfinite(value)) {
            cm6k6_error(cm6k6_not_finite_text(name, value).c_str());
            return true;
        }
    return false;
}

// The console checks of the query operations: true when the operation may go on.
bool console_checks(int dev_ID, int axis) {
    if (!DeviceTable::in_range(dev_ID)) {
        cm6k6_error(range_text("dev_ID", dev_ID).c_str());
        return false;
    }
    if (!axis_valid(axis)) {
        cm6k6_error(range_text("axis", axis).c_str());
        return false;
    }
    if (cm6k6_check_dev_open(dev_ID) != 1) {
        cm6k6_error("Device not open");
        return false;
    }
    return true;
}

void note_profile(int axis, double acc, double vel) {
    Cm6k6State& s = cm6k6_state();
    s.acceleration[static_cast<unsigned>(axis)] = acc;
    s.velocity[static_cast<unsigned>(axis)] = vel;
}

} // namespace

int cm6k6_rel_move(int dev_ID, int axis, double acc, double vel, double distance) {
    if (!DeviceTable::in_range(dev_ID) && stopped(dev_ID, range_text("dev_ID", dev_ID)))
        return -1;
    if (!axis_valid(axis)) {
        // There is no axis to move, whatever the answer.
        cm6k6_error_handling(axis, range_text("axis", axis).c_str());
        return -1;
    }
    if (refused_not_finite({{"acc", acc}, {"vel", vel}, {"distance", distance}}))
        return -1;
    const Clamped a = cm6k6_clamp(acc, kAccMin, kRelAccMax);
    if (a.adjusted && stopped(saturate_to_int(acc), adjust_text("acc", acc)))
        return -1;
    const Clamped v = cm6k6_clamp(vel, kVelMin, kVelMax);
    if (v.adjusted && stopped(saturate_to_int(vel), adjust_text("vel", vel)))
        return -1;
    if (cm6k6_check_dev_open(dev_ID) != 1 && stopped(0, "Device access. Device is not Open"))
        return -1;

    const double p0 = cm6k6_query_position(dev_ID, axis, "TPC");
    cm6k6_outf(dev_ID, "%dMA0", axis);
    cm6k6_outf(dev_ID, "%dMC0", axis);
    cm6k6_outf(dev_ID, "%dA%f", axis, a.value);
    cm6k6_outf(dev_ID, "%dV%f", axis, v.value);
    cm6k6_outf(dev_ID, "%dD%f", axis, distance);
    note_profile(axis, a.value, v.value);
    cm6k6_note_move(axis, distance);
    cm6k6_out(dev_ID, go_pattern(axis).c_str());
    cm6k6_note_started(1u << (axis - 1));
    if (cm6k6_ifmove_delay(dev_ID, axis) != 0)
        return -1;
    const double p1 = cm6k6_query_position(dev_ID, axis, "TPC");
    const auto e = cm6k6_fine_travel_error(distance, p0, p1);
    if (!(e && *e == 0) && stopped(e ? *e : INT_MIN, "Positioning"))
        return -1;
    cm6k6_read_error_status(dev_ID);
    return 0;
}

int cm6k6_abs_move(int dev_ID, int axis, double acc, double vel, double position) {
    if (!DeviceTable::in_range(dev_ID))
        return cm6k6_error_handling(dev_ID, range_text("dev_ID", dev_ID).c_str());
    if (!axis_valid(axis))
        return cm6k6_error_handling(axis, range_text("axis", axis).c_str());
    if (refused_not_finite({{"acc", acc}, {"vel", vel}, {"position", position}}))
        return 1;
    const Clamped a = cm6k6_clamp(acc, kAccMin, kAccMax);
    if (a.adjusted && stopped(saturate_to_int(acc), adjust_text("acc", acc)))
        return 1;
    const Clamped v = cm6k6_clamp(vel, kVelMin, kVelMax);
    if (v.adjusted && stopped(saturate_to_int(vel), adjust_text("vel", vel)))
        return 1;
    if (cm6k6_check_dev_open(dev_ID) != 1 && stopped(0, "Open device. Device not open"))
        return 1;

    cm6k6_outf(dev_ID, "%dMA1", axis);
    cm6k6_outf(dev_ID, "%dMC0", axis);
    cm6k6_outf(dev_ID, "%dA%f", axis, a.value);
    cm6k6_outf(dev_ID, "%dV%f", axis, v.value);
    cm6k6_outf(dev_ID, "%dD%f", axis, position);
    note_profile(axis, a.value, v.value);
    cm6k6_note_move(axis, position - cm6k6_state().commanded[static_cast<unsigned>(axis)]);
    cm6k6_out(dev_ID, go_pattern(axis).c_str());
    cm6k6_note_started(1u << (axis - 1));
    if (cm6k6_ifmove_delay(dev_ID, axis) != 0)
        return 1;
    const double p1 = cm6k6_query_position(dev_ID, axis, "TPC");
    const auto e = cm6k6_absolute_error(position, p1);
    if (!(e && *e == 0) && stopped(e ? *e : INT_MIN, "Positioning"))
        return 1;
    // A shortfall the operator accepted does not excuse an error the controller reports.
    return cm6k6_read_error_status(dev_ID);
}

int cm6k6_go_home(int dev_ID, int axis, double acc, double vel) {
    if (!DeviceTable::in_range(dev_ID))
        return cm6k6_error_handling(dev_ID, range_text("dev_ID", dev_ID).c_str());
    if (!axis_valid(axis))
        return cm6k6_error_handling(axis, range_text("axis", axis).c_str());
    if (refused_not_finite({{"acc", acc}, {"vel", vel}}))
        return 1;
    // The homing profile is always held to its range; the answers do not matter.
    const Clamped a = cm6k6_clamp(acc, kAccMin, kAccMax);
    if (a.adjusted)
        cm6k6_error_handling(saturate_to_int(acc), adjust_text("acc", acc).c_str());
    const Clamped v = cm6k6_clamp(vel, kVelMin, kVelMax);
    if (v.adjusted)
        cm6k6_error_handling(saturate_to_int(vel), adjust_text("vel", vel).c_str());
    if (cm6k6_check_dev_open(dev_ID) != 1 && stopped(0, "Open device. Device not open"))
        return 1;

    cm6k6_outf(dev_ID, "%dLIMLVL0", axis);
    cm6k6_outf(dev_ID, "%dHOMEDG0", axis);
    cm6k6_outf(dev_ID, "%dHOMDF0", axis);
    cm6k6_outf(dev_ID, "%dHOMEBAC", axis);
    cm6k6_outf(dev_ID, "%dHOMA%.2f", axis, a.value);
    cm6k6_outf(dev_ID, "%dHOMAD%.2f", axis, a.value);
    cm6k6_outf(dev_ID, "%dHOMV%.3f", axis, v.value);
    cm6k6_outf(dev_ID, "%dHOMVF%.3f", axis, v.value / 10.0);
    if (cm6k6_ifmove_delay(dev_ID, axis) != 0)
        return 1;
    cm6k6_ask(dev_ID, strfmt("%dTPC", axis).c_str());
    std::string& reply = cm6k6_state().cmd;
    if (cm6k6_in(dev_ID, &reply) == 0)
        (void)cm6k6_parse_home_count(reply); // read back and not used
    return cm6k6_read_error_status(dev_ID);
}

int cm6k6_follow_move(int dev_ID, int master, int follower, double acc, double vel,
                      double distance) {
    if (!DeviceTable::in_range(dev_ID)) {
        cm6k6_error(range_text("dev_ID", dev_ID).c_str());
        return -1;
    }
    if (!axis_valid(master)) {
        cm6k6_error(range_text("master", master).c_str());
        return -1;
    }
    if (!axis_valid(follower)) {
        cm6k6_error(range_text("axis", follower).c_str());
        return -1;
    }
    if (refused_not_finite_console({{"acc", acc}, {"vel", vel}, {"distance", distance}}))
        return -1;
    const Clamped a = cm6k6_clamp(acc, kAccMin, kAccMax);
    if (a.adjusted)
        cm6k6_error(adjust_text("acc", acc).c_str());
    const Clamped v = cm6k6_clamp(vel, kVelMin, kVelMax);
    if (v.adjusted)
        cm6k6_error(adjust_text("vel", vel).c_str());
    if (cm6k6_check_dev_open(dev_ID) != 1) {
        cm6k6_error("Device not open");
        return -1;
    }
    if (master == follower)
        cm6k6_error("Master cannot also be the follower");

    cm6k6_outf(dev_ID, "%dFOLMAS+%d1", follower, master);
    cm6k6_outf(dev_ID, "%dFOLEN1", follower);
    cm6k6_outf(dev_ID, "%dMA0", follower);
    cm6k6_outf(dev_ID, "%dMC1", follower);
    cm6k6_outf(dev_ID, "%dMA0", master);
    cm6k6_outf(dev_ID, "%dMC0", master);
    cm6k6_outf(dev_ID, "%dA%f", master, a.value);
    cm6k6_outf(dev_ID, "%dV%f", master, v.value);
    const std::string distance_command = strfmt("%dD%f", master, distance);
    cm6k6_out(dev_ID, distance_command.c_str());
    if (const auto go = cm6k6_pair_go_command(master, follower)) {
        cm6k6_out(dev_ID, go->c_str());
    } else {
        cm6k6_error("This follower/master configuration has not been coded yet");
        cm6k6_out(dev_ID, distance_command.c_str());
    }
    Delay(std::fabs(distance / v.value) + 1.0);
    const int status = cm6k6_read_error_status(dev_ID);
    cm6k6_outf(dev_ID, "!%dFOLEN0", follower);
    return status;
}

int cm6k6_get_mot_position(int dev_ID, int axis, double* position) {
    if (!console_checks(dev_ID, axis))
        return -1;
    // After a motion given up the axes were killed: where they stopped is no position to
    // report as the end of a move, and the controller is not asked.
    if (cm6k6_ifmove_delay(dev_ID, axis) != 0) {
        *position = std::numeric_limits<double>::quiet_NaN();
        return -1;
    }
    *position = cm6k6_query_position(dev_ID, axis, "TPC");
    return cm6k6_read_error_status(dev_ID);
}

int cm6k6_get_enc_position(int dev_ID, int axis, double* position) {
    if (!console_checks(dev_ID, axis))
        return -1;
    if (cm6k6_ifmove_delay(dev_ID, axis) != 0) {
        *position = std::numeric_limits<double>::quiet_NaN();
        return -1;
    }
    const double counts = cm6k6_query_position(dev_ID, axis, "TPE");
    *position = cm6k6_round6(counts / kCm6k6EncoderCountsPerRev);
    return cm6k6_read_error_status(dev_ID);
}

int cm6k6_zero(int dev_ID, int axis) {
    if (!console_checks(dev_ID, axis))
        return -1;
    cm6k6_out(dev_ID, cm6k6_zero_command(axis).value_or("").c_str());
    cm6k6_state().commanded[static_cast<unsigned>(axis)] = 0.0;
    const int status = cm6k6_read_error_status(dev_ID);
    if (status == -1) {
        cm6k6_error("The device has an error");
        cm6k6_close_dev(dev_ID);
    }
    return status;
}
