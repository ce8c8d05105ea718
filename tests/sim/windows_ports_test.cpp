// The Windows build meets trelwick-sim running on the Linux side of wine: the controller
// and the counter on pseudo-terminals that wine maps to COM2 and COM5, the data
// acquisition unit on a loopback TCP port (TRELWICK_GPIB1_9). The drivers bring the three
// up through the Win32 serial backend and the Winsock transport, and every byte they
// hand the serial backend is recorded and checked: the sim answers only commands it
// understands, so a bring-up that succeeds also says the bytes arrived intact.
// scripts/test-windows.sh starts trelwick-sim, maps the ports and runs this program.
#include "driver_fixture.hpp"
#include "platform/system_io/serial_errors.hpp"
#include "platform/system_io/system_io.hpp"
#include "platform_fixture.hpp"
#include "sim/scaled_clock.hpp"

#include <cmath>
#include <map>
#include <memory>
#include <string>

namespace {

// The same speed as the trelwick-sim the script starts.
constexpr double kSpeed = 5.0;

// Passes every call on to the machine's serial backend and keeps what was written.
class RecordingSerial : public SerialBackend {
public:
    explicit RecordingSerial(SerialBackend& port) : port_(port) {}
    int open_com_config(int port, const std::string& device_name, long baud, int parity,
                        int data_bits, int stop_bits, int input_queue, int output_queue) override {
        return port_.open_com_config(port, device_name, baud, parity, data_bits, stop_bits,
                                     input_queue, output_queue);
    }
    int flush_in_q(int port) override { return port_.flush_in_q(port); }
    int flush_out_q(int port) override { return port_.flush_out_q(port); }
    int drain_out_q(int port) override { return port_.drain_out_q(port); }
    int com_wrt(int port, const char* buffer, int count) override {
        const int n = port_.com_wrt(port, buffer, count);
        if (n > 0)
            written[port].append(buffer, static_cast<std::size_t>(n));
        return n;
    }
    int com_rd_term(int port, char* buffer, int count, int termination_byte) override {
        return port_.com_rd_term(port, buffer, count, termination_byte);
    }
    int last_read_error() const override { return port_.last_read_error(); }

    std::map<int, std::string> written;

private:
    SerialBackend& port_;
};

class WindowsPorts : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        platform_use_clock(&scaled);
        platform_use_system_io();
        recorder = std::make_unique<RecordingSerial>(*platform_serial());
        platform_use_serial(recorder.get());
        cm6k6_reset();
        ev16p_reset();
        hp34970_reset();
    }
    void TearDown() override {
        cm6k6_reset();
        ev16p_reset();
        hp34970_reset();
        platform_use_serial(nullptr);
        platform_system_io_reset();
        PlatformTest::TearDown();
    }
    ScaledClock scaled{kSpeed};
    std::unique_ptr<RecordingSerial> recorder;
};

} // namespace

TEST_F(WindowsPorts, BringsUpTheSimulatedInstrumentsThroughWin32PortsAndWinsock) {
    int hp = 0, cm = 0, ev = 0;
    hp34970_init(1, 9, &hp);
    ASSERT_EQ(hp, 1);
    cm6k6_init(0, 2, 1, &cm);
    ASSERT_EQ(cm, 1);
    ev16p_init(5, 11, &ev);
    ASSERT_EQ(ev, 1);

    std::string controller;
    for (const std::string& command : kControllerConfiguration)
        controller += command + "\r\n";
    for (int k = 0; k < 4; ++k)
        controller += "TCMDER\r\n";
    EXPECT_EQ(recorder->written[2], controller);
    EXPECT_EQ(recorder->written[5], "CS00\r\nCK01\r\n");

    // A reading through both transports: the potentiometer reference of the unit and a
    // gauge of the counter (all cams at 0, gauge 1 under cam 1 alone as the stage is
    // served here: it reads 0.741 sin 0.35).
    hp34970_switch_on_off(hp, 9, 1);
    double vref = NAN;
    hp34970_get_chan_volt(hp, 10, &vref);
    hp34970_switch_on_off(hp, 9, 0);
    EXPECT_NEAR(vref, 10.0, 1e-3);
    EXPECT_NEAR(ev16p_read(ev, 1), 0.741 * std::sin(0.35), 1e-4);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(console.output(), "");
}

// A COM port with no device behind it fails to open with the code Linux gives.
TEST_F(WindowsPorts, APortWithoutADeviceCannotBeOpened) {
    EXPECT_EQ(OpenComConfig(42, "", 9600, 0, 8, 1, 512, 512), kRS232CannotOpen);
    EXPECT_EQ(ComWrt(42, "TCMDER\r\n", 8), kRS232PortNotOpen);
}
