// Variance (mean and population variance) and Copy1D.
#include "numeric/array_ops.hpp"
#include "numeric/status.hpp"

#include <gtest/gtest.h>

#include <array>

namespace {

constexpr double UNTOUCHED = -1.0;

TEST(Variance, PopulationVarianceAndMean) {
    const std::array<double, 4> x{1.0, 2.0, 3.0, 4.0};
    double mean = UNTOUCHED;
    double variance = UNTOUCHED;
    ASSERT_EQ(Variance(x.data(), 4, &mean, &variance), NUMERIC_OK);
    EXPECT_EQ(mean, 2.5);
    EXPECT_EQ(variance, 1.25); // divisor n, not n - 1
}

TEST(Variance, ShiftKeepsPrecisionFarFromZero) {
    // Shifted by x[2]: d = -2, -1, 0, 1, so m1 = -0.5 and 6/4 - 0.25 = 1.25, all exact.
    // Unshifted sums of squares near 4e18 would lose the variance entirely.
    const std::array<double, 4> x{1e9 + 1.0, 1e9 + 2.0, 1e9 + 3.0, 1e9 + 4.0};
    double mean = UNTOUCHED;
    double variance = UNTOUCHED;
    ASSERT_EQ(Variance(x.data(), 4, &mean, &variance), NUMERIC_OK);
    EXPECT_EQ(mean, 1e9 + 2.5);
    EXPECT_EQ(variance, 1.25);
}

TEST(Variance, SingleSampleAndBadCount) {
    const std::array<double, 1> x{7.5};
    double mean = UNTOUCHED;
    double variance = UNTOUCHED;
    ASSERT_EQ(Variance(x.data(), 1, &mean, &variance), NUMERIC_OK);
    EXPECT_EQ(mean, 7.5);
    EXPECT_EQ(variance, 0.0);

    mean = UNTOUCHED;
    variance = UNTOUCHED;
    EXPECT_EQ(Variance(x.data(), 0, &mean, &variance), NUMERIC_BAD_COUNT);
    EXPECT_EQ(mean, UNTOUCHED);
    EXPECT_EQ(variance, UNTOUCHED);
}

TEST(Copy1D, CopiesExactlyTheCount) {
    const std::array<double, 4> source{1.0, 2.0, 3.0, 4.0};
    std::array<double, 4> destination;
    destination.fill(UNTOUCHED);
    ASSERT_EQ(Copy1D(source.data(), 3, destination.data()), NUMERIC_OK);
    EXPECT_EQ(destination, (std::array<double, 4>{1.0, 2.0, 3.0, UNTOUCHED}));

    destination.fill(UNTOUCHED);
    EXPECT_EQ(Copy1D(source.data(), 0, destination.data()), NUMERIC_BAD_COUNT);
    EXPECT_EQ(Copy1D(source.data(), -2, destination.data()), NUMERIC_BAD_COUNT);
    EXPECT_EQ(destination[0], UNTOUCHED);
}

} // namespace
