#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/detail/isect/coincidence_march.h"
#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

const std::vector<double> kKnotAt06 = {0, 0, 0, 0, 0.6, 1, 1, 1, 1};

// A planar cubic in z = 0 over [0, 1] with a knot at 0.6: (t, t^2 - 0.5 t, 0.3 t^3).
std::vector<std::vector<double>> planar_power() {
  return {{0, 1}, {0, -0.5, 1}, {0, 0, 0, 0.3}};
}

// The same curve lifted out of its plane from t = 0.6 on: its last vertex moved by lift
// along z adds lift * ((t - 0.6) / 0.4)^3 for t >= 0.6 and nothing before.  The curve's
// distance from the unlifted one (and from the plane z = 0) is that lift, so the two
// part where lift * ((t - 0.6) / 0.4)^3 = epsge.
CurveHandle lifted_after_06(double lift) {
  auto c = poly_curve(planar_power(), kKnotAt06, 4);
  c->coefs[4 * 3 + 2] += lift;
  return c;
}

double parting_parameter(double lift, double epsge) {
  return 0.6 + 0.4 * std::cbrt(epsge / lift);
}

// Largest parameter step of a march from t on [0, 1] with cubics: |end - t| / 16.
double largest_step(double t, int dir) { return (dir > 0 ? 1.0 - t : t) / 16.0; }

TEST(CurvePairMarch, IdenticalCurvesNeverSeparate) {
  auto cubic3 = poly_curve(planar_power(), kKnotAt06, 4);
  auto cubic3_copy = poly_curve(planar_power(), kKnotAt06, 4);
  auto planar = poly_curve({{0, 1, 0.5}, {1, 0, -2}}, {0, 0, 0, 0.3, 0.7, 1, 1, 1}, 3);
  auto planar_copy = poly_curve({{0, 1, 0.5}, {1, 0, -2}}, {0, 0, 0, 0.3, 0.7, 1, 1, 1}, 3);
  auto scalar = poly_curve_1d({0.2, -1, 3, -2}, kKnotAt06, 4);
  auto scalar_copy = poly_curve_1d({0.2, -1, 3, -2}, kKnotAt06, 4);
  struct Case {
    const char* name;
    const spline_curve* a;
    const spline_curve* b;
    double start;
    int dir;
  } cases[] = {{"space forwards", cubic3.get(), cubic3_copy.get(), 0.1, 1},
               {"space backwards", cubic3.get(), cubic3_copy.get(), 0.9, -1},
               {"space from the start", cubic3.get(), cubic3_copy.get(), 0.0, 1},
               {"plane forwards", planar.get(), planar_copy.get(), 0.35, 1},
               {"plane backwards", planar.get(), planar_copy.get(), 0.35, -1},
               {"scalar forwards", scalar.get(), scalar_copy.get(), 0.0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const double start[2] = {c.start, c.start};
    double last[2] = {-9, -9}, sep[2] = {-9, -9};
    int st = -7;
    sh1783(c.a, c.b, 1e-7, start, c.dir, c.dir, last, sep, &st);
    EXPECT_GE(st, 1);
    EXPECT_LE(st, 3);
    // The end reached is the end in the marching direction, on both curves.
    const double end = c.dir > 0 ? 1.0 : 0.0;
    if (st & 1) {
      EXPECT_DOUBLE_EQ(last[0], end);
    }
    if (st & 2) {
      EXPECT_DOUBLE_EQ(last[1], end);
    }
    EXPECT_NEAR(last[0], end, 1e-6);
    EXPECT_NEAR(last[1], end, 1e-6);
  }
}

TEST(CurvePairMarch, WhichEndIsReached) {
  // The same polynomial on [0, 1] and on [0, 0.7] (the second a part of the first).
  auto whole = poly_curve(planar_power(), kKnotAt06, 4);
  auto part = poly_curve(planar_power(), {0, 0, 0, 0, 0.7, 0.7, 0.7, 0.7}, 4);
  auto copy = poly_curve(planar_power(), kKnotAt06, 4);
  struct Case {
    const char* name;
    const spline_curve* a;
    const spline_curve* b;
    double start;
    int dir;
    int expected;
    double last0, last1;
  } cases[] = {{"second ends first", whole.get(), part.get(), 0.2, 1, 2, 0.7, 0.7},
               {"first ends first", part.get(), whole.get(), 0.2, 1, 1, 0.7, 0.7},
               {"both end", whole.get(), copy.get(), 0.2, 1, 3, 1.0, 1.0},
               {"backwards, both end", part.get(), whole.get(), 0.5, -1, 3, 0.0, 0.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const double start[2] = {c.start, c.start};
    double last[2], sep[2];
    int st = -7;
    sh1783(c.a, c.b, 1e-7, start, c.dir, c.dir, last, sep, &st);
    // Newton's answer for the end of one curve may stop a hair short on the other.
    if (c.expected == 3) {
      EXPECT_GE(st, 1);
      EXPECT_LE(st, 3);
    } else {
      EXPECT_EQ(st, c.expected);
    }
    EXPECT_NEAR(last[0], c.last0, 1e-7);
    EXPECT_NEAR(last[1], c.last1, 1e-7);
  }
}

TEST(CurvePairMarch, ReversedCopyMarchedAgainstItsDirection) {
  auto a = poly_curve(planar_power(), kKnotAt06, 4);
  // b(s) = a(1 - s) on knots 0, 0.4 (mirrored).
  auto b = poly_curve({{1, -1}, {0.5, -1.5, 1}, {0.3, -0.9, 0.9, -0.3}},
                      {0, 0, 0, 0, 0.4, 1, 1, 1, 1}, 4);
  const double start[2] = {0.25, 0.75};
  double last[2], sep[2];
  int st = -7;
  sh1783(a.get(), b.get(), 1e-7, start, 1, -1, last, sep, &st);
  EXPECT_GE(st, 1);
  EXPECT_NEAR(last[0], 1.0, 1e-6);
  EXPECT_NEAR(last[1], 0.0, 1e-6);
}

TEST(CurvePairMarch, CurvesPartingAfterACommonStretch) {
  const double eps = 1e-6;
  struct Case {
    double lift;
    double start;
    bool lifted_first;
  } cases[] = {{0.05, 0.1, false}, {0.05, 0.45, true}, {1.0, 0.3, false}, {0.002, 0.0, true}};
  auto flat = poly_curve(planar_power(), kKnotAt06, 4);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "lift " << c.lift << " start " << c.start);
    auto lifted = lifted_after_06(c.lift);
    const spline_curve* one = c.lifted_first ? lifted.get() : flat.get();
    const spline_curve* two = c.lifted_first ? flat.get() : lifted.get();
    const double start[2] = {c.start, c.start};
    double last[2], sep[2];
    int st = -7;
    sh1783(one, two, eps, start, 1, 1, last, sep, &st);
    ASSERT_EQ(st, 0);
    const double part = parting_parameter(c.lift, eps);
    const double step = largest_step(c.start, 1);
    // The nearest point of the other curve has the same parameter.
    EXPECT_NEAR(last[0], last[1], 1e-5);
    EXPECT_NEAR(sep[0], sep[1], 1e-3);
    EXPECT_LE(last[0], part + 1e-6);
    EXPECT_GE(sep[0], part - 1e-6);
    EXPECT_LE(sep[0] - last[0], step + 1e-12);
    EXPECT_NEAR(sep[0], 0.6, (part - 0.6) + step);
  }
}

TEST(CurvePairMarch, BackwardsFromTheCommonStretchReachesTheStart) {
  auto flat = poly_curve(planar_power(), kKnotAt06, 4);
  auto lifted = lifted_after_06(0.05);
  const double start[2] = {0.55, 0.55};
  double last[2], sep[2];
  int st = -7;
  sh1783(flat.get(), lifted.get(), 1e-6, start, -1, -1, last, sep, &st);
  EXPECT_GE(st, 1);
  EXPECT_NEAR(last[0], 0.0, 1e-9);
  EXPECT_NEAR(last[1], 0.0, 1e-6);
}

TEST(CurvePairMarch, DegenerateInputsEnd) {
  {
    SCOPED_TRACE("both curves are the same single point");
    auto a = curve({0, 0, 0, 1, 1, 1}, 3, {1, 2, 3, 1, 2, 3, 1, 2, 3}, 1, 3);
    auto b = curve({0, 0, 1, 1}, 2, {1, 2, 3, 1, 2, 3}, 1, 3);
    const double start[2] = {0.0, 0.0};
    double last[2] = {-9, -9}, sep[2] = {-9, -9};
    int st = -7;
    sh1783(a.get(), b.get(), 1e-6, start, 1, 1, last, sep, &st);
    EXPECT_EQ(st, kCurvePairMarchStopped);
    EXPECT_EQ(sep[0], last[0]);
    EXPECT_EQ(sep[1], last[1]);
  }
  {
    SCOPED_TRACE("no tolerance: curved curves get no step length");
    auto a = poly_curve(planar_power(), kKnotAt06, 4);
    auto b = poly_curve(planar_power(), kKnotAt06, 4);
    const double start[2] = {0.2, 0.2};
    double last[2] = {-9, -9}, sep[2] = {-9, -9};
    int st = -7;
    sh1783(a.get(), b.get(), 0.0, start, 1, 1, last, sep, &st);
    EXPECT_EQ(st, kCurvePairMarchStopped);
    EXPECT_EQ(last[0], 0.2);
  }
}

TEST(CurvePairMarch, DimensionsRejected) {
  isect_test::ReportLog log;
  auto l2 = line({0, 0}, {1, 1});
  auto l3 = line({0, 0, 0}, {1, 1, 1});
  auto l4 = line({0, 0, 0, 0}, {1, 1, 1, 1});
  auto l4b = line({0, 0, 0, 0}, {1, 1, 1, 1});
  struct Case {
    const spline_curve* a;
    const spline_curve* b;
  } cases[] = {{l2.get(), l3.get()}, {l3.get(), l2.get()}, {l4.get(), l4b.get()}};
  for (const auto& c : cases) {
    log.clear();
    const double start[2] = {0, 0};
    double last[2], sep[2];
    int st = 0;
    sh1783(c.a, c.b, 1e-6, start, 1, 1, last, sep, &st);
    EXPECT_EQ(st, -105);
    EXPECT_TRUE(log.named("sh1783"));
  }
}

TEST(ProjectOntoCurve, NearestPointOfAParallelLine) {
  // a(t) = (t, 1, 0) and b(s) = (2 s, 0, 0): the nearest point of b to a(t) is s = t / 2.
  auto a = line({0, 1, 0}, {1, 1, 0});
  auto b = line({0, 0, 0}, {2, 0, 0});
  for (const double t : {0.0, 0.3, 0.8, 1.0}) {
    double da[6], db[6], s = -1;
    int la = 0, lb = 0, st = -7;
    eval_project_curve(s1221, S1227, a.get(), b.get(), 1, 1e-9, t, &la, da, 0.9, &s, &lb, db,
                       &st);
    EXPECT_EQ(st, 0);
    EXPECT_NEAR(s, t / 2, 1e-12);
    EXPECT_NEAR(da[0], t, 1e-15);
    EXPECT_NEAR(db[0], t, 1e-12);
    EXPECT_NEAR(db[3], 2.0, 1e-12);  // first derivative of b
  }
}

// ---- A curve in a surface

// A curve in the plane z = 0 (crossing the knot lines u = 0.5 and v = 0.5), lifted out
// of it from t = 0.6 on by lift * ((t - 0.6) / 0.4)^3.
CurveHandle plane_curve(double lift) {
  auto c = poly_curve({{0.1, 0.8}, {0.2, 0.3, 0.4}, {0}}, kKnotAt06, 4);
  c->coefs[4 * 3 + 2] += lift;
  return c;
}

// The triple in the caller's order.
std::vector<double> triple(int place, double t, double u, double v) {
  return place == 1 ? std::vector<double>{t, u, v} : std::vector<double>{u, v, t};
}
double param_t(int place, const double* p) { return place == 1 ? p[0] : p[2]; }

TEST(CurveInSurfaceMarch, LiesInThePlaneToItsEnd) {
  auto plane = knotted_plane();
  auto c = plane_curve(0.0);
  for (const int place : {1, 0})
    for (const int dir : {1, -1}) {
      SCOPED_TRACE(testing::Message() << "place " << place << " dir " << dir);
      const double t0 = 0.3;
      const auto p = eval_curve(c.get(), t0);
      const auto start = triple(place, t0, p[0], p[1]);
      double last[3], sep[3];
      int st = -7;
      sh1784(c.get(), plane.get(), 1e-7, start.data(), place, dir, last, sep, &st);
      EXPECT_EQ(st, 1);
      // The last step started within one largest step of the end.
      const double end = dir > 0 ? 1.0 : 0.0;
      EXPECT_LE(std::fabs(param_t(place, last) - end), largest_step(t0, dir) + 1e-12);
      const auto q = eval_curve(c.get(), param_t(place, last));
      const double* luv = place == 1 ? last + 1 : last;
      EXPECT_NEAR(luv[0], q[0], 1e-6);
      EXPECT_NEAR(luv[1], q[1], 1e-6);
    }
}

TEST(CurveInSurfaceMarch, StartedAtTheEndReportsTheStart) {
  auto plane = knotted_plane();
  auto c = plane_curve(0.0);
  const auto p = eval_curve(c.get(), 1.0);
  const auto start = triple(1, 1.0, p[0], p[1]);
  double last[3], sep[3];
  int st = -7;
  sh1784(c.get(), plane.get(), 1e-7, start.data(), 1, 1, last, sep, &st);
  EXPECT_EQ(st, 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(last[i], start[static_cast<size_t>(i)]);
}

TEST(CurveInSurfaceMarch, LeavingThePlaneAfterACommonStretch) {
  auto plane = knotted_plane();
  const double eps = 1e-6;
  for (const double lift : {0.05, 1.0})
    for (const int place : {1, 0}) {
      SCOPED_TRACE(testing::Message() << "lift " << lift << " place " << place);
      auto c = plane_curve(lift);
      const double t0 = 0.05;
      const auto p = eval_curve(c.get(), t0);
      const auto start = triple(place, t0, p[0], p[1]);
      double last[3], sep[3];
      int st = -7;
      sh1784(c.get(), plane.get(), eps, start.data(), place, 1, last, sep, &st);
      ASSERT_EQ(st, 0);
      const double part = parting_parameter(lift, eps);
      const double tl = param_t(place, last), ts = param_t(place, sep);
      EXPECT_LE(tl, part + 1e-6);
      EXPECT_GE(ts, part - 1e-6);
      EXPECT_LE(ts - tl, largest_step(t0, 1) + 1e-12);
      EXPECT_NEAR(ts, 0.6, (part - 0.6) + largest_step(t0, 1));
    }
}

TEST(CurveInSurfaceMarch, LeavingTheParameterRectangleGivesTwo) {
  auto plane = knotted_plane();
  // In the plane z = 0 from (0.2, 0.3) to (1.5, 0.8): it crosses u = 1 at t = 8 / 13.
  auto c = line({0.2, 0.3, 0}, {1.5, 0.8, 0});
  for (const int place : {1, 0}) {
    SCOPED_TRACE(place);
    const auto start = triple(place, 0.0, 0.2, 0.3);
    double last[3], sep[3];
    int st = -7;
    sh1784(c.get(), plane.get(), 1e-7, start.data(), place, 1, last, sep, &st);
    EXPECT_EQ(st, 2);
    const double cross = 8.0 / 13.0;
    EXPECT_LE(param_t(place, last), cross);
    EXPECT_GE(param_t(place, sep), cross - 1e-9);
    const double* suv = place == 1 ? sep + 1 : sep;
    EXPECT_DOUBLE_EQ(suv[0], 1.0);
  }
}

TEST(CurveInSurfaceMarch, ChordCuttingARidge) {
  const double eps = 1e-4;
  // Tents of slope a: z = a u up to the ridge u = 0.5 (a knot line), z = a (1 - u) after
  // it.  Along v = 0.5 a curve runs up the first face to just before the ridge, cuts it
  // with a chord that passes 1.5 eps below the ridge and is back within eps of the
  // second face soon after it, and runs down the second face, ending inside the
  // parameter rectangle.  With d1 = 0 it runs over the ridge.
  struct Case {
    const char* name;
    double slope;
    double d1;  // where the chord starts before the ridge, in u
    int dir;
    int expected;
  } cases[] = {{"over the ridge", 1.0, 0.0, 1, 1},
               {"over a flat ridge", 0.1, 0.0, 1, 1},
               {"cutting a flat ridge", 0.1, 7.5 * eps, 1, 0},
               {"cutting a flat ridge backwards", 0.1, 7.5 * eps, -1, 0}};
  // (Across a steep ridge the Newton projection from one face does not turn the kink
  // onto the other, so the places reported there are not those of the closed form: not
  // tested here.)
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const double a = c.slope;
    auto tent = surface({0, 0, 0.5, 1, 1}, {0, 0, 1, 1}, 2, 2,
                        {0, 0, 0, 0.5, 0, 0.5 * a, 1, 0, 0, 0, 1, 0, 0.5, 1, 0.5 * a, 1, 1, 0},
                        1, 3);
    const double d1 = c.d1, d2 = 0.3;
    auto chord = curve({0, 0, 1.0 / 3, 2.0 / 3, 1, 1}, 2,
                       {0, 0.5, 0, 0.5 - d1, 0.5, a * (0.5 - d1), 0.5 + d2, 0.5, a * (0.5 - d2),
                        0.95, 0.5, a * 0.05},
                       1, 3);
    const auto start = c.dir > 0 ? triple(1, 0.0, 0.0, 0.5) : triple(1, 1.0, 0.95, 0.5);
    double last[3], sep[3];
    int st = -7;
    sh1784(chord.get(), tent.get(), eps, start.data(), 1, c.dir, last, sep, &st);
    EXPECT_EQ(st, c.expected);
    if (st == 0) {
      // The chord (t in [1/3, 2/3], u from 0.5 - d1 to 0.5 + d2) is farther than eps from
      // the faces' planes for u in [0.5 - d1 + x, 0.5 + d2 - y] with
      // x = eps sqrt(1 + a^2) (d1 + d2) / (2 a d2), y = eps sqrt(1 + a^2) (d1 + d2) / (2 a d1).
      const double r = eps * std::sqrt(1 + a * a) * (d1 + d2) / (2 * a);
      const double t_in = 1.0 / 3 + (r / d2) / (d1 + d2) / 3;
      const double t_out = 1.0 / 3 + (d1 + d2 - r / d1) / (d1 + d2) / 3;
      const double near = c.dir > 0 ? t_in : t_out;
      const double tol = 5e-5;
      EXPECT_LE(c.dir * last[0], c.dir * near + tol);
      EXPECT_GE(sep[0], t_in - tol);
      EXPECT_LE(sep[0], t_out + tol);
    }
  }
}

TEST(CurveInSurfaceMarch, DegenerateInputsEnd) {
  auto plane = knotted_plane();
  {
    SCOPED_TRACE("a curve standing still on the plane stays on it to its end");
    auto c = curve({0, 0, 0, 1, 1, 1}, 3, {0.3, 0.4, 0, 0.3, 0.4, 0, 0.3, 0.4, 0}, 1, 3);
    const auto start = triple(1, 0.0, 0.3, 0.4);
    double last[3], sep[3];
    int st = -7;
    sh1784(c.get(), plane.get(), 1e-7, start.data(), 1, 1, last, sep, &st);
    EXPECT_EQ(st, 1);
  }
  {
    SCOPED_TRACE("no tolerance: a curved curve gets no step length");
    auto c = plane_curve(0.0);
    const auto p = eval_curve(c.get(), 0.2);
    const auto start = triple(1, 0.2, p[0], p[1]);
    double last[3], sep[3];
    int st = -7;
    sh1784(c.get(), plane.get(), 0.0, start.data(), 1, 1, last, sep, &st);
    EXPECT_EQ(st, kCurveSurfaceMarchStopped);
    EXPECT_EQ(param_t(1, last), 0.2);
    EXPECT_EQ(param_t(1, sep), 0.2);
  }
}

TEST(CurveInSurfaceMarch, DimensionsRejected) {
  isect_test::ReportLog log;
  auto plane = knotted_plane();
  auto flat2 = surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, {0, 0, 1, 0, 0, 1, 1, 1}, 1, 2);
  auto c3 = line({0, 0, 0}, {1, 1, 0});
  auto c2 = line({0, 0}, {1, 1});
  struct Case {
    const spline_curve* c;
    const spline_surface* s;
  } cases[] = {{c2.get(), plane.get()}, {c3.get(), flat2.get()}, {c2.get(), flat2.get()}};
  for (const auto& cs : cases) {
    log.clear();
    const double start[3] = {0, 0, 0};
    double last[3], sep[3];
    int st = 0;
    sh1784(cs.c, cs.s, 1e-6, start, 1, 1, last, sep, &st);
    EXPECT_EQ(st, -105);
    EXPECT_TRUE(log.named("sh1784"));
  }
}

}  // namespace
