#include "bench_station.hpp"

#include "app/bring_up.hpp"
#include "app/main_operations.hpp"
#include "app/parameters_panel.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "main/callback_table.hpp"
#include "platform/platform.hpp"
#include "process_usage.hpp"
#include "testbench/bench_state.hpp"
#include "testbench/test_panel.hpp"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

BenchStation::BenchStation(ClockBackend& clock, double speed, PanelBackend& panels)
    : ledger_(clock), speed_(speed) {
    root_ = (std::filesystem::temp_directory_path() /
             ("trelwick-ops-bench-" + std::to_string(getpid())))
                .string();
    std::filesystem::remove_all(root_);
    platform_set_drive_root(root_);
    std::filesystem::create_directories(platform_map_path("C:\\CVI\\Trelwick\\Log"));

    // A station starts as the program does: nothing open, nothing recorded (the bench may
    // set up one station after another).
    shared_state_reset();
    parameters_panel_reset();
    run_log_reset();
    testbench_reset();
    cm6k6_reset();
    ev16p_reset();
    hp34970_reset();
    platform_use_clock(&ledger_);
    sim_.power_on(platform_now_seconds());
    // The controller runs every command in order, so the first command it runs with no axis
    // moving after a GO closes that GO's motion; the stage knows when each axis stopped.
    sim_.cm6k6().on_command = [this](std::string_view command, double time) {
        note_motion(time);
        if (command.rfind("GO", 0) == 0 && moving_since_ < 0.0)
            moving_since_ = time;
    };
    sim_.attach(serial_, gpib_);
    platform_use_serial(&serial_);
    platform_use_gpib(&gpib_);

    platform_use_panels(&panels);
    platform_set_resource_directory(TRELWICK_UI_DIR);
    platform_set_callback_table(trelwick_callback_table());
    main_ = LoadPanel(0, "Trelwick.uir", MAIN_PANEL);
    main_panel_handle() = main_;
    DisplayPanel(main_);
}

BenchStation::~BenchStation() {
    platform_reset();
    std::filesystem::remove_all(root_);
}

void BenchStation::note_motion(double now) {
    if (moving_since_ < 0.0)
        return;
    double end = moving_since_;
    for (int axis = 1; axis <= kSimAxes; ++axis) {
        if (sim_.model().moving(axis, now))
            return;
        const double axis_end = sim_.model().motion_end_time(axis);
        if (axis_end > end && axis_end <= now)
            end = axis_end;
    }
    motion_ += end - moving_since_;
    moving_since_ = -1.0;
}

OperationCost BenchStation::run(const std::string& name, const std::function<void()>& operation) {
    note_motion(platform_now_seconds());
    const WaitTotals before = ledger_.totals();
    const WaitBook book_before = wait_book();
    const double motion_before = motion_;
    const double cpu_before = process_cpu_seconds();
    const double start = machine_seconds();
    if (runner_)
        runner_(operation);
    else
        operation();
    const double wall = machine_seconds() - start;
    const double cpu = process_cpu_seconds() - cpu_before;
    sim_.advance(platform_now_seconds());
    note_motion(platform_now_seconds());
    const WaitTotals& after = ledger_.totals();
    OperationCost cost;
    cost.name = name;
    cost.wall = wall;
    cost.asked = (after.asked_seconds - before.asked_seconds) / speed_;
    cost.slept = after.slept_seconds - before.slept_seconds;
    cost.motion = (motion_ - motion_before) / speed_;
    cost.waits = after.delays - before.delays;
    cost.event_waits = after.event_waits - before.event_waits;
    cost.cpu = cpu;
    const WaitBook book_after = wait_book();
    for (std::size_t k = 0; k < kWaitKinds; ++k) {
        cost.book.seconds[k] = (book_after.seconds[k] - book_before.seconds[k]) / speed_;
        cost.book.count[k] = book_after.count[k] - book_before.count[k];
    }
    return cost;
}

void BenchStation::bring_up() {
    device_init(main_, MAIN_INIT, EVENT_COMMIT, nullptr, 0, 0);
}

void BenchStation::move_relative(double x, double y) {
    SetCtrlVal(main_, MAIN_MOVE_MODE, 0);
    SetCtrlVal(main_, MAIN_TARGET_X, x);
    SetCtrlVal(main_, MAIN_TARGET_Y, y);
    move_motor(main_, MAIN_MOVE, EVENT_COMMIT, nullptr, 0, 0);
}

void BenchStation::home() {
    go_home(main_, MAIN_HOME, EVENT_COMMIT, nullptr, 0, 0);
}

void BenchStation::open_test_panel(int points, double interval) {
    if (test_ == 0) {
        do_cam_test(main_, MAIN_TEST, EVENT_COMMIT, nullptr, 0, 0);
        test_ = test_panel_handle();
    }
    SetCtrlVal(test_, TEST_CAM, 1);
    SetCtrlVal(test_, TEST_GAGE_CHANNEL, 1);
    SetCtrlVal(test_, TEST_POINTS, points);
    SetCtrlVal(test_, TEST_STEP, 1.0);
    SetCtrlVal(test_, TEST_INTERVAL, interval);
    SetCtrlVal(test_, TEST_RANDOM, 0.0);
    test_device_init(test_, TEST_INIT, EVENT_COMMIT, nullptr, 0, 0);
}

void BenchStation::find_work_point() {
    ::find_work_point(test_, TEST_WORK_POINT, EVENT_COMMIT, nullptr, 0, 0);
}

void BenchStation::run_test() {
    test_distance_move(test_, TEST_RUN, EVENT_COMMIT, nullptr, 0, 0);
}

void BenchStation::watch_angle() {
    test_set_angle(test_, TEST_SET_ANGLE, EVENT_COMMIT, nullptr, 0, 0);
}

// Columns: wall time; the waits asked for (seconds, count) and event slices; the motion
// the stage reports; added = wall - waits; late = how much longer the waits took than
// asked (the kernel waking the process late); own = added - late, the program's own work;
// process CPU.
void print_cost_header() {
    std::printf("%-22s %9s %9s %6s %8s %9s %9s %7s %9s %8s %7s %7s\n", "operation", "wall s",
                "waits s", "waits", "events", "motion s", "added s", "added%", "late s", "own s",
                "cpu s", "cpu%");
}

void print_cost(const OperationCost& c) {
    const double added = c.wall - c.asked;
    const double late = c.slept - c.asked;
    std::printf("%-22s %9.3f %9.3f %6lld %8lld %9.3f %9.4f %6.2f%% %9.4f %8.4f %7.3f %6.2f%%\n",
                c.name.c_str(), c.wall, c.asked, c.waits, c.event_waits, c.motion, added,
                c.wall > 0.0 ? 100.0 * added / c.wall : 0.0, late, added - late, c.cpu,
                c.wall > 0.0 ? 100.0 * c.cpu / c.wall : 0.0);
    std::fflush(stdout);
}

// The cams' motion overlaps the waits (a designed settle after the GO runs while they
// turn), so it is shown beside the split, not in it: wall = motion wait + physical + blind
// + handshake + reply + line + own.
void print_split_header() {
    std::printf("%-9s %-18s %8s %8s %8s %8s %8s %11s %8s %7s %7s\n", "profile", "operation",
                "wall s", "moving s", "m.wait s", "phys. s", "blind s", "handsh. s n", "reply s",
                "line s", "own s");
}

void print_split(const std::string& profile, const OperationCost& c) {
    const WaitBook& b = c.book;
    const double accounted = b.of(WaitKind::motion) + b.of(WaitKind::physical) +
                             b.of(WaitKind::blind) + b.of(WaitKind::handshake) +
                             b.of(WaitKind::reply) + b.of(WaitKind::line);
    std::printf("%-9s %-18s %8.2f %8.2f %8.2f %8.2f %8.2f %7.2f %3lld %8.2f %7.2f %7.2f\n",
                profile.c_str(), c.name.c_str(), c.wall, c.motion, b.of(WaitKind::motion),
                b.of(WaitKind::physical), b.of(WaitKind::blind), b.of(WaitKind::handshake),
                b.count[static_cast<std::size_t>(WaitKind::handshake)], b.of(WaitKind::reply),
                b.of(WaitKind::line), c.wall - accounted);
    std::fflush(stdout);
}
