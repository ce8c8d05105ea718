// Readings of the cam under test: gauge position, cam angle from its potentiometer,
// temperature, and the zeroing of the gauge. Each opens the instrument it needs when it
// is not open yet, and shows its value on the readings panel.
#pragma once

#include "stage/records.hpp"

// Gauge `channel` divided by 1000; show = 1 writes it to the position display.
double cam_test_get_position(instrument_addresses address, int channel, int show);

// Angle of cam record.test_axis in radians, shown in degrees with the potentiometer's sign
// undone. A cam number outside 1..5 is reported and gives NaN.
double cam_test_get_angle(param_structure& record, instrument_addresses address);

// Temperature of the data-acquisition unit's channel 111 into *out, and shown.
void cam_test_get_temp(double* out, instrument_addresses address);

// Zeroes gauge channel 1. An EV-16P not yet open is opened on port 5, address 11, the
// bench's own gauge counter, whatever the address record holds. The zeroing's status.
int cam_test_zero_readings();
