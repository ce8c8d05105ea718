// The fit's inner steps: the forward-difference gradient and the normal equations,
// checked against values worked out by hand.
#include "numeric/fit_steps.hpp"

#include <gtest/gtest.h>

#include <array>

namespace {

int calls = 0;

double square_of_first(double, const double* a, int) {
    ++calls;
    return a[0] * a[0];
}

double line(double x, const double* a, int) {
    ++calls;
    return a[0] + a[1] * x;
}

TEST(FitGradient, AbsoluteForwardStepWithTwoCallsPerCoefficient) {
    // d(a^2)/da by a forward step h is 2a + h: 6.000001 for a = 3 with the absolute step
    // 1e-6 (a step scaled by the coefficient would give 6.000003). Python gives
    // 6.000001000927568 for the same sums.
    std::array<double, 1> a{3.0};
    std::array<double, 1> g{};
    calls = 0;
    FitGradient(0.0, a.data(), 1, square_of_first, g.data());
    EXPECT_NEAR(g[0], 6.000001, 1e-8);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(a[0], 3.0); // (3 + 1e-6) - 1e-6 rounds back to 3 exactly
}

TEST(FitGradient, EachCoefficientIsStepped) {
    std::array<double, 2> a{0.0, 0.0};
    std::array<double, 2> g{};
    calls = 0;
    FitGradient(7.0, a.data(), 2, line, g.data());
    EXPECT_NEAR(g[0], 1.0, 1e-9);
    EXPECT_NEAR(g[1], 7.0, 1e-9);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(a[0], 0.0);
    EXPECT_EQ(a[1], 0.0);
}

TEST(FitNormalEquations, SumsOverSamplesAndSymmetricMatrix) {
    // Line model at a = (0, 0): g = (1, x), r = y.
    // x = 0..3, y = 1, 3, 2, 5: alpha = [[4, 6], [6, 14]], beta = [11, 22], S = 39.
    std::array<double, 4> x{0.0, 1.0, 2.0, 3.0};
    std::array<double, 4> y{1.0, 3.0, 2.0, 5.0};
    std::array<double, 2> a{0.0, 0.0};
    std::array<double, 4> alpha;
    alpha.fill(99.0);
    std::array<double, 2> beta{99.0, 99.0};
    std::array<double, 2> g{};
    double chisq = 99.0;
    calls = 0;
    FitNormalEquations(x.data(), y.data(), 4, line, a.data(), 2, alpha.data(), beta.data(), &chisq,
                       g.data());
    EXPECT_NEAR(alpha[0], 4.0, 1e-8);
    EXPECT_NEAR(alpha[1], 6.0, 1e-8);
    EXPECT_NEAR(alpha[2], 6.0, 1e-8);
    EXPECT_NEAR(alpha[3], 14.0, 1e-8);
    EXPECT_EQ(alpha[1], alpha[2]);
    EXPECT_NEAR(beta[0], 11.0, 1e-8);
    EXPECT_NEAR(beta[1], 22.0, 1e-8);
    EXPECT_EQ(chisq, 39.0);
    EXPECT_EQ(calls, 4 * 5);
    EXPECT_DOUBLE_EQ(FitChiSquare(x.data(), y.data(), 4, line, a.data(), 2), 39.0);
}

} // namespace
