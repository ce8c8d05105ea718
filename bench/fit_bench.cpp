// The work-point fit: a sine fitted to one cam revolution of 20 gauge readings, as the
// test bench does it (first guess a0 = 0.00075, a1 = 0; the fit stops at its second
// accepted step, 360 model evaluations).
#include "numeric/fit.hpp"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

namespace {

double work_point_model(double x, const double* coef, int) {
    return coef[0] * std::sin(0.0523598775 * x + coef[1]);
}

void BM_WorkPointFit(benchmark::State& state) {
    constexpr int samples = 20;
    std::array<double, samples> x{};
    std::array<double, samples> y{};
    for (int i = 0; i < samples; ++i) {
        x[i] = 6.0 * i;
        y[i] = 0.0005 * std::sin(0.05235987755 * x[i] + 1.0);
    }
    std::array<double, samples> z{};
    double mse = 0.0;
    int status = 0;
    for (auto _ : state) {
        std::array<double, 2> coef{0.00075, 0.0};
        status = NonLinearFit(x.data(), y.data(), z.data(), samples, work_point_model, coef.data(),
                              2, &mse);
        benchmark::DoNotOptimize(coef);
        benchmark::DoNotOptimize(z);
        benchmark::ClobberMemory();
    }
    if (status != NUMERIC_OK) {
        state.SkipWithError("the fit did not succeed");
    }
}
BENCHMARK(BM_WorkPointFit);

} // namespace
