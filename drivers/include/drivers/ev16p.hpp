// The EV-16P gauge counter driver (RS-232, 9600 baud 7N2).
//
// Bring-up (error clear, HOLD-state check), zeroing and presetting of channel 1, reading a
// gauge, shutdown. Every problem goes to the "ERROR" confirm pop-up: No gives up the
// operation (-1), Yes carries on. Device ids are slots 1..10 of the driver's table.
#pragma once

#include <string>
#include <string_view>

// Opens COM `com_port` (1..32) for the counter at `address` (0..99); writes the id to
// *dev_ID unless a pop-up ends the bring-up.
void ev16p_init(int com_port, int address, int* dev_ID);
// Zeroes channel 1 (the gauge number is only checked). 2, or -1 from a check or when the
// counter did not acknowledge and the operator gave the zeroing up.
int ev16p_zero(int dev_ID, int gauge);
// Reads gauge 0..6 (counter units); NaN when no reading could be had.
double ev16p_read(int dev_ID, int gauge);
// Presets channel 1 to 1000 x values[0]. 2, or -1 from a check, a value not finite or too
// large for the counter's field (nothing sent), or a preset not acknowledged and given up.
int ev16p_preset(int dev_ID, int gauge, const double* values);
// Clears the counter's errors; 0 or the pop-up's answer.
int ev16p_clear_err(int dev_ID);
// Frees the slot: the new open count, 0 when not open, -1 from the check.
int ev16p_exit(int dev_ID);

int ev16p_open_dev(int address); // dev_ID, -1, or 0 when a full table is accepted
int ev16p_close_dev(int dev_ID);
int ev16p_check_dev_open(int dev_ID); // 1 or 0
// Sends one command (CR LF appended) with the counter's waits; 0 or -1.
int ev16p_out(int dev_ID, const char* text);
// Reads one reply up to CR (at most 300 bytes) into *reply; 0 or the pop-up's answer.
int ev16p_in(int dev_ID, std::string* reply);
// "ERROR" confirm pop-up, with `details` as its detailed text; -1 when the operator
// answers No, 0 on Yes.
int ev16p_error_handling(int code, const char* what, std::string_view details = {});

// Empties the device table and forgets the port (tests).
void ev16p_reset();
