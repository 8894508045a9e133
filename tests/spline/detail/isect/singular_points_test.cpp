// The search for a point where two surfaces touch: touching spheres and a bicubic bowl
// on a plane against their closed-form contact points, surfaces that cross everywhere,
// the Newton step and the box clamp on hand-made blocks.
#include "spline/detail/isect/singular_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/spline/detail/isect/isect_fixture.h"
#include "tests/spline/detail/isect/march_through_testutil.h"

namespace {

using namespace march_through_test;

// Box of half-widths hu, hv about (u, v) on A and hs, ht about (s, t) on B.
std::vector<double> box_about(const std::vector<double>& a, const std::vector<double>& b,
                              double ha, double hb) {
  return {a[0] - ha, a[0] + ha, a[1] - ha, a[1] + ha, b[0] - hb, b[0] + hb, b[1] - hb, b[1] + hb};
}

// The unit sphere about the origin and the unit sphere about 2P touch at P (off the
// knot lines, seams and poles of both).
TEST(Shsing, TouchingSpheresGiveTheContactPoint) {
  const double phi = 0.3, theta = 1.0;
  const std::vector<double> p = {std::cos(phi) * std::cos(theta), std::cos(phi) * std::sin(theta),
                                 std::sin(phi)};
  const double o[3] = {0, 0, 0}, c2[3] = {2 * p[0], 2 * p[1], 2 * p[2]};
  auto a = sphere(o, 1.0);
  auto b = sphere(c2, 1.0);
  const auto pa = params_of(a.get(), p), pb = params_of(b.get(), p);
  ASSERT_LT(dist(eval_surface(a.get(), pa[0], pa[1]), p), 1e-12);
  ASSERT_LT(dist(eval_surface(b.get(), pb[0], pb[1]), p), 1e-12);
  const auto box = box_about(pa, pb, 0.25, 0.25);
  for (const auto& off : std::vector<std::vector<double>>{{0.1, -0.08}, {-0.15, 0.12}}) {
    const double start[4] = {pa[0] + off[0], pa[1] + off[1], pb[0] - off[1], pb[1] + off[0]};
    double res[4];
    int st = -1;
    shsing(a.get(), b.get(), box.data(), start, res, &st);
    ASSERT_EQ(st, 1);
    EXPECT_LT(dist(eval_surface(a.get(), res[0], res[1]), p), 1e-9);
    EXPECT_LT(dist(eval_surface(b.get(), res[2], res[3]), p), 1e-9);
  }
}

// Surface of dimension 3 (x = u, y = v, z = poly) for sum a[p][q] u^p v^q.
SurfaceHandle graph_surface(const std::vector<std::vector<double>>& a, const std::vector<double>& t1,
                         const std::vector<double>& t2, int k) {
  auto z = poly_surface_1d(a, t1, t2, k, k);
  auto x = poly_surface_1d({{0}, {1}}, t1, t2, k, k);
  auto y = poly_surface_1d({{0, 1}}, t1, t2, k, k);
  const int n = z->vertex_count1 * z->vertex_count2;
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.insert(v.end(), {x->coefs[i], y->coefs[i], z->coefs[i]});
  return surface(t1, t2, k, k, v, 1, 3);
}

// A bicubic bowl z = (u - 0.4)^2 + (v - 0.6)^2 + 0.5 (u - 0.4)^2 (v - 0.6) + 0.3 (u - 0.4)^3
// on the plane z = 0: they touch at (0.4, 0.6, 0), which lies on inner knots of the bowl
// (u = 0.4, v = 0.6), so the contact parameters come back exactly on them.
TEST(Shsing, BowlOnATangentPlaneTouchesAtTheKnownPoint) {
  // Power-basis coefficients of the bowl expanded about the origin.
  const double a = 0.4, b = 0.6;
  std::vector<std::vector<double>> c(4, std::vector<double>(2, 0.0));
  // (u - a)^2 = u^2 - 2a u + a^2; (v - b)^2 = v^2 - 2b v + b^2
  // 0.5 (u - a)^2 (v - b) and 0.3 (u - a)^3 expanded term by term.
  auto add = [&](int p, int q, double val) {
    if (static_cast<int>(c[p].size()) <= q) c[p].resize(q + 1, 0.0);
    c[p][q] += val;
  };
  add(2, 0, 1), add(1, 0, -2 * a), add(0, 0, a * a);
  add(0, 2, 1), add(0, 1, -2 * b), add(0, 0, b * b);
  add(2, 1, 0.5), add(2, 0, -0.5 * b), add(1, 1, -a), add(1, 0, a * b), add(0, 1, 0.5 * a * a),
      add(0, 0, -0.5 * a * a * b);
  add(3, 0, 0.3), add(2, 0, -0.9 * a), add(1, 0, 0.9 * a * a), add(0, 0, -0.3 * a * a * a);
  auto bowl = graph_surface(c, {0, 0, 0, 0, 0.4, 1, 1, 1, 1}, {0, 0, 0, 0, 0.6, 1, 1, 1, 1}, 4);
  // The expansion agrees with the bowl's formula.
  for (double u : {0.1, 0.7})
    for (double v : {0.2, 0.9}) {
      const double du = u - a, dv = v - b;
      EXPECT_NEAR(eval_surface(bowl.get(), u, v)[2],
                  du * du + dv * dv + 0.5 * du * du * dv + 0.3 * du * du * du, 1e-13);
    }
  auto plane = plane_z(0.0, -1, 2, -1, 2);
  const double box[8] = {0.1, 0.9, 0.2, 0.95, 0.2, 0.8, 0.2, 0.8};
  const double start[4] = {0.25, 0.75, 0.4, 0.6};
  double res[4];
  int st = -1;
  shsing(bowl.get(), plane.get(), box, start, res, &st);
  ASSERT_EQ(st, 1);
  EXPECT_EQ(res[0], 0.4);
  EXPECT_EQ(res[1], 0.6);
  EXPECT_NEAR(res[2], 1.4 / 3, 1e-9);
  EXPECT_NEAR(res[3], 1.6 / 3, 1e-9);
}

// Surfaces that cross at a clear angle everywhere in the box end without a point and
// inside the box: two planes (the Newton matrix vanishes: zero step at once), and a
// sphere cut by a plane (its tangency lies outside the box, the steps are cut at the
// box until the iterations run out or the step is nothing).
TEST(Shsing, CrossingSurfacesEndCleanlyWithoutAPoint) {
  auto flat = plane_z(0.0, -1, 1, -1, 1);
  auto tilted = patch({-1, -1, -1}, {1, -1, 1}, {-1, 1, -1}, {1, 1, 1});  // z = x
  const double o[3] = {0, 0, 0};
  auto sph = sphere(o, 1.0);
  auto cut = patch({-2, -2, 0.2}, {2, -2, 0.2}, {-2, 2, 0.2}, {2, 2, 0.2});
  const double rho = std::sqrt(0.96);
  const std::vector<double> p = {rho * std::cos(0.5), rho * std::sin(0.5), 0.2};
  const auto sa = params_of(sph.get(), p), sb = params_of(cut.get(), p);
  struct Case {
    const char* name;
    const spline_surface* a;
    const spline_surface* b;
    std::vector<double> box;
    std::vector<double> start;
  } cases[] = {
      {"planes", flat.get(), tilted.get(), {0.2, 0.8, 0.2, 0.8, 0.2, 0.8, 0.2, 0.8},
       {0.5, 0.5, 0.5, 0.5}},
      {"sphere and plane", sph.get(), cut.get(), box_about(sa, sb, 0.05, 0.02),
       {sa[0] + 0.01, sa[1] - 0.01, sb[0], sb[1]}},
  };
  isect_test::ReportLog log;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    double res[4];
    int st = -1;
    shsing(k.a, k.b, k.box.data(), k.start.data(), res, &st);
    EXPECT_EQ(st, 0);
    for (int i = 0; i < 4; ++i) {
      EXPECT_GE(res[i], k.box[2 * i]) << i;
      EXPECT_LE(res[i], k.box[2 * i + 1]) << i;
    }
  }
  EXPECT_EQ(log.count(), 0);
}

TEST(Shsing, RefusedInputs) {
  auto pl = plane_z(0.0, -1, 1, -1, 1);
  auto f = poly_surface_1d({{0, 1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  const double box[8] = {0, 1, 0, 1, 0, 1, 0, 1};
  const double thin[8] = {0, 1, 0.5, 0.5 + 1e-12, 0, 1, 0, 1};
  const double start[4] = {0.5, 0.5, 0.5, 0.5};
  double res[4] = {-7, -7, -7, -7};
  isect_test::ReportLog log;
  int st = 0;
  shsing(pl.get(), pl.get(), thin, start, res, &st);
  EXPECT_EQ(st, -200);
  shsing(f.get(), pl.get(), box, start, res, &st);
  EXPECT_EQ(st, -106);
  shsing(pl.get(), f.get(), box, start, res, &st);
  EXPECT_EQ(st, -106);
  EXPECT_EQ(res[0], -7);
  EXPECT_EQ(log.count(), 3);
  EXPECT_TRUE(log.named("shsing"));
}

// Hand-made blocks: A near the origin with z = 0.2 u + u^2 + v^2 (so z_u = 0 at
// u = -0.1), B the plane z = 0 with its normal (0, 0, 1) and A's point right above B's.
TEST(TangencyStep, NewtonStepAndItsSingularFallbacks) {
  struct Case {
    const char* name;
    double suu, suv, svv;  // z-components of A's second derivatives
    double step0, step1;
  } cases[] = {
      {"regular", 2, 0, 2, -0.1, 0.0},
      {"singular, first entry", 2, 2, 2, -0.1, 0.0},
      {"cross term only", 0, 1, 0, 0.0, -0.2},  // J = [[0, 1], [1, 0]], regular
      {"all zero", 0, 0, 0, 0.0, 0.0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const double a[18] = {0, 0, 0, 1, 0, 0.2, 0, 1, 0, 0, 0, k.suu, 0, 0, k.suv, 0, 0, k.svv};
    const double b[21] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    double step[4] = {9, 9, 9, 9};
    tangency_step(step, a, b);
    EXPECT_NEAR(step[0], k.step0, 1e-15);
    EXPECT_NEAR(step[1], k.step1, 1e-15);
    EXPECT_EQ(step[2], 0.0);
    EXPECT_EQ(step[3], 0.0);
  }
  // Only the second row carries: F = (0.2, 0.3) with J = [[0, 0], [0, 2]] gives the
  // step along the second parameter from the last entry.
  const double a[18] = {0, 0, 0, 1, 0, 0.2, 0, 1, 0.3, 0, 0, 0, 0, 0, 0, 0, 0, 2};
  const double b[21] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  double step[4];
  tangency_step(step, a, b);
  EXPECT_NEAR(step[0], 0.0, 1e-15);
  EXPECT_NEAR(step[1], -0.15, 1e-15);
}

TEST(ClampStepToBox, StepsAreCutAtTheBox) {
  const double box[8] = {0, 1, 0, 2, -1, 1, 5, 6};
  const double point[4] = {0.5, 1.0, 0.0, 5.5};
  double step[4] = {0.7, -1.5, 0.25, 0.5};
  clamp_step_to_box(step, point, box);
  EXPECT_EQ(step[0], 0.5);
  EXPECT_EQ(step[1], -1.0);
  EXPECT_EQ(step[2], 0.25);
  EXPECT_EQ(step[3], 0.5);
}

}  // namespace
