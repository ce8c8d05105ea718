// The simulated stage's control language: one text command a line, to switch faults on
// and off while it runs, turn cams by hand, rewire the gauges and look at its state. The
// same lines come from trelwick-sim's control socket, from `trelwick --simulate
// --sim-control FILE` (where "at SECONDS" in front of a line runs it that many simulated
// seconds after start) and from the named scenarios.
//
//   fault NAME on|off     NAME: controller-silent controller-garbled controller-truncated
//                         controller-late controller-error controller-dies
//                         counter-silent counter-garbled counter-truncated counter-late
//                         counter-out-of-hold daq-silent daq-garbled daq-truncated
//                         switch-not-done reference-lost thermocouple-open
//   spoil controller|counter|daq [garbled|truncated|silent]   the next reply only
//   late controller|counter SECONDS   every reply that late (0: on time)
//   hold DIGIT|off        the counter's HOLD state as CK01 reports it
//   stall AXIS REVS       the motor stops REVS short of its next move; the controller's
//                         commanded position goes on
//   limit AXIS REVS       the controller stops the axis REVS into its next move
//   overshoot AXIS REVS   the motor runs REVS past the end of its next move
//   endless AXIS on|off   the axis's moves never report their end (a kill ends one)
//   relay CH stuck-open|stuck-closed|free
//   errors N              N entries in the unit's error queue
//   gauge N noise UM      noise of counter channel N, micrometres
//   wire CAM CHANNEL      cam CAM's gauge on counter channel CHANNEL (0: none)
//   cams A1 A2 A3 A4 A5   turn the cams by hand to these angles (radians)
//   scenario NAME         run a named scenario's lines
//   clear                 every fault off
//   state                 every axis, cam, relay and fault as one line of JSON
//   help
// The reply is one line: "ok", "error: <why>", the JSON of `state`, or the help.
#pragma once

#include "sim/sim_stage.hpp"

#include <string>
#include <string_view>
#include <vector>

std::string sim_control(SimStage& stage, std::string_view line, double now);

struct SimScenario {
    std::string_view name;
    std::string_view summary;  // one line for --list-scenarios
    std::string_view commands; // control lines, separated by '\n'
};
const std::vector<SimScenario>& sim_scenarios();
const SimScenario* find_sim_scenario(std::string_view name);
