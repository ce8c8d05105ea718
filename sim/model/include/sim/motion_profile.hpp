// A trapezoid motion profile in closed form: where an axis is at any time after a move
// starts, and when the move ends, without stepping the motion.
//
// Units are the caller's (the simulated stage uses motor revolutions and seconds).
#pragma once

#include <limits>

struct MotionProfile {
    double start_time = 0.0;
    double start_position = 0.0;
    double distance = 0.0;     // signed; ignored by a continuous profile
    double velocity = 1.0;     // top speed, > 0
    double acceleration = 1.0; // > 0
    double deceleration = 1.0; // > 0
    // +1 or -1: run at the top speed in this direction until stopped; 0: a move of
    // `distance`.
    int continuous = 0;

    // A profile that stands at `position` from `time` on.
    static MotionProfile at_rest(double time, double position);

    double position(double time) const;
    double velocity_at(double time) const;
    // Time the axis comes to rest; infinity for a continuous profile.
    double end_time() const;
    bool moving(double time) const { return time < end_time(); }
    // Seconds of the whole move (a move of no distance takes none).
    double duration() const;
};

constexpr double kSimNever = std::numeric_limits<double>::infinity();
