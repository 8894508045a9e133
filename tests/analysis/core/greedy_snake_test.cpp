#include "analysis/core/greedy_snake.h"

#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "analysis/core/contour_refinement.h"
#include "analysis/core/printers_testutil.h"
#include "analysis/core/synthetic_frames_testutil.h"

namespace kestrova::analysis {
namespace {

TEST(GreedySnake, CurvatureAloneMovesEachPointTowardItsNeighboursMidpointInIndexOrder) {
    // Flat image: no image energy. With beta alone each point takes the candidate nearest
    // the midpoint of its neighbours, seeing the already moved earlier points.
    const cv::Mat flat(20, 20, CV_8UC1, cv::Scalar(90));
    std::vector<PixelPoint> points{{10, 4}, {5, 10}, {15, 10}};
    EXPECT_EQ(GreedySnake(flat, points, {0.0f, 1.0f, 0.0f}, 3, 1), 1);
    // p0: midpoint of (15,10) and (5,10) is (10,10) -> (10,5)
    // p1: midpoint of (10,5) and (15,10) is (12.5,7.5) -> (6,9)
    // p2: midpoint of (6,9) and (10,5) is (8,7) -> (14,9)
    EXPECT_EQ(points, (std::vector<PixelPoint>{{10, 5}, {6, 9}, {14, 9}}));
}

TEST(GreedySnake, TiesGoToTheFirstCandidateAndTheWindowIsClippedAtTheBorder) {
    // All weights zero: every candidate scores 0 and the first one scanned (top-left of
    // the window as clipped by the image) wins; a point in the top-left corner stays.
    const cv::Mat flat(12, 12, CV_8UC1, cv::Scalar(0));
    std::vector<PixelPoint> points{{0, 0}, {5, 5}, {11, 11}, {3, 0}};
    GreedySnake(flat, points, {0.0f, 0.0f, 0.0f}, 5, 1);
    EXPECT_EQ(points, (std::vector<PixelPoint>{{0, 0}, {3, 3}, {9, 9}, {1, 0}}));
}

TEST(GreedySnake, ImageEnergyAloneFindsTheStrongestGradientInTheWindow) {
    // A vertical step edge between x = 9 and x = 10: the Sobel gradient is largest at
    // x = 9 and x = 10 (equal); scanning rows from the top and columns from the left,
    // every point climbs the edge to the first such pixel, (9, 0).
    cv::Mat step(30, 30, CV_8UC1, cv::Scalar(20));
    step.colRange(10, 30).setTo(cv::Scalar(220));
    std::vector<PixelPoint> points{{5, 5}, {6, 15}, {13, 25}};
    const int iterations = GreedySnake(step, points, {0.0f, 0.0f, 1.0f}, 9, 14);
    for (const PixelPoint& p : points) EXPECT_EQ(p, (PixelPoint{9, 0}));
    EXPECT_LT(iterations, 14);  // stops once nothing moves
}

TEST(GreedySnake, PointsOutsideTheImageAreBroughtInsideAndWrongInputsAreRefused) {
    const cv::Mat flat(10, 10, CV_8UC1, cv::Scalar(0));
    std::vector<PixelPoint> points{{-5, 3}, {4, 40}, {12, -1}};
    GreedySnake(flat, points, {1.0f, 1.0f, 1.0f}, 3, 0);
    EXPECT_EQ(points, (std::vector<PixelPoint>{{0, 3}, {4, 9}, {9, 0}}));

    std::vector<PixelPoint> two{{1, 1}, {2, 2}};
    EXPECT_EQ(GreedySnake(flat, two, {1, 1, 1}, 3, 14), 0);
    const cv::Mat colour(10, 10, CV_8UC3, cv::Scalar::all(0));
    EXPECT_EQ(GreedySnake(colour, points, {1, 1, 1}, 3, 14), 0);
}

struct DiscCase {
    double startRadius;
    RefinementParameters parameters;
};

TEST(GreedySnake, PullsACircleOntoADiscEdge) {
    const cv::Point2d centre(128.4, 127.7);
    const double edge = 60.0;
    const cv::Mat disc = testing::DrawBlurredDisc({256, 256}, centre, edge, 3.0);
    const DiscCase cases[] = {
        {70.0, RefinementParameters::ResetValues()},            // w = 9
        {66.0, RefinementParameters::ResetValues()},
        {70.0, RefinementParameters{}},  // the window's start values (w = 3)
    };
    for (const DiscCase& c : cases) {
        WallContour initial;
        for (int i = 0; i < 100; ++i) {
            const double t = 2 * M_PI * i / 100;
            initial.push_back({static_cast<int>(std::lround(centre.x + c.startRadius * std::cos(t))),
                               static_cast<int>(std::lround(centre.y + c.startRadius * std::sin(t)))});
        }
        initial.push_back(initial.front());
        WallContour refined;
        ASSERT_TRUE(RefineContourSnake(disc, initial, refined, c.parameters));
        ASSERT_EQ(refined.size(), initial.size());
        int close = 0;
        for (const PixelPoint& p : refined) close += std::fabs(std::hypot(p.x - centre.x, p.y - centre.y) - edge) <= 1.5;
        EXPECT_GE(close, 0.9 * refined.size()) << "start radius " << c.startRadius;
    }
}

}  // namespace
}  // namespace kestrova::analysis
