// The stage's two readings: a cam angle from its potentiometer (through the HP34970) and a
// raw gauge reading (through the EV-16P). Each opens its instrument first when it is not
// open.
//
// A reading that failed is NaN, never a plausible number: an instrument that could not be
// opened, a voltage the unit did not deliver, a reference below 1 V (a lost supply) or a
// voltage beyond the reference all give NaN.
#pragma once

#include "stage/records.hpp"

// The angle of cam `cam` (1..5) in radians: the potentiometers are powered through switch
// output 9 for the reading, the cam's voltage channel and the reference channel 10 are
// read, and sign * (V / Vref - 0.5) * scale - offset is formed with the cam's entries of
// pot_sign, pot_scale and pot_offset.
double cam_move_read_cam_angles(param_structure& param, instrument_addresses addresses, int cam);

// The reading of EV-16P gauge `gage` as the counter gives it (callers divide by
// GAGE_SCALE).
double cam_move_read_gage(instrument_addresses addresses, int gage);
