// Wall placement and surface fitting: the geometry helpers against textbook formulas and
// the tube oracle (circles around the catheter centre placed along the helix path).
#include "helix_testutil.h"

#include "reconstruction/core/catheter_path.h"
#include "reconstruction/core/geometry.h"
#include "reconstruction/core/wall_placement.h"
#include "spline/surface_eval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace kestrova::reconstruction;
using namespace helix_test;

namespace {

// Rodrigues' rotation of X about the unit axis through Q.
TPointXYZ Rodrigues(const TPointXYZ& X, TPointXYZ axis, const TPointXYZ& Q, double angle)
{
    axis = (1.0 / Norm(axis)) * axis;
    const TPointXYZ v = X - Q;
    return Q + std::cos(angle) * v + std::sin(angle) * Cross(axis, v) + ((1 - std::cos(angle)) * Dot(axis, v)) * axis;
}

TPointXYZ SurfacePoint(const spline_surface& s, double u, double v)
{
    const double uv[2] = {u, v};
    double d[3];
    int l1 = 0, l2 = 0, status = 0;
    s1424(&s, 0, 0, uv, &l1, &l2, d, &status);
    EXPECT_GE(status, 0);
    return {d[0], d[1], d[2]};
}

// One reconstruction per configuration, shared by the tests (each takes seconds).
const Reconstruction& Reconstructed(int tracingPoints, int frames, double outerR, double innerR)
{
    static std::map<std::tuple<int, int, double, double>, Reconstruction> cache;
    const auto key = std::make_tuple(tracingPoints, frames, outerR, innerR);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, ReconstructVessel(HelixInput(tracingPoints, frames, outerR, innerR))).first;
    return it->second;
}

} // namespace

TEST(Geometry, HelpersFollowThePlacementConvention)
{
    // PlaneNormal: the cross product with its middle component negated.
    const TPointXYZ A{1, 2, 3}, B{4, 0, 5}, C{-1, 7, 2};
    const TPointXYZ cross = Cross(B - A, C - A);
    EXPECT_EQ(PlaneNormal(A, B, C), TPointXYZ(cross.x, -cross.y, cross.z));

    TPointXYZ d, p;
    EXPECT_FALSE(PlaneIntersectionLine({0, 0, 1}, {0, 0, 0}, {0, 0, -2}, {1, 1, 1}, d, p));
    const TPointXYZ n1{0, 0, 1}, p1{0, 0, 5}, n2{1, 0, 0}, p2{3, 0, 0};
    ASSERT_TRUE(PlaneIntersectionLine(n1, p1, n2, p2, d, p));
    EXPECT_NEAR(Dot(n1, p - p1), 0.0, 1e-12);
    EXPECT_NEAR(Dot(n2, p - p2), 0.0, 1e-12);

    EXPECT_NEAR(AngleBetweenVectors({1, 0, 0}, {0, 3, 0}), std::acos(0.0), 1e-15);
    EXPECT_NEAR(AngleBetweenVectors({1, 1, 0}, {1, 1, 0}), 0.0, 1e-7);

    std::mt19937 rng(7);
    std::uniform_real_distribution<double> U(-5, 5);
    for (int i = 0; i < 200; ++i) {
        const TPointXYZ X{U(rng), U(rng), U(rng)}, axis{U(rng), U(rng), U(rng)}, Q{U(rng), U(rng), U(rng)};
        const double a = U(rng);
        EXPECT_LT(Norm(RotateAboutAxis(X, axis, Q, a) - Rodrigues(X, axis, Q, a)), 1e-9);
    }
}

TEST(Geometry, PlacedContourLiesInThePlanePerpendicularToThePath)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> U(-1, 1);
    std::vector<TPointXY> circle;
    for (int i = 0; i <= 21; ++i)
        circle.emplace_back(40 * std::cos(0.3 * i), 40 * std::sin(0.3 * i));
    for (int i = 0; i < 500; ++i) {
        TPointXYZ T{U(rng), U(rng), U(rng)};
        T = (1.0 / Norm(T)) * T;
        const TPointXYZ P{100 * U(rng), 100 * U(rng), 100 * U(rng)};
        const auto placed = PlaceContour(circle, P, T);
        ASSERT_TRUE(placed);
        for (std::size_t j = 0; j < placed->size(); ++j) {
            EXPECT_LT(std::abs(Dot((*placed)[j] - P, T)), 1e-9);
            EXPECT_NEAR(Norm((*placed)[j] - P), 2.5, 1e-9); // 40 / 16
        }
    }
    // Already perpendicular (a path along z), either way round: no NaN, still in the plane.
    for (const TPointXYZ T : {TPointXYZ{0, 0, 1}, TPointXYZ{0, 0, -1}}) {
        const auto placed = PlaceContour(circle, {1, 2, 3}, T);
        ASSERT_TRUE(placed);
        for (const TPointXYZ& c : *placed)
            EXPECT_LT(std::abs(Dot(c - TPointXYZ{1, 2, 3}, T)), 1e-12);
    }
    // Points on a line have no plane.
    std::vector<TPointXY> line;
    for (int i = 0; i < 22; ++i)
        line.emplace_back(i, 2 * i);
    EXPECT_FALSE(PlaceContour(line, {0, 0, 0}, {1, 0, 0}));
}

TEST(ResampleContour, FiltersRestartsAndCloses)
{
    // Both whole-number coordinates must differ from the previous point's; the first
    // point is compared with (0, 0).
    std::vector<TPointXY> few{{0.7, 5}, {3, 5}, {3, 9}};
    EXPECT_FALSE(ResampleContour(few, {256, 256}, 21, 0)) << "one point survives";

    std::vector<TPointXY> circle;
    for (const PixelPoint& p : Circle({0, 0}, 48))
        circle.emplace_back(p.x, p.y);
    ASSERT_TRUE(ResampleContour(circle, {256, 100}, 21, 0));
    ASSERT_TRUE(circle.size() == 21 || circle.size() == 22);
    if (circle.size() == 22) {
        EXPECT_EQ(circle.front(), circle.back());
    }
    // Starts in the direction of the catheter centre seen from itself.
    const double start = std::atan2(circle[0].y, circle[0].x);
    EXPECT_NEAR(start, std::atan2(100.0, 256.0), 0.03);
    // The angle falls from the start on (the fixed turning sense).
    EXPECT_LT(std::atan2(circle[2].y, circle[2].x), start);
}

TEST(Tube, PlacedPointsLieOnTheTubeInThePerpendicularPlane)
{
    for (const double r : {3.0, 1.0}) {
        const Reconstruction& rec = Reconstructed(300, 100, r, 2.0);
        std::size_t outer = 0, inner = 0;
        for (const SceneLine& line : rec.lines) {
            if (line.tag < 0)
                continue;
            const bool isOuter = line.name.rfind("outer", 0) == 0;
            (isOuter ? outer : inner)++;
            const double radius = isOuter ? r : 2.0;
            const std::size_t k = static_cast<std::size_t>(line.tag);
            EXPECT_EQ(line.name, (isOuter ? "outer" : "inner") + std::to_string(k + 1));
            EXPECT_EQ(line.width, 1);
            EXPECT_EQ(line.colour, isOuter ? (Rgb{255, 255, 255}) : (Rgb{0, 0, 255}));
            EXPECT_EQ(line.points.size(), 22u) << line.name;
            const TPointXYZ P = rec.catheterPath[k];
            const TPointXYZ T = rec.pathTangents[k];
            for (const TPointXYZ& c : line.points) {
                EXPECT_NEAR(Norm(c - P), radius, 0.05) << line.name;
                EXPECT_LT(std::abs(Dot(c - P, T)), 1e-9) << line.name;
            }
        }
        EXPECT_EQ(outer, 100u);
        EXPECT_EQ(inner, 100u);
        EXPECT_TRUE(rec.warnings.empty()) << rec.warnings.front();
        const SceneLine& catheter = rec.lines.front();
        EXPECT_EQ(catheter.name, "catheter");
        EXPECT_EQ(catheter.tag, -1);
        EXPECT_EQ(catheter.width, 5);
        EXPECT_EQ(catheter.colour, (Rgb{127, 0, 255}));
        EXPECT_EQ(catheter.scale, 0.25);
        EXPECT_EQ(catheter.points, rec.catheterPath);
        EXPECT_EQ(rec.lines[1].name, "outer1");
        EXPECT_EQ(rec.lines[1].tag, 0);
    }
}

TEST(Tube, SurfaceLiesOnTheTubeAroundTheTrueHelix)
{
    for (const double r : {3.0, 1.0}) {
        const Reconstruction& rec = Reconstructed(300, 100, r, 2.0);
        const TPointXYZ start = Helix(0);
        std::mt19937 rng(11);
        for (const auto& [surface, radius] : {std::pair{rec.outerSurface.get(), r}, std::pair{rec.innerSurface.get(), 2.0}}) {
            ASSERT_NE(surface, nullptr);
            EXPECT_EQ(surface->order1, 3);
            EXPECT_EQ(surface->order2, 3);
            const double u0 = surface->knots1[2], u1 = surface->knots1[surface->vertex_count1];
            const double v0 = surface->knots2[2], v1 = surface->knots2[surface->vertex_count2];
            std::uniform_real_distribution<double> U(u0, u1), V(v0, v1);
            for (int i = 0; i < 300; ++i) {
                const TPointXYZ S = SurfacePoint(*surface, U(rng), V(rng));
                EXPECT_NEAR(DistanceToHelix(S + start), radius, 1.0);
            }
        }
    }
}

TEST(Tube, ExactPathGivesTheSurfaceOnItsTube)
{
    // The true helix as the path (equal steps of t) with its exact tangents, at frames
    // about 5 px apart: the rows twist against each other (each contour is turned from the
    // image plane by its own smallest rotation), so the tube is met between rows only when
    // they are close compared with the radius.
    const int N = 200;
    std::vector<TPointXYZ> path, tangents;
    for (int k = 0; k < N; ++k) {
        const double t = kTurns * k / N;
        path.push_back(Helix(t));
        tangents.push_back(HelixTangent(t));
    }
    for (const double r : {3.0, 2.0}) {
        std::vector<WallContour> contours(N, Circle({256, 256}, 16 * r));
        std::vector<std::string> warnings;
        const PlacedWall wall = PlaceWall(contours, {256, 256}, N, path, tangents, "outer", {255, 255, 255}, warnings);
        EXPECT_TRUE(warnings.empty());
        ASSERT_EQ(wall.frames, N);
        ASSERT_EQ(wall.grid.size(), 63u * N);
        const SurfaceHandle surface = FitWallSurface(wall, "Outer", warnings);
        ASSERT_TRUE(surface);
        std::mt19937 rng(5);
        const double u0 = surface->knots1[2], u1 = surface->knots1[surface->vertex_count1];
        const double v0 = surface->knots2[2], v1 = surface->knots2[surface->vertex_count2];
        std::uniform_real_distribution<double> U(u0, u1), V(v0, v1);
        for (int i = 0; i < 300; ++i) {
            const TPointXYZ S = SurfacePoint(*surface, U(rng), V(rng));
            EXPECT_NEAR(DistanceToHelix(S), r, 0.02 * r);
        }
    }
}

TEST(Tube, FramesWithoutContoursLeaveNoGap)
{
    const Reconstruction& full = Reconstructed(150, 50, 3.0, 2.0);
    ReconstructionInput in = HelixInput(150, 50);
    const std::vector<int> kept{0, 3, 4, 9};
    for (int k = 0; k < 50; ++k)
        if (std::find(kept.begin(), kept.end(), k) == kept.end())
            in.outerWalls[k].clear();
    in.innerWalls.assign(50, {});
    in.innerWalls[7] = Circle(in.catheterCentre, 32); // one inner frame: no inner surface
    const Reconstruction rec = ReconstructVessel(in);

    std::vector<std::string> names;
    for (const SceneLine& l : rec.lines)
        names.push_back(l.name + "/" + std::to_string(l.tag));
    EXPECT_EQ(names, (std::vector<std::string>{"catheter/-1", "outer1/0", "outer4/3", "outer5/4", "outer10/9", "inner8/7"}));
    for (std::size_t i = 1; i <= 4; ++i)
        EXPECT_EQ(rec.lines[i].points, full.lines[1 + kept[i - 1]].points) << rec.lines[i].name;
    ASSERT_TRUE(rec.outerSurface);
    EXPECT_EQ(rec.outerSurface->vertex_count2, 4); // M = 4 rows along the vessel
    EXPECT_FALSE(rec.innerSurface);
    ASSERT_EQ(rec.warnings.size(), 1u);
    EXPECT_EQ(rec.warnings[0], "Inner wall: only one frame could be placed; a surface needs two.");
}

TEST(Tube, UnplaceableFramesAreLeftOutWithOneWarningEach)
{
    struct Case {
        const char* what;
        std::function<void(ReconstructionInput&)> change;
        std::vector<std::string> warnings;
        bool outerSurface;
    };
    const Case cases[] = {
        {"catheter centre not set",
         [](ReconstructionInput& in) { in.catheterCentre = {0, 0}; },
         {"Outer wall: frames 1-50 left out: the catheter centre of the IVUS frames is not set.",
          "Inner wall: frames 1-50 left out: the catheter centre of the IVUS frames is not set."},
         false},
        {"degenerate contours",
         [](ReconstructionInput& in) {
             in.outerWalls[2] = {{300, 300}};
             in.outerWalls[3] = {{300, 300}, {300, 301}, {300, 302}};
             in.outerWalls[5] = {{256, 10}, {256, 20}};
             in.innerWalls.assign(50, {});
         },
         {"Outer wall: frames 3, 4, 6 left out: fewer than two usable contour points."},
         true},
        {"contours past the frames",
         [](ReconstructionInput& in) {
             in.outerWalls.push_back(Circle({256, 256}, 48));
             in.innerWalls.assign(50, {});
             in.skippedWallFrames = {60, 55, 60};
         },
         {"Stored wall contours of frames 56, 61 were left out: past the card's 50 analysed frames.",
          "Outer wall: frame 51 left out: past the card's analysed frames."},
         true},
        {"no outer contour at all: no inner wall either",
         [](ReconstructionInput& in) { in.outerWalls.assign(50, {}); },
         {},
         false},
    };
    for (const Case& c : cases) {
        ReconstructionInput in = HelixInput(150, 50);
        c.change(in);
        const Reconstruction rec = ReconstructVessel(in);
        EXPECT_EQ(rec.warnings, c.warnings) << c.what;
        EXPECT_EQ(static_cast<bool>(rec.outerSurface), c.outerSurface) << c.what;
        EXPECT_FALSE(c.outerSurface && rec.innerSurface) << c.what;
        for (const SceneLine& l : rec.lines)
            for (const TPointXYZ& p : l.points)
                ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << c.what;
    }
}

TEST(NumberRanges, Text)
{
    EXPECT_EQ(NumberRanges({}), "");
    EXPECT_EQ(NumberRanges({4}), "4");
    EXPECT_EQ(NumberRanges({1, 2}), "1, 2");
    EXPECT_EQ(NumberRanges({1, 2, 3, 7, 9, 10, 11, 12}), "1-3, 7, 9-12");
}
