// The driver calls of the stage system-test fixture, kept in their own file: the drivers'
// controller header and the simulated controller's header both declare the controller's
// default motion settings, so no file may include both.
#pragma once

// Empties the three drivers' device tables.
void stage_system_reset_drivers();
// Opens the HP34970 and the CM6K6 at the shared addresses into the shared device ids, as
// bring-up does; false when either did not open.
bool stage_system_open_instruments(int panel);
