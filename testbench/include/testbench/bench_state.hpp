// What the test bench keeps between callbacks: the handle of the open test panel, and the
// graph limits and the temperature-column counter, which live for the whole program (a new
// run, a refresh of the graph or closing the panel leaves them as they are).
#pragma once

// Handle of the test panel while it is open; 0 when it is not.
int& test_panel_handle();

// Puts all of the test bench's state back as at program start (for tests).
void testbench_reset();
