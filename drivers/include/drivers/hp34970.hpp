// The HP34970 data acquisition and switch unit driver (GPIB, SCPI).
//
// Bring-up and shutdown, DC voltage, resistance and temperature scans, the relay outputs
// of the second slot, serial poll and the error queue. Every problem is a console stop
// message. A value that could not be measured is NaN. Device ids are slots 1..10 of the
// driver's table.
#pragma once

#include <string>
#include <string_view>

// Opens the unit at GPIB `board` (0..10), primary `address` (1..30), resets it and
// checks its error queue; writes the id to *dev_ID only on success.
void hp34970_init(int board, int address, int* dev_ID);
// Resets the unit and takes it off line.
void hp34970_exit(int dev_ID);
void hp34970_preset(int dev_ID);

// Single channels: volt takes the channel within slot 1 (9 reads channel 109); the others
// take the full channel number.
void hp34970_get_chan_volt(int dev_ID, int chan, double* value);
void hp34970_get_chan_res(int dev_ID, int chan, double* value);
void hp34970_get_chan_4wire_res(int dev_ID, int chan, double* value);
void hp34970_get_chan_temp(int dev_ID, int chan, double* value);

// Scans of num_chan (1..60) channels (101..399); values in the order of `chans`.
void hp34970_scan_chan_volt(int dev_ID, int num_chan, const int* chans, double* values);
void hp34970_scan_chan_res(int dev_ID, int num_chan, const int* chans, double* values);
void hp34970_scan_chan_4wire_res(int dev_ID, int num_chan, const int* chans, double* values);
// The scan engine: kinds[k] is 'v' (DC volts), 'r' (resistance), '4' (four-wire
// resistance) or 't' (temperature, degrees Celsius) for chans[k].
void hp34970_scan_chan(int dev_ID, int num_chan, const int* chans, const char* kinds,
                       double* values);

// Closes (on = 1) or opens (on = 0) the relay of output `output` of slot 2 (channel
// 200 + output).
void hp34970_switch_on_off(int dev_ID, int output, int on);
// The status byte; 0 or -1.
int hp34970_serial_poll(int dev_ID, int* status);
// Reads and prints the error queue; 0 when it was empty, -1 when it held errors.
int hp34970_get_errors(int dev_ID);

int hp34970_open_dev(int board, int address); // dev_ID, or -1
int hp34970_close_dev(int dev_ID);
int hp34970_check_dev_open(int dev_ID); // 1 or 0
// Sends one command (LF appended); 0 or -1.
int hp34970_out(int dev_ID, const char* text);
// Reads one reply (at most 300, or 3000 bytes for in_buf) and keeps the text before the
// first line feed in *reply; 0 or -1 (reply unchanged).
int hp34970_in(int dev_ID, std::string* reply);
int hp34970_in_buf(int dev_ID, std::string* reply);
// Console stop message "\nHP34970 ERROR: %s\n"; `details` as for cm6k6_error.
void hp34970_error(const char* text, std::string_view details = {});
void hp34970_message(const char* text);

// Entries hp34970_get_errors reads at most: the unit's queue holds ten, so a unit that
// never says "No error" cannot keep the program reading.
constexpr int kHp34970MaxErrorEntries = 20;

// Empties the device table (tests).
void hp34970_reset();
