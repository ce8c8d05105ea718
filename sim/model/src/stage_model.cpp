#include "sim/stage_model.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

bool valid_axis(int axis) {
    return axis >= 1 && axis <= kSimAxes;
}

// splitmix64: a small, fixed and well-mixed sequence, so a seeded run repeats exactly.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

} // namespace

StageModelConfig stage_model_bench_config() {
    StageModelConfig c;
    c.motor_sign = {1, -1, 1, -1, 1};
    c.pot_sign = {-1, 1, -1, 1, -1};
    c.pot_scale = {6.2025, 6.2102, 6.2081, 6.215, 6.2197};
    c.pot_offset = {0.0, 0.0, 0.0, 0.0, 0.0};
    c.eccentricity = {0.000741, 0.000746, 0.000741, 0.000749, 0.000747};
    // One gauge at each end of the body: channel 1 under cams 1 to 3, channel 2 under 4
    // and 5, each touching its cams at their own places around the circle.
    c.gauge_of_cam = {1, 1, 1, 2, 2};
    c.contact_phase = {0.35, -0.6, 1.1, -0.25, 0.8};
    c.gauge_noise.fill(0.0003);
    return c;
}

StageModel::StageModel(StageModelConfig config) : config_(config) {
    reset(0.0);
}

void StageModel::reset(double now) {
    faults_ = StageModelFaults{};
    relays_.clear();
    closed_at_.clear();
    readings_ = 0;
    epoch_ = now;
    for (Axis& a : axes_) {
        a = Axis{};
        a.profile = MotionProfile::at_rest(now, 0.0);
    }
}

void StageModel::apply_faults(double now) {
    for (const auto& [channel, closed] : faults_.stuck_relays) {
        if (closed && !relay_closed(channel))
            closed_at_[channel] = now;
        relays_[channel] = closed;
        const int axis = channel - 200;
        if (valid_axis(axis))
            repower(axis, now);
    }
}

double StageModel::followed(const Axis& a, double now) const {
    const double progress = (a.profile.position(now) - a.move_origin) * a.move_gain;
    const double limited = std::min(std::fabs(progress), a.move_limit);
    return a.move_origin + (progress < 0.0 ? -limited : limited);
}

double StageModel::motor_revs(int axis, double now) const {
    if (!valid_axis(axis))
        return 0.0;
    const Axis& a = axes_[axis - 1];
    if (!a.powered)
        return a.anchor_motor;
    return a.anchor_motor + followed(a, now) - a.anchor_commanded;
}

double StageModel::commanded_revs(int axis, double now) const {
    return valid_axis(axis) ? axes_[axis - 1].profile.position(now) : 0.0;
}

void StageModel::start_motion(int axis, const MotionProfile& profile, double now) {
    if (!valid_axis(axis))
        return;
    Axis& a = axes_[axis - 1];
    const double motor = motor_revs(axis, now);
    a.profile = profile;
    a.move_origin = profile.start_position;
    const int i = axis - 1;
    const double shortfall = faults_.shortfall_revs[i];
    const double overshoot = faults_.overshoot_revs[i];
    const double distance = std::fabs(profile.distance);
    const bool finite = profile.continuous == 0 && distance > 0.0;
    a.move_limit = (finite && shortfall > 0.0) ? std::max(distance - shortfall, 0.0) : kSimNever;
    a.move_gain = (finite && overshoot > 0.0) ? (distance + overshoot) / distance : 1.0;
    a.endless = faults_.motion_never_ends[i];
    if (finite && shortfall > 0.0 && faults_.shortfall_once[i]) {
        faults_.shortfall_revs[i] = 0.0;
        faults_.shortfall_once[i] = false;
    }
    if (finite && overshoot > 0.0 && faults_.overshoot_once[i]) {
        faults_.overshoot_revs[i] = 0.0;
        faults_.overshoot_once[i] = false;
    }
    // A drive not yet ready, or a motor relay still bouncing, loses every step pulse of
    // this move: the motor stands while the commanded profile runs on.
    if (!ready_to_follow(axis, now))
        a.move_limit = 0.0;
    a.anchor_motor = motor;
    a.anchor_commanded = a.move_origin;
}

bool StageModel::ready_to_follow(int axis, double now) const {
    const Axis& a = axes_[axis - 1];
    const double drive_ready = config_.drive_ready_seconds;
    if (a.drive && drive_ready > 0.0 && now - a.drive_on_at < drive_ready)
        return false;
    const double bounce = config_.relay_settle_seconds;
    if (axis <= kSimCams && bounce > 0.0 && relay_closed(200 + axis)) {
        const auto it = closed_at_.find(200 + axis);
        if (it != closed_at_.end() && now - it->second < bounce)
            return false;
    }
    return true;
}

void StageModel::stop_motion(int axis, double now) {
    if (!valid_axis(axis))
        return;
    Axis& a = axes_[axis - 1];
    const double motor = motor_revs(axis, now);
    const double at = a.profile.position(now);
    a.profile = MotionProfile::at_rest(now, at);
    a.move_origin = at;
    a.move_limit = kSimNever;
    a.move_gain = 1.0;
    a.endless = false;
    a.anchor_motor = motor;
    a.anchor_commanded = at;
}

bool StageModel::moving(int axis, double now) const {
    if (!valid_axis(axis))
        return false;
    return now < motion_end_time(axis);
}

double StageModel::motion_end_time(int axis) const {
    if (!valid_axis(axis))
        return 0.0;
    if (axes_[axis - 1].endless)
        return kSimNever;
    return axes_[axis - 1].profile.end_time();
}

void StageModel::repower(int axis, double now) {
    Axis& a = axes_[axis - 1];
    const bool relay = axis > kSimCams || relay_closed(200 + axis);
    const bool powered = a.drive && relay;
    if (powered == a.powered)
        return;
    a.anchor_motor = motor_revs(axis, now);
    a.anchor_commanded = followed(a, now);
    a.powered = powered;
}

void StageModel::set_drive(int axis, bool enabled, double now) {
    if (!valid_axis(axis))
        return;
    Axis& a = axes_[axis - 1];
    if (enabled && !a.drive)
        a.drive_on_at = now;
    a.drive = enabled;
    repower(axis, now);
}

bool StageModel::drive_enabled(int axis) const {
    return valid_axis(axis) && axes_[axis - 1].drive;
}

bool StageModel::powered(int axis) const {
    return valid_axis(axis) && axes_[axis - 1].powered;
}

void StageModel::set_relay(int channel, bool closed, double now) {
    if (faults_.stuck_relays.count(channel) != 0)
        return;
    if (closed && !relay_closed(channel))
        closed_at_[channel] = now;
    relays_[channel] = closed;
    const int axis = channel - 200;
    if (valid_axis(axis))
        repower(axis, now);
}

bool StageModel::relay_closed(int channel) const {
    const auto it = relays_.find(channel);
    return it != relays_.end() && it->second;
}

double StageModel::cam_angle(int cam, double now) const {
    if (cam < 1 || cam > kSimCams)
        return 0.0;
    const double turn = 2.0 * std::numbers::pi / kSimMotorRevsPerCamRev;
    return config_.start_angle[cam - 1] + config_.motor_sign[cam - 1] * motor_revs(cam, now) * turn;
}

void StageModel::place_cams(const std::array<double, kSimCams>& angles, double now) {
    const double turn = 2.0 * std::numbers::pi / kSimMotorRevsPerCamRev;
    for (int k = 0; k < kSimCams; ++k)
        config_.start_angle[k] = angles[k] - config_.motor_sign[k] * motor_revs(k + 1, now) * turn;
}

// The pots' supply through relay 209: nothing while it is open or its contacts bounce,
// then a rise with the wipers' time constant from the end of the bounce.
double StageModel::pot_supply(double now) const {
    if (!relay_closed(kSimPotPowerRelay))
        return 0.0;
    const auto it = closed_at_.find(kSimPotPowerRelay);
    if (it == closed_at_.end())
        return 1.0;
    const double t = now - (it->second + config_.relay_settle_seconds);
    if (t < 0.0)
        return 0.0;
    const double tau = config_.pot_settle_seconds;
    return tau > 0.0 ? -std::expm1(-t / tau) : 1.0;
}

// The mean of pot_supply over [from, to], as an integrating meter sees it.
double StageModel::pot_supply_mean(double from, double to) const {
    if (!(to > from))
        return pot_supply(from);
    if (!relay_closed(kSimPotPowerRelay))
        return 0.0;
    const auto it = closed_at_.find(kSimPotPowerRelay);
    if (it == closed_at_.end())
        return 1.0;
    const double settled_from = it->second + config_.relay_settle_seconds;
    if (to <= settled_from)
        return 0.0;
    const double a = std::max(from, settled_from);
    const double tau = config_.pot_settle_seconds;
    double area = to - a;
    if (tau > 0.0)
        area -= tau * (std::exp(-(a - settled_from) / tau) - std::exp(-(to - settled_from) / tau));
    return area / (to - from);
}

double StageModel::pot_volts_exact(int cam, double now) const {
    return pot_volts_at_supply(cam, now, pot_supply(now));
}

double StageModel::pot_volts_at_supply(int cam, double now, double supply) const {
    if (cam < 1 || cam > kSimCams || supply == 0.0)
        return 0.0;
    const int k = cam - 1;
    // One turn of the pot: the angle as the calibration sees it, inside (-pi, pi]; beyond
    // the scale's ends the wiper rests on the track's ends.
    const double angle = std::remainder(cam_angle(cam, now), 2.0 * std::numbers::pi);
    const double ratio =
        0.5 + config_.pot_sign[k] * (angle + config_.pot_offset[k]) / config_.pot_scale[k];
    return std::clamp(ratio, 0.0, 1.0) * reference_volts_exact() * supply;
}

double StageModel::reference_volts_exact() const {
    return faults_.reference_lost ? 0.0 : config_.reference_volts;
}

double StageModel::channel_volts(int channel, double start, double seconds) {
    if (channel == kSimReferenceChannel && faults_.reference_lost) {
        // An open input: a few microvolts of pick-up, of either sign, never a clean zero.
        const double draw = noise_draw();
        const double size = std::max(config_.volts_resolution, config_.noise_volts);
        const double v = (draw < 0.0 ? -1.0 : 1.0) * size * (1.0 + std::fabs(draw));
        return std::round(v / config_.volts_resolution) * config_.volts_resolution;
    }
    double exact = 0.0;
    if (channel >= 101 && channel < 101 + kSimCams)
        exact = pot_volts_at_supply(channel - 100, start + seconds / 2.0,
                                    pot_supply_mean(start, start + seconds));
    else if (channel == kSimReferenceChannel)
        exact = reference_volts_exact();
    return read_volts(exact);
}

double StageModel::noise_draw() {
    const std::uint64_t draw = mix(config_.seed ^ mix(++readings_));
    const double unit = static_cast<double>(draw >> 11) / 9007199254740992.0; // [0, 1)
    return 2.0 * unit - 1.0;
}

double StageModel::read_volts(double exact) {
    const double noisy = exact + noise_draw() * config_.noise_volts;
    return std::round(noisy / config_.volts_resolution) * config_.volts_resolution;
}

double StageModel::temperature(double now) const {
    return config_.temperature_mean +
           config_.temperature_swing *
               std::sin(2.0 * std::numbers::pi * (now - epoch_) / config_.temperature_period);
}

double StageModel::gauge_raw(int channel, double now) const {
    if (channel < 1 || channel > kSimGauges)
        return 0.0;
    double lift = config_.gauge_rest[channel - 1];
    for (int k = 0; k < kSimCams; ++k)
        if (config_.gauge_of_cam[k] == channel)
            lift += config_.eccentricity[k] *
                    std::sin(cam_angle(k + 1, now) + config_.contact_phase[k]) * 1000.0;
    return lift;
}

double StageModel::gauge_reading(int channel, double now) {
    if (channel < 1 || channel > kSimGauges)
        return 0.0;
    return gauge_raw(channel, now) + noise_draw() * config_.gauge_noise[channel - 1];
}

void StageModel::set_gauge_noise(int channel, double counter_units) {
    if (channel >= 1 && channel <= kSimGauges && std::isfinite(counter_units) &&
        counter_units >= 0.0)
        config_.gauge_noise[channel - 1] = counter_units;
}

void StageModel::set_gauge_wiring(const std::array<int, kSimCams>& gauge_of_cam) {
    for (int k = 0; k < kSimCams; ++k)
        if (gauge_of_cam[k] >= 0 && gauge_of_cam[k] <= kSimGauges)
            config_.gauge_of_cam[k] = gauge_of_cam[k];
}
