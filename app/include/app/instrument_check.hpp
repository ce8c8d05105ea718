// `trelwick --check-instruments`: whether each of the three instruments can be reached,
// without moving anything or changing any instrument's state.
//
// For each instrument at its built-in address (CM6K6 on COM2, EV-16P on COM5, HP34970 at
// GPIB 1:9): where the port or unit leads, whether it opens, and whether the instrument
// answers a query that only reads (the controller's commanded positions "TPC", the
// counter's HOLD state "CK01", the unit's identification "*IDN?"). A row that fails is
// followed by the system's reason and what to do (instrument_diagnosis.hpp). Every wait is
// bounded: a serial read waits 1 s, the unit 3 s. Runs on whatever serial and GPIB
// backends are installed, the machine's or the simulated stage's.
//
// Under the instruments, the run-log and motion-data folders (program_folders.hpp): whether
// each exists and may be written, where it is, and, when it is not in place, why and what
// to do.
#pragma once

#include <string>

struct InstrumentCheck {
    std::string report; // the table, ending with a summary line
    int failed = 0;     // instruments that did not answer, and folders not in place
};

InstrumentCheck check_instruments();
