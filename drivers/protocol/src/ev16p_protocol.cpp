#include "drivers/protocol/ev16p_protocol.hpp"

#include "platform/text.hpp"

#include <cmath>

std::string ev16p_channel_command(const char* letters, int channel) {
    return strfmt("%s0%d", letters, channel);
}

std::optional<std::string> ev16p_preset_command(int channel, double counts) {
    if (!std::isfinite(counts))
        return std::nullopt;
    char sign = '+';
    if (counts < 0.0) {
        sign = '-';
        counts = -counts;
    }
    constexpr std::size_t kField = 9;
    std::string field = strfmt("000%.4f", counts);
    // Cutting may drop decimals, never a digit before the point.
    if (field.find('.') > kField)
        return std::nullopt;
    field.resize(kField, ' ');
    return strfmt("CP0%d, %c%s", channel, sign, field.c_str());
}

std::optional<double> ev16p_parse_reading(std::string_view reply) {
    if (reply.size() < 5)
        return std::nullopt;
    return parse_double_prefix(reply.substr(5));
}

std::optional<int> ev16p_parse_hold_state(std::string_view reply) {
    if (reply.size() < 5 || reply[4] < '0' || reply[4] > '9')
        return std::nullopt;
    return reply[4] - '0';
}
