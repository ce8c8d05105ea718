// The serial ports on device nodes, end to end over a pseudo-terminal pair: the program
// opens the slave as COM 3 and the test answers on the master.
#include "platform/instrument_diagnosis.hpp"
#include "platform/operator_thread.hpp"
#include "platform/serial.hpp"
#include "platform/system_io/termios_serial.hpp"
#include "pty_pair.hpp"

#include <gtest/gtest.h>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <vector>

namespace {

constexpr int kPort = 3;
constexpr int kCR = 13;

class TermiosSerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        platform_use_serial(&serial);
    }
    void TearDown() override { platform_use_serial(nullptr); }

    // Opens COM 3 as the motion controller's port is opened: 9600 8N1, queues of 512.
    int open_8n1() { return OpenComConfig(kPort, "", 9600, 0, 8, 1, 512, 512); }

    // A reply as the driver reads it: up to 120 bytes ending at a carriage return.
    std::string read_reply(int count = 120) {
        std::string buffer(static_cast<std::size_t>(count), '\0');
        const int n = ComRdTerm(kPort, buffer.data(), count, kCR);
        last_read = n;
        return n > 0 ? buffer.substr(0, static_cast<std::size_t>(n)) : std::string();
    }

    PtyPair pty;
    TermiosSerialBackend serial{[this](int port) {
        return port == kPort ? pty.slave_name() : std::string("/nonexistent/ttyS99");
    }};
    int last_read = 0;
};

termios settings_of(int fd) {
    termios t{};
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    return t;
}

void expect_raw(const termios& t) {
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
}

} // namespace

TEST_F(TermiosSerialTest, OpensTheControllerAndCounterFramingRawAndExclusive) {
    ASSERT_EQ(open_8n1(), 0);
    termios t = settings_of(pty.slave());
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(cfgetispeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    expect_raw(t);
#ifdef TIOCGEXCL
    int exclusive = 0;
    ASSERT_EQ(::ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);
#endif

    // Opening the same port again applies the counter's settings. (A pseudo-terminal
    // keeps the speed and stop bits it is given but always reports 8 bits without
    // parity; the framing itself is checked on the settings below.)
    ASSERT_EQ(OpenComConfig(kPort, "", 9600, 0, 7, 2, 512, 512), 0);
    t = settings_of(pty.slave());
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    expect_raw(t);
    ASSERT_EQ(OpenComConfig(kPort, "", 19200, 1, 8, 1, 512, 512), 0);
    t = settings_of(pty.slave());
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
}

TEST(SerialLineSettings, FrameAsAsked) {
    const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    termios t{};
    ASSERT_EQ(serial_line_settings(t, 9600, 0, 8, 1), 0); // the motion controller
    EXPECT_EQ(t.c_cflag & framing, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(cfgetospeed(&t), B9600);
    expect_raw(t);
    ASSERT_EQ(serial_line_settings(t, 9600, 0, 7, 2), 0); // the gauge counter
    EXPECT_EQ(t.c_cflag & framing, static_cast<tcflag_t>(CS7 | CSTOPB));
    expect_raw(t);
    ASSERT_EQ(serial_line_settings(t, 115200, 1, 7, 1), 0);
    EXPECT_EQ(t.c_cflag & framing, static_cast<tcflag_t>(CS7 | PARENB | PARODD));
    EXPECT_EQ(cfgetispeed(&t), B115200);
    ASSERT_EQ(serial_line_settings(t, 300, 2, 6, 1), 0);
    EXPECT_EQ(t.c_cflag & framing, static_cast<tcflag_t>(CS6 | PARENB));
    ASSERT_EQ(serial_line_settings(t, 1200, 3, 5, 2), 0);
    EXPECT_EQ(t.c_cflag & framing, static_cast<tcflag_t>(CS5 | PARENB | PARODD | CMSPAR | CSTOPB));
    ASSERT_EQ(serial_line_settings(t, 9600, 4, 8, 1), 0);
    EXPECT_EQ(t.c_cflag & framing, static_cast<tcflag_t>(CS8 | PARENB | CMSPAR));
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST_F(TermiosSerialTest, RefusesSettingsAndPortsItCannotServe) {
    EXPECT_EQ(OpenComConfig(kPort, "", 14400, 0, 8, 1, 512, 512), kRS232BadBaud);
    EXPECT_EQ(OpenComConfig(kPort, "", 0, 0, 8, 1, 512, 512), kRS232BadBaud);
    EXPECT_EQ(OpenComConfig(kPort, "", 9600, 5, 8, 1, 512, 512), kRS232BadParity);
    EXPECT_EQ(OpenComConfig(kPort, "", 9600, -1, 8, 1, 512, 512), kRS232BadParity);
    EXPECT_EQ(OpenComConfig(kPort, "", 9600, 0, 9, 1, 512, 512), kRS232BadDataBits);
    EXPECT_EQ(OpenComConfig(kPort, "", 9600, 0, 4, 1, 512, 512), kRS232BadDataBits);
    EXPECT_EQ(OpenComConfig(kPort, "", 9600, 0, 8, 0, 512, 512), kRS232BadStopBits);
    EXPECT_EQ(OpenComConfig(kPort, "", 9600, 0, 8, 3, 512, 512), kRS232BadStopBits);
    EXPECT_EQ(OpenComConfig(0, "", 9600, 0, 8, 1, 512, 512), kRS232InvalidPort);
    EXPECT_EQ(OpenComConfig(256, "", 9600, 0, 8, 1, 512, 512), kRS232InvalidPort);
    // A port whose device is not there.
    EXPECT_EQ(OpenComConfig(4, "", 9600, 0, 8, 1, 512, 512), kRS232CannotOpen);
    // A file that is no terminal.
    EXPECT_EQ(OpenComConfig(4, "/dev/null", 9600, 0, 8, 1, 512, 512), kRS232CannotOpen);

    // None of those opened COM 3.
    char buffer[8];
    EXPECT_EQ(ComWrt(kPort, "1GO\r\n", 5), kRS232PortNotOpen);
    EXPECT_EQ(ComRdTerm(kPort, buffer, 8, kCR), kRS232PortNotOpen);
    EXPECT_EQ(FlushInQ(kPort), kRS232PortNotOpen);
    EXPECT_EQ(FlushOutQ(kPort), kRS232PortNotOpen);
    EXPECT_EQ(DrainOutQ(kPort), kRS232PortNotOpen);
    EXPECT_EQ(ComWrt(4, "1GO\r\n", 5), kRS232PortNotOpen);
}

TEST_F(TermiosSerialTest, AGivenDeviceNameIsOpenedInsteadOfTheMapping) {
    ASSERT_EQ(OpenComConfig(9, pty.slave_name().c_str(), 9600, 0, 8, 1, 512, 512), 0);
    ASSERT_EQ(ComWrt(9, "!K\r\n", 4), 4);
    EXPECT_EQ(pty.receive(4), "!K\r\n");
}

TEST_F(TermiosSerialTest, WritesEveryByteAsGiven) {
    ASSERT_EQ(open_8n1(), 0);
    const std::string command = "1D+12.5000\r\n";
    EXPECT_EQ(ComWrt(kPort, command.data(), static_cast<int>(command.size())), 12);
    // Control characters, a zero byte and the top bit pass untouched (no flow control,
    // no translation).
    const std::string binary("\x11\x13\x00\xff\r\n", 6);
    EXPECT_EQ(ComWrt(kPort, binary.data(), 6), 6);
    EXPECT_EQ(pty.receive(18), command + binary);
    EXPECT_EQ(ComWrt(kPort, "", 0), 0);
}

TEST_F(TermiosSerialTest, ReadsToTheTerminatorAndKeepsWhatFollowsForTheNextRead) {
    ASSERT_EQ(open_8n1(), 0);
    pty.send("+12.5\r*ACK\r\n1:+0.25\r");
    EXPECT_EQ(read_reply(), "+12.5");
    EXPECT_EQ(read_reply(), "*ACK");
    // The line feed after a carriage return belongs to the next reply.
    EXPECT_EQ(read_reply(), "\n1:+0.25");

    // Bytes the line discipline would have eaten or changed arrive as sent.
    pty.send(std::string("\x13\x11\x00\xff\n\r", 6));
    EXPECT_EQ(read_reply(), std::string("\x13\x11\x00\xff\n", 5));
}

TEST_F(TermiosSerialTest, ReadsNoMoreThanTheCount) {
    ASSERT_EQ(open_8n1(), 0);
    pty.send("ABCDEFGH\r");
    EXPECT_EQ(read_reply(3), "ABC");
    EXPECT_EQ(read_reply(), "DEFGH");
    // A terminator just past the count is left for the next read, which ends at once.
    pty.send("XY\rZ\r");
    EXPECT_EQ(read_reply(2), "XY");
    EXPECT_EQ(read_reply(), "");
    EXPECT_EQ(last_read, 0);
    EXPECT_EQ(read_reply(), "Z");
}

TEST_F(TermiosSerialTest, WaitsForAReplyThatComesInPieces) {
    ASSERT_EQ(open_8n1(), 0);
    pty.send("YE");
    std::thread instrument([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.send("S\r");
    });
    EXPECT_EQ(read_reply(), "YES");
    instrument.join();
}

TEST_F(TermiosSerialTest, FlushingTheInputDropsQueuedAndWaitingBytes) {
    ASSERT_EQ(open_8n1(), 0);
    pty.send("A\rstale\r");
    EXPECT_EQ(read_reply(), "A"); // "stale" now waits in the port's queue
    ASSERT_EQ(FlushInQ(kPort), 0);
    pty.send("old\r");
    pollfd p{pty.slave(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1); // "old" has reached the device
    ASSERT_EQ(FlushInQ(kPort), 0);
    EXPECT_EQ(FlushOutQ(kPort), 0);
    pty.send("fresh\r");
    EXPECT_EQ(read_reply(), "fresh");
}

// The halt writes the kill and at once the drives-off command, whose FlushOutQ comes
// before it. On a pseudo-terminal the output flush would take back what the far side has
// not read yet (often all of the kill on a loaded machine); drained or not, what was
// written must all arrive. Many times over, with every core kept busy, as the loss
// depends on when the kernel hands the bytes to the far side.
TEST_F(TermiosSerialTest, AFlushTakesNothingBackThatWasWrittenAndDrained) {
    ASSERT_EQ(open_8n1(), 0);
    std::atomic<bool> loaded{true};
    std::vector<std::thread> load;
    for (unsigned k = 0; k < std::max(2u, std::thread::hardware_concurrency()); ++k)
        load.emplace_back([&loaded] {
            volatile unsigned long spin = 0;
            while (loaded.load(std::memory_order_relaxed))
                spin = spin + 1;
        });
    struct Unload {
        std::atomic<bool>& loaded;
        std::vector<std::thread>& load;
        ~Unload() {
            loaded = false;
            for (std::thread& t : load)
                t.join();
        }
    } unload{loaded, load};
    const std::string kill = "!K1,1,1,1,1,0\r\n";
    const std::string drives_off = "DRIVE000000\r\n";
    for (int round = 0; round < 2000; ++round) {
        ASSERT_EQ(ComWrt(kPort, kill.data(), static_cast<int>(kill.size())), 15);
        ASSERT_EQ(DrainOutQ(kPort), 0);
        ASSERT_EQ(FlushOutQ(kPort), 0);
        ASSERT_EQ(ComWrt(kPort, drives_off.data(), static_cast<int>(drives_off.size())), 13);
        ASSERT_EQ(pty.receive(28), kill + drives_off) << "round " << round;
    }
}

// Costs two read time-outs (kSerialReadTimeoutSeconds each) of real time.
TEST_F(TermiosSerialTest, AReadWithoutTerminatorGivesWhatCameThenTimesOut) {
    ASSERT_EQ(open_8n1(), 0);
    pty.send("+1.2");
    EXPECT_EQ(read_reply(), "+1.2");
    EXPECT_EQ(last_read, 4);
    EXPECT_EQ(ReturnRS232Err(), kRS232Timeout); // the text is cut short
    EXPECT_EQ(read_reply(), "");
    EXPECT_EQ(last_read, kRS232Timeout);
    pty.send("+1.25\r");
    EXPECT_EQ(read_reply(), "+1.25");
    EXPECT_EQ(ReturnRS232Err(), 0);
}

// A Stop during a motion ends a read at once (as a time-out, with what came so far, and
// no fault of the instrument noted), so that the driver halts the motors at its next
// poll; a write still goes out whole, since it may be the halt.
TEST_F(TermiosSerialTest, AStopDuringAMotionEndsAReadButNotAWrite) {
    ASSERT_EQ(open_8n1(), 0);
    platform_instrument_diagnosis_reset();
    const StoppableScope operation;
    const StopInterruptible motion;
    pty.send("*1TAS"); // a reply begun, its end still to come
    std::thread operator_presses_stop([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        platform_request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    const std::string got = read_reply();
    const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;
    operator_presses_stop.join();
    EXPECT_EQ(got, "*1TAS");
    EXPECT_EQ(ReturnRS232Err(), kRS232Timeout);
    // Ended by the Stop, well before the read's own time-out.
    EXPECT_LT(waited.count(), 0.5 * kSerialReadTimeoutSeconds);
    EXPECT_FALSE(instrument_diagnosis(serial_instrument_key(kPort)).has_value());
    EXPECT_EQ(ComWrt(kPort, "!K\r\n", 4), 4);
    EXPECT_EQ(DrainOutQ(kPort), 0);
    EXPECT_EQ(pty.receive(4), "!K\r\n");
}

TEST_F(TermiosSerialTest, AnInstrumentThatHasGoneAwayFailsEveryCall) {
    ASSERT_EQ(open_8n1(), 0);
    pty.send("last\r");
    ASSERT_EQ(read_reply(), "last");
    pty.close_master();
    // Reported as gone, not as a time-out and not as an empty read to poll again.
    EXPECT_EQ(read_reply(), "");
    EXPECT_EQ(last_read, kRS232PeerGone);
    EXPECT_EQ(read_reply(), "");
    EXPECT_EQ(last_read, kRS232PeerGone);
    EXPECT_EQ(ComWrt(kPort, "1GO\r\n", 5), kRS232PeerGone);
    EXPECT_EQ(FlushInQ(kPort), kRS232PeerGone);
}

TEST_F(TermiosSerialTest, APortAnotherProgramHoldsIsRefusedUntilItIsClosed) {
    ASSERT_EQ(open_8n1(), 0);
    TermiosSerialBackend other{[this](int) { return pty.slave_name(); }};
    platform_use_serial(&other);
    EXPECT_EQ(OpenComConfig(kPort, "", 9600, 0, 8, 1, 512, 512), kRS232InUse);
    serial.close_all();
    EXPECT_EQ(OpenComConfig(kPort, "", 9600, 0, 8, 1, 512, 512), 0);
    platform_use_serial(&serial);
}
