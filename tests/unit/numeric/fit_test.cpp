// NonLinearFit: count checks, storage failure, the exact first guess, the early stop on
// small sums, convergence with and without rejected steps, and the singular model.
//
// Expected values come from fit_reference.py in this folder, an independent plain-Python
// walk through the same iteration (Python floats are IEEE doubles). Its output:
//
//   work point, small sums status 0 accepted 2 rejected 0 calls 360
//     coef 0.00045228374218207312 1.3458707368503406
//     mse 1.4530402788512588e-08
//     z[0] 0.00044089103390538084 z[mid] -0.00044089103354326192 z[last] 0.00038814033154579698
//   large sine status 0 accepted 6 rejected 0 calls 840
//     coef 1.9999999968134847 1.0000000025816855
//     mse 1.1975668572379309e-17
//     z[0] 1.6829419697242141 z[mid] -1.6829419658450671 z[last] 1.2666477289442595
//   decay with rejected steps status 0 accepted 12 rejected 9 calls 870
//     coef 1.9999999972235896 -0.49999999822812835
//     mse 1.9009834386110887e-18
//     z[0] 1.9999999972235896 z[mid] 0.16416999847433675 z[last] 0.022217993399948368
//   flat model status -20041 accepted 0 rejected 0 calls 100
//     coef 0.00075000000000000002 0
//   exact first guess status 0 accepted 0 rejected 0 calls 28
//     coef 0.5 2
//     mse 0
//     z[0] 0.5 z[mid] 4.5 z[last] 6.5
//
// "calls" counts model evaluations; it pins down how many trials were accepted and
// rejected, and so where the iteration stopped.
#include "numeric/fit.hpp"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <vector>

namespace {

int model_calls = 0;

double sine_model(double x, const double* a, int) {
    ++model_calls;
    return a[0] * std::sin(0.0523598775 * x + a[1]);
}

double decay_model(double x, const double* a, int) {
    ++model_calls;
    return a[0] * std::exp(a[1] * x);
}

double line_model(double x, const double* a, int) {
    ++model_calls;
    return a[0] + a[1] * x;
}

// Ignores a[1], so the normal equations have a zero row and column.
double flat_model(double x, const double* a, int) {
    ++model_calls;
    return a[0] * std::sin(0.0523598775 * x);
}

// A slope that is not a number beyond 1.0, so a trial past it has an unordered sum.
double bounded_slope_model(double x, const double* a, int) {
    ++model_calls;
    return a[0] <= 1.0 ? a[0] * x : std::numeric_limits<double>::quiet_NaN();
}

struct Samples {
    std::vector<double> x;
    std::vector<double> y;
};

// The work-point scan: one cam revolution in 20 steps of 6 motor revolutions.
Samples sine_scan(double amplitude) {
    Samples s;
    for (int i = 0; i < 20; ++i) {
        const double x = 6.0 * i;
        s.x.push_back(x);
        s.y.push_back(amplitude * std::sin(0.05235987755 * x + 1.0));
    }
    return s;
}

constexpr double SENTINEL = -12345.0;

// The work-point fit of a scan of the given amplitude from the given first guess, counting
// the model calls it makes.
struct SineFit {
    int status;
    std::array<double, 2> coef;
    std::array<double, 20> z;
    double mse;
};

SineFit fit_sine_scan(double amplitude, std::array<double, 2> first_guess) {
    const Samples s = sine_scan(amplitude);
    SineFit fit{0, first_guess, {}, SENTINEL};
    model_calls = 0;
    fit.status = NonLinearFit(s.x.data(), s.y.data(), fit.z.data(), 20, sine_model, fit.coef.data(),
                              2, &fit.mse);
    return fit;
}

// Relative comparison for values that the reference gives to 17 digits; the bound leaves
// room only for differences in the last bits of sin and exp between libraries.
void expect_close(double actual, double expected, double relative = 1e-9) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * relative) << "expected " << expected;
}

TEST(NonLinearFitCounts, BadCountsAreRefusedWithoutTouchingOutputs) {
    std::array<double, 2> x{0.0, 1.0};
    std::array<double, 2> y{1.0, 2.0};
    std::array<double, 2> z{SENTINEL, SENTINEL};
    std::array<double, 2> coef{0.5, 2.0};
    double mse = SENTINEL;
    model_calls = 0;

    EXPECT_EQ(NonLinearFit(x.data(), y.data(), z.data(), 0, line_model, coef.data(), 2, &mse),
              NUMERIC_BAD_COUNT);
    EXPECT_EQ(NonLinearFit(x.data(), y.data(), z.data(), 2, line_model, coef.data(), 0, &mse),
              NUMERIC_BAD_COUNT);
    EXPECT_EQ(NonLinearFit(x.data(), y.data(), z.data(), -3, line_model, coef.data(), 2, &mse),
              NUMERIC_BAD_COUNT);
    EXPECT_EQ(NonLinearFit(x.data(), y.data(), z.data(), 1, line_model, coef.data(), 2, &mse),
              NUMERIC_TOO_FEW_SAMPLES);

    EXPECT_EQ(model_calls, 0);
    EXPECT_EQ(z[0], SENTINEL);
    EXPECT_EQ(z[1], SENTINEL);
    EXPECT_EQ(mse, SENTINEL);
    EXPECT_EQ(coef[0], 0.5);
    EXPECT_EQ(coef[1], 2.0);
}

TEST(NonLinearFitCounts, StorageThatCannotBeObtainedIsReportedNotThrown) {
    // INT_MAX coefficients need INT_MAX^2 doubles of normal-equation matrix, more than any
    // allocation can give; the arrays are never read because the fit stops first.
    std::array<double, 1> x{0.0};
    std::array<double, 1> y{0.0};
    std::array<double, 1> z{SENTINEL};
    std::array<double, 1> coef{1.0};
    double mse = SENTINEL;
    model_calls = 0;
    EXPECT_EQ(
        NonLinearFit(x.data(), y.data(), z.data(), INT_MAX, line_model, coef.data(), INT_MAX, &mse),
        NUMERIC_NO_STORAGE);
    EXPECT_EQ(model_calls, 0);
    EXPECT_EQ(z[0], SENTINEL);
    EXPECT_EQ(mse, SENTINEL);
}

TEST(NonLinearFitIteration, ExactFirstGuessEndsAtFirstTrial) {
    std::array<double, 4> x{0.0, 1.0, 2.0, 3.0};
    std::array<double, 4> y{0.5, 2.5, 4.5, 6.5};
    std::array<double, 4> z{};
    std::array<double, 2> coef{0.5, 2.0};
    double mse = SENTINEL;
    model_calls = 0;
    ASSERT_EQ(NonLinearFit(x.data(), y.data(), z.data(), 4, line_model, coef.data(), 2, &mse),
              NUMERIC_OK);
    EXPECT_EQ(coef[0], 0.5);
    EXPECT_EQ(coef[1], 2.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(z[i], y[i]) << i;
    }
    EXPECT_EQ(mse, 0.0);
    // Normal equations (4 * 5), one trial (4), the final model values (4).
    EXPECT_EQ(model_calls, 28);
}

TEST(NonLinearFitIteration, UnorderedSumEndsLikeATie) {
    // y = 2x from a0 = 0.5: the first step heads for 2, where the model gives NaN. The fit
    // ends there with the first guess: z = 0.5x, mse = 2.25 * (1 + 4 + 9 + 16) / 4.
    std::array<double, 4> x{1.0, 2.0, 3.0, 4.0};
    std::array<double, 4> y{2.0, 4.0, 6.0, 8.0};
    std::array<double, 4> z{};
    std::array<double, 1> coef{0.5};
    double mse = SENTINEL;
    model_calls = 0;
    ASSERT_EQ(
        NonLinearFit(x.data(), y.data(), z.data(), 4, bounded_slope_model, coef.data(), 1, &mse),
        NUMERIC_OK);
    EXPECT_EQ(coef[0], 0.5);
    EXPECT_EQ(z, (std::array<double, 4>{0.5, 1.0, 1.5, 2.0}));
    EXPECT_EQ(mse, 16.875);
    EXPECT_EQ(model_calls, 4 * 3 + 4 + 4);
}

TEST(NonLinearFitIteration, SmallSumsStopAtSecondAcceptedStep) {
    const auto [status, coef, z, mse] = fit_sine_scan(0.0005, {0.00075, 0.0});
    ASSERT_EQ(status, NUMERIC_OK);
    // The sums of squares are far below the absolute tolerance, so the phase is left well
    // short of the 1.0 the readings were made with.
    expect_close(coef[0], 0.00045228374218207312);
    expect_close(coef[1], 1.3458707368503406);
    EXPECT_GT(coef[1], 1.3);
    expect_close(mse, 1.4530402788512588e-08, 1e-7);
    expect_close(z[0], 0.00044089103390538084);
    expect_close(z[10], -0.00044089103354326192);
    expect_close(z[19], 0.00038814033154579698);
    EXPECT_EQ(model_calls, 360);
}

TEST(NonLinearFitIteration, LargeSumsIterateToTheReadingsPhase) {
    const auto [status, coef, z, mse] = fit_sine_scan(2.0, {3.0, 0.0});
    ASSERT_EQ(status, NUMERIC_OK);
    expect_close(coef[0], 1.9999999968134847);
    expect_close(coef[1], 1.0000000025816855);
    EXPECT_NEAR(mse, 1.1975668572379309e-17, 1e-19);
    expect_close(z[0], 1.6829419697242141);
    expect_close(z[10], -1.6829419658450671);
    expect_close(z[19], 1.2666477289442595);
    EXPECT_EQ(model_calls, 840);
}

TEST(NonLinearFitIteration, RejectedStepsRaiseTheDampingAndKeepTheCoefficients) {
    std::vector<double> x;
    std::vector<double> y;
    for (int i = 0; i < 10; ++i) {
        x.push_back(i);
        y.push_back(2.0 * std::exp(-0.5 * i));
    }
    std::array<double, 10> z{};
    std::array<double, 2> coef{1.0, 0.6};
    double mse = SENTINEL;
    model_calls = 0;
    ASSERT_EQ(NonLinearFit(x.data(), y.data(), z.data(), 10, decay_model, coef.data(), 2, &mse),
              NUMERIC_OK);
    expect_close(coef[0], 1.9999999972235896);
    expect_close(coef[1], -0.49999999822812835);
    EXPECT_NEAR(mse, 1.9009834386110887e-18, 1e-19);
    expect_close(z[0], 1.9999999972235896);
    expect_close(z[5], 0.16416999847433675);
    expect_close(z[9], 0.022217993399948368);
    // 12 accepted steps at 10 * 6 model calls, 9 rejected at 10, plus the first normal
    // equations (50), the final tie trial (10) and the final values (10).
    EXPECT_EQ(model_calls, 870);
}

TEST(NonLinearFitIteration, ModelIgnoringACoefficientIsNotPositiveDefinite) {
    Samples s;
    for (int i = 0; i < 20; ++i) {
        s.x.push_back(6.0 * i);
        s.y.push_back(0.0005 * std::sin(0.05235987755 * 6.0 * i));
    }
    std::array<double, 20> z;
    z.fill(SENTINEL);
    std::array<double, 2> coef{0.00075, 0.0};
    double mse = SENTINEL;
    model_calls = 0;
    EXPECT_EQ(NonLinearFit(s.x.data(), s.y.data(), z.data(), 20, flat_model, coef.data(), 2, &mse),
              NUMERIC_NOT_POSITIVE_DEFINITE);
    // Stopped at the first factorisation: the first guess stands, nothing else was written.
    EXPECT_EQ(coef[0], 0.00075);
    EXPECT_EQ(coef[1], 0.0);
    EXPECT_EQ(model_calls, 100);
    EXPECT_EQ(mse, SENTINEL);
    for (double v : z) {
        EXPECT_EQ(v, SENTINEL);
    }
}

} // namespace
