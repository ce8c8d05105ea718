// trelwick-sim as a process of its own: the drivers meet its controller and counter on
// pseudo-terminals through the real serial backend, and its data acquisition unit through
// the GPIB-over-TCP transport, as an unmodified trelwick would.
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform/system_io/system_io.hpp"
#include "platform_fixture.hpp"
#include "sim/scaled_clock.hpp"

#include <QProcess>
#include <QString>

#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>

namespace {

// Both sides run five times as fast: the bring-up takes 4.5 s, and a controller process
// that is slow to read its line still has half a second to spare after the reset.
constexpr double kSpeed = 5.0;

class SimProcess : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        sim.start(TRELWICK_SIM_EXE, {"--speed", QString::number(kSpeed)});
        ASSERT_TRUE(sim.waitForStarted(5000));
        while (lines.size() < 3 && sim.waitForReadyRead(5000)) {
            while (sim.canReadLine()) {
                const std::string line = sim.readLine().trimmed().toStdString();
                const auto eq = line.find('=');
                ASSERT_NE(eq, std::string::npos) << line;
                lines[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        ASSERT_EQ(lines.size(), 3u);
        for (const auto& [name, value] : lines)
            setenv(name.c_str(), value.c_str(), 1);
        platform_use_clock(&scaled);
        platform_use_system_io();
        cm6k6_reset();
        ev16p_reset();
        hp34970_reset();
    }
    void TearDown() override {
        cm6k6_reset();
        ev16p_reset();
        hp34970_reset();
        platform_system_io_reset();
        for (const char* name : {"TRELWICK_COM2", "TRELWICK_COM5", "TRELWICK_GPIB1_9"})
            unsetenv(name);
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            EXPECT_TRUE(sim.waitForFinished(5000));
            EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(sim.exitCode(), 0);
        }
        PlatformTest::TearDown();
    }
    QProcess sim;
    std::map<std::string, std::string> lines;
    ScaledClock scaled{kSpeed};
};

} // namespace

TEST_F(SimProcess, PrintsWhereItsInstrumentsAre) {
    EXPECT_EQ(lines.at("TRELWICK_COM2").rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(lines.at("TRELWICK_COM5").rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(lines.at("TRELWICK_GPIB1_9").rfind("127.0.0.1:", 0), 0u);
}

TEST_F(SimProcess, DriversRunTheStageAcrossTheProcessBoundary) {
    int hp = 0, cm = 0, ev = 0;
    hp34970_init(1, 9, &hp);
    ASSERT_EQ(hp, 1);
    hp34970_out(hp, "SYST:CPON ALL");
    cm6k6_init(0, 2, 1, &cm);
    ASSERT_EQ(cm, 1);
    ev16p_init(5, 11, &ev);
    ASSERT_EQ(ev, 1);

    // Cam 1 (motor sign +1) two revolutions forward: 2 / 120 of a turn.
    hp34970_switch_on_off(hp, 1, 1);
    EXPECT_EQ(cm6k6_cam_move(0, 0, cm, 1, 2.0, 0), 0);
    hp34970_switch_on_off(hp, 1, 0);
    const double turned = 2.0 * 2.0 * std::numbers::pi / 120.0;

    hp34970_switch_on_off(hp, 9, 1);
    Delay(1.0);
    double v = NAN, vref = NAN;
    hp34970_get_chan_volt(hp, 1, &v);
    hp34970_get_chan_volt(hp, 10, &vref);
    hp34970_switch_on_off(hp, 9, 0);
    EXPECT_NEAR(-(v / vref - 0.5) * 6.2025, turned, 1e-5);

    EXPECT_NEAR(ev16p_read(ev, 1), 0.741 * std::sin(turned + 0.35), 1e-4);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(console.output(), "");
}

// The pseudo-terminals stay up while nobody holds them: the program can close its ports
// and open them again, and the controller answers as before.
TEST_F(SimProcess, PortsCanBeClosedAndOpenedAgain) {
    int cm = 0;
    cm6k6_init(0, 2, 1, &cm);
    ASSERT_EQ(cm, 1);
    platform_system_io_reset(); // closes the ports
    platform_use_system_io();
    cm6k6_reset();
    cm = 0;
    cm6k6_init(0, 2, 1, &cm);
    EXPECT_EQ(cm, 1);
    EXPECT_EQ(cm6k6_read_error_status(cm), 0);
    EXPECT_EQ(console.output(), "");
}
