// The built-in defaults of the two records, in stage and in test mode.
#include "stage/records.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Field by field: the records hold padding, whose bytes say nothing.
void expect_same(const param_structure& a, const param_structure& b) {
    EXPECT_EQ(a.test_axis, b.test_axis);
    EXPECT_EQ(a.gage_channel, b.gage_channel);
    EXPECT_EQ(a.test_points, b.test_points);
    EXPECT_EQ(a.test_step, b.test_step);
    EXPECT_EQ(a.aux_setting_1, b.aux_setting_1);
    EXPECT_EQ(a.aux_setting_2, b.aux_setting_2);
    EXPECT_EQ(a.home_angle, b.home_angle);
    EXPECT_EQ(a.motor_sign, b.motor_sign);
    EXPECT_EQ(a.pot_sign, b.pot_sign);
    EXPECT_EQ(a.gage_count, b.gage_count);
    EXPECT_EQ(a.gage_list, b.gage_list);
    EXPECT_EQ(a.pot_offset, b.pot_offset);
    EXPECT_EQ(a.pot_scale, b.pot_scale);
    EXPECT_EQ(a.motors_per_move, b.motors_per_move);
    EXPECT_EQ(a.cam_eccentricity, b.cam_eccentricity);
    EXPECT_EQ(a.coord, b.coord);
    EXPECT_EQ(a.cam_angle, b.cam_angle);
    EXPECT_EQ(a.gage_value, b.gage_value);
    EXPECT_EQ(a.test_interval, b.test_interval);
    EXPECT_EQ(a.test_random, b.test_random);
    EXPECT_EQ(a.log_to_file, b.log_to_file);
}

void expect_same(const instrument_addresses& a, const instrument_addresses& b) {
    EXPECT_EQ(a.hp_gpib_board_addr, b.hp_gpib_board_addr);
    EXPECT_EQ(a.ev_com_port, b.ev_com_port);
    EXPECT_EQ(a.ev_dev_addr, b.ev_dev_addr);
    EXPECT_EQ(a.cm_com_port, b.cm_com_port);
    EXPECT_EQ(a.cm_dev_addr, b.cm_dev_addr);
    EXPECT_EQ(a.hp_gpib_dev_addr, b.hp_gpib_dev_addr);
}

param_structure filled(int test_mode, instrument_addresses& addresses) {
    param_structure p{};
    // Edits and measurements made before a bring-up.
    p.test_step = 42.0;
    p.aux_setting_1 = -3.0;
    p.coord = {1, 2, 3, 4, 5};
    p.cam_angle = {0.1, 0.2, 0.3, 0.4, 0.5};
    p.gage_value = {7, 8, 9, 10};
    p.log_to_file = 1;
    addresses = {99, 99, 99, 99, 99, 99};
    fill_param_structure(p, addresses, test_mode);
    return p;
}

} // namespace

TEST(RecordsTest, StageModeDefaults) {
    instrument_addresses a{};
    const param_structure p = filled(0, a);
    EXPECT_EQ(p.test_axis, 1);
    EXPECT_EQ(p.gage_channel, 1);
    EXPECT_EQ(p.test_points, 1);
    EXPECT_EQ(p.test_step, 1.0);
    EXPECT_EQ(p.aux_setting_1, 0.5);
    EXPECT_EQ(p.aux_setting_2, 1.0);
    EXPECT_EQ(p.home_angle,
              (std::array<double, 5>{0.7853982, -0.7853982, 0.0, -0.6806784, 0.6806784}));
    EXPECT_EQ(p.motor_sign, (std::array<std::int32_t, 5>{1, -1, 1, -1, 1}));
    EXPECT_EQ(p.pot_sign, (std::array<std::int32_t, 5>{-1, 1, -1, 1, -1}));
    EXPECT_EQ(p.gage_count, 0);
    EXPECT_EQ(p.gage_list, (std::array<std::int32_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(p.pot_offset, (std::array<double, 5>{0, 0, 0, 0, 0}));
    EXPECT_EQ(p.pot_scale, (std::array<double, 5>{6.2025, 6.2102, 6.2081, 6.215, 6.2197}));
    EXPECT_EQ(p.motors_per_move, 5);
    EXPECT_EQ(p.cam_eccentricity,
              (std::array<double, 5>{0.000741, 0.000746, 0.000741, 0.000749, 0.000747}));
    EXPECT_EQ(p.coord, (coordinates{0, 0, 0, 0, 0}));
    EXPECT_EQ(p.test_interval, 0.0);
    EXPECT_EQ(p.test_random, 0.0);
    EXPECT_EQ(a.hp_gpib_board_addr, 1);
    EXPECT_EQ(a.ev_com_port, 5);
    EXPECT_EQ(a.ev_dev_addr, 11);
    EXPECT_EQ(a.cm_com_port, 2);
    EXPECT_EQ(a.cm_dev_addr, 1);
    EXPECT_EQ(a.hp_gpib_dev_addr, 9);
}

TEST(RecordsTest, TestModeDiffersOnlyInGaugesAndMotors) {
    instrument_addresses stage_addr{}, test_addr{};
    param_structure stage = filled(0, stage_addr);
    const param_structure test = filled(1, test_addr);
    EXPECT_EQ(test.gage_count, 1);
    EXPECT_EQ(test.motors_per_move, 1);
    stage.gage_count = 1;
    stage.motors_per_move = 1;
    expect_same(stage, test);
    expect_same(stage_addr, test_addr);
}

TEST(RecordsTest, MeasuredStateSurvivesARefill) {
    instrument_addresses a{};
    const param_structure p = filled(0, a);
    EXPECT_EQ(p.cam_angle, (cam_angles{0.1, 0.2, 0.3, 0.4, 0.5}));
    EXPECT_EQ(p.gage_value, (std::array<double, 4>{7, 8, 9, 10}));
    EXPECT_EQ(p.log_to_file, 1);
}
