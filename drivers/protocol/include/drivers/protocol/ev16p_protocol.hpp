// The EV-16P counter's command texts and the parsing of its replies, apart from any port.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// A two-letter command on a channel: ("CR", 1) -> "CR01", ("GA", 3) -> "GA03".
std::string ev16p_channel_command(const char* letters, int channel);
// The preset command of a channel for a value already in counter units: "CP01, -000500.00".
// The magnitude is written "000" + four decimals and fills a field of nine characters:
// longer text is cut at nine, shorter text padded with blanks. Nothing for a value that is
// not finite, or whose digits before the point do not fit the field (1000000 and more).
std::optional<std::string> ev16p_preset_command(int channel, double counts);
// A reading: the number that starts after the reply's first five characters.
std::optional<double> ev16p_parse_reading(std::string_view reply);
// The HOLD check's state: the one digit after the reply's first four characters
// (0 = in HOLD state, 1 = not); nothing when there is no digit there.
std::optional<int> ev16p_parse_hold_state(std::string_view reply);
