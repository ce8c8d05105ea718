// The simulated bench described in a text file of its own, so a lab can make the
// simulator match its stage without touching the program. One setting a line, '#' starts
// a comment; each per-cam setting takes five values, cams 1 to 5:
//   motor_sign 1 -1 1 -1 1
//   pot_sign -1 1 -1 1 -1
//   pot_scale 6.2025 6.2102 6.2081 6.215 6.2197      radians per unit of V / Vref
//   pot_offset 0 0 0 0 0                             radians
//   eccentricity 0.000741 0.000746 0.000741 0.000749 0.000747
//   start_angle 0 0 0 0 0                            radians at power-on
//   gauge_of_cam 1 1 1 2 2                           counter channel per cam, 0 none
//   contact_phase 0.35 -0.6 1.1 -0.25 0.8            radians
//   gauge_noise_um 0.3                               one value, or six (channels 1..6)
//   reference_volts 10
// and the physical times, one value each, seconds (finite, 0 or more; 0 switches the effect
// off), that a command or reading sent too early meets:
//   drive_ready_seconds 0.25      a drive follows step pulses this long after DRIVE enables it
//   relay_settle_seconds 0.005    a relay's contacts bounce this long after they close
//   pot_settle_seconds 0.02       the wipers' time constant once relay 209 has settled
// Settings not named keep the values of stage_model_bench_config().
#pragma once

#include "sim/stage_model.hpp"

#include <optional>
#include <string>
#include <string_view>

std::optional<StageModelConfig>
parse_bench_description(std::string_view text, const StageModelConfig& base, std::string& error);
// "1,1,1,2,2": the counter channel (0..6) of each cam's gauge.
std::optional<std::array<int, kSimCams>> parse_gauge_wiring(std::string_view text);
