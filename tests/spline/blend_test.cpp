#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/handles.h"
#include "spline/edit_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

TEST(StraightLine, KnotsVerticesAndErrors) {
  const double a[] = {0, 0}, b[] = {3, 4};
  spline_curve* c = nullptr;
  double end = 0;
  int status = -1;
  s1602(a, b, 2, 2, 0.0, &end, &c, &status);
  ASSERT_EQ(status, 0);
  auto l2 = own(c);
  EXPECT_EQ(end, 5.0);
  const double wt[] = {0, 0, 5, 5};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(l2->knots[i], wt[i]);
  s1602(a, b, 4, 2, 0.0, &end, &c, &status);
  auto l4 = own(c);
  EXPECT_NEAR(l4->coefs[2], 1.0, 1e-15);
  EXPECT_NEAR(l4->coefs[3], 4.0 / 3, 1e-15);
  EXPECT_NEAR(l4->coefs[5], 8.0 / 3, 1e-15);
  Quiet q;
  s1602(a, a, 2, 2, 0.0, &end, &c, &status);
  EXPECT_EQ(status, -101);
  s1602(a, b, 1, 2, 0.0, &end, &c, &status);
  EXPECT_EQ(status, -109);
}

double radial_error(const spline_curve* c, const double* centre, double radius) {
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  double worst = 0;
  for (int i = 0; i <= 4000; ++i) {
    auto p = at(c, a + (b - a) * i / 4000.0);
    worst = std::fmax(worst, std::fabs(std::hypot(p[0] - centre[0], p[1] - centre[1]) - radius));
  }
  return worst;
}

TEST(UnitArc, WorkedExampleAndTolerance) {
  spline_curve* c = nullptr;
  int status = -1;
  s1301(1e-3, M_PI / 2, 2, &c, &status);
  ASSERT_EQ(status, 0);
  auto q = own(c);
  ASSERT_EQ(q->vertex_count, 4);
  const double D = q->coefs[3];
  EXPECT_NEAR(D, 0.551915, 1e-6);
  EXPECT_NEAR(q->coefs[4], D, 1e-15);
  EXPECT_NEAR(q->coefs[5], 1.0, 1e-15);
  EXPECT_NEAR(q->coefs[7], 1.0, 1e-15);
  s1301(1e-3, -M_PI / 2, 2, &c, &status);
  auto mirrored = own(c);
  EXPECT_NEAR(mirrored->coefs[3], -D, 1e-15);
  s1301(1e-6, M_PI / 2, 2, &c, &status);
  const CurveHandle owned_c1(c);
  EXPECT_EQ((c->vertex_count - 2) / 2, 3);
  s1301(1e-3, 7.0, 2, &c, &status);
  const CurveHandle owned_c2(c);
  EXPECT_EQ(c->open_flag, -1);
  const double o[] = {0, 0};
  for (double tol : {1e-2, 1e-4, 1e-6, 1e-9})
    for (double ang : {0.3, M_PI / 2, 3.0, 2 * M_PI}) {
      s1301(tol, ang, 2, &c, &status);
      const CurveHandle owned_c3(c);
      ASSERT_EQ(status, 0);
      EXPECT_LE(radial_error(c, o, 1.0), tol) << tol << " " << ang;
    }
}

TEST(CircularArc, PlacementAndErrors) {
  const double P[] = {5, 1}, C[] = {2, 1}, axis[] = {0, 0, 1};
  spline_curve* c = nullptr;
  int status = -1;
  s1303(P, 1e-5, M_PI, C, axis, 2, &c, &status);
  ASSERT_EQ(status, 0);
  auto arc = own(c);
  EXPECT_LE(radial_error(arc.get(), C, 3.0), 1e-5);
  auto e = at(arc.get(), arc->knots[arc->vertex_count]);
  EXPECT_NEAR(e[0], -1, 1e-12);
  EXPECT_NEAR(e[1], 1, 1e-12);
  // In space about the z axis through (0, 0, 2).
  const double P3[] = {1, 0, 2}, C3[] = {0, 0, 2};
  s1303(P3, 1e-6, M_PI / 2, C3, axis, 3, &c, &status);
  ASSERT_EQ(status, 0);
  auto a3 = own(c);
  auto e3 = at(a3.get(), a3->knots[a3->vertex_count]);
  EXPECT_NEAR(e3[0], 0, 1e-12);
  EXPECT_NEAR(e3[1], 1, 1e-12);
  EXPECT_NEAR(e3[2], 2, 1e-12);
  Quiet q;
  s1303(C, 1e-5, 1.0, C, axis, 2, &c, &status);
  EXPECT_EQ(status, -127);
}

TEST(Blend, ClosesAHandDrawnWall) {
  // An open C-shaped stroke, fitted like a hand-drawn wall (order 5, open).
  std::vector<double> pts;
  for (int i = 0; i < 12; ++i) {
    const double a = 0.4 + 5.4 * i / 11;
    pts.insert(pts.end(), {100 + 40 * std::cos(a), 100 + 30 * std::sin(a)});
  }
  spline_curve* c = nullptr;
  int status = -1;
  s1630(pts.data(), 12, 0.0, 1, 2, 5, &c, &status);
  ASSERT_EQ(status, 0);
  auto wall = own(c);
  const double* first = &pts[0];
  const double* last = &pts[22];
  spline_curve* b = nullptr;
  s1606(wall.get(), wall.get(), 0.05, first, last, 3, 2, 4, &b, &status);
  ASSERT_GE(status, 0);
  auto blend = own(b);
  double w0[4], wl[4], b0[4], bl[4];
  int left = 0;
  s1221(wall.get(), 1, wall->knots[4], &left, w0, &status);
  S1227(wall.get(), 1, wall->knots[wall->vertex_count], &left, wl, &status);
  s1221(blend.get(), 1, blend->knots[blend->order - 1], &left, b0, &status);
  S1227(blend.get(), 1, blend->knots[blend->vertex_count], &left, bl, &status);
  // Leaves the stroke's start against its direction, arrives at its end against it.
  EXPECT_NEAR(b0[0], w0[0], 1e-9);
  EXPECT_NEAR(b0[1], w0[1], 1e-9);
  EXPECT_NEAR(bl[0], wl[0], 1e-9);
  EXPECT_NEAR(bl[1], wl[1], 1e-9);
  EXPECT_GT(-(b0[2] * w0[2] + b0[3] * w0[3]), 0);
  EXPECT_GT(-(bl[2] * wl[2] + bl[3] * wl[3]), 0);
  // Joined (reversed) at the stroke's end, the contour is closed.
  spline_curve* joined = nullptr;
  s1715(wall.get(), blend.get(), 1, 1, &joined, &status);
  ASSERT_EQ(status, 0);
  auto pj = own(joined);
  auto s = at(pj.get(), pj->knots[pj->order - 1]);
  double e[2];
  S1227(pj.get(), 0, pj->knots[pj->vertex_count], &left, e, &status);
  EXPECT_NEAR(s[0], e[0], 1e-9);
  EXPECT_NEAR(s[1], e[1], 1e-9);
}

TEST(Blend, CircleWhenTheEndsFitOne) {
  // Two arcs of one circle (radius 2 about the origin); the blend between their ends is
  // that circle.
  spline_curve *a = nullptr, *b = nullptr;
  int status = -1;
  const double C[] = {0, 0}, axis[] = {0, 0, 1};
  const double pa[] = {2, 0}, pb[] = {-2, 0};
  s1303(pa, 1e-9, 1.0, C, axis, 2, &a, &status);
  s1303(pb, 1e-9, 1.0, C, axis, 2, &b, &status);
  auto ca = own(a), cb = own(b);
  const double near_a[] = {2 * std::cos(1.0), 2 * std::sin(1.0)};
  const double near_b[] = {-2, 0};
  spline_curve* bl = nullptr;
  s1606(ca.get(), cb.get(), 1e-6, near_a, near_b, 3, 2, 4, &bl, &status);
  ASSERT_GE(status, 0);
  auto blend = own(bl);
  EXPECT_LE(radial_error(blend.get(), C, 2.0), 1e-6);
  Quiet q;
  auto c3 = make({0, 0, 1, 1}, 2, {0, 0, 0, 1, 1, 1}, 3);
  s1606(ca.get(), c3.get(), 1e-6, near_a, near_b, 3, 2, 4, &bl, &status);
  EXPECT_EQ(status, -106);
}

TEST(ArcThroughData, CollinearSpaceDataGiveALine) {
  const double data[] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
  const double types[] = {1, 1, 1};
  spline_curve* c = nullptr;
  double end = 0;
  int status = -1;
  {
    Quiet q;  // the failed placements of the collinear points are reported
    s1611(data, 3, 3, types, 0, 3, 1.0, 1e-6, &end, &c, &status);
  }
  ASSERT_GE(status, 0);
  auto l = own(c);
  EXPECT_NEAR(end, 1.0 + std::sqrt(12.0), 1e-12);
  auto m = at(l.get(), 1.0 + std::sqrt(3.0));
  EXPECT_NEAR(m[0], 1.0, 1e-12);
}

TEST(ArcThroughData, ConicFromFiveEntries) {
  // Quarter of the ellipse x^2/4 + y^2 = 1 from (2, 0) to (0, 1) through a middle point.
  const double a = 0.7;
  const double data[] = {2, 0, 0, 0.2, 2 * std::cos(a), std::sin(a), -0.4 * std::sin(a), 0.2 * std::cos(a), 0, 1};
  const double types[] = {1, 4, 1, 4, 1};
  double q[6];
  std::vector<int> it{1, 4, 1, 4, 1};
  int status = -1;
  s1616(data, 5, 2, it.data(), q, &status);
  ASSERT_EQ(status, 0);
  // The fitted conic vanishes on the ellipse.
  const double x = 2 * std::cos(0.3), y = std::sin(0.3);
  const double val = q[0] * x * x + 2 * q[1] * x * y + q[2] * y * y + 2 * q[3] * x + 2 * q[4] * y + q[5];
  const double scale = std::fabs(q[0]) + std::fabs(q[2]) + std::fabs(q[5]);
  EXPECT_NEAR(val / scale, 0.0, 1e-10);
  spline_curve* c = nullptr;
  double end = 0;
  s1611(data, 5, 2, types, 0, 3, 0.0, 1e-6, &end, &c, &status);
  ASSERT_GE(status, 0);
  auto pc = own(c);
  const double t0 = pc->knots[pc->order - 1];
  double worst = 0;
  for (int i = 0; i <= 200; ++i) {
    auto p = at(pc.get(), t0 + (end - t0) * i / 200.0);
    worst = std::fmax(worst, std::fabs(p[0] * p[0] / 4 + p[1] * p[1] - 1));
  }
  EXPECT_LT(worst, 1e-4);
}

TEST(ConicSegment, ShapeFactorHalfIsAParabola) {
  const double p0[] = {0, 0}, p1[] = {1, 2}, p2[] = {2, 0};
  spline_curve* c = nullptr;
  int status = -1;
  S1385(p0, p1, p2, 0.5, 2, 1e-8, &c, &status);
  ASSERT_EQ(status, 0);
  auto pc = own(c);
  // Weight 1: the quadratic Bezier y = 2 x (2 - x) / 2... x(t) = 2t, y(t) = 4 t (1 - t).
  const double a = pc->knots[3], b = pc->knots[pc->vertex_count];
  for (int i = 0; i <= 20; ++i) {
    auto p = at(pc.get(), a + (b - a) * i / 20.0);
    const double t = p[0] / 2;
    EXPECT_NEAR(p[1], 4 * t * (1 - t), 1e-7);
  }
}

TEST(Polyline, WithinTolerance) {
  const double h = std::sqrt(0.5);
  auto c = make({0, 0, 0, 0, 1, 2, 2, 2, 2}, 4, {0, 0, 1, 3, 3, 3, 4, 0, 6, 1}, 2);
  double* pts = nullptr;
  int count = 0, status = -1;
  const double eps = 1e-3;
  s1605(c.get(), eps, &pts, &count, &status);
  ASSERT_EQ(status, 0);
  ASSERT_GE(count, 3);
  // Every chord's midpoint lies near the curve (sampled between consecutive points).
  double worst = 0;
  for (int i = 0; i + 1 < count; ++i) {
    // The curve point nearest the chord midpoint, by dense sampling.
    const double mx = (pts[2 * i] + pts[2 * i + 2]) / 2, my = (pts[2 * i + 1] + pts[2 * i + 3]) / 2;
    double best = 1e9;
    for (int s = 0; s <= 4000; ++s) {
      auto p = at(c.get(), 2.0 * s / 4000);
      best = std::fmin(best, std::hypot(p[0] - mx, p[1] - my));
    }
    worst = std::fmax(worst, best);
  }
  EXPECT_LT(worst, 2 * eps);
  std::free(pts);
  (void)h;
}

}  // namespace
