// Resource numbers of the three panels in "Trelwick.uir" and the ids of their controls.
//
// The resource file gives every control its id (property ctrlId) and these names must
// match it; a test walks the file against the roles listed in tests/support.
#pragma once

enum : int {
    MAIN_PANEL = 1,
    PARAM_PANEL = 2,
    TEST_PANEL = 3,
};

// Main panel.
enum : int {
    MAIN_STATUS = 100,
    // Coordinate box, in the slot order of coord_ctrls.
    MAIN_TARGET_X = 101,
    MAIN_TARGET_Y = 102,
    MAIN_TARGET_ROLL = 103,
    MAIN_TARGET_PITCH = 104,
    MAIN_TARGET_YAW = 105,
    MAIN_PRESENT_X = 106,
    MAIN_PRESENT_Y = 107,
    MAIN_PRESENT_ROLL = 108,
    MAIN_PRESENT_PITCH = 109,
    MAIN_PRESENT_YAW = 110,
    MAIN_CAM_ANGLE_1 = 111,
    MAIN_CAM_ANGLE_2 = 112,
    MAIN_CAM_ANGLE_3 = 113,
    MAIN_CAM_ANGLE_4 = 114,
    MAIN_CAM_ANGLE_5 = 115,
    MAIN_GAGE_1 = 116,
    MAIN_GAGE_2 = 117,
    MAIN_GAGE_3 = 118,
    MAIN_GAGE_4 = 119,
    MAIN_GAGE_5 = 120,
    // Motor indicators: row one (switch channel closed), row two (axis moving).
    MAIN_SWITCH_LED_1 = 121,
    MAIN_SWITCH_LED_2 = 122,
    MAIN_SWITCH_LED_3 = 123,
    MAIN_SWITCH_LED_4 = 124,
    MAIN_SWITCH_LED_5 = 125,
    MAIN_MOVE_LED_1 = 126,
    MAIN_MOVE_LED_2 = 127,
    MAIN_MOVE_LED_3 = 128,
    MAIN_MOVE_LED_4 = 129,
    MAIN_MOVE_LED_5 = 130,
    MAIN_ENTRY_MODE = 131, // ring 0-3, reference_switch
    MAIN_MOVE_MODE = 132,  // switch: 0 relative, 1 absolute
    MAIN_LOG_TO_FILE = 133,
    MAIN_INIT = 134,
    MAIN_READ_DATA = 135,
    MAIN_MOVE = 136,
    MAIN_ZERO_ALL = 137,
    MAIN_HOME = 138,
    MAIN_READ_POT_5 = 139, // the four potentiometer buttons stand for cams 5, 4, 3, 2
    MAIN_READ_POT_4 = 140,
    MAIN_READ_POT_3 = 141,
    MAIN_READ_POT_2 = 142,
    MAIN_READ_GAGE_1 = 143,
    MAIN_READ_GAGE_2 = 144,
    MAIN_READ_GAGE_3 = 145,
    MAIN_READ_GAGE_4 = 146,
    MAIN_READ_GAGE_5 = 147,
    MAIN_ZERO_GAGE_1 = 148,
    MAIN_ZERO_GAGE_2 = 149,
    MAIN_ZERO_GAGE_3 = 150,
    MAIN_ZERO_GAGE_4 = 151,
    MAIN_ZERO_GAGE_5 = 152,
    MAIN_PARAM = 153,
    MAIN_TEST = 154,
    MAIN_QUIT = 155,
    MAIN_STOP = 156, // halts the running operation's motors; lit only while one runs
};

// Parameters panel, in the order in which its fields are filled and read back.
enum : int {
    PARAM_HP_BOARD = 201,
    PARAM_CM_ADDR = 202,
    PARAM_EV_ADDR = 203,
    PARAM_HP_ADDR = 204,
    PARAM_EV_PORT = 205,
    PARAM_CM_PORT = 206,
    PARAM_SETTING_1 = 207,
    PARAM_SETTING_2 = 208,
    PARAM_CAM = 209,
    PARAM_STEP = 210,
    PARAM_POINTS = 211,
    PARAM_INTERVAL = 212,
    PARAM_SAVE = 213,
    PARAM_EXIT = 214,
};

// Test panel.
enum : int {
    TEST_CAM = 301,
    TEST_GAGE_CHANNEL = 302,
    TEST_POINTS = 303,
    TEST_STEP = 304,
    TEST_INTERVAL = 305,
    TEST_RANDOM = 306,
    TEST_SETTING_1 = 307,
    TEST_SETTING_2 = 308,
    TEST_POSITION = 309,
    TEST_ANGLE = 310,
    TEST_TEMP = 311,
    TEST_STATUS = 312,
    TEST_GRAPH = 313,
    TEST_AMPLITUDE = 314,
    TEST_PHASE = 315,
    TEST_INIT = 316,
    TEST_RUN = 317,
    TEST_ZERO = 318,
    TEST_GET_TEMP = 319,
    TEST_GET_POSITION = 320,
    TEST_GET_ANGLE = 321,
    TEST_REFRESH = 322,
    TEST_GO_ZERO = 323,
    TEST_GO_HOME = 324,
    TEST_SET_ANGLE = 325,
    TEST_WORK_POINT = 326,
    TEST_EXIT = 327,
    TEST_STOP = 328, // as MAIN_STOP
};
