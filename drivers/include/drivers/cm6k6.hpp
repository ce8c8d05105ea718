// The CM6K6 six-axis motion controller driver (RS-232, 9600 baud 8N1).
//
// Bring-up, the stage's one-cam and five-cam moves, the wait for motion end, the error
// status and shutdown; plus a general single-axis set (relative, absolute, homing set-up,
// master-follower, position queries, zeroing, an init with a motion profile). Distances
// are in motor revolutions (25000 steps each, as the bring-up scales the controller).
// Device ids are slots 1..10 of the driver's table; every slot talks to the one COM port
// of the last init.
#pragma once

#include <string>
#include <string_view>

// --- Bring-up, stage moves, shutdown ---------------------------------------------------

// Opens COM `com_port` (1..32) and brings the controller at `address` (0..99) up; writes
// the new id to *dev_ID only when the bring-up runs to its end. A Stop ends it at once
// (also the reset's wait), without an id and without a report. `panel` is not used.
void cm6k6_init(int panel, int com_port, int address, int* dev_ID);
// Moves one axis by `distance`; lights the indicator `control` of `panel` during the move
// when `show` is 1. 0, or -1 when refused or given up.
int cm6k6_cam_move(int panel, int control, int dev_ID, int axis, double distance, int show);
// Moves axes 1..5 together by distances[0..4]; the indicator of axis n is
// controls[5 + n - 1]. 0, or -1 when refused or given up.
int cm6k6_cam_move_5(int panel, const int* controls, int dev_ID, const double* distances);
// Drives off and frees the slot.
void cm6k6_exit(int dev_ID);

// --- Controller primitives -------------------------------------------------------------

// Kills the axis at once.
void cm6k6_stop_motor(int dev_ID, int axis);
// Waits until no axis moves. 0; 1 when the operator gave the motion up (axes killed,
// drives off). `axis` is not used.
int cm6k6_ifmove_delay(int dev_ID, int axis);
// Queries the controller's error status four times: 0 when clean, else -1 (reported,
// except when a Stop refused the query).
int cm6k6_read_error_status(int dev_ID);
// Copies the comma pattern of the axis ("0,0,1,0,0,0" for 3) into *destination; leaves it
// unchanged for an axis outside 1..6.
void cm6k6_axis(int axis, std::string* destination);
// Resolution the bring-up sets: 25000 motor steps and 4096 encoder counts per revolution
// for axes 1..6. Another axis: "Unknown axis number", *out unchanged.
void cm6k6_get_num_mot_steps_per_rev(int axis, int* steps);
void cm6k6_get_num_enc_cts_per_rev(int axis, int* counts);

// --- General single-axis operations ----------------------------------------------------

int cm6k6_rel_move(int dev_ID, int axis, double acc, double vel, double distance);
int cm6k6_abs_move(int dev_ID, int axis, double acc, double vel, double position);
int cm6k6_go_home(int dev_ID, int axis, double acc, double vel);
int cm6k6_follow_move(int dev_ID, int master, int follower, double acc, double vel,
                      double distance);
// The position queries wait for the motion to end first; a wait given up gives NaN and -1.
int cm6k6_get_mot_position(int dev_ID, int axis, double* position);
int cm6k6_get_enc_position(int dev_ID, int axis, double* position);
int cm6k6_zero(int dev_ID, int axis);
// cm6k6_init with a motion profile (vel, acc) set on `axis` afterwards.
int cm6k6_cam_init(int panel, int com_port, int address, int* dev_ID, short axis, double vel,
                   double acc);

// --- Device table, link and reports ----------------------------------------------------

int cm6k6_open_dev(int address);      // dev_ID, or -1
int cm6k6_close_dev(int dev_ID);      // new open count, or 0 when the slot was not open
int cm6k6_check_dev_open(int dev_ID); // 1 or 0
// Sends one command (CR LF appended); 0 or -1.
int cm6k6_out(int dev_ID, const char* text);
// Reads one reply up to CR (at most 120 bytes) into *reply; 0 or -1 (reply unchanged).
int cm6k6_in(int dev_ID, std::string* reply);
// Console stop message "\nCM6K6 ERROR: %s\n". `details` (the port's diagnosis) go under
// the text in the pop-up that asks when nobody is at the console.
void cm6k6_error(const char* text, std::string_view details = {});
// Prints the text and a newline.
void cm6k6_message(const char* text);
// "ERROR" confirm pop-up, with `details` as its detailed text; 1 when the operator answers
// No, 0 on Yes.
int cm6k6_error_handling(int code, const char* what, std::string_view details = {});

// --- For the simulated stage and the tests ---------------------------------------------

// The velocity and acceleration the controller moves with until the driver sets others
// (its power-up defaults); the motion-end wait bounds itself by them.
constexpr double kCm6k6DefaultVelocity = 1.0;      // revolutions per second
constexpr double kCm6k6DefaultAcceleration = 10.0; // revolutions per second squared

// Empties the device table, the port and the motion bookkeeping (tests).
void cm6k6_reset();
