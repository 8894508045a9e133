// Parts of the subdivision intersector on their own: the cut values, side markers of
// a one-dimensional curve against a value, the end markers for the list builder, the
// driver's point and periodic cases, the seam joining of isolated points and the
// output step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "spline/handles.h"
#include "spline/curve_eval.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/records.h"
#include "tests/spline/detail/isect/isect_fixture.h"

namespace {

using isect_test::Graph;

geom_object* curve_object(int n, int k, std::vector<double> knots, std::vector<double> coefs,
                          int dim) {
  geom_object* o = create_geom_object(kCurveObject);
  o->curve = create_curve(n, k, knots.data(), coefs.data(), 1, dim, 1);
  o->origin = o;
  return o;
}

geom_object* point_object(std::vector<double> x) {
  geom_object* o = create_geom_object(kPointObject);
  o->point = create_point(x.data(), static_cast<int>(x.size()), 1);
  o->origin = o;
  return o;
}

std::vector<int> tops(const isect_point* p) {
  int a, c, b, d, st = 0;
  sh6gettop(p, -1, &a, &c, &b, &d, &st);
  return {a, c, b, d};
}

TEST(SubdivHelpers, MiddleKnotAndDivisibility) {
  const double inner[] = {0, 0, 0, 1, 2, 3, 3, 3};  // k 3, n 5
  EXPECT_EQ(middle_knot_value(inner, 3, 5), 2.0);   // t[(3 + 5) / 2]
  const double bezier[] = {0, 0, 0, 4, 4, 4};
  EXPECT_EQ(middle_knot_value(bezier, 3, 3), 2.0);
  const double end_knot[] = {0, 0, 1, 1, 1};        // k 2, n 3: t[2] is the end
  EXPECT_EQ(middle_knot_value(end_knot, 2, 3), 0.5);
  EXPECT_EQ(interval_divisible(bezier, 3, 3), 1);
  const double tiny[] = {1, 1, 1 + 1e-14, 1 + 1e-14};
  EXPECT_EQ(interval_divisible(tiny, 2, 2), 0);
}

TEST(SubdivDriver, TwoPointsIntersectUpToTheTolerance) {
  struct Case {
    double gap;
    int expected;
  } cases[] = {{0.5, 1}, {0.5 + 1e-9, 0}};
  for (const Case& c : cases) {
    geom_object* a = point_object({1.0, 2.0});
    geom_object* b = point_object({1.0, 2.0 + c.gap});
    isect_data* data = nullptr;
    int st = -5;
    sh1761(a, b, 0.5, &data, &st);
    EXPECT_EQ(st, c.expected);
    if (c.expected) {
      ASSERT_NE(data, nullptr);
      EXPECT_EQ(data->point_count, 1);
      EXPECT_EQ(data->points[0]->param_count, 0);
    } else {
      EXPECT_EQ(data, nullptr);
    }
    destroy_isect_data(data);
    destroy_geom_object(a);
    destroy_geom_object(b);
  }
  isect_test::ReportLog log;
  geom_object* a = point_object({1.0, 2.0});
  geom_object* b = point_object({1.0, 2.0, 0.0});
  isect_data* data = nullptr;
  int st = 0;
  sh1761(a, b, 0.5, &data, &st);
  EXPECT_EQ(st, kErrDimensionMismatch);
  EXPECT_TRUE(log.named("sh1761"));
  destroy_geom_object(a);
  destroy_geom_object(b);
}

TEST(SubdivDriver, BoxesApartCreateNoEdgeObjects) {
  geom_object* c = curve_object(3, 3, {0, 0, 0, 1, 1, 1}, {1, 2, 3}, 1);
  geom_object* p = point_object({-1.0});
  isect_data* data = nullptr;
  int st = -5;
  sh1761(c, p, 1e-3, &data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(c->edges[0], nullptr);
  EXPECT_EQ(c->edges[1], nullptr);
  destroy_geom_object(c);
  destroy_geom_object(p);
}

TEST(SubdivDriver, PeriodicCurveIsIntersectedThroughItsKRegularCopy) {
  // Uniform periodic quadratic through 8 points of a circle (2 vertices repeated).
  std::vector<double> coefs, knots;
  for (int i = 0; i < 10; ++i) {
    const double a = 2 * M_PI * (i % 8) / 8;
    coefs.push_back(std::cos(a));
    coefs.push_back(std::sin(a));
  }
  for (int i = 0; i < 13; ++i) knots.push_back(i);
  const CurveHandle c_owner(create_curve(10, 3, knots.data(), coefs.data(), 1, 2, 1));
  spline_curve* c = c_owner.get();
  c->open_flag = -1;
  const std::vector<double> before(c->coefs, c->coefs + 20);
  // Rays through the centre, one of them through the seam point C(2).
  for (int deg : {0, 22, 45, 90, 113}) {
    double seam[2];
    int left = 0, st = 0;
    s1221(c, 0, 2.0, &left, seam, &st);
    const double phi = deg == 0 ? std::atan2(seam[1], seam[0]) : deg * M_PI / 180;
    const double q[2] = {0, 0}, n[2] = {-std::sin(phi), std::cos(phi)};
    int np = 0, nc = 0;
    double* par = nullptr;
    isect_curve** cv = nullptr;
    s1850(c, q, n, 2, 0.0, 0.001, &np, &par, &nc, &cv, &st);
    const ToolkitArray<double> owned_par(par);
    const IsectCurveArray owned_cv(cv, nc);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(np, 2) << "angle " << deg;
    for (int i = 0; i < np; ++i) {
      double p[2];
      s1221(c, 0, par[i], &left, p, &st);
      EXPECT_NEAR(p[0] * n[0] + p[1] * n[1], 0.0, 1e-3);
    }
  }
  EXPECT_EQ(std::vector<double>(c->coefs, c->coefs + 20), before);
  EXPECT_EQ(c->open_flag, -1);
}

TEST(SideMarkers, CrossingAndFlatStretches) {
  geom_object* value = point_object({0.0});
  struct Case {
    const char* name;
    std::vector<double> knots, coefs;
    int k;
    double t;
    std::vector<int> markers;  // curve left, right, point left, right
    int help;                  // help points added
  } cases[] = {
      // f(t) = 0.5 (t - 1) on [0, 2]: a crossing with slope 0.5.
      {"slope", {0, 0, 2, 2}, {-0.5, 0.5}, 2, 1.0, {1, 2, 2, 1}, 0},
      // Zero on [1, 2] and rising after: flat to the right up to t = 2.
      {"flat span", {0, 0, 1, 2, 3, 3}, {-1, 0, 0, 1}, 2, 1.0, {1, 2, 2, 1}, 1},
      // Zero from t = 1 to the curve's end: markers 3 on the right, no help point.
      {"flat to end", {0, 0, 1, 2, 2}, {-1, 0, 0}, 2, 1.0, {1, 3, 2, 3}, 0},
  };
  for (const Case& c : cases) {
    geom_object* curve = curve_object(static_cast<int>(c.coefs.size()), c.k, c.knots, c.coefs, 1);
    Graph g;
    isect_point* p = g.add({c.t});
    int added = 0, st = 0;
    mark_point_curve_sides(curve, value, 1e-6, &g.data, p, &added, &st);
    EXPECT_EQ(st, 0) << c.name;
    EXPECT_EQ(tops(p), c.markers) << c.name;
    EXPECT_EQ(added, c.help) << c.name;
    if (c.help) {
      ASSERT_EQ(g.size(), 2) << c.name;
      isect_point* h = g.data->points[1];
      EXPECT_TRUE(is_help_point(h));
      EXPECT_NEAR(h->params[0], 2.0, 1e-12) << c.name;
      EXPECT_EQ(neighbour_index(p, h), 0);
      // Towards the point the help point runs along the value.
      EXPECT_EQ(tops(h)[0], 3);
      EXPECT_EQ(tops(h)[2], 3);
    }
    EXPECT_EQ(isect_test::graph_problem(g.data), "");
    destroy_geom_object(curve);
  }
  // A help point is left alone.
  geom_object* curve = curve_object(2, 2, {0, 0, 2, 2}, {-0.5, 0.5}, 1);
  Graph g;
  isect_point* h = g.add({1.0}, -1);
  int added = 0, st = 0;
  mark_point_curve_sides(curve, value, 1e-6, &g.data, h, &added, &st);
  EXPECT_EQ(tops(h), (std::vector<int>{0, 0, 0, 0}));
  destroy_geom_object(curve);
  destroy_geom_object(value);
}

TEST(SideMarkers, MarkersAlternateAlongAContour) {
  // Along a closed contour the crossings of a line alternate between entering and
  // leaving: the curve's left markers alternate between 1 and 2.
  std::vector<double> coefs, knots = {0, 0, 0};
  for (int i = 0; i < 12; ++i) {
    const double a = 2 * M_PI * i / 12;
    const double r = 1.0 + 0.3 * std::cos(3 * a);
    coefs.push_back(r * std::cos(a));
    coefs.push_back(r * std::sin(a));
  }
  coefs.push_back(coefs[0]);
  coefs.push_back(coefs[1]);
  for (int i = 1; i <= 11; ++i) knots.push_back(i);
  knots.insert(knots.end(), {12, 12, 12});
  const CurveHandle c_owner(create_curve(13, 3, knots.data(), coefs.data(), 1, 2, 1));
  spline_curve* c = c_owner.get();
  const double q[2] = {0.1, 0}, n[2] = {0, 1};
  int np = 0, nc = 0, st = 0, extra = 0;
  double* par = nullptr;
  int* markers = nullptr;
  isect_curve** cv = nullptr;
  sh1850(c, q, n, 2, 0.0, 1e-4, 0, &extra, nullptr, &np, &par, &markers, &nc, &cv, &st);
  const ToolkitArray<double> owned_par(par);
  const ToolkitArray<int> owned_markers(markers);
  const IsectCurveArray owned_cv(cv, nc);
  ASSERT_EQ(st, 0);
  ASSERT_GE(np, 2);
  std::vector<std::pair<double, int>> byt;
  for (int i = 0; i < np; ++i) byt.push_back({par[i], markers[4 * i]});
  std::sort(byt.begin(), byt.end());
  for (size_t i = 0; i + 1 < byt.size(); ++i) {
    EXPECT_TRUE(byt[i].second == 1 || byt[i].second == 2);
    EXPECT_NE(byt[i].second, byt[i + 1].second) << "crossing " << i;
  }
}

TEST(SubdivMarks, ParamEndsMarkCurveEndsButKeepSides) {
  geom_object* curve = curve_object(2, 2, {0, 0, 2, 2}, {-1, 1}, 1);
  geom_object* value = point_object({0.0});
  Graph g;
  isect_point* start = g.add({0.0});
  isect_point* end = g.add({2.0});
  isect_point* inner = g.add({1.0});
  isect_point* help = g.add({2.0 - 1e-3}, -1);
  int st = 0;
  sh6settop(end, -1, 0, 2, 0, 0, &st);  // a side marker at the end is kept
  mark_param_ends(curve, value, g.data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(tops(start), (std::vector<int>{4, 0, 0, 0}));
  EXPECT_EQ(tops(end), (std::vector<int>{0, 2, 0, 0}));
  EXPECT_EQ(tops(inner), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(tops(help), (std::vector<int>{0, 0, 0, 0}));
  destroy_geom_object(curve);
  destroy_geom_object(value);
}

TEST(SubdivOutput, PointCountIsTheNumberOfPointsWritten) {
  // A main point and a lone help point: one single point comes out, and every entry
  // of the arrays is that point's.
  geom_object* curve = curve_object(2, 2, {0, 0, 2, 2}, {0, 0, 2, 0}, 2);
  Graph g;
  isect_point* help = g.add({0.25}, -1);
  isect_point* main = g.add({1.5});
  int st = 0;
  sh6settop(main, -1, 1, 2, 2, 1, &st);
  (void)help;
  int np = -1, nc = -1, nt = -1;
  double *p1 = nullptr, *p2 = nullptr;
  int* markers = nullptr;
  isect_curve** curves = nullptr;
  param_track** tracks = nullptr;
  hp_s1880(curve, curve, 2000, 1, 0, g.data, &np, &p1, &p2, &markers, &nc, &curves, &nt,
           &tracks, &st);
  EXPECT_EQ(st, 0);
  ASSERT_EQ(np, 1);
  EXPECT_EQ(p1[0], 1.5);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(std::vector<int>(markers, markers + 4), (std::vector<int>{1, 2, 2, 1}));
  EXPECT_EQ(nc, 0);
  EXPECT_EQ(curves, nullptr);
  free(p1);
  free(markers);
  destroy_geom_object(curve);
}

TEST(SeamJoin, DuplicateIsolatedPointsWithinTheToleranceAreRemoved) {
  // A closed polyline: its start and end coincide in space.
  geom_object* curve =
      curve_object(5, 2, {0, 0, 1, 2, 3, 4, 4}, {0, 0, 1, 0, 1, 1, 0, 1, 0, 0}, 2);
  Graph g;
  g.add({0.0});
  g.add({4.0});
  g.add({2.0});
  g.add({2.0 + 5e-4});  // 5e-4 away in space: removed at tolerance 1e-3
  g.add({3.5});
  int st = 0;
  int_join_per(&g.data, curve, curve, nullptr, 2000, 1e-3, &st);
  EXPECT_EQ(st, 0);
  ASSERT_EQ(g.size(), 3);
  EXPECT_EQ(isect_test::graph_problem(g.data), "");
  destroy_geom_object(curve);
}

}  // namespace

namespace {

// Bilinear surface over [0, 1]^2 spanning a x b in its first two coordinates; the
// further coordinates (dim > 2) are 1 everywhere.
geom_object* flat_patch(double a, double b, int dim) {
  double k[4] = {0, 0, 1, 1};
  std::vector<double> c;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      c.push_back(i * a);
      c.push_back(j * b);
      for (int e = 2; e < dim; ++e) c.push_back(1.0);
    }
  geom_object* o = create_geom_object(kSurfaceObject);
  o->surface = create_surface(2, 2, 2, 2, k, k, c.data(), 1, dim, 1);
  o->origin = o;
  return o;
}

TEST(SubdivDirections, LinearSurfaceDirectionsByLength) {
  geom_object* value = point_object({0.0, 0.0, 0.0});
  struct Case {
    double a, b;
    int dim;
    int expected;
  } cases[] = {{4, 1, 3, 0}, {5, 1, 3, 1}, {1, 5, 3, 2}, {1, 1, 3, 0}, {6, 1, 5, 1}};
  for (const Case& c : cases) {
    geom_object* s = flat_patch(c.a, c.b, c.dim);
    int d = -1, st = 0;
    sh1762_s9num(s, value, &d, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(d, c.expected) << c.a << " x " << c.b << " in dim " << c.dim;
    // The middle-line length of any dimension (the fixed three-coordinate buffer
    // would overflow for dimension 5).
    EXPECT_NEAR(sh1762_sflength(s->surface, 1, &st), c.a, 1e-12);
    EXPECT_NEAR(sh1762_sflength(s->surface, 2, &st), c.b, 1e-12);
    destroy_geom_object(s);
  }
  // A curve with a narrow cone against a value gets no direction; a point none.
  geom_object* curve = curve_object(3, 2, {0, 0, 1, 2, 2}, {0, 1, 2}, 1);
  geom_object* v1 = point_object({0.5});
  int st = 0, d = -1;
  curve->curve->cone = create_dir_cone(1);
  curve->curve->cone->flag = 0;
  curve->curve->cone->angle = 0.0005;
  sh1762_s9num(curve, v1, &d, &st);
  EXPECT_EQ(d, 0);
  sh1762_s9num(v1, curve, &d, &st);
  EXPECT_EQ(d, 0);
  destroy_geom_object(curve);
  destroy_geom_object(v1);
  destroy_geom_object(value);
}

TEST(SubdivDriver, EdgeObjectsAreMadeOnceAndReused) {
  geom_object* c = curve_object(3, 3, {0, 0, 0, 1, 1, 1}, {-1, 2, 3}, 1);
  geom_object* p = point_object({0.0});
  geom_object* first[2] = {nullptr, nullptr};
  for (int round = 0; round < 2; ++round) {
    isect_data* data = nullptr;
    int st = 0;
    sh1761(c, p, 1e-6, &data, &st);
    EXPECT_EQ(st, 1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->point_count, 1);
    if (round == 0) {
      first[0] = c->edges[0];
      first[1] = c->edges[1];
      EXPECT_NE(first[0], nullptr);
    } else {
      EXPECT_EQ(c->edges[0], first[0]);
      EXPECT_EQ(c->edges[1], first[1]);
    }
    destroy_isect_data(data);
  }
  destroy_geom_object(c);
  destroy_geom_object(p);
}

}  // namespace
