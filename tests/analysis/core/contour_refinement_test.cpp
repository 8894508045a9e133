#include "analysis/core/contour_refinement.h"

#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "analysis/core/printers_testutil.h"
#include "analysis/core/synthetic_frames_testutil.h"

namespace kestrova::analysis {
namespace {

WallContour Circle(cv::Point2d centre, double radius, int n, bool closed = true) {
    WallContour c;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * M_PI * i / n;
        c.push_back({static_cast<int>(std::lround(centre.x + radius * std::cos(t))),
                     static_cast<int>(std::lround(centre.y + radius * std::sin(t)))});
    }
    if (closed) c.push_back(c.front());
    return c;
}

class Refinement : public ::testing::Test {
protected:
    cv::Mat disc = testing::DrawBlurredDisc({160, 160}, {80, 80}, 40, 2.0);
};

TEST_F(Refinement, FourPointsAreLeftUntouchedFiveAreRefinedAndBothContoursClosed) {
    WallContour four{{70, 40}, {120, 80}, {80, 120}, {41, 79}};
    WallContour target{{1, 2}};
    EXPECT_FALSE(RefineContourSnake(disc, four, target, {}));
    EXPECT_EQ(four, (WallContour{{70, 40}, {120, 80}, {80, 120}, {41, 79}}));
    EXPECT_EQ(target, (WallContour{{1, 2}}));

    WallContour five{{80, 38}, {122, 80}, {80, 122}, {38, 80}, {81, 39}};  // last differs from first
    ASSERT_TRUE(RefineContourSnake(disc, five, target, {}));
    EXPECT_EQ(target.size(), 5u);
    EXPECT_EQ(five.back(), five.front());
    EXPECT_EQ(target.back(), target.front());
}

TEST_F(Refinement, ColourImageIsConvertedToGreyAndAnEmptyImageIsRefused) {
    cv::Mat bgr, bgra;
    cv::cvtColor(disc, bgr, cv::COLOR_GRAY2BGR);
    cv::cvtColor(disc, bgra, cv::COLOR_GRAY2BGRA);
    const WallContour start = Circle({80, 80}, 45, 60);
    WallContour source = start, fromGrey, fromBgr, fromBgra;
    ASSERT_TRUE(RefineContourSnake(disc, source, fromGrey, RefinementParameters::ResetValues()));
    source = start;
    ASSERT_TRUE(RefineContourSnake(bgr, source, fromBgr, RefinementParameters::ResetValues()));
    source = start;
    ASSERT_TRUE(RefineContourSnake(bgra, source, fromBgra, RefinementParameters::ResetValues()));
    EXPECT_EQ(fromGrey, fromBgr);
    EXPECT_EQ(fromGrey, fromBgra);
    EXPECT_NE(fromGrey, start);

    WallContour target{{3, 3}};
    source = start;
    EXPECT_FALSE(RefineContourSnake(cv::Mat(), source, target, {}));
    EXPECT_FALSE(RefineContourSnake(cv::Mat(10, 10, CV_32FC1, cv::Scalar(0)), source, target, {}));
    EXPECT_EQ(target, (WallContour{{3, 3}}));
}

TEST_F(Refinement, ReapplyFollowsTheDrawingModeAndPointThresholds) {
    const WallContour userOuter = Circle({80, 80}, 44, 50);
    const WallContour userInner = Circle({80, 80}, 36, 50);
    struct Case {
        DrawMode mode;
        std::size_t outerShown, innerShown;  // points of the shown contours before the call
        bool redraw, outerRefined, innerRefined;
    };
    const Case cases[] = {
        {DrawMode::Outer, 5, 51, false, false, false},  // the threshold here is 6 points
        {DrawMode::Outer, 6, 51, true, true, false},
        {DrawMode::Inner, 51, 5, false, false, false},
        {DrawMode::Inner, 51, 6, true, false, true},
        {DrawMode::None, 51, 51, true, true, true},
        {DrawMode::None, 5, 51, true, false, true},
        {DrawMode::None, 51, 0, true, true, false},
    };
    for (const Case& c : cases) {
        WallContour uo = userOuter, ui = userInner;
        WallContour outer(c.outerShown, PixelPoint{1, 1}), inner(c.innerShown, PixelPoint{2, 2});
        const WallContour outerBefore = outer, innerBefore = inner;
        EXPECT_EQ(ReapplyRefinement(disc, c.mode, {outer, inner, uo, ui}, {80, 80}, {}), c.redraw);
        EXPECT_EQ(outer != outerBefore, c.outerRefined) << static_cast<int>(c.mode) << " " << c.outerShown;
        EXPECT_EQ(inner != innerBefore, c.innerRefined) << static_cast<int>(c.mode) << " " << c.innerShown;
        if (c.outerRefined) {
            EXPECT_EQ(outer.size(), userOuter.size());
            EXPECT_EQ(outer.back(), outer.front());
        }
        if (c.innerRefined) {
            EXPECT_EQ(inner.size(), userInner.size());
        }
        EXPECT_EQ(uo.size(), userOuter.size());
    }
}

TEST_F(Refinement, RepeatedReapplyDoesNotAccumulate) {
    WallContour uo = Circle({80, 80}, 46, 80), ui;
    WallContour outer = uo, inner;
    ReapplyRefinement(disc, DrawMode::Outer, {outer, inner, uo, ui}, {80, 80}, {});
    const WallContour first = outer;
    ReapplyRefinement(disc, DrawMode::Outer, {outer, inner, uo, ui}, {80, 80}, {});
    EXPECT_EQ(outer, first);
}

}  // namespace
}  // namespace kestrova::analysis
