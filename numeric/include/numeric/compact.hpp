// Packed (compact) triangular storage and the routine that fills it from a full matrix.
//
// A packed array of order n holds n(n+1)/2 doubles: the upper triangle row by row, row i
// holding columns i..n-1. Full matrices are n by n, stored row by row.
#pragma once

#include <cstddef>

// Layout selectors of Matrix_to_Compact.
// Packed row i receives column i from the diagonal down: M[i][i], M[i+1][i], ..., M[n-1][i].
// For a symmetric matrix that is the upper triangle row by row.
constexpr int COMPACT_LOWER_BY_COLUMNS = 0;
// For each k in turn, M[0][k], M[1][k], ..., M[k][k] are appended: the upper triangle taken
// column by column. For a symmetric matrix that is the lower triangle row by row.
constexpr int COMPACT_UPPER_BY_COLUMNS = 1;
// The layout the Cholesky factorisation packs with; the same as COMPACT_LOWER_BY_COLUMNS.
constexpr int COMPACT_FOR_CHOLESKY = 2;

// Index of element (i, j), j >= i, of a packed array of order n: i*n - i(i-1)/2 + (j - i).
constexpr std::size_t compact_index(std::size_t i, std::size_t j, std::size_t n) {
    return i * n - (i * (i + 1)) / 2 + j;
}

// Packs the n x n matrix M into P (n(n+1)/2 doubles) by the given layout. An unknown layout
// packs nothing and still succeeds. n <= 0 gives NUMERIC_BAD_COUNT.
int Matrix_to_Compact(const double* M, int n, int layout, double* P) noexcept;
