// The HP34970 scan engine: configure each channel for its kind, scan, and match the
// readings back to the caller's channels. A value that was not measured is NaN.
#include "drivers/hp34970.hpp"

#include "drivers/protocol/hp34970_protocol.hpp"
#include "hp34970_state.hpp"
#include "platform/text.hpp"

#include <cctype>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kProblem = "Problem getting HP34970 measurements";

void outf(int dev_ID, const std::string& text) {
    hp34970_out(dev_ID, text.c_str());
}

// A setting read back from the unit goes out again only when it was read and looks like a
// setting (a short word), never the text of a failed read.
bool query(int dev_ID, const std::string& text, std::string* reply) {
    outf(dev_ID, text);
    return hp34970_in(dev_ID, reply) == 0;
}

bool is_setting_word(const std::string& text) {
    if (text.empty() || text.size() > 8)
        return false;
    for (const char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)) == 0)
            return false;
    return true;
}

// The transducer of a temperature channel, read back and written again unchanged.
void refresh_transducer(int dev_ID, const std::string& list) {
    const char* l = list.c_str();
    std::string reply;
    if (!query(dev_ID, strfmt("SENS:TEMP:TRAN:TYPE? %s", l), &reply))
        return;
    switch (hp34970_transducer(reply)) {
    case Hp34970Transducer::Thermocouple:
        if (query(dev_ID, strfmt("SENS:TEMP:TRAN:TC:TYPE? %s", l), &reply) &&
            is_setting_word(reply))
            outf(dev_ID, strfmt("SENS:TEMP:TRAN:TC:TYPE %s, %s", reply.c_str(), l));
        outf(dev_ID, strfmt("SENS:TEMP:TRAN:TC:RJUN:TYPE INT, %s", l));
        outf(dev_ID, strfmt("SENS:TEMP:TRAN:TC:CHEC ON, %s", l));
        break;
    case Hp34970Transducer::Rtd: {
        if (query(dev_ID, strfmt("SENS:TEMP:TRAN:RTD:TYPE? %s", l), &reply))
            if (const auto type = hp34970_parse_int(reply))
                outf(dev_ID, strfmt("SENS:TEMP:TRAN:RTD:TYPE %i, %s", *type, l));
        if (query(dev_ID, strfmt("SENS:TEMP:TRAN:RTD:RES:REF? %s", l), &reply))
            if (const auto ohms = hp34970_parse_number(reply))
                outf(dev_ID, strfmt("SENS:TEMP:TRAN:RTD:RES:REF %f, %s", *ohms, l));
        break;
    }
    case Hp34970Transducer::Thermistor:
        if (query(dev_ID, strfmt("SENS:TEMP:TRAN:THER:TYPE? %s", l), &reply))
            if (const auto type = hp34970_parse_int(reply))
                outf(dev_ID, strfmt("SENS:TEMP:TRAN:THER:TYPE %i ,%s", *type, l));
        break;
    case Hp34970Transducer::Other:
        break;
    }
}

bool kind_known(char kind) {
    return kind == 'v' || kind == 'r' || kind == '4' || kind == 't';
}

// The checks before anything goes on the bus; true to go on.
bool scan_checks(int dev_ID, int num_chan, const int* chans, const char* kinds) {
    if (!DeviceTable::in_range(dev_ID)) {
        hp34970_error(strfmt("dev_ID = %i, out of range", dev_ID).c_str());
        return false;
    }
    if (num_chan < 1 || num_chan > kHp34970MaxScanChannels) {
        hp34970_error(strfmt("num_chan = %i, out of range", num_chan).c_str());
        return false;
    }
    for (int k = 0; k < num_chan; ++k)
        if (chans[k] < 101 || chans[k] > 399) {
            hp34970_error(strfmt("chan[%i] = %i, out of range", k, chans[k]).c_str());
            return false;
        }
    for (int k = 0; k < num_chan; ++k)
        if (!kind_known(kinds[k])) {
            hp34970_error(strfmt("meas[%i] = %c, unknown measurement", k, kinds[k]).c_str());
            return false;
        }
    if (hp34970_check_dev_open(dev_ID) != 1) {
        hp34970_error("Device not open");
        return false;
    }
    return true;
}

void scan_of_kind(int dev_ID, int num_chan, const int* chans, char kind, double* values) {
    // The engine checks the count (after the id) before it reads a kind.
    const bool count_ok = num_chan >= 1 && num_chan <= kHp34970MaxScanChannels;
    const std::string kinds(count_ok ? static_cast<std::size_t>(num_chan) : 0, kind);
    hp34970_scan_chan(dev_ID, num_chan, chans, kinds.data(), values);
}

} // namespace

void hp34970_scan_chan(int dev_ID, int num_chan, const int* chans, const char* kinds,
                       double* values) {
    const bool count_ok = num_chan >= 1 && num_chan <= kHp34970MaxScanChannels;
    if (count_ok)
        for (int k = 0; k < num_chan; ++k)
            values[k] = kNaN;
    if (!scan_checks(dev_ID, num_chan, chans, kinds))
        return;

    const std::string all = hp34970_channel_list(chans, num_chan);
    const char* f = all.c_str();
    outf(dev_ID, strfmt("ROUTE:SCAN %s", f));
    for (int k = 0; k < num_chan; ++k) {
        const std::string one = hp34970_single_list(chans[k]);
        for (const std::string& command : hp34970_setup_commands(kinds[k], one))
            outf(dev_ID, command);
        if (kinds[k] == 't')
            refresh_transducer(dev_ID, one);
    }
    outf(dev_ID, strfmt("CALCULATE:SCALE:STATE OFF, %s", f));
    outf(dev_ID, "TRIGGER:SOURCE IMMEDIATE");
    outf(dev_ID, "TRIGGER:COUNT 1");
    outf(dev_ID, strfmt("ROUTE:CHANNEL:DELAY:AUTO ON, %s", f));
    outf(dev_ID, "FORMAT:READING:ALARM OFF");
    outf(dev_ID, "FORMAT:READING:CHANNEL ON");
    outf(dev_ID, "FORMAT:READING:TIME OFF");
    outf(dev_ID, "FORMAT:READING:UNIT ON");
    outf(dev_ID, "READ?");

    std::string reply;
    if (hp34970_in_buf(dev_ID, &reply) == 0) {
        // The values stay NaN unless every check of their own reading passes.
        const Hp34970ReadingList list = hp34970_parse_readings(reply + ",end", num_chan);
        for (const Hp34970Reading& r : list.readings)
            if (!r.parsed)
                hp34970_error(kProblem);
        if (!list.tail_ok)
            hp34970_error(kProblem);
        for (int k = 0; k < num_chan; ++k) {
            const Hp34970Reading* match = nullptr;
            int matches = 0;
            for (const Hp34970Reading& r : list.readings)
                if (r.parsed && r.channel == chans[k]) {
                    match = &r;
                    ++matches;
                }
            if (matches != 1) {
                hp34970_error("Problem getting HP34970 measurements.");
                if (match == nullptr || !hp34970_unit_matches(kinds[k], match->unit))
                    hp34970_error(kProblem);
                continue;
            }
            if (!hp34970_unit_matches(kinds[k], match->unit)) {
                hp34970_error(kProblem);
                continue;
            }
            // The unit's overload reading (an input out of range, or an open thermocouple
            // with the check on) is a number, but no measurement.
            if (!hp34970_is_overload(match->value))
                values[k] = match->value;
        }
    }
    if (hp34970_get_errors(dev_ID) != 0) {
        hp34970_error("The HP34970 has an error");
        for (int k = 0; k < num_chan; ++k)
            values[k] = kNaN;
    }
}

void hp34970_scan_chan_volt(int dev_ID, int num_chan, const int* chans, double* values) {
    scan_of_kind(dev_ID, num_chan, chans, 'v', values);
}
void hp34970_scan_chan_res(int dev_ID, int num_chan, const int* chans, double* values) {
    scan_of_kind(dev_ID, num_chan, chans, 'r', values);
}
void hp34970_scan_chan_4wire_res(int dev_ID, int num_chan, const int* chans, double* values) {
    scan_of_kind(dev_ID, num_chan, chans, '4', values);
}
