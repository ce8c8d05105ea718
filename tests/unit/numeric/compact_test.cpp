// Packing a full matrix into triangular storage by each layout selector.
#include "numeric/compact.hpp"
#include "numeric/status.hpp"

#include <gtest/gtest.h>

#include <array>

namespace {

// Not symmetric, so every layout shows which elements it takes and in which order.
const std::array<double, 9> M{1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0};
constexpr double UNTOUCHED = -1.0;

std::array<double, 6> pack(int layout, int* status) {
    std::array<double, 6> p;
    p.fill(UNTOUCHED);
    *status = Matrix_to_Compact(M.data(), 3, layout, p.data());
    return p;
}

TEST(MatrixToCompact, LayoutsZeroAndTwoTakeEachColumnFromTheDiagonalDown) {
    const std::array<double, 6> expected{1.0, 4.0, 7.0, 5.0, 8.0, 9.0};
    int status = 1;
    EXPECT_EQ(pack(COMPACT_LOWER_BY_COLUMNS, &status), expected);
    EXPECT_EQ(status, NUMERIC_OK);
    status = 1;
    EXPECT_EQ(pack(COMPACT_FOR_CHOLESKY, &status), expected);
    EXPECT_EQ(status, NUMERIC_OK);
    EXPECT_EQ(COMPACT_LOWER_BY_COLUMNS, 0);
    EXPECT_EQ(COMPACT_FOR_CHOLESKY, 2);
}

TEST(MatrixToCompact, LayoutOneTakesEachColumnDownToTheDiagonal) {
    int status = 1;
    EXPECT_EQ(pack(COMPACT_UPPER_BY_COLUMNS, &status),
              (std::array<double, 6>{1.0, 2.0, 5.0, 3.0, 6.0, 9.0}));
    EXPECT_EQ(status, NUMERIC_OK);
    EXPECT_EQ(COMPACT_UPPER_BY_COLUMNS, 1);
}

TEST(MatrixToCompact, UnknownLayoutPacksNothing) {
    std::array<double, 6> untouched;
    untouched.fill(UNTOUCHED);
    for (int layout : {3, -1, 100}) {
        int status = 1;
        EXPECT_EQ(pack(layout, &status), untouched) << layout;
        EXPECT_EQ(status, NUMERIC_OK) << layout;
    }
}

TEST(MatrixToCompact, OrderBelowOneIsRefused) {
    std::array<double, 1> p{UNTOUCHED};
    EXPECT_EQ(Matrix_to_Compact(M.data(), 0, 0, p.data()), NUMERIC_BAD_COUNT);
    EXPECT_EQ(p[0], UNTOUCHED);
}

TEST(CompactIndex, RowByRowUpperTriangle) {
    // Order 3: row 0 at 0, 1, 2; row 1 at 3, 4; row 2 at 5.
    EXPECT_EQ(compact_index(0, 0, 3), 0U);
    EXPECT_EQ(compact_index(0, 2, 3), 2U);
    EXPECT_EQ(compact_index(1, 1, 3), 3U);
    EXPECT_EQ(compact_index(1, 2, 3), 4U);
    EXPECT_EQ(compact_index(2, 2, 3), 5U);
}

} // namespace
