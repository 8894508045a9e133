// Closest points between two curves, of a surface to a point, and the greatest extent of
// a surface in a direction, against closed forms and dense sampling.
#include "spline/handles.h"
#include "spline/isect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/edit.h"
#include "spline/interp.h"
#include "spline/detail/isect/isect_records.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

struct curve_result {
  int status = 0;
  int points = 0;
  double* s = nullptr;
  double* t = nullptr;
  int curves = 0;
  isect_curve** list = nullptr;
  ~curve_result() {
    std::free(s);
    std::free(t);
    destroy_isect_curve_array(list, curves);
  }
};

struct surface_result {
  int status = 0;
  int points = 0;
  double* uv = nullptr;
  int curves = 0;
  isect_curve** list = nullptr;
  ~surface_result() {
    std::free(uv);
    destroy_isect_curve_array(list, curves);
  }
};

void closest(const spline_curve* a, const spline_curve* b, curve_result& r,
             double epsge = 0.001) {
  s1955(a, b, 0.0, epsge, &r.points, &r.s, &r.t, &r.curves, &r.list, &r.status);
}

// Contour of radius 60 + 8 cos 3θ about the origin sampled at count points.
std::vector<double> wobbly_points(int count, double phase = 0.0) {
  std::vector<double> p;
  for (int i = 0; i < count; ++i) {
    const double a = phase + 2.0 * M_PI * i / count;
    const double r = 60.0 + 8.0 * std::cos(3.0 * a);
    p.push_back(r * std::cos(a));
    p.push_back(r * std::sin(a));
  }
  return p;
}

CurveHandle contour(int count, int open_flag, double phase = 0.0) {
  const auto p = wobbly_points(count, phase);
  spline_curve* c = nullptr;
  int st = 0;
  s1630(p.data(), count, 0.0, open_flag, 2, 4, &c, &st);
  EXPECT_GE(st, 0);
  return CurveHandle(c);
}

// Crossing of the ray from the origin along dir with the curve: sign changes of the
// side function on dense samples, refined by bisection; the outermost one in front.
std::vector<double> ray_crossing(const spline_curve* c, const double dir[2]) {
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  auto side = [&](double t) {
    const auto p = eval_curve(c, t);
    return dir[0] * p[1] - dir[1] * p[0];
  };
  std::vector<double> best;
  const int samples = 5000;
  for (int i = 0; i < samples; ++i) {
    double lo = a + (b - a) * i / samples, hi = a + (b - a) * (i + 1) / samples;
    if (side(lo) * side(hi) > 0.0) continue;
    for (int it = 0; it < 80; ++it) {
      const double m = (lo + hi) / 2;
      (side(lo) * side(m) <= 0.0 ? hi : lo) = m;
    }
    const auto p = eval_curve(c, (lo + hi) / 2);
    if (p[0] * dir[0] + p[1] * dir[1] > 0.0) best = p;
  }
  return best;
}

TEST(ClosestCurves, SegmentAgainstRationalCircleMeetsAtTheCrossing) {
  auto seg = line({256, 256}, {0, 0});
  auto circ = circle(0, 0, 60);
  curve_result r;
  closest(seg.get(), circ.get(), r);
  ASSERT_EQ(r.status, 0);
  ASSERT_GE(r.points, 1);
  const double e = 60.0 / std::sqrt(2.0);
  const auto p = eval_curve(circ.get(), r.t[0]);
  EXPECT_NEAR(p[0], e, 1e-3);
  EXPECT_NEAR(p[1], e, 1e-3);
  // Every point returned is a crossing within the squared-distance tolerance.
  for (int i = 0; i < r.points; ++i) {
    EXPECT_LT(dist(eval_curve(seg.get(), r.s[i]), eval_curve(circ.get(), r.t[i])), 0.04);
    EXPECT_NEAR(eval_curve(circ.get(), r.t[i])[0], e, 0.05);
  }
}

TEST(ClosestCurves, RayAgainstClosedOrderFourContourAtManyAngles) {
  for (int open_flag : {0, -1}) {
    auto c = contour(100, open_flag);
    ASSERT_NE(c, nullptr);
    for (double angle : {0.3, 1.1, 2.0, 2.9, 3.7, 4.4, 5.5, 6.1}) {
      SCOPED_TRACE(testing::Message() << "open flag " << open_flag << " angle " << angle);
      const double dir[2] = {std::cos(angle), std::sin(angle)};
      auto seg = line({0, 0}, {200 * dir[0], 200 * dir[1]});
      curve_result r;
      closest(seg.get(), c.get(), r);
      ASSERT_EQ(r.status, 0);
      ASSERT_GE(r.points, 1);
      const auto want = ray_crossing(c.get(), dir);
      ASSERT_EQ(want.size(), 2u);
      const auto got = eval_curve(c.get(), r.t[0]);
      EXPECT_LT(dist(got, want), 1e-3);
    }
  }
}

TEST(ClosestCurves, SeamPointOfAPeriodicCurveComesOnce) {
  auto c = contour(40, -1);
  ASSERT_NE(c, nullptr);
  const double start = c->knots[c->order - 1];
  const auto p0 = eval_curve(c.get(), start);
  auto seg = line({0, 0}, {2 * p0[0], 2 * p0[1]});
  curve_result r;
  closest(seg.get(), c.get(), r);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.curves, 0);
  int at_seam = 0;
  for (int i = 0; i < r.points; ++i) {
    EXPECT_NE(r.t[i], c->knots[c->vertex_count]);
    if (dist(eval_curve(c.get(), r.t[i]), p0) < 0.05) ++at_seam;
  }
  EXPECT_EQ(at_seam, r.points);
  EXPECT_GE(r.points, 1);
  EXPECT_LE(r.points, 1);
}

TEST(ClosestCurves, SameCurveAndReversedCopyGiveTheWholeStretch) {
  auto c = contour(12, 1);
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  spline_curve* rev = copy_curve(c.get());
  reverse_curve(rev);
  CurveHandle reversed(rev);
  struct Case {
    const spline_curve* other;
    double t0, t1;
  } cases[] = {{c.get(), a, b}, {reversed.get(), b, a}};
  for (const Case& k : cases) {
    curve_result r;
    closest(c.get(), k.other, r);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.points, 0);
    ASSERT_EQ(r.curves, 1);
    const isect_curve* s = r.list[0];
    EXPECT_EQ(s->curve_type, 4);
    ASSERT_EQ(s->point_count, 2);
    EXPECT_EQ(s->param_count1, 1);
    EXPECT_EQ(s->param_count2, 1);
    EXPECT_DOUBLE_EQ(s->params1[0], a);
    EXPECT_DOUBLE_EQ(s->params1[1], b);
    EXPECT_DOUBLE_EQ(s->params2[0], k.t0);
    EXPECT_DOUBLE_EQ(s->params2[1], k.t1);
  }
}

TEST(ClosestCurves, SamePolygonOnOtherKnotsIsSearched) {
  const std::vector<double> verts = {0, 0, 1, 2, 2, -1, 3, 1, 4, 0};
  auto a = curve({0, 0, 0, 0, 0.5, 1, 1, 1, 1}, 4, verts, 1, 2);
  auto b = curve({0, 0, 0, 0, 0.2, 1, 1, 1, 1}, 4, verts, 1, 2);
  curve_result r;
  closest(a.get(), b.get(), r);
  ASSERT_EQ(r.status, 0);
  // Not the whole-range shortcut: what comes back are real meeting places.
  for (int i = 0; i < r.points; ++i)
    EXPECT_LT(dist(eval_curve(a.get(), r.s[i]), eval_curve(b.get(), r.t[i])), 0.04);
  for (int i = 0; i < r.curves; ++i)
    for (int j = 0; j < r.list[i]->point_count; ++j)
      EXPECT_LT(dist(eval_curve(a.get(), r.list[i]->params1[j]),
                     eval_curve(b.get(), r.list[i]->params2[j])),
                0.04);
  const bool shortcut = r.points == 0 && r.curves == 1 && r.list[0]->point_count == 2 &&
                        r.list[0]->params1[0] == 0.0 && r.list[0]->params1[1] == 1.0;
  EXPECT_FALSE(shortcut);
  EXPECT_GT(r.points + r.curves, 0);
}

TEST(ClosestCurves, DisjointCurvesGiveTheClosedFormNearestPair) {
  // Parabola y = x^2 + 1 against the segment y = 0: nearest at x = 0.
  auto par = poly_curve({{0, 1}, {1, 0, 1}}, {-1, -1, -1, 1, 1, 1}, 3);
  auto seg = line({-2, 0}, {2, 0});
  curve_result r;
  closest(par.get(), seg.get(), r, 1e-6);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.points, 1);
  EXPECT_NEAR(r.s[0], 0.0, 1e-3);
  EXPECT_NEAR(eval_curve(seg.get(), r.t[0])[0], 0.0, 1e-3);
}

TEST(ClosestCurves, ShortRayInsideAContourComesClosestAtItsEnd) {
  auto c = contour(60, -1);
  const double dir[2] = {std::cos(0.9), std::sin(0.9)};
  auto seg = line({0, 0}, {30 * dir[0], 30 * dir[1]});
  curve_result r;
  closest(seg.get(), c.get(), r, 1e-6);
  ASSERT_EQ(r.status, 0);
  ASSERT_GE(r.points, 1);
  // Oracle: the segment's outer end against dense samples of the contour, refined by
  // ternary search around the best sample.
  const std::vector<double> end = {30 * dir[0], 30 * dir[1]};
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  const int m = 20000;
  int best = 0;
  for (int i = 1; i < m; ++i)
    if (dist(end, eval_curve(c.get(), a + (b - a) * i / m)) <
        dist(end, eval_curve(c.get(), a + (b - a) * best / m)))
      best = i;
  double lo = a + (b - a) * (best - 1) / m, hi = a + (b - a) * (best + 1) / m;
  for (int it = 0; it < 100; ++it) {
    const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    if (dist(end, eval_curve(c.get(), m1)) < dist(end, eval_curve(c.get(), m2)))
      hi = m2;
    else
      lo = m1;
  }
  const auto want = eval_curve(c.get(), (lo + hi) / 2);
  EXPECT_NEAR(r.s[0], 1.0, 1e-9);
  EXPECT_LT(dist(eval_curve(c.get(), r.t[0]), want), 1e-3);
}

TEST(ClosestCurves, DimensionsMustAgree) {
  auto a = line({0, 0}, {1, 1});
  auto b = line({0, 0, 0}, {1, 1, 1});
  curve_result r;
  closest(a.get(), b.get(), r);
  EXPECT_EQ(r.status, -106);
  EXPECT_EQ(r.points, 0);
  EXPECT_EQ(r.curves, 0);
  double p[2] = {0, 0};
  surface_result q;
  const double c[3] = {0, 0, 0};
  auto sph = sphere(c, 1.0);
  s1954(sph.get(), p, 2, 0.0, 1e-6, &q.points, &q.uv, &q.curves, &q.list, &q.status);
  EXPECT_EQ(q.status, -106);
}

TEST(ClosestCurves, DifferenceSurfaceAndCoincidenceCodes) {
  auto a = line({0, 0}, {1, 2});
  auto b = line({0, 0}, {1, 2});
  auto c = line({1, 2}, {0, 0});
  auto d = line({1, 2}, {0, 1});
  struct Case {
    const spline_curve* other;
    int code;
  } cases[] = {{b.get(), 1}, {c.get(), 2}, {d.get(), 0}};
  for (const Case& k : cases) {
    spline_surface* s = nullptr;
    int st = -1;
    s1956(a.get(), k.other, &s, &st);
    const SurfaceHandle owned_s1(s);
    EXPECT_EQ(st, k.code);
    ASSERT_NE(s, nullptr);
    // D(s, t) = a(s) - b(t) at a few places.
    for (double u : {0.0, 0.3, 1.0})
      for (double v : {0.0, 0.6, 1.0}) {
        const auto got = eval_surface(s, u, v);
        const auto pa = eval_curve(a.get(), u), pb = eval_curve(k.other, v);
        EXPECT_NEAR(got[0], pa[0] - pb[0], 1e-12);
        EXPECT_NEAR(got[1], pa[1] - pb[1], 1e-12);
      }
  }
  // Rational against polynomial: the homogeneous difference has the true values.
  auto circ = circle(0, 0, 2);
  spline_surface* s = nullptr;
  int st = -1;
  s1956(circ.get(), a.get(), &s, &st);
  const SurfaceHandle owned_s2(s);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(s->kind, 2);
  for (double u : {0.5, 1.7, 3.2}) {
    const auto got = eval_surface(s, u, 0.4);
    const auto pa = eval_curve(circ.get(), u), pb = eval_curve(a.get(), 0.4);
    EXPECT_NEAR(got[0], pa[0] - pb[0], 1e-12);
    EXPECT_NEAR(got[1], pa[1] - pb[1], 1e-12);
  }
}

// Rational torus about the z axis: big radius R, small radius r.
SurfaceHandle torus(double R, double r) {
  const double w = std::sqrt(0.5);
  const double xy[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0},
                           {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  std::vector<double> v;
  for (int j = 0; j < 9; ++j)
    for (int i = 0; i < 9; ++i) {
      const double wi = i % 2 ? w : 1.0, wj = j % 2 ? w : 1.0, ww = wi * wj;
      const double X = R + r * xy[j][0], Z = r * xy[j][1];
      v.push_back(ww * X * xy[i][0]);
      v.push_back(ww * X * xy[i][1]);
      v.push_back(ww * Z);
      v.push_back(ww);
    }
  const std::vector<double> t = {0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4};
  return surface(t, t, 3, 3, v, 2, 3);
}

TEST(ClosestSurfacePoint, SphereAndTorusMatchTheAnalyticProjection) {
  const double c[3] = {1, -2, 0.5};
  auto sph = sphere(c, 3.0);
  auto tor = torus(3.0, 1.0);
  struct Case {
    const spline_surface* s;
    std::vector<double> p;
    std::vector<double> want;
  };
  std::vector<Case> cases;
  for (std::vector<double> p : {std::vector<double>{6, 1, 3}, {-2, -4, -1}, {1.5, -1, 5}}) {
    std::vector<double> w(3);
    const double len = std::sqrt((p[0] - c[0]) * (p[0] - c[0]) + (p[1] - c[1]) * (p[1] - c[1]) +
                                 (p[2] - c[2]) * (p[2] - c[2]));
    for (int i = 0; i < 3; ++i) w[i] = c[i] + 3.0 * (p[i] - c[i]) / len;
    cases.push_back({sph.get(), p, w});
  }
  for (std::vector<double> p : {std::vector<double>{5, 1, 2}, {-1, 3.5, -0.5}, {0.5, -2.2, 0.3}}) {
    const double rho = std::hypot(p[0], p[1]);
    const double q[3] = {3.0 * p[0] / rho, 3.0 * p[1] / rho, 0.0};
    const double len = std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                                 p[2] * p[2]);
    std::vector<double> w(3);
    for (int i = 0; i < 3; ++i) w[i] = q[i] + (p[i] - q[i]) / len;
    cases.push_back({tor.get(), p, w});
  }
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.p[0] << " " << k.p[1] << " " << k.p[2]);
    surface_result r;
    s1954(k.s, k.p.data(), 3, 0.0, 1e-6, &r.points, &r.uv, &r.curves, &r.list, &r.status);
    ASSERT_EQ(r.status, 0);
    ASSERT_GE(r.points, 1);
    for (int i = 0; i < r.points; ++i)
      EXPECT_LT(dist(eval_surface(k.s, r.uv[2 * i], r.uv[2 * i + 1]), k.want), 1e-3);
  }
}

TEST(GreatestExtent, MatchesDenseSamplingOfARandomBicubic) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const std::vector<double> t1 = {0, 0, 0, 0, 0.4, 1, 1, 1, 1};
  const std::vector<double> t2 = {0, 0, 0, 0, 0.5, 0.7, 1, 1, 1, 1};
  for (int round = 0; round < 3; ++round) {
    std::vector<double> v;
    for (int j = 0; j < 6; ++j)
      for (int i = 0; i < 5; ++i) {
        v.push_back(i + 0.3 * u(gen));
        v.push_back(j + 0.3 * u(gen));
        v.push_back(2.0 * u(gen));
      }
    auto s = surface(t1, t2, 4, 4, v, 1, 3);
    const double dir[3] = {0.3 * u(gen), 0.3 * u(gen), 1.0};
    double brute = -1e300;
    const int m = 317;  // about 10^5 samples
    for (int j = 0; j < m; ++j)
      for (int i = 0; i < m; ++i) {
        const auto p = eval_surface(s.get(), double(i) / (m - 1), double(j) / (m - 1));
        brute = std::max(brute, p[0] * dir[0] + p[1] * dir[1] + p[2] * dir[2]);
      }
    const double aepsge = 1e-4;
    surface_result r;
    s1921(s.get(), dir, 3, 0.0, aepsge, &r.points, &r.uv, &r.curves, &r.list, &r.status);
    ASSERT_EQ(r.status, 0);
    ASSERT_GE(r.points, 1);
    for (int i = 0; i < r.points; ++i) {
      const auto p = eval_surface(s.get(), r.uv[2 * i], r.uv[2 * i + 1]);
      const double val = p[0] * dir[0] + p[1] * dir[1] + p[2] * dir[2];
      EXPECT_GE(val, brute - aepsge);
      EXPECT_LE(val, brute + aepsge);
    }
  }
}

TEST(GreatestExtent, RationalSphereReachesFarthestAlongTheDirection) {
  const double c[3] = {1, 2, 3};
  auto sph = sphere(c, 2.0);
  const double dirs[][3] = {{1, 0, 0}, {0.6, -0.8, 0}, {0.2, 0.3, -0.9}};
  for (const auto& d : dirs) {
    surface_result r;
    s1921(sph.get(), d, 3, 0.0, 1e-7, &r.points, &r.uv, &r.curves, &r.list, &r.status);
    ASSERT_EQ(r.status, 0);
    ASSERT_GE(r.points, 1);
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const std::vector<double> want = {c[0] + 2 * d[0] / len, c[1] + 2 * d[1] / len,
                                      c[2] + 2 * d[2] / len};
    for (int i = 0; i < r.points; ++i)
      EXPECT_LT(dist(eval_surface(sph.get(), r.uv[2 * i], r.uv[2 * i + 1]), want), 1e-3);
  }
  const double bad[2] = {1, 0};
  surface_result r;
  s1921(sph.get(), bad, 2, 0.0, 1e-7, &r.points, &r.uv, &r.curves, &r.list, &r.status);
  EXPECT_EQ(r.status, -106);
}

}  // namespace
