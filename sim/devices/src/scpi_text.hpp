// SCPI text as the simulated data-acquisition unit reads it: a header matched against a
// pattern of long and short forms ("[SENSe:]VOLTage[:DC]:NPLCycles"), parameters split at
// the commas outside quotes and parentheses, and channel lists "(@101, 102:105)".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// True when `header` (as sent, any case, a leading ':' allowed, a trailing '?' for a query)
// names the pattern. Upper-case letters of each pattern node are its short form; a node
// in brackets may be left out. A query matches only a pattern ending in '?'.
bool scpi_header_matches(std::string_view header, std::string_view pattern);

// The command split into its header and its parameters (blanks around each trimmed).
struct ScpiCommand {
    std::string header;
    std::vector<std::string> params;
};
ScpiCommand scpi_split(std::string_view command);

// Splits a program line into its commands at the semicolons outside quotes.
std::vector<std::string> scpi_commands(std::string_view line);

// The channels of a list "(@101, 103:105)" in the order given; nullopt when the text is not
// a channel list.
std::optional<std::vector<int>> scpi_channel_list(std::string_view text);

// ON/OFF/1/0 in any case.
std::optional<bool> scpi_boolean(std::string_view text);

// A keyword parameter in upper case (e.g. "IMM"), or the text inside double quotes.
std::string scpi_upper(std::string_view text);
std::optional<std::string> scpi_quoted(std::string_view text);
