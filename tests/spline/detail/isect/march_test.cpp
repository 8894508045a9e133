#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "spline/handles.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/march.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/newton_testutil.h"
#include "spline/interp.h"
#include "spline/loft.h"
#include "spline/surface_eval.h"
#include "tests/spline/detail/isect/contour_testutil.h"

namespace {

using namespace newton_test;


IsectCurveHandle chain(const std::vector<std::vector<double>>& pars1,
                    const std::vector<std::vector<double>>& pars2, int type) {
  const int n = static_cast<int>(pars1.size());
  double* a = static_cast<double*>(std::malloc(sizeof(double) * 2 * n));
  double* b = pars2.empty() ? nullptr : static_cast<double*>(std::malloc(sizeof(double) * 2 * n));
  for (int i = 0; i < n; ++i) {
    a[2 * i] = pars1[i][0], a[2 * i + 1] = pars1[i][1];
    if (b) b[2 * i] = pars2[i][0], b[2 * i + 1] = pars2[i][1];
  }
  return IsectCurveHandle(create_isect_curve(n, 2, b ? 2 : 0, a, b, type));
}

// Dense samples of a curve over its whole range.
std::vector<std::vector<double>> samples(const spline_curve* c, int count) {
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  std::vector<std::vector<double>> out;
  for (int i = 0; i <= count; ++i) out.push_back(eval_curve(c, a + (b - a) * i / count));
  return out;
}

double polyline_length(const std::vector<std::vector<double>>& p) {
  double l = 0.0;
  for (size_t i = 1; i < p.size(); ++i) l += dist(p[i - 1], p[i]);
  return l;
}

// The plane z = h as a bilinear patch over [-w, w]^2 (parameters in [0, 1]).
SurfaceHandle plane_z(double h, double w) {
  return surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2,
                 {-w, -w, h, w, -w, h, -w, w, h, w, w, h}, 1, 3);
}

TEST(ClipParamSegment, CasesOnTheUnitSquare) {
  struct Case {
    double a[2], b[2];
    int status, edge;
    double c[2];
  };
  const double ur[2] = {0, 1}, vr[2] = {0, 1};
  const Case cases[] = {
      {{0.2, 0.2}, {0.8, 0.9}, 1, 0, {0, 0}},       // inside: not clipped
      {{0.5, 0.5}, {1.5, 0.5}, 2, 3, {1, 0.5}},     // leaves: exit crossing, not the one behind
      {{-1, 0.5}, {2, 0.5}, 3, 1, {0, 0.5}},        // crosses the whole square: entry crossing
      {{0, 0.5}, {-0.5, 0.5}, 4, 0, {0, 0}},        // starts on the lower u edge, heads out
      {{2, 2}, {3, 5}, 0, 0, {0, 0}},               // both beyond the same side
      {{-0.5, 0.25}, {0.5, 1.25}, 3, 1, {0, 0.75}},    // enters through u = 0, leaves by v = 1
  };
  for (const Case& c : cases) {
    int edge = -1, st = -1;
    double x[2] = {-9, -9};
    clip_param_segment(c.a, c.b, ur, vr, &edge, x, &st);
    EXPECT_EQ(st, c.status) << c.a[0] << "," << c.a[1];
    EXPECT_EQ(edge, c.edge) << c.a[0] << "," << c.a[1];
    if (c.edge) {
      EXPECT_NEAR(x[0], c.c[0], 1e-14);
      EXPECT_NEAR(x[1], c.c[1], 1e-14);
    }
  }
}

TEST(S1330, StepFromASideOutwardsIsNotClipped) {
  auto s1 = plane_z(0.0, 1.0);
  auto s2 = plane_z(0.0, 1.0);
  const double ur[2] = {0, 1}, vr[2] = {0, 1};
  const double a1[2] = {0.0, 0.5}, b1[2] = {-0.2, 0.5}, a2[2] = {0.3, 0.3}, b2[2] = {0.4, 0.3};
  int edge = -1, st = -1;
  double o1[2], o2[2];
  s1330(a1, a2, b1, b2, ur, vr, ur, vr, &edge, o1, o2, &st);
  EXPECT_EQ(st, 4);
  EXPECT_EQ(edge, 0);
  double e1[21], e2[21], q1[2], q2[2];
  s9clipit(a1, a2, b1, b2, s1.get(), s2.get(), ur, vr, ur, vr, 1e-9, e1, e2, q1, q2, &st);
  EXPECT_EQ(st, 0);
  // Inside both: 1; leaving the second rectangle first: crossing on the second (edge 5..8).
  const double c1[2] = {0.5, 0.5}, d1[2] = {0.6, 0.5}, c2[2] = {0.5, 0.5}, d2[2] = {0.5, 1.5};
  s1330(c1, c2, c1, c2, ur, vr, ur, vr, &edge, o1, o2, &st);
  EXPECT_EQ(st, 1);
  s1330(c1, c2, d1, d2, ur, vr, ur, vr, &edge, o1, o2, &st);
  EXPECT_EQ(st, 2);
  EXPECT_EQ(edge, 6);
  EXPECT_NEAR(o2[1], 1.0, 1e-14);
  EXPECT_NEAR(o1[0], 0.55, 1e-14);
}

TEST(ImplicitHelpers, DistanceAlongDirectionAndNormal) {
  // Sphere of radius 3 about the origin as a quadric.
  const double sphere_q[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -9};
  const double centre[3] = {0, 0, 0};
  const double dirs[2][3] = {{1, 0, 0}, {1, 2, -3}};
  for (const auto& d : dirs) {
    int st = -1;
    EXPECT_NEAR(s1309(centre, d, sphere_q, 2, &st), -3.0, 1e-12);
    EXPECT_EQ(st, 0);
  }
  const double plane[4] = {0, 0, 1, 0};
  const double p[3] = {0, 0, 2}, down[3] = {0, 0, -1}, side[3] = {1, 0, 0};
  int st = -1;
  EXPECT_NEAR(s1309(p, down, plane, 1, &st), 2.0, 1e-15);
  s1309(p, side, plane, 1, &st);
  EXPECT_EQ(st, 2);
  const double unnormalised[4] = {0, 0, 5, 1};
  double n[3];
  s1308(p, 3, unnormalised, 1, n, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(n[2], 5.0);
  s1308(p, 3, unnormalised, 7, n, &st);
  EXPECT_EQ(st, -175);
}

TEST(SsMarchPoint, TwoPerpendicularPlanes) {
  // S1(u, v) = (u, v, 0) and S2(u, v) = (0, u, v), parameters over [-5, 5].
  auto s1 = surface({-5, -5, 5, 5}, {-5, -5, 5, 5}, 2, 2,
                    {-5, -5, 0, 5, -5, 0, -5, 5, 0, 5, 5, 0}, 1, 3);
  auto s2 = surface({-5, -5, 5, 5}, {-5, -5, 5, 5}, 2, 2,
                    {0, -5, -5, 0, 5, -5, 0, -5, 5, 0, 5, 5}, 1, 3);
  double e1[21], e2[21];
  const double p1[2] = {0, 2}, p2[2] = {2, 0};
  int l1 = 0, l2 = 0, st = 0;
  s1421(s1.get(), 2, p1, &l1, &l2, e1, e1 + 18, &st);
  s1421(s2.get(), 2, p2, &l1, &l2, e2, e2 + 18, &st);
  double sp[10], a[7], b[7];
  ss_march_point(e1, e2, p1, p2, sp, a, b, &st);
  EXPECT_EQ(st, 1);
  EXPECT_NEAR(sp[1], 2.0, 1e-15);
  EXPECT_NEAR(std::fabs(sp[4]), 1.0, 1e-15);
  EXPECT_EQ(sp[9], -1.0);
  EXPECT_NEAR(std::fabs(a[3]), 1.0, 1e-15);
  EXPECT_NEAR(std::fabs(b[2]), 1.0, 1e-15);
  EXPECT_EQ(a[6], -1.0);
  EXPECT_EQ(b[6], -1.0);
}

// The plane y = h as a bilinear patch over [-w, w]^2 in x and z (parameters in [0, 1]).
SurfaceHandle plane_y(double h, double w) {
  return surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2,
                 {-w, h, -w, w, h, -w, -w, h, w, w, h, w}, 1, 3);
}

// Distinct knot values of a curve (the parameters of its interpolated points).
std::vector<double> distinct_knots(const spline_curve* c) {
  std::vector<double> t;
  for (int i = c->order - 1; i <= c->vertex_count; ++i)
    if (t.empty() || c->knots[i] != t.back()) t.push_back(c->knots[i]);
  return t;
}

// The sphere of radius 2 about the origin cut by the plane y = 0.5: a circle of radius
// sqrt(3.75) that keeps away from the sphere's seam and poles.
TEST(S1310, SphereAgainstPlaneGivesOneClosedCircle) {
  const double c[3] = {0, 0, 0};
  auto sph = sphere(c, 2.0);
  auto pl = plane_y(0.5, 3.0);
  const double r = std::sqrt(3.75);
  std::vector<std::vector<double>> a, b;
  for (double phi : {0.3, 2.0, 4.1}) {
    const std::vector<double> p = {r * std::cos(phi), 0.5, r * std::sin(phi)};
    a.push_back(params_of(sph.get(), p, 40, 1e-12));
    b.push_back(params_of(pl.get(), p, 40, 1e-12));
  }
  auto ic = chain(a, b, 2);
  int st = -1;
  s1310(sph.get(), pl.get(), ic.get(), 1e-6, 0.0, 2, 0, &st);
  ASSERT_EQ(st, 0);
  ASSERT_NE(ic->geometry, nullptr);
  ASSERT_NE(ic->pcurve1, nullptr);
  ASSERT_NE(ic->pcurve2, nullptr);
  const auto pts = samples(ic->geometry, 2000);
  for (const auto& p : pts) {
    EXPECT_NEAR(std::hypot(p[0], p[1], p[2]), 2.0, 1e-5);
    EXPECT_NEAR(p[1], 0.5, 1e-5);
  }
  EXPECT_LT(dist(pts.front(), pts.back()), 1e-6);
  EXPECT_NEAR(polyline_length(pts), 2 * M_PI * r, 0.01 * 2 * M_PI * r);
  // At the marched points the parameter curves map onto the geometry curve.
  for (double t : distinct_knots(ic->geometry)) {
    const auto g = eval_curve(ic->geometry, t);
    const auto q1 = eval_curve(ic->pcurve1, t), q2 = eval_curve(ic->pcurve2, t);
    EXPECT_LT(dist(eval_surface(sph.get(), q1[0], q1[1]), g), 1e-5);
    EXPECT_LT(dist(eval_surface(pl.get(), q2[0], q2[1]), g), 1e-5);
  }
}

// A plane across the periodic cylinder: the march runs from the seam round to the seam.
TEST(S1310, PlaneAcrossCylinderRunsSeamToSeam) {
  auto cyl = cylinder_z(1.5, -1.0, 2.0);
  auto pl = plane_z(0.7, 3.0);
  const std::vector<double> p = {1.5 * std::cos(2.5), 1.5 * std::sin(2.5), 0.7};
  auto ic = chain({params_of(cyl.get(), p, 40, 1e-12)}, {params_of(pl.get(), p, 40, 1e-12)}, 0);
  int st = -1;
  s1310(cyl.get(), pl.get(), ic.get(), 1e-6, 0.0, 1, 0, &st);
  ASSERT_EQ(st, 0);
  const auto pts = samples(ic->geometry, 2000);
  for (const auto& q : pts) {
    EXPECT_NEAR(std::hypot(q[0], q[1]), 1.5, 1e-5);
    EXPECT_NEAR(q[2], 0.7, 1e-5);
  }
  // Both ends on the seam x = 1.5, y = 0.
  EXPECT_NEAR(pts.front()[1], 0.0, 1e-6);
  EXPECT_NEAR(pts.back()[1], 0.0, 1e-6);
  EXPECT_NEAR(polyline_length(pts), 2 * M_PI * 1.5, 0.01 * 2 * M_PI * 1.5);
}

TEST(S1310, ErrorsAndEmptyChains) {
  auto pl = plane_z(0.0, 1.0);
  int st = 0;
  s1310(pl.get(), pl.get(), nullptr, 1e-6, 0.0, 1, 0, &st);
  EXPECT_EQ(st, -150);
  auto ic = chain({{0.5, 0.5}}, {}, 0);
  s1310(pl.get(), pl.get(), ic.get(), 1e-6, 0.0, 1, 0, &st);
  EXPECT_EQ(st, -123);
  // Coincident planes: every point is degenerate, nothing is marched and the caller sees
  // the status of no curve.
  auto ic2 = chain({{0.5, 0.5}}, {{0.5, 0.5}}, 0);
  s1310(pl.get(), pl.get(), ic2.get(), 1e-6, 0.0, 1, 0, &st);
  EXPECT_EQ(st, -185);
  EXPECT_EQ(ic2->geometry, nullptr);
}

// Bicubic Bezier patch over [0, 1]^2 with heights h[i][j] at the control points on a
// regular 4 x 4 grid of [0, 3]^2 in x, y.
SurfaceHandle height_patch(const double h[4][4]) {
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      v.push_back(i);
      v.push_back(j);
      v.push_back(h[j][i]);
    }
  return surface({0, 0, 0, 0, 1, 1, 1, 1}, {0, 0, 0, 0, 1, 1, 1, 1}, 4, 4, v, 1, 3);
}

// Components of the level set z = c of the patch by marching squares on an m x m grid:
// for every component one crossing on a grid edge (refined by bisection) and the list of
// all its crossings.
struct LevelComponent {
  std::vector<std::vector<double>> crossings;  // parameter pairs
};

std::vector<LevelComponent> marching_squares(const spline_surface* s, double c, int m) {
  std::vector<double> f((m + 1) * (m + 1));
  auto at = [&](int i, int j) { return eval_surface(s, double(i) / m, double(j) / m)[2] - c; };
  for (int j = 0; j <= m; ++j)
    for (int i = 0; i <= m; ++i) f[j * (m + 1) + i] = at(i, j);
  auto val = [&](int i, int j) { return f[j * (m + 1) + i]; };
  // Edge ids: horizontal (i, j)-(i+1, j) and vertical (i, j)-(i, j+1).
  std::map<long, int> id;
  std::vector<int> parent;
  std::vector<std::vector<double>> where;
  auto edge_id = [&](int i, int j, bool horiz) -> int {
    const long key = (long(j) * (m + 1) + i) * 2 + (horiz ? 0 : 1);
    auto it = id.find(key);
    if (it != id.end()) return it->second;
    double a = 0, b = 1;
    auto fx = [&](double t) {
      return horiz ? eval_surface(s, (i + t) / m, double(j) / m)[2] - c
                   : eval_surface(s, double(i) / m, (j + t) / m)[2] - c;
    };
    const double fa = fx(0);
    for (int k = 0; k < 60; ++k) {
      const double mid = 0.5 * (a + b);
      if ((fx(mid) > 0) == (fa > 0)) a = mid;
      else b = mid;
    }
    const double t = 0.5 * (a + b);
    where.push_back(horiz ? std::vector<double>{(i + t) / m, double(j) / m}
                          : std::vector<double>{double(i) / m, (j + t) / m});
    parent.push_back(static_cast<int>(parent.size()));
    return id[key] = static_cast<int>(parent.size()) - 1;
  };
  std::function<int(int)> find = [&](int x) { return parent[x] == x ? x : parent[x] = find(parent[x]); };
  auto crosses = [](double a, double b) { return (a > 0) != (b > 0); };
  for (int j = 0; j < m; ++j)
    for (int i = 0; i < m; ++i) {
      std::vector<int> e;
      if (crosses(val(i, j), val(i + 1, j))) e.push_back(edge_id(i, j, true));
      if (crosses(val(i + 1, j), val(i + 1, j + 1))) e.push_back(edge_id(i + 1, j, false));
      if (crosses(val(i, j + 1), val(i + 1, j + 1))) e.push_back(edge_id(i, j + 1, true));
      if (crosses(val(i, j), val(i, j + 1))) e.push_back(edge_id(i, j, false));
      // Saddle cells (four crossings) are ambiguous; the test surfaces avoid them.
      for (size_t k = 1; k < e.size(); ++k) parent[find(e[k])] = find(e[0]);
    }
  std::map<int, LevelComponent> comps;
  for (size_t k = 0; k < parent.size(); ++k)
    comps[find(static_cast<int>(k))].crossings.push_back(where[k]);
  std::vector<LevelComponent> out;
  for (auto& [root, comp] : comps) out.push_back(comp);
  return out;
}

TEST(S1313, BicubicPatchAgainstLevelPlanesMatchesMarchingSquares) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> hd(-1.0, 1.0);
  int patches = 0, branches = 0;
  for (int trial = 0; trial < 12; ++trial) {
    double h[4][4];
    for (auto& row : h)
      for (double& x : row) x = hd(rng);
    auto s = height_patch(h);
    const double c = 0.1 * (trial % 3);
    const auto comps = marching_squares(s.get(), c, 80);
    const double plane[4] = {0, 0, 1, -c};
    std::vector<int> owner_hits(comps.size(), 0);
    bool all_ok = true;
    for (size_t k = 0; k < comps.size(); ++k) {
      const auto& start = comps[k].crossings[comps[k].crossings.size() / 2];
      auto ic = chain({start}, {}, 0);
      int st = -1;
      s1313(s.get(), plane, 1, 1e-15, 1e-7, 0.0, ic.get(), 2, 0, &st);
      ASSERT_EQ(st, 0) << "trial " << trial << " component " << k;
      ASSERT_NE(ic->geometry, nullptr);
      ASSERT_NE(ic->pcurve1, nullptr);
      for (const auto& p : samples(ic->geometry, 400)) EXPECT_NEAR(p[2], c, 1e-6);
      // The marched branch passes every crossing of its own component and none of
      // another's.
      const auto q = samples(ic->pcurve1, 4000);
      auto near_curve = [&](const std::vector<double>& x) {
        double best = 1e300;
        for (const auto& y : q) best = std::min(best, dist(x, y));
        return best;
      };
      for (size_t o = 0; o < comps.size(); ++o)
        for (const auto& x : comps[o].crossings) {
          const double d = near_curve(x);
          if (o == k && d > 2e-3) all_ok = false;
          if (o != k && d < 1e-6) all_ok = false;
        }
    }
    EXPECT_TRUE(all_ok) << "trial " << trial;
    ++patches;
    branches += static_cast<int>(comps.size());
  }
  EXPECT_GT(branches, patches);  // the table holds patches with several branches
}

TEST(S1313, SphereAgainstPlaneAndErrors) {
  const double c[3] = {0, 0, 0};
  auto sph = sphere(c, 2.0);
  const double plane[4] = {0, 1, 0, -0.5};
  const double r = std::sqrt(3.75);
  auto ic =
      chain({params_of(sph.get(), {r * std::cos(0.2), 0.5, r * std::sin(0.2)}, 40, 1e-12)}, {}, 0);
  int st = -1;
  s1313(sph.get(), plane, 1, 1e-15, 1e-6, 0.0, ic.get(), 1, 0, &st);
  ASSERT_EQ(st, 0);
  const auto pts = samples(ic->geometry, 2000);
  for (const auto& q : pts) {
    EXPECT_NEAR(std::hypot(q[0], q[1], q[2]), 2.0, 1e-5);
    EXPECT_NEAR(q[1], 0.5, 1e-6);
  }
  EXPECT_LT(dist(pts.front(), pts.back()), 1e-6);
  EXPECT_NEAR(polyline_length(pts), 2 * M_PI * r, 0.01 * 2 * M_PI * r);
  s1313(sph.get(), plane, 1, 1e-15, 1e-6, 0.0, nullptr, 1, 0, &st);
  EXPECT_EQ(st, -150);
  // A type 9 curve comes back untouched.
  auto t9 = chain({{0.5, 0.5}}, {}, 9);
  s1313(sph.get(), plane, 1, 1e-15, 1e-6, 0.0, t9.get(), 1, 0, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(t9->geometry, nullptr);
  auto bad = chain({{0.5, 0.5}}, {{0.5, 0.5}}, 0);
  s1313(sph.get(), plane, 1, 1e-15, 1e-6, 0.0, bad.get(), 1, 0, &st);
  EXPECT_EQ(st, -123);
}

}  // namespace

// ---- Catheter reconstruction: two tracings swept along their viewing directions.

namespace catheter {

struct Tracing {
  CurveHandle curve;
  double y0 = 0, y1 = 0;  // height range (image y, downwards)
};

// Interpolating cubic through the points (x, -y, z) of a tracing.
CurveHandle through(const std::vector<double>& pts3) {
  const int n = static_cast<int>(pts3.size() / 3);
  return CurveHandle(contour_test::interpolate_through(pts3.data(), n, 3, 1, 4));
}

SurfaceHandle loft(spline_curve* a, spline_curve* b, int order) {
  spline_curve* cs[2] = {a, b};
  int types[2] = {1, 1};
  spline_surface* s = nullptr;
  double* par = nullptr;
  int st = 0;
  s1538(2, cs, types, 0.0, 1, order, 0, &s, &par, &st);
  std::free(par);
  return SurfaceHandle(s);
}

// Random catheter-like tracing monotone in height, from y0 to y1.
std::vector<std::vector<double>> random_tracing(std::mt19937& rng, int n, double y0, double y1) {
  std::uniform_real_distribution<double> jit(-0.3, 0.3), amp(20, 80), ph(0, 6.28), off(120, 280);
  const double a = amp(rng), p = ph(rng), o = off(rng);
  std::vector<std::vector<double>> pts;
  for (int i = 0; i < n; ++i) {
    double y = y0 + (y1 - y0) * i / (n - 1);
    if (i > 0 && i < n - 1) y += jit(rng) * (y1 - y0) / (n - 1);
    const double x = o + a * std::sin(p + 3.0 * i / n) + 5.0 * jit(rng);
    pts.push_back({x, y});
  }
  return pts;
}

// Parameter on the curve where its second coordinate equals -y (bisection; the
// coordinate falls along the curve).
double at_height(const spline_curve* c, double y) {
  double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  for (int k = 0; k < 200 && b - a > 1e-15 * (1 + std::fabs(b)); ++k) {
    const double m = 0.5 * (a + b);
    if (eval_curve(c, m)[1] > -y) a = m;
    else b = m;
  }
  return 0.5 * (a + b);
}

}  // namespace catheter

TEST(S1310, CatheterPathMatchesThePerHeightClosedForm) {
  using namespace catheter;
  std::mt19937 rng(1234);
  for (int trial = 0; trial < 8; ++trial) {
    const double y0 = 15, y1 = 310;
    const auto lao = random_tracing(rng, 14, y0, y1), rao = random_tracing(rng, 11, y0, y1);
    std::vector<double> l0, l1, r0, r1;
    for (const auto& p : lao) {
      l0.insert(l0.end(), {p[0], -p[1], 0.0});
      l1.insert(l1.end(), {p[0], -p[1], 400.0});
    }
    for (const auto& p : rao) {
      r0.insert(r0.end(), {0.0, -p[1], 400.0 - p[0]});
      r1.insert(r1.end(), {400.0, -p[1], 400.0 - p[0]});
    }
    auto cl = through(l0), cl1 = through(l1), cr = through(r0), cr1 = through(r1);
    auto sl = loft(cl.get(), cl1.get(), 4), sr = loft(cr.get(), cr1.get(), 3);
    ASSERT_TRUE(sl && sr);
    // The closed form at a height: x from the LAO tracing, z = 400 - x from the RAO one.
    auto exact = [&](double y) {
      const double xl = eval_curve(cl.get(), at_height(cl.get(), y))[0];
      const double xr = eval_curve(cr.get(), at_height(cr.get(), y))[2];
      return std::vector<double>{xl, -y, xr};
    };
    std::vector<std::vector<double>> a, b;
    for (double y : {y0, 0.3 * y0 + 0.7 * y1, y1}) {
      const auto p = exact(y);
      a.push_back(params_of(sl.get(), p, 40, 1e-12));
      b.push_back(params_of(sr.get(), p, 40, 1e-12));
    }
    auto ic = chain(a, b, 0);
    int st = -1;
    s1310(sl.get(), sr.get(), ic.get(), 1e-5, 0.0, 1, 0, &st);
    ASSERT_EQ(st, 0) << "trial " << trial;
    const auto pts = samples(ic->geometry, 1000);
    double worst = 0.0, ylo = 1e300, yhi = -1e300;
    for (const auto& p : pts) {
      const double y = -p[1];
      ylo = std::min(ylo, y), yhi = std::max(yhi, y);
      worst = std::max(worst, dist(p, exact(y)));
    }
    EXPECT_LT(worst, 1e-4) << "trial " << trial;
    EXPECT_NEAR(ylo, y0, 1e-4);
    EXPECT_NEAR(yhi, y1, 1e-4);
  }
}

// The plane y = 1.5 touches the cylinder of radius 1.5 along its ruling at u = 1: the
// normals are parallel everywhere, nothing is marched, and the ruling comes back as a
// constant-parameter line.
TEST(S1310, TouchingPlaneGivesTheConstantParameterRuling) {
  auto cyl = cylinder_z(1.5, -1.0, 2.0);
  auto pl = plane_y(1.5, 3.0);
  std::vector<std::vector<double>> a, b;
  for (double v : {0.2, 0.5, 0.8}) {
    a.push_back({1.0, v});
    const double z = -1.0 + 3.0 * v;
    b.push_back({0.5, (z + 3.0) / 6.0});
  }
  auto ic = chain(a, b, 0);
  int st = -1;
  s1310(cyl.get(), pl.get(), ic.get(), 1e-6, 0.0, 2, 0, &st);
  ASSERT_EQ(st, 0);
  ASSERT_NE(ic->geometry, nullptr);
  const auto pts = samples(ic->geometry, 50);
  for (const auto& p : pts) {
    EXPECT_NEAR(p[0], 0.0, 1e-12);
    EXPECT_NEAR(p[1], 1.5, 1e-12);
  }
  EXPECT_NEAR(pts.front()[2], -0.4, 1e-12);
  EXPECT_NEAR(pts.back()[2], 1.4, 1e-12);
  ASSERT_NE(ic->pcurve1, nullptr);
  ASSERT_NE(ic->pcurve2, nullptr);
  const auto q = samples(ic->pcurve1, 10);
  for (const auto& x : q) EXPECT_NEAR(x[0], 1.0, 1e-14);
  for (const auto& x : samples(ic->pcurve2, 10)) EXPECT_NEAR(x[0], 0.5, 1e-9);
  // A chain that is not a line of either surface is no curve.
  auto sph_c = chain({{0.3, 0.4}, {0.6, 0.7}}, {{0.3, 0.4}, {0.6, 0.7}}, 0);
  s1310(pl.get(), pl.get(), sph_c.get(), 1e-6, 0.0, 1, 0, &st);
  EXPECT_EQ(st, -185);
}

namespace {

std::vector<double> block_at(const spline_surface* s, double u, double v) {
  std::vector<double> b(21);
  const double uv[2] = {u, v};
  int l1 = 0, l2 = 0, st = 0;
  s1421(s, 2, uv, &l1, &l2, b.data(), b.data() + 18, &st);
  return b;
}

}  // namespace

TEST(S9Iterate, ConvergesOntoTheLineOfTwoPlanesAndStopsOnParallelOnes) {
  auto s1 = plane_z(0.0, 2.0);  // (x, y, 0)
  auto s2 = plane_y(0.3, 2.0);  // (x, 0.3, z)
  // From points off the line: the result lies on both planes and on the marching plane
  // x = x0 + step.
  const double p1[2] = {0.6, 0.2}, p2[2] = {0.4, 0.7};
  const auto e1 = block_at(s1.get(), p1[0], p1[1]), e2 = block_at(s2.get(), p2[0], p2[1]);
  const double cp[6] = {0.4, 0.3, 0.0, 1.0, 0.0, 0.0};
  double o1[21], o2[21], q1[2], q2[2];
  int st = -1;
  s9iterate(cp, e1.data(), e2.data(), p1, p2, s1.get(), s2.get(), 0.25, 1e-10, o1, o2, q1, q2,
            &st);
  EXPECT_EQ(st, 0);
  for (const double* o : {o1, o2}) {
    EXPECT_NEAR(o[0], 0.65, 1e-12);
    EXPECT_NEAR(o[1], 0.3, 1e-12);
    EXPECT_NEAR(o[2], 0.0, 1e-12);
  }
  // Parallel planes: the first linear system is singular.
  auto s3 = plane_z(0.5, 2.0);
  const auto e3 = block_at(s3.get(), 0.5, 0.5);
  const double p3[2] = {0.5, 0.5};
  s9iterate(cp, e1.data(), e3.data(), p1, p3, s1.get(), s3.get(), 0.25, 1e-10, o1, o2, q1, q2,
            &st);
  EXPECT_EQ(st, 2);
}

TEST(CloseTest, ReachAndOrientationOfTheNormalsCrossProduct) {
  auto s1 = plane_z(0.0, 2.0);
  auto s2 = plane_y(0.0, 2.0);
  auto s2r = surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2,  // same plane, normal reversed
                     {-2, 0, -2, -2, 0, 2, 2, 0, -2, 2, 0, 2}, 1, 3);
  // Current point at x = 0 marching along +x; the start point at x = 0.5.
  const double c1[2] = {0.5, 0.5}, c2[2] = {0.5, 0.5};
  const double t1[2] = {0.625, 0.5}, t2[2] = {0.625, 0.5};
  const auto e1 = block_at(s1.get(), c1[0], c1[1]), e2 = block_at(s2.get(), c2[0], c2[1]);
  const auto f1 = block_at(s1.get(), t1[0], t1[1]), f2 = block_at(s2.get(), t2[0], t2[1]);
  const double tan[3] = {1, 0, 0}, pd[2] = {1, 0};
  struct Case {
    double step;
    int expect;
  };
  for (const Case c : {Case{0.3, 1}, Case{0.2, 0}}) {
    int st = -1;
    const double d = close_test_ss(e1.data(), c1, e2.data(), c2, f1.data(), t1, f2.data(), t2, tan,
                                   pd, pd, c.step, &st);
    EXPECT_NEAR(d, 0.5, 1e-14);
    EXPECT_EQ(st, c.expect) << c.step;
  }
  // The target's cross product of the normals points the other way: not in reach.
  const double r2[2] = {0.5, 0.625};  // s2r: u runs along z, v along x
  const auto g2 = block_at(s2r.get(), r2[0], r2[1]);
  const double pd2[2] = {0, 1};
  int st = -1;
  close_test_ss(e1.data(), c1, e2.data(), c2, f1.data(), t1, g2.data(), r2, tan, pd, pd2, 0.3,
                &st);
  EXPECT_EQ(st, 0);
}

TEST(S9SimpleKnot, SplitValues) {
  // Bezier in both directions: middles, but no inner knot.
  auto bez = surface({0, 0, 2, 2}, {1, 1, 1, 3, 3, 3}, 2, 3,
                     std::vector<double>(2 * 3 * 3, 0.0), 1, 3);
  double split[2] = {-1, -1};
  int count = -1, st = -1;
  s9simple_knot(bez.get(), 3, split, &count, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(split[0], 1.0);
  EXPECT_EQ(split[1], 2.0);
  // One inner knot value (double) in the second direction.
  auto one = surface({0, 0, 2, 2}, {0, 0, 0, 0.7, 0.7, 1, 1, 1}, 2, 3,
                     std::vector<double>(2 * 5 * 3, 0.0), 1, 3);
  s9simple_knot(one.get(), 2, split, &count, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(split[1], 0.7);
  s9simple_knot(one.get(), 4, split, &count, &st);
  EXPECT_EQ(st, -202);
}

// The plane z = 0 against the sphere of radius 1 about (0, 0, 1): the only common point
// is singular for the implicit equation (zero gradient, regular second derivatives).
TEST(S1313, SingularStartEndsWithStatus3AndNoCurve) {
  auto pl = plane_z(0.0, 2.0);
  const double q[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, -1, 0, 0, -1, 0};
  auto ic = chain({{0.5, 0.5}}, {}, 0);
  int st = -1;
  s1313(pl.get(), q, 2, 1e-15, 1e-6, 0.0, ic.get(), 1, 0, &st);
  EXPECT_EQ(st, 3);
  EXPECT_EQ(ic->geometry, nullptr);
}

// The cylinder of radius 1.5 about the z axis touched by the implicit plane y = 1.5 along
// its ruling u = 1: every point is singular with its direction from the second
// derivatives, so the ruling is marched; the curve lies on it and covers the chain.
TEST(S1313, TouchingPlaneGivesTheRuling) {
  auto cyl = cylinder_z(1.5, -1.0, 2.0);
  const double plane[4] = {0, 1, 0, -1.5};
  auto ic = chain({{1.0, 0.2}, {1.0, 0.5}, {1.0, 0.8}}, {}, 0);
  int st = -1;
  s1313(cyl.get(), plane, 1, 1e-15, 1e-6, 0.0, ic.get(), 2, 0, &st);
  ASSERT_EQ(st, 0);
  ASSERT_NE(ic->geometry, nullptr);
  ASSERT_NE(ic->pcurve1, nullptr);
  const auto pts = samples(ic->geometry, 40);
  double zlo = 1e300, zhi = -1e300;
  for (const auto& p : pts) {
    EXPECT_NEAR(p[0], 0.0, 1e-9);
    EXPECT_NEAR(p[1], 1.5, 1e-9);
    zlo = std::min(zlo, p[2]), zhi = std::max(zhi, p[2]);
  }
  EXPECT_LE(zlo, -0.4 + 1e-9);
  EXPECT_GE(zhi, 1.4 - 1e-9);
}
