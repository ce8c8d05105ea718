// The state every room shares: the stage parameter record, the instrument address record,
// the three device ids, the main panel handle and the coordinate box.
//
// There is one instance of each, held here; shared_state_reset() zero-fills them all, as
// at program start (for tests).
#pragma once

#include "stage/records.hpp"

#include <array>

param_structure& shared_param();
instrument_addresses& shared_addresses();

// Device ids as the drivers hand them out; greater than 0 means open.
struct device_ids {
    int hp34970;
    int cm6k6;
    int ev16p;
};
device_ids& shared_device_ids();

// True once the operator answered No at a "Danger Operation" question: the instruments
// are closed and the program ends when the running operation returns. From then on no
// routine opens an instrument again, and the operation ends without claiming anything.
bool& program_ending();

// Handle of the main panel; negative when its load failed, 0 before start-up.
int& main_panel_handle();

// The main panel's coordinate box: targets (0-4), present coordinates (5-9), cam angles in
// degrees (10-14) and gauges (15-19).
constexpr int COORD_CTRL_COUNT = 20;
extern const std::array<int, COORD_CTRL_COUNT> coord_ctrls;

void shared_state_reset();
