// The command line of trelwick-sim: the TCP port, the speed and the fault switches.
#pragma once

#include "sim/sim_stage.hpp"

#include <array>
#include <optional>
#include <string>
#include <vector>

struct SimToolOptions {
    int tcp_port = 0; // 0: any free port
    double speed = 1.0;
    bool help = false;
    std::optional<std::array<double, kSimCams>> start_angles;
    // Faults, applied to the stage after power-on.
    Cm6k6Faults cm6k6;
    Ev16pFaults ev16p;
    Hp34970Faults hp34970;
    int hp_errors = 0;
    StageModelFaults stage;
};

// Parses the arguments; on a mistake returns nullopt with the reason in `error`.
std::optional<SimToolOptions> parse_sim_options(const std::vector<std::string>& args,
                                                std::string& error);
// Puts the faults of the options on the stage.
void apply_sim_faults(const SimToolOptions& options, SimStage& stage, double now);

extern const char* const kSimToolUsage;
