// Bring-up of the instruments from the main panel: a new run log (name, header and
// asterisk line), the records reset to their defaults, the HP34970 and the CM6K6 opened,
// the optional operator data file, the first reading shown and the instrument controls
// enabled.
#pragma once

#include "stage/records.hpp"

#include <string>

// Folder of the run logs; it must exist: without it bring-up opens nothing and says which
// folder is missing and what to do (program_folders.hpp).
inline constexpr const char* kRunLogDirectory = "C:\\CVI\\Trelwick\\Log";

// Initialise devices. -1 when no run log could be created (the operator is told why, and no
// instrument is touched), else 0.
int device_init(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);

// Opens the instruments not open yet (HP34970, then CM6K6) and points the motion log at
// `run_log`. 0 when both are open; nonzero after a PROBLEM entry in the run log.
int cam_move_device_init(const std::string& run_log, int panel, int status_control,
                         instrument_addresses addresses, param_structure param);

// The first free run-log name, Trelwick_log.001 to Trelwick_log.999, lowest first, joined
// with the log folder into `path`. 0, or -1 when all 999 names are taken.
int choose_run_log_name(std::string* path);

// The operator's data file: the file pop-up, then the file truncated and given its header
// line (date, a blank, the operator's comment). `path` receives the chosen path and
// `handle` the handle the file had (it is closed again). Returns 1 when the file was
// written, 0 when the operator cancelled (nothing is opened, `path` and `handle` are left
// alone), -1 after a reported failure.
int file_open(std::string* path, int* handle, int mode);
