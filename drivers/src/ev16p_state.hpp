// The EV-16P driver's module state.
#pragma once

#include "device_table.hpp"

#include <string>

struct Ev16pState {
    DeviceTable table;
    int com_port = 0;
    std::string cmd; // the last command sent
    std::string msg; // the last reply read, or the last report
};

Ev16pState& ev16p_state();
// Why the counter's port last failed to open or answer, as lines for a report; empty when
// nothing is recorded (instrument_diagnosis.hpp).
std::string ev16p_port_details();
