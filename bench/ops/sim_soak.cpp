#include "sim_soak.hpp"

#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform/platform.hpp"
#include "platform/system_io/system_io.hpp"
#include "sim/scaled_clock.hpp"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace {

long child_resident_kib(qint64 pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string name = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(name, 0) != 0)
            continue;
        const std::size_t digits = line.find_first_of("0123456789");
        long value = -1;
        if (digits != std::string::npos)
            std::from_chars(line.data() + digits, line.data() + line.size(), value);
        return value;
    }
    return -1;
}

} // namespace

int run_sim_memory(int moves, double speed) {
    QProcess sim;
    sim.start(TRELWICK_SIM_EXE, {"--speed", QString::number(speed)});
    if (!sim.waitForStarted(5000)) {
        std::fprintf(stderr, "cannot start %s\n", TRELWICK_SIM_EXE);
        return 1;
    }
    std::map<std::string, std::string> lines;
    while (lines.size() < 4 && sim.waitForReadyRead(5000))
        while (sim.canReadLine()) {
            const std::string line = sim.readLine().trimmed().toStdString();
            const auto eq = line.find('=');
            if (eq != std::string::npos)
                lines[line.substr(0, eq)] = line.substr(eq + 1);
        }
    for (const auto& [name, value] : lines)
        setenv(name.c_str(), value.c_str(), 1);
    ScaledClock clock(speed);
    platform_use_clock(&clock);
    platform_use_system_io();
    const qint64 pid = sim.processId();

    int hp = 0, cm = 0, ev = 0;
    hp34970_init(1, 9, &hp);
    hp34970_out(hp, "SYST:CPON ALL");
    cm6k6_init(0, 2, 1, &cm);
    ev16p_init(5, 11, &ev);
    if (hp != 1 || cm != 1 || ev != 1) {
        std::fprintf(stderr, "bring-up failed (hp %d, cm %d, ev %d)\n", hp, cm, ev);
        return 1;
    }
    std::printf("trelwick-sim at speed %g, %d one-cam moves (relay, move, pot reading; a gauge "
                "reading every tenth)\n",
                speed, moves);
    std::printf("%8s %14s %14s %10s\n", "moves", "VmRSS KiB", "VmHWM KiB", "seconds");
    const auto start = std::chrono::steady_clock::now();
    const auto report = [&](int done) {
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%8d %14ld %14ld %10.1f\n", done, child_resident_kib(pid, "VmRSS"),
                    child_resident_kib(pid, "VmHWM"), s);
        std::fflush(stdout);
    };
    report(0);
    int failures = 0;
    for (int i = 1; i <= moves; ++i) {
        const int cam = 1 + (i % 5);
        hp34970_switch_on_off(hp, cam, 1);
        failures += cm6k6_cam_move(0, 0, cm, cam, i % 2 == 0 ? 1.0 : -1.0, 0) != 0;
        hp34970_switch_on_off(hp, cam, 0);
        double volts = NAN;
        hp34970_get_chan_volt(hp, cam, &volts);
        if (i % 10 == 0)
            failures += std::isnan(ev16p_read(ev, 1));
        if (i == 10 || i == 100 || i % 250 == 0)
            report(i);
    }
    std::printf("failed moves or readings: %d\n", failures);
    cm6k6_exit(cm);
    hp34970_exit(hp);
    ev16p_exit(ev);
    platform_system_io_reset();
    platform_use_clock(nullptr);
    sim.terminate();
    sim.waitForFinished(5000);
    return failures == 0 ? 0 : 1;
}
