// The CM6K6 controller's command texts and the parsing of its replies, apart from any
// port: pure functions, so they can be tested and fuzzed on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

constexpr int kCm6k6Axes = 6;
constexpr int kCm6k6StepsPerRev = 25000;
constexpr int kCm6k6EncoderCountsPerRev = 4096;

// "001000" for axis 3; nothing for an axis outside 1..6.
std::optional<std::string> cm6k6_axis_pattern(int axis);
// "0,0,1,0,0,0" for axis 3.
std::optional<std::string> cm6k6_comma_pattern(int axis);
// The comma pattern of several axes: bit n-1 of `axes` set for axis n.
std::string cm6k6_comma_pattern_of(unsigned axes);
// The axes a GO or DRIVE pattern ("GO110010") names, as bits (axis n = bit n-1).
unsigned cm6k6_pattern_axes(std::string_view pattern);

// A resolution command: the name and six values, each padded with zeros to five digits
// ("DRES25000,...", "ERES04096,...").
std::string cm6k6_resolution_command(const char* name, int value);
// "PSET0,,,,," for axis 1 through "PSET,,,,,0" for axis 6.
std::optional<std::string> cm6k6_zero_command(int axis);
// The GO pattern of a master/follower pair that the controller set-up supports.
std::optional<std::string> cm6k6_pair_go_command(int master, int follower);

// The number after the first `skip` characters of a position reply ("*2TPC+1.5" with
// skip 5), read from at most 20 characters. Nothing when there is no finite number.
std::optional<double> cm6k6_parse_position(std::string_view reply, std::size_t skip = 5);
// The homing set-up's read-back: an integer after six characters.
std::optional<int> cm6k6_parse_home_count(std::string_view reply);
// The error status reply that means "no error".
bool cm6k6_is_no_errors(std::string_view reply);
// The motion wait's reply: its first character is Y once the wait is over.
bool cm6k6_is_motion_done(std::string_view reply);

// A value held to [low, high]; `adjusted` tells whether it had to be.
struct Clamped {
    double value;
    bool adjusted;
};
Clamped cm6k6_clamp(double value, double low, double high);

// The stage moves' positioning check: |D| - |p1 - p0| truncated toward zero. Nothing when
// a position is not a number or the difference does not fit an int.
std::optional<int> cm6k6_travel_error(double distance, double p0, double p1);
// The relative move's check: trunc(|1e5 D|) - trunc(|1e5 (p1 - p0)|).
std::optional<int> cm6k6_fine_travel_error(double distance, double p0, double p1);
// The absolute move's check: trunc(p1) - trunc(D).
std::optional<int> cm6k6_absolute_error(double position, double p1);
// An encoder count in revolutions, rounded to six decimals as "%f" writes it.
double cm6k6_round6(double value);
