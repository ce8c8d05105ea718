// `trelwick --simulate [--speed N]`: the program against the simulated stage in this
// process. The instruments answer on the in-process links at the default addresses, the
// drive root is a folder of the simulated stage's own (with the log and exchange folders
// made), and with --speed every wait and the physics run N times as fast together.
//
// Drive root: $TRELWICK_SIM_ROOT, else "simulated-drives" in the user's data folder
// (platform_user_data_folder(): $XDG_DATA_HOME/trelwick or ~/.local/share/trelwick, on
// Windows %LOCALAPPDATA%\Trelwick), else in the temporary folder; never the drives.
#pragma once

#include "platform/link/link_backends.hpp"
#include "sim/scaled_clock.hpp"
#include "sim/sim_stage.hpp"

#include <memory>
#include <string>

struct SimulatedOptions {
    bool simulate = false;
    double speed = 1.0;
    std::string error; // non-empty: the command line was wrong
};

// Reads --simulate, --speed N and --speed=N from the command line; other arguments are
// left for others.
SimulatedOptions simulated_options(int argc, char** argv);

std::string simulated_drive_root();

class SimulatedMode {
public:
    // Installs the simulated stage, its clock and its drive root. False (with the reason
    // in `error`) when the drive root cannot be made.
    bool start(const SimulatedOptions& options, std::string& error);
    // Puts the machine's clock and no serial or GPIB backend back.
    void stop();
    ~SimulatedMode();

    SimStage& stage() { return *stage_; }

private:
    std::unique_ptr<ScaledClock> clock_;
    std::unique_ptr<SimStage> stage_;
    LinkSerialBackend serial_;
    LinkGpibBackend gpib_;
    bool running_ = false;
};
