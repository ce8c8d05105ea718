#include "sim/motion_profile.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

MotionProfile move(double distance, double v, double a, double d) {
    MotionProfile p;
    p.start_time = 100.0;
    p.start_position = 3.0;
    p.distance = distance;
    p.velocity = v;
    p.acceleration = a;
    p.deceleration = d;
    return p;
}

} // namespace

// 10 revolutions at 1 rev/s with 2 rev/s^2: half a second up (0.25 rev), 9.5 s at speed,
// half a second down: 10.5 s in all.
TEST(MotionProfile, TrapezoidPassesThroughItsPhases) {
    const MotionProfile p = move(10.0, 1.0, 2.0, 2.0);
    EXPECT_DOUBLE_EQ(p.duration(), 10.5);
    EXPECT_DOUBLE_EQ(p.end_time(), 110.5);
    EXPECT_DOUBLE_EQ(p.position(99.0), 3.0);
    EXPECT_DOUBLE_EQ(p.position(100.25), 3.0 + 0.0625);
    EXPECT_DOUBLE_EQ(p.position(105.0), 3.0 + 0.25 + 4.5);
    EXPECT_DOUBLE_EQ(p.position(110.25), 3.0 + 10.0 - 0.0625);
    EXPECT_DOUBLE_EQ(p.position(200.0), 13.0);
    EXPECT_DOUBLE_EQ(p.velocity_at(100.25), 0.5);
    EXPECT_DOUBLE_EQ(p.velocity_at(105.0), 1.0);
    EXPECT_TRUE(p.moving(110.4));
    EXPECT_FALSE(p.moving(110.5));
}

// A quarter revolution never reaches 1 rev/s: peak sqrt(0.5), 0.7071 s in all.
TEST(MotionProfile, ShortMoveIsATriangle) {
    const MotionProfile p = move(-0.25, 1.0, 2.0, 2.0);
    EXPECT_NEAR(p.duration(), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(p.position(100.0 + std::sqrt(0.5) / 2.0), 3.0 - 0.125, 1e-12);
    EXPECT_NEAR(p.velocity_at(100.0 + std::sqrt(0.5) / 2.0), -std::sqrt(0.5), 1e-12);
    EXPECT_DOUBLE_EQ(p.position(101.0), 2.75);
}

// Up at 2 rev/s^2 (0.25 rev), down at 0.5 rev/s^2 (1 rev): 4 rev take 0.5 + 2.75 + 2 s.
TEST(MotionProfile, UnequalRampsAndEdges) {
    const MotionProfile p = move(4.0, 1.0, 2.0, 0.5);
    EXPECT_DOUBLE_EQ(p.duration(), 5.25);
    EXPECT_DOUBLE_EQ(p.position(104.25), 3.0 + 4.0 - 0.25);
    EXPECT_DOUBLE_EQ(move(0.0, 1.0, 2.0, 2.0).duration(), 0.0);
    EXPECT_DOUBLE_EQ(MotionProfile::at_rest(5.0, 7.0).position(50.0), 7.0);
}

TEST(MotionProfile, ContinuousRunsUntilStopped) {
    MotionProfile p = move(0.0, 2.0, 4.0, 4.0);
    p.continuous = -1;
    EXPECT_EQ(p.end_time(), kSimNever);
    EXPECT_DOUBLE_EQ(p.position(100.5), 3.0 - 0.5);
    EXPECT_DOUBLE_EQ(p.position(110.5), 3.0 - 0.5 - 20.0);
}
