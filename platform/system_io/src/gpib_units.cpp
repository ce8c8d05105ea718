#include "platform/system_io/gpib_units.hpp"

#include "environment.hpp"

#include <charconv>

bool gpib_unit_in_range(int board, int address) {
    return board >= 0 && board <= 10 && address >= 1 && address <= 30;
}

std::optional<GpibEndpoint> parse_gpib_endpoint(std::string_view text) {
    std::string_view host;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (rest.empty() || rest.front() != ':')
            return std::nullopt;
        rest.remove_prefix(1);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = text.substr(0, colon);
        rest = text.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return std::nullopt; // an IPv6 address needs its brackets
    }
    if (host.empty() || rest.empty())
        return std::nullopt;
    int port = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), port);
    if (error != std::errc() || end != rest.data() + rest.size() || port < 1 || port > 65535)
        return std::nullopt;
    return GpibEndpoint{std::string(host), port};
}

std::string gpib_endpoint_variable(int board, int address) {
    return "TRELWICK_GPIB" + std::to_string(board) + "_" + std::to_string(address);
}

std::optional<std::string> gpib_endpoint_from_environment(int board, int address) {
    return environment_value(gpib_endpoint_variable(board, address));
}

std::string gpib_library_name() {
    if (std::optional<std::string> name = environment_value("TRELWICK_GPIB_LIBRARY"))
        return *name;
#if defined(_WIN64)
    return "ni4882.dll"; // NI-488.2's library for 64-bit programs
#elif defined(_WIN32)
    return "gpib-32.dll"; // 32-bit programs only
#else
    return "libgpib.so.0";
#endif
}
