// The HP34970 device table, its send and receive over GPIB, the error queue and reports.
#include "console_stop.hpp"
#include "drivers/hp34970.hpp"
#include "drivers/protocol/hp34970_protocol.hpp"
#include "drivers/wait_profile.hpp"
#include "hp34970_state.hpp"
#include "platform/console.hpp"
#include "platform/gpib.hpp"
#include "platform/instrument_diagnosis.hpp"
#include "platform/text.hpp"

#include <vector>

namespace {

Hp34970State g_state;

constexpr int kTimeout30s = 14;
constexpr int kEosLineFeed = 0x140A; // end reads at LF, compared on all eight bits

int read_reply(int dev_ID, std::size_t max_bytes, std::string* reply) {
    std::vector<char> buffer(max_bytes);
    int status = 0;
    {
        const WaitBooking booking(WaitKind::reply);
        status = ibrd(g_state.table.handle_of(dev_ID), buffer.data(), static_cast<long>(max_bytes));
    }
    if ((status & ERR) != 0) {
        hp34970_error(strfmt("ibsta = %x, problem receiving GPIB input", status).c_str(),
                      hp34970_unit_details());
        return -1;
    }
    long count = ThreadIbcntl();
    if (count < 0)
        count = 0;
    if (static_cast<std::size_t>(count) > max_bytes)
        count = static_cast<long>(max_bytes);
    const std::string_view text(buffer.data(), static_cast<std::size_t>(count));
    reply->assign(text.substr(0, text.find('\n')));
    return 0;
}

} // namespace

Hp34970State& hp34970_state() {
    return g_state;
}

void hp34970_reset() {
    g_state = Hp34970State{};
}

int hp34970_open_dev(int board, int address) {
    if (board < 0 || board > 10) {
        hp34970_error(strfmt("gpib_board_addr = %i, out of range", board).c_str());
        return -1;
    }
    if (address < 1 || address > 30) {
        hp34970_error(strfmt("gpib_dev_addr = %i, out of range", address).c_str());
        return -1;
    }
    DeviceTable& t = g_state.table;
    if (const int slot = t.slot_with_address(address); slot != 0)
        return slot;
    const int slot = t.free_slot();
    if (slot == 0) {
        g_state.unit.clear(); // no unit was tried: there is nothing to say about one
        hp34970_error("The device could not be opened");
        return -1;
    }
    g_state.unit = gpib_instrument_key(board, address);
    const int ud = ibdev(board, address, 0, kTimeout30s, 0, kEosLineFeed);
    if (ud <= 0) {
        hp34970_error("The device could not be opened", hp34970_unit_details());
        return -1;
    }
    t.store(slot, address, ud);
    if ((ibclr(ud) & ERR) != 0)
        hp34970_error("Problem clearing device");
    return slot;
}

int hp34970_close_dev(int dev_ID) {
    const int ud = g_state.table.handle_of(dev_ID);
    if (ud == 0)
        return 0;
    ibonl(ud, 0);
    return g_state.table.close(dev_ID);
}

int hp34970_check_dev_open(int dev_ID) {
    return g_state.table.is_open(dev_ID);
}

int hp34970_out(int dev_ID, const char* text) {
    g_state.cmd = text != nullptr ? text : "";
    const std::string framed = g_state.cmd + "\n";
    const int status =
        ibwrt(g_state.table.handle_of(dev_ID), framed.data(), static_cast<long>(framed.size()));
    if ((status & ERR) != 0) {
        hp34970_error(strfmt("ibsta = %x, problem sending GPIB command", status).c_str(),
                      hp34970_unit_details());
        return -1;
    }
    return 0;
}

int hp34970_in(int dev_ID, std::string* reply) {
    return read_reply(dev_ID, 300, reply);
}

int hp34970_in_buf(int dev_ID, std::string* reply) {
    return read_reply(dev_ID, 3000, reply);
}

int hp34970_serial_poll(int dev_ID, int* status) {
    if (hp34970_check_dev_open(dev_ID) != 1) {
        hp34970_error("Device not open");
        return -1;
    }
    char byte = 0;
    const int ibsta = ibrsp(g_state.table.handle_of(dev_ID), &byte);
    if ((ibsta & ERR) != 0) {
        hp34970_error(strfmt("ibsta = %x, problem performing GPIB serial poll", ibsta).c_str());
        return -1;
    }
    *status = static_cast<unsigned char>(byte);
    return 0;
}

int hp34970_get_errors(int dev_ID) {
    int result = 0;
    for (int entry = 0; entry < kHp34970MaxErrorEntries; ++entry) {
        hp34970_out(dev_ID, "SYSTEM:ERROR?");
        // A read that failed has been reported; what it left in the buffer is no entry of
        // the queue, and a unit that does not answer will not answer the next query either.
        if (hp34970_in(dev_ID, &g_state.cmd) != 0)
            return -1;
        if (hp34970_is_no_error(g_state.cmd))
            return result;
        ConsoleWrite("\nThe HP34970 has an error.\n");
        ConsolePrintf("%s", g_state.cmd.c_str());
        result = -1;
    }
    return -1; // the queue never emptied: more entries than the unit can hold
}

void hp34970_error(const char* text, std::string_view details) {
    const char* t = text != nullptr ? text : "";
    console_stop(strfmt("\nHP34970 ERROR: %s\n", t), "HP34970 ERROR", t, 80, StopWait::Blocking,
                 details);
}

std::string hp34970_unit_details() {
    return g_state.unit.empty() ? std::string() : instrument_diagnosis_details(g_state.unit);
}

void hp34970_message(const char* text) {
    ConsolePrintf("%s\n", text != nullptr ? text : "");
}
