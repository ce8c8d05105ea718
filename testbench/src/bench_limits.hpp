// The test bench's program-long counters, shared by its source files.
#pragma once

// The graph's X limit (point numbers) and Y limit (gauge units, position x 1000).
int& graph_x_limit();
double& graph_y_limit();

// Counts the measured points since program start; the temperature column goes on the
// point at which it stands at its mark.
int& temperature_column_counter();
