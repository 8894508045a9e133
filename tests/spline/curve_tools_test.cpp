#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "spline/handles.h"
#include "spline/edit_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

SurfaceHandle bilinear() {
  std::vector<double> t{0, 0, 1, 1};
  std::vector<double> v{0, 0, 0, 2, 0, 1, 0, 3, 0, 2, 3, 5};
  return SurfaceHandle(create_surface(2, 2, 2, 2, t.data(), t.data(), v.data(), 1, 3, 1));
}

TEST(IsoCurves, EdgesOfABilinearPatch) {
  auto s = bilinear();
  spline_curve* c = nullptr;
  double par = -1;
  int status = -1;
  s1435(s.get(), 0, &c, &par, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(par, 0.0);
  auto e0 = own(c);
  EXPECT_EQ(at(e0.get(), 0)[0], 0);
  EXPECT_EQ(at(e0.get(), 1)[0], 2);
  EXPECT_EQ(at(e0.get(), 1)[2], 1);
  s1435(s.get(), 1, &c, &par, &status);
  auto e1 = own(c);
  EXPECT_EQ(par, 1.0);
  EXPECT_EQ(at(e1.get(), 0)[2], 1);  // S(1, 0)
  EXPECT_EQ(at(e1.get(), 1)[2], 5);  // S(1, 1)
  Quiet q;
  s1435(s.get(), 4, &c, &par, &status);
  EXPECT_EQ(status, -141);
}

TEST(IsoCurves, AgreeWithSurfaceEvaluationAndKeepFlags) {
  // Quadratic x cubic surface with a knot inside each direction.
  std::vector<double> t1{0, 0, 0, 1, 2, 2, 2}, t2{0, 0, 0, 0, 0.5, 1, 1, 1, 1};
  std::vector<double> v(4 * 5 * 2);
  for (size_t i = 0; i < v.size(); ++i) v[i] = std::cos(0.7 * i);
  SurfaceHandle s(create_surface(4, 5, 3, 4, t1.data(), t2.data(), v.data(), 1, 2, 1));
  s->open_flag2 = 0;
  spline_curve *cu = nullptr, *cv = nullptr;
  int status = -1;
  s1436(s.get(), 0.5, &cu, &status);  // at a knot of the second direction
  ASSERT_EQ(status, 0);
  s1437(s.get(), 1.3, &cv, &status);
  ASSERT_EQ(status, 0);
  auto pu = own(cu), pv = own(cv);
  EXPECT_EQ(pv->open_flag, 0);
  for (double x : {0.0, 0.4, 1.0, 1.7, 2.0}) {
    double uv[2] = {x, 0.5}, p[2];
    int l1 = 0, l2 = 0, st = 0;
    s1424(s.get(), 0, 0, uv, &l1, &l2, p, &st);
    EXPECT_NEAR(at(pu.get(), x)[0], p[0], 1e-14);
  }
  for (double y : {0.0, 0.3, 0.5, 0.9}) {
    double uv[2] = {1.3, y}, p[2];
    int l1 = 0, l2 = 0, st = 0;
    s1424(s.get(), 0, 0, uv, &l1, &l2, p, &st);
    EXPECT_NEAR(at(pv.get(), y)[1], p[1], 1e-14);
  }
}

TEST(EndPoints, AndRationalForm) {
  auto c = make({0, 0, 0, 1, 2, 2, 2}, 3, {0, 0, 1, 2, 3, 1, 4, 4}, 2);
  spline_point* p = nullptr;
  double par = 0;
  int status = -1;
  s1438(c.get(), 1, &p, &par, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(par, 2.0);
  EXPECT_EQ(p->coords[0], 4.0);
  EXPECT_EQ(p->coords[1], 4.0);
  destroy_point(p);
  {
    Quiet q;
    s1438(c.get(), 2, &p, &par, &status);
    EXPECT_EQ(status, -141);
  }
  auto r = own(s1521(c.get(), &status));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(r->kind, 2);
  EXPECT_EQ(r->hom_coefs[2], 1.0);
  EXPECT_LT(max_gap(r.get(), c.get(), 0, 2), 1e-15);
  auto r2 = own(s1521(r.get(), &status));
  EXPECT_EQ(status, 1);
  EXPECT_EQ(r2->kind, 2);
}

TEST(Frames, LineCircleAndLifting) {
  auto line = make({0, 0, 1, 1}, 2, {0, 0, 0, 1, 2, 2}, 3);
  const double params[] = {0.0, 0.5, 1.0};
  double pos[9], tan[9], nor[9], bin[9];
  int status = -1;
  s2559(line.get(), params, 3, pos, tan, nor, bin, &status);
  EXPECT_EQ(status, 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(tan[3 * i + 0], 1.0 / 3, 1e-15);
    EXPECT_NEAR(tan[3 * i + 2], 2.0 / 3, 1e-15);
    EXPECT_EQ(nor[3 * i], 0.0);
    EXPECT_EQ(bin[3 * i + 2], 0.0);
  }
  // Rational unit circle quarter in 2D, counter-clockwise: binormal +z, normal to the centre.
  const double h = std::sqrt(0.5);
  auto arc = make({0, 0, 0, 1, 1, 1}, 3, {1, 0, 1, h, h, h, 0, 1, 1}, 2, true);
  const double ps[] = {0.1, 0.5, 0.9};
  s2559(arc.get(), ps, 3, pos, tan, nor, bin, &status);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pos[3 * i + 2], 0.0);
    EXPECT_NEAR(bin[3 * i + 2], 1.0, 1e-14);
    EXPECT_NEAR(nor[3 * i + 0], -pos[3 * i + 0], 1e-13);
    EXPECT_NEAR(nor[3 * i + 1], -pos[3 * i + 1], 1e-13);
  }
  // Dimension 1: (0, x, 0) with tangent along (1, x', 0).
  auto f = make({0, 0, 1, 1}, 2, {1, 3}, 1);
  s2559(f.get(), ps, 1, pos, tan, nor, bin, &status);
  EXPECT_NEAR(pos[1], 1.2, 1e-15);
  EXPECT_NEAR(tan[0], 1 / std::sqrt(5.0), 1e-15);
  EXPECT_NEAR(tan[1], 2 / std::sqrt(5.0), 1e-15);
  s2559(f.get(), ps, 0, pos, tan, nor, bin, &status);
  EXPECT_EQ(status, 0);
  // A vanishing first derivative gives no NaN.
  const double still[] = {1, 2, 3, 0, 0, 0, 1, 0, 0};
  frame_from_derivatives(still, 3, pos, tan, nor, bin, &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(tan[0], 0.0);
  EXPECT_FALSE(std::isnan(nor[0]));
}

TEST(Hermite, TwoPointsGiveOneBezierSegment) {
  const double p[] = {0, 0, 3, 0}, d[] = {3, 3, 3, -3}, par[] = {1, 2};
  spline_curve* c = nullptr;
  int status = -1;
  s1379(p, d, par, 2, 2, &c, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  ASSERT_EQ(pc->vertex_count, 4);
  const double want_t[] = {1, 1, 1, 1, 2, 2, 2, 2};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(pc->knots[i], want_t[i]);
  EXPECT_NEAR(pc->coefs[2], 1.0, 1e-15);
  EXPECT_NEAR(pc->coefs[3], 1.0, 1e-15);
  EXPECT_NEAR(pc->coefs[4], 2.0, 1e-15);
  EXPECT_NEAR(pc->coefs[5], 1.0, 1e-15);
}

TEST(Hermite, ReproducesPositionsAndDerivatives) {
  std::vector<double> p, d, par;
  for (int i = 0; i < 6; ++i) {
    const double x = 0.4 * i * i;
    par.push_back(x);
    p.insert(p.end(), {std::sin(x), std::cos(x), x});
    d.insert(d.end(), {std::cos(x), -std::sin(x), 1});
  }
  spline_curve* c = nullptr;
  int status = -1;
  s1379(p.data(), d.data(), par.data(), 6, 3, &c, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  for (int i = 0; i < 6; ++i) {
    double der[6];
    int left = 0;
    s1221(pc.get(), 1, par[i], &left, der, &status);
    for (int m = 0; m < 3; ++m) {
      EXPECT_NEAR(der[m], p[3 * i + m], 1e-14);
      EXPECT_NEAR(der[3 + m], d[3 * i + m], 1e-13);
    }
  }
  Quiet q;
  s1379(p.data(), d.data(), par.data(), 1, 3, &c, &status);
  EXPECT_EQ(status, -181);
}

TEST(Hermite, ClosedDataGivesAPeriodicCurve) {
  std::vector<double> p, d, par;
  for (int i = 0; i <= 8; ++i) {
    const double a = 2 * M_PI * i / 8;
    par.push_back(a);
    p.insert(p.end(), {std::cos(a), std::sin(a)});
    d.insert(d.end(), {-std::sin(a), std::cos(a)});
  }
  p[16] = p[0], p[17] = p[1], d[16] = d[0], d[17] = d[1];
  spline_curve* c = nullptr;
  int status = -1;
  s1379(p.data(), d.data(), par.data(), 9, 2, &c, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  EXPECT_EQ(pc->open_flag, -1);
  EXPECT_NEAR(pc->knots[0], -2 * M_PI / 8, 1e-14);
}

TEST(CubicThroughSamples, PassesThroughSamplesWithContinuousTangents) {
  // Samples of a circle of radius 2.
  std::vector<double> samples;
  for (int i = 0; i < 7; ++i) {
    const double a = 0.4 * i;
    const double der[] = {2 * std::cos(a), 2 * std::sin(a), -2 * std::sin(a), 2 * std::cos(a),
                          -2 * std::cos(a), -2 * std::sin(a)};
    double s[7];
    int st = 0;
    curvature_vector(der, 2, s, &st);
    samples.insert(samples.end(), s, s + 7);
  }
  std::vector<double> par(7);
  spline_curve* c = nullptr;
  int status = -1;
  s1359(samples.data(), 1e-6, 2, 7, 0, par.data(), &c, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  for (int i = 0; i < 7; ++i) {
    auto p = at(pc.get(), par[i]);
    EXPECT_NEAR(p[0], samples[7 * i], 1e-13);
    EXPECT_NEAR(p[1], samples[7 * i + 1], 1e-13);
  }
  // Radius stays close to 2 between samples (tangent lengths follow the arc).
  double worst = 0;
  for (int i = 0; i <= 600; ++i) {
    auto p = at(pc.get(), par[6] * i / 600.0);
    worst = std::fmax(worst, std::fabs(std::hypot(p[0], p[1]) - 2.0));
  }
  EXPECT_LT(worst, 1e-4);
}

TEST(OffsetCurves, DerivativesMatchFiniteDifferences) {
  auto c = make({0, 0, 0, 0, 1, 2, 2, 2, 2}, 4, {0, 0, 1, 2, 3, 1, 4, 3, 6, 2}, 2);
  const double d = 0.3, x = 0.7, h = 1e-5;
  double r[6], rp[6], rm[6];
  int left = 0, status = -1;
  s1362(c.get(), d, nullptr, 2, 2, x, &left, r, &status);
  ASSERT_EQ(status, 0);
  s1362(c.get(), d, nullptr, 2, 2, x + h, &left, rp, &status);
  s1362(c.get(), d, nullptr, 2, 2, x - h, &left, rm, &status);
  for (int m = 0; m < 2; ++m) {
    EXPECT_NEAR(r[2 + m], (rp[m] - rm[m]) / (2 * h), 1e-7);
    EXPECT_NEAR(r[4 + m], (rp[2 + m] - rm[2 + m]) / (2 * h), 1e-6);
  }
  // A positive offset lies to the left of the direction of travel.
  double p[6];
  s1221(c.get(), 1, x, &left, p, &status);
  const double side = p[2] * (r[1] - p[1]) - p[3] * (r[0] - p[0]);
  EXPECT_GT(side, 0);
  EXPECT_NEAR(std::hypot(r[0] - p[0], r[1] - p[1]), d, 1e-14);
}

TEST(Approximation, RationalCircleAndOffset) {
  const double h = std::sqrt(0.5);
  std::vector<double> hom;
  const double sq[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  for (int i = 0; i < 9; ++i) {
    const double w = i % 2 ? h : 1.0;
    hom.insert(hom.end(), {2 * sq[i][0] * w, 2 * sq[i][1] * w, w});
  }
  auto circle = make({0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4}, 3, hom, 2, true);
  for (double d : {0.0, 0.5, -0.5}) {
    spline_curve* a = nullptr;
    int status = -1;
    const double tol = 1e-4;
    s1360(circle.get(), d, tol, nullptr, 0.0, 2, &a, &status);
    ASSERT_EQ(status, 0) << d;
    auto pa = own(a);
    EXPECT_EQ(pa->kind, 1);
    EXPECT_EQ(pa->order, 4);
    // Counter-clockwise circle: a positive offset moves inwards.
    const double radius = 2.0 - d;
    double worst = 0;
    const double a0 = pa->knots[3], a1 = pa->knots[pa->vertex_count];
    for (int i = 0; i <= 2000; ++i) {
      auto p = at(pa.get(), a0 + (a1 - a0) * i / 2000.0);
      worst = std::fmax(worst, std::fabs(std::hypot(p[0], p[1]) - radius));
    }
    EXPECT_LT(worst, 3 * tol) << d;
  }
  Quiet q;
  spline_curve* a = nullptr;
  int status = 0;
  s1360(circle.get(), 0.0, 0.0, nullptr, 0.0, 2, &a, &status);
  EXPECT_EQ(status, -184);
  auto dot = make({0, 0, 1, 1}, 2, {1, 1, 1, 1}, 2);
  s1360(dot.get(), 0.0, 1e-3, nullptr, 0.0, 2, &a, &status);
  EXPECT_EQ(status, -1);
}

TEST(Approximation, StraightLineUsesTheMaximalStep) {
  auto line = make({0, 0, 1, 1}, 2, {0, 0, 10, 0}, 2);
  spline_curve* a = nullptr;
  int status = -1;
  s1360(line.get(), 0.0, 1e-3, nullptr, 2.0, 2, &a, &status);
  ASSERT_EQ(status, 0);
  auto pa = own(a);
  EXPECT_EQ(pa->vertex_count, 3 * 5 + 1);  // five segments of length 2
}

double shoelace(const std::vector<double>& xy) {
  double s = 0;
  const size_t n = xy.size() / 2;
  for (size_t i = 0; i + 1 < n; ++i) s += xy[2 * i] * xy[2 * i + 3] - xy[2 * i + 2] * xy[2 * i + 1];
  return s / 2;
}

TEST(Area, PolygonCircleAndOrientation) {
  std::vector<double> poly{0, 0, 4, 0, 5, 3, 1, 4, -1, 2, 0, 0};
  std::vector<double> t{0, 0, 1, 2, 3, 4, 5, 5};
  auto pc = make(t, 2, poly, 2);
  double area = 0;
  int status = -1;
  const double pt[] = {1.3, -7};
  s1241(pc.get(), pt, 2, 1e-4, &area, &status);
  ASSERT_EQ(status, 0);
  EXPECT_NEAR(area, shoelace(poly), 1e-12 * std::fabs(shoelace(poly)));

  // Closed cubic through samples of an ellipse: compare with a fine quadrature of
  // 1/2 * integral (x y' - y x') of the curve itself (independent of the double sum).
  std::vector<double> knots{0, 0, 0, 0}, v;
  const int n = 12;
  for (int i = 1; i <= n - 4; ++i) knots.push_back(i);
  for (int i = 0; i < 4; ++i) knots.push_back(n - 3);
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / (n - 1);
    v.insert(v.end(), {3 * std::cos(a) + 1, 2 * std::sin(a) - 1});
  }
  auto cc = make(knots, 4, v, 2);
  double want = 0;
  const int steps = 20000;
  const double span = n - 3;
  for (int i = 0; i < steps; ++i) {
    const double x = span * (i + 0.5) / steps;
    double der[4];
    int left = 0, st = 0;
    s1221(cc.get(), 1, x, &left, der, &st);
    want += 0.5 * (der[0] * der[3] - der[1] * der[2]) * span / steps;
  }
  for (const double* p : {pt, (const double[]){1.0, -1.0}}) {
    s1241(cc.get(), p, 2, 1e-4, &area, &status);
    EXPECT_NEAR(area, want, 1e-6);
  }
  EXPECT_GT(area, 0);
  reverse_curve(cc.get());
  double rev = 0;
  s1241(cc.get(), pt, 2, 1e-4, &rev, &status);
  EXPECT_NEAR(rev, -area, 1e-10);
}

TEST(Area, Errors) {
  Quiet q;
  auto c3 = make({0, 0, 1, 1}, 2, {0, 0, 0, 1, 1, 1}, 3);
  double area = 0;
  int status = 0;
  const double pt[] = {0, 0};
  s1241(c3.get(), pt, 3, 1e-4, &area, &status);
  EXPECT_EQ(status, -106);
  std::vector<double> t(7, 0.0), v;
  for (int i = 0; i < 7; ++i) t.push_back(1.0);
  for (int i = 0; i < 7; ++i) v.insert(v.end(), {std::cos(i), std::sin(i)});
  auto c7 = make(t, 7, v, 2);
  s1241(c7.get(), pt, 2, 1e-4, &area, &status);
  EXPECT_EQ(status, -106);
}

TEST(Area, ProductIntegralOfBernsteinPolynomials) {
  // On [0, 1] with quadratic Bezier knots: integral of B_{0,3} * B_{0,2} where
  // B_{0,3} = (1-t)^2 and B_{0,2} on t[0..2] = (0,0,0) is zero; B_{1,2} = 1 - t.
  const double t[] = {0, 0, 0, 1, 1, 1};
  double v = -1;
  int status = -1;
  s1244(t, 3, 3, 2, 3, 0, 1, &v, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(v, 0.25, 1e-15);  // integral of (1-t)^3
  s1244(t, 3, 3, 3, 3, 1, 1, &v, &status);
  EXPECT_NEAR(v, 4.0 / 30, 1e-15);  // integral of (2t(1-t))^2
}

}  // namespace
