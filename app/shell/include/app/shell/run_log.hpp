// The run log: the paths every room appends to, the shared entry buffer, and the writing
// of one entry in the log's framing.
//
// An entry is appended as " \n <text> \n " and the file is opened and closed for each
// one, so the log on disk is always complete. An empty path drops the entry silently (the
// state before the first bring-up). run_log_reset() empties every path and the buffer.
#pragma once

#include "stage/records.hpp"

#include <string>
#include <string_view>

// The main panel's current log: the run log after bring-up, or the operator's data file
// when logging to a file was chosen. Handed to motion execution and the test panel.
std::string& log_path();

// The kinematics' own copy of the run-log path, taken at bring-up; the catalogue entries
// (coordinates, zeroing, homing) go here.
std::string& motion_log_path();

// The buffer in which an entry is formatted before it is written.
std::string& log_line();

// The bytes one entry adds to a log file: " \n " + text + " \n ".
std::string frame_log_entry(std::string_view text);

// Appends one entry to the file at `path`. Nothing happens when `path` is empty. A file
// that cannot be opened or written shows the "ERROR" confirmation "Unable to open log
// file" (code 1) and the entry is lost.
void write_to_log(std::string_view path, std::string_view text);

// Formats "<time> * <title> * X = %f Y = %f Roll = %f Pitch = %f Yaw = %f\n" from the
// record's coordinates into log_line() and writes it to the motion log path. A coordinate
// that is not a number is written as printf's %f writes it.
void cam_move_log_motion_data(std::string_view title, param_structure param);

void run_log_reset();
