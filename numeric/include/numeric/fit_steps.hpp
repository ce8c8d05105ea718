// The inner steps of NonLinearFit, open so that each can be checked on its own.
//
// The gradient is a forward difference with the absolute step 1e-6 taken in place on the
// coefficient array: a[j] is raised by 1e-6 and lowered again, which leaves it within a
// rounding of its old value, not always bit for bit. The routines that take the gradient
// therefore take the coefficients as a mutable array; NonLinearFit gives them its own
// working copy for the first guess and the trial vector afterwards.
#pragma once

#include "numeric/fit.hpp"

// Gradient of the model at x with respect to each of the m coefficients into g[0..m-1]:
// g[j] = (model(a + 1e-6 e_j) - model(a)) * 1000000.0, two model calls per coefficient.
void FitGradient(double x, double* a, int m, FitModel model, double* g) noexcept;

// Sum over the n samples of (y[i] - model(x[i], a))^2.
double FitChiSquare(const double* x, const double* y, int n, FitModel model, const double* a,
                    int m) noexcept;

// The normal equations at coefficients a: alpha (m x m, symmetric) = sum of g g^T,
// beta (m) = sum of g * (y - model), *chisq = sum of squared residuals. g is m doubles of
// scratch for the gradient of one sample.
void FitNormalEquations(const double* x, const double* y, int n, FitModel model, double* a, int m,
                        double* alpha, double* beta, double* chisq, double* g) noexcept;
