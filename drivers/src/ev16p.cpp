// The EV-16P operations: bring-up, error clear, zeroing, reading, presetting, shutdown.
#include "drivers/ev16p.hpp"

#include "drivers/protocol/ev16p_protocol.hpp"
#include "drivers/wait_profile.hpp"
#include "ev16p_state.hpp"
#include "platform/clock.hpp"
#include "platform/panels.hpp"
#include "platform/serial.hpp"
#include "platform/text.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Zeroing and presetting act on this channel whatever gauge is named.
constexpr int kActedChannel = 1;

// Sends a command and compares the reply with its acknowledge; a mismatch asks the
// operator with `what`, and the answer is the result (0 when acknowledged).
int command_ack(int dev_ID, const std::string& command, const std::string& expected,
                const char* what, int code) {
    Ev16pState& s = ev16p_state();
    // A No at the report of a failed write or read gives the command up there: the
    // operator is not asked about the same silence twice.
    if (ev16p_out(dev_ID, command.c_str()) != 0)
        return -1;
    profile_wait(DesignedWait::counter_reply);
    if (ev16p_in(dev_ID, &s.msg) != 0)
        return -1;
    if (s.msg == expected)
        return 0;
    return ev16p_error_handling(code, what);
}

// The checks of zero, read and preset: 0 to go on, -1 when the operator stopped.
int gauge_checks(int dev_ID, int gauge) {
    if (!DeviceTable::in_range(dev_ID) &&
        ev16p_error_handling(dev_ID, strfmt("dev_ID = %i, out of range", dev_ID).c_str()) != 0)
        return -1;
    if ((gauge < 0 || gauge > 6) &&
        ev16p_error_handling(gauge, strfmt("Gage = %i, out of range", gauge).c_str()) != 0)
        return -1;
    if (ev16p_check_dev_open(dev_ID) != 1 && ev16p_error_handling(0, "EV-16P is not open") != 0)
        return -1;
    return 0;
}

} // namespace

void ev16p_init(int com_port, int address, int* dev_ID) {
    if (com_port < 1 || com_port > 32)
        if (ev16p_error_handling(com_port, "RS232_COM_PORT") != 0)
            return;
    if (address < 0 || address > 99)
        if (ev16p_error_handling(address, "RS232_DEV_ADDR") != 0)
            return;
    Ev16pState& s = ev16p_state();
    s.com_port = com_port;
    const int id = ev16p_open_dev(address);
    // A full table answered No ends the bring-up like every other No here: nothing is
    // said to the counter and no id is handed out.
    if (id < 0)
        return;
    if (const int r = OpenComConfig(com_port, "", 9600, 0, 7, 2, 512, 512); r != 0)
        if (ev16p_error_handling(r, "OpenCom", ev16p_port_details()) != 0)
            return;
    if (const int r = FlushInQ(com_port); r != 0)
        if (ev16p_error_handling(r, "FlushInQ") != 0)
            return;
    if (const int r = FlushOutQ(com_port); r != 0)
        if (ev16p_error_handling(r, "FlushOutQ") != 0)
            return;
    // A No at any of these pop-ups gives the bring-up up: a counter that could not be
    // cleared, written to or heard from is not handed out as open.
    if (ev16p_clear_err(id) != 0)
        return;
    if (ev16p_out(id, ev16p_channel_command("CK", kActedChannel).c_str()) != 0)
        return;
    profile_wait(DesignedWait::counter_reply);
    if (ev16p_in(id, &s.msg) != 0)
        return;
    const int state = ev16p_parse_hold_state(s.msg).value_or(0);
    if (state == 1) {
        if (ConfirmPopup("Warning", "Counter is not in HOLD state. RS232 commands are not "
                                    "effective. Would you like to set I/O to RS232?") == 1)
            MessagePopup("Change HOLD Mode", "HOLD mode should be changed manually, p.3-7");
    } else if (state != 0) {
        ev16p_error_handling(state, "Problem with Hold Mode");
        return;
    }
    *dev_ID = id;
}

int ev16p_clear_err(int dev_ID) {
    if (!DeviceTable::in_range(dev_ID) &&
        ev16p_error_handling(dev_ID, strfmt("dev_ID = %i, out of range", dev_ID).c_str()) != 0)
        return -1;
    if (ev16p_check_dev_open(dev_ID) != 1 && ev16p_error_handling(0, "EV-16P is not open") != 0)
        return -1;
    return command_ack(dev_ID, "CS00", "CH00", "clear errors", 0);
}

int ev16p_zero(int dev_ID, int gauge) {
    if (gauge_checks(dev_ID, gauge) != 0)
        return -1;
    // A zeroing the counter did not acknowledge, given up at the operator's No, did not
    // happen: the callers must neither show nor log a zero.
    if (command_ack(dev_ID, ev16p_channel_command("CR", kActedChannel),
                    ev16p_channel_command("CH", kActedChannel), "Zero gages", 0) != 0)
        return -1;
    return 2;
}

double ev16p_read(int dev_ID, int gauge) {
    // A reading that could not be had is not a number: 0.0 would pass for a gauge at zero.
    if (gauge_checks(dev_ID, gauge) != 0)
        return kNaN;
    Ev16pState& s = ev16p_state();
    for (int attempt = 0; attempt < 2; ++attempt) {
        ev16p_out(dev_ID, ev16p_channel_command("GA", gauge).c_str());
        ev16p_in(dev_ID, &s.msg);
        if (const auto value = ev16p_parse_reading(s.msg))
            return *value;
    }
    ev16p_error_handling(0, "Reading gages");
    return kNaN;
}

int ev16p_preset(int dev_ID, int gauge, const double* values) {
    if (gauge_checks(dev_ID, gauge) != 0)
        return -1;
    const double counts = 1000.0 * values[0];
    if (!std::isfinite(counts)) {
        ev16p_error_handling(0, strfmt("preset = %f, not a finite number", values[0]).c_str());
        return -1;
    }
    // A value whose digits do not fit the counter's field would go out cut, as another
    // number: it is refused and nothing is sent.
    const auto command = ev16p_preset_command(kActedChannel, counts);
    if (!command) {
        ev16p_error_handling(0, strfmt("preset = %f, out of range", values[0]).c_str());
        return -1;
    }
    // A preset the counter did not acknowledge, given up at the operator's No, did not
    // happen.
    if (command_ack(dev_ID, *command, ev16p_channel_command("CH", kActedChannel), "Preset gages",
                    0) != 0)
        return -1;
    return 2;
}

int ev16p_exit(int dev_ID) {
    if (!DeviceTable::in_range(dev_ID) &&
        ev16p_error_handling(dev_ID, strfmt("dev_ID = %i, out of range", dev_ID).c_str()) != 0)
        return -1;
    if (ev16p_check_dev_open(dev_ID) == 1)
        return ev16p_close_dev(dev_ID);
    return 0;
}
