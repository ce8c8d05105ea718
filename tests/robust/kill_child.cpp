// The program under the kill test: the operator station on the simulated stage in
// virtual time, bringing the devices up, making Moves and Homes, then test runs on the
// test bench, for ever. Each wait also sleeps a little real time, so that a kill from
// outside lands in the middle of an operation. After each operation it writes a letter
// to standard output (M a Move, H a Home, R a test run), so that the killer knows which
// run-log entries were written before the kill.
//
//   robust_kill_child <drive root> <seed>
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "main/callback_table.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/files.hpp"
#include "platform/link/link_backends.hpp"
#include "platform/panels.hpp"
#include "platform/platform.hpp"
#include "platform/scripted/scripted_console.hpp"
#include "platform/scripted/scripted_operator.hpp"
#include "platform/scripted/virtual_clock.hpp"
#include "sim/sim_stage.hpp"
#include "testbench/bench_state.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

// Virtual time, with a short real sleep in every wait; the tick counter moves on as it is
// read, as a real one does while a wait polls it.
class SleepyClock : public ClockBackend {
public:
    void delay(double seconds) override {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        clock_.delay(seconds);
    }
    std::uint32_t tick_count() override {
        clock_.advance(0.001);
        return clock_.tick_count();
    }
    WallTime wall_time() override { return clock_.wall_time(); }
    double now_seconds() override { return clock_.now_seconds(); }

private:
    VirtualClock clock_;
};

void done(char what) {
    // One byte, straight to the pipe: nothing waits in a buffer when the kill comes.
    if (::write(STDOUT_FILENO, &what, 1) != 1)
        std::_Exit(3);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    ScriptedOperator op;
    SleepyClock clock;
    ScriptedConsole console;
    SimStage sim;
    LinkSerialBackend serial;
    LinkGpibBackend gpib;

    platform_reset();
    platform_use_panels(&op);
    platform_use_clock(&clock);
    platform_use_console(&console);
    platform_set_resource_directory(TRELWICK_UI_DIR);
    platform_set_drive_root(argv[1]);
    sim.power_on(platform_now_seconds());
    sim.attach(serial, gpib);
    platform_use_serial(&serial);
    platform_use_gpib(&gpib);
    platform_set_callback_table(trelwick_callback_table());
    std::filesystem::create_directories(platform_map_path("C:\\CVI\\Trelwick\\Log"));

    const int main_panel = LoadPanel(0, "Trelwick.uir", MAIN_PANEL);
    main_panel_handle() = main_panel;
    op.press(main_panel, MAIN_INIT);

    std::mt19937_64 dice(std::strtoull(argv[2], nullptr, 10));
    std::uniform_real_distribution<double> step(-2e-4, 2e-4);
    for (int n = 0; n < 6; ++n) {
        for (int i = 0; i < CAM_COUNT; ++i)
            op.type_value(main_panel, coord_ctrls[static_cast<std::size_t>(i)],
                          i <= COORD_Y ? step(dice) : step(dice) / 100.0);
        op.type_value(main_panel, MAIN_MOVE_MODE, 1LL);
        op.press(main_panel, MAIN_MOVE);
        done('M');
        if (n % 3 == 2) {
            op.press(main_panel, MAIN_HOME);
            done('H');
        }
    }

    op.press(main_panel, MAIN_TEST);
    const int test = test_panel_handle();
    op.type_value(test, TEST_CAM, 1LL);
    op.type_value(test, TEST_POINTS, 4LL);
    op.type_value(test, TEST_STEP, 0.5);
    op.press(test, TEST_INIT);
    for (;;) {
        op.press(test, TEST_RUN);
        done('R');
        op.clear_records();
    }
}
