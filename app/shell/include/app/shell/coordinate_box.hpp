// Dimming and enabling of the coordinate box for a coordinate-entry mode.
#pragma once

// Modes 0 and 1: all five coordinates; 2: X, Y and cams 4 and 5; 3: X, Y, Roll and cams 1
// to 3; any other mode changes nothing. The main panel is displayed afterwards in every case.
void set_coordinate_box(int mode);
