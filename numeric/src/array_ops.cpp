#include "numeric/array_ops.hpp"

#include "numeric/status.hpp"

int Variance(const double* x, int n, double* mean, double* variance) noexcept {
    if (n < 1) {
        return NUMERIC_BAD_COUNT;
    }
    // Shifting by a sample near the middle keeps the difference of the two sums from
    // cancelling when the samples lie far from zero.
    const double shift = x[n / 2];
    double sum = 0.0;
    double sum_sq = 0.0;
    for (int i = 0; i < n; ++i) {
        const double d = x[i] - shift;
        sum += d;
        sum_sq += d * d;
    }
    const double m1 = sum / n;
    *variance = sum_sq / n - m1 * m1;
    *mean = shift + m1;
    return NUMERIC_OK;
}

int Copy1D(const double* source, int n, double* destination) noexcept {
    if (n < 1) {
        return NUMERIC_BAD_COUNT;
    }
    for (int i = 0; i < n; ++i) {
        destination[i] = source[i];
    }
    return NUMERIC_OK;
}
