// The stage parameter record, the instrument address record and the value types that run
// through the whole program: coordinates, cam angles and the two V vertices.
//
// Cam k (1..5) is always CM6K6 axis k, HP34970 potentiometer channel k and HP34970 switch
// output k; arrays hold cam k at index k - 1.
#pragma once

#include <array>
#include <cstdint>

constexpr int CAM_COUNT = 5;
constexpr int GAGE_SLOTS = 4;

// X, Y (lengths), Roll, Pitch, Yaw (radians), in that order.
using coordinates = std::array<double, 5>;
enum : int { COORD_X = 0, COORD_Y = 1, COORD_ROLL = 2, COORD_PITCH = 3, COORD_YAW = 4 };

// One angle per cam, radians, cam k at index k - 1.
using cam_angles = std::array<double, CAM_COUNT>;

// vx1, vy1 (end-1 V vertex) and vx2, vy2 (end-2 V vertex).
using vertex_coords = std::array<double, 4>;

struct param_structure {
    std::uint16_t test_axis;   // cam moved when only one motor is in play
    std::int16_t gage_channel; // EV-16P gauge read by the test bench
    std::uint16_t test_points; // points of a test run
    double test_step;          // step of the step scan, motor revolutions
    double aux_setting_1;      // shown and edited on the panels; nothing computes with it
    double aux_setting_2;      // likewise
    std::array<double, CAM_COUNT> home_angle;       // radians
    std::array<std::int32_t, CAM_COUNT> motor_sign; // every motor move is multiplied by it
    std::array<std::int32_t, CAM_COUNT> pot_sign;   // potentiometer direction
    std::int32_t gage_count;                        // gauges read with each position, <= 4
    std::array<std::int32_t, GAGE_SLOTS> gage_list; // EV-16P gauge of slot i
    std::array<double, CAM_COUNT> pot_offset;       // radians
    std::array<double, CAM_COUNT> pot_scale;        // radians per unit of voltage ratio
    std::uint16_t motors_per_move;                  // 5: the stage; otherwise test_axis alone
    std::array<double, CAM_COUNT> cam_eccentricity; // circle centre to axis of rotation
    coordinates coord;    // targets as read; after a forward solution, the present
    cam_angles cam_angle; // last measured cam angles
    std::array<double, GAGE_SLOTS> gage_value; // last gauge readings / 1000
    double test_interval;                      // seconds between readings of a timed series
    double test_random;                        // nonzero selects the repeatability test
    std::int32_t log_to_file;                  // 1: the operator chose to log to a file
};

struct instrument_addresses {
    std::int32_t hp_gpib_board_addr; // 0..10
    std::int32_t ev_com_port;        // 1..32
    std::int32_t ev_dev_addr;        // 0..99
    std::int32_t cm_com_port;        // 1..32
    std::int32_t cm_dev_addr;        // 0..99
    std::int32_t hp_gpib_dev_addr;   // 1..30
};

// Sets every default of both records. test_mode != 0 selects one gauge and one motor per
// move (the test bench), 0 no gauge and five motors (the stage). cam_angle, gage_value and
// log_to_file keep what they hold.
void fill_param_structure(param_structure& param, instrument_addresses& addresses, int test_mode);
