// Status codes shared by every routine of the numerical library.
//
// Each routine returns one of these as an int: 0 for success, a negative code otherwise.
// No routine of the library throws; a failure is reported by status only and leaves the
// caller's output arrays unwritten unless the routine's comment says otherwise.
#pragma once

constexpr int NUMERIC_OK = 0;
// Working storage for the call could not be obtained.
constexpr int NUMERIC_NO_STORAGE = -20001;
// A count is below 1: samples, coefficients, elements or matrix order.
constexpr int NUMERIC_BAD_COUNT = -20003;
// Fewer samples than coefficients to fit.
constexpr int NUMERIC_TOO_FEW_SAMPLES = -20037;
// A matrix is not positive definite: a pivot is zero, negative, not a number, or too small
// against the largest factor element.
constexpr int NUMERIC_NOT_POSITIVE_DEFINITE = -20041;
