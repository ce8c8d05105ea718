// The program's entry and the main panel's own callbacks: loading and showing the main
// panel, running the event loop, Quit and the coordinate-entry selector.
#pragma once

#include <string>

// Returns -1 when the run-time cannot be initialised (no panel backend), else 0 once the
// event loop has ended.
int WinMain();

// Loads and shows the main panel; a panel that cannot be loaded is reported on the console.
void cam_move_ui_init();

// What the station drives, for the window title and the run log: "Trelwick - simulated
// stage", or "Trelwick - instruments on COM<cm>, COM<ev>, GPIB <board>:<address>" from the
// shared instrument addresses; " - fast waits" follows under the fast wait profile.
std::string station_title();

// Quit: closes the instruments and ends the event loop.
int program_quit(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);

// Coordinate-entry selector: applies the selected mode to the coordinate box.
int reference_switch(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
