#include "analysis/core/drawn_wall.h"

#include "spline/records.h"

#include <cmath>

#include <gtest/gtest.h>

namespace kestrova::analysis {
namespace {

// A stroke of `n` integer points on a circle, from angle 0 round to just short of a
// full turn (the hand never quite closes it).
WallContour CircleStroke(int n, double cx, double cy, double r)
{
    WallContour stroke;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * M_PI * i / n;
        stroke.push_back({static_cast<int>(std::lround(cx + r * std::cos(a))),
                          static_cast<int>(std::lround(cy + r * std::sin(a)))});
    }
    return stroke;
}

// Distance of a sample's pixel centre from the circle: a sample is the curve point
// truncated toward zero, so the curve passes through its pixel.
double DistanceFromCircle(PixelPoint p, double cx, double cy, double r)
{
    return std::fabs(std::hypot(p.x + 0.5 - cx, p.y + 0.5 - cy) - r);
}

TEST(DrawnWall, CircleStrokeGivesTwoHundredSamplesOnTheCircle)
{
    for (const int kind : {1, 2}) {
        SCOPED_TRACE(kind);
        WallContour shown = CircleStroke(60, 200.0, 180.0, 50.0);
        WallContour initial{{1, 1}};
        const DrawnWallResult r = FitDrawnWall(kind, shown, initial);
        ASSERT_EQ(r.outcome, DrawnWallFit::Fitted);
        EXPECT_TRUE(shown.size() == 200 || shown.size() == 201) << shown.size();
        EXPECT_EQ(shown, initial);
        for (const PixelPoint& p : shown)
            EXPECT_LE(DistanceFromCircle(p, 200.0, 180.0, 50.0), 1.5) << p.x << "," << p.y;
        // The closed curve comes back to its start: the last sample is next to the first.
        EXPECT_LE(std::hypot(shown.back().x - shown.front().x, shown.back().y - shown.front().y), 3.0);
    }
}

TEST(DrawnWall, ShortStrokeKeepsItsRawPoints)
{
    const WallContour stroke{{10, 10}, {20, 12}, {30, 18}, {35, 30}};
    WallContour shown = stroke;
    const WallContour before{{7, 7}, {8, 9}};
    WallContour initial = before;
    EXPECT_EQ(FitDrawnWall(1, shown, initial).outcome, DrawnWallFit::TooFewPoints);
    EXPECT_EQ(shown, stroke);
    EXPECT_EQ(initial, before);
}

void FailingBlend(const spline_curve*, const spline_curve*, double, const double*, const double*, int, int, int,
                  spline_curve** blend, int* status)
{
    *blend = nullptr;
    *status = -101;
}

void NoCurveWithoutError(const double*, int, double, int, int, int, spline_curve** curve, int* status)
{
    *curve = nullptr;
    *status = 0;
}

TEST(DrawnWall, ToolkitFailureKeepsTheStrokeAndTheInitialWall)
{
    DrawnWallToolkit blendFails = DefaultDrawnWallToolkit();
    blendFails.s1606 = &FailingBlend;
    DrawnWallToolkit noCurve = DefaultDrawnWallToolkit();
    noCurve.s1630 = &NoCurveWithoutError;
    for (const DrawnWallToolkit* tk : {&blendFails, &noCurve}) {
        const WallContour stroke = CircleStroke(30, 100.0, 100.0, 40.0);
        WallContour shown = stroke;
        const WallContour before{{1, 2}, {3, 4}};
        WallContour initial = before;
        const DrawnWallResult r = FitDrawnWall(2, shown, initial, *tk);
        EXPECT_EQ(r.outcome, DrawnWallFit::Failed);
        EXPECT_EQ(shown, stroke);
        EXPECT_EQ(initial, before);
    }
}

TEST(DrawnWall, StrokeOfOnePixelIsRefusedNotCrashed)
{
    // A click without movement: every point on one pixel gives no curve length.
    WallContour shown(6, PixelPoint{50, 60});
    WallContour initial;
    const DrawnWallResult r = FitDrawnWall(1, shown, initial);
    EXPECT_EQ(r.outcome, DrawnWallFit::Failed);
    EXPECT_EQ(shown.size(), 6u);
    EXPECT_TRUE(initial.empty());
}

}  // namespace
}  // namespace kestrova::analysis
