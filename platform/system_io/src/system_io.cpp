#include "platform/system_io/system_io.hpp"

#include "environment.hpp"

#include "platform/gpib.hpp"
#include "platform/serial.hpp"
#include "platform/system_io/gpib_library.hpp"
#include "platform/system_io/gpib_routing.hpp"
#include "platform/system_io/gpib_tcp.hpp"
#include "platform/system_io/termios_serial.hpp"
#include "platform/system_io/win32_serial.hpp"

#include <memory>

namespace {

struct SystemIo {
#ifdef _WIN32
    Win32SerialBackend serial;
#else
    TermiosSerialBackend serial;
#endif
    GpibTcpBackend tcp;
    GpibLibraryBackend library;
    GpibRoutingBackend gpib{library, tcp};
};

std::unique_ptr<SystemIo> g_io;

} // namespace

void platform_use_system_io() {
    platform_system_io_reset();
    g_io = std::make_unique<SystemIo>();
    platform_use_serial(&g_io->serial);
    platform_use_gpib(&g_io->gpib);
}

void platform_system_io_reset() {
    environment_overrides_reset();
    if (!g_io)
        return;
    if (platform_serial() == &g_io->serial)
        platform_use_serial(nullptr);
    if (platform_gpib() == &g_io->gpib)
        platform_use_gpib(nullptr);
    g_io.reset();
}
