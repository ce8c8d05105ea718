#!/usr/bin/env python3
"""Independent reference for the work-point tests on the simulated stage.

The simulated gauge on cam k reads eccentricity_k * sin(angle + gauge_phase_k) * 1000
counter units, which the EV-16P reports with four decimals ("%+010.4f"); the program
divides by 1000. The search reads the gauge, turns the cam by 6 motor revolutions (one
motor revolution turns the cam by 2 pi / 120), twenty times, then once more; it fits
a0 sin(0.0523598775 x + a1) to the first twenty readings, divided by their largest
magnitude, with the damped Gauss-Newton iteration of ../unit/numeric/fit_reference.py
(first guess 0.00075 divided likewise, and 0), scales the amplitude back, makes it positive
(adding pi to the phase) and brings the phase within -pi..pi; then moves to the zero
crossing 60 - a1 / w when the first step went down, else -a1 / w, with w = 0.05235987755,
taken within half a turn (-60..60) of where the cam stands.

Run `python3 work_point_reference.py`; the system tests quote its output.
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "unit", "numeric"))
import fit_reference  # noqa: E402

OMEGA = 0.05235987755


def reading(eccentricity, phase, angle):
    counter = eccentricity * 1000.0 * math.sin(angle + phase)
    return float("%+010.4f" % counter) / 1000.0


def search(name, eccentricity, phase, start_revs):
    turn = 2.0 * math.pi / 120.0
    xs = [6.0 * i for i in range(21)]
    ys = [reading(eccentricity, phase, (start_revs + x) * turn) for x in xs]
    fit_reference.selected = fit_reference.sine_model
    scale = max(abs(y) for y in ys[:20])
    status, coef, _, _, accepted, rejected = fit_reference.fit(
        xs[:20], [y / scale for y in ys[:20]], [0.00075 / scale, 0.0])
    amplitude, phase = coef[0] * scale, coef[1]
    if amplitude < 0.0:
        amplitude, phase = -amplitude, phase + math.pi
    phase = math.remainder(phase, 2.0 * math.pi)
    coef = [amplitude, phase]
    if ys[0] > ys[1]:
        work_point = 60.0 - coef[1] / OMEGA
    else:
        work_point = -coef[1] / OMEGA
    work_point = math.remainder(work_point, 120.0)
    final_revs = start_revs + 120.0 + work_point
    print(name, "status", status, "accepted", accepted, "rejected", rejected)
    print("  first readings %.7f %.7f" % (ys[0], ys[1]))
    print("  amplitude %.17g phase %.17g" % (coef[0], coef[1]))
    print("  work point %.17g motor revolutions" % work_point)
    print("  cam ends %.17g motor revolutions from power-on, angle %.17g rad"
          % (final_revs, final_revs * turn))


if __name__ == "__main__":
    # Cam 1, gauge 1 (eccentricity 0.000741, gauge phase 0.35), from power-on: rising.
    search("cam 1 from 0", 0.000741, 0.35, 0.0)
    # Cam 3, gauge 3 (eccentricity 0.000741, gauge phase 1.1), turned a quarter first
    # (30 motor revolutions): the first step goes down.
    search("cam 3 from 30", 0.000741, 1.1, 30.0)
