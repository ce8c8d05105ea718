// trelwick-ops-bench: what the operator station costs beyond the waits its design
// prescribes, on the simulated stage. See docs/performance-and-robustness.md for the figures
// and scripts/bench-ops.sh for the runs that make them.
//
//   trelwick-ops-bench ops [--speed S]    bring-up, Move, Home, work point in real time
//   trelwick-ops-bench waits [--speed S] [--virtual]
//                                         the same in both wait profiles, each operation's
//                                         time split by what it waited for
//   trelwick-ops-bench virtual [--moves N] [--scripted]
//                                         CPU per whole Move and Home in virtual time
//   trelwick-ops-bench idle [--seconds T]  CPU over wall while the program waits
// --operator-thread (virtual, idle): the operations run on the operator thread, their
// panel calls carried to the Qt thread, as in the program.
//   trelwick-ops-bench memory              resident memory after bring-up and ten moves
//   trelwick-ops-bench sim-memory [--moves N] [--speed S]
//                                         trelwick-sim's resident memory over N moves
// --fine-timers (any mode) sets the timer slack to 1 ns.
#include "bench_station.hpp"
#include "drivers/delay.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_operator_front_end.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/scripted/scripted_operator.hpp"
#include "platform/scripted/virtual_clock.hpp"
#include "process_usage.hpp"
#include "sim/scaled_clock.hpp"
#include "sim_soak.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <sys/prctl.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

namespace {

bool number_option(int argc, char** argv, std::string_view name, double& value) {
    for (int i = 2; i + 1 < argc; ++i) {
        if (name != argv[i])
            continue;
        const std::string_view text = argv[i + 1];
        double parsed = 0.0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
        // Bounded, so that a count or a speed converts safely and means something.
        if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed) ||
            !(parsed > 0.0) || parsed > 1e6) {
            std::fprintf(stderr, "%s wants a number above 0 and at most 1e6, not \"%s\"\n", argv[i],
                         argv[i + 1]);
            return false;
        }
        value = parsed;
    }
    return true;
}

bool has_flag(int argc, char** argv, std::string_view name) {
    for (int i = 2; i < argc; ++i)
        if (name == argv[i])
            return true;
    return false;
}

// --operator-thread: the program as trelwick runs it, every operation on the operator
// thread and every panel call carried to this (the window's) thread.
class OperatorThreadMode {
public:
    explicit OperatorThreadMode(QtPanelBackend& panels) : front_end_(panels, thread_) {
        platform_use_operator_thread(&thread_);
        thread_.start([] { return RunUserInterface(); });
    }
    ~OperatorThreadMode() {
        // Not through QuitUserInterface: the station's end has put the platform back.
        thread_.post([this] { thread_.quit(0); });
        thread_.join();
        platform_use_operator_thread(nullptr);
    }
    OperatorThreadMode(const OperatorThreadMode&) = delete;
    OperatorThreadMode& operator=(const OperatorThreadMode&) = delete;
    PanelBackend& panels() { return front_end_; }
    void attach(BenchStation& station) {
        station.run_with([this](const std::function<void()>& operation) {
            QEventLoop loop;
            thread_.post([&] {
                operation();
                QMetaObject::invokeMethod(
                    &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
            });
            loop.exec();
        });
    }

private:
    OperatorThread thread_;
    QtOperatorFrontEnd front_end_;
};

// The four operations in real time; the last row sums them.
int run_operations(double speed) {
    ScaledClock clock(speed);
    QtPanelBackend panels;
    BenchStation station(clock, speed, panels);
    std::printf("real time, --speed %g (machine seconds)\n", speed);
    print_cost_header();
    OperationCost total;
    total.name = "all four";
    auto row = [&](const OperationCost& c) {
        print_cost(c);
        total.wall += c.wall;
        total.asked += c.asked;
        total.slept += c.slept;
        total.motion += c.motion;
        total.waits += c.waits;
        total.event_waits += c.event_waits;
        total.cpu += c.cpu;
    };
    row(station.run("bring-up", [&] { station.bring_up(); }));
    row(station.run("Move X +0.0005", [&] { station.move_relative(0.0005, 0.0); }));
    row(station.run("Home", [&] { station.home(); }));
    station.open_test_panel(1, 0.0);
    row(station.run("work-point search", [&] { station.find_work_point(); }));
    print_cost(total);
    return 0;
}

// The four operations in each wait profile, on a fresh stage each; --virtual runs them in
// virtual time (the split in the stage's seconds, at once).
int run_wait_split(double speed, bool virtual_time) {
    if (virtual_time)
        std::printf("virtual time (stage seconds)\n");
    else
        std::printf("real time, --speed %g (machine seconds)\n", speed);
    print_split_header();
    for (const WaitProfile profile : {WaitProfile::designed, WaitProfile::fast}) {
        set_wait_profile(profile);
        VirtualClock virtual_clock;
        ScaledClock scaled_clock(speed);
        ClockBackend& clock =
            virtual_time ? static_cast<ClockBackend&>(virtual_clock) : scaled_clock;
        QtPanelBackend panels;
        BenchStation station(clock, virtual_time ? 1.0 : speed, panels);
        const char* name = wait_profile_name(profile);
        OperationCost total;
        total.name = "all four";
        auto row = [&](const OperationCost& c) {
            print_split(name, c);
            total.wall += c.wall;
            total.motion += c.motion;
            for (std::size_t k = 0; k < kWaitKinds; ++k) {
                total.book.seconds[k] += c.book.seconds[k];
                total.book.count[k] += c.book.count[k];
            }
        };
        // In virtual time the wall is the stage's seconds the operation took.
        auto run = [&](const char* what, const std::function<void()>& operation) {
            const double start = platform_now_seconds();
            OperationCost c = station.run(what, operation);
            if (virtual_time)
                c.wall = platform_now_seconds() - start;
            return c;
        };
        row(run("bring-up", [&] { station.bring_up(); }));
        row(run("Move X +0.0005", [&] { station.move_relative(0.0005, 0.0); }));
        row(run("Home", [&] { station.home(); }));
        station.open_test_panel(1, 0.0);
        row(run("work-point search", [&] { station.find_work_point(); }));
        print_split(name, total);
    }
    set_wait_profile(WaitProfile::designed);
    return 0;
}

int run_virtual(int moves, bool scripted, bool threaded) {
    VirtualClock clock;
    QtPanelBackend qt_panels;
    ScriptedOperator scripted_operator;
    std::unique_ptr<OperatorThreadMode> mode;
    if (threaded && !scripted)
        mode = std::make_unique<OperatorThreadMode>(qt_panels);
    PanelBackend& panels = scripted ? static_cast<PanelBackend&>(scripted_operator)
                           : mode   ? mode->panels()
                                    : qt_panels;
    BenchStation station(clock, 1.0, panels);
    if (mode)
        mode->attach(station);
    std::printf("virtual time, %s: CPU per operation, %d Moves and %d Homes\n",
                scripted ? "scripted operator"
                : mode   ? "Qt panels, operator thread"
                         : "Qt panels",
                moves, moves / 10);
    const OperationCost up = station.run("bring-up", [&] { station.bring_up(); });
    std::vector<double> move_cpu;
    std::vector<double> home_cpu;
    for (int i = 0; i < moves; ++i) {
        const double x = (i % 2 == 0 ? 1.0 : -1.0) * 0.0005;
        const double y = (i % 4 < 2 ? 1.0 : -1.0) * 0.0003;
        move_cpu.push_back(station.run("Move", [&] { station.move_relative(x, y); }).cpu);
        if (i % 10 == 9)
            home_cpu.push_back(station.run("Home", [&] { station.home(); }).cpu);
    }
    station.open_test_panel(1, 0.0);
    const OperationCost work = station.run("work point", [&] { station.find_work_point(); });
    auto report = [](const char* name, std::vector<double> cpu) {
        if (cpu.empty())
            return;
        std::sort(cpu.begin(), cpu.end());
        double sum = 0.0;
        for (const double c : cpu)
            sum += c;
        std::printf("%-18s n=%-5zu mean %.3f ms  median %.3f ms  max %.3f ms\n", name, cpu.size(),
                    1e3 * sum / static_cast<double>(cpu.size()), 1e3 * cpu[cpu.size() / 2],
                    1e3 * cpu.back());
    };
    report("bring-up", {up.cpu});
    report("Move", move_cpu);
    report("Home", home_cpu);
    report("work-point search", {work.cpu});
    return 0;
}

// CPU over wall of the process while it waits.
int run_idle(double seconds, bool threaded) {
    std::printf("CPU over wall while waiting (one core = 100%%)\n");
    std::printf("%-34s %9s %8s %7s\n", "wait", "wall s", "cpu s", "cpu%");
    auto line = [](const char* name, double wall, double cpu) {
        std::printf("%-34s %9.3f %8.4f %6.3f%%\n", name, wall, cpu, 100.0 * cpu / wall);
        std::fflush(stdout);
    };
    {
        const double cpu = process_cpu_seconds();
        const double start = machine_seconds();
        Delay(seconds);
        line("blocking Delay", machine_seconds() - start, process_cpu_seconds() - cpu);
    }
    ScaledClock clock(1.0);
    QtPanelBackend qt_panels;
    std::unique_ptr<OperatorThreadMode> mode;
    if (threaded)
        mode = std::make_unique<OperatorThreadMode>(qt_panels);
    BenchStation station(clock, 1.0, mode ? mode->panels() : qt_panels);
    if (mode)
        mode->attach(station);
    // With the operator thread the window's loop draws the panel just shown on its own:
    // that first drawing is done before the idle wait is measured.
    station.run("settle", [&] { delay(0.5); });
    {
        const OperationCost c = station.run("delay", [&] { delay(seconds); });
        line("event-processing delay, idle panel", c.wall, c.cpu);
    }
    station.bring_up();
    {
        const OperationCost c = station.run("Move", [&] { station.move_relative(0.001, 0.0); });
        line("Move X +0.001 (motion wait)", c.wall, c.cpu);
    }
    const int points = std::max(2, static_cast<int>(seconds));
    station.open_test_panel(points, 1.0);
    {
        const OperationCost c = station.run("series", [&] { station.run_test(); });
        char name[64];
        std::snprintf(name, sizeof name, "timed series, %d points 1 s apart", points);
        line(name, c.wall, c.cpu);
    }
    {
        const OperationCost c = station.run("watch", [&] { station.watch_angle(); });
        line("angle watch (20 readings)", c.wall, c.cpu);
    }
    return 0;
}

int run_memory() {
    VirtualClock clock;
    QtPanelBackend panels;
    BenchStation station(clock, 1.0, panels);
    const long at_start = resident_kib();
    station.bring_up();
    for (int i = 0; i < 10; ++i)
        station.move_relative((i % 2 == 0 ? 1.0 : -1.0) * 0.0005, 0.0);
    QCoreApplication::processEvents();
    std::printf("platform %s\n", QGuiApplication::platformName().toUtf8().constData());
    std::printf("resident with the main panel shown: %ld KiB\n", at_start);
    std::printf("resident after bring-up and ten moves: %ld KiB (peak %ld KiB)\n", resident_kib(),
                peak_resident_kib());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // --fine-timers: wake-ups on time to the microsecond rather than the kernel's default
    // 50 us of slack, to show how much of the added time is the timer's.
    if (has_flag(argc, argv, "--fine-timers"))
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    const std::string_view mode = argc > 1 ? argv[1] : "";
    double speed = 1.0;
    double moves = 200.0;
    double seconds = 5.0;
    if (!number_option(argc, argv, "--speed", speed) ||
        !number_option(argc, argv, "--moves", moves) ||
        !number_option(argc, argv, "--seconds", seconds))
        return 2;
    if (mode == "ops")
        return run_operations(speed);
    if (mode == "waits")
        return run_wait_split(speed, has_flag(argc, argv, "--virtual"));
    if (mode == "virtual")
        return run_virtual(static_cast<int>(moves), has_flag(argc, argv, "--scripted"),
                           has_flag(argc, argv, "--operator-thread"));
    if (mode == "idle")
        return run_idle(seconds, has_flag(argc, argv, "--operator-thread"));
    if (mode == "memory")
        return run_memory();
    if (mode == "sim-memory")
        return run_sim_memory(static_cast<int>(moves), speed);
    std::fprintf(stderr,
                 "usage: %s ops [--speed S] | waits [--speed S] [--virtual] | virtual [--moves N] "
                 "[--scripted] | idle [--seconds T] "
                 "| memory | sim-memory [--moves N] [--speed S]\n",
                 argv[0]);
    return 2;
}
