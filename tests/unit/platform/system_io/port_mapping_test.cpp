// Where COM ports and GPIB units are found: the mapping rules, the variables that
// override them, the program's installation of the real backends, and what the operator is
// told when a port cannot be opened.
#include "platform/gpib.hpp"
#include "platform/serial.hpp"
#include "platform/system_io/com_port_mapping.hpp"
#include "platform/system_io/gpib_units.hpp"
#include "platform/system_io/open_diagnosis.hpp"
#include "platform/system_io/system_io.hpp"
#include "scoped_environment.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#ifndef _WIN32
#include "pty_pair.hpp"
#endif

namespace {
#ifdef _WIN32
constexpr ComPortSystem kHere = ComPortSystem::Windows;
#else
constexpr ComPortSystem kHere = ComPortSystem::Linux;
#endif
} // namespace

TEST(ComPortMapping, NumbersPortsAsEachSystemDoes) {
    EXPECT_EQ(com_port_device(1, ComPortSystem::Linux, std::nullopt), "/dev/ttyS0");
    EXPECT_EQ(com_port_device(2, ComPortSystem::Linux, std::nullopt), "/dev/ttyS1");
    EXPECT_EQ(com_port_device(32, ComPortSystem::Linux, std::nullopt), "/dev/ttyS31");
    EXPECT_EQ(com_port_device(1, ComPortSystem::Windows, std::nullopt), "COM1");
    EXPECT_EQ(com_port_device(9, ComPortSystem::Windows, std::nullopt), "COM9");
    EXPECT_EQ(com_port_device(10, ComPortSystem::Windows, std::nullopt), "\\\\.\\COM10");
    EXPECT_EQ(com_port_device(0, ComPortSystem::Linux, std::nullopt), "");
    EXPECT_EQ(com_port_device(-3, ComPortSystem::Windows, std::nullopt), "");
}

TEST(ComPortMapping, AVariableOverridesOnePort) {
    EXPECT_EQ(com_port_variable(2), "TRELWICK_COM2");
    EXPECT_EQ(com_port_device(2, ComPortSystem::Linux, "/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(com_port_device(2, ComPortSystem::Windows, "COM7"), "COM7");
    EXPECT_EQ(com_port_device(2, ComPortSystem::Linux, ""), "/dev/ttyS1");
    EXPECT_EQ(com_port_device(0, ComPortSystem::Linux, "/dev/ttyUSB0"), "");

    ScopedEnvironment usb("TRELWICK_COM2", "/dev/ttyUSB0");
    EXPECT_EQ(com_port_device_here(2), "/dev/ttyUSB0");
    // The other ports keep their rule.
    EXPECT_EQ(com_port_device_here(1), com_port_device(1, kHere, std::nullopt));
    {
        ScopedEnvironment emptied("TRELWICK_COM2", "");
        EXPECT_EQ(com_port_device_here(2), com_port_device(2, kHere, std::nullopt));
    }
}

TEST(ComPortMapping, APlaceSetByTheProgramWinsOverTheEnvironmentUntilReset) {
    ScopedEnvironment usb("TRELWICK_COM2", "/dev/ttyUSB0");
    platform_system_io_set_variable("TRELWICK_COM2", "/dev/pts/9");
    platform_system_io_set_variable("TRELWICK_GPIB1_9", "127.0.0.1:5025");
    EXPECT_EQ(com_port_device_here(2), "/dev/pts/9");
    EXPECT_EQ(gpib_endpoint_from_environment(1, 9), "127.0.0.1:5025");
    // An empty value gives the environment's back.
    platform_system_io_set_variable("TRELWICK_COM2", "");
    EXPECT_EQ(com_port_device_here(2), "/dev/ttyUSB0");
    platform_system_io_set_variable("TRELWICK_COM2", "/dev/pts/9");
    platform_system_io_reset();
    EXPECT_EQ(com_port_device_here(2), "/dev/ttyUSB0");
    EXPECT_EQ(gpib_endpoint_from_environment(1, 9), std::nullopt);
}

TEST(GpibEndpoints, AreHostColonPort) {
    const auto plain = parse_gpib_endpoint("127.0.0.1:5025");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "127.0.0.1");
    EXPECT_EQ(plain->port, 5025);
    const auto named = parse_gpib_endpoint("daq.lab:1");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->host, "daq.lab");
    EXPECT_EQ(named->port, 1);
    const auto v6 = parse_gpib_endpoint("[::1]:65535");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->port, 65535);

    for (const char* bad : {"", "127.0.0.1", "127.0.0.1:", ":5025", "host:0", "host:65536",
                            "host:-1", "host:+5025", "host:50x25", "host: 5025", "::1:5025",
                            "[::1]", "[::1]5025", "[]:5025", "host:99999999999999999999"})
        EXPECT_FALSE(parse_gpib_endpoint(bad)) << bad;

    EXPECT_EQ(gpib_endpoint_variable(1, 9), "TRELWICK_GPIB1_9");
    EXPECT_EQ(gpib_endpoint_variable(0, 30), "TRELWICK_GPIB0_30");
    ScopedEnvironment placed("TRELWICK_GPIB1_9", "127.0.0.1:5025");
    EXPECT_EQ(gpib_endpoint_from_environment(1, 9), "127.0.0.1:5025");
    EXPECT_EQ(gpib_endpoint_from_environment(0, 9), std::nullopt);
}

TEST(GpibEndpoints, UnitRangeAndLibraryName) {
    EXPECT_TRUE(gpib_unit_in_range(0, 1));
    EXPECT_TRUE(gpib_unit_in_range(10, 30));
    EXPECT_FALSE(gpib_unit_in_range(-1, 9));
    EXPECT_FALSE(gpib_unit_in_range(11, 9));
    EXPECT_FALSE(gpib_unit_in_range(0, 0));
    EXPECT_FALSE(gpib_unit_in_range(0, 31));
    {
        ScopedEnvironment named("TRELWICK_GPIB_LIBRARY", "/opt/gpib/libgpib.so");
        EXPECT_EQ(gpib_library_name(), "/opt/gpib/libgpib.so");
    }
    ScopedEnvironment unnamed("TRELWICK_GPIB_LIBRARY", "");
    EXPECT_EQ(gpib_library_name(), kHere == ComPortSystem::Windows ? "ni4882.dll" : "libgpib.so.0");
}

#ifndef _WIN32 // Windows meets its serial backend under wine (scripts/test-windows.sh)

// The program's own installation: a pseudo-terminal placed on COM 2 by its variable,
// and a GPIB library that is not there.
TEST(SystemIo, ReachesAMappedPortAndRunsOnWithoutAGpibLibrary) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ScopedEnvironment port("TRELWICK_COM2", pty.slave_name());
    ScopedEnvironment library("TRELWICK_GPIB_LIBRARY", "/nonexistent/libgpib.so.0");
    platform_use_system_io();
    ASSERT_NE(platform_serial(), nullptr);
    ASSERT_NE(platform_gpib(), nullptr);

    ASSERT_EQ(OpenComConfig(2, "", 9600, 0, 7, 2, 512, 512), 0);
    EXPECT_EQ(ComWrt(2, "GA03\r\n", 6), 6);
    EXPECT_EQ(pty.receive(6), "GA03\r\n");
    pty.send("+00012.345\r");
    char reply[300];
    ASSERT_EQ(ComRdTerm(2, reply, 300, 13), 10);
    EXPECT_EQ(std::string(reply, 10), "+00012.345");

    EXPECT_EQ(ibdev(0, 9, 0, 14, 0, 0x140A), -1);
    EXPECT_EQ(ThreadIbsta() & ERR, ERR);

    platform_system_io_reset();
    EXPECT_EQ(platform_serial(), nullptr);
    EXPECT_EQ(platform_gpib(), nullptr);
    EXPECT_EQ(ComWrt(2, "GA03\r\n", 6), kRS232NoBackend);
}
#endif

#ifndef _WIN32
// Root (CI) opens any device, so the refusal a user meets is given as its errno.
TEST(OpenDiagnosis, APortTheUserMayNotOpenSaysToJoinTheDialoutGroup) {
    const ScopedEnvironment unset("TRELWICK_COM2", "");
    const InstrumentDiagnosis d = serial_diagnosis(2, "/dev/ttyS1", serial_failure_of_errno(EACCES),
                                                   system_error_text(EACCES));
    EXPECT_EQ(instrument_diagnosis_lines(d),
              "Tried: COM2 -> /dev/ttyS1 (default mapping; set TRELWICK_COM2 to change it)\n"
              "Reason: permission denied\n"
              "To do: add the user to the dialout group (sudo usermod -aG dialout $USER), then "
              "log in again\n");
    EXPECT_EQ(serial_failure_of_errno(EBUSY), SerialFailure::Busy);
    EXPECT_EQ(serial_diagnosis(2, "/dev/ttyS1", SerialFailure::Busy, "").advice,
              "close the other program that holds the port");
}
#endif
