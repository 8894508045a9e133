#include "analysis/core/numeric_helpers.h"

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace kestrova::analysis {
namespace {

TEST(RoundHalfUp, HalvesGoTowardPlusInfinity) {
    struct Case {
        double x;
        int expected;
    };
    const Case cases[] = {{2.5, 3},   {2.4999, 2}, {-0.5, 0},  {-1.5, -1}, {-1.5001, -2},
                          {0.0, 0},   {7.0, 7},    {-7.0, -7}, {0.49999999, 0}, {1e9 + 0.5, 1000000001}};
    for (const Case& c : cases) EXPECT_EQ(RoundHalfUp(c.x), c.expected) << c.x;
}

TEST(RoundHalfUp, AgreesWithTheFloorAndCeilRuleEverywhere) {
    const auto rule = [](double x) {
        const double f = std::floor(x);
        return static_cast<int>(f + 0.5 > x ? f : std::ceil(x));
    };
    std::vector<double> xs;
    for (int i = -2000; i <= 2000; ++i) {
        const double half = i + 0.5;
        xs.insert(xs.end(), {half, std::nextafter(half, -1e300), std::nextafter(half, 1e300), double(i),
                             std::nextafter(double(i), -1e300), std::nextafter(double(i), 1e300)});
    }
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> wide(-2.1e9, 2.1e9), narrow(-600.0, 600.0);
    for (int i = 0; i < 20000; ++i) xs.insert(xs.end(), {wide(rng), narrow(rng)});
    xs.insert(xs.end(), {2147483646.5, 2147483646.49, -2147483647.5, -2147483648.0, -2147483647.9, 2147483647.0});
    for (double x : xs) ASSERT_EQ(RoundHalfUp(x), rule(x)) << std::hexfloat << x;
}

TEST(MinMaxHelpers, PickExtremes) {
    EXPECT_EQ(MinOfFour(256, 240, 256, 272), 240);
    EXPECT_EQ(MinOfFour(-1, 5, 3, 2), -1);
}

TEST(RowMatrices, RowsAreZeroedAndIndependent) {
    IntMatrix m(400, 3);
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 400; ++k) ASSERT_EQ(m[r][k], 0);
    m[2][399] = -1;
    m[0][0] = 7;
    EXPECT_EQ(m[1][0], 0);
    EXPECT_EQ(m[2][399], -1);

    ByteMatrix empty(10, 0);  // no rows: still a row-pointer array
    EXPECT_NE(empty.get(), nullptr);
    EXPECT_EQ(empty.rowCount(), 0);
    EXPECT_THROW(IntMatrix(-1, 3), std::invalid_argument);
}

TEST(RowMatrices, OwnerReleasesAndMoves) {
    IntMatrix a(4, 2);
    a[1][3] = 9;
    IntMatrix b(std::move(a));
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(b[1][3], 9);
    EXPECT_EQ(b.rowCount(), 2);
    b = IntMatrix(3, 3);
    EXPECT_EQ(b.rowLength(), 3);
}

}  // namespace
}  // namespace kestrova::analysis
