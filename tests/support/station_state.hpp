// The operator station's module state put back to program start: log paths, parameters
// panel, driver tables, shared records and device ids. Station fixtures call it around
// each test. (Defined apart so that a test of the simulated stage need not see the
// drivers' headers beside the simulator's.)
#pragma once

void reset_station_state();
