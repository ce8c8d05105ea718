// The four ways the program speaks to the operator: the status line, the "ERROR"
// confirmation, the console error and the "Danger Operation" confirmation; and the
// orderly shutdown of the instrument connections.
#pragma once

#include <string>

// Sets the control's text, then displays (redraws and raises) the panel.
void update_status_line(int panel, int control, const char* text);

// "ERROR" Yes/No confirmation: "Error in <where>. Check error code # <code>. Continue?".
// Yes returns; No closes the open instruments (the program keeps running).
void cam_move_error_handling(int code, const char* where);

// Console error for failures without a usable panel. Enter alone returns; anything else
// closes the instruments and ends the process with status 0.
void cam_move_ui_error(const char* text);

// "Danger Operation" with Yes, No and Reset. Yes (Enter) returns 0. No closes the
// instruments, marks the program as ending (program_ending()), asks the event loop to stop
// and returns 1. Reset (Escape) returns 1.
int danger_operation_message(const char* text);

// Closes the open instruments in the order HP34970, CM6K6, EV-16P. A closed instrument's
// device id is set back to 0, so the next routine that needs it opens it anew.
void cam_move_exit();

// The station made safe as the program ends (End program, a console stop, a failure it
// cannot go on from): the motion controller's started axes killed and its drives
// switched off, then every instrument closed (cam_move_exit). The run log is complete on
// disk after each entry, so nothing of it is left to close.
void cam_move_end_safely();

// An operation ended on an error nobody handled (`what`): the motors halted as by Stop, a
// run-log entry and an "ERROR" message say what ended; the program goes on.
void cam_move_operation_failed(const std::string& what);

// Sets a numeric control to a double.
void cam_move_GUI_out(int panel, int control, double value);
