// The CM6K6 driver's module state and the helpers its operation files share.
#pragma once

#include "device_table.hpp"
#include "platform/text.hpp"

#include <array>
#include <string>

struct Cm6k6State {
    DeviceTable table;
    int com_port = 0;
    std::string cmd; // the last command sent, or the reply read after it
    // What each axis (1..6) was last told, for the bound on the motion-end wait.
    std::array<double, 7> velocity{};
    std::array<double, 7> acceleration{};
    std::array<double, 7> commanded{}; // position the controller was sent to
    std::array<double, 7> travel{};    // length of the move last set up
    unsigned started_axes = 0;         // axes started by a GO and not yet seen to stop
    bool drives_on = false;            // a DRIVE enabled some drive, none since switched all off
    int handshake = 0;                 // number of the last handshake (fast waits), 1..999
    bool silent = false;               // a handshake went unanswered, and nothing was heard since
};

Cm6k6State& cm6k6_state();
// Forgets what the axes were told: the controller's power-up velocity and acceleration.
void cm6k6_forget_motion();

// The operator's Stop: kills the started axes and switches the drives off (the commands
// of the motion-end give-up), once; nothing when nothing was started or enabled. From a
// stop request to the end of the operation, cm6k6_out and cm6k6_in refuse (they call this
// first) and the confirm pop-up answers No unasked.
void cm6k6_halt(int dev_ID);

// Sends a query whose reply the caller reads next: as cm6k6_out, but under the fast waits
// the reply itself proves the query was taken, and no handshake follows it.
int cm6k6_ask(int dev_ID, const char* query);
// Sends a command built with a printf format.
int cm6k6_outf(int dev_ID, const char* format, ...) TRELWICK_PRINTF(2, 3);
// The position query of an axis: "<axis>TPC" (or TPE), the reply's first five characters
// dropped; NaN when no number came.
double cm6k6_query_position(int dev_ID, int axis, const char* query);
// Notes a relative move of `travel` set up on an axis, and axes started (bits).
void cm6k6_note_move(int axis, double travel);
void cm6k6_note_started(unsigned axes);
// The "not a finite number" text for a value that must not reach the controller.
std::string cm6k6_not_finite_text(const char* name, double value);
// Why the controller's port last failed to open or answer, as lines for a report; empty
// when nothing is recorded (instrument_diagnosis.hpp).
std::string cm6k6_port_details();
