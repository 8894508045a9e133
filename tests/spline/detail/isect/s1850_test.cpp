// Curve against line or plane: crossings of rays with closed contours against closed
// forms and against a dense-sampling root finder, coincident stretches, dimension
// errors, and the recursion level after success and failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/curve_eval.h"
#include "spline/detail/isect/isect_services.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/records.h"
#include "spline/status.h"
#include "tests/spline/detail/isect/contour_testutil.h"
#include "tests/spline/detail/isect/isect_fixture.h"

namespace {

struct Hits {
  int status = 0;
  std::vector<double> params;
  int curves = 0;
  std::vector<int> curve_points;
};

Hits intersect(spline_curve* c, const double* q, const double* nrm, int dim, double eps) {
  Hits h;
  int np = 0, nc = 0;
  double* par = nullptr;
  isect_curve** cv = nullptr;
  s1850(c, q, nrm, dim, 0.0, eps, &np, &par, &nc, &cv, &h.status);
  const ToolkitArray<double> owned_par(par);
  const IsectCurveArray owned_cv(cv, nc);
  h.params.assign(par, par + np);
  std::sort(h.params.begin(), h.params.end());
  h.curves = nc;
  for (int i = 0; i < nc; ++i) h.curve_points.push_back(cv[i]->point_count);
  return h;
}

std::vector<double> eval(const spline_curve* c, double t) {
  std::vector<double> p(c->dim);
  int left = 0, st = 0;
  s1221(c, 0, t, &left, p.data(), &st);
  return p;
}

// Parameters where the signed distance (C(t) - q) . n changes sign: dense sampling
// plus bisection, with a crossing at a shared sample counted once.
std::vector<double> oracle_roots(const spline_curve* c, const double* q, const double* n,
                                 int samples) {
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  auto f = [&](double t) {
    auto p = eval(c, t);
    return (p[0] - q[0]) * n[0] + (p[1] - q[1]) * n[1];
  };
  std::vector<double> roots;
  double t0 = a, f0 = f(a);
  for (int i = 1; i <= samples; ++i) {
    const double t1 = a + (b - a) * i / samples;
    const double f1 = f(t1);
    if (f0 == 0) {
      roots.push_back(t0);
    } else if (f0 * f1 < 0) {
      double lo = t0, hi = t1, flo = f0;
      for (int it = 0; it < 80 && hi - lo > 1e-12 * (b - a); ++it) {
        const double m = 0.5 * (lo + hi);
        const double fm = f(m);
        if ((fm < 0) == (flo < 0)) {
          lo = m;
          flo = fm;
        } else {
          hi = m;
        }
      }
      roots.push_back(0.5 * (lo + hi));
    }
    t0 = t1;
    f0 = f1;
  }
  if (f0 == 0) roots.push_back(b);
  return roots;
}

TEST(S1850, LineCrossingParabolaAtClosedForm) {
  // Bezier parabola (t, t^2) on [0, 1] against the line y = 0.25: crossing at t = 0.5.
  double knots[6] = {0, 0, 0, 1, 1, 1};
  double coefs[6] = {0, 0, 0.5, 0, 1, 1};
  const CurveHandle c_owner(create_curve(3, 3, knots, coefs, 1, 2, 1));
  spline_curve* c = c_owner.get();
  const double q[2] = {0, 0.25}, n[2] = {0, 1};
  Hits h = intersect(c, q, n, 2, 1e-6);
  EXPECT_EQ(h.status, 0);
  ASSERT_EQ(h.params.size(), 1u);
  EXPECT_NEAR(h.params[0], 0.5, 1e-9);
  EXPECT_EQ(h.curves, 0);
}

TEST(S1850, RaysThroughRationalCircleCentreCrossTwiceAtClosedForm) {
  const double cx = 3.0, cy = -2.0, r = 5.0;
  const CurveHandle c_owner(contour_test::closed_circle(cx, cy, r));
  spline_curve* c = c_owner.get();
  const double q[2] = {cx, cy};
  // 360 whole degrees include the seam (0 and 180 degrees) and every control vertex
  // direction (multiples of 45 degrees).
  for (int deg = 0; deg < 360; ++deg) {
    const double phi = deg * M_PI / 180.0;
    const double dir[2] = {std::cos(phi), std::sin(phi)};
    const double n[2] = {-dir[1], dir[0]};
    Hits h = intersect(c, q, n, 2, 0.001);
    ASSERT_EQ(h.status, 0);
    ASSERT_EQ(h.params.size(), 2u) << "angle " << deg;
    EXPECT_EQ(h.curves, 0);
    std::vector<double> angles;
    for (double t : h.params) {
      auto p = eval(c, t);
      EXPECT_NEAR(std::hypot(p[0] - cx, p[1] - cy), r, 1e-9);
      // On the line within 1e-9.
      EXPECT_NEAR((p[0] - cx) * n[0] + (p[1] - cy) * n[1], 0.0, 1e-9) << "angle " << deg;
      angles.push_back(std::atan2(p[1] - cy, p[0] - cx));
    }
    // One crossing on each side of the centre.
    const double s0 = (std::cos(angles[0]) * dir[0] + std::sin(angles[0]) * dir[1]);
    const double s1 = (std::cos(angles[1]) * dir[0] + std::sin(angles[1]) * dir[1]);
    EXPECT_NEAR(std::fabs(s0), 1.0, 1e-9);
    EXPECT_LT(s0 * s1, 0) << "angle " << deg;
  }
}

TEST(S1850, EqualWeightsGiveThePolynomialCurvesPoints) {
  double knots[8] = {0, 0, 0, 0, 1, 1, 1, 1};
  double coefs[8] = {0, -1, 1, 2, 2, -2, 3, 1};
  double hom[12];
  for (int i = 0; i < 4; ++i) {
    hom[3 * i] = 2.5 * coefs[2 * i];
    hom[3 * i + 1] = 2.5 * coefs[2 * i + 1];
    hom[3 * i + 2] = 2.5;
  }
  const CurveHandle poly_owner(create_curve(4, 4, knots, coefs, 1, 2, 1));
  spline_curve* poly = poly_owner.get();
  const CurveHandle rat_owner(create_curve(4, 4, knots, hom, 2, 2, 1));
  spline_curve* rat = rat_owner.get();
  const double q[2] = {0, 0.1}, n[2] = {0.1, 1};
  Hits a = intersect(poly, q, n, 2, 1e-6);
  Hits b = intersect(rat, q, n, 2, 1e-6);
  ASSERT_EQ(a.params.size(), 3u);
  ASSERT_EQ(b.params.size(), a.params.size());
  for (size_t i = 0; i < a.params.size(); ++i) EXPECT_NEAR(a.params[i], b.params[i], 1e-9);
}

TEST(S1850, CurveLyingOnTheLineGivesOneIntersectionCurve) {
  // A polyline lying on y = 0 within the tolerance: one curve from end to end, no
  // single points.
  double knots[6] = {0, 0, 1, 2, 3, 3};
  double coefs[8] = {0, 0, 1, 1e-8, 2, -1e-8, 3, 0};
  const CurveHandle c_owner(create_curve(4, 2, knots, coefs, 1, 2, 1));
  spline_curve* c = c_owner.get();
  const double q[2] = {0, 0}, n[2] = {0, 1};
  Hits h = intersect(c, q, n, 2, 1e-6);
  EXPECT_EQ(h.status, 0);
  ASSERT_EQ(h.curves, 1);
  EXPECT_EQ(h.curve_points[0], 2);
  EXPECT_TRUE(h.params.empty());
}

TEST(S1850, DimensionErrorsZeroTheCountsAndAreReported) {
  isect_test::ReportLog log;
  double knots[6] = {0, 0, 0, 1, 1, 1};
  double coefs[6] = {0, 0, 0.5, 0, 1, 1};
  const CurveHandle c_owner(create_curve(3, 3, knots, coefs, 1, 2, 1));
  spline_curve* c = c_owner.get();
  const double q[3] = {0, 0.25, 0}, n[3] = {0, 1, 0};
  struct Case {
    int dim;
    int expected;
  } cases[] = {{3, -103}, {4, -104}, {1, -104}};
  for (const Case& k : cases) {
    int np = 7, nc = 7, st = 0;
    double* par = nullptr;
    isect_curve** cv = nullptr;
    log.clear();
    s1850(c, q, n, k.dim, 0.0, 1e-6, &np, &par, &nc, &cv, &st);
    EXPECT_EQ(st, k.expected);
    EXPECT_EQ(np, 0);
    EXPECT_EQ(nc, 0);
    EXPECT_EQ(par, nullptr);
    EXPECT_TRUE(log.named("sh1850"));
    EXPECT_TRUE(log.named("s1850"));
  }
}

}  // namespace

namespace {

TEST(S1850, RandomClosedContoursMatchDenseSamplingOracle) {
  std::mt19937 rng(1850);
  std::uniform_int_distribution<int> count(20, 200);
  std::uniform_real_distribution<double> angle(0, M_PI);
  const double eps = 0.001;
  int rays = 0;
  int touches = 0;
  for (int k = 0; k < 1000; ++k) {
    const CurveHandle c_owner(contour_test::random_contour(rng, count(rng)));
    spline_curve* c = c_owner.get();
    ASSERT_NE(c, nullptr);
    // Centroid of the control polygon: inside the star-shaped contour.
    double q[2] = {0, 0};
    for (int i = 0; i < c->vertex_count; ++i) {
      q[0] += c->coefs[2 * i] / c->vertex_count;
      q[1] += c->coefs[2 * i + 1] / c->vertex_count;
    }
    for (int j = 0; j < 50; ++j, ++rays) {
      const double phi = angle(rng);
      const double n[2] = {-std::sin(phi), std::cos(phi)};
      Hits h = intersect(c, q, n, 2, eps);
      ASSERT_EQ(h.status, 0);
      EXPECT_EQ(h.curves, 0);
      const auto roots = oracle_roots(c, q, n, 12 * c->vertex_count);
      // Every sign change of the oracle is found once; an engine point that matches
      // no sign change must be a touch within the tolerance (|C(t) - line| <= eps).
      std::vector<int> used(h.params.size(), 0);
      // A crossing at an angle above 0.05 rad is found far below the tolerance, except
      // where the end of the contour lies within the tolerance of the line: the end
      // point itself then stands for the crossing.
      for (double r : roots) {
        auto po = eval(c, r);
        std::vector<double> d(4);
        int left = 0, st = 0;
        s1221(c, 1, r, &left, d.data(), &st);
        const double sine = std::fabs(d[2] * n[0] + d[3] * n[1]) / std::hypot(d[2], d[3]);
        int hits = 0;
        for (size_t i = 0; i < h.params.size(); ++i) {
          auto pe = eval(c, h.params[i]);
          const double gap = std::hypot(pe[0] - po[0], pe[1] - po[1]);
          if (gap <= 2 * eps) {
            ++hits;
            used[i] = 1;
            const bool at_end = h.params[i] == c->knots[c->order - 1] ||
                                h.params[i] == c->knots[c->vertex_count];
            if (sine > std::sin(0.05) && !at_end) {
              EXPECT_LE(gap, 1e-7) << "contour " << k << " ray " << j << " root " << r;
            }
          }
        }
        EXPECT_EQ(hits, 1) << "contour " << k << " ray " << j << " root " << r;
      }
      for (size_t i = 0; i < h.params.size(); ++i) {
        auto pe = eval(c, h.params[i]);
        EXPECT_LE(std::fabs((pe[0] - q[0]) * n[0] + (pe[1] - q[1]) * n[1]), eps);
        if (!used[i]) ++touches;
      }
    }
  }
  EXPECT_EQ(rays, 50000);
  // Near-tangent touches within the tolerance are rare on these contours.
  EXPECT_LE(touches, 50);
}

TEST(S1850, RecursionLevelReturnsToItsEntryValue) {
  const int entry = isect_recursion_level;
  std::mt19937 rng(7);
  const CurveHandle c_owner(contour_test::random_contour(rng, 60));
  spline_curve* c = c_owner.get();
  ASSERT_NE(c, nullptr);
  const double q[2] = {250, 240}, n[2] = {0, 1};
  Hits h = intersect(c, q, n, 2, 0.001);
  EXPECT_EQ(h.params.size(), 2u);
  EXPECT_EQ(isect_recursion_level, entry);
  EXPECT_GT(isect_recursion_max, entry);

  // An evaluation failure deep in the recursion (the side markers of a new point)
  // comes back as the error, and the level is restored on the way out.
  isect_test::ReportLog log;
  const isect_service_table saved = isect_services();
  isect_services().eval_curve_levelled = [](const spline_curve*, int, double, double, int*,
                                            double*, int* st) { *st = -77; };
  int np = 0, nc = 0, st = 0;
  double* par = nullptr;
  isect_curve** cv = nullptr;
  s1850(c, q, n, 2, 0.0, 0.001, &np, &par, &nc, &cv, &st);
  const ToolkitArray<double> owned_par(par);
  const IsectCurveArray owned_cv(cv, nc);
  isect_services() = saved;
  EXPECT_EQ(st, -77);
  EXPECT_TRUE(log.named("sh1762"));
  EXPECT_EQ(isect_recursion_level, entry);

  // Two curves that cross: an evaluation failure deep in the subdivision of the pair
  // fails the call, and the level is restored too.
  const CurveHandle other_owner(contour_test::random_contour(rng, 40));
  spline_curve* other = other_owner.get();
  ASSERT_NE(other, nullptr);
  for (int i = 0; i < other->vertex_count; ++i) other->coefs[2 * i] += 30.0;
  geom_object* a = create_geom_object(kCurveObject);
  geom_object* b = create_geom_object(kCurveObject);
  a->curve = c;
  b->curve = other;
  isect_data* data = nullptr;
  log.clear();
  isect_services().eval_curve_levelled = [](const spline_curve*, int, double, double, int*,
                                            double*, int* st) { *st = -77; };
  st = 0;
  sh1761(a, b, 0.001, &data, &st);
  isect_services() = saved;
  EXPECT_EQ(st, -77);
  EXPECT_TRUE(log.named("sh1762"));
  EXPECT_EQ(isect_recursion_level, entry);
  destroy_isect_data(data);
  data = nullptr;
  // Without the failure the same pair gives its crossings.
  st = 0;
  sh1761(a, b, 0.001, &data, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(isect_recursion_level, entry);
  a->curve = b->curve = nullptr;
  destroy_geom_object(a);
  destroy_geom_object(b);
  destroy_isect_data(data);
}

}  // namespace

namespace {

TEST(S1850, TangentAndNearTangentLines) {
  const CurveHandle c_owner(contour_test::closed_circle(0, 0, 5));
  spline_curve* c = c_owner.get();
  struct Case {
    double offset;
    std::vector<double> params;
  } cases[] = {
      {5.0, {1.0}},                          // tangent at the top: one touch point
      {5.0005, {1.0}},                       // within the tolerance above
      {4.9995, {1.0}},                       // within the tolerance below: one point
      {5.002, {}},                           // beyond the tolerance: nothing
  };
  for (const Case& k : cases) {
    const double q[2] = {0, k.offset}, n[2] = {0, 1};
    Hits h = intersect(c, q, n, 2, 0.001);
    EXPECT_EQ(h.status, 0);
    ASSERT_EQ(h.params.size(), k.params.size()) << "offset " << k.offset;
    for (size_t i = 0; i < k.params.size(); ++i)
      EXPECT_NEAR(h.params[i], k.params[i], 1e-6) << "offset " << k.offset;
  }
  // Clearly below the top: two crossings, symmetric about t = 1.
  const double q[2] = {0, 4.99}, n[2] = {0, 1};
  Hits h = intersect(c, q, n, 2, 0.001);
  ASSERT_EQ(h.params.size(), 2u);
  EXPECT_NEAR(h.params[0] + h.params[1], 2.0, 1e-9);
}

TEST(S1850, WorkBudgetEndsSubdivisionWithAWarning) {
  std::mt19937 rng(3);
  const CurveHandle c_owner(contour_test::random_contour(rng, 120));
  spline_curve* c = c_owner.get();
  const double q[2] = {250, 240}, n[2] = {0, 1};
  const long saved = isect_work_budget;
  const int entry = isect_recursion_level;
  isect_work_budget = 2;
  int np = 0, nc = 0, st = 0, extra = 0;
  double* par = nullptr;
  int* markers = nullptr;
  isect_curve** cv = nullptr;
  sh1850(c, q, n, 2, 0.0, 0.001, 0, &extra, nullptr, &np, &par, &markers, &nc, &cv, &st);
  const ToolkitArray<double> owned_par(par);
  const ToolkitArray<int> owned_markers(markers);
  const IsectCurveArray owned_cv(cv, nc);
  isect_work_budget = saved;
  EXPECT_EQ(st, kSubdivBudgetWarning);
  EXPECT_EQ(isect_recursion_level, entry);
  // The public routine keeps its plain success status.
  Hits h = intersect(c, q, n, 2, 0.001);
  EXPECT_EQ(h.status, 0);
  EXPECT_EQ(h.params.size(), 2u);
}

}  // namespace

namespace {

TEST(S1850, NonPositiveWeightsAreRejected) {
  isect_test::ReportLog log;
  for (double w : {0.0, -0.5}) {
    const CurveHandle c_owner(contour_test::closed_circle(0, 0, 1));
    spline_curve* c = c_owner.get();
    c->hom_coefs[3 * 3 + 2] = w;  // the weight of vertex 3
    const double q[2] = {0, 0}, n[2] = {0, 1};
    int np = 5, nc = 5, st = 0;
    double* par = nullptr;
    isect_curve** cv = nullptr;
    s1850(c, q, n, 2, 0.0, 0.001, &np, &par, &nc, &cv, &st);
    EXPECT_EQ(st, -151) << "weight " << w;
    EXPECT_EQ(np, 0);
    EXPECT_EQ(nc, 0);
  }
  EXPECT_TRUE(log.named("sh1850"));
}

}  // namespace
