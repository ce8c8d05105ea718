// Test runs of the cam under test: a step scan, a timed series or a repeatability test,
// each point measured, plotted on the test panel's graph and appended to the run log.
#pragma once

#include "stage/records.hpp"

#include <string>

// Runs one test on `record.test_axis`, of the kind the record selects: test_random != 0 a
// repeatability test of 30 random moves, else test_interval != 0 a timed series, else a
// step scan of test_points steps of test_step motor revolutions. Lines go into the file at
// log_path (appended); an empty path runs without writing. 0, or -1 when the operator
// refused a cam number outside 1..5, the log could not be opened, or a move of the run was
// refused or not confirmed (the run stops there, without a line for that move).
int cam_test(instrument_addresses address, param_structure record, const std::string& log_path);

// Measures one point: the cam angle and the gauge position (shown), its line in the open
// file (handle below 0: none), its plot on the graph, and every fifth line (counted over
// the program's life) a temperature column.
void cam_test_out(instrument_addresses address, param_structure record, int file, int point);

// Plots a gauge position (scaled by 1000 to the gauge's unit) at `point` on the test
// panel's graph, widening the axes when the point lies outside them, and shows the point
// number in the status line. The axes only ever grow.
void cam_graph_out(int panel, double position, int point);
