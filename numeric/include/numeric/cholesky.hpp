// Cholesky factorisation of a symmetric positive definite matrix, on full and on packed
// storage, and the solve with the factor.
//
// The factor is the upper triangle U with M = U^T U. A matrix is refused as not positive
// definite when a pivot is not above zero, or when any diagonal element of the factor so far
// falls below 1e-8 times the largest factor element seen so far: the fit would otherwise
// solve with a numerically singular matrix.
#pragma once

// Factors the n x n matrix M (only its lower triangle is read) into the upper-triangular
// U, n x n, zero below the diagonal. U may be the same array as M. On failure U holds a copy
// of M. Status: NUMERIC_BAD_COUNT (n <= 0), NUMERIC_NO_STORAGE (packed working array),
// NUMERIC_NOT_POSITIVE_DEFINITE.
int Cholesky(const double* M, int n, double* U) noexcept;

// Factors a packed symmetric matrix of order n in place; on success P holds the packed
// factor. On failure P is partly overwritten. Status: NUMERIC_BAD_COUNT (n < 1),
// NUMERIC_NOT_POSITIVE_DEFINITE.
int CompactCholesky(double* P, int n) noexcept;

// Solves (U^T U) x = b with the full-storage factor U (m x m) from Cholesky, by a forward
// then a back substitution. x may be the same array as b; neither may overlap U.
// m < 1 gives NUMERIC_BAD_COUNT.
int CholeskySolve(const double* U, int m, const double* b, double* x) noexcept;
