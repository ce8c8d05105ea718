#include "platform/system_io/com_port_mapping.hpp"

#include "environment.hpp"

std::string com_port_device(int port, ComPortSystem system,
                            std::optional<std::string_view> override_device) {
    if (port < 1)
        return {};
    if (override_device && !override_device->empty())
        return std::string(*override_device);
    if (system == ComPortSystem::Windows) {
        // Windows knows COM1..COM9 by their plain names only; the device namespace form
        // reaches every port.
        return port <= 9 ? "COM" + std::to_string(port) : "\\\\.\\COM" + std::to_string(port);
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}

std::string com_port_variable(int port) {
    return "TRELWICK_COM" + std::to_string(port);
}

std::string com_port_device_here(int port) {
#ifdef _WIN32
    constexpr ComPortSystem kHere = ComPortSystem::Windows;
#else
    constexpr ComPortSystem kHere = ComPortSystem::Linux;
#endif
    const std::optional<std::string> value = environment_value(com_port_variable(port));
    return com_port_device(port, kHere,
                           value ? std::optional<std::string_view>(*value) : std::nullopt);
}
