// Fixture for test-bench tests without instruments: the application fixture, with the
// test bench's own state and the run-log paths put back as at program start around each
// test.
#pragma once

#include "app/shell/run_log.hpp"
#include "app_fixture.hpp"
#include "testbench/bench_state.hpp"

class TestBenchTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        testbench_reset();
        run_log_reset();
    }
    void TearDown() override {
        testbench_reset();
        run_log_reset();
        AppTest::TearDown();
    }
};
