#include "testbench_sim_fixture.hpp"

#include "app/parameters_panel.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "main/callback_table.hpp"
#include "stage_system_drivers.hpp"
#include "testbench/bench_state.hpp"

namespace {

void reset_program_state() {
    shared_state_reset();
    parameters_panel_reset();
    run_log_reset();
    stage_system_reset_drivers();
    testbench_reset();
}

} // namespace

void BenchSimTest::SetUp() {
    SimStageTest::SetUp();
    // A gauge on each cam (channel n on cam n) and no noise: the test bench's runs and the
    // work-point fits are checked to the digit against references worked out for this
    // wiring. The default bench (channel 1 under cams 1 to 3) is the sim tests' business.
    model().set_gauge_wiring({1, 2, 3, 4, 5});
    for (int channel = 1; channel <= kSimGauges; ++channel)
        model().set_gauge_noise(channel, 0.0);
    platform_use_clock(&polled_clock);
    reset_program_state();
    platform_set_callback_table(trelwick_callback_table());
    make_program_dir("C:\\CVI\\Trelwick\\Log");
    main = load(MAIN_PANEL);
    main_panel_handle() = main;
}

void BenchSimTest::TearDown() {
    reset_program_state();
    SimStageTest::TearDown();
}

int BenchSimTest::open_test_panel() {
    op.press(main, MAIN_INIT);
    op.press(main, MAIN_TEST);
    test = test_panel_handle();
    return test;
}

void BenchSimTest::type_settings(const Settings& s) {
    op.type_value(test, TEST_CAM, static_cast<long long>(s.cam));
    op.type_value(test, TEST_GAGE_CHANNEL, static_cast<long long>(s.gage_channel));
    op.type_value(test, TEST_POINTS, static_cast<long long>(s.points));
    op.type_value(test, TEST_STEP, s.step);
    op.type_value(test, TEST_INTERVAL, s.interval);
    op.type_value(test, TEST_RANDOM, s.random);
}

void BenchSimTest::bring_up(const Settings& s) {
    open_test_panel();
    type_settings(s);
    op.press(test, TEST_INIT);
}

std::string BenchSimTest::run_log() const {
    return read_text_file(on_disk(kRunLog));
}

double BenchSimTest::cam_revs(int cam) {
    return sim.model().motor_revs(cam, now()) * sim.model().config().motor_sign[cam - 1];
}
