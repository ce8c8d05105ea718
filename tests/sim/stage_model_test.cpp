#include "sim/stage_model.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTurn = 2.0 * std::numbers::pi;

MotionProfile revs(double start, double distance) {
    MotionProfile p;
    p.start_time = start;
    p.distance = distance;
    p.velocity = 1.0;
    p.acceleration = 2.0;
    p.deceleration = 2.0;
    return p;
}

class StageModelTest : public ::testing::Test {
protected:
    // Drive and relay a second before the clock's zero: ready for a move at 0.
    void power(int axis) {
        model.set_drive(axis, true, -1.0);
        model.set_relay(200 + axis, true, -1.0);
    }
    StageModel model;
};

} // namespace

// 12 motor revolutions are a tenth of a cam turn, in the motor's direction: cam 1 (+1)
// forwards, cam 2 (-1) backwards.
TEST_F(StageModelTest, MotorRevolutionsTurnCamsThroughSignAndReduction) {
    power(1);
    power(2);
    model.start_motion(1, revs(1.0, 12.0), 1.0);
    model.start_motion(2, revs(1.0, 12.0), 1.0);
    EXPECT_NEAR(model.cam_angle(1, 20.0), kTurn / 10.0, 1e-12);
    EXPECT_NEAR(model.cam_angle(2, 20.0), -kTurn / 10.0, 1e-12);
    EXPECT_TRUE(model.moving(1, 13.0));
    EXPECT_FALSE(model.moving(1, 13.5));
    EXPECT_DOUBLE_EQ(model.motion_end_time(1), 13.5);
}

TEST_F(StageModelTest, MotorStandsWhileItsSwitchChannelIsOpen) {
    model.set_drive(3, true, -1.0);
    model.start_motion(3, revs(0.0, 10.0), 0.0);
    EXPECT_DOUBLE_EQ(model.commanded_revs(3, 5.0), 4.75);
    EXPECT_DOUBLE_EQ(model.motor_revs(3, 5.0), 0.0);
    // Closing the channel at 5 s: the motor follows the rest of the profile only.
    model.set_relay(203, true, 5.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(3, 20.0), 10.0 - 4.75);
    // The drive going off freezes it again.
    model.set_drive(3, false, 30.0);
    model.start_motion(3, revs(31.0, 2.0), 31.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(3, 40.0), 5.25);
    EXPECT_DOUBLE_EQ(model.cam_angle(3, 40.0), 5.25 * kTurn / 120.0);
}

TEST_F(StageModelTest, FaultsStopAxesShortAndKeepThemMoving) {
    power(4);
    power(5);
    model.faults().shortfall_revs[3] = 1.5;
    model.faults().motion_never_ends[4] = true;
    model.start_motion(4, revs(0.0, -10.0), 0.0);
    model.start_motion(5, revs(0.0, 1.0), 0.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(4, 50.0), -8.5);
    EXPECT_DOUBLE_EQ(model.commanded_revs(4, 50.0), -10.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(5, 50.0), 1.0);
    EXPECT_TRUE(model.moving(5, 1e6));
    EXPECT_EQ(model.motion_end_time(5), kSimNever);
    model.stop_motion(4, 60.0);
    EXPECT_FALSE(model.moving(4, 60.0));
    // A kill ends even the motion that would never end.
    model.stop_motion(5, 70.0);
    EXPECT_FALSE(model.moving(5, 70.0));
    // An overshoot of the next move only: 2 revolutions become 2.5, then 2 again.
    model.faults().overshoot_revs[3] = 0.5;
    model.faults().overshoot_once[3] = true;
    model.faults().shortfall_revs[3] = 0.0;
    model.start_motion(4, revs(80.0, 2.0), 80.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(4, 90.0), -8.5 + 2.5);
    EXPECT_DOUBLE_EQ(model.commanded_revs(4, 90.0), 2.0);
    model.start_motion(4, revs(90.0, 2.0), 90.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(4, 100.0), -6.0 + 2.0);
}

TEST_F(StageModelTest, KillStopsWhereTheProfileIs) {
    power(1);
    model.start_motion(1, revs(0.0, 10.0), 0.0);
    model.stop_motion(1, 5.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(1, 9.0), 4.75);
    EXPECT_FALSE(model.moving(1, 5.0));
}

// Cam 1: pot sign -1, scale 6.2025, offset 0; at 0.3 rad the ratio is 0.5 - 0.3 / 6.2025.
TEST_F(StageModelTest, PotentiometersFollowTheCalibrationWhilePowered) {
    StageModelConfig config = stage_model_bench_config();
    config.start_angle = {0.3, -0.2, 0.0, 1.0, -3.0};
    StageModel m(config);
    EXPECT_DOUBLE_EQ(m.pot_volts_exact(1, 0.0), 0.0); // 209 open
    m.set_relay(209, true, -1.0);                     // settled by 0
    EXPECT_NEAR(m.pot_volts_exact(1, 0.0), 10.0 * (0.5 - 0.3 / 6.2025), 1e-12);
    EXPECT_NEAR(m.pot_volts_exact(2, 0.0), 10.0 * (0.5 - 0.2 / 6.2102), 1e-12);
    EXPECT_NEAR(m.pot_volts_exact(4, 0.0), 10.0 * (0.5 + 1.0 / 6.215), 1e-12);
    // -3.0 rad is near the end of cam 5's track (sign -1: ratio 0.5 + 3.0 / 6.2197).
    EXPECT_NEAR(m.pot_volts_exact(5, 0.0), 10.0 * (0.5 + 3.0 / 6.2197), 1e-12);
    EXPECT_DOUBLE_EQ(m.reference_volts_exact(), 10.0);
    const double read = m.channel_volts(101, 0.0);
    EXPECT_NEAR(read, 10.0 * (0.5 - 0.3 / 6.2025), 3.5e-6);
    EXPECT_DOUBLE_EQ(std::round(read * 1e6), read * 1e6); // whole microvolts
    // A lost reference reads microvolts of pick-up, never a clean 0 V.
    m.faults().reference_lost = true;
    for (int i = 0; i < 50; ++i) {
        const double lost = m.channel_volts(110, 0.0);
        EXPECT_GE(std::fabs(lost), 1e-6);
        EXPECT_LE(std::fabs(lost), 6.5e-6);
    }
}

// Beyond the track's end the wiper rests there: cam 1 at 3.12 rad would be ratio -0.003.
TEST_F(StageModelTest, PotentiometerRestsAtTheEndsOfItsTrack) {
    StageModelConfig config = stage_model_bench_config();
    config.start_angle = {3.12, -3.12, 0.0, 0.0, 0.0};
    StageModel m(config);
    m.set_relay(209, true, 0.0);
    EXPECT_EQ(m.pot_volts_exact(1, 0.0), 0.0);
    EXPECT_EQ(m.pot_volts_exact(2, 0.0), 0.0);
}

TEST_F(StageModelTest, NoiseIsBoundedAndRepeatsWithItsSeed) {
    StageModel a, b;
    for (int i = 0; i < 200; ++i) {
        const double va = a.read_volts(5.0);
        EXPECT_EQ(va, b.read_volts(5.0));
        EXPECT_LE(std::fabs(va - 5.0), 3.5e-6);
    }
}

// Channel 1 sees the lifts of cams 1 to 3, channel 2 those of cams 4 and 5 (eccentricity
// x sin(angle + contact phase), in thousandths); a channel no cam touches reads its rest
// value. Every reading carries up to 0.3 um of noise.
TEST_F(StageModelTest, GaugesSumTheCamsWiredToThem) {
    StageModelConfig config = stage_model_bench_config();
    config.start_angle = {0.5, 0.2, 0.0, -0.1, 0.0};
    config.gauge_rest[3] = 0.125;
    StageModel m(config);
    const double end1 =
        0.741 * std::sin(0.5 + 0.35) + 0.746 * std::sin(0.2 - 0.6) + 0.741 * std::sin(1.1);
    const double end2 = 0.749 * std::sin(-0.1 - 0.25) + 0.747 * std::sin(0.8);
    EXPECT_NEAR(m.gauge_raw(1, 0.0), end1, 1e-12);
    EXPECT_NEAR(m.gauge_raw(2, 0.0), end2, 1e-12);
    EXPECT_EQ(m.gauge_raw(4, 0.0), 0.125);
    double low = 1.0, high = -1.0;
    for (int i = 0; i < 200; ++i) {
        const double d = m.gauge_reading(4, 0.0) - 0.125;
        low = std::min(low, d);
        high = std::max(high, d);
    }
    EXPECT_GE(low, -0.0003);
    EXPECT_LE(high, 0.0003);
    EXPECT_GT(high - low, 0.0004); // it does move
    // Rewired: channel 3 on cam 2 alone, channel 1 on nothing.
    m.set_gauge_wiring({0, 3, 0, 2, 2});
    EXPECT_NEAR(m.gauge_raw(3, 0.0), 0.746 * std::sin(0.2 - 0.6), 1e-12);
    EXPECT_EQ(m.gauge_raw(1, 0.0), 0.0);
    m.set_gauge_noise(4, 0.0);
    EXPECT_EQ(m.gauge_reading(4, 0.0), 0.125);
}

TEST_F(StageModelTest, StuckRelayIgnoresCommands) {
    model.faults().stuck_relays[201] = false;
    model.set_relay(201, true, 0.0);
    EXPECT_FALSE(model.relay_closed(201));
    model.faults().stuck_relays[209] = true;
    model.apply_faults(0.0);
    model.set_relay(209, false, 0.0);
    EXPECT_TRUE(model.relay_closed(209));
}

// The drift counts from power-on, whatever the clock read then: a run repeats.
TEST_F(StageModelTest, TemperatureDriftsSlowlyFromPowerOn) {
    EXPECT_DOUBLE_EQ(model.temperature(0.0), 21.0);
    EXPECT_NEAR(model.temperature(1800.0), 21.4, 1e-12);
    EXPECT_LT(std::fabs(model.temperature(61.0) - model.temperature(60.0)), 1e-3);
    model.reset(86000.0);
    EXPECT_DOUBLE_EQ(model.temperature(86000.0), 21.0);
    EXPECT_NEAR(model.temperature(87800.0), 21.4, 1e-12);
}

TEST_F(StageModelTest, CamsPlacedByHandKeepTurningWithTheirMotors) {
    power(2);
    model.start_motion(2, revs(0.0, 12.0), 0.0);
    model.place_cams({0.1, 0.2, 0.3, 0.4, 0.5}, 5.0);
    EXPECT_NEAR(model.cam_angle(2, 5.0), 0.2, 1e-12);
    EXPECT_NEAR(model.cam_angle(5, 5.0), 0.5, 1e-12);
    // The rest of the move, 12 - 4.75 revolutions, still turns cam 2 backwards.
    EXPECT_NEAR(model.cam_angle(2, 20.0), 0.2 - (12.0 - 4.75) * kTurn / 120.0, 1e-12);
}

// A drive follows step pulses 0.25 s after DRIVE enables it, and a motor relay's contacts
// bounce 5 ms after they close: a move started sooner loses every pulse. The commanded
// position (TPC) runs on, the motor (TPE) and the cam stand.
TEST_F(StageModelTest, AMoveStartedTooSoonLeavesTheMotorStanding) {
    for (int axis : {1, 2})
        model.set_relay(200 + axis, true, -1.0);
    model.set_drive(1, true, 0.0);
    model.set_drive(2, true, 0.0);
    model.start_motion(1, revs(0.1, 5.0), 0.1);
    model.start_motion(2, revs(0.3, 5.0), 0.3);
    EXPECT_DOUBLE_EQ(model.commanded_revs(1, 20.0), 5.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(1, 20.0), 0.0);
    EXPECT_DOUBLE_EQ(model.cam_angle(1, 20.0), 0.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(2, 20.0), 5.0);
    // Enabling a drive that is on already does not start its enable time again; the next
    // move of the drive that was not ready turns.
    model.set_drive(1, true, 20.0);
    model.start_motion(1, revs(20.1, 1.0), 20.1);
    EXPECT_DOUBLE_EQ(model.motor_revs(1, 30.0), 1.0);
    // The relays: closed 4 ms before the move (bouncing), and 6 ms before.
    for (int axis : {3, 4})
        model.set_drive(axis, true, -1.0);
    model.set_relay(203, true, 0.0);
    model.set_relay(204, true, 0.0);
    model.start_motion(3, revs(0.004, 2.0), 0.004);
    model.start_motion(4, revs(0.006, 2.0), 0.006);
    EXPECT_DOUBLE_EQ(model.commanded_revs(3, 10.0), 2.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(3, 10.0), 0.0);
    EXPECT_DOUBLE_EQ(model.motor_revs(4, 10.0), 2.0);
}

// Relay 209 powers the pots: its contacts bounce 5 ms (the wipers read 0 V), then each
// wiper rises as V (1 - exp(-t / 20 ms)), t from the end of the bounce. The reference is a
// stiff supply. An integrating reading averages the rise over its window.
TEST_F(StageModelTest, WipersReadTheirTransientUntilTheySettle) {
    StageModelConfig config = stage_model_bench_config();
    config.start_angle = {0.3, 0.0, 0.0, 0.0, 0.0};
    StageModel m(config);
    const double v = 10.0 * (0.5 - 0.3 / 6.2025);
    const double closed = 10.0, settled_from = closed + 0.005, tau = 0.02;
    const auto rise = [&](double t) { return v * (1.0 - std::exp(-(t - settled_from) / tau)); };
    m.set_relay(209, true, closed);
    EXPECT_EQ(m.pot_volts_exact(1, closed + 0.001), 0.0);
    EXPECT_EQ(m.pot_volts_exact(1, closed + 0.0049), 0.0);
    EXPECT_NEAR(m.channel_volts(110, closed + 0.001), 10.0, 3.5e-6);
    for (const double t : {0.006, 0.02, 0.05, 0.1, 0.3})
        EXPECT_NEAR(m.pot_volts_exact(1, closed + t), rise(closed + t), 1e-12) << t;
    EXPECT_GT(v - m.pot_volts_exact(1, closed + 0.1), 0.01); // far from settled
    // A reading integrating over [10.002 s, 10.202 s]: zero in the bounce, then the rise.
    const int steps = 200000;
    double sum = 0.0;
    for (int i = 0; i < steps; ++i) {
        const double t = closed + 0.002 + 0.2 * (i + 0.5) / steps;
        sum += t < settled_from ? 0.0 : rise(t);
    }
    EXPECT_NEAR(m.channel_volts(101, closed + 0.002, 0.2), sum / steps, 4e-6);
    // Opened and closed again, the supply starts over.
    m.set_relay(209, false, 11.0);
    m.set_relay(209, true, 12.0);
    EXPECT_EQ(m.pot_volts_exact(1, 12.004), 0.0);
    EXPECT_NEAR(m.pot_volts_exact(1, 12.025), v * (1.0 - std::exp(-1.0)), 1e-12);
}
