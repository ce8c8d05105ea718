// Conversions of outside numbers that must not go wrong: a double to an int only when it
// fits, and a saturating truncation for report codes.
#pragma once

#include <optional>
#include <string_view>

// The value truncated toward zero, when it is finite and fits an int with room for its
// negative (so INT_MIN never results and can mark "not computable").
std::optional<int> truncate_to_int(double value);
// The value truncated toward zero and held to the int range; NaN gives 0. For report
// codes only, never for a value that acts on anything.
int saturate_to_int(double value);
// A decimal integer at the start of `text` (after blanks) that fits an int.
std::optional<int> parse_int_field(std::string_view text);
