// The exchange between the instruments, the stage parameter record and the main panel's
// coordinate box: read the present state and the typed targets into the record, show the
// present state, read one typed value with its range check.
//
// Motion execution calls these, which is why they sit with the stage routines rather than
// with the panel operations above them.
#pragma once

#include "app/shell/shared_state.hpp"
#include "stage/records.hpp"

#include <array>
#include <cstddef>

using coordinate_controls = std::array<int, COORD_CTRL_COUNT>;

// Limits of the typed targets, held in single precision as the panel's inputs are.
constexpr float XY_INPUT_LIMIT = 0.001F;
constexpr float ANGLE_INPUT_LIMIT = 1.5707963705F;

// What the operator is told of a typed value beyond its limit.
inline constexpr const char* kValueOutOfRangeText = "Value out of Range\nInput a new one.";

// The limit of typed coordinate `index` (X, Y, Roll, Pitch, Yaw).
constexpr float coordinate_input_limit(std::size_t index) {
    return index <= COORD_Y ? XY_INPUT_LIMIT : ANGLE_INPUT_LIMIT;
}

// True when |value| <= limit; a value that is not a number is never within it.
bool coordinate_input_within(double value, double limit);

// Reads the present cam angles (cams 1..motors_per_move) and the gauges in use into the
// record, then the typed targets from slots 0 to motors_per_move - 1 into coord. Stops at
// the first target out of its range and returns 1 (an X or Y out of range stays stored, an
// angle does not); returns the failed status of a panel read; else 0.
int cam_move_get_coordinates(int panel, param_structure& param, instrument_addresses addresses,
                             const coordinate_controls& ctrls);

// Works out the present coordinates from cam_angle and shows them (slots n..2n-1), the cam
// angles in degrees from their zero (slots 2n..3n-1) and the gauges in use. A value that is
// not a number is shown as such.
int cam_move_set_coordinates(int panel, const coordinate_controls& ctrls, param_structure& param);

// Reads the five cam angles into a copy of the record, works out the coordinates and logs
// them as "Final device coordinates": where a stopped test-bench operation left the stage.
// A coordinate whose reading failed is logged as not a number.
void cam_move_log_present_coordinates(param_structure param, instrument_addresses addresses);

// Reads one numeric control into `value` and checks it against `limit`: 0 within, 1 not.
// A failed read shows the "ERROR" confirmation "GetCtrVal <control>" with the status.
int cam_move_read_from_GUI(int panel, int control, double& value, float limit);

// 0 when |value| <= limit; otherwise (also for a value that is not a number) the "Warning"
// pop-up "Value out of Range\nInput a new one.", the focus on the control, and 1.
int cam_move_check_input(int panel, int control, double value, double limit);
