#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/newton_testutil.h"
#include "spline/reference_testutil.h"

namespace {

using namespace newton_test;

const std::vector<double> kBezier3 = {0, 0, 0, 0, 1, 1, 1, 1};

// f(t) = t^3 - 1.5 t^2 + 0.72 t: f' = 3 (t - 0.4)(t - 0.6), a maximum at 0.4 and a
// minimum at 0.6.
const std::vector<double> kCubic = {0.0, 0.72, -1.5, 1.0};

TEST(StationaryCurve, ReachesTheNearestExtremumOfACubic) {
  auto c = poly_curve_1d(kCubic, kBezier3, 4);
  struct Case {
    double start, end, guess, want;
    int status;
  };
  const Case cases[] = {
      {0.0, 1.0, 0.30, 0.4, 1},   // climbs to the maximum
      {0.0, 1.0, 0.45, 0.4, 1},
      {0.0, 1.0, 0.75, 0.6, 1},   // slides to the minimum
      {0.0, 1.0, 0.4, 0.4, 1},    // already stationary
      {0.0, 0.35, 0.1, 0.35, 0},  // the maximum lies beyond the range: stops at its end
      {0.65, 1.0, 0.9, 0.65, 0},  // the minimum lies before the range
  };
  for (const auto& cs : cases) {
    double result = -1.0;
    int status = -7;
    s1172(c.get(), cs.start, cs.end, cs.guess, &result, &status);
    EXPECT_EQ(status, cs.status) << "guess " << cs.guess;
    EXPECT_NEAR(result, cs.want, 1e-13) << "guess " << cs.guess;
  }
}

TEST(StationaryCurve, ResultNextToAKnotIsSnappedOntoIt) {
  // The same cubic with a knot 3e-13 after its maximum.
  const double knot = 0.4 + 3e-13;
  auto c = poly_curve_1d(kCubic, {0, 0, 0, 0, knot, 1, 1, 1, 1}, 4);
  double result = -1.0;
  int status = -7;
  s1172(c.get(), 0.0, 1.0, 0.2, &result, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(result, knot);
  // A knot farther away than 1e-12 of the width stays untouched.
  const double far_knot = 0.4 + 5e-12;
  auto c2 = poly_curve_1d(kCubic, {0, 0, 0, 0, far_knot, 1, 1, 1, 1}, 4);
  s1172(c2.get(), 0.0, 1.0, 0.2, &result, &status);
  EXPECT_NE(result, far_knot);
  EXPECT_NEAR(result, 0.4, 1e-14);
}

TEST(StationaryCurve, RejectsOtherDimensions) {
  isect_test::ReportLog log;
  auto c = line({0, 0}, {1, 1});
  double result = 42.0;
  int status = 0;
  s1172(c.get(), 0, 1, 0.5, &result, &status);
  EXPECT_EQ(status, -106);
  EXPECT_EQ(result, 42.0);
  EXPECT_TRUE(log.named("s1172"));
}

// g(u, v) = -(u - 0.3)^2 - 2 (v - 0.6)^2 + 0.5 (u - 0.3)(v - 0.6) + 1, expanded.
std::vector<std::vector<double>> bowl() {
  const double a = 0.3, b = 0.6;
  // -(u^2 - 2au + a^2) - 2(v^2 - 2bv + b^2) + 0.5(uv - bu - av + ab) + 1
  return {{-a * a - 2 * b * b + 0.5 * a * b + 1, 4 * b - 0.5 * a, -2},
          {2 * a - 0.5 * b, 0.5, 0},
          {-1, 0, 0}};
}

const std::vector<double> kBezier2 = {0, 0, 0, 1, 1, 1};

TEST(StationarySurface, FindsTheStationaryPointOfABiquadratic) {
  auto s = poly_surface_1d(bowl(), kBezier2, kBezier2, 3, 3);
  const double start[2] = {0, 0}, end[2] = {1, 1};
  const double guesses[][2] = {{0.9, 0.1}, {0.05, 0.95}, {0.3, 0.6}};
  for (const auto& g : guesses) {
    double result[2] = {-1, -1};
    int status = -7;
    s1174(s.get(), start, end, g, result, &status);
    EXPECT_EQ(status, 1);
    EXPECT_NEAR(result[0], 0.3, 1e-13);
    EXPECT_NEAR(result[1], 0.6, 1e-13);
  }
  // A box that excludes the stationary point: the iteration ends on its edge with
  // a gradient that does not vanish.
  const double lo[2] = {0.5, 0.0}, hi[2] = {1.0, 1.0}, g[2] = {0.9, 0.2};
  double result[2];
  int status = -7;
  s1174(s.get(), lo, hi, g, result, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(result[0], 0.5);
}

TEST(ClosestValue, ClimbsToTheMaximumOfABowlAndMeetsALevel) {
  auto s = poly_surface_1d(bowl(), kBezier2, kBezier2, 3, 3);
  const double start[2] = {0, 0}, end[2] = {1, 1};
  // The value 2 lies above the maximum 1: the closest value is the maximum.
  auto above = point({2.0});
  double guess[2] = {0.8, 0.2}, result[2];
  int status = -7;
  s1173(above.get(), s.get(), 1e-9, start, end, guess, result, &status);
  EXPECT_EQ(status, 2);
  EXPECT_NEAR(result[0], 0.3, 1e-7);
  EXPECT_NEAR(result[1], 0.6, 1e-7);
  EXPECT_NEAR(eval_surface(s.get(), result[0], result[1])[0], 1.0, 1e-13);
  // A value the surface takes: a point of that level is found.
  auto level = point({0.9});
  guess[0] = 0.8;
  guess[1] = 0.2;
  s1173(level.get(), s.get(), 1e-9, start, end, guess, result, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NEAR(eval_surface(s.get(), result[0], result[1])[0], 0.9, 1e-9);
}

TEST(ClosestValue, SingularSystemStepsToTheFootOfThePerpendicular) {
  // Planes g = a u + b v: the system is singular everywhere.  The combined step goes to
  // the point of the level line a u + b v = P nearest to the guess, in one step.
  struct Case {
    double a, b, p;
  };
  const Case cases[] = {{1, 1, 0.7}, {2, 1, 1.1}, {-1, 3, 1.0}, {0.5, -2, -0.4}};
  for (const auto& cs : cases) {
    auto s = poly_surface_1d({{0, cs.b}, {cs.a, 0}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
    auto p = point({cs.p});
    const double start[2] = {0, 0}, end[2] = {1, 1};
    const double g0[2] = {0.1, 0.2};
    double guess[2] = {g0[0], g0[1]}, result[2];
    int status = -7;
    s1173(p.get(), s.get(), 1e-12, start, end, guess, result, &status);
    EXPECT_EQ(status, 1);
    const double d = (cs.p - cs.a * g0[0] - cs.b * g0[1]) / (cs.a * cs.a + cs.b * cs.b);
    EXPECT_NEAR(result[0], g0[0] + d * cs.a, 1e-14) << cs.a << " " << cs.b;
    EXPECT_NEAR(result[1], g0[1] + d * cs.b, 1e-14) << cs.a << " " << cs.b;
  }
}

TEST(ClosestValue, RejectsPointsAndSurfacesOfOtherDimensions) {
  isect_test::ReportLog log;
  auto s = poly_surface_1d(bowl(), kBezier2, kBezier2, 3, 3);
  auto p2 = point({1.0, 2.0});
  const double start[2] = {0, 0}, end[2] = {1, 1};
  double guess[2] = {0.5, 0.5}, result[2] = {7, 7};
  int status = 0;
  s1173(p2.get(), s.get(), 1e-9, start, end, guess, result, &status);
  EXPECT_EQ(status, -106);
  EXPECT_EQ(result[0], 7);
  EXPECT_TRUE(log.named("s1173"));
}

// ---------------------------------------------------------------------------
// Local maximum of a spline function.

TEST(LocalMaximum, ParabolaInOneStep) {
  // -(t - 0.3)^2 on [0, 1] from 0.8.
  auto c = poly_curve_1d({-0.09, 0.6, -1.0}, {0, 0, 0, 1, 1, 1}, 3);
  double result = -1;
  int status = -7;
  S1252(c.get(), 0.0, 0.8, &result, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NEAR(result, 0.3, 1e-15);
  // Tolerance below the maximum value 0: status 2.
  S1252(c.get(), -1.0, 0.8, &result, &status);
  EXPECT_EQ(status, 2);
}

TEST(LocalMaximum, KinkAtAKnotAndRangeEnd) {
  // Tent 0 -> 1 -> 0 with its peak on the knot 0.5.
  auto tent = curve({0, 0, 0.5, 1, 1}, 2, {0, 1, 0}, 1, 1);
  double result = -1;
  int status = -7;
  S1252(tent.get(), 0.0, 0.5, &result, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(result, 0.5);
  // An increasing concave cubic: the ascent stops at the end of the range, exactly.
  auto rising = poly_curve_1d({0, 1, 0, -0.1}, {0, 0, 0, 0, 0.5, 1, 1, 1, 1}, 4);
  S1252(rising.get(), 10.0, 0.1, &result, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(result, 1.0);
}

TEST(LocalMaximum, RejectsOtherDimensions) {
  isect_test::ReportLog log;
  auto c = line({0, 0}, {1, 1});
  double result = 5;
  int status = 0;
  S1252(c.get(), 0, 0.5, &result, &status);
  EXPECT_EQ(status, -106);
  EXPECT_EQ(result, 5);
  EXPECT_TRUE(log.named("S1252"));
}

TEST(LocalMaximum, RandomCubicSplinesAgreeWithADenseGrid) {
  // From a start on the concave flank of a hill, the ascent must end at that hill's top:
  // the oracle walks a dense grid uphill from the start and refines the crossing of
  // f' through zero by bisection with an independent evaluator.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coef(-1, 1);
  const int k = 4;
  int checked = 0;
  for (int trial = 0; checked < 500 && trial < 5000; ++trial) {
    const int n = 5 + trial % 6;
    const auto t = ref::random_knots(rng, k, n, 1, true);
    std::vector<double> v(n);
    for (auto& x : v) x = coef(rng);
    auto c = curve(t, k, v, 1, 1);
    const double a = t[k - 1], b = t[n], range = b - a;
    auto deriv = [&](double x) { return ref::curve(t, k, n, v, 1, false, x, 2, false); };
    auto slope = [&](double x) { return deriv(x)[1]; };
    std::uniform_real_distribution<double> ux(a, b);
    const double start = ux(rng);
    const auto d0 = deriv(start);
    if (d0[2] >= 0.0) continue;  // start on a concave flank only
    // Walk uphill on a grid of step range/1000 while f'' stays negative.
    const double h = range / 1000;
    const double dir = d0[1] >= 0.0 ? 1.0 : -1.0;
    double x = start;
    bool concave = true;
    bool inside = true;
    while (true) {
      const double next = x + dir * h;
      if (next < a || next > b) {
        inside = false;
        break;
      }
      const auto dn = deriv(next);
      if (dn[1] * dir <= 0.0) break;
      if (dn[2] >= 0.0) {
        concave = false;
        break;
      }
      x = next;
    }
    if (!concave) continue;
    // The top lies in [x, x + h] (or between x and the range end).
    const double e = inside ? x + dir * h : (dir > 0 ? b : a);
    double want = e;
    if (slope(e) * dir <= 0.0) {
      double lo = x, hi = e;
      for (int i = 0; i < 80; ++i) {
        const double m = 0.5 * (lo + hi);
        (slope(m) * dir > 0.0 ? lo : hi) = m;
      }
      want = 0.5 * (lo + hi);
    }
    double result = -1;
    int status = -7;
    S1252(c.get(), 1e9, start, &result, &status);
    ASSERT_EQ(status, 1);
    EXPECT_LT(std::fabs(result - want), 1e-9 * range)
        << "trial " << trial << " start " << start << " want " << want;
    ++checked;
  }
  EXPECT_EQ(checked, 500);
}

}  // namespace
