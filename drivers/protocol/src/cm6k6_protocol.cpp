#include "drivers/protocol/cm6k6_protocol.hpp"

#include "drivers/protocol/bounded_number.hpp"
#include "platform/text.hpp"

#include <cmath>

std::optional<std::string> cm6k6_axis_pattern(int axis) {
    if (axis < 1 || axis > kCm6k6Axes)
        return std::nullopt;
    std::string pattern(kCm6k6Axes, '0');
    pattern[static_cast<std::size_t>(axis - 1)] = '1';
    return pattern;
}

std::optional<std::string> cm6k6_comma_pattern(int axis) {
    if (axis < 1 || axis > kCm6k6Axes)
        return std::nullopt;
    return cm6k6_comma_pattern_of(1u << (axis - 1));
}

std::string cm6k6_comma_pattern_of(unsigned axes) {
    std::string pattern;
    for (int n = 0; n < kCm6k6Axes; ++n) {
        if (n > 0)
            pattern += ',';
        pattern += (axes & (1u << n)) != 0 ? '1' : '0';
    }
    return pattern;
}

unsigned cm6k6_pattern_axes(std::string_view pattern) {
    unsigned axes = 0;
    const std::size_t digits = pattern.find_first_of("01");
    if (digits == std::string_view::npos)
        return 0;
    for (int n = 0; n < kCm6k6Axes && digits + static_cast<std::size_t>(n) < pattern.size(); ++n)
        if (pattern[digits + static_cast<std::size_t>(n)] == '1')
            axes |= 1u << n;
    return axes;
}

std::string cm6k6_resolution_command(const char* name, int value) {
    return strfmt("%s%05d,%05d,%05d,%05d,%05d,%05d", name, value, value, value, value, value,
                  value);
}

std::optional<std::string> cm6k6_zero_command(int axis) {
    if (axis < 1 || axis > kCm6k6Axes)
        return std::nullopt;
    std::string command = "PSET";
    for (int n = 1; n <= kCm6k6Axes; ++n) {
        if (n > 1)
            command += ',';
        if (n == axis)
            command += '0';
    }
    return command;
}

std::optional<std::string> cm6k6_pair_go_command(int master, int follower) {
    const int low = master < follower ? master : follower;
    const int high = master < follower ? follower : master;
    // The pairs the controller's following is set up for.
    if ((low == 1 && high >= 2 && high <= 4) || (low == 2 && (high == 3 || high == 4)) ||
        (low == 3 && high == 4)) {
        std::string pattern(kCm6k6Axes, '0');
        pattern[static_cast<std::size_t>(low - 1)] = '1';
        pattern[static_cast<std::size_t>(high - 1)] = '1';
        return "GO" + pattern;
    }
    return std::nullopt;
}

std::optional<double> cm6k6_parse_position(std::string_view reply, std::size_t skip) {
    if (reply.size() < skip)
        return std::nullopt;
    return parse_double_prefix(reply.substr(skip, 20));
}

std::optional<int> cm6k6_parse_home_count(std::string_view reply) {
    if (reply.size() < 6)
        return std::nullopt;
    return parse_int_field(reply.substr(6, 20));
}

bool cm6k6_is_no_errors(std::string_view reply) {
    return reply == "*NO ERRORS";
}

bool cm6k6_is_motion_done(std::string_view reply) {
    return !reply.empty() && reply.front() == 'Y';
}

Clamped cm6k6_clamp(double value, double low, double high) {
    if (value < low)
        return {low, true};
    if (value > high)
        return {high, true};
    return {value, false};
}

std::optional<int> cm6k6_travel_error(double distance, double p0, double p1) {
    return truncate_to_int(std::fabs(distance) - std::fabs(p1 - p0));
}

std::optional<int> cm6k6_fine_travel_error(double distance, double p0, double p1) {
    return truncate_to_int(std::trunc(std::fabs(100000.0 * distance)) -
                           std::trunc(std::fabs(100000.0 * (p1 - p0))));
}

std::optional<int> cm6k6_absolute_error(double position, double p1) {
    return truncate_to_int(std::trunc(p1) - std::trunc(position));
}

double cm6k6_round6(double value) {
    const auto back = parse_double_prefix(strfmt("%f", value));
    return back ? *back : value;
}
