#include "platform/system_io/system_io.hpp"

#include "platform/gpib.hpp"
#include "platform/serial.hpp"
#include "platform/system_io/gpib_library.hpp"
#include "platform/system_io/gpib_routing.hpp"
#include "platform/system_io/gpib_tcp.hpp"
#include "platform/system_io/termios_serial.hpp"

#include <memory>

namespace {

struct SystemIo {
#ifndef _WIN32
    TermiosSerialBackend serial;
    GpibTcpBackend tcp;
#endif
    GpibLibraryBackend library;
#ifndef _WIN32
    GpibRoutingBackend gpib{library, tcp};
#endif
};

std::unique_ptr<SystemIo> g_io;

} // namespace

void platform_use_system_io() {
    platform_system_io_reset();
    g_io = std::make_unique<SystemIo>();
#ifndef _WIN32
    platform_use_serial(&g_io->serial);
    platform_use_gpib(&g_io->gpib);
#else
    platform_use_gpib(&g_io->library);
#endif
}

void platform_system_io_reset() {
    if (!g_io)
        return;
#ifndef _WIN32
    if (platform_serial() == &g_io->serial)
        platform_use_serial(nullptr);
    if (platform_gpib() == &g_io->gpib)
        platform_use_gpib(nullptr);
#else
    if (platform_gpib() == &g_io->library)
        platform_use_gpib(nullptr);
#endif
    g_io.reset();
}
