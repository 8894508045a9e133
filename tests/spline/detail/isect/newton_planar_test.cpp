#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

// Circle parameter (over [0, 4]) of the sample nearest to p (midpoints of 64 pieces).
double nearest_on_circle(const spline_curve* c, const std::vector<double>& p) {
  return nearest_sample(c, p, 0, 4, 64);
}

TEST(PlanarCurves, CrossingLines) {
  auto a = line({0, 0}, {2, 1});
  auto b = line({0, 1}, {2, 0});
  double s = -1, t = -1;
  int status = 0;
  s1770_2D(a.get(), b.get(), 1e-12, 0, 0, 1, 1, 0.9, 0.05, &s, &t, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NEAR(s, 0.5, 1e-15);
  EXPECT_NEAR(t, 0.5, 1e-15);
}

TEST(PlanarCurves, CrossingCirclesMeetAtTheClosedFormPoints) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> pos(-1, 1), rad(0.5, 2.0);
  int checked = 0;
  while (checked < 100) {
    const double x1 = pos(rng), y1 = pos(rng), r1 = rad(rng);
    const double x2 = pos(rng), y2 = pos(rng), r2 = rad(rng);
    const double d = std::hypot(x2 - x1, y2 - y1);
    // Clearly crossing circles only (angle between them well away from 0).
    if (d > 0.9 * (r1 + r2) || d < 1.1 * std::fabs(r1 - r2) || d < 0.1) continue;
    const double a = (r1 * r1 - r2 * r2 + d * d) / (2 * d);
    const double h = std::sqrt(r1 * r1 - a * a);
    const double ex = (x2 - x1) / d, ey = (y2 - y1) / d;
    for (int sign : {1, -1}) {
      const std::vector<double> want = {x1 + a * ex - sign * h * ey, y1 + a * ey + sign * h * ex};
      auto c1 = circle(x1, y1, r1);
      auto c2 = circle(x2, y2, r2);
      const double g1 = nearest_on_circle(c1.get(), want);
      const double g2 = nearest_on_circle(c2.get(), want);
      double s = -1, t = -1;
      int status = 0;
      s1770(c1.get(), c2.get(), 1e-12, 0, 0, 4, 4, g1, g2, &s, &t, &status);
      ASSERT_EQ(status, 1);
      EXPECT_LT(dist(eval_curve(c1.get(), s), want), 1e-10);
      EXPECT_LT(dist(eval_curve(c2.get(), t), want), 1e-10);
    }
    ++checked;
  }
}

TEST(PlanarCurves, NearlyTangentCirclesGiveTheCommonNormal) {
  // Unit circles about (0, 0) and (0, 2.001): the closest pair is (0, 1), (0, 1.001),
  // at parameters 1 and 3.
  auto a = circle(0, 0, 1);
  auto b = circle(0, 2.001, 1);
  double s = -1, t = -1;
  int status = 0;
  s1770_2D(a.get(), b.get(), 1e-9, 0, 0, 4, 4, 0.8, 3.3, &s, &t, &status);
  EXPECT_EQ(status, 3);
  EXPECT_LT(dist(eval_curve(a.get(), s), {0, 1}), 1e-7);
  EXPECT_LT(dist(eval_curve(b.get(), t), {0, 1.001}), 1e-7);
  // Touching circles meet at the point of contact.
  auto touching = circle(0, 2, 1);
  status = 0;
  s1770_2D(a.get(), touching.get(), 1e-9, 0, 0, 4, 4, 0.8, 3.3, &s, &t, &status);
  EXPECT_EQ(status, 1);
  EXPECT_LT(dist(eval_curve(a.get(), s), {0, 1}), 1e-4);
}

TEST(PlanarCurves, ParallelLinesStayApart) {
  auto a = line({0, 0}, {1, 0});
  auto b = line({0, 1}, {1, 1});
  for (int mode : {0, 1}) {
    double s = -1, t = -1;
    int status = mode;
    s1770_2D(a.get(), b.get(), 1e-9, 0, 0, 1, 1, 0.4, 0.6, &s, &t, &status);
    EXPECT_TRUE(status == 2 || status == 3) << "mode " << mode << " status " << status;
    EXPECT_GE(s, 0.0);
    EXPECT_LE(s, 1.0);
    EXPECT_GE(t, 0.0);
    EXPECT_LE(t, 1.0);
  }
}

TEST(PlanarCurves, StartAtTheIntervalEndUsesTheLeftPiece) {
  // Curve 1 is a polyline with a corner at 0.5, its box ending there; its left piece
  // crosses the line y = 0.5 at t = 0.25, its right piece runs along y = 1.
  auto a = curve({0, 0, 0.5, 1, 1}, 2, {0, 0, 1, 1, 2, 1}, 1, 2);
  auto b = line({-1, 0.5}, {3, 0.5});
  double s = -1, t = -1;
  int status = 0;
  s1770_2D(a.get(), b.get(), 1e-12, 0, 0, 0.5, 1, 0.5, 0.3, &s, &t, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NEAR(s, 0.25, 1e-15);
  EXPECT_NEAR(t, 0.375, 1e-15);
}

TEST(PlanarCurves, DimensionMismatch) {
  isect_test::ReportLog log;
  auto a = line({0, 0}, {1, 0});
  auto b = line({0, 1, 0}, {1, 1, 0});
  double s = 5, t = 5;
  int status = 0;
  s1770_2D(a.get(), b.get(), 1e-9, 0, 0, 1, 1, 0.4, 0.6, &s, &t, &status);
  EXPECT_EQ(status, -106);
  EXPECT_EQ(s, 5);
  EXPECT_TRUE(log.named("s1770_2D"));
}

}  // namespace
