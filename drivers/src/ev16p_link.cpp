// The EV-16P device table, its send and receive over the serial link, and its pop-up.
#include "drivers/ev16p.hpp"
#include "drivers/wait_profile.hpp"
#include "ev16p_state.hpp"
#include "platform/clock.hpp"
#include "platform/instrument_diagnosis.hpp"
#include "platform/panels.hpp"
#include "platform/serial.hpp"
#include "platform/text.hpp"
#include "serial_link.hpp"

namespace {

Ev16pState g_state;

constexpr std::size_t kReplyBytes = 300;

} // namespace

Ev16pState& ev16p_state() {
    return g_state;
}

void ev16p_reset() {
    g_state = Ev16pState{};
}

int ev16p_open_dev(int address) {
    DeviceTable& t = g_state.table;
    if (const int slot = t.slot_with_address(address); slot != 0)
        return slot;
    const int slot = t.free_slot();
    if (slot == 0) {
        if (ev16p_error_handling(0, "The device could not be opened") != 0)
            return -1;
        return t.store(0, address, 1); // accepted: the unused element 0 holds it
    }
    return t.store(slot, address, 1);
}

int ev16p_close_dev(int dev_ID) {
    return g_state.table.close(dev_ID);
}

int ev16p_check_dev_open(int dev_ID) {
    return g_state.table.is_open(dev_ID);
}

int ev16p_out(int /*dev_ID*/, const char* text) {
    const int port = g_state.com_port;
    if (const int r = FlushInQ(port); r != 0)
        if (ev16p_error_handling(r, "FlushInQ") != 0)
            return -1;
    if (const int r = FlushOutQ(port); r != 0)
        if (ev16p_error_handling(r, "FlushOutQ") != 0)
            return -1;
    profile_wait(DesignedWait::counter_quiet);
    g_state.cmd = text != nullptr ? text : "";
    const int n = serial_link_write(port, g_state.cmd);
    if (n <= 0) {
        g_state.msg = strfmt("err = %i, problem sending RS232 command", n);
        ev16p_error_handling(n, g_state.msg.c_str(), ev16p_port_details());
        return -1;
    }
    profile_wait(DesignedWait::counter_quiet);
    // On the line before the next command's FlushOutQ (free after the quiet time).
    if (const int r = serial_link_drain(port); r != 0) {
        g_state.msg = strfmt("err = %i, problem sending RS232 command", r);
        ev16p_error_handling(r, g_state.msg.c_str(), ev16p_port_details());
        return -1;
    }
    return 0;
}

int ev16p_in(int /*dev_ID*/, std::string* reply) {
    int n = 0;
    {
        const WaitBooking booking(WaitKind::reply);
        n = serial_link_read(g_state.com_port, kReplyBytes, reply);
    }
    if (n > 0)
        return 0;
    // The report is built in the reply buffer, so a caller reading into it finds the
    // report there and no stale reply.
    const std::string report = strfmt("# bytes in = %i, problem receiving RS232 input", n);
    g_state.msg = report;
    return ev16p_error_handling(n, report.c_str(), ev16p_port_details());
}

int ev16p_error_handling(int code, const char* what, std::string_view details) {
    const std::string text =
        strfmt("Error in %s. Check error code # %i. Continue?", what != nullptr ? what : "", code);
    return ConfirmPopup("ERROR", text.c_str(), details) == 0 ? -1 : 0;
}

std::string ev16p_port_details() {
    return instrument_diagnosis_details(serial_instrument_key(g_state.com_port));
}
