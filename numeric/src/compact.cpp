#include "numeric/compact.hpp"

#include "numeric/status.hpp"

#include <cstddef>

int Matrix_to_Compact(const double* M, int n, int layout, double* P) noexcept {
    if (n <= 0) {
        return NUMERIC_BAD_COUNT;
    }
    const auto order = static_cast<std::size_t>(n);
    std::size_t next = 0;
    if (layout == COMPACT_LOWER_BY_COLUMNS || layout == COMPACT_FOR_CHOLESKY) {
        for (std::size_t i = 0; i < order; ++i) {
            for (std::size_t r = i; r < order; ++r) {
                P[next++] = M[r * order + i];
            }
        }
    } else if (layout == COMPACT_UPPER_BY_COLUMNS) {
        for (std::size_t k = 0; k < order; ++k) {
            for (std::size_t r = 0; r <= k; ++r) {
                P[next++] = M[r * order + k];
            }
        }
    }
    return NUMERIC_OK;
}
