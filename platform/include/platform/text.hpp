// Text conversion: printf-style formatting into a string of any length, and bounded,
// checked parsing of numbers from outside text (replies, files, typed values).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// printf-style formatting; the result is as long as the text needs.
std::string strfmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vstrfmt(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Parses a decimal number at the start of `text` after optional blanks (spaces, tabs,
// line ends). On success returns the value and sets `consumed` to the characters used.
// Rejects text that is not a number; a result that overflows is not a number either.
std::optional<double> parse_double_prefix(std::string_view text, std::size_t* consumed = nullptr);
std::optional<long long> parse_int_prefix(std::string_view text, std::size_t* consumed = nullptr);
