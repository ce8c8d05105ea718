// The work-point search: one revolution of the cam under test in 20 steps, a sine fitted
// to the gauge readings, and the relative move to the fitted sine's zero crossing.
#pragma once

#include "stage/records.hpp"

// y = coef[0] * sin(0.0523598775 * x + coef[1]), x in motor revolutions (120 per cam
// turn). ncoef is not used: the model always has two coefficients.
double cam_test_model_function(double x, const double* coef, int ncoef);

// Scans, fits, plots the fitted curve, shows amplitude and phase and returns the work
// point: the relative move, in motor revolutions, to the zero crossing. The scan ends
// where it started. When a reading failed or the fit did not succeed the operator is told
// and the result is NaN: there is no work point to move to.
double cam_test_find_work_point(param_structure record, instrument_addresses address);
