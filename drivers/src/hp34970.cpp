// The HP34970 operations: bring-up, shutdown, preset, single-channel readings and the
// relay outputs. The scan engine is in hp34970_scan.cpp.
#include "drivers/hp34970.hpp"

#include "drivers/protocol/hp34970_protocol.hpp"
#include "hp34970_state.hpp"
#include "platform/text.hpp"

#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool dev_in_range(int dev_ID) {
    if (DeviceTable::in_range(dev_ID))
        return true;
    hp34970_error(strfmt("dev_ID = %i, out of range", dev_ID).c_str());
    return false;
}

// The single-channel readers: checks, then a scan of that one channel.
// The channel is the caller's number plus `offset`, formed wide so that no number the
// caller passes can overflow on the way to the range check.
void read_one(int dev_ID, int chan, int offset, char kind, double* value) {
    *value = kNaN;
    if (!dev_in_range(dev_ID))
        return;
    const long long full = static_cast<long long>(chan) + offset;
    if (full < 101 || full > 400) {
        hp34970_error(strfmt("chan = %lld, out of range", full).c_str());
        return;
    }
    int channel = static_cast<int>(full);
    const char kinds[1] = {kind};
    hp34970_scan_chan(dev_ID, 1, &channel, kinds, value);
}

} // namespace

void hp34970_init(int board, int address, int* dev_ID) {
    if (board < 0 || board > 10) {
        hp34970_error(strfmt("gpib_board_addr = %i, out of range", board).c_str());
        return;
    }
    if (address < 1 || address > 30) {
        hp34970_error(strfmt("gpib_dev_addr = %i, out of range", address).c_str());
        return;
    }
    const int id = hp34970_open_dev(board, address);
    if (id <= 0) {
        hp34970_error("Device was not opened", hp34970_unit_details());
        return;
    }
    Hp34970State& s = hp34970_state();
    hp34970_out(id, "*IDN?");
    if (hp34970_in(id, &s.cmd) != 0) {
        hp34970_error("Problem reading ID", hp34970_unit_details());
        hp34970_close_dev(id);
        return;
    }
    hp34970_out(id, "*RST");
    if (hp34970_get_errors(id) != 0) {
        hp34970_error("The HP34970 has an error");
        hp34970_close_dev(id);
        return;
    }
    *dev_ID = id;
}

void hp34970_exit(int dev_ID) {
    if (!dev_in_range(dev_ID))
        return;
    if (hp34970_check_dev_open(dev_ID) == 1) {
        hp34970_out(dev_ID, "*RST");
        hp34970_close_dev(dev_ID);
    }
}

void hp34970_preset(int dev_ID) {
    if (!dev_in_range(dev_ID))
        return;
    if (hp34970_check_dev_open(dev_ID) == 1)
        hp34970_out(dev_ID, "SYSTEM:PRESET");
    else
        hp34970_error("Device not open");
}

void hp34970_get_chan_volt(int dev_ID, int chan, double* value) {
    read_one(dev_ID, chan, 100, 'v', value);
}
void hp34970_get_chan_res(int dev_ID, int chan, double* value) {
    read_one(dev_ID, chan, 0, 'r', value);
}
void hp34970_get_chan_4wire_res(int dev_ID, int chan, double* value) {
    read_one(dev_ID, chan, 0, '4', value);
}
void hp34970_get_chan_temp(int dev_ID, int chan, double* value) {
    read_one(dev_ID, chan, 0, 't', value);
}

void hp34970_switch_on_off(int dev_ID, int output, int on) {
    if (!dev_in_range(dev_ID))
        return;
    const long long wide = static_cast<long long>(output) + 200;
    if (wide < 101 || wide > 400) {
        hp34970_error(strfmt("chan = %lld, out of range", wide).c_str());
        return;
    }
    const int chan = static_cast<int>(wide);
    if (hp34970_check_dev_open(dev_ID) != 1) {
        hp34970_error("Device not open");
        return;
    }
    Hp34970State& s = hp34970_state();
    const std::string list = hp34970_single_list(chan);
    hp34970_out(dev_ID, strfmt("ROUT:OPEN? %s", list.c_str()).c_str());
    hp34970_in(dev_ID, &s.cmd);
    const auto state = hp34970_parse_int(s.cmd);
    if (state == 0 && on == 0)
        hp34970_out(dev_ID, strfmt("ROUT:OPEN %s", list.c_str()).c_str());
    else if (state == 1 && on == 1)
        hp34970_out(dev_ID, strfmt("ROUT:CLOS %s", list.c_str()).c_str());
    else if (state != 0 && state != 1)
        hp34970_error(" Problem reading channel list");
    hp34970_out(dev_ID, "ROUT:DONE?");
    hp34970_in(dev_ID, &s.cmd);
    if (hp34970_parse_int(s.cmd) != 1)
        hp34970_error(" Problem open the channels");
}
