// Two array routines of the numerical library: the mean and population variance of a
// sample, and a plain copy of n doubles.
#pragma once

// Mean and population variance (divisor n) of x[0..n-1]. The sums are taken about the
// middle element x[n/2], which keeps them small for samples far from zero.
// n < 1 gives NUMERIC_BAD_COUNT and writes nothing.
int Variance(const double* x, int n, double* mean, double* variance) noexcept;

// Copies n doubles from source to destination (the ranges must not overlap).
// n < 1 gives NUMERIC_BAD_COUNT and copies nothing.
int Copy1D(const double* source, int n, double* destination) noexcept;
