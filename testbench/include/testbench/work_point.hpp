// The work-point search: one revolution of the cam under test in 20 steps, a sine fitted
// to the gauge readings, and the relative move to the fitted sine's zero crossing.
#pragma once

#include "numeric/fit.hpp"
#include "stage/records.hpp"

// y = coef[0] * sin(0.0523598775 * x + coef[1]), x in motor revolutions (120 per cam
// turn). ncoef is not used: the model always has two coefficients.
double cam_test_model_function(double x, const double* coef, int ncoef);

// The fit the search uses: NonLinearFit's form. work_point_use_fit puts another in its
// place (nullptr: NonLinearFit again), for tests of a fit that fails.
using WorkPointFit = int (*)(const double* x, const double* y, double* z, int n, FitModel model,
                             double* coef, int m, double* mse);
void work_point_use_fit(WorkPointFit fit);

// Fits the model to the n scan readings from the search's first guess and writes the
// amplitude (positive, in the readings' unit) and phase (within -pi..pi) to coef[0..1].
// The readings are scaled to a largest magnitude of 1 for the fit, so that it finds the
// sine to the precision of the data whatever their size. Returns the fit's status; coef is
// written only on success (0).
int cam_test_fit_scan(const double* x, const double* y, int n, double* coef);

// The relative move, in motor revolutions, from the scan's start to the zero crossing of a
// sine of this phase (as cam_test_fit_scan gives it): the falling one when `falling`, else
// the rising one; of the crossings one turn apart, the nearest (|move| <= 60).
double cam_test_work_point(double phase, bool falling);

// Scans, fits, plots the fitted curve, shows amplitude and phase and returns the work
// point: the relative move, in motor revolutions, to the nearest zero crossing of the
// slope the scan began on (cam_test_work_point). The scan ends where it started. When a
// reading failed or the fit did not succeed the operator is told (a failed fit in the
// status line too, with the amplitude and phase fields hidden) and the result is NaN:
// there is no work point to move to.
double cam_test_find_work_point(param_structure record, instrument_addresses address);
