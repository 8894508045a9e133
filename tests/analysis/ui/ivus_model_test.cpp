// The strip geometry, scrolling, the image pixel of a press, and the propagation of one
// wall on frames in memory.
#include "analysis/core/polar_smoothing.h"
#include "analysis/ui/ivus_model.h"

#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrova::analysis;

TEST(StripLayout, CellsAreCountedFromTheViewHeightAndCentred)
{
    // 480 x 480 frames in a view of 1200 x 520: two cells, (76,8)-(580,512) and (588,8)-(1092,512).
    const StripLayout a = LayoutStrip(1200, 520, 480, 480, 10, 0);
    EXPECT_EQ(a.visibleCells, 2);
    EXPECT_EQ(a.x0, 76);
    EXPECT_EQ(a.y0, 8);
    EXPECT_EQ(a.cellWidth, 504);
    EXPECT_EQ(a.cellHeight, 504);
    EXPECT_EQ(a.CellLeft(0) + a.cellWidth, 580);
    EXPECT_EQ(a.CellLeft(1), 588);
    EXPECT_EQ(a.CellLeft(1) + a.cellWidth, 1092);

    struct Case {
        int w, h, frames, first, visible, firstAfter;
    };
    const Case cases[] = {
        {2000, 100, 5, 3, 5, 0},    // fewer frames than fit: all of them from the first
        {5000, 100, 40, 7, 30, 0},  // all would fit: from the first, but never more cells than built
        {7, 100, 4, 0, 0, 0},       // a view narrower than its margin shows nothing
        {600, 100, 40, 39, 5, 39},  // scrolled to the end before the view grew: kept
    };
    for (const Case& c : cases) {
        const StripLayout l = LayoutStrip(c.w, c.h, 64, 64, c.frames, c.first);
        EXPECT_EQ(l.visibleCells, c.visible) << c.w << "x" << c.h;
        EXPECT_EQ(l.firstVisible, c.firstAfter) << c.w << "x" << c.h;
    }
    EXPECT_EQ(StripCellCount(40), 30);
    EXPECT_EQ(StripCellCount(5), 5);
}

TEST(StripLayout, ScrollingStopsAtBothEnds)
{
    EXPECT_EQ(ScrollStrip(0, -1, 40, 5), 0);
    EXPECT_EQ(ScrollStrip(3, -1, 40, 5), 2);
    EXPECT_EQ(ScrollStrip(34, +1, 40, 5), 35);
    EXPECT_EQ(ScrollStrip(35, +1, 40, 5), 35);  // frame 40 in the last cell
    EXPECT_EQ(ScrollStrip(0, +1, 5, 5), 0);     // everything on show: nothing moves
}

TEST(StripLayout, PressesOnTheImageEdgesNameAPixelInside)
{
    EXPECT_EQ(ViewToImagePixel(112.0, 20.0, 100, 20, 64, 48), (PixelPoint{12, 0}));
    EXPECT_EQ(ViewToImagePixel(164.0, 68.0, 100, 20, 64, 48), (PixelPoint{63, 47}));  // right and bottom edges
    EXPECT_EQ(ViewToImagePixel(100.9, 20.9, 100, 20, 64, 48), (PixelPoint{0, 0}));
}

namespace {

cv::Mat Disc(int radius)
{
    cv::Mat m(200, 200, CV_8UC1, cv::Scalar(40));
    cv::circle(m, {100, 100}, radius, cv::Scalar(200), cv::FILLED);
    cv::GaussianBlur(m, m, {0, 0}, 2.0);
    return m;
}

WallContour Circle(int r, int n)
{
    WallContour out;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * 3.14159265358979 * i / n;
        out.push_back({100 + int(std::lround(r * std::cos(a))), 100 + int(std::lround(r * std::sin(a)))});
    }
    out.push_back(out.front());
    return out;
}

double MeanRadius(const WallContour& c)
{
    double sum = 0;
    for (const PixelPoint& p : c)
        sum += std::hypot(p.x - 100, p.y - 100);
    return sum / c.size();
}

} // namespace

TEST(Propagation, EachFrameStartsFromThePreviousResultAndFollowsItsOwnImage)
{
    FrameContourList shown(4), initial(4);
    shown[0] = Circle(60, 100);
    const int radii[] = {60, 56, 52, 48};
    int steps = 0;
    std::vector<int> loaded;
    RefinementParameters p = RefinementParameters::ResetValues();
    const cv::Mat last = PropagateWall(
        shown, initial, 0, 3,
        [&](int k) {
            loaded.push_back(k);
            return Disc(radii[k]);
        },
        {100, 100}, p, [&] { ++steps; });
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(loaded, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(last.empty());
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(initial[k], shown[k - 1]);
        ASSERT_EQ(shown[k].size(), 101u);
        EXPECT_EQ(shown[k].front(), shown[k].back());
    }
    // The contour shrinks with the discs, frame after frame.
    EXPECT_LT(MeanRadius(shown[3]), MeanRadius(shown[1]));
    EXPECT_NEAR(MeanRadius(shown[3]), 48.0, 4.0);
}

TEST(Propagation, AFrameWithoutImageKeepsItsContourAndIsStillSmoothed)
{
    FrameContourList shown(2), initial(2);
    shown[0] = Circle(60, 100);
    shown[1] = Circle(40, 60);
    WallContour expected = shown[1];
    SmoothContourPolar(expected, expected, {100, 100}, 5);
    PropagateWall(shown, initial, 0, 1, [](int) { return cv::Mat(); }, {100, 100}, RefinementParameters{}, {});
    EXPECT_EQ(initial[1], shown[0]);
    EXPECT_EQ(shown[1], expected);
}
