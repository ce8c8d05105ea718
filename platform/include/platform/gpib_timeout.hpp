// The GPIB time-out codes of the NI-488.2 convention in seconds, shared by every GPIB
// backend so that a unit opened with a code waits as long wherever it is served.
#pragma once

#include <limits>

// Code 0: the unit never times out.
constexpr double kGpibNoTimeout = std::numeric_limits<double>::infinity();

// 1 = 10 us, 2 = 30 us, 3 = 100 us ... 11 = 1 s, 12 = 3 s, 13 = 10 s, 14 = 30 s,
// 15 = 100 s, 16 = 300 s, 17 = 1000 s; 0 gives kGpibNoTimeout, an unknown code 0.
double gpib_timeout_seconds(int code);
