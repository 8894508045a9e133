#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

// The plane z = 0 over [0, 1]^2 as a bilinear patch with S(u, v) = (u, v, 0).
SurfaceHandle unit_plane() {
  return surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, 1, 3);
}

const double kBox0[2] = {0, 0};
const double kBox1[2] = {1, 1};

TEST(CurveSurface, LineCrossingAPlane) {
  auto plane = unit_plane();
  auto l = line({0.2, 0.3, -1}, {0.6, 0.7, 1});
  const double guess[2] = {0.9, 0.1};
  double t = -1, uv[2] = {-1, -1};
  int status = -7;
  s1772(l.get(), plane.get(), 1e-12, 0, kBox0, 1, kBox1, 0.1, guess, &t, uv, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NEAR(t, 0.5, 1e-15);
  EXPECT_NEAR(uv[0], 0.4, 1e-15);
  EXPECT_NEAR(uv[1], 0.5, 1e-15);
}

TEST(CurveSurface, CrossingBeyondTheBoxEndsOnItsEdge) {
  // The crossing lies at t = 0.5; the curve's box stops at 0.3.  Every later step is
  // cut at the box, so the iteration ends there and reports the pair reached.
  auto plane = unit_plane();
  auto l = line({0.2, 0.3, -1}, {0.6, 0.7, 1});
  const double guess[2] = {0.5, 0.5};
  double t = -1, uv[2] = {-1, -1};
  int status = -7;
  s1772(l.get(), plane.get(), 1e-9, 0, kBox0, 0.3, kBox1, 0.1, guess, &t, uv, &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(t, 0.3);
  EXPECT_GE(dist(eval_curve(l.get(), t), eval_surface(plane.get(), uv[0], uv[1])), 0.4 - 1e-12);
}

TEST(CurveSurface, LineParallelAboveAPlaneReturnsTheStart) {
  auto plane = unit_plane();
  auto l = line({0.1, 0.2, 1}, {0.6, 0.45, 1});
  const double guess[2] = {0.7, 0.2};
  double t = -1, uv[2] = {-1, -1};
  int status = -7;
  s1772(l.get(), plane.get(), 1e-9, 0, kBox0, 1, kBox1, 0.3, guess, &t, uv, &status);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(t, 0.3);
  EXPECT_EQ(uv[0], 0.7);
  EXPECT_EQ(uv[1], 0.2);
}

TEST(CurveSurface, ParallelLineFromItsFootKeepsTheTangentialVerdict) {
  // Started at the foot of the normal: the curvature test cannot exclude a crossing,
  // the secant search walks along the line and finds none.  The verdict comes from the
  // tangent at the result, which lies in the plane's tangent plane: 3.
  auto plane = unit_plane();
  auto l = line({0.1, 0.2, 1}, {0.6, 0.45, 1});
  const double guess[2] = {0.25, 0.275};
  double t = -1, uv[2] = {-1, -1};
  int status = -7;
  s1772(l.get(), plane.get(), 1e-9, 0, kBox0, 1, kBox1, 0.3, guess, &t, uv, &status);
  EXPECT_EQ(status, 3);
  const auto p = eval_curve(l.get(), t);
  EXPECT_NEAR(uv[0], p[0], 1e-12);
  EXPECT_NEAR(uv[1], p[1], 1e-12);
}

TEST(CurveSurface, ParabolaAboveAPlaneEndsAtItsVertex) {
  auto plane = unit_plane();
  // c(t) = (t, 0.5, 1 + (t - 0.5)^2): lowest at t = 0.5, one unit above the plane.
  auto parabola = poly_curve({{0, 1}, {0.5}, {1.25, -1, 1}}, {0, 0, 0, 1, 1, 1}, 3);
  const double guess[2] = {0.2, 0.8};
  double t = -1, uv[2] = {-1, -1};
  int status = -7;
  s1772(parabola.get(), plane.get(), 1e-9, 0, kBox0, 1, kBox1, 0.9, guess, &t, uv, &status);
  EXPECT_EQ(status, 3);
  EXPECT_NEAR(t, 0.5, 1e-7);
  EXPECT_NEAR(uv[0], 0.5, 1e-7);
  EXPECT_NEAR(uv[1], 0.5, 1e-7);
}

TEST(CurveSurface, DimensionMismatch) {
  isect_test::ReportLog log;
  auto plane = unit_plane();
  auto l = line({0, 0}, {1, 1});
  const double guess[2] = {0.5, 0.5};
  double t = 7, uv[2] = {7, 7};
  int status = 0;
  s1772(l.get(), plane.get(), 1e-9, 0, kBox0, 1, kBox1, 0.5, guess, &t, uv, &status);
  EXPECT_EQ(status, -106);
  EXPECT_EQ(t, 7);
  EXPECT_TRUE(log.named("s1772"));
}

// Bicubic graph patch S(u, v) = (u, v, f(u, v)) over [0, 1]^2: with the x and y
// coordinates of the vertices at their Greville values, x = u and y = v exactly.
SurfaceHandle graph_patch(std::mt19937& rng) {
  std::uniform_real_distribution<double> z(-0.3, 0.3);
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      v.push_back(i / 3.0);
      v.push_back(j / 3.0);
      v.push_back(z(rng));
    }
  return surface({0, 0, 0, 0, 1, 1, 1, 1}, {0, 0, 0, 0, 1, 1, 1, 1}, 4, 4, v, 1, 3);
}

TEST(CurveSurface, RandomCubicsAgainstBicubicGraphsFindEveryCrossing) {
  // Oracle: on a graph patch a crossing of the curve is a zero of
  // g(t) = c_z(t) - f(c_x(t), c_y(t)), found by dense sampling and bisection.
  std::mt19937 rng(1234);
  std::uniform_real_distribution<double> xy(0.05, 0.95), zc(-1.0, 1.0), jitter(-0.03, 0.03);
  int found = 0;
  for (int trial = 0; trial < 200; ++trial) {
    auto patch = graph_patch(rng);
    std::vector<double> cv;
    for (int i = 0; i < 4; ++i) {
      cv.push_back(xy(rng));
      cv.push_back(xy(rng));
      cv.push_back((i % 2 ? 1 : -1) * std::fabs(zc(rng)));
    }
    auto c = curve({0, 0, 0, 0, 1, 1, 1, 1}, 4, cv, 1, 3);
    auto g = [&](double t) {
      const auto p = eval_curve(c.get(), t);
      return p[2] - eval_surface(patch.get(), p[0], p[1])[2];
    };
    const int samples = 2000;
    std::vector<double> roots;
    double prev = g(0.0);
    for (int i = 1; i <= samples; ++i) {
      const double t = static_cast<double>(i) / samples;
      const double cur = g(t);
      if ((prev < 0) != (cur < 0)) {
        double lo = t - 1.0 / samples, hi = t;
        const bool lo_neg = prev < 0;
        for (int it = 0; it < 80; ++it) {
          const double m = 0.5 * (lo + hi);
          ((g(m) < 0) == lo_neg ? lo : hi) = m;
        }
        roots.push_back(0.5 * (lo + hi));
      }
      prev = cur;
    }
    for (size_t r = 0; r < roots.size(); ++r) {
      const double ts = roots[r];
      // Well separated, transversal crossings only.
      bool separated = true;
      for (size_t q = 0; q < roots.size(); ++q)
        if (q != r && std::fabs(roots[q] - ts) < 0.15) separated = false;
      const double slope = (g(std::fmin(1.0, ts + 1e-6)) - g(std::fmax(0.0, ts - 1e-6))) / 2e-6;
      if (!separated || std::fabs(slope) < 0.5) continue;
      const double t0 = std::fmin(1.0, std::fmax(0.0, ts + jitter(rng)));
      const auto p0 = eval_curve(c.get(), t0);
      const double guess[2] = {p0[0], p0[1]};
      double t = -1, uv[2];
      int status = -7;
      s1772(c.get(), patch.get(), 1e-10, 0, kBox0, 1, kBox1, t0, guess, &t, uv, &status);
      ASSERT_EQ(status, 1) << "trial " << trial << " crossing " << ts;
      EXPECT_NEAR(t, ts, 1e-8) << "trial " << trial;
      const auto ps = eval_curve(c.get(), ts);
      EXPECT_NEAR(uv[0], ps[0], 1e-8);
      EXPECT_NEAR(uv[1], ps[1], 1e-8);
      ++found;
    }
  }
  EXPECT_GT(found, 100);
}

TEST(CurveSurface, StartAtTheCurveEndUsesTheLeftPiece) {
  // A polyline with a corner at t = 0.5, the box ending there: from the left the piece
  // rises through the plane at t = 0.25; the piece to the right turns back down.
  auto plane = unit_plane();
  auto c = curve({0, 0, 0.5, 1, 1}, 2, {0.2, 0.3, -1, 0.5, 0.5, 1, 0.5, 0.9, 0.9}, 1, 3);
  const double guess[2] = {0.5, 0.5};
  double t = -1, uv[2];
  int status = -7;
  s1772(c.get(), plane.get(), 1e-12, 0, kBox0, 0.5, kBox1, 0.5, guess, &t, uv, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NEAR(t, 0.25, 1e-15);
  EXPECT_NEAR(uv[0], 0.35, 1e-15);
  EXPECT_NEAR(uv[1], 0.4, 1e-15);
}

}  // namespace
