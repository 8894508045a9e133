#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "spline/handles.h"
#include "spline/edit_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

std::vector<double> surf_at(const spline_surface* s, double u, double v) {
  std::vector<double> p(s->dim);
  double uv[2] = {u, v};
  int l1 = 0, l2 = 0, st = 0;
  s1424(s, 0, 0, uv, &l1, &l2, p.data(), &st);
  return p;
}

TEST(CommonBasis, RangesOrdersAndShapes) {
  auto q = make({0, 0, 0, 0.5, 1, 1, 1}, 3, {0, 0, 1, 2, 2, -1, 3, 0}, 2);
  auto c = make({0, 0, 0, 0, 1, 2, 3, 3, 3, 3}, 4, {0, 1, 1, 3, 2, 2, 3, 4, 4, 2, 5, 1}, 2);
  spline_curve* arr[2] = {q.get(), c.get()};
  double *t = nullptr, *v = nullptr;
  int n = 0, k = 0, status = -1;
  s1931(2, arr, &t, &v, &n, &k, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(k, 4);
  EXPECT_EQ(t[3], 0.0);
  EXPECT_EQ(t[n], 2.0);
  // Each vertex array on the common knots describes its curve moved onto [0, 2].
  std::vector<double> tv(t, t + n + k);
  auto a = make(tv, 4, std::vector<double>(v, v + 2 * n), 2);
  auto b = make(tv, 4, std::vector<double>(v + 2 * n, v + 4 * n), 2);
  auto half = [](double x) { return x / 2; };
  auto three_halves = [](double x) { return 1.5 * x; };
  EXPECT_LT(max_gap(q.get(), a.get(), 0, 2, half), 1e-13);
  EXPECT_LT(max_gap(c.get(), b.get(), 0, 2, three_halves), 1e-13);
  std::free(t);
  std::free(v);
}

TEST(CommonBasis, NearlyEqualKnotsMerge) {
  auto c1 = make({0, 0, 0, 0.3, 1, 1, 1}, 3, {0, 0, 1, 1, 2, 0, 3, 1}, 2);
  auto c2 = make({0, 0, 0, 0.3 * (1 + 1e-16), 1, 1, 1}, 3, {0, 1, 1, 2, 2, 1, 3, 2}, 2);
  spline_curve* arr[2] = {c1.get(), c2.get()};
  double *t = nullptr, *v = nullptr;
  int n = 0, k = 0, status = -1;
  s1931(2, arr, &t, &v, &n, &k, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(n, 4);
  std::free(t);
  std::free(v);
}

TEST(GridSurface, TubeOfContourRings) {
  // 21 points per ring (closed direction), 30 rings along a bent centre line.
  const int n1 = 21, n2 = 30;
  std::vector<double> pts;
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i) {
      const double a = 2 * M_PI * i / n1, r = 3 + std::sin(j * 0.3);
      pts.insert(pts.end(), {r * std::cos(a) + 0.1 * j * j, r * std::sin(a), 2.0 * j});
    }
  spline_surface* s = nullptr;
  int status = -1;
  s1536(pts.data(), n1, n2, 3, 1, 0, 0, 1, 1, 3, 3, 0, 1, &s, &status);
  ASSERT_EQ(status, 0);
  SurfaceHandle ps(s);
  EXPECT_EQ(ps->order1, 3);
  EXPECT_EQ(ps->order2, 3);
  EXPECT_EQ(ps->open_flag1, 0);
  EXPECT_EQ(ps->open_flag2, 1);
  double *p1 = nullptr, *p2 = nullptr;
  s1531(3, n1, n2, pts.data(), 1, 0, 1, &p1, &p2, &status);
  for (int j = 0; j < n2; j += 7)
    for (int i = 0; i < n1; i += 4) {
      auto p = surf_at(ps.get(), p1[i], p2[j]);
      for (int m = 0; m < 3; ++m) EXPECT_NEAR(p[m], pts[(j * n1 + i) * 3 + m], 1e-10);
    }
  // The surface closes: the closing parameter gives the first ring point again.
  auto e = surf_at(ps.get(), p1[n1], p2[5]);
  for (int m = 0; m < 3; ++m) EXPECT_NEAR(e[m], pts[(5 * n1) * 3 + m], 1e-10);
  std::free(p1);
  std::free(p2);
}

TEST(GridSurface, CoincidentGridAndBadType) {
  std::vector<double> pts(4 * 3 * 2, 1.0);
  double *p1 = nullptr, *p2 = nullptr;
  int status = -1;
  s1531(2, 4, 3, pts.data(), 1, 1, 1, &p1, &p2, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(p1[3], 3.0);
  EXPECT_EQ(p2[2], 2.0);
  std::free(p1);
  std::free(p2);
  Quiet q;
  spline_surface* s = nullptr;
  s1536(pts.data(), 4, 3, 2, 3, 0, 0, 0, 0, 2, 2, 1, 1, &s, &status);
  EXPECT_EQ(status, -102);
}

TEST(Loft, TwoCurvesGiveARuledSurface) {
  auto a = make({0, 0, 0, 0, 0.5, 1, 1, 1, 1}, 4, {0, 0, 0, 1, 1, 0, 2, -1, 0, 3, 0, 0, 4, 1, 0}, 3);
  auto b = make({0, 0, 0, 2, 2, 2}, 3, {0, 0, 5, 2, 2, 5, 4, 0, 5}, 3);
  spline_curve* arr[2] = {a.get(), b.get()};
  int types[2] = {1, 1};
  spline_surface* s = nullptr;
  double* par = nullptr;
  int status = -1;
  s1538(2, arr, types, 0.0, 1, 4, 0, &s, &par, &status);
  ASSERT_EQ(status, 0);
  SurfaceHandle ps(s);
  EXPECT_EQ(ps->order2, 4);
  EXPECT_EQ(par[0], 0.0);
  EXPECT_GT(par[1], 0.0);
  const double a0 = ps->knots1[ps->order1 - 1], a1 = ps->knots1[ps->vertex_count1];
  EXPECT_EQ(a0, 0.0);
  EXPECT_EQ(a1, 1.5);  // average of the ranges [0, 1] and [0, 2]
  for (int i = 0; i <= 10; ++i) {
    const double u = a1 * i / 10;
    auto pa = at(a.get(), u / 1.5), pb = at(b.get(), u / 0.75);
    auto s0 = surf_at(ps.get(), u, par[0]), s1 = surf_at(ps.get(), u, par[1]);
    auto mid = surf_at(ps.get(), u, 0.3 * par[1]);
    for (int m = 0; m < 3; ++m) {
      EXPECT_NEAR(s0[m], pa[m], 1e-12);
      EXPECT_NEAR(s1[m], pb[m], 1e-12);
      EXPECT_NEAR(mid[m], 0.7 * pa[m] + 0.3 * pb[m], 1e-12);  // straight across
    }
  }
  std::free(par);
}

TEST(Loft, EqualCurvesAreRefused) {
  auto a = make({0, 0, 1, 1}, 2, {0, 0, 1, 1}, 2);
  spline_curve* arr[2] = {a.get(), a.get()};
  int types[2] = {1, 1};
  spline_surface* s = nullptr;
  double* par = nullptr;
  int status = 0;
  Quiet q;
  s1538(2, arr, types, 0.0, 1, 2, 0, &s, &par, &status);
  EXPECT_EQ(status, -187);
}

TEST(Loft, PeriodicCurvesGiveAPeriodicFirstDirection) {
  std::vector<double> t{-2, -1, 0, 1, 2, 3, 4, 5, 6};
  auto a = make(t, 3, {1, 0, 0, 0, 1, 0, -1, 0, 0, 0, -1, 0, 1, 0, 0, 0, 1, 0}, 3);
  auto b = make(t, 3, {2, 0, 1, 0, 2, 1, -2, 0, 1, 0, -2, 1, 2, 0, 1, 0, 2, 1}, 3);
  a->open_flag = b->open_flag = -1;
  spline_curve* arr[2] = {a.get(), b.get()};
  int types[2] = {1, 1};
  spline_surface* s = nullptr;
  double* par = nullptr;
  int status = -1;
  s1538(2, arr, types, 0.0, 1, 2, 0, &s, &par, &status);
  ASSERT_EQ(status, 0);
  SurfaceHandle ps(s);
  EXPECT_EQ(ps->open_flag1, -1);
  auto p = surf_at(ps.get(), 0.7 * 4 / 4, par[0]);
  auto q = at(a.get(), 0.7);
  for (int m = 0; m < 3; ++m) EXPECT_NEAR(p[m], q[m], 1e-12);
  std::free(par);
}

TEST(CyclicCurve, ShapeKeptAndKnotsCyclic) {
  // A periodic curve opened to a clamped closed curve, then made periodic again.
  std::vector<double> t{-2, -1, 0, 1, 2, 3, 4, 5, 6};
  auto per = make(t, 3, {1, 0, 0, 1, -1, 0, 0, -1, 1, 0, 0, 1}, 2);
  per->open_flag = -1;
  spline_curve* k = nullptr;
  int status = -1;
  make_cv_kreg(per.get(), &k, &status);
  auto kr = own(k);
  auto again = own(copy_curve(kr.get()));
  make_cv_cyclic(again.get(), 1, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(again->open_flag, -1);
  int cyc = 0;
  test_cyclic_knots(again->knots, again->vertex_count, again->order, &cyc);
  EXPECT_EQ(cyc, 2);
  EXPECT_LT(max_gap(again.get(), kr.get(), 0, 4), 1e-13);
  auto same = own(copy_curve(kr.get()));
  make_cv_cyclic(same.get(), -1, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(same->open_flag, kr->open_flag);
}

}  // namespace
