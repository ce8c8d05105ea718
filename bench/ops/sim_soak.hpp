// trelwick-sim's own memory over a long run: the simulator as a process, driven through
// its pseudo-terminals and TCP port by the real drivers, its resident memory read from
// /proc/<pid>/status as the moves go by.
#pragma once

// Runs `moves` one-cam moves (each with its relay switched and a potentiometer read, a
// gauge read every tenth) against a trelwick-sim at `speed`; prints the simulator's
// resident memory along the way. 0 on success.
int run_sim_memory(int moves, double speed);
