// Reads the panels of a Qt Designer resource file into scripted panels: every widget that
// carries a ctrlId becomes a control with its kind, callback, initial value and state.
#pragma once

#include "platform/scripted/scripted_operator.hpp"

#include <string>

// Fills `panel` with page `resource_id` of the file. Returns 0, or UIEFileNotFound,
// UIEBadFileFormat or UIEPanelNotFound.
int read_ui_panel(const std::string& ui_file, int resource_id, ScriptedPanel& panel);
