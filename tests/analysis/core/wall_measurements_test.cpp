#include "analysis/core/wall_measurements.h"

#include <cmath>

#include <gtest/gtest.h>

namespace kestrova::analysis {
namespace {

PixelPoint Round(double x, double y)
{
    return {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
}

// An ellipse with semi-axes a (along x) and b (along y) as n integer points. With
// `pointSymmetric` the second half is the first half turned by 180 degrees about the
// centre (whose double must be whole), so the mean of the kept points is exactly the
// centre.
WallContour Ellipse(double cx, double cy, double a, double b, int n, bool pointSymmetric = false, bool closed = false)
{
    WallContour c;
    for (int i = 0; i < n; ++i) {
        const double t = 2.0 * M_PI * i / n + M_PI / 4;
        if (pointSymmetric && i >= n / 2) {
            const PixelPoint q = c[static_cast<std::size_t>(i - n / 2)];
            c.push_back({static_cast<int>(2 * cx) - q.x, static_cast<int>(2 * cy) - q.y});
        } else {
            c.push_back(Round(cx + a * std::cos(t), cy + b * std::sin(t)));
        }
    }
    if (closed)
        c.push_back(c.front());
    return c;
}

double Shoelace(const std::vector<double>& xy)
{
    const std::size_t n = xy.size() / 2;
    double s = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        s += xy[2 * i] * xy[2 * j + 1] - xy[2 * j] * xy[2 * i + 1];
    }
    return std::fabs(s) / 2.0;
}

double Centroid(const WallContour& c, int axis)
{
    const std::vector<double> kept = FilterContourPoints(c);
    double s = 0.0;
    for (std::size_t i = 0; i < kept.size() / 2; ++i)
        s += kept[2 * i + static_cast<std::size_t>(axis)];
    return s / static_cast<double>(kept.size() / 2);
}

TEST(FilterContourPoints, KeepsPointsThatChangeBothCoordinates)
{
    struct Case {
        const char* what;
        WallContour in;
        std::vector<double> kept;
    };
    const Case cases[] = {
        {"one pixel row keeps its first point", {{5, 9}, {6, 9}, {7, 9}, {8, 9}}, {5, 9}},
        {"first point on x = 0 is dropped", {{0, 4}, {3, 7}, {5, 8}}, {3, 7, 5, 8}},
        {"first point on y = 0 is dropped", {{4, 0}, {3, 7}}, {3, 7}},
        {"compared with the visited, not the kept point", {{5, 5}, {5, 6}, {6, 6}, {7, 8}}, {5, 5, 7, 8}},
        {"closing point compared with the point before it", {{5, 5}, {8, 9}, {11, 4}, {5, 5}}, {5, 5, 8, 9, 11, 4, 5, 5}},
        {"empty", {}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterContourPoints(c.in), c.kept) << c.what;
}

TEST(MeasureWallContours, ConcentricCirclesInMillimetres)
{
    struct Case {
        const char* what;
        WallContour lumen, vessel;
        bool wholeCentroid;
        double extremesTolerance;  // mm, for the smallest and largest single values
    };
    // Single values carry the rounding of the traced points (up to 0.7 px per crossing)
    // and, for radii, the offset of the lumen centroid (the mean of the kept points) from
    // the true centre; the symmetric traces keep the centroid on the centre.
    const Case cases[] = {
        // The centroid's y is whole: the line level with it is measured, not fatal; line
        // 0 is exactly vertical, so its crossings straddle the atan2 seam.
        {"whole centroid", Ellipse(200, 150, 50, 50, 32, true), Ellipse(200, 150, 80, 80, 48, true), true, 0.15},
        {"non-whole centroid", Ellipse(200, 150.5, 50, 50, 40, true), Ellipse(200, 150.5, 80, 80, 60, true), false,
         0.15},
        // A closed 200-point trace as the refinement leaves it: the repeated first point
        // is kept and pulls the centroid a little.
        {"closed dense trace", Ellipse(200.3, 150.6, 50, 50, 200, false, true),
         Ellipse(200.3, 150.6, 80, 80, 200, false, true), false, 0.35},
    };
    const double spacing = 0.1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const double cy = Centroid(c.lumen, 1), cx = Centroid(c.lumen, 0);
        if (c.wholeCentroid) {
            EXPECT_EQ(cx, std::floor(cx));
            EXPECT_EQ(cy, std::floor(cy));
        } else {
            EXPECT_NE(cy, std::floor(cy));
        }
        const MeasurementResult r = MeasureWallContours(c.vessel, c.lumen);
        ASSERT_EQ(r.status, MeasurementStatus::Measured) << r.error;
        EXPECT_EQ(r.lineCount, 50);
        // Means within 0.05 mm. A thickness paired with the opposite side would be 13 mm.
        const FrameMeasurements& m = r.values;
        EXPECT_NEAR(m.meanLumenRadius * spacing, 5.0, 0.05);
        EXPECT_NEAR(m.meanVesselRadius * spacing, 8.0, 0.05);
        EXPECT_NEAR(m.meanLumenDiameter * spacing, 10.0, 0.05);
        EXPECT_NEAR(m.meanVesselDiameter * spacing, 16.0, 0.05);
        EXPECT_NEAR(m.meanWallThickness * spacing, 3.0, 0.05);
        const double tol = c.extremesTolerance;
        for (double v : {m.minLumenRadius, m.maxLumenRadius})
            EXPECT_NEAR(v * spacing, 5.0, tol);
        for (double v : {m.minVesselRadius, m.maxVesselRadius})
            EXPECT_NEAR(v * spacing, 8.0, tol);
        for (double v : {m.minLumenDiameter, m.maxLumenDiameter})
            EXPECT_NEAR(v * spacing, 10.0, 0.15);
        for (double v : {m.minVesselDiameter, m.maxVesselDiameter})
            EXPECT_NEAR(v * spacing, 16.0, 0.15);
        for (double v : {m.minWallThickness, m.maxWallThickness})
            EXPECT_NEAR(v * spacing, 3.0, 0.2);
        const double lumenMm2 = std::fabs(m.lumenArea) * spacing * spacing;
        const double vesselMm2 = std::fabs(m.vesselArea) * spacing * spacing;
        EXPECT_NEAR(lumenMm2, M_PI * 25.0, 0.005 * M_PI * 25.0);
        EXPECT_NEAR(vesselMm2, M_PI * 64.0, 0.005 * M_PI * 64.0);
        // The wall area is a difference, so the two area errors add up.
        EXPECT_NEAR(m.wallArea * spacing * spacing, 122.5, 1.0);
        EXPECT_EQ(m.wallArea, std::abs(std::abs(static_cast<int>(m.vesselArea)) - std::abs(static_cast<int>(m.lumenArea))));
    }
}

TEST(WallThickness, PairsCrossingsOnTheSameSideEvenAcrossTheAngleSeam)
{
    struct Case {
        const char* what;
        double p1[2], p2[2], p3[2], p4[2];
        double t1, t2;
    };
    // Centre (0, 0), lumen radius 50, vessel radius 80: every thickness is 30.
    const Case cases[] = {
        {"same order", {0, 50}, {0, -50}, {0, 80}, {0, -80}, 30, 30},
        {"opposite order", {0, 50}, {0, -50}, {0, -80}, {0, 80}, 30, 30},
        {"diagonal", {30, 40}, {-30, -40}, {-48, -64}, {48, 64}, 30, 30},
        // Straight up the negative y axis the two crossings of one side lie on either
        // side of the angle seam (+pi and -pi).
        {"at the seam", {-1e-9, -50}, {1e-9, 50}, {1e-9, -80}, {-1e-9, 80}, 30, 30},
    };
    const double c[2] = {0, 0};
    for (const Case& k : cases) {
        const std::array<double, 2> t = detail::WallThicknesses(c, k.p1, k.p2, k.p3, k.p4);
        EXPECT_NEAR(t[0], k.t1, 1e-6) << k.what;
        EXPECT_NEAR(t[1], k.t2, 1e-6) << k.what;
    }
}

TEST(MeasureWallContours, EllipseDiametersAndShoelaceArea)
{
    const WallContour lumen = Ellipse(256, 240, 60, 40, 96);
    const WallContour vessel = Ellipse(256, 240, 90, 90, 96);
    const MeasurementResult r = MeasureWallContours(vessel, lumen);
    ASSERT_EQ(r.status, MeasurementStatus::Measured) << r.error;
    EXPECT_NEAR(r.values.maxLumenDiameter, 120.0, 1.0);
    EXPECT_NEAR(r.values.minLumenDiameter, 80.0, 1.0);
    EXPECT_NEAR(r.values.maxLumenRadius, 60.0, 1.0);
    EXPECT_NEAR(r.values.minLumenRadius, 40.0, 1.0);
    const double polygon = Shoelace(FilterContourPoints(lumen));
    EXPECT_NEAR(std::fabs(r.values.lumenArea), polygon, 0.003 * polygon);
}

TEST(MeasureWallContours, OppositeSensesStillGivePositiveWallArea)
{
    WallContour lumen = Ellipse(200, 150, 50, 50, 32, true);
    const WallContour vessel = Ellipse(200, 150, 80, 80, 48, true);
    std::reverse(lumen.begin(), lumen.end());
    const MeasurementResult r = MeasureWallContours(vessel, lumen);
    ASSERT_EQ(r.status, MeasurementStatus::Measured) << r.error;
    EXPECT_LT(r.values.lumenArea * r.values.vesselArea, 0.0);
    EXPECT_NEAR(r.values.wallArea * 0.01, 122.5, 0.5);
}

// A horseshoe: a band 20 px thick about a circle of radius 40, open to the right. Its
// centroid lies in the hole, so most lines through it cross the band four times.
WallContour Horseshoe(double cx, double cy)
{
    WallContour c;
    const double from = M_PI / 6, to = 2 * M_PI - M_PI / 6;
    for (int i = 0; i <= 40; ++i) {
        const double a = from + (to - from) * i / 40;
        c.push_back(Round(cx + 50 * std::cos(a), cy + 50 * std::sin(a)));
    }
    for (int i = 40; i >= 0; --i) {
        const double a = from + (to - from) * i / 40;
        c.push_back(Round(cx + 30 * std::cos(a), cy + 30 * std::sin(a)));
    }
    return c;
}

TEST(MeasureWallContours, LinesWithFourCrossingsAreSkipped)
{
    const MeasurementResult r = MeasureWallContours(Ellipse(200, 150, 90, 90, 64), Horseshoe(200, 150));
    ASSERT_EQ(r.status, MeasurementStatus::Measured) << r.error;
    EXPECT_GT(r.lineCount, 0);
    EXPECT_LT(r.lineCount, 50);
}

TEST(MeasureWallContours, MissingAndUnusableContours)
{
    const WallContour circle = Ellipse(200, 150, 50, 50, 32, true);
    EXPECT_EQ(MeasureWallContours({}, circle).status, MeasurementStatus::NoResult);
    EXPECT_EQ(MeasureWallContours(circle, {}).status, MeasurementStatus::NoResult);

    // A contour on one pixel row keeps a single point: no curve can be made.
    const WallContour row{{100, 150}, {101, 150}, {102, 150}, {103, 150}, {104, 150}, {105, 150}};
    const MeasurementResult flat = MeasureWallContours(circle, row);
    EXPECT_EQ(flat.status, MeasurementStatus::Failed);
    EXPECT_FALSE(flat.error.empty());

    // A small vessel far from the lumen, between two lines of the fan: no line through
    // the lumen centroid meets it, which is an explicit failure, not a mean of nothing.
    const double a = 1.8 * M_PI / 180.0;
    const MeasurementResult apart = MeasureWallContours(
        Ellipse(400 + 300 * std::sin(a), 150 + 300 * std::cos(a), 5, 5, 12), Ellipse(400, 150, 20, 20, 24, true));
    EXPECT_EQ(apart.status, MeasurementStatus::Failed);
    EXPECT_EQ(apart.error, kNoLineMeasuredText);
}

TEST(MeasurementMemo, ExactTextUnderTwoSeparatorConventions)
{
    FrameMeasurements m;
    m.minLumenRadius = 48.0;
    m.maxLumenRadius = 52.0;
    m.meanLumenRadius = 50.0;
    m.minLumenDiameter = 99.0;
    m.maxLumenDiameter = 101.0;
    m.meanLumenDiameter = 100.0;
    m.minVesselRadius = 79.0;
    m.maxVesselRadius = 81.0;
    m.meanVesselRadius = 80.0;
    m.minVesselDiameter = 159.0;
    m.maxVesselDiameter = 161.0;
    m.meanVesselDiameter = 160.0;
    m.minWallThickness = 29.0;
    m.maxWallThickness = 31.0;
    m.meanWallThickness = 30.0;
    m.lumenArea = -7853.98;
    m.vesselArea = 123456.5;
    m.wallArea = 12250;
    const auto dot = [](double v) { return FormatTwoDecimals(v, ".", ","); };
    const std::vector<std::string> expected{
        "Frame #3",
        "Min Lumen Radius: 4.80 mm", "Max Lumen Radius: 5.20 mm", "Mean Lumen Radius: 5.00 mm", "",
        "Min Vessel Radius: 7.90 mm", "Max Vessel Radius: 8.10 mm", "Mean Vessel Radius: 8.00 mm", "",
        "Min Lumen Diameter: 9.90 mm", "Max Lumen Diameter: 10.10 mm", "Mean Lumen Diameter: 10.00 mm", "",
        "Min Vessel Diameter: 15.90 mm", "Max Vessel Diameter: 16.10 mm", "Mean Vessel Diameter: 16.00 mm", "",
        "Min Wall Thickness: 2.90 mm", "Max Wall Thickness: 3.10 mm", "Mean Wall Thickness: 3.00 mm", "",
        "Lumen Area: 78.54 mm^2", "Vessel Area: 1,234.57 mm^2", "Wall Area: 122.50 mm^2"};
    EXPECT_EQ(MeasurementMemoLines(2, m, 0.1, dot), expected);

    const auto comma = [](double v) { return FormatTwoDecimals(v, ",", "."); };
    const std::vector<std::string> lines = MeasurementMemoLines(0, m, 0.1, comma);
    EXPECT_EQ(lines[0], "Frame #1");
    EXPECT_EQ(lines[1], "Min Lumen Radius: 4,80 mm");
    EXPECT_EQ(lines[22], "Vessel Area: 1.234,57 mm^2");

    for (const std::string& line : MeasurementMemoLines(0, m, 0.0, dot)) {
        if (line.find(": ") != std::string::npos) {
            EXPECT_NE(line.find(": 0.00 mm"), std::string::npos) << line;
        }
    }
}

TEST(MeasurementMemo, TwoDecimalsWithGrouping)
{
    struct Case {
        double v;
        const char* text;
    };
    const Case cases[] = {{0.0, "0.00"},       {0.004, "0.00"},          {0.005, "0.01"},   {999.999, "1,000.00"},
                          {-1234.5, "-1,234.50"}, {1234567.891, "1,234,567.89"}, {-0.001, "0.00"}, {12.3456, "12.35"}};
    for (const Case& c : cases)
        EXPECT_EQ(FormatTwoDecimals(c.v, ".", ","), c.text) << c.v;
}

}  // namespace
}  // namespace kestrova::analysis
