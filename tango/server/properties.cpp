#include "properties.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <sstream>
#include <system_error>

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

template <typename T> bool whole(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && stop == end && !text.empty();
}

template <typename T>
PropertyValue<T> refused(const std::string& name, const std::string& text,
                         const std::string& wanted) {
    return {std::nullopt, "Property " + name + " is \"" + text + "\": it must be " + wanted};
}

} // namespace

PropertyValue<bool> parse_flag_property(const std::string& name, const std::string& text) {
    const std::string word = lowered(text);
    if (word == "true" || word == "1" || word == "yes")
        return {true, {}};
    if (word == "false" || word == "0" || word == "no")
        return {false, {}};
    return refused<bool>(name, text, "true or false");
}

PropertyValue<double> parse_number_property(const std::string& name, const std::string& text,
                                            double low, double high) {
    double value = 0.0;
    if (whole(text, value) && std::isfinite(value) && value >= low && value <= high)
        return {value, {}};
    std::ostringstream range;
    range << "a number from " << low << " to " << high;
    return refused<double>(name, text, range.str());
}

PropertyValue<std::pair<int, int>> parse_gpib_property(const std::string& name,
                                                       const std::string& text) {
    const std::size_t colon = text.find(':');
    int board = -1;
    int address = -1;
    if (colon != std::string::npos && whole(text.substr(0, colon), board) &&
        whole(text.substr(colon + 1), address) && board >= 0 && board <= 10 && address >= 1 &&
        address <= 30)
        return {std::pair{board, address}, {}};
    return refused<std::pair<int, int>>(name, text,
                                        "BOARD:ADDRESS, board 0 to 10, address 1 to 30");
}

PropertyValue<WaitProfile> parse_wait_profile_property(const std::string& name,
                                                       const std::string& text) {
    if (const std::optional<WaitProfile> profile = parse_wait_profile(lowered(text)))
        return {*profile, {}};
    return refused<WaitProfile>(name, text, "designed or fast");
}
