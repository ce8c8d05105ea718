// Cholesky on full and packed storage, its refusals, and the solve with the factor.
// Every matrix here is chosen so that its factor is exact in binary and was worked out by
// hand (M = U^T U).
#include "numeric/cholesky.hpp"
#include "numeric/status.hpp"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <limits>

namespace {

constexpr double GARBAGE = -777.0;

TEST(Cholesky, FactorsIntoUpperTriangleWithZerosBelow) {
    const std::array<double, 4> m{4.0, 2.0, 2.0, 5.0};
    std::array<double, 4> u;
    u.fill(GARBAGE);
    ASSERT_EQ(Cholesky(m.data(), 2, u.data()), NUMERIC_OK);
    EXPECT_EQ(u, (std::array<double, 4>{2.0, 1.0, 0.0, 2.0}));
    EXPECT_EQ(m, (std::array<double, 4>{4.0, 2.0, 2.0, 5.0}));
}

TEST(Cholesky, FactorsInPlace) {
    std::array<double, 4> m{4.0, 2.0, 2.0, 5.0};
    ASSERT_EQ(Cholesky(m.data(), 2, m.data()), NUMERIC_OK);
    EXPECT_EQ(m, (std::array<double, 4>{2.0, 1.0, 0.0, 2.0}));
}

TEST(Cholesky, ThreeByThreeWithUpdatesFromEarlierRows) {
    // U = [[1, 2, 3], [0, 4, 5], [0, 0, 6]].
    const std::array<double, 9> m{1.0, 2.0, 3.0, 2.0, 20.0, 26.0, 3.0, 26.0, 70.0};
    std::array<double, 9> u;
    u.fill(GARBAGE);
    ASSERT_EQ(Cholesky(m.data(), 3, u.data()), NUMERIC_OK);
    EXPECT_EQ(u, (std::array<double, 9>{1.0, 2.0, 3.0, 0.0, 4.0, 5.0, 0.0, 0.0, 6.0}));
}

TEST(Cholesky, IndefiniteMatrixLeavesTheInputInU) {
    const std::array<double, 4> m{1.0, 2.0, 2.0, 1.0}; // eigenvalues 3 and -1
    std::array<double, 4> u;
    u.fill(GARBAGE);
    EXPECT_EQ(Cholesky(m.data(), 2, u.data()), NUMERIC_NOT_POSITIVE_DEFINITE);
    EXPECT_EQ(u, m);

    std::array<double, 4> in_place = m;
    EXPECT_EQ(Cholesky(in_place.data(), 2, in_place.data()), NUMERIC_NOT_POSITIVE_DEFINITE);
    EXPECT_EQ(in_place, m);
}

TEST(Cholesky, ZeroAndNotANumberPivotsAreRefused) {
    const std::array<double, 4> singular{1.0, 1.0, 1.0, 1.0};
    std::array<double, 4> u{};
    EXPECT_EQ(Cholesky(singular.data(), 2, u.data()), NUMERIC_NOT_POSITIVE_DEFINITE);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::array<double, 4> with_nan{nan, 0.0, 0.0, 1.0};
    EXPECT_EQ(Cholesky(with_nan.data(), 2, u.data()), NUMERIC_NOT_POSITIVE_DEFINITE);
}

TEST(Cholesky, DiagonalBelowRelativeFloorIsRefused) {
    std::array<double, 4> u{};
    // diag(1, 1e-20): U = diag(1, 1e-10), and 1e-10 < 1e-8 * 1.
    const std::array<double, 4> tiny_last{1.0, 0.0, 0.0, 1e-20};
    EXPECT_EQ(Cholesky(tiny_last.data(), 2, u.data()), NUMERIC_NOT_POSITIVE_DEFINITE);

    // diag(1e-20, 1): row 0 passes alone; row 1 raises the maximum to 1 and the check over
    // all earlier diagonal elements refuses U[0][0] = 1e-10.
    const std::array<double, 4> tiny_first{1e-20, 0.0, 0.0, 1.0};
    EXPECT_EQ(Cholesky(tiny_first.data(), 2, u.data()), NUMERIC_NOT_POSITIVE_DEFINITE);

    // The maximum includes off-diagonal factor elements: U = [[1, 1e9], [0, 16]] (all sums
    // exact: 1e18 + 256 is a double). The diagonal alone (1 against 16) would pass, but
    // 1 < 1e-8 * 1e9. The matrix is positive definite (determinant 256).
    const std::array<double, 4> big_coupling{1.0, 1e9, 1e9, 1e18 + 256.0};
    EXPECT_EQ(Cholesky(big_coupling.data(), 2, u.data()), NUMERIC_NOT_POSITIVE_DEFINITE);

    // The floor applies to the factor's diagonal, not to the pivots: diag(1, 1e-14) has the
    // pivot 1e-14 but U[1][1] = 1e-7, above 1e-8.
    const std::array<double, 4> small_but_fine{1.0, 0.0, 0.0, 1e-14};
    ASSERT_EQ(Cholesky(small_but_fine.data(), 2, u.data()), NUMERIC_OK);
    EXPECT_DOUBLE_EQ(u[3], 1e-7);
}

TEST(Cholesky, CountsAndStorage) {
    std::array<double, 1> m{4.0};
    std::array<double, 1> u{GARBAGE};
    EXPECT_EQ(Cholesky(m.data(), 0, u.data()), NUMERIC_BAD_COUNT);
    EXPECT_EQ(Cholesky(m.data(), -1, u.data()), NUMERIC_BAD_COUNT);
    EXPECT_EQ(u[0], GARBAGE);
    // The packed array for order INT_MAX cannot be had; it is asked for before anything
    // is copied, so the (far too small) arrays are not touched.
    EXPECT_EQ(Cholesky(m.data(), INT_MAX, u.data()), NUMERIC_NO_STORAGE);
    EXPECT_EQ(u[0], GARBAGE);
    EXPECT_EQ(CompactCholesky(m.data(), 0), NUMERIC_BAD_COUNT);
    EXPECT_EQ(m[0], 4.0);
}

TEST(CompactCholesky, FactorsPackedStorageInPlace) {
    // Packed upper triangle of [[1, 2, 3], [2, 20, 26], [3, 26, 70]].
    std::array<double, 6> p{1.0, 2.0, 3.0, 20.0, 26.0, 70.0};
    ASSERT_EQ(CompactCholesky(p.data(), 3), NUMERIC_OK);
    EXPECT_EQ(p, (std::array<double, 6>{1.0, 2.0, 3.0, 4.0, 5.0, 6.0}));
}

TEST(CholeskySolve, ForwardThenBackSubstitution) {
    // [[4, 2], [2, 5]] x = [8, 17] gives x = [0.375, 3.25].
    const std::array<double, 4> u{2.0, 1.0, 0.0, 2.0};
    const std::array<double, 2> b{8.0, 17.0};
    std::array<double, 2> x{};
    ASSERT_EQ(CholeskySolve(u.data(), 2, b.data(), x.data()), NUMERIC_OK);
    EXPECT_EQ(x, (std::array<double, 2>{0.375, 3.25}));

    // The three-by-three factor above with b = M [1, -1, 2], solved in place.
    const std::array<double, 9> u3{1.0, 2.0, 3.0, 0.0, 4.0, 5.0, 0.0, 0.0, 6.0};
    std::array<double, 3> bx{5.0, 34.0, 117.0};
    ASSERT_EQ(CholeskySolve(u3.data(), 3, bx.data(), bx.data()), NUMERIC_OK);
    EXPECT_EQ(bx, (std::array<double, 3>{1.0, -1.0, 2.0}));

    EXPECT_EQ(CholeskySolve(u.data(), 0, b.data(), x.data()), NUMERIC_BAD_COUNT);
}

} // namespace
