// The automatic detection scored on seeded IVUS phantoms with known borders, with and
// without acoustic shadows.

#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "analysis/core/border_detection.h"
#include "analysis/core/ivus_phantom_testutil.h"
#include "analysis/core/synthetic_frames_testutil.h"

namespace kestrova::analysis {
namespace {

using testing::BorderScore;
using testing::Median;
using testing::PhantomDifficulty;

enum class Obstacle { None, BrightSpot, Guidewire, Calcium };

const char* Name(Obstacle o) {
    switch (o) {
    case Obstacle::None: return "no shadow";
    case Obstacle::BrightSpot: return "bright spot, no shadow";
    case Obstacle::Guidewire: return "guidewire, 10 deg shadow";
    case Obstacle::Calcium: return "calcium, 60 deg shadow";
    }
    return "";
}

struct SeriesScores {
    std::vector<double> lumenJaccard, vesselJaccard, lumenHausdorff, vesselHausdorff, lumenArea, vesselArea;
};

// Detects `count` phantoms of one kind in one run (the frames share the catheter) and
// scores both borders of each.
SeriesScores ScoreSeries(PhantomDifficulty difficulty, Obstacle obstacle, int count, unsigned seed) {
    std::vector<testing::IvusPhantom> phantoms;
    for (int i = 0; i < count; ++i) {
        testing::PhantomOptions o = testing::PhantomInSeries(i, difficulty, seed);
        o.guidewire = obstacle == Obstacle::Guidewire || obstacle == Obstacle::BrightSpot;
        o.guidewireShadow = obstacle == Obstacle::Guidewire;
        o.calcium = obstacle == Obstacle::Calcium;
        phantoms.push_back(testing::MakeIvusPhantom(o));
    }
    const DetectionResult result =
        DetectIvusBorders([&](int f) { return phantoms[f].image; }, count, phantoms[0].image.size(),
                          phantoms[0].centre, phantoms[0].edge, DetectionParameters{});
    SeriesScores s;
    EXPECT_EQ(result.status, DetectionStatus::Completed) << result.message;
    if (result.status != DetectionStatus::Completed) return s;
    for (int i = 0; i < count; ++i) {
        const BorderScore lumen = testing::ScoreBorder(result.frames[i].inner, phantoms[i].lumen);
        const BorderScore vessel = testing::ScoreBorder(result.frames[i].outer, phantoms[i].vessel);
        s.lumenJaccard.push_back(lumen.jaccard);
        s.vesselJaccard.push_back(vessel.jaccard);
        s.lumenHausdorff.push_back(lumen.hausdorffMm);
        s.vesselHausdorff.push_back(vessel.hausdorffMm);
        s.lumenArea.push_back(lumen.areaDifference);
        s.vesselArea.push_back(vessel.areaDifference);
    }
    return s;
}

void PrintRow(PhantomDifficulty d, Obstacle o, const SeriesScores& s) {
    std::printf("%-6s %-26s lumen J %.3f H %.2f mm dA %+5.1f %% | vessel J %.3f H %.2f mm dA %+5.1f %%\n",
                d == PhantomDifficulty::Easy ? "easy" : "medium", Name(o), Median(s.lumenJaccard),
                Median(s.lumenHausdorff), Median(s.lumenArea), Median(s.vesselJaccard), Median(s.vesselHausdorff),
                Median(s.vesselArea));
}

// The scores themselves, on circles whose figures are known in closed form.
TEST(PhantomScores, CirclesGiveTheirClosedFormFigures) {
    const auto circle = [](double r, int n) {
        std::vector<cv::Point2d> p;
        for (int i = 0; i < n; ++i) p.emplace_back(256 + r * std::cos(2 * M_PI * i / n), 256 + r * std::sin(2 * M_PI * i / n));
        return p;
    };
    const auto pixels = [](const std::vector<cv::Point2d>& p) {
        WallContour c;
        for (const cv::Point2d& q : p) c.push_back({static_cast<int>(std::lround(q.x)), static_cast<int>(std::lround(q.y))});
        c.push_back(c.front());
        return c;
    };
    const std::vector<cv::Point2d> truth = circle(55, 360);
    BorderScore s = testing::ScoreBorder(pixels(circle(50, 400)), truth);
    EXPECT_NEAR(s.jaccard, (50.0 * 50) / (55.0 * 55), 0.01);
    EXPECT_NEAR(s.hausdorffMm, 5 * testing::kPhantomPixelMm, 0.75 * testing::kPhantomPixelMm);  // pixel rounding
    EXPECT_NEAR(s.areaDifference, 100.0 * (50.0 * 50 - 55.0 * 55) / (55.0 * 55), 1.0);
    s = testing::ScoreBorder(pixels(circle(55, 400)), truth);
    EXPECT_GT(s.jaccard, 0.985);
    EXPECT_LT(s.hausdorffMm, 0.75 * testing::kPhantomPixelMm);
    s = testing::ScoreBorder({}, truth);
    EXPECT_EQ(s.jaccard, 0.0);
    EXPECT_EQ(s.areaDifference, -100.0);
}

constexpr int kSeriesLength = 4;  // per kind of phantom; the shapes taken in turn
constexpr unsigned kSeriesSeed = 7;

struct Expectation {
    PhantomDifficulty difficulty;
    Obstacle obstacle;
    double lumenJaccard, vesselJaccard;  // lowest medians accepted
};

void ExpectMedians(const Expectation& e) {
    SCOPED_TRACE(std::string(e.difficulty == PhantomDifficulty::Easy ? "easy, " : "medium, ") + Name(e.obstacle));
    const SeriesScores s = ScoreSeries(e.difficulty, e.obstacle, kSeriesLength, kSeriesSeed);
    PrintRow(e.difficulty, e.obstacle, s);
    EXPECT_GE(Median(s.lumenJaccard), e.lumenJaccard);
    EXPECT_GE(Median(s.vesselJaccard), e.vesselJaccard);
}

// Without shadows the borders are as good as the detection ever gave them (the
// shadow handling leaves such frames alone).
TEST(DetectionOnPhantoms, ShadowFreeFramesKeepTheirAccuracy) {
    for (PhantomDifficulty d : {PhantomDifficulty::Easy, PhantomDifficulty::Medium})
        ExpectMedians({d, Obstacle::None, 0.88, 0.95});
}

// A guidewire's narrow shadow must not throw the lumen border outward all around.
TEST(DetectionOnPhantoms, GuidewireShadowIsBridgedFromItsNeighbours) {
    for (PhantomDifficulty d : {PhantomDifficulty::Easy, PhantomDifficulty::Medium})
        ExpectMedians({d, Obstacle::Guidewire, 0.85, 0.95});
}

// Nor a calcium arc's wide one, neither for the lumen nor for the vessel behind it.
TEST(DetectionOnPhantoms, CalciumShadowIsBridgedFromItsNeighbours) {
    for (PhantomDifficulty d : {PhantomDifficulty::Easy, PhantomDifficulty::Medium})
        ExpectMedians({d, Obstacle::Calcium, 0.80, 0.90});
}

// The full table of medians over many phantoms (slow; run by hand).
TEST(DetectionOnPhantoms, DISABLED_Survey) {
    for (PhantomDifficulty d : {PhantomDifficulty::Easy, PhantomDifficulty::Medium})
        for (Obstacle o : {Obstacle::None, Obstacle::BrightSpot, Obstacle::Guidewire, Obstacle::Calcium})
            PrintRow(d, o, ScoreSeries(d, o, 24, 101));
}

void PrintRadii(const FrameBorders& b) {
    for (int v : b.innerRadii) std::printf("%d ", v);
    std::printf("\n");
    for (int v : b.outerRadii) std::printf("%d ", v);
    std::printf("\n");
}

// Prints the detected radii of the shadow-free fixtures, to compare versions by hand.
TEST(DetectionOnPhantoms, DISABLED_DumpShadowFreeRadii) {
    for (PhantomDifficulty d : {PhantomDifficulty::Easy, PhantomDifficulty::Medium}) {
        std::vector<testing::IvusPhantom> phantoms;
        for (int i = 0; i < 24; ++i) phantoms.push_back(testing::MakeIvusPhantom(testing::PhantomInSeries(i, d, 101)));
        const DetectionResult r = DetectIvusBorders([&](int f) { return phantoms[f].image; }, 24, {512, 512},
                                                    phantoms[0].centre, phantoms[0].edge, DetectionParameters{});
        for (const FrameBorders& b : r.frames) PrintRadii(b);
    }
    // The frames of the detection's other tests.
    const cv::Point c(256, 256);
    std::vector<cv::Mat> frames;
    for (unsigned seed = 1; seed <= 8; ++seed) frames.push_back(testing::DrawIvusFrame({512, 512}, c, 15, 60 + seed % 3 * 10, 130 + seed % 2 * 20, seed));
    frames.push_back(testing::DrawIvusFrame({512, 512}, c, 15, 70, 140, 5, {20, -10}));
    const DetectionResult r = DetectIvusBorders([&](int f) { return frames[f]; }, static_cast<int>(frames.size()),
                                                {512, 512}, {256, 256}, {271, 256}, DetectionParameters{});
    for (const FrameBorders& b : r.frames) PrintRadii(b);
}

}  // namespace
}  // namespace kestrova::analysis
