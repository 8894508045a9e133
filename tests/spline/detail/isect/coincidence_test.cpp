#include <gtest/gtest.h>

#include <vector>

#include "spline/detail/isect/coincidence.h"
#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

// A cubic in the plane z = lift * (bump of the middle vertices), over [0, 1] with a knot
// at 0.4.
CurveHandle planar_cubic(double lift) {
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

// The same tent and chords traced from u = 1 down to u = 0: the ridge is crossed
// downwards, and found and checked at the knot as well.
TEST(CurveInSurface, KnotLineCrossedDownwardsIsCheckedAtTheKnot) {
  auto tent = surface({0, 0, 0.5, 1, 1}, {0, 0, 1, 1}, 2, 2,
                      {0, 0, 0, 0.5, 0, 0.5, 1, 0, 0, 0, 1, 0, 0.5, 1, 0.5, 1, 1, 0}, 1, 3);
  const double eps = 1e-4;
  auto over = curve({0, 0, 0.5, 1, 1}, 2, {1, 0.5, 0, 0.5, 0.5, 0.5, 0, 0.5, 0}, 1, 3);
  const double p1[3] = {0, 1, 0.5}, p2[3] = {1, 0, 0.5};
  int status = -7;
  S1785(over.get(), tent.get(), eps, p1, p2, 1, &status);
  EXPECT_EQ(status, 1);
  const double d1 = 0.75 * eps, d2 = 0.3;
  auto cut = curve({0, 0, 1.0 / 3, 2.0 / 3, 1, 1}, 2,
                   {1, 0.5, 0, 0.5 + d2, 0.5, 0.5 - d2, 0.5 - d1, 0.5, 0.5 - d1, 0, 0.5, 0}, 1, 3);
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

namespace {

TEST(PointOnSurfaceStretch, CollapsedEdgesKeepThePoint) {
  using namespace newton_test;
  // The south pole of a sphere is the whole edge v = 0.
  const double c[3] = {0, 0, 0};
  auto s = sphere(c, 1.0);
  auto pole = point({0, 0, -1});
  const double a[2] = {0.5, 0.0}, b[2] = {3.5, 0.0};
  int status = -7;
  s1789(pole.get(), s.get(), 1e-9, a, b, &status);
  EXPECT_EQ(status, 1);
  // Towards the equator the surface leaves the pole.
  const double up[2] = {0.5, 0.5};
  s1789(pole.get(), s.get(), 1e-9, a, up, &status);
  EXPECT_EQ(status, 0);

  // A planar map S(u, v) = (u v, v) sends the edge v = 0 to the origin.
  auto fold = surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, {0, 0, 0, 0, 0, 1, 1, 1}, 1, 2);
  auto origin = point({0, 0});
  const double p1[2] = {0.8, 0.0}, p2[2] = {0.2, 0.0};
  s1789(origin.get(), fold.get(), 1e-9, p1, p2, &status);
  EXPECT_EQ(status, 1);
  const double off[2] = {0.2, 0.3};
  s1789(origin.get(), fold.get(), 1e-9, p1, off, &status);
  EXPECT_EQ(status, 0);
}

TEST(PointOnSurfaceStretch, DimensionsMustAgree) {
  using namespace newton_test;
  isect_test::ReportLog log;
  auto fold = surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, {0, 0, 0, 0, 0, 1, 1, 1}, 1, 2);
  auto p3 = point({0, 0, 0});
  const double a[2] = {0, 0}, b[2] = {1, 0};
  int status = 0;
  s1789(p3.get(), fold.get(), 1e-9, a, b, &status);
  EXPECT_EQ(status, -105);
  EXPECT_TRUE(log.named("s1789"));
}

}  // namespace

namespace {

using namespace newton_test;

// An affine map S(u, v) = base + u a + v b of dimension 2 or 3 over [0, 1]^2, as a
// bilinear patch with a knot line at 0.4 in u and 0.6 in v (vertices at the Greville
// points, which for order 2 are the knots themselves).
SurfaceHandle affine_patch(const std::vector<double>& base, const std::vector<double>& a,
                        const std::vector<double>& b) {
  const std::vector<double> t1 = {0, 0, 0.4, 1, 1}, t2 = {0, 0, 0.6, 1, 1};
  const int dim = static_cast<int>(base.size());
  std::vector<double> v;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i)
      for (int m = 0; m < dim; ++m) v.push_back(base[m] + t1[i + 1] * a[m] + t2[j + 1] * b[m]);
  return surface(t1, t2, 2, 2, v, 1, dim);
}

// Affine maps whose set of parameters taking the value S(p1) is known in closed form:
// the whole square when the map is constant, the line through p1 along the kernel of
// the derivative when it has rank 1, p1 alone when it has rank 2.  On the convex square
// the two points are joined exactly when p2 lies in that set.
struct AffineCase {
  const char* what;
  std::vector<double> base, a, b;
  double p1[2], p2[2];
  int expected;
};

TEST(PointOnSurfaceStretch, AffineMapsWithKnownLevelSets) {
  const AffineCase cases[] = {
      // Equal first derivatives: the level line runs at -45 degrees.
      {"(u + v, c)", {0, 0.3}, {1, 0}, {1, 0}, {0.2, 0.8}, {0.8, 0.2}, 1},
      {"(u + v, c) backwards", {0, 0.3}, {1, 0}, {1, 0}, {0.7, 0.1}, {0.1, 0.7}, 1},
      {"(-u - v, c)", {0, 0.3}, {-1, 0}, {-1, 0}, {0.2, 0.8}, {0.8, 0.2}, 1},
      {"(c, u + v)", {0.3, 0}, {0, 1}, {0, 1}, {0.9, 0.3}, {0.3, 0.9}, 1},
      {"(u + v, 2u + 2v)", {0, 0}, {1, 2}, {1, 2}, {0.25, 0.5}, {0.55, 0.2}, 1},
      {"(2u + 2v, -u - v)", {0, 0}, {2, -1}, {2, -1}, {0.25, 0.5}, {0.55, 0.2}, 1},
      // Opposite first derivatives: +45 degrees.
      {"(u - v, c)", {0, 0.3}, {1, 0}, {-1, 0}, {0.1, 0.1}, {0.9, 0.9}, 1},
      {"(c, v - u)", {0.3, 0}, {0, -1}, {0, 1}, {0.9, 0.9}, {0.1, 0.1}, 1},
      // Unequal derivatives, of either sign.
      {"(u + 2v, c)", {0, 0.3}, {1, 0}, {2, 0}, {0.8, 0.1}, {0.2, 0.4}, 1},
      {"(-u - 2v, c)", {0, 0.3}, {-1, 0}, {-2, 0}, {0.8, 0.1}, {0.2, 0.4}, 1},
      {"(c, -2u - v)", {0.3, 0}, {0, -2}, {0, -1}, {0.1, 0.8}, {0.4, 0.2}, 1},
      // One derivative zero: the level lines are parameter lines.
      {"(c, v)", {0.3, 0}, {0, 0}, {0, 1}, {0.1, 0.5}, {0.9, 0.5}, 1},
      {"(u, c)", {0, 0.3}, {1, 0}, {0, 0}, {0.5, 0.9}, {0.5, 0.1}, 1},
      {"(-v, c)", {0, 0.3}, {0, 0}, {-1, 0}, {0.9, 0.5}, {0.1, 0.5}, 1},
      // Both zero: a constant map keeps the point everywhere.
      {"constant", {0.3, 0.7}, {0, 0}, {0, 0}, {0.1, 0.2}, {0.9, 0.7}, 1},
      // Points on different level lines, and a map of rank 2.
      {"(u + v, c) across levels", {0, 0.3}, {1, 0}, {1, 0}, {0.2, 0.8}, {0.8, 0.8}, 0},
      {"(u - v, c) across levels", {0, 0.3}, {1, 0}, {-1, 0}, {0.2, 0.8}, {0.8, 0.2}, 0},
      {"(u + v, u - v)", {0, 0}, {1, 1}, {1, -1}, {0.2, 0.8}, {0.8, 0.2}, 0},
      {"(c, v) across levels", {0.3, 0}, {0, 0}, {0, 1}, {0.1, 0.5}, {0.9, 0.6}, 0},
      // In space the march runs straight between the points.
      {"(u + v, c, d)", {0, 0.3, 0.5}, {1, 0, 0}, {1, 0, 0}, {0.2, 0.8}, {0.8, 0.2}, 1},
      {"(u - v, c, d)", {0, 0.3, 0.5}, {1, 0, 0}, {-1, 0, 0}, {0.9, 0.9}, {0.1, 0.1}, 1},
      {"(u, v, c)", {0, 0, 0.5}, {1, 0, 0}, {0, 1, 0}, {0.2, 0.8}, {0.8, 0.2}, 0},
  };
  const double eps = 1e-7;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto s = affine_patch(c.base, c.a, c.b);
    const auto at = eval_surface(s.get(), c.p1[0], c.p1[1]);
    auto p = point(at);
    int status = -7;
    s1789(p.get(), s.get(), eps, c.p1, c.p2, &status);
    EXPECT_EQ(status, c.expected);
  }
}

// S(u, v) = (w, w^2) (or (w^2, w)) with w = w0 + alpha u + beta v, biquadratic with a
// knot line at 0.4 in u and 0.6 in v.  The image is a parabola and the map has rank 1,
// so the parameters taking the value S(p1) form the line alpha u + beta v = w(p1);
// along any other direction the image curves, which keeps the curvature steps short.
SurfaceHandle parabola_patch(double w0, double alpha, double beta, bool swapped) {
  const std::vector<double> t1 = {0, 0, 0, 0.4, 1, 1, 1}, t2 = {0, 0, 0, 0.6, 1, 1, 1};
  auto w = [&](double u, double v) { return w0 + alpha * u + beta * v; };
  std::vector<double> c;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      // Blossoms of w and of w^2 at the knot pairs of the vertex.
      const double u1 = t1[i + 1], u2 = t1[i + 2], v1 = t2[j + 1], v2 = t2[j + 2];
      const double lin = w0 + alpha * 0.5 * (u1 + u2) + beta * 0.5 * (v1 + v2);
      const double sq = 0.5 * (w(u1, v1) * w(u2, v2) + w(u2, v1) * w(u1, v2));
      c.push_back(swapped ? sq : lin);
      c.push_back(swapped ? lin : sq);
    }
  return surface(t1, t2, 3, 3, c, 1, 2);
}

TEST(PointOnSurfaceStretch, ParabolaImagesWithStraightLevelLines) {
  struct Case {
    const char* what;
    double alpha, beta;
    bool swapped;
    double p1[2];
    double p2u;  // u of the second point (its v when beta = 0)
    bool off;
  };
  const Case cases[] = {
      {"w = u + v", 1, 1, false, {0.2, 0.5}, 0.6, false},
      {"w = u + v backwards", 1, 1, false, {0.6, 0.1}, 0.2, false},
      {"w = u + v across the square", 1, 1, false, {0.9, 0.1}, 0.1, false},
      {"w = u + v swapped", 1, 1, true, {0.2, 0.5}, 0.6, false},
      {"w = -u - v", -1, -1, false, {0.6, 0.1}, 0.2, false},
      {"w = -u - v swapped", -1, -1, true, {0.2, 0.5}, 0.6, false},
      {"w = u - v", 1, -1, false, {0.2, 0.1}, 0.7, false},
      {"w = v - u backwards", -1, 1, true, {0.7, 0.6}, 0.2, false},
      {"w = u + 2v", 1, 2, false, {0.9, 0.1}, 0.1, false},
      {"w = -u - 2v", -1, -2, false, {0.1, 0.5}, 0.9, false},
      {"w = 2u + v swapped", 2, 1, true, {0.3, 0.7}, 0.6, false},
      {"w = v", 0, 1, false, {0.1, 0.3}, 0.9, false},
      {"w = -u", -1, 0, true, {0.3, 0.9}, 0.3, false},
      {"w = u + v off the level line", 1, 1, false, {0.2, 0.5}, 0.6, true},
      {"w = u - v off the level line", 1, -1, false, {0.2, 0.1}, 0.7, true},
  };
  const double eps = 1e-7;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto s = parabola_patch(0.2, c.alpha, c.beta, c.swapped);
    // The second point on the level line of the first (off it by 0.05 in v when off).
    double p2[2] = {c.p1[0], c.p2u};
    if (c.beta != 0.0) {
      p2[0] = c.p2u;
      p2[1] = c.p1[1] + c.alpha * (c.p1[0] - c.p2u) / c.beta;
    }
    if (c.off) p2[1] += 0.05;
    ASSERT_GE(p2[1], 0.0);
    ASSERT_LE(p2[1], 1.0);
    const auto at = eval_surface(s.get(), c.p1[0], c.p1[1]);
    const double gap = dist(eval_surface(s.get(), p2[0], p2[1]), at);
    ASSERT_TRUE(c.off ? gap > 1e-3 : gap < 1e-14) << gap;
    auto p = point(at);
    int status = -7;
    s1789(p.get(), s.get(), eps, c.p1, p2, &status);
    EXPECT_EQ(status, c.off ? 0 : 1);
  }
}

// S(u, v) = (u + v + 4 h u (1 - u), c): quadratic in u, linear in v.  The parameters
// taking the value (1.1, c) form the curve v = 1.1 - u - 4 h u (1 - u), a parabola that
// dips below v = 0 between the two points for the larger h; dense sampling of it tells
// whether it stays in the square.  At u = 1/2 the two first derivatives are equal.
TEST(PointOnSurfaceStretch, CurvedLevelLineThroughEqualDerivatives) {
  const double eps = 1e-7;
  for (double h : {0.0, 0.1, 0.3, 0.5, 0.7}) {
    SCOPED_TRACE(h);
    const std::vector<double> g = {0, 0.5 + 2 * h, 1};
    std::vector<double> v;
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 3; ++i) {
        v.push_back(g[i] + j);
        v.push_back(0.3);
      }
    auto s = surface({0, 0, 0, 1, 1, 1}, {0, 0, 1, 1}, 3, 2, v, 1, 2);
    auto level = [h](double u) { return 1.1 - u - 4 * h * u * (1 - u); };
    const double u1 = 0.2, u2 = 0.95;
    const double p1[2] = {u1, level(u1)}, p2[2] = {u2, level(u2)};
    bool inside = true;
    for (int i = 0; i <= 10000; ++i) {
      const double l = level(u1 + (u2 - u1) * i / 10000.0);
      inside = inside && l >= 0.0 && l <= 1.0;
    }
    auto p = point({1.1, 0.3});
    ASSERT_LT(dist(eval_surface(s.get(), p1[0], p1[1]), {1.1, 0.3}), 1e-14);
    ASSERT_LT(dist(eval_surface(s.get(), p2[0], p2[1]), {1.1, 0.3}), 1e-14);
    int status = -7;
    s1789(p.get(), s.get(), eps, p1, p2, &status);
    EXPECT_EQ(status, inside ? 1 : 0);
    s1789(p.get(), s.get(), eps, p2, p1, &status);
    EXPECT_EQ(status, inside ? 1 : 0);
  }
}

}  // namespace

namespace {

using namespace newton_test;

// Straight segments from a to b, of order 2, or of order 3 with the first vertex doubled
// (the derivative vanishes at the start, the same point set), or of order 3 traced from
// b back to a.
enum class Trace { kLinear, kStill, kBackwards };

CurveHandle segment(const std::vector<double>& a, const std::vector<double>& b, Trace how) {
  if (how == Trace::kLinear) return line(a, b);
  std::vector<double> v;
  const auto& p = how == Trace::kBackwards ? b : a;
  const auto& q = how == Trace::kBackwards ? a : b;
  for (const auto* x : {&p, &p, &q})
    for (double c : *x) v.push_back(c);
  if (how == Trace::kBackwards) {
    // Quadratic with the middle vertex halfway: uniform speed, reversed.
    for (size_t m = 0; m < p.size(); ++m) v[p.size() + m] = 0.5 * (p[m] + q[m]);
  }
  return curve({0, 0, 0, 1, 1, 1}, 3, v, 1, static_cast<int>(a.size()));
}

// Parameter of the point x on the segment traced as above (closed form).
double segment_param(const std::vector<double>& a, const std::vector<double>& b, Trace how,
                     const std::vector<double>& x) {
  double num = 0, den = 0;
  for (size_t m = 0; m < a.size(); ++m) {
    num += (x[m] - a[m]) * (b[m] - a[m]);
    den += (b[m] - a[m]) * (b[m] - a[m]);
  }
  const double f = num / den;  // fraction of the way from a to b
  switch (how) {
    case Trace::kLinear:
      return f;
    case Trace::kStill:
      return std::sqrt(f);  // a + s^2 (b - a)
    case Trace::kBackwards:
      return 1.0 - f;
  }
  return f;
}

// Segments in the plane z = 0 (the knotted plane, knot lines u = 0.5 and v = 0.5) at
// 0, 90, +-45 and 135 degrees, one through the crossing of both knot lines, traced
// forwards, from a standing start or backwards.  A segment lifted by 10 aepsge does not
// lie in the plane.
TEST(CurveInSurface, SegmentsInAPlaneAtAllDirections) {
  auto plane = knotted_plane();
  const double eps = 1e-6;
  struct Case {
    const char* what;
    std::vector<double> a, b;
    Trace how;
    double lift;
  };
  const Case cases[] = {
      {"along u", {0.1, 0.3, 0}, {0.9, 0.3, 0}, Trace::kLinear, 0},
      {"along v", {0.7, 0.9, 0}, {0.7, 0.1, 0}, Trace::kLinear, 0},
      {"+45 through the knot crossing", {0.1, 0.1, 0}, {0.9, 0.9, 0}, Trace::kLinear, 0},
      {"-45 through the knot crossing", {0.1, 0.9, 0}, {0.9, 0.1, 0}, Trace::kLinear, 0},
      {"135", {0.9, 0.2, 0}, {0.2, 0.9, 0}, Trace::kLinear, 0},
      {"225 through the knot crossing", {0.8, 0.8, 0}, {0.2, 0.2, 0}, Trace::kLinear, 0},
      {"+45 standing start", {0.1, 0.1, 0}, {0.9, 0.9, 0}, Trace::kStill, 0},
      {"-45 standing start", {0.9, 0.1, 0}, {0.1, 0.9, 0}, Trace::kStill, 0},
      {"+45 backwards", {0.1, 0.1, 0}, {0.9, 0.9, 0}, Trace::kBackwards, 0},
      {"-45 backwards", {0.1, 0.9, 0}, {0.9, 0.1, 0}, Trace::kBackwards, 0},
      {"on the knot line u = 0.5", {0.5, 0.1, 0}, {0.5, 0.9, 0}, Trace::kLinear, 0},
      {"lifted", {0.1, 0.1, 0}, {0.9, 0.9, 0}, Trace::kLinear, 10 * eps},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A lifted segment touches the plane at its ends only: a bent polyline a, m, b.
    CurveHandle crv = segment(c.a, c.b, c.how);
    if (c.lift > 0) {
      std::vector<double> v = c.a;
      for (int m = 0; m < 3; ++m) v.push_back(0.5 * (c.a[m] + c.b[m]) + (m == 2 ? c.lift : 0));
      v.insert(v.end(), c.b.begin(), c.b.end());
      crv = curve({0, 0, 0.5, 1, 1}, 2, v, 1, 3);
    }
    const double ta = c.lift > 0 ? 0.0 : segment_param(c.a, c.b, c.how, c.a);
    const double tb = c.lift > 0 ? 1.0 : segment_param(c.a, c.b, c.how, c.b);
    const double p1[3] = {ta, c.a[0], c.a[1]}, p2[3] = {tb, c.b[0], c.b[1]};
    int status = -7;
    S1785(crv.get(), plane.get(), eps, p1, p2, 1, &status);
    EXPECT_EQ(status, c.lift > 0 ? 0 : 1);
    S1785(crv.get(), plane.get(), eps, p2, p1, 1, &status);
    EXPECT_EQ(status, c.lift > 0 ? 0 : 1);
  }
}

// Two traces of one segment (plane and space, at 0, 90, +-45 degrees): forwards,
// from a standing start or backwards against each other, the same trace twice (equal
// derivatives everywhere).  A parallel segment 10 aepsge away does not coincide.
TEST(CurvePairCoincidence, TracesOfOneSegmentAtAllDirections) {
  const double eps = 1e-6;
  struct Case {
    const char* what;
    std::vector<double> a, b;
    Trace first, second;
    double shift;
  };
  const Case cases[] = {
      {"same trace", {0.1, 0.2}, {0.9, 0.7}, Trace::kLinear, Trace::kLinear, 0},
      {"+45 against backwards", {0, 0}, {1, 1}, Trace::kLinear, Trace::kBackwards, 0},
      {"-45 against backwards", {0, 1}, {1, 0}, Trace::kLinear, Trace::kBackwards, 0},
      {"-45 backwards against linear", {0, 1}, {1, 0}, Trace::kBackwards, Trace::kLinear, 0},
      {"+45 standing start", {0, 0}, {1, 1}, Trace::kLinear, Trace::kStill, 0},
      {"standing start first", {0, 0}, {1, -1}, Trace::kStill, Trace::kLinear, 0},
      {"both standing", {0, 0}, {1, -1}, Trace::kStill, Trace::kStill, 0},
      {"standing against backwards", {0, 1}, {0, 0}, Trace::kStill, Trace::kBackwards, 0},
      {"along x", {0, 0.5}, {2, 0.5}, Trace::kLinear, Trace::kBackwards, 0},
      {"space diagonal", {0, 0, 0}, {1, 1, 1}, Trace::kLinear, Trace::kBackwards, 0},
      {"space, standing", {1, 0, 0}, {0, 1, -1}, Trace::kStill, Trace::kLinear, 0},
      {"line of values", {0.2}, {1.4}, Trace::kLinear, Trace::kBackwards, 0},
      {"parallel", {0, 0}, {1, 1}, Trace::kLinear, Trace::kLinear, 10 * eps},
      {"parallel, backwards", {0, 1}, {1, 0}, Trace::kLinear, Trace::kBackwards, 10 * eps},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto one = segment(c.a, c.b, c.first);
    std::vector<double> a2 = c.a, b2 = c.b;
    a2.back() += c.shift;
    b2.back() += c.shift;
    auto two = segment(a2, b2, c.second);
    // Both traces meet at the ends only when shifted; the points are the segment's ends.
    const double p1[2] = {segment_param(c.a, c.b, c.first, c.a),
                          segment_param(a2, b2, c.second, a2)};
    const double p2[2] = {segment_param(c.a, c.b, c.first, c.b),
                          segment_param(a2, b2, c.second, b2)};
    int status = -7;
    S1786(one.get(), two.get(), eps, p1, p2, &status);
    EXPECT_EQ(status, c.shift > 0 ? 0 : 1);
    S1786(one.get(), two.get(), eps, p2, p1, &status);
    EXPECT_EQ(status, c.shift > 0 ? 0 : 1);
    const double q1[2] = {p1[1], p1[0]}, q2[2] = {p2[1], p2[0]};
    S1786(two.get(), one.get(), eps, q1, q2, &status);
    EXPECT_EQ(status, c.shift > 0 ? 0 : 1);
  }
}

}  // namespace

namespace {

using namespace newton_test;

// A bent path a -> b -> c as polylines of order 2 with the bend at a knot: both traced
// the same way, against each other, with the bend at different parameters; either
// curve leading.  The same path with its bend moved off by 10 aepsge does not coincide.
TEST(CurvePairCoincidence, PolylinesBentAtAKnot) {
  const double eps = 1e-6;
  const std::vector<double> a = {0, 0, 0}, b = {1, 1, 0.5}, c = {2, 0.2, 0};
  auto path = [&](double knot, bool backwards, double bend_shift) {
    std::vector<double> mid = b;
    mid[2] += bend_shift;
    const auto& first = backwards ? c : a;
    const auto& last = backwards ? a : c;
    std::vector<double> v = first;
    v.insert(v.end(), mid.begin(), mid.end());
    v.insert(v.end(), last.begin(), last.end());
    return curve({0, 0, knot, 1, 1}, 2, v, 1, 3);
  };
  struct Case {
    double knot1, knot2;
    bool backwards2;
    double shift;
  };
  const Case cases[] = {
      {0.5, 0.5, false, 0}, {0.3, 0.7, false, 0}, {0.5, 0.5, true, 0},
      {0.3, 0.6, true, 0},  {0.8, 0.2, true, 0},  {0.5, 0.5, false, 10 * eps},
      {0.4, 0.4, true, 10 * eps},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.knot1 << " " << k.knot2 << " " << k.backwards2 << " "
                                      << k.shift);
    auto one = path(k.knot1, false, 0.0);
    auto two = path(k.knot2, k.backwards2, k.shift);
    const double s0 = k.backwards2 ? 1.0 : 0.0;
    const double p1[2] = {0.0, s0}, p2[2] = {1.0, 1.0 - s0};
    const int expected = k.shift > 0 ? 0 : 1;
    int status = -7;
    S1786(one.get(), two.get(), eps, p1, p2, &status);
    EXPECT_EQ(status, expected);
    const double q1[2] = {s0, 0.0}, q2[2] = {1.0 - s0, 1.0};
    S1786(two.get(), one.get(), eps, q1, q2, &status);
    EXPECT_EQ(status, expected);
  }
}

}  // namespace

namespace {

using namespace newton_test;

// The plane z = 0 as a biquadratic patch with a double knot at 0.5 in u and a simple
// one at 0.5 in v (vertices at the Greville points, so S(u, v) = (u, v, 0)); segments
// across the double knot line both ways, along it, and through its crossing with the
// other knot line.
TEST(CurveInSurface, SegmentsAcrossADoubleKnotLine) {
  const std::vector<double> t1 = {0, 0, 0, 0.5, 0.5, 1, 1, 1}, t2 = {0, 0, 0, 0.5, 1, 1, 1};
  const double g1[5] = {0, 0.25, 0.5, 0.75, 1}, g2[4] = {0, 0.25, 0.75, 1};
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 5; ++i) {
      v.push_back(g1[i]);
      v.push_back(g2[j]);
      v.push_back(0);
    }
  auto plane = surface(t1, t2, 3, 3, v, 1, 3);
  const double eps = 1e-6;
  const double ends[][4] = {{0.1, 0.3, 0.9, 0.4}, {0.9, 0.4, 0.1, 0.3}, {0.5, 0.1, 0.5, 0.9},
                            {0.5, 0.9, 0.5, 0.1}, {0.2, 0.2, 0.8, 0.8}, {0.8, 0.2, 0.2, 0.8},
                            {0.8, 0.8, 0.2, 0.2}};
  for (const auto& e : ends) {
    SCOPED_TRACE(::testing::Message() << e[0] << " " << e[1] << " -> " << e[2] << " " << e[3]);
    auto seg = line({e[0], e[1], 0}, {e[2], e[3], 0});
    const double p1[3] = {0, e[0], e[1]}, p2[3] = {1, e[2], e[3]};
    int status = -7;
    S1785(seg.get(), plane.get(), eps, p1, p2, 1, &status);
    EXPECT_EQ(status, 1);
    auto lifted = curve({0, 0, 0.5, 1, 1}, 2,
                        {e[0], e[1], 0, 0.5 * (e[0] + e[2]), 0.5 * (e[1] + e[3]), 10 * eps, e[2],
                         e[3], 0},
                        1, 3);
    S1785(lifted.get(), plane.get(), eps, p1, p2, 1, &status);
    EXPECT_EQ(status, 0);
  }
}

}  // namespace

namespace {

using namespace newton_test;

// The plane z = 0 as a biquadratic patch with knots every 0.05 in both directions
// (vertices at the Greville points): a step of the march passes several knot lines.
TEST(CurveInSurface, SegmentsAcrossManyKnotLines) {
  std::vector<double> t = {0, 0, 0};
  for (int i = 1; i < 20; ++i) t.push_back(0.05 * i);
  t.insert(t.end(), {1, 1, 1});
  const int n = static_cast<int>(t.size()) - 3;
  std::vector<double> v;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      v.push_back(0.5 * (t[i + 1] + t[i + 2]));
      v.push_back(0.5 * (t[j + 1] + t[j + 2]));
      v.push_back(0);
    }
  auto plane = surface(t, t, 3, 3, v, 1, 3);
  const double eps = 1e-6;
  const double ends[][4] = {{0.02, 0.03, 0.97, 0.98}, {0.97, 0.98, 0.02, 0.03},
                            {0.02, 0.98, 0.97, 0.03}, {0.97, 0.03, 0.02, 0.98},
                            {0.01, 0.5, 0.99, 0.5},   {0.5, 0.99, 0.5, 0.01},
                            {0.1, 0.1, 0.9, 0.9}};
  for (const auto& e : ends) {
    SCOPED_TRACE(::testing::Message() << e[0] << " " << e[1] << " -> " << e[2] << " " << e[3]);
    for (Trace how : {Trace::kLinear, Trace::kStill, Trace::kBackwards}) {
      const std::vector<double> a = {e[0], e[1], 0}, b = {e[2], e[3], 0};
      auto seg = segment(a, b, how);
      const double p1[3] = {segment_param(a, b, how, a), e[0], e[1]};
      const double p2[3] = {segment_param(a, b, how, b), e[2], e[3]};
      int status = -7;
      S1785(seg.get(), plane.get(), eps, p1, p2, 1, &status);
      EXPECT_EQ(status, 1) << static_cast<int>(how);
    }
  }
}

}  // namespace
