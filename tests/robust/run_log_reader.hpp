// Reads a run log back entry by entry and says where it stops making sense.
//
// A run log is the header (the start line and the line of asterisks) followed by entries,
// each opened by " \n": the framed entries " \n <text> \n " (coordinates, Home, bring-up)
// and the test bench's records " \n<record>" (measured points, repeatability steps).
// Every number in an entry must read back as a finite value, every time as HH:MM:SS.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

struct RunLogEntry {
    enum Kind { Coordinates, Event, Initialised, BenchPoint, BenchStep } kind;
    std::string time;  // HH:MM:SS, empty for the kinds without one
    std::string title; // the coordinates title or the event text
    std::vector<double> numbers;
};

struct RunLogReading {
    bool header_ok = false;
    std::vector<RunLogEntry> entries;
    // Where reading stopped: the file's size when every byte belongs to a whole entry.
    std::size_t consumed = 0;
    std::string error; // empty when the whole file was read
};

RunLogReading read_run_log(const std::string& text);
