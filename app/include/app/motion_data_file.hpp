// The motion data file: "mech.dat" in the exchange folder, left there by another program.
// Its first five words are the target coordinates X, Y, Roll, Pitch, Yaw, written in
// thousandths of the stage's unit and with the opposite sign.
#pragma once

#include "stage/coordinate_exchange.hpp"
#include "stage/records.hpp"

#include <cstddef>

// Folder and name of the file; it is read only, never written or deleted.
inline constexpr const char* kExchangeDirectory = "c:\\qel\\Exchange";
inline constexpr const char* kMotionDataFileName = "mech.dat";

// Longest word taken as a number; a longer one is reported as not a number.
inline constexpr std::size_t kMotionDataWordChars = 299;

// Reads the file into the record's targets (value / -1000), shows them in target slots
// 0-4 of `ctrls` and logs the path and the targets. Nothing moves. A missing target keeps
// its previous value, divided like the others; a word that is not a number is reported and
// leaves its target as it was. A missing file changes nothing and logs nothing.
void cam_move_read_motion_data(int panel, param_structure& param, const coordinate_controls& ctrls);
