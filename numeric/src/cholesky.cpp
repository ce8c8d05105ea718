#include "numeric/cholesky.hpp"

#include "numeric/compact.hpp"
#include "numeric/status.hpp"
#include "working_storage.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

int CompactCholesky(double* P, int n) noexcept {
    if (n < 1) {
        return NUMERIC_BAD_COUNT;
    }
    const auto order = static_cast<std::size_t>(n);
    // 1e-8 relative to the largest factor element: a smaller diagonal element means the
    // matrix is singular to working precision.
    const double relative_floor = std::sqrt(1e-16);
    double largest = 0.0;
    for (std::size_t i = 0; i < order; ++i) {
        // Rows k < i already hold the factor, so U[k][i] and U[k][j] are read from them.
        for (std::size_t j = i; j < order; ++j) {
            double sum = 0.0;
            for (std::size_t k = 0; k < i; ++k) {
                sum += P[compact_index(k, i, order)] * P[compact_index(k, j, order)];
            }
            P[compact_index(i, j, order)] -= sum;
        }
        const double pivot = P[compact_index(i, i, order)];
        if (!(pivot > 0.0)) {
            return NUMERIC_NOT_POSITIVE_DEFINITE;
        }
        const double diagonal = std::sqrt(pivot);
        P[compact_index(i, i, order)] = diagonal;
        if (diagonal > largest) {
            largest = diagonal;
        }
        for (std::size_t j = i + 1; j < order; ++j) {
            const double element = P[compact_index(i, j, order)] / diagonal;
            P[compact_index(i, j, order)] = element;
            if (std::fabs(element) > largest) {
                largest = std::fabs(element);
            }
        }
        const double threshold = relative_floor * largest;
        for (std::size_t r = 0; r <= i; ++r) {
            if (P[compact_index(r, r, order)] < threshold) {
                return NUMERIC_NOT_POSITIVE_DEFINITE;
            }
        }
    }
    return NUMERIC_OK;
}

int Cholesky(const double* M, int n, double* U) noexcept {
    if (n <= 0) {
        return NUMERIC_BAD_COUNT;
    }
    const auto order = static_cast<std::size_t>(n);
    std::vector<double> packed;
    if (!numeric_detail::obtain(packed, order * (order + 1) / 2)) {
        return NUMERIC_NO_STORAGE;
    }
    if (U != M) {
        for (std::size_t e = 0; e < order * order; ++e) {
            U[e] = M[e];
        }
    }
    Matrix_to_Compact(U, n, COMPACT_FOR_CHOLESKY, packed.data());
    const int status = CompactCholesky(packed.data(), n);
    if (status != NUMERIC_OK) {
        return status; // U keeps the copy of M
    }
    for (std::size_t i = 0; i < order; ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            U[i * order + j] = 0.0;
        }
        for (std::size_t j = i; j < order; ++j) {
            U[i * order + j] = packed[compact_index(i, j, order)];
        }
    }
    return NUMERIC_OK;
}

int CholeskySolve(const double* U, int m, const double* b, double* x) noexcept {
    if (m < 1) {
        return NUMERIC_BAD_COUNT;
    }
    const auto order = static_cast<std::size_t>(m);
    // Forward: U^T y = b, with y kept in x.
    for (std::size_t i = 0; i < order; ++i) {
        double sum = 0.0;
        for (std::size_t k = 0; k < i; ++k) {
            sum += U[k * order + i] * x[k];
        }
        x[i] = (b[i] - sum) / U[i * order + i];
    }
    // Back: U x = y, from the last row up; x[j > i] are final when row i is reached.
    for (std::size_t i = order; i-- > 0;) {
        double sum = 0.0;
        for (std::size_t j = i + 1; j < order; ++j) {
            sum += U[i * order + j] * x[j];
        }
        x[i] = (x[i] - sum) / U[i * order + i];
    }
    return NUMERIC_OK;
}
