#include "sim/motion_profile.hpp"

#include <algorithm>
#include <cmath>

namespace {

// The phases of a trapezoid (or, when the top speed is never reached, a triangle).
struct Phases {
    double peak;      // highest speed reached
    double ramp_up;   // seconds accelerating
    double cruise;    // seconds at the peak
    double ramp_down; // seconds decelerating
};

Phases phases_of(const MotionProfile& p) {
    const double length = std::fabs(p.distance);
    const double a = p.acceleration;
    const double d = p.deceleration;
    double peak = p.velocity;
    const double up = peak * peak / (2.0 * a);
    const double down = peak * peak / (2.0 * d);
    double cruise = 0.0;
    if (up + down <= length) {
        cruise = (length - up - down) / peak;
    } else {
        peak = std::sqrt(2.0 * length * a * d / (a + d));
    }
    return {peak, peak / a, cruise, peak / d};
}

} // namespace

MotionProfile MotionProfile::at_rest(double time, double position) {
    MotionProfile p;
    p.start_time = time;
    p.start_position = position;
    p.distance = 0.0;
    return p;
}

double MotionProfile::duration() const {
    if (continuous != 0)
        return kSimNever;
    if (distance == 0.0)
        return 0.0;
    const Phases ph = phases_of(*this);
    return ph.ramp_up + ph.cruise + ph.ramp_down;
}

double MotionProfile::end_time() const {
    return start_time + duration();
}

double MotionProfile::position(double time) const {
    const double tau = time - start_time;
    if (tau <= 0.0)
        return start_position;
    if (continuous != 0) {
        const double ramp = velocity / acceleration;
        const double run = tau <= ramp ? 0.5 * acceleration * tau * tau
                                       : 0.5 * velocity * ramp + velocity * (tau - ramp);
        return start_position + continuous * run;
    }
    if (distance == 0.0)
        return start_position;
    const Phases ph = phases_of(*this);
    const double length = std::fabs(distance);
    const double total = ph.ramp_up + ph.cruise + ph.ramp_down;
    double run;
    if (tau >= total) {
        run = length;
    } else if (tau <= ph.ramp_up) {
        run = 0.5 * acceleration * tau * tau;
    } else if (tau <= ph.ramp_up + ph.cruise) {
        run = 0.5 * ph.peak * ph.ramp_up + ph.peak * (tau - ph.ramp_up);
    } else {
        const double left = total - tau;
        run = length - 0.5 * deceleration * left * left;
    }
    run = std::clamp(run, 0.0, length);
    return start_position + (distance < 0.0 ? -run : run);
}

double MotionProfile::velocity_at(double time) const {
    const double tau = time - start_time;
    if (tau <= 0.0)
        return 0.0;
    if (continuous != 0)
        return continuous * std::min(velocity, acceleration * tau);
    if (distance == 0.0)
        return 0.0;
    const Phases ph = phases_of(*this);
    const double total = ph.ramp_up + ph.cruise + ph.ramp_down;
    double speed;
    if (tau >= total)
        speed = 0.0;
    else if (tau <= ph.ramp_up)
        speed = acceleration * tau;
    else if (tau <= ph.ramp_up + ph.cruise)
        speed = ph.peak;
    else
        speed = deceleration * (total - tau);
    return distance < 0.0 ? -speed : speed;
}
