// The parameters panel: the instrument addresses and the test and move settings of the two
// shared records, shown and edited for the running program only (nothing is kept on disk;
// the next bring-up resets both records). Also the test panel's copy of its own fields
// into the stage parameter record.
#pragma once

#include "stage/records.hpp"

// Parameters button: loads the panel as a child of the main panel and fills its twelve
// fields from the records. -1 (after the console error) when the panel cannot be loaded.
int set_param(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);

// Save: reads the twelve fields back into the records and remembers that a save was made.
int save_param(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);

// Exit: closes the panel; while nothing was ever saved the operator is warned first and
// may keep the panel open.
int exit_param(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);

// Copies the test panel's eight settings into the record; integers keep their low 16 bits.
void test_read_move_param(int panel, param_structure& param);
// Shows the record's eight test settings in the test panel's fields.
void test_write_move_param(int panel, const param_structure& param);

// 1 once the operator has saved the parameters in this run; it is never cleared.
int save_param_flag();

// Back to program start: no save made, no panel open (for tests).
void parameters_panel_reset();
