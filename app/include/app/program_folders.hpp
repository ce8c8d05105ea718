// The two folders the program's fixed paths name, checked before they are needed: the
// run-log folder (bring-up writes the run log there) and the motion-data folder (another
// program leaves mech.dat there). Each check says whether the folder exists and whether
// this user may write there, where it is on this computer, and what to do when it is not
// in place. Bring-up and `trelwick --check-instruments` tell the operator the same words.
#pragma once

#include <string>

struct ProgramFolder {
    std::string name;         // "Run-log folder"
    std::string program_path; // "C:\CVI\Trelwick\Log"
    std::string disk_path;    // where that is on this computer
    bool exists = false;
    bool writable = false;
};

// Whether the folder exists, without writing there.
bool program_folder_exists(const char* program_path);

// Checks the folder. Whether it is writable is found by creating and removing a file there
// (Trelwick_write_check.tmp), as nothing else tells it for every user and system.
ProgramFolder check_program_folder(std::string name, const char* program_path);
ProgramFolder check_run_log_folder();
ProgramFolder check_motion_data_folder();

// What is wrong with the folder, in one sentence naming it: "The run-log folder
// C:\CVI\Trelwick\Log (/home/op/.local/share/trelwick/drives/c/CVI/Trelwick/Log) does not
// exist." Empty when it exists and is writable.
std::string program_folder_problem(const ProgramFolder& folder);
// What to do about it: create the folder (or let this user write there), or give the program
// the drive root that holds it (the simulated stage's with --simulate).
std::string program_folder_advice(const ProgramFolder& folder);
