// The HP34970's SCPI texts and the parsing of its replies, apart from any bus.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr int kHp34970MaxScanChannels = 60;
// The unit reads +9.9E+37 or -9.9E+37 for an input out of range; anything this large is
// that reading, not a measurement.
constexpr double kHp34970Overload = 9.0E+37;

// "(@101, 102, 110)"; a single channel is "(@101)".
std::string hp34970_channel_list(const int* chans, int count);
std::string hp34970_single_list(int chan);

// The set-up commands of one channel of kind 'v', 'r' or '4' with its list; for 't' the
// three commands sent before the transducer is asked for. Empty for another kind.
std::vector<std::string> hp34970_setup_commands(char kind, const std::string& list);

enum class Hp34970Transducer { Thermocouple, Rtd, Thermistor, Other };
Hp34970Transducer hp34970_transducer(std::string_view reply);

// One reading of a scan reply: value, blank, unit, comma, channel.
struct Hp34970Reading {
    bool parsed = false; // value, unit, channel and a rest were all found
    double value = 0.0;
    std::string unit;
    int channel = 0;
};
struct Hp34970ReadingList {
    std::vector<Hp34970Reading> readings; // always `count` entries
    bool tail_ok = false;                 // the rest after them was exactly "end"
};
// Parses `count` readings from a scan reply (the ",end" the driver appends included).
// A reading that does not parse leaves the rest where it was.
Hp34970ReadingList hp34970_parse_readings(std::string_view text, int count);
// The unit a reading of the kind must carry: VDC, OHM, or C (degrees Celsius).
bool hp34970_unit_matches(char kind, std::string_view unit);
// The error queue's empty reply: +0,"No error".
bool hp34970_is_no_error(std::string_view reply);
// True for the overload reading (and for a value that is not finite).
bool hp34970_is_overload(double value);
// An integer reply (switch state, ROUT:DONE?, transducer type).
std::optional<int> hp34970_parse_int(std::string_view reply);
// A number reply (reference resistance); finite only.
std::optional<double> hp34970_parse_number(std::string_view reply);
