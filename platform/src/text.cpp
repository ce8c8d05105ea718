// printf-style formatting into strings and checked number parsing.
#include "platform/text.hpp"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>

std::string strfmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vstrfmt(format, args);
    va_end(args);
    return text;
}

std::string vstrfmt(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    return text;
}

namespace {

std::size_t skip_blanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\f' || text[i] == '\v'))
        ++i;
    return i;
}

} // namespace

std::optional<double> parse_double_prefix(std::string_view text, std::size_t* consumed) {
    const std::size_t start = skip_blanks(text);
    // from_chars takes no leading plus sign; the instruments write one.
    const bool plus = start < text.size() && text[start] == '+';
    const std::size_t digits = start + (plus ? 1 : 0);
    if (plus && digits < text.size() && (text[digits] == '+' || text[digits] == '-'))
        return std::nullopt;
    double value = 0.0;
    const char* first = text.data() + digits;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    if (consumed != nullptr)
        *consumed = static_cast<std::size_t>(end - text.data());
    return value;
}

std::optional<long long> parse_int_prefix(std::string_view text, std::size_t* consumed) {
    const std::size_t start = skip_blanks(text);
    const bool plus = start < text.size() && text[start] == '+';
    const std::size_t digits = start + (plus ? 1 : 0);
    if (plus && digits < text.size() && (text[digits] == '+' || text[digits] == '-'))
        return std::nullopt;
    long long value = 0;
    const char* first = text.data() + digits;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value, 10);
    if (error != std::errc())
        return std::nullopt;
    if (consumed != nullptr)
        *consumed = static_cast<std::size_t>(end - text.data());
    return value;
}
