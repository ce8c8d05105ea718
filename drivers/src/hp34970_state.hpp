// The HP34970 driver's module state.
#pragma once

#include "device_table.hpp"

#include <string>

struct Hp34970State {
    DeviceTable table;
    std::string cmd; // the last command sent, or the reply read after it
};

Hp34970State& hp34970_state();
