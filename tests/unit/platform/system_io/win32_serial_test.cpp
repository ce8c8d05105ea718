// The Win32 serial backend without a device: the line settings it gives the port, and
// the failures of ports it cannot open. The backend meets a real port end to end under
// wine (tests/sim/windows_ports_test.cpp).
#include "platform/system_io/win32_serial.hpp"

#include <gtest/gtest.h>

#include <windows.h>

TEST(Win32Serial, LineSettingsAreTheRunTimesNumbersOrTheFailureThatNamesThem) {
    Win32LineSettings s;
    ASSERT_EQ(serial_win32_settings(s, 9600, 0, 8, 1), 0); // the controller
    EXPECT_EQ(s.baud, 9600u);
    EXPECT_EQ(s.byte_size, 8);
    EXPECT_EQ(s.parity, NOPARITY);
    EXPECT_EQ(s.stop_bits, ONESTOPBIT);
    ASSERT_EQ(serial_win32_settings(s, 9600, 0, 7, 2), 0); // the counter
    EXPECT_EQ(s.byte_size, 7);
    EXPECT_EQ(s.stop_bits, TWOSTOPBITS);
    const int parities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    for (int p = 0; p <= 4; ++p) {
        ASSERT_EQ(serial_win32_settings(s, 19200, p, 8, 1), 0);
        EXPECT_EQ(s.parity, parities[p]);
    }
    EXPECT_EQ(serial_win32_settings(s, 9601, 0, 8, 1), kRS232BadBaud);
    EXPECT_EQ(serial_win32_settings(s, 9600, 5, 8, 1), kRS232BadParity);
    EXPECT_EQ(serial_win32_settings(s, 9600, 0, 9, 1), kRS232BadDataBits);
    EXPECT_EQ(serial_win32_settings(s, 9600, 0, 8, 3), kRS232BadStopBits);
}

TEST(Win32Serial, PortsThatCannotBeOpenedFailAsOnLinux) {
    Win32SerialBackend serial([](int port) { return port == 3 ? std::string() : "COM201"; });
    EXPECT_EQ(serial.open_com_config(0, "", 9600, 0, 8, 1, 512, 512), kRS232InvalidPort);
    EXPECT_EQ(serial.open_com_config(3, "", 9600, 0, 8, 1, 512, 512), kRS232InvalidPort);
    EXPECT_EQ(serial.open_com_config(2, "", 9600, 0, 8, 1, 512, 512), kRS232CannotOpen);
    EXPECT_EQ(serial.open_com_config(2, "", 1234, 0, 8, 1, 512, 512), kRS232BadBaud);
    char reply[8];
    EXPECT_EQ(serial.com_wrt(2, "E1\r\n", 4), kRS232PortNotOpen);
    EXPECT_EQ(serial.com_rd_term(2, reply, 8, 13), kRS232PortNotOpen);
    EXPECT_EQ(serial.last_read_error(), kRS232PortNotOpen);
    EXPECT_EQ(serial.flush_in_q(2), kRS232PortNotOpen);
}
