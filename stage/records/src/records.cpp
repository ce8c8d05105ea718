#include "stage/records.hpp"

void fill_param_structure(param_structure& param, instrument_addresses& addresses, int test_mode) {
    param.test_axis = 1;
    param.gage_channel = 1;
    param.test_points = 1;
    param.test_step = 1.0;
    param.aux_setting_1 = 0.5;
    param.aux_setting_2 = 1.0;
    param.home_angle = {0.7853982, -0.7853982, 0.0, -0.6806784, 0.6806784};
    param.motor_sign = {+1, -1, +1, -1, +1};
    param.pot_sign = {-1, +1, -1, +1, -1};
    param.gage_count = test_mode != 0 ? 1 : 0;
    param.gage_list = {1, 2, 3, 4};
    param.pot_offset = {0.0, 0.0, 0.0, 0.0, 0.0};
    param.pot_scale = {6.2025, 6.2102, 6.2081, 6.215, 6.2197};
    param.motors_per_move = test_mode != 0 ? 1 : 5;
    param.cam_eccentricity = {0.000741, 0.000746, 0.000741, 0.000749, 0.000747};
    param.coord = {0.0, 0.0, 0.0, 0.0, 0.0};
    param.test_interval = 0.0;
    param.test_random = 0.0;

    addresses.hp_gpib_board_addr = 1;
    addresses.ev_com_port = 5;
    addresses.ev_dev_addr = 11;
    addresses.cm_com_port = 2;
    addresses.cm_dev_addr = 1;
    addresses.hp_gpib_dev_addr = 9;
}
