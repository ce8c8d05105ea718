// The work-point search's fit and crossing, without instruments: noise-free scans of every
// amplitude a cam's gauge gives and any phase are fitted to the precision of the data, and
// the work point is the crossing of the chosen slope nearest the cam. Expected values are
// the sines the readings were made from, and crossings worked out by hand:
// w = 0.05235987755; rising -phase / w, falling 60 - phase / w, then the one of those 120
// apart that lies within -60..60.
#include "numeric/status.hpp"
#include "testbench/work_point.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr double kOmega = 0.05235987755;
constexpr double kPi = std::numbers::pi;

struct Scan {
    std::array<double, 20> x{};
    std::array<double, 20> y{};
};

Scan sine_scan(double amplitude, double phase) {
    Scan s;
    for (int i = 0; i < 20; ++i) {
        s.x[i] = 6.0 * i;
        s.y[i] = amplitude * std::sin(kOmega * s.x[i] + phase);
    }
    return s;
}

// How far apart two phases are, one turn counted as none.
double phase_gap(double a, double b) {
    return std::fabs(std::remainder(a - b, 2.0 * kPi));
}

} // namespace

TEST(WorkPointFit, NoiseFreeScansGiveTheirAmplitudeAndPhase) {
    for (double amplitude : {0.00005, 0.0001, 0.0003, 0.00075, 0.001, 0.002}) {
        for (int k = -16; k <= 16; ++k) {
            const double phase = k * kPi / 16.0 + 0.01; // off the quarter turns too
            const Scan s = sine_scan(amplitude, phase);
            std::array<double, 2> coef{};
            ASSERT_EQ(cam_test_fit_scan(s.x.data(), s.y.data(), 20, coef.data()), NUMERIC_OK);
            EXPECT_NEAR(coef[0], amplitude, amplitude * 0.001) << amplitude << " " << phase;
            EXPECT_LT(phase_gap(coef[1], phase), 0.001) << amplitude << " " << phase;
            // Shown as a positive amplitude and a phase within one half turn each way.
            EXPECT_GT(coef[0], 0.0);
            EXPECT_LE(std::fabs(coef[1]), kPi);
        }
    }
}

TEST(WorkPointFit, ReadingsOfHalfAMillimetreAtPhaseOneGiveTheirWorkPoint) {
    // The readings are too small for the fit's absolute end test on their own: unscaled, the
    // fit stops at a phase of about 1.35 and a work point of about -25.7.
    const Scan s = sine_scan(0.0005, 1.0);
    std::array<double, 2> coef{};
    ASSERT_EQ(cam_test_fit_scan(s.x.data(), s.y.data(), 20, coef.data()), NUMERIC_OK);
    EXPECT_NEAR(coef[0], 0.0005, 0.0005 * 0.001);
    EXPECT_NEAR(coef[1], 1.000, 0.001);
    ASSERT_LT(s.y[0], s.y[1]); // rising: -1 / w = -19.0986
    EXPECT_NEAR(cam_test_work_point(coef[1], false), -19.10, 0.02);
}

TEST(WorkPointFit, TheWorkPointIsTheNearestCrossingOfItsSlope) {
    // Falling at phase -2: 60 + 38.197 = 98.197, one turn back -21.803.
    EXPECT_NEAR(cam_test_work_point(-2.0, true), -21.802813650774098, 1e-9);
    // Falling at phase -3: 117.296, one turn back -2.704.
    EXPECT_NEAR(cam_test_work_point(-3.0, true), -2.70422047616114, 1e-9);
    // Already within half a turn: as they are.
    EXPECT_NEAR(cam_test_work_point(0.5, true), 50.45070341269353, 1e-9);
    EXPECT_NEAR(cam_test_work_point(2.5, false), -47.74648293653238, 1e-9);
    EXPECT_NEAR(cam_test_work_point(1.0, false), -19.09859317461295, 1e-9);
    // Rising at phase pi: -60.00000001 lies a hair beyond half a turn; +59.99999999 does not.
    EXPECT_NEAR(cam_test_work_point(kPi, false), 59.99999998873579, 1e-9);
    for (int k = -40; k <= 40; ++k)
        for (bool falling : {false, true})
            EXPECT_LE(std::fabs(cam_test_work_point(k * 0.1, falling)), 60.0) << k;
}

TEST(WorkPointFit, AFitThatFailsWritesNoCoefficients) {
    // The fit's status comes back as it is, and the caller's coefficients stay unwritten
    // whatever the failed fit left in its own.
    work_point_use_fit(
        [](const double*, const double*, double*, int, FitModel, double* coef, int, double*) {
            coef[0] = 99.0;
            return NUMERIC_NOT_POSITIVE_DEFINITE;
        });
    const Scan s = sine_scan(0.0005, 1.0);
    std::array<double, 2> coef{-7.0, -7.0};
    EXPECT_EQ(cam_test_fit_scan(s.x.data(), s.y.data(), 20, coef.data()),
              NUMERIC_NOT_POSITIVE_DEFINITE);
    EXPECT_EQ(coef[0], -7.0);
    EXPECT_EQ(coef[1], -7.0);
    work_point_use_fit(nullptr);
}
