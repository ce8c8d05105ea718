// The main panel's operations once the instruments are open: Move, Home, the single
// potentiometer and gauge readings, gauge zeroing and Read motion data. Each callback acts
// on the commit event only, runs to its end and returns 0.
#pragma once

#include "stage/records.hpp"

int move_motor(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int go_home(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int zero_readings(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int read_pot(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int read_gage(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int zero_gage(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int read_data(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);

// Turns every cam back to potentiometer zero in one move and logs it; 0. A cam whose
// angle could not be read is left where it is (the operator is told which one); then, or
// when the move was refused or not confirmed by the controller, nothing is logged and -1
// returned.
int cam_go_zero(int panel, param_structure& param, instrument_addresses addresses);

// Zeroes EV-16P gauge `gage` (opening the counter first if needed) and logs the zeroing:
// "All gages set to zero" for gauge 1; for any other gauge, that the counter zeroed gauge 1
// and not that one (it acts on its channel 1 only).
// 0, or -1 when the counter could not be opened or did not take the zeroing (nothing is
// logged then).
int cam_move_gage_zero(instrument_addresses addresses, int gage);
