// The test bench's module state.
#include "testbench/bench_state.hpp"

#include "bench_limits.hpp"
#include "testbench/work_point.hpp"

namespace {

constexpr int kInitialXLimit = 120;
constexpr double kInitialYLimit = 1.0;
constexpr int kInitialTemperatureCounter = 4; // the first point carries the column

int g_test_panel = 0;
int g_x_limit = kInitialXLimit;
double g_y_limit = kInitialYLimit;
int g_temperature_counter = kInitialTemperatureCounter;

} // namespace

int& test_panel_handle() {
    return g_test_panel;
}

int& graph_x_limit() {
    return g_x_limit;
}

double& graph_y_limit() {
    return g_y_limit;
}

int& temperature_column_counter() {
    return g_temperature_counter;
}

void testbench_reset() {
    g_test_panel = 0;
    g_x_limit = kInitialXLimit;
    g_y_limit = kInitialYLimit;
    g_temperature_counter = kInitialTemperatureCounter;
    work_point_use_fit(nullptr);
}
