#include <gtest/gtest.h>

#include <vector>

#include "spline/isect/coincidence.h"
#include "spline/isect/isect_fixture.h"
#include "spline/isect/newton_testutil.h"

namespace {

using namespace newton_test;

// The plane z = 0 over [0, 1]^2 as a biquadratic patch with a knot line at 0.5 in both
// directions (vertices at the Greville points, so S(u, v) = (u, v, 0)).
SurfacePtr knotted_plane() {
  const std::vector<double> t = {0, 0, 0, 0.5, 1, 1, 1};
  const double g[4] = {0, 0.25, 0.75, 1};
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      v.push_back(g[i]);
      v.push_back(g[j]);
      v.push_back(0);
    }
  return surface(t, t, 3, 3, v, 1, 3);
}

// A cubic in the plane z = lift * (bump of the middle vertices), over [0, 1] with a knot
// at 0.4.
CurvePtr planar_cubic(double lift) {
  return curve({0, 0, 0, 0, 0.4, 1, 1, 1, 1}, 4,
               {0.1, 0.1, 0, 0.3, 0.6, lift, 0.6, 0.2, lift, 0.8, 0.5, lift, 0.9, 0.8, 0}, 1, 3);
}

TEST(CurveInSurface, PlanarCurveCoincidesAndALiftedOneDoesNot) {
  auto plane = knotted_plane();
  const double eps = 1e-6;
  auto flat = planar_cubic(0.0);
  const auto a = eval_curve(flat.get(), 0.0), b = eval_curve(flat.get(), 1.0);
  const double p1[3] = {0.0, a[0], a[1]}, p2[3] = {1.0, b[0], b[1]};
  int status = -7;
  S1785(flat.get(), plane.get(), eps, p1, p2, 1, &status);
  EXPECT_EQ(status, 1);
  // Surface parameters first, points given in reverse order.
  const double q1[3] = {b[0], b[1], 1.0}, q2[3] = {a[0], a[1], 0.0};
  S1785(flat.get(), plane.get(), eps, q1, q2, 0, &status);
  EXPECT_EQ(status, 1);
  // The middle lifted by a few tolerances; the ends stay in the plane.
  auto lifted = planar_cubic(10 * eps);
  S1785(lifted.get(), plane.get(), eps, p1, p2, 1, &status);
  EXPECT_EQ(status, 0);
  // Two points with the same curve parameter: nothing to march.
  S1785(flat.get(), plane.get(), eps, p1, p1, 1, &status);
  EXPECT_EQ(status, 0);
}

TEST(CurveInSurface, KnotLineCrossingIsCheckedAtTheKnot) {
  // A tent: z = u up to the ridge u = 0.5 (a knot), z = 1 - u after it.
  auto tent = surface({0, 0, 0.5, 1, 1}, {0, 0, 1, 1}, 2, 2,
                      {0, 0, 0, 0.5, 0, 0.5, 1, 0, 0, 0, 1, 0, 0.5, 1, 0.5, 1, 1, 0}, 1, 3);
  const double eps = 1e-4;
  // Over the ridge along v = 0.5: lies in the tent.
  auto over = curve({0, 0, 0.5, 1, 1}, 2, {0, 0.5, 0, 0.5, 0.5, 0.5, 1, 0.5, 0}, 1, 3);
  const double p1[3] = {0, 0, 0.5}, p2[3] = {1, 1, 0.5};
  int status = -7;
  S1785(over.get(), tent.get(), eps, p1, p2, 1, &status);
  EXPECT_EQ(status, 1);
  // Cutting the ridge by a chord from just before it to far after it: the chord dips
  // 1.5 eps below the ridge and comes back within eps of the faces soon after it.
  const double d1 = 0.75 * eps, d2 = 0.3;
  auto cut = curve({0, 0, 1.0 / 3, 2.0 / 3, 1, 1}, 2,
                   {0, 0.5, 0, 0.5 - d1, 0.5, 0.5 - d1, 0.5 + d2, 0.5, 0.5 - d2, 1, 0.5, 0}, 1, 3);
  S1785(cut.get(), tent.get(), eps, p1, p2, 1, &status);
  EXPECT_EQ(status, 0);
}

TEST(CurveInSurface, OtherDimensionsAreRejected) {
  isect_test::ReportLog log;
  auto plane = knotted_plane();
  auto c2 = line({0, 0}, {1, 1});
  const double p1[3] = {0, 0, 0}, p2[3] = {1, 1, 1};
  int status = 0;
  S1785(c2.get(), plane.get(), 1e-6, p1, p2, 1, &status);
  EXPECT_EQ(status, -105);
  EXPECT_TRUE(log.named("S1785"));
}

TEST(CurvePairCoincidence, SameReversedAndLiftedCurves) {
  const double eps = 1e-6;
  auto c = planar_cubic(0.0);
  auto copy = planar_cubic(0.0);
  int status = -7;
  const double p1[2] = {0.1, 0.1}, p2[2] = {0.9, 0.9};
  S1786(c.get(), copy.get(), eps, p1, p2, &status);
  EXPECT_EQ(status, 1);
  // The same curve traced backwards: s = 1 - t.
  auto reversed = curve({0, 0, 0, 0, 0.6, 1, 1, 1, 1}, 4,
                        {0.9, 0.8, 0, 0.8, 0.5, 0, 0.6, 0.2, 0, 0.3, 0.6, 0, 0.1, 0.1, 0}, 1, 3);
  const double r1[2] = {0.1, 0.9}, r2[2] = {0.9, 0.1};
  S1786(c.get(), reversed.get(), eps, r1, r2, &status);
  EXPECT_EQ(status, 1);
  S1786(reversed.get(), c.get(), eps, r1, r2, &status);
  EXPECT_EQ(status, 1);
  // A lifted copy meets at the ends only.
  auto lifted = planar_cubic(10 * eps);
  const double e1[2] = {0.0, 0.0}, e2[2] = {1.0, 1.0};
  S1786(c.get(), lifted.get(), eps, e1, e2, &status);
  EXPECT_EQ(status, 0);
  // The same parameter at both points.
  const double same[2] = {0.5, 0.5};
  S1786(c.get(), copy.get(), eps, same, same, &status);
  EXPECT_EQ(status, 0);
}

TEST(CurvePairCoincidence, DimensionsMustAgree) {
  isect_test::ReportLog log;
  auto a = line({0, 0}, {1, 1});
  auto b = line({0, 0, 0}, {1, 1, 1});
  const double p1[2] = {0, 0}, p2[2] = {1, 1};
  int status = 0;
  S1786(a.get(), b.get(), 1e-6, p1, p2, &status);
  EXPECT_EQ(status, -105);
  EXPECT_TRUE(log.named("S1786"));
}

}  // namespace
