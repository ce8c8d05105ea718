// The wait-and-message module: a wait that lets pending user-interface events run, and
// the console stop message and console line used outside the instrument drivers.
//
// The drivers' own waits block (Delay); only the test bench waits here, so the operator
// can press a button during a run.
#pragma once

#include <cstdint>

// Lets pending network and user-interface events run once each.
void yield();

// Waits `seconds` on the millisecond tick counter, letting events run until the tick
// reaches the end: each round waits for an event no longer than what is left of the wait
// (no polling slices), and a stop request ends it. Returns the last tick value read.
std::uint32_t delay(double seconds);

// The same wait, with the two event calls made directly in the loop.
std::uint32_t cvi_delay(double seconds);

// Console stop message "\n<title>: <text>\n": ENTER goes on, anything else ends the program.
void stop_error_msg(const char* title, const char* text);

// Prints the text and a newline on the console.
void message(const char* text);
