// `trelwick --simulate [--speed N]`: the program against the simulated stage in this
// process. The instruments answer on the in-process links at the default addresses, the
// drive root is a folder of the simulated stage's own (with the log and exchange folders
// made), and with --speed every wait and the physics run N times as fast together.
//
// $TRELWICK_SIM_MOTION_REPORT names a file that gets the motors' state as the program ends
// (for the real-window test). Drive root: $TRELWICK_SIM_ROOT, else
// $XDG_DATA_HOME/trelwick/simulated-drives, else
// ~/.local/share/trelwick/simulated-drives.
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
    // With $TRELWICK_SIM_MOTION_REPORT set, writes there at stop() the stage's clock and,
    // per cam motor, whether it turns and when its motion ended ("axis k moving 0|1 end t").
    void write_motion_report();

    std::unique_ptr<ScaledClock> clock_;
    std::unique_ptr<SimStage> stage_;
    LinkSerialBackend serial_;
    LinkGpibBackend gpib_;
    bool running_ = false;
};
