// The command line of trelwick-sim: the TCP port, the speed, the control socket, the
// bench's description (a file, the gauge wiring and noise), the fault switches and the
// named scenarios; and the stage these make.
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
    bool list_scenarios = false;
    std::string control_path; // empty: one of the simulator's own
    std::string bench_file;   // empty: the built-in bench
    std::optional<std::array<int, kSimCams>> gauge_wiring;
    std::optional<double> gauge_noise_um;
    std::size_t history = CommandHistory::kDefaultLimit;
    std::vector<std::string> scenarios;
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
// The bench the options describe: the built-in one, or the bench file's, then the wiring,
// noise and start angles the options give. Below speed 1 its physical times (drive
// enable, relay bounce, pot settling) shrink with the speed, as the deaf time after a
// reset does, so that in the machine's seconds they stay the bench's. nullopt with the
// reason when the file cannot be read or is wrong.
std::optional<StageModelConfig> sim_bench_config(const SimToolOptions& options, std::string& error);
// The controller's deaf time after a reset at this speed: as on the bench when the stage
// runs at speed 1 or faster, and shortened below 1 so that in the machine's seconds it is
// never longer than on the bench (a program at full speed waits 5 s for it).
double sim_reset_seconds(double speed);
// Puts the faults and the scenarios of the options on the stage (after power-on); false
// with the reason when a scenario does not apply.
bool apply_sim_faults(const SimToolOptions& options, SimStage& stage, double now,
                      std::string& error);
// One line per scenario: its name and what it sets up.
std::string sim_scenario_list();

extern const char* const kSimToolUsage;
