// The HP34970 driver's module state.
#pragma once

#include "device_table.hpp"

#include <string>

struct Hp34970State {
    DeviceTable table;
    std::string cmd;  // the last command sent, or the reply read after it
    std::string unit; // the unit last opened or tried ("GPIB 1:9"), for the reports
};

// Why the unit last failed to open or answer, as lines for a report; empty when nothing
// is recorded (instrument_diagnosis.hpp).
std::string hp34970_unit_details();

Hp34970State& hp34970_state();
