// Moves of the cam under test: a small random relative move, a turn by an angle, the
// return to potentiometer zero and the move to the cam's home angle.
#pragma once

#include "stage/records.hpp"

// What failed when a positioning routine did not reach its target (0 when it did).
constexpr int kBenchAngleUnknown = -1; // the cam's angle was not measured: nothing moved
constexpr int kBenchMoveFailed = -2;   // the move was refused or not confirmed

// Moves the cam so that the gauge should see a change of `step` (a length): the target
// angle is arcsin((step - R sin a) / R) with R the cam's eccentricity and a its present
// angle. A target that is undefined (no present angle, or the arcsine's argument outside
// -1..1) is reported as "Cam angle > 90 Deg." and nothing is moved. 0 when the move was
// made and confirmed, else -1.
int cam_test_rel_move(instrument_addresses address, param_structure record, double& step);

// Turns the cam under test by -angle radians; move_cam_motor's status.
int cam_test_move_angle(int panel, param_structure& record, double angle);

// Turns the cam under test to potentiometer zero and notes it in the run log. 0, or
// kBenchAngleUnknown / kBenchMoveFailed with nothing logged.
int cam_test_go_zero(int panel, param_structure& record, instrument_addresses address);

// Turns the cam under test to its home angle, reads gauge and angle, and notes it in the
// run log. 0, or kBenchAngleUnknown / kBenchMoveFailed with nothing logged.
int cam_test_go_home(param_structure& record, instrument_addresses address);
