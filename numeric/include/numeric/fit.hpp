// Nonlinear least-squares fit of a caller's model to (x, y) samples by a damped
// Gauss-Newton (Levenberg-Marquardt) iteration with Cholesky solves.
//
// The fit keeps nothing between calls: its working storage (two m x m matrices and four
// m-vectors) is obtained at the start of each call and released on every way out.
#pragma once

#include "numeric/status.hpp"

// The model: its value at x for the coefficients coef[0..ncoef-1]. The model only reads
// the coefficients; the fit always hands it the fit's own working arrays (or the caller's
// coef once the fit is done), never keeps the pointer, and calls it on this thread only.
using FitModel = double (*)(double x, const double* coef, int ncoef);

// Fits model to the n samples (x[i], y[i]) by adjusting the m coefficients in coef, which
// hold the first guess on entry and the last accepted coefficients on return.
//
// On success (0), z[i] is the model at x[i] with the final coefficients and mse the mean
// squared error of z against y. The iteration stops on an exact tie of two sums of squares,
// or at the second accepted step (over the whole call) that improves the sum of squares by
// less than the absolute 0.001; there is no iteration limit.
//
// On failure z and mse are not written. Status: NUMERIC_BAD_COUNT (n < 1 or m < 1),
// NUMERIC_TOO_FEW_SAMPLES (n < m), NUMERIC_NO_STORAGE, NUMERIC_NOT_POSITIVE_DEFINITE (the
// damped normal-equation matrix stopped being positive definite; coef keeps the last
// accepted coefficients).
int NonLinearFit(const double* x, const double* y, double* z, int n, FitModel model, double* coef,
                 int m, double* mse) noexcept;
