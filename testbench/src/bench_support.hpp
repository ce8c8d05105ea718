// Small helpers the test bench's routines share: where readings are shown, which cam is
// under test, and the single-cam move in motor revolutions.
#pragma once

#include "stage/records.hpp"

#include <string>

// The panel handed to the latest bring-up; the readings and the graph go there.
int bench_readings_panel();

// The cam under test, 1..5, or 0 when record.test_axis names none of the stage's cams.
int bench_cam(const param_structure& record);

// Motor revolutions for a cam turn of `radians` (120 per cam turn, with the literal pi the
// motion routines use, so that the bench and the stage agree to the last digit).
double angle_to_motor_revs(double radians);

// Turns the cam record.test_axis by `revs` motor revolutions, without the indicators.
// 0 when the controller confirmed the move; -1 when it was refused or not confirmed (the
// operator has been told).
int move_bench_cam(int panel, param_structure& record, double revs);

// Appends a run's line to the open run log `file`. A line the disk will not take is lost
// as a run-log entry is, and the operator hears of it the same way.
void bench_log_line(int file, const std::string& line);
