// The catheter path against the helix oracle, and its ordering, height and refusal rules.
#include "helix_testutil.h"

#include "reconstruction/core/catheter_path.h"
#include "reconstruction/core/geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kestrova::reconstruction;
using namespace helix_test;

namespace {

struct HelixCase {
    int tracingPoints;
    int frames;
    bool reversed;  // the clinician traced from the other end
};

void PrintTo(const HelixCase& c, std::ostream* os)
{
    *os << c.tracingPoints << "-point tracings, " << c.frames << " frames" << (c.reversed ? ", traced backwards" : "");
}

class HelixOracle : public ::testing::TestWithParam<HelixCase> {};

} // namespace

TEST_P(HelixOracle, PathFollowsTheHelixFromTheTracedStart)
{
    const HelixCase c = GetParam();
    ReconstructionInput in = HelixInput(c.tracingPoints, c.frames);
    if (c.reversed) {
        std::reverse(in.laoCatheter.begin(), in.laoCatheter.end());
        std::reverse(in.raoCatheter.begin(), in.raoCatheter.end());
    }
    std::vector<std::string> warnings;
    const CatheterPath path = BuildCatheterPath(in, warnings, {});
    EXPECT_TRUE(warnings.empty()) << warnings.front();

    ASSERT_TRUE(path.points.size() == static_cast<std::size_t>(c.frames) ||
                path.points.size() == static_cast<std::size_t>(c.frames) + 1)
        << path.points.size();
    EXPECT_EQ(path.points[0], TPointXYZ(0, 0, 0)); // exactly

    // Shifted back by the true start (the end the tracing started at), every point lies
    // on the helix, and t runs away from that start.
    const double tStart = c.reversed ? kTurns : 0.0;
    const TPointXYZ start = Helix(tStart);
    double previousT = tStart;
    for (std::size_t k = 0; k < path.points.size(); ++k) {
        double t = 0;
        EXPECT_LT(DistanceToHelix(path.points[k] + start, &t), 1.5) << "point " << k;
        if (k > 0) {
            EXPECT_TRUE(c.reversed ? t < previousT : t > previousT) << "point " << k;
        }
        previousT = t;
    }

    // Equal spacing.
    double mean = 0;
    for (std::size_t k = 1; k < static_cast<std::size_t>(c.frames); ++k)
        mean += Norm(path.points[k] - path.points[k - 1]);
    mean /= c.frames - 1;
    for (std::size_t k = 1; k < static_cast<std::size_t>(c.frames); ++k)
        EXPECT_NEAR(Norm(path.points[k] - path.points[k - 1]), mean, 0.03 * mean) << "step " << k;

    // One frame per analysed frame at most, unit tangents along growing k.
    ASSERT_EQ(path.frames.tangents.size(), std::min<std::size_t>(c.frames, path.points.size()));
    for (std::size_t k = 0; k < path.frames.tangents.size(); ++k) {
        double t = 0;
        DistanceToHelix(path.points[k] + start, &t);
        const TPointXYZ T = path.frames.tangents[k];
        const TPointXYZ N = path.frames.normals[k];
        const TPointXYZ B = path.frames.binormals[k];
        EXPECT_NEAR(Norm(T), 1.0, 1e-9);
        EXPECT_NEAR(Norm(N), 1.0, 1e-9);
        EXPECT_NEAR(Dot(T, N), 0.0, 1e-9);
        EXPECT_NEAR(Norm(B - Cross(T, N)), 0.0, 1e-9);
        const double along = Dot(T, HelixTangent(t)) * (c.reversed ? -1 : 1);
        EXPECT_GT(along, 0.99) << "frame " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Helix, HelixOracle,
                         ::testing::Values(HelixCase{150, 50, false}, HelixCase{150, 100, false},
                                           HelixCase{300, 50, false}, HelixCase{300, 100, false},
                                           HelixCase{150, 50, true}, HelixCase{300, 100, true}));

TEST(Helix, ShiftedBeyondTheOldSweepDepthGivesTheSamePath)
{
    // LAO x reaches 530: a sweep of 400 px would miss the RAO surface.
    ReconstructionInput in = HelixInput(150, 50);
    ReconstructionInput shifted = in;
    shifted.laoCatheter = LaoTracing(150, 250);
    std::vector<std::string> w1, w2;
    const CatheterPath a = BuildCatheterPath(in, w1, {});
    const CatheterPath b = BuildCatheterPath(shifted, w2, {});
    EXPECT_TRUE(w2.empty());
    // N or N + 1 points either way; the common ones coincide.
    const std::size_t n = std::min(a.points.size(), b.points.size());
    ASSERT_GE(n, 50u);
    for (std::size_t k = 0; k < n; ++k)
        EXPECT_LT(Norm(a.points[k] - b.points[k]), 0.05) << "point " << k;
}

TEST(Helix, PathRunsToTheLastTracingPoint)
{
    // Every tracing point counts: the last sample lies within one frame step of the
    // helix's end (the path stopped one tracing step short when the last point was left
    // out), also when the last pixel was clicked twice.
    for (const bool twice : {false, true}) {
        const int n = 150;
        ReconstructionInput in = HelixInput(n, 50);
        if (twice) {
            in.laoCatheter.push_back(in.laoCatheter.back());
            in.raoCatheter.push_back(in.raoCatheter.back());
        }
        std::vector<std::string> warnings;
        const CatheterPath path = BuildCatheterPath(in, warnings, {});
        double tLast = 0;
        DistanceToHelix(path.points.back() + Helix(0), &tLast);
        const double pathStep = kTurns / 50;
        const double tracingStep = kTurns / (n - 1);
        EXPECT_GT(tLast, kTurns - pathStep - 0.2 * tracingStep) << (twice ? "last pixel clicked twice" : "");
    }
}

TEST(Helix, StraightCatheterHasFramesWithoutNaN)
{
    ReconstructionInput in;
    for (int y = 20; y <= 220; y += 10) {
        in.laoCatheter.push_back({100, y});
        in.raoCatheter.push_back({150, y});
    }
    in.frameCount = 30;
    std::vector<std::string> warnings;
    const CatheterPath path = BuildCatheterPath(in, warnings, {});
    ASSERT_EQ(path.frames.tangents.size(), 30u);
    for (std::size_t k = 0; k < 30; ++k) {
        EXPECT_NEAR(path.frames.tangents[k].y, -1.0, 1e-6);
        EXPECT_NEAR(Norm(path.frames.normals[k]), 1.0, 1e-9);
        EXPECT_NEAR(Dot(path.frames.normals[k], path.frames.tangents[k]), 0.0, 1e-9);
    }
}

TEST(OrderCatheterPoints, Rules)
{
    struct Case {
        WallContour in, expected;
    };
    const Case cases[] = {
        // The first point stays, the rest follow by nearness.
        {{{0, 0}, {3, 0}, {1, 0}, {2, 0}}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
        // The first point is not moved even when it lies in the middle.
        {{{2, 0}, {0, 0}, {3, 0}, {1, 0}}, {{2, 0}, {3, 0}, {1, 0}, {0, 0}}},
        // Of two equally near points the earlier stays next.
        {{{0, 0}, {0, 1}, {1, 0}, {5, 5}}, {{0, 0}, {0, 1}, {1, 0}, {5, 5}}},
        {{{0, 0}, {5, 5}, {1, 0}, {0, 1}}, {{0, 0}, {1, 0}, {0, 1}, {5, 5}}},
        {{}, {}},
        {{{4, 4}}, {{4, 4}}},
    };
    for (const Case& c : cases) {
        WallContour p = c.in;
        OrderCatheterPoints(p);
        EXPECT_EQ(p, c.expected);
    }
}

TEST(MatchHeights, TheLowerTracingIsScaledUpAndTruncated)
{
    struct Case {
        WallContour lao, rao, laoOut, raoOut;
    };
    const Case cases[] = {
        // Equal heights: nothing changes.
        {{{10, 5}, {20, 100}}, {{7, 3}, {9, 100}}, {{10, 5}, {20, 100}}, {{7, 3}, {9, 100}}},
        // LAO lower: LAO scaled by 100/30, truncated toward zero.
        {{{10, 5}, {20, 30}}, {{7, 3}, {9, 100}}, {{33, 16}, {66, 100}}, {{7, 3}, {9, 100}}},
        // RAO lower: RAO scaled by 90/40; the higher tracing is never scaled down.
        {{{10, 5}, {20, 90}}, {{7, 3}, {9, 40}}, {{10, 5}, {20, 90}}, {{15, 6}, {20, 90}}},
    };
    for (const Case& c : cases) {
        WallContour lao = c.lao, rao = c.rao;
        MatchHeights(lao, rao);
        EXPECT_EQ(lao, c.laoOut);
        EXPECT_EQ(rao, c.raoOut);
    }
}

TEST(SweepDepth, FourHundredUnlessATracingReachesIt)
{
    EXPECT_EQ(SweepDepth(WallContour{{100, 1}, {389, 2}}, WallContour{{50, 1}}), 400);
    EXPECT_EQ(SweepDepth(WallContour{{100, 1}, {391, 2}}, WallContour{{50, 1}}), 401);
    EXPECT_EQ(SweepDepth(WallContour{{100, 1}}, WallContour{{1000, 1}}), 1010);
    // No int arithmetic to overflow at the edge of what a point holds.
    EXPECT_EQ(SweepDepth(WallContour{{2147483647, 1}}, WallContour{{5, 1}}), 2147483657.0);
}

TEST(MatchHeights, HeightsTooFarApartAreRefused)
{
    // Scaling the lower tracing would leave anything a model can hold (and an int).
    WallContour lao{{65535, 1}, {65000, 0}, {64000, 1}}, rao{{1, 65535}, {2, 30000}, {3, 10}};
    EXPECT_THROW(MatchHeights(lao, rao), ReconstructionRefused);
    ReconstructionInput in;
    in.laoCatheter = lao;
    in.raoCatheter = rao;
    in.frameCount = 10;
    std::vector<std::string> warnings;
    try {
        BuildCatheterPath(in, warnings, {});
        ADD_FAILURE() << "not refused";
    } catch (const ReconstructionRefused& e) {
        EXPECT_NE(std::string(e.what()).find("differ too much in height"), std::string::npos) << e.what();
    }
}

TEST(CatheterPathRefusals, OneClearMessage)
{
    const ReconstructionInput good = HelixInput(150, 50);
    struct Case {
        const char* what;
        std::function<void(ReconstructionInput&)> spoil;
        const char* message;
    };
    const Case cases[] = {
        {"no frames", [](ReconstructionInput& in) { in.frameCount = 0; }, "no analysed IVUS frames"},
        {"empty RAO", [](ReconstructionInput& in) { in.raoCatheter.clear(); },
         "Cannot construct 3D because you have not defined the LAO or/and RAO catheter"},
        {"two LAO points", [](ReconstructionInput& in) { in.laoCatheter.resize(2); },
         "The LAO catheter tracing has fewer than three points"},
        {"RAO on the top row",
         [](ReconstructionInput& in) { in.raoCatheter = {{10, 0}, {20, 0}, {30, 0}}; },
         "The RAO catheter tracing lies on the top row"},
        {"a point beyond any image",
         [](ReconstructionInput& in) { in.raoCatheter[7] = {70000, 12}; },
         "The RAO catheter tracing holds the point (70000, 12), outside any image"},
        {"a negative coordinate",
         [](ReconstructionInput& in) { in.laoCatheter[3] = {-2147483647 - 1, 40}; },
         "The LAO catheter tracing holds the point (-2147483648, 40), outside any image"},
        {"a frame count no card can have",
         [](ReconstructionInput& in) { in.frameCount = 2147483647; },
         "more than a pull-back can hold"},
        {"three clicks within two pixels",
         [](ReconstructionInput& in) { in.laoCatheter = {{300, 425}, {300, 426}, {301, 427}, {300, 425}}; },
         "The LAO catheter tracing has fewer than three points at least 3 pixels apart"},
    };
    for (const Case& c : cases) {
        ReconstructionInput in = good;
        c.spoil(in);
        std::vector<std::string> warnings;
        try {
            BuildCatheterPath(in, warnings, {});
            ADD_FAILURE() << c.what << ": not refused";
        } catch (const ReconstructionRefused& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

TEST(CatheterPathRefusals, SurfacesThatDoNotMeet)
{
    // Tracings without a common height (the whole path keeps the bottoms matched, so this
    // is reached only through the projections).
    std::vector<TPointXYZ> L, R;
    for (int y = 170; y <= 200; y += 10)
        L.emplace_back(100, -y, 0);
    for (int y = 10; y <= 40; y += 10)
        R.emplace_back(0, -y, 300);
    std::vector<std::string> warnings;
    try {
        CatheterPathFromProjections(L, R, 400, L.front(), 10, warnings, nullptr);
        ADD_FAILURE() << "not refused";
    } catch (const ReconstructionRefused& e) {
        EXPECT_NE(std::string(e.what()).find("do not meet in space"), std::string::npos) << e.what();
    }
}

TEST(Helix, LowerTracingIsScaledToTheHigherOne)
{
    // The RAO view drawn at half the size: its tracing is scaled up by the ratio of the
    // greatest heights (truncated to whole pixels) and the path still follows the helix.
    ReconstructionInput in = HelixInput(150, 50);
    for (PixelPoint& p : in.raoCatheter)
        p = {p.x / 2, p.y / 2};
    std::vector<std::string> warnings;
    const CatheterPath path = BuildCatheterPath(in, warnings, {});
    ASSERT_GE(path.points.size(), 50u);
    for (std::size_t k = 0; k < path.points.size(); ++k)
        EXPECT_LT(DistanceToHelix(path.points[k] + Helix(0)), 2.5) << "point " << k;
}

TEST(Helix, PointsClickedTwiceChangeNothing)
{
    const ReconstructionInput in = HelixInput(150, 50);
    ReconstructionInput doubled = in;
    for (WallContour* t : {&doubled.laoCatheter, &doubled.raoCatheter}) {
        WallContour twice;
        for (const PixelPoint& p : *t) {
            twice.push_back(p);
            twice.push_back(p);
        }
        *t = twice;
    }
    std::vector<std::string> w1, w2;
    const CatheterPath a = BuildCatheterPath(in, w1, {});
    const CatheterPath b = BuildCatheterPath(doubled, w2, {});
    EXPECT_EQ(a.points, b.points);

    ReconstructionInput three = in;
    three.laoCatheter = {{5, 5}, {5, 5}, {6, 9}, {6, 9}};
    EXPECT_THROW(BuildCatheterPath(three, w1, {}), ReconstructionRefused);
    three.laoCatheter = {{5, 5}, {5, 5}, {6, 9}, {6, 9}, {7, 14}};
    EXPECT_NO_THROW(BuildCatheterPath(three, w1, {}));
}
