#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/edit_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

std::vector<double> knots_of(const double* par, int n, int k, int flag, int* status) {
  double* t = nullptr;
  s1902(par, n, k, flag, &t, status);
  if (*status < 0) return {};
  const int count = flag == 1 ? n + k : n + 2 * k - 1;
  std::vector<double> out(t, t + count);
  std::free(t);
  return out;
}

TEST(KnotVector, NonPeriodicCases) {
  int status = -1;
  const double p4[] = {0, 1, 2, 3};
  EXPECT_EQ(knots_of(p4, 4, 4, 1, &status), (std::vector<double>{0, 0, 0, 0, 3, 3, 3, 3}));
  const double p5[] = {0, 1, 2, 3, 4};
  EXPECT_EQ(knots_of(p5, 5, 3, 1, &status), (std::vector<double>{0, 0, 0, 1.5, 2.5, 4, 4, 4}));
  const double pd[] = {0, 1, 1, 2};
  EXPECT_EQ(knots_of(pd, 4, 2, 1, &status), (std::vector<double>{0, 0, 1, 1, 2, 2}));
  Quiet q;
  const double pt[] = {0, 1, 1, 1, 2};
  knots_of(pt, 5, 2, 1, &status);
  EXPECT_EQ(status, -112);
  const double same[] = {1, 1, 1};
  knots_of(same, 3, 2, 1, &status);
  EXPECT_EQ(status, -112);
}

TEST(KnotVector, PeriodicRepeatsTheSpacing) {
  const double p[] = {0, 1, 3, 4, 6};  // four conditions, period 6
  int status = -1;
  auto t = knots_of(p, 4, 4, 0, &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(t.size(), 11u);
  for (size_t i = 0; i + 4 < t.size(); ++i) EXPECT_DOUBLE_EQ(t[i + 4] - t[i], 6.0) << i;
  auto t3 = knots_of(p, 4, 3, 0, &status);
  ASSERT_EQ(t3.size(), 9u);
  for (size_t i = 0; i + 4 < t3.size(); ++i) EXPECT_DOUBLE_EQ(t3[i + 4] - t3[i], 6.0) << i;
}

TEST(KnotAverages, ClampedCubic) {
  const double t[] = {0, 0, 0, 0, 1, 2, 3, 3, 3, 3};
  double* par = nullptr;
  int* der = nullptr;
  int status = -1;
  s1890(t, 4, 6, &par, &der, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(par[0], 0);
  EXPECT_EQ(par[5], 3);
  for (int i = 1; i < 6; ++i) EXPECT_GT(par[i], par[i - 1]);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(der[i], 0);
  std::free(par);
  std::free(der);
}

TEST(Collocation, ConditionsThatDoNotInterlace) {
  // Five positions of order 3 with all parameters in the first knot interval.
  const double t[] = {0, 0, 0, 1, 2, 3, 3, 3};
  const double par[] = {0, 0.1, 0.2, 0.3, 0.4};
  const double rhs[] = {0, 1, 2, 3, 4};
  const int der[] = {0, 0, 0, 0, 0};
  double* v = nullptr;
  int nv = 0, status = 0;
  Quiet q;
  s1891(par, rhs, 1, 5, 1, der, 1, t, &v, &nv, 3, 0, 0, &status);
  EXPECT_EQ(status, -165);
}

TEST(Interpolation, ThreePointsWorkedExample) {
  const double pts[] = {0, 0, 1, 0, 1, 1};
  const int types[] = {1, 1, 1};
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = -1;
  s1356(pts, 3, 2, types, 0, 0, 1, 3, 0.0, &end, &c, &par, &np, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  EXPECT_EQ(end, 2.0);
  ASSERT_EQ(np, 3);
  EXPECT_EQ(par[1], 1.0);
  std::free(par);
  const double wt[] = {0, 0, 0, 2, 2, 2};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(pc->knots[i], wt[i]);
  const double wv[] = {0, 0, 1.5, -0.5, 1, 1};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(pc->coefs[i], wv[i], 1e-15);
}

TEST(Interpolation, ClosedContourPassesThroughEveryPoint) {
  // The measurement contours: dim 2, order 3, closed (flag 0), 24 points of a wall.
  std::vector<double> pts;
  std::vector<int> types;
  for (int i = 0; i < 24; ++i) {
    const double a = 2 * M_PI * i / 24;
    const double r = 40 + 6 * std::sin(3 * a);
    pts.insert(pts.end(), {200 + r * std::cos(a), 180 + r * std::sin(a)});
    types.push_back(1);
  }
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = -1;
  s1356(pts.data(), 24, 2, types.data(), 0, 0, 0, 3, 0.0, &end, &c, &par, &np, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  EXPECT_EQ(pc->open_flag, 0);
  ASSERT_EQ(np, 25);  // the closing parameter ends the list
  EXPECT_EQ(par[24], end);
  for (int i = 0; i <= 24; ++i) {
    auto p = at(pc.get(), par[i]);
    EXPECT_NEAR(p[0], pts[2 * (i % 24)], 1e-10);
    EXPECT_NEAR(p[1], pts[2 * (i % 24) + 1], 1e-10);
  }
  std::free(par);
  // The same list already closed: no point is added.
  pts.insert(pts.end(), {pts[0], pts[1]});
  types.push_back(1);
  s1356(pts.data(), 25, 2, types.data(), 0, 0, 0, 3, 0.0, &end, &c, &par, &np, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(np, 25);
  destroy_curve(c);
  std::free(par);
}

TEST(Interpolation, CatheterCurveOrderFourAndRaising) {
  std::vector<double> pts;
  std::vector<int> types;
  for (int i = 0; i < 10; ++i) {
    pts.insert(pts.end(), {i * 3.0, std::sin(i * 0.5) * 4, std::cos(i * 0.3) * 2});
    types.push_back(1);
  }
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = -1;
  s1356(pts.data(), 10, 3, types.data(), 0, 0, 1, 4, 0.0, &end, &c, &par, &np, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  for (int i = 0; i < 10; ++i) {
    auto p = at(pc.get(), par[i]);
    for (int m = 0; m < 3; ++m) EXPECT_NEAR(p[m], pts[3 * i + m], 1e-11);
  }
  std::free(par);
  // Three points at order 4: built with order 3 and raised.
  s1356(pts.data(), 3, 3, types.data(), 0, 0, 1, 4, 0.0, &end, &c, &par, &np, &status);
  ASSERT_EQ(status, 0);
  auto p3 = own(c);
  EXPECT_EQ(p3->order, 4);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(at(p3.get(), par[i])[1], pts[3 * i + 1], 1e-12);
  std::free(par);
}

TEST(Interpolation, TangentConditions) {
  // Type 4 after the first point and type 3 before the last; a second type 4 is ignored.
  const double pts[] = {0, 0, 1, 2, 5, 5, 2, 1, 4, 0, 3, -3, 6, 1};
  const int types[] = {1, 4, 4, 1, 1, 3, 1};
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = -1;
  s1356(pts, 7, 2, types, 0, 0, 1, 4, 0.0, &end, &c, &par, &np, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  double d[4];
  int left = 0;
  s1221(pc.get(), 1, par[0], &left, d, &status);
  EXPECT_NEAR(d[2], 1, 1e-11);
  EXPECT_NEAR(d[3], 2, 1e-11);
  S1227(pc.get(), 1, end, &left, d, &status);
  EXPECT_NEAR(d[0], 6, 1e-11);
  EXPECT_NEAR(d[2], 3, 1e-11);
  EXPECT_NEAR(d[3], -3, 1e-11);
  auto mid = at(pc.get(), par[1]);
  EXPECT_NEAR(mid[0], 2, 1e-11);
  std::free(par);
}

TEST(Interpolation, GivenParametersAndSecondDerivativeEnds) {
  const double pts[] = {0, 1, 0, -1, 0.5};
  const int types[] = {1, 1, 1, 1, 1};
  const double pp[] = {0, 0.5, 2, 3, 3.5};
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = -1;
  s1357(pts, 5, 1, types, pp, 1, 1, 1, 4, 0.0, &end, &c, &par, &np, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  EXPECT_EQ(end, 3.5);
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(at(pc.get(), pp[i])[0], pts[i], 1e-12);
  double d[3];
  int left = 0;
  s1221(pc.get(), 2, 0.0, &left, d, &status);
  EXPECT_NEAR(d[2], 0, 1e-10);  // natural end
  std::free(par);
}

TEST(Interpolation, PeriodicCurves) {
  std::vector<double> pts;
  std::vector<double> types;
  for (int i = 0; i < 8; ++i) {
    const double a = 2 * M_PI * i / 8;
    pts.insert(pts.end(), {std::cos(a), 0.5 * std::sin(a)});
    types.push_back(1);
  }
  for (int order : {3, 4}) {
    spline_curve* c = nullptr;
    double end = 0, *par = nullptr;
    int np = 0, status = -1;
    s1334(pts.data(), 8, 2, types.data(), 0, 0, 0, order, 0.0, &end, &c, &par, &np, &status);
    ASSERT_EQ(status, 0) << order;
    auto pc = own(c);
    EXPECT_EQ(pc->open_flag, -1);
    int st = 0;
    test_cyclic_knots(pc->knots, pc->vertex_count, pc->order, &st);
    EXPECT_EQ(st, 2);
    // The periodic range need not start at the first parameter: map into the range.
    const double a = pc->knots[order - 1], T = pc->knots[pc->vertex_count] - a;
    for (int i = 0; i < 8; ++i) {
      const double x = par[i] < a ? par[i] + T : par[i];
      auto p = at(pc.get(), x);
      EXPECT_NEAR(p[0], pts[2 * i], 1e-12) << order;
      EXPECT_NEAR(p[1], pts[2 * i + 1], 1e-12) << order;
    }
    // Smooth across the seam.
    double l[4], r[4];
    int left = 0;
    S1227(pc.get(), 1, pc->knots[pc->vertex_count], &left, l, &st);
    s1221(pc.get(), 1, pc->knots[order - 1], &left, r, &st);
    EXPECT_NEAR(l[2], r[2], 1e-10);
    EXPECT_NEAR(l[3], r[3], 1e-10);
    std::free(par);
  }
}

TEST(ControlPolygonCurve, OpenClosedAndPeriodic) {
  const double pts[] = {0, 0, 2, 0, 3, 2, 1, 3, -1, 1};
  spline_curve* c = nullptr;
  int status = -1;
  s1630(pts, 5, 0.0, 1, 2, 5, &c, &status);  // the drawn wall: order 5, open
  ASSERT_EQ(status, 0);
  auto open = own(c);
  EXPECT_EQ(open->order, 5);
  EXPECT_EQ(open->vertex_count, 5);
  EXPECT_EQ(open->knots[9], 2 + std::sqrt(5.0) + std::sqrt(5.0) + std::sqrt(8.0));
  s1630(pts, 5, 0.0, 0, 2, 4, &c, &status);
  auto closed = own(c);
  EXPECT_EQ(closed->vertex_count, 6);
  EXPECT_EQ(closed->coefs[10], 0);
  EXPECT_EQ(closed->open_flag, 0);
  s1630(pts, 5, 0.0, -1, 2, 4, &c, &status);
  auto per = own(c);
  EXPECT_EQ(per->vertex_count, 5 + 3);
  EXPECT_EQ(per->open_flag, -1);
  // Four points at order 5: made with order 4 and raised.
  s1630(pts, 4, 0.0, 1, 2, 5, &c, &status);
  auto raised = own(c);
  EXPECT_EQ(raised->order, 5);
  Quiet q;
  s1630(pts, 1, 0.0, 1, 2, 4, &c, &status);
  EXPECT_EQ(status, -109);
  s1630(pts, 5, 0.0, 2, 2, 4, &c, &status);
  EXPECT_EQ(status, -113);
}

}  // namespace

namespace {

TEST(Interpolation, PeriodicAtGivenParametersStartsAtTheFirstParameter) {
  std::vector<double> pts;
  std::vector<int> types;
  std::vector<double> pp;
  for (int i = 0; i < 7; ++i) {
    const double a = 2 * M_PI * i / 7;
    pts.insert(pts.end(), {2 * std::cos(a), std::sin(a)});
    types.push_back(1);
    pp.push_back(1.0 + i);
  }
  pp.push_back(8.0);  // the closing value
  for (int order : {3, 4, 5}) {
    spline_curve* c = nullptr;
    double end = 0, *par = nullptr;
    int np = 0, status = -1;
    s1357(pts.data(), 7, 2, types.data(), pp.data(), 0, 0, -1, order, 0.0, &end, &c, &par, &np,
          &status);
    ASSERT_EQ(status, 0) << order;
    auto pc = edit_test::own(c);
    EXPECT_EQ(pc->open_flag, -1);
    EXPECT_NEAR(pc->knots[order - 1], 1.0, 1e-12) << order;
    EXPECT_NEAR(end, 8.0, 1e-12) << order;
    for (int i = 0; i < 7; ++i) {
      auto p = edit_test::at(pc.get(), pp[i]);
      EXPECT_NEAR(p[0], pts[2 * i], 1e-11) << order;
      EXPECT_NEAR(p[1], pts[2 * i + 1], 1e-11) << order;
    }
    int cyc = 0;
    test_cyclic_knots(pc->knots, pc->vertex_count, pc->order, &cyc);
    EXPECT_EQ(cyc, 2) << order;
    std::free(par);
  }
}

}  // namespace

namespace {

TEST(Interpolation, RepeatedStrokePointsNeverGiveNaN) {
  // Mouse strokes repeat pixels: the fits either succeed with finite vertices or fail
  // with a negative status, never with NaN.
  const double pts[] = {10, 10, 10, 10, 11, 10, 12, 11, 12, 11, 12, 11, 13, 13, 15, 14};
  const int types[] = {1, 1, 1, 1, 1, 1, 1, 1};
  for (int order : {3, 4, 5})
    for (int flag : {1, 0}) {
      spline_curve* c = nullptr;
      double end = 0, *par = nullptr;
      int np = 0, status = 0;
      testing::internal::CaptureStderr();
      s1356(pts, 8, 2, types, 0, 0, flag, order, 0.0, &end, &c, &par, &np, &status);
      testing::internal::GetCapturedStderr();
      if (status >= 0) {
        for (int i = 0; i < c->vertex_count * 2; ++i) EXPECT_TRUE(std::isfinite(c->coefs[i]));
        destroy_curve(c);
        std::free(par);
      }
      testing::internal::CaptureStderr();
      s1630(pts, 8, 0.0, flag, 2, order, &c, &status);
      testing::internal::GetCapturedStderr();
      if (status >= 0) {
        for (int i = 0; i < c->vertex_count + c->order; ++i) EXPECT_TRUE(std::isfinite(c->knots[i]));
        destroy_curve(c);
      }
    }
}

}  // namespace
