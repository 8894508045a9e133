#include "analysis/core/polar_smoothing.h"

#include <cmath>
#include <numeric>

#include <gtest/gtest.h>

#include "analysis/core/printers_testutil.h"

namespace kestrova::analysis {
namespace {

// Independent reference: the L passes are a convolution of the periodic row with the
// kernel built from the pass shifts; build that kernel by convolving the pass kernels and
// apply it directly.
std::vector<double> ReferenceSmooth(const std::vector<double>& row, int level) {
    const int n = static_cast<int>(row.size());
    std::vector<double> kernel(n, 0.0);  // weight of offset d (in[j - d]) modulo n
    kernel[0] = 0.5;
    kernel[1 % n] += 0.5;
    for (int k = 1; k < level; ++k) {
        const long long s = 1LL << (k - 1);
        std::vector<double> next(n, 0.0);
        for (int d = 0; d < n; ++d) {
            next[(d + s) % n] += kernel[d] / 2;
            next[((d - s) % n + n) % n] += kernel[d] / 2;
        }
        kernel = next;
    }
    std::vector<double> out(n, 0.0);
    for (int j = 0; j < n; ++j)
        for (int d = 0; d < n; ++d) out[j] += kernel[d] * row[((j - d) % n + n) % n];
    return out;
}

TEST(MultiscaleSmooth, WorkedExamples) {
    std::vector<std::int32_t> spike(40, 0);
    spike[20] = 64;
    ASSERT_TRUE(MultiscaleSmooth(spike, 4, false, SmoothRounding::Floor));
    for (int j = 0; j < 40; ++j) EXPECT_EQ(spike[j], (j >= 13 && j <= 28) ? 4 : 0) << j;
    EXPECT_EQ(std::accumulate(spike.begin(), spike.end(), 0), 64);

    std::vector<std::int32_t> step{0, 0, 0, 0, 8, 8, 8, 8};
    MultiscaleSmooth(step, 4, false, SmoothRounding::Floor);
    for (int v : step) EXPECT_EQ(v, 4);
}

TEST(MultiscaleSmooth, MatchesCircularConvolutionAtEveryLevelIncludingWrapAround) {
    // Level 10 shifts by up to 256 positions: a row of 200 wraps around itself.
    for (int n : {7, 40, 200}) {
        std::vector<std::int32_t> row(n);
        for (int j = 0; j < n; ++j) row[j] = (j * 37 + 11) % 97;
        for (int level = 1; level <= 10; ++level) {
            const std::vector<double> expected = ReferenceSmooth(std::vector<double>(row.begin(), row.end()), level);
            std::vector<std::int32_t> floorRow = row, halfUpRow = row;
            MultiscaleSmooth(floorRow, level, false, SmoothRounding::Floor);
            MultiscaleSmooth(halfUpRow, level, false, SmoothRounding::RoundHalfUp);
            for (int j = 0; j < n; ++j) {
                // The reference sums in another order: keep clear of the rounding edges.
                const double e = expected[j];
                if (std::fabs(e - std::round(e)) < 1e-9 || std::fabs(e - std::floor(e) - 0.5) < 1e-9) continue;
                EXPECT_EQ(floorRow[j], static_cast<int>(std::floor(e))) << n << " " << level << " " << j;
                EXPECT_EQ(halfUpRow[j], static_cast<int>(std::floor(e + 0.5))) << n << " " << level << " " << j;
            }
        }
    }
}

TEST(MultiscaleSmooth, RowsAreIndependent) {
    std::vector<std::int32_t> a(16, 10), b(16, 0);
    b[3] = 100;
    std::int32_t* rows[] = {a.data(), b.data()};
    const std::vector<bool> ok = MultiscaleSmooth(rows, 16, 2, 5, false, SmoothRounding::RoundHalfUp);
    EXPECT_EQ(ok, (std::vector<bool>{true, true}));
    for (int v : a) EXPECT_EQ(v, 10);
    EXPECT_NEAR(std::accumulate(b.begin(), b.end(), 0), 100, 8);
}

TEST(GapFilling, InterpolatesAroundTheCircle) {
    struct Case {
        std::vector<double> row;
        std::vector<double> expected;
    };
    const Case cases[] = {
        // radii 20 at 9, gaps at 10..12, 24 at 13
        {{20, -1, -1, -1, 24}, {20, 21, 22, 23, 24}},
        // a gap at direction 0 takes its neighbours after it (1) and before it (last)
        {{-1, 30, 30, 30, 10}, {20, 30, 30, 30, 10}},
        {{-1, -1, 12, 30, 30, 30, 3}, {6, 9, 12, 30, 30, 30, 3}},
        // a single known value fills the whole row
        {{-1, -1, 5, -1}, {5, 5, 5, 5}},
        // non-integral interpolation stays in doubles
        {{20, -1, -1, 25}, {20, 20 + 5.0 / 3, 20 + 10.0 / 3, 25}},
    };
    for (const Case& c : cases) {
        std::vector<double> row = c.row;
        ASSERT_TRUE(FillGaps(row));
        for (std::size_t j = 0; j < row.size(); ++j) EXPECT_NEAR(row[j], c.expected[j], 1e-12) << j;
    }
}

TEST(GapFilling, RowWithoutAnyKnownValueEndsAndStaysUnfilled) {
    std::vector<double> row(400, -1.0);
    EXPECT_FALSE(FillGaps(row));
    for (double v : row) EXPECT_EQ(v, -1.0);

    std::vector<std::int32_t> known(400, 50), unknown(400, -1);
    std::int32_t* rows[] = {known.data(), unknown.data()};
    const std::vector<bool> ok = MultiscaleSmooth(rows, 400, 2, 6, true, SmoothRounding::RoundHalfUp);
    EXPECT_EQ(ok, (std::vector<bool>{true, false}));
    for (int v : known) EXPECT_EQ(v, 50);
    for (int v : unknown) EXPECT_EQ(v, -1);
}

TEST(PolarTransforms, FollowTheContourConvention) {
    const PixelPoint centre{100, 100};
    const std::vector<PixelPoint> points{{110, 100}, {100, 110}, {90, 100}, {100, 90}};
    const std::vector<PolarPoint> polar = CartesianToPolar(points, centre);
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_DOUBLE_EQ(polar[i].radius, 10.0);
        EXPECT_NEAR(std::sin(polar[i].angle), (points[i].x - centre.x) / 10.0, 1e-7);
        EXPECT_NEAR(std::cos(polar[i].angle), (points[i].y - centre.y) / 10.0, 1e-7);
        EXPECT_GE(polar[i].angle, -1e-7);
        EXPECT_LE(polar[i].angle, 2 * M_PI);
    }
    EXPECT_EQ(PolarToCartesian(polar, centre), points);
}

TEST(PolarTransforms, RoundTripReturnsEachPointOrOnePixelTowardTheCentre) {
    const PixelPoint centre{64, 48};
    for (int y = 0; y < 100; y += 3) {
        for (int x = 0; x < 130; x += 3) {
            const PixelPoint p{x, y};
            const PixelPoint q = PolarToCartesian(CartesianToPolar(std::vector<PixelPoint>{p}, centre), centre)[0];
            const auto towardCentre = [](int v, int w, int c) { return v == w || (w - v) == (c > v ? 1 : -1); };
            EXPECT_TRUE(towardCentre(p.x, q.x, centre.x) && towardCentre(p.y, q.y, centre.y))
                << p.x << "," << p.y << " -> " << q.x << "," << q.y;
        }
    }
}

TEST(SmoothContourPolar, CircleAroundTheCentreStaysACircle) {
    const PixelPoint centre{200, 180};
    WallContour circle;
    for (int i = 0; i < 120; ++i) {
        const double t = 2 * M_PI * i / 120;
        circle.push_back({centre.x + static_cast<int>(std::lround(50 * std::cos(t))),
                          centre.y + static_cast<int>(std::lround(50 * std::sin(t)))});
    }
    circle.push_back(circle.front());
    for (int level = 4; level <= 10; ++level) {
        WallContour out;
        ASSERT_TRUE(SmoothContourPolar(circle, out, centre, level));
        ASSERT_EQ(out.size(), circle.size());
        EXPECT_EQ(out.back(), out.front());
        for (std::size_t i = 0; i + 1 < out.size(); ++i) {
            const double r = std::hypot(out[i].x - centre.x, out[i].y - centre.y);
            EXPECT_GE(r, 47.5) << level << " " << i;  // radii truncated to 49 or 50, then the coordinates
            EXPECT_LE(r, 50.5) << level << " " << i;
            // the angle is kept: the point stays on the ray of its source point
            const double cross = double(out[i].x - centre.x) * (circle[i].y - centre.y) -
                                 double(out[i].y - centre.y) * (circle[i].x - centre.x);
            EXPECT_LE(std::fabs(cross) / 50.0, 1.5) << level << " " << i;
        }
    }
}

TEST(SmoothContourPolar, SmoothsAnOutlierAndWorksInPlace) {
    const PixelPoint centre{0, 0};  // the centre is used as given, (0,0) included
    WallContour contour;
    for (int i = 0; i < 64; ++i) {
        const double t = 2 * M_PI * i / 64;
        const double r = (i == 20) ? 200.0 : 100.0;
        contour.push_back({static_cast<int>(500 + r * std::cos(t)), static_cast<int>(500 + r * std::sin(t))});
    }
    WallContour reference;
    SmoothContourPolar(contour, reference, centre, 5);
    ASSERT_TRUE(SmoothContourPolar(contour, contour, centre, 5));
    EXPECT_EQ(contour, reference);
    EXPECT_EQ(contour.back(), contour.front());
}

TEST(SmoothContourPolar, FewerThanFivePointsAreLeftAlone) {
    const WallContour four{{1, 1}, {5, 1}, {5, 5}, {1, 1}};
    WallContour target{{9, 9}};
    EXPECT_FALSE(SmoothContourPolar(four, target, {3, 3}, 5));
    EXPECT_EQ(target, (WallContour{{9, 9}}));
    const WallContour five{{1, 1}, {5, 1}, {5, 5}, {1, 5}, {2, 2}};
    EXPECT_TRUE(SmoothContourPolar(five, target, {3, 3}, 5));
    EXPECT_EQ(target.size(), 5u);
    EXPECT_EQ(target.back(), target.front());
}

}  // namespace
}  // namespace kestrova::analysis
