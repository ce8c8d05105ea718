// What the process has used so far: CPU seconds (user and system, all threads) and its
// resident memory.
#pragma once

double process_cpu_seconds();
// Resident set now and at its peak, in KiB, from /proc/self/status; -1 when unreadable.
long resident_kib();
long peak_resident_kib();
