// Motion execution: the whole Move sequence (read, log, solve, convert, drive, read back,
// log) and the one routine that turns motors, for the five-cam stage and for a single cam.
//
// No motor is ever sent a move that is not a number: a cam whose present or target angle
// is not a number stays where it is, the operator is told which cam and why, and the other
// cams go on. A move is refused with a message, and nothing reaches the controller, when
// the motion controller or the switch unit is not open.
#pragma once

#include "stage/coordinate_exchange.hpp"
#include "stage/records.hpp"

#include <array>
#include <string_view>

// Motor revolutions per motor, motor k at index k - 1, signed.
using motor_move = std::array<double, CAM_COUNT>;

// The main panel's motor lamps: row one (0-4) lit while a motor's switch output is
// closed, row two (5-9) lit by the controller driver while an axis moves.
extern const std::array<int, 2 * CAM_COUNT> motor_lamps;

// The Move sequence. `absolute` = 0 adds the typed coordinates to the present ones; any
// other value takes them as the target. An operator's Stop ends it after the motors are
// halted, with nothing read back or logged (platform_stop_requested tells the caller).
// `log_file` is the main panel's log path: when the record's log_to_file is 1 it names the
// operator's data file, which is held open for the move and receives the move's two
// coordinate entries as the run log does.
// 0 when every cam in play was moved and confirmed (or the targets were refused as out of
// range, which the operator has been shown); -1 when a cam was not moved or not confirmed,
// or the operator stopped the move; 1 when a "Danger Operation" No ended the program
// (nothing was sent after it); MOVE_REFUSED when the operator refused to go on at an
// "Unreachable position", "Angle > 90" or revolutions question: no cam moved, nothing
// was opened or sent after the question, and the main panel's status line says why.
constexpr int MOVE_REFUSED = 2;
int cam_move_go(int panel, instrument_addresses addresses, param_structure& param,
                const coordinate_controls& ctrls, std::string_view log_file, int absolute);

// Turns the motors by `move`. With motors_per_move = 5 all five cams move together, each
// entry first multiplied by its motor_sign in place (the array then holds what was sent);
// otherwise cam test_axis alone moves by move[0] times its sign. `show` lights row one of
// the motor lamps while the switch outputs are closed. Opens no instrument. A single cam
// beyond MAX_MOTOR_REVS asks the operator first, as the Move does. 0 when every motor it
// was to turn was started and confirmed by the controller; -1 when a move was refused, a
// cam was left for want of a number, or the controller gave up or fell short.
int move_cam_motor(int panel, param_structure& param, motor_move& move, int show);
