// Text conversion: printf-style formatting into a string of any length, and bounded,
// checked parsing of numbers from outside text (replies, files, typed values).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Marks a printf-style function so the compiler checks its calls. The formatting is the C
// standard's everywhere (MinGW's C++ formats with its own C99 printf, not Microsoft's),
// so MinGW checks the calls against that (gnu_printf) and warnings stay errors there too.
#if defined(__MINGW32__) && !defined(__clang__)
#define TRELWICK_PRINTF(format_index, first_arg)                                                   \
    __attribute__((format(gnu_printf, format_index, first_arg)))
#elif !defined(__GNUC__)
#define TRELWICK_PRINTF(format_index, first_arg) // a compiler that cannot check them
#else
#define TRELWICK_PRINTF(format_index, first_arg)                                                   \
    __attribute__((format(printf, format_index, first_arg)))
#endif

// printf-style formatting; the result is as long as the text needs.
std::string strfmt(const char* format, ...) TRELWICK_PRINTF(1, 2);
std::string vstrfmt(const char* format, va_list args) TRELWICK_PRINTF(1, 0);

// Parses a decimal number at the start of `text` after optional blanks (spaces, tabs,
// line ends). On success returns the value and sets `consumed` to the characters used.
// Rejects text that is not a number; a result that overflows is not a number either.
std::optional<double> parse_double_prefix(std::string_view text, std::size_t* consumed = nullptr);
std::optional<long long> parse_int_prefix(std::string_view text, std::size_t* consumed = nullptr);
