// The physical stage behind the simulated instruments: five cams turned by motors through a
// 120:1 reduction, potentiometers on the cams, linear gauges on the eccentric cams, the
// relays of the switch unit and a room temperature.
//
// State is computed from the time a caller passes (the platform clock's seconds) when it is
// asked, in closed form: a motor follows its trapezoid profile only while its drive is
// enabled and its switch channel (200 + axis) is closed; otherwise the controller's
// commanded profile runs on while the motor stands. The potentiometers read only while
// channel 209 is closed. Faults switched on here act on the physics; the instruments keep
// their own (reply) faults.
//
// Three physical times punish a command or a reading that comes too early, as the bench
// would: a drive follows step pulses only drive_ready_seconds after it is enabled, and a
// relay's contacts bounce for relay_settle_seconds after they close, so a move started
// sooner does not turn its motor at all (the commanded profile runs on, as in a stall);
// the wipers read 0 V while relay 209 bounces, then rise towards their value with the time
// constant pot_settle_seconds. The reference (channel 110) is a stiff supply.
//
// The gauges: each counter channel reads the sum of the lifts of the cams wired to it (the
// gauge at an end of the body sees each cam under that end lift it), plus its rest value;
// a channel no cam touches reads its rest value. Every reading carries the channel's noise.
//
// The calibration is the simulated bench's own description (stage_model_bench_config, or a
// bench file read by sim_bench_file.hpp), never the program's records, so a wrong default
// in the program shows as a wrong reading.
#pragma once

#include "sim/motion_profile.hpp"

#include <array>
#include <cstdint>
#include <map>

constexpr int kSimAxes = 6; // controller axes; 1..5 drive the cams
constexpr int kSimCams = 5;
constexpr int kSimGauges = 6; // counter channels
constexpr int kSimPotPowerRelay = 209;
constexpr int kSimReferenceChannel = 110;
constexpr int kSimTemperatureChannel = 111;
constexpr double kSimMotorRevsPerCamRev = 120.0;

struct StageModelConfig {
    std::array<double, kSimCams> start_angle{}; // cam angles at reset, radians
    std::array<int, kSimCams> motor_sign{};
    std::array<int, kSimCams> pot_sign{};
    std::array<double, kSimCams> pot_scale{};  // radians per unit of V / Vref
    std::array<double, kSimCams> pot_offset{}; // radians
    std::array<double, kSimCams> eccentricity{};
    // The counter channel (1..6) whose gauge cam k touches, 0 for none, and where on the
    // cam's circle it touches (radians).
    std::array<int, kSimCams> gauge_of_cam{};
    std::array<double, kSimCams> contact_phase{};
    std::array<double, kSimGauges> gauge_rest{};  // counter units, channel n at n - 1
    std::array<double, kSimGauges> gauge_noise{}; // counter units, uniform +/- this
    double gauge_range = 9999.9999;               // counter units the display holds
    double reference_volts = 10.0;
    double noise_volts = 3e-6;      // uniform, +/- this, on every voltage reading
    double volts_resolution = 1e-6; // readings are whole multiples of this
    std::uint64_t seed = 20261208;
    double temperature_mean = 21.0;     // deg C
    double temperature_swing = 0.4;     // deg C, a slow sine from power-on
    double temperature_period = 7200.0; // seconds
    // Physical times, seconds (0: no such effect).
    double drive_ready_seconds = 0.25;   // after DRIVE enables a drive, before it follows
    double relay_settle_seconds = 0.005; // contact bounce after a relay of slot 2 closes
    double pot_settle_seconds = 0.02;    // time constant of the wipers after 209 settles
};

// The bench as it stands in the lab (signs, scales, offsets, eccentricities, the gauges
// on channel 1 under cams 1 to 3 and channel 2 under cams 4 and 5, 0.3 um of gauge noise),
// all cams at angle 0.
StageModelConfig stage_model_bench_config();

struct StageModelFaults {
    // Revolutions by which each axis's motor (1..6 at 0..5) stops short of every move
    // while the controller's command runs on (a stall), or runs past its end (overshoot).
    std::array<double, kSimAxes> shortfall_revs{};
    std::array<double, kSimAxes> overshoot_revs{};
    // Each of the two above applies to the next move only, then clears.
    std::array<bool, kSimAxes> shortfall_once{};
    std::array<bool, kSimAxes> overshoot_once{};
    // The axis's next moves never report their end (until a kill ends one).
    std::array<bool, kSimAxes> motion_never_ends{};
    // Relays (channel -> state held: true closed) that ignore every command.
    std::map<int, bool> stuck_relays;
    // The potentiometer reference is lost: its channel reads microvolts of noise.
    bool reference_lost = false;
    // The thermocouple on the temperature channel is open.
    bool thermocouple_open = false;
};

class StageModel {
public:
    explicit StageModel(StageModelConfig config = stage_model_bench_config());

    // Everything back to the configuration at `now`: motors at rest at the start angles,
    // drives off, relays open, faults cleared.
    void reset(double now);
    const StageModelConfig& config() const { return config_; }
    StageModelFaults& faults() { return faults_; }
    // Re-applies stuck relays after the faults changed (their held state takes effect).
    void apply_faults(double now);

    // Motors, axis 1..6, positions in motor revolutions.
    void start_motion(int axis, const MotionProfile& profile, double now);
    void stop_motion(int axis, double now); // the commanded profile stops where it is
    double commanded_revs(int axis, double now) const;
    double motor_revs(int axis, double now) const; // where the motor really is
    bool moving(int axis, double now) const;
    double motion_end_time(int axis) const; // kSimNever when the motion does not end
    void set_drive(int axis, bool enabled, double now);
    bool drive_enabled(int axis) const;
    bool powered(int axis) const;

    // Relays of the switch unit's second slot (201..220).
    void set_relay(int channel, bool closed, double now);
    bool relay_closed(int channel) const;

    // Cam k (1..5) angle in radians.
    double cam_angle(int cam, double now) const;
    // Turns the cams by hand to these angles (radians, cam k at k - 1), as someone at the
    // bench could with the motors at rest; the motors' revolutions stay as they are.
    void place_cams(const std::array<double, kSimCams>& angles, double now);
    // Exact, noise-free potentiometer wiper voltage of cam k at `now`: 0 while relay 209
    // is open or its contacts bounce, then V (1 - exp(-t / pot_settle_seconds)), t from the
    // end of the bounce.
    double pot_volts_exact(int cam, double now) const;
    double reference_volts_exact() const;
    // A reading of a voltage as the meter gives it: with the noise and resolution.
    double read_volts(double exact);
    // The DC voltage a meter channel (1xx) reads: the pots on 101..105, the reference on
    // 110 (microvolts of noise, never exactly 0, when it is lost), noise on the others.
    // The meter integrates from `start` for `seconds` (0: the value at `start`): the pots'
    // supply is averaged over that window, the wiper taken where the cam is at its middle.
    double channel_volts(int channel, double start, double seconds = 0.0);
    // Degrees C; the slow drift's phase counts from power-on, so runs repeat.
    double temperature(double now) const;
    // Gauge channel n (1..6) in counter units (lengths times 1000), before any zero and
    // without noise.
    double gauge_raw(int channel, double now) const;
    // What the gauge gives at one reading: the raw value and a draw of its noise.
    double gauge_reading(int channel, double now);
    void set_gauge_noise(int channel, double counter_units);
    void set_gauge_wiring(const std::array<int, kSimCams>& gauge_of_cam);

private:
    struct Axis {
        MotionProfile profile;
        double move_origin = 0.0;      // commanded position where the present move began
        double move_limit = kSimNever; // the most the motor follows of this move
        double move_gain = 1.0;        // motor revolutions per commanded one (overshoot)
        bool endless = false;          // this move never reports its end
        double anchor_commanded = 0.0;
        double anchor_motor = 0.0;
        bool drive = false;
        bool powered = false;
        double drive_on_at = 0.0; // when the drive was last enabled
    };
    double followed(const Axis& a, double now) const; // commanded, cut at the limit
    void repower(int axis, double now);
    bool ready_to_follow(int axis, double now) const;
    // The pots' supply as a fraction of its value: at `now`, and averaged over [from, to].
    double pot_supply(double now) const;
    double pot_supply_mean(double from, double to) const;
    double pot_volts_at_supply(int cam, double now, double supply) const;

    StageModelConfig config_;
    StageModelFaults faults_;
    std::array<Axis, kSimAxes> axes_;
    std::map<int, bool> relays_;      // closed channels
    std::map<int, double> closed_at_; // when each relay's contacts last made
    std::uint64_t readings_ = 0;      // draws of the noise sequence
    double epoch_ = 0.0;              // power-on
    double noise_draw();              // uniform in [-1, 1)
};
