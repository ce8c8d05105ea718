#include "stage/motion.hpp"

#include "app/shell/panel_ids.hpp"

const std::array<int, 2 * CAM_COUNT> motor_lamps = {
    MAIN_SWITCH_LED_1, MAIN_SWITCH_LED_2, MAIN_SWITCH_LED_3, MAIN_SWITCH_LED_4, MAIN_SWITCH_LED_5,
    MAIN_MOVE_LED_1,   MAIN_MOVE_LED_2,   MAIN_MOVE_LED_3,   MAIN_MOVE_LED_4,   MAIN_MOVE_LED_5,
};

void cam_move_go(int /*panel*/, instrument_addresses /*addresses*/, param_structure& /*param*/,
                 const coordinate_controls& /*ctrls*/, std::string_view /*log_file*/,
                 int /*absolute*/) {}

void move_cam_motor(int /*panel*/, param_structure& /*param*/, motor_move& /*move*/, int /*show*/) {
}
