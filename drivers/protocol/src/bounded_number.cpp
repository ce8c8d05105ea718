#include "drivers/protocol/bounded_number.hpp"

#include "platform/text.hpp"

#include <climits>
#include <cmath>

std::optional<int> truncate_to_int(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double t = std::trunc(value);
    if (t < -static_cast<double>(INT_MAX) || t > static_cast<double>(INT_MAX))
        return std::nullopt;
    return static_cast<int>(t);
}

int saturate_to_int(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

std::optional<int> parse_int_field(std::string_view text) {
    const auto v = parse_int_prefix(text);
    if (!v || *v < INT_MIN || *v > INT_MAX)
        return std::nullopt;
    return static_cast<int>(*v);
}
