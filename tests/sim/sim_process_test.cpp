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
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numbers>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
        while (lines.size() < 4 && sim.waitForReadyRead(5000)) {
            while (sim.canReadLine()) {
                const std::string line = sim.readLine().trimmed().toStdString();
                const auto eq = line.find('=');
                ASSERT_NE(eq, std::string::npos) << line;
                lines[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        ASSERT_EQ(lines.size(), 4u);
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
        for (const char* name :
             {"TRELWICK_COM2", "TRELWICK_COM5", "TRELWICK_GPIB1_9", "TRELWICK_SIM_CONTROL"})
            unsetenv(name);
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            EXPECT_TRUE(sim.waitForFinished(5000));
            EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(sim.exitCode(), 0);
        }
        PlatformTest::TearDown();
    }
    // One line to the simulator's control socket and its one-line reply.
    std::string control(const std::string& line) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = lines.at("TRELWICK_SIM_CONTROL");
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        std::string reply;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::write(fd, (line + "\n").data(), line.size() + 1) ==
                static_cast<ssize_t>(line.size() + 1)) {
            pollfd p{fd, POLLIN, 0};
            char c = 0;
            while (::poll(&p, 1, 5000) == 1 && ::read(fd, &c, 1) == 1 && c != '\n')
                reply += c;
        }
        ::close(fd);
        return reply;
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
    EXPECT_TRUE(lines.at("TRELWICK_SIM_CONTROL").ends_with(".sock"));
}

// A fault switched on through the control socket while the drivers talk to the running
// simulator: the controller falls silent, the driver's status query gets no byte back and
// the error status check fails; switched off, the same check passes again. The state
// shows the fault while it is on.
TEST_F(SimProcess, FaultSwitchedAtRunTimeThroughTheControlSocket) {
    int cm = 0;
    cm6k6_init(0, 2, 1, &cm);
    ASSERT_EQ(cm, 1);
    EXPECT_EQ(control("fault controller-silent on"), "ok");
    EXPECT_NE(control("state").find("\"controller\":\"silent\""), std::string::npos);
    console.add_line("\n");
    console.add_line("\n");
    EXPECT_EQ(cm6k6_read_error_status(cm), -1);
    const std::string silent = console.output();
    EXPECT_NE(silent.find("problem receiving RS232 input"), std::string::npos) << silent;
    EXPECT_NE(silent.find("TCMDER\n\nCM6K6 ERROR: Error executing command\n"), std::string::npos)
        << silent;
    EXPECT_EQ(control("fault controller-silent off"), "ok");
    console.clear_output();
    EXPECT_EQ(cm6k6_read_error_status(cm), 0);
    EXPECT_EQ(console.output(), "");
    EXPECT_EQ(control("frob"), "error: unknown command \"frob\" (help lists them)");
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

    // Channel 1 sees cams 1 to 3; the reading carries up to 0.3 um of noise.
    EXPECT_NEAR(ev16p_read(ev, 1),
                0.741 * std::sin(turned + 0.35) + 0.746 * std::sin(-0.6) + 0.741 * std::sin(1.1),
                4e-4);
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
