// Empties the three drivers' device tables (kept apart from the simulated stage's
// headers, which name some of the controller's constants alike).
#pragma once

void reset_driver_tables();
