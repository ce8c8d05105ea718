// Start-up time as the operator meets it: with TRELWICK_REPORT_STARTUP set, the program
// writes on stderr, once, how long after the process started its first window was exposed
// on the screen, and the wall-clock moment it was. Nothing else changes; scripts/
// bench-ops.sh reads the line.
#pragma once

class QCoreApplication;

void report_startup_when_shown(QCoreApplication& application);
