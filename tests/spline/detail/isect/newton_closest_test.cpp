#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

TEST(PointCurve, ProjectionOntoARationalCircleIsRadial) {
  auto c = circle(1.0, -2.0, 3.0);
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> ang(0, 2 * M_PI), rad(0.2, 8.0);
  for (int i = 0; i < 300; ++i) {
    const double phi = ang(rng), r = rad(rng);
    const std::vector<double> p = {1.0 + r * std::cos(phi), -2.0 + r * std::sin(phi)};
    auto pt = point(p);
    const double guess = nearest_sample(c.get(), p, 0, 4, 16);
    double result = -1;
    int status = 0;  // the full iteration budget
    s1771(pt.get(), c.get(), 1e-12, 0.0, 4.0, guess, &result, &status);
    ASSERT_EQ(status, std::fabs(r - 3.0) <= 1e-12 ? 1 : 2);
    const std::vector<double> foot = {1.0 + 3.0 * std::cos(phi), -2.0 + 3.0 * std::sin(phi)};
    EXPECT_LT(dist(eval_curve(c.get(), result), foot), 1e-10) << "phi " << phi << " r " << r;
  }
  // A point on the circle meets it.
  auto on = point({4.0, -2.0 + 1e-14});
  double result = -1;
  int status = 0;
  s1771(on.get(), c.get(), 1e-9, 0.0, 4.0, 0.3, &result, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NEAR(result, 0.0, 1e-9);
}

TEST(PointCurve, SolutionBeyondTheBoxEndsOnItsEdge) {
  // The foot of (-5, 0.1) lies near parameter 2 (angle pi); the box stops at 1.5.
  auto c = circle(0, 0, 1);
  auto p = point({-5.0, 0.1});
  for (int mode : {0, 1}) {
    double result = -1;
    int status = mode;
    s1771(p.get(), c.get(), 1e-9, 0.5, 1.5, 1.0, &result, &status);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(result, 1.5);
  }
  // Also from below the box start.
  auto q = point({5.0, 0.1});
  double result = -1;
  int status = 0;
  s1771(q.get(), c.get(), 1e-9, 0.5, 1.5, 1.0, &result, &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(result, 0.5);
}

TEST(PointCurve, EntryStatusSetsTheIterationBudget) {
  // Points near the centre of a circle converge slowly: the short budget (any non-zero
  // status on entry) stops earlier, never closer than the full one.
  auto c = circle(0, 0, 1);
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> off(-0.05, 0.05), guess(0, 4);
  int differ = 0;
  for (int i = 0; i < 200; ++i) {
    const std::vector<double> p = {off(rng), off(rng)};
    auto pt = point(p);
    const double g = guess(rng);
    double full = -1, shorter = -1;
    int s_full = 0, s_short = 1;
    s1771(pt.get(), c.get(), 1e-12, 0, 4, g, &full, &s_full);
    s1771(pt.get(), c.get(), 1e-12, 0, 4, g, &shorter, &s_short);
    ASSERT_EQ(s_full, 2);
    ASSERT_EQ(s_short, 2);
    EXPECT_LE(dist(eval_curve(c.get(), full), p), dist(eval_curve(c.get(), shorter), p) + 1e-15);
    if (full != shorter) ++differ;
  }
  EXPECT_GT(differ, 50);
}

TEST(PointCurve, ErrorsLeaveTheResultAlone) {
  isect_test::ReportLog log;
  auto c = circle(0, 0, 1);
  auto p = point({1.0, 2.0, 3.0});
  double result = 9;
  int status = 0;
  s1771(p.get(), c.get(), 1e-9, 0, 4, 1, &result, &status);
  EXPECT_EQ(status, -106);
  EXPECT_EQ(result, 9);
  EXPECT_TRUE(log.named("s1771"));
}

TEST(PointSurface, ProjectionOntoARationalSphereIsRadial) {
  const double c[3] = {0.5, -1.0, 2.0};
  const double r = 2.0;
  auto s = sphere(c, r);
  const double start[2] = {0, 0}, end[2] = {4, 2};
  std::mt19937 rng(5);
  std::normal_distribution<double> g(0, 1);
  // The iteration takes first-order steps, which contract the angular error by about
  // |1 - k/r| for a point at distance k from the centre; for outside points they
  // overshoot, and an overshooting step is halved unless it halves the distance, so
  // there the foot converges slowly.  The foot is checked for points on or just inside
  // the sphere, the distance (exact to second order in the foot) everywhere.
  std::uniform_real_distribution<double> near(0.99 * r, r), off(0.5 * r, 1.5 * r);
  for (int trial = 0; trial < 400;) {
    double d[3] = {g(rng), g(rng), g(rng)};
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (double& x : d) x /= len;
    if (std::fabs(d[2]) > 0.9) continue;  // keep away from the poles
    const bool close = trial % 2 == 0;
    const double k = close ? near(rng) : off(rng);
    const std::vector<double> p = {c[0] + k * d[0], c[1] + k * d[1], c[2] + k * d[2]};
    // Start from the nearest point of a coarse grid (off the seam u = 0).
    double guess[2] = {0, 0}, best = 1e300;
    for (int i = 0; i < 16; ++i)
      for (int j = 1; j < 8; ++j) {
        const double u = 4.0 * (i + 0.5) / 16, v = 2.0 * j / 8;
        const double e = dist(eval_surface(s.get(), u, v), p);
        if (e < best) {
          best = e;
          guess[0] = u;
          guess[1] = v;
        }
      }
    auto pt = point(p);
    double result[2];
    int status = -7;
    s1773(pt.get(), s.get(), 1e-12, start, end, guess, result, &status);
    ASSERT_EQ(status, 2);
    const auto got = eval_surface(s.get(), result[0], result[1]);
    const std::vector<double> foot = {c[0] + r * d[0], c[1] + r * d[1], c[2] + r * d[2]};
    if (close)
      EXPECT_LT(dist(got, foot), 1e-10) << "k " << k;
    else
      EXPECT_NEAR(dist(got, p), std::fabs(k - r), 1e-10) << "k " << k;
    ++trial;
  }
}

TEST(PointSurface, DegenerateEdgeGivesStatusNine) {
  // Straight below the south pole, where the first derivative in the first direction vanishes
  // along the edge v = 0: the iteration ends on that edge, at the pole.
  const double c[3] = {0, 0, 0};
  auto s = sphere(c, 1.0);
  const double start[2] = {0, 0}, end[2] = {4, 2};
  auto p = point({0.0, 0.0, -3.0});
  const double guess[2] = {1.3, 0.4};
  double result[2];
  int status = -7;
  s1773(p.get(), s.get(), 1e-9, start, end, guess, result, &status);
  EXPECT_EQ(status, 9);
  EXPECT_EQ(result[1], 0.0);
  EXPECT_LT(dist(eval_surface(s.get(), result[0], result[1]), {0, 0, -1}), 1e-12);
}

TEST(PointSurface, OneDimensionalSurfaceReportsEdges) {
  // g(u, v) = u + v on [0, 1]^2.
  auto s = poly_surface_1d({{0, 1}, {1, 0}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  const double start[2] = {0, 0}, end[2] = {1, 1};
  const double guess[2] = {0.25, 0.25};
  struct Case {
    double value;
    int status;
  };
  // 0.9 lies inside; 3 is above the largest value 2 (the corner (1, 1)); -1 below the
  // smallest.
  const Case cases[] = {{0.9, 1}, {3.0, 0}, {-1.0, 0}};
  for (const auto& cs : cases) {
    auto p = point({cs.value});
    double result[2];
    int status = -7;
    s1773(p.get(), s.get(), 1e-10, start, end, guess, result, &status);
    EXPECT_EQ(status, cs.status) << cs.value;
  }
}

TEST(CurvePair, SkewCrossingAndParallelLines) {
  // Skew lines: closed-form closest pair.
  const std::vector<double> a = {0, 0, 0}, b = {2, 1, 0}, c0 = {0, 2, 1}, d = {1, -1, 1.5};
  auto l1 = line(a, b);
  auto l2 = line(c0, d);
  double u[3], v[3], w[3];
  for (int i = 0; i < 3; ++i) {
    u[i] = b[i] - a[i];
    v[i] = d[i] - c0[i];
    w[i] = a[i] - c0[i];
  }
  auto dot = [](const double* x, const double* y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
  const double aa = dot(u, u), bb = dot(u, v), cc = dot(v, v), dd = dot(u, w), ee = dot(v, w);
  const double den = aa * cc - bb * bb;
  const double s_want = (bb * ee - cc * dd) / den, t_want = (aa * ee - bb * dd) / den;
  double s = -1, t = -1;
  int status = -7;
  s1770(l1.get(), l2.get(), 1e-9, 0, 0, 1, 1, 0.9, 0.1, &s, &t, &status);
  EXPECT_EQ(status, 2);
  EXPECT_NEAR(s, s_want, 1e-14);
  EXPECT_NEAR(t, t_want, 1e-14);

  // Crossing lines, guesses away from the crossing at (1, 1, 1).
  auto m1 = line({0, 0, 0}, {2, 2, 2});
  auto m2 = line({2, 0, 1}, {0, 2, 1});
  s1770(m1.get(), m2.get(), 1e-12, 0, 0, 1, 1, 0.05, 0.95, &s, &t, &status);
  EXPECT_EQ(status, 1);
  EXPECT_DOUBLE_EQ(s, 0.5);
  EXPECT_DOUBLE_EQ(t, 0.5);

  // Parallel lines along the first axis: the system is exactly singular.
  auto p1 = line({0, 0, 0}, {1, 0, 0});
  auto p2 = line({0, 1, 0}, {1, 1, 0});
  s1770(p1.get(), p2.get(), 1e-9, 0, 0, 1, 1, 0.3, 0.7, &s, &t, &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(s, 0.3);
  EXPECT_EQ(t, 0.7);

  // Closest pair beyond the box: ends on the box edge.
  s1770(l1.get(), l2.get(), 1e-9, 0, 0, 0.1, 1, 0.05, 0.5, &s, &t, &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(s, 0.1);
}

TEST(CurvePair, DimensionMismatchAndPlanarHandOver) {
  isect_test::ReportLog log;
  auto l3 = line({0, 0, 0}, {1, 1, 1});
  auto l2 = line({0, 1}, {1, 0});
  double s = 3, t = 4;
  int status = 0;
  s1770(l3.get(), l2.get(), 1e-9, 0, 0, 1, 1, 0.5, 0.5, &s, &t, &status);
  EXPECT_EQ(status, -106);
  EXPECT_EQ(s, 3);
  EXPECT_TRUE(log.named("s1770"));
  // Planar curves go to the planar iteration: two crossing lines.
  auto k2 = line({0, 0}, {1, 1});
  status = 0;
  s1770(k2.get(), l2.get(), 1e-12, 0, 0, 1, 1, 0.1, 0.2, &s, &t, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NEAR(s, 0.5, 1e-15);
  EXPECT_NEAR(t, 0.5, 1e-15);
}

TEST(NearestVertices, GrevilleValuesOfTheTrueIndices) {
  // A 4 x 3 net of order (3, 2) with distinct knots; vertex (i, j) at (i, j, 0).
  std::vector<double> net;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 4; ++i) {
      net.push_back(i);
      net.push_back(j);
      net.push_back(0.0);
    }
  auto s = surface({0, 0, 0, 0.4, 1, 1, 1}, {0, 0, 0.7, 1, 1}, 3, 2, net, 1, 3);
  // The curve's third vertex is nearest to vertex (2, 1).
  auto c = curve({0, 0, 0, 0.2, 0.6, 1, 1, 1}, 3,
                 {9, 9, 9, 8, 8, 8, 2.1, 0.9, 0.05, 7, 7, 7, 9, 0, 9}, 1, 3);
  double t = -1, uv[2] = {-1, -1};
  nearest_vertex_params_curve_surface(c.get(), s.get(), &t, uv);
  EXPECT_DOUBLE_EQ(t, (0.2 + 0.6) / 2);    // vertex 2: knots 3, 4
  EXPECT_DOUBLE_EQ(uv[0], (0.4 + 1) / 2);  // i = 2: knots 3, 4 of the first direction
  EXPECT_DOUBLE_EQ(uv[1], 0.7);            // j = 1: knot 2 of the second direction
}

}  // namespace
