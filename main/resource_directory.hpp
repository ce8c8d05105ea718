// Where the program finds its resource file: beside the executable in the build tree, or
// in the installed data folder (share/trelwick), found relative to the executable so that
// an installed tree works wherever it was put.
#pragma once

#include <string>

// The folder to load Trelwick.ui from, for an executable in `executable_dir`. When neither
// place holds the file, the executable's folder (the load then reports it missing there).
std::string resource_directory(const std::string& executable_dir);
