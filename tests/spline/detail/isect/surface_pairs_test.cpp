// Settling simple pairs with a surface by Newton iteration, side markers of points on a
// curve against a surface and of a point against a planar surface, and the statuses of
// the surface/surface entry points.  Oracles: closed-form positions on planes, spheres,
// cylinders and polynomial patches; normals from central differences of the surface.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "spline/split.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/surface_pairs.h"
#include "spline/status.h"
#include "tests/spline/detail/isect/isect_fixture.h"
#include "tests/spline/detail/isect/object_testutil.h"
#include "tests/spline/detail/isect/surface_fixture.h"

namespace {

using namespace newton_test;
using namespace surface_test;

// The bicubic graph z = 0.2 + 0.3u - 0.4v + 0.5uv + 0.25u^3 - 0.3uv^2 over [0,1]^2 with
// x = u, y = v.
SurfaceHandle graph_patch() {
  return poly_patch({{0, 1, 0, 1.0},
                     {1, 0, 1, 1.0},
                     {2, 0, 0, 0.2},
                     {2, 1, 0, 0.3},
                     {2, 0, 1, -0.4},
                     {2, 1, 1, 0.5},
                     {2, 3, 0, 0.25},
                     {2, 1, 2, -0.3}},
                    4, 4);
}

std::vector<double> markers_of(const isect_point* p) {
  int m[4] = {0, 0, 0, 0};
  int st = 0;
  sh6gettop(p, -1, &m[0], &m[1], &m[2], &m[3], &st);
  return {double(m[0]), double(m[1]), double(m[2]), double(m[3])};
}

// Unit normal direction of the surface at (u, v) by central differences.
std::vector<double> fd_normal(const spline_surface* s, double u, double v) {
  const double h = 1e-6;
  auto a = eval_surface(s, u + h, v), b = eval_surface(s, u - h, v);
  auto c = eval_surface(s, u, v + h), d = eval_surface(s, u, v - h);
  double su[3], sv[3];
  for (int i = 0; i < 3; ++i) su[i] = a[i] - b[i], sv[i] = c[i] - d[i];
  return {su[1] * sv[2] - su[2] * sv[1], su[2] * sv[0] - su[0] * sv[2],
          su[0] * sv[1] - su[1] * sv[0]};
}

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  double s = 0;
  for (size_t i = 0; i < a.size(); ++i) s += a[i] * b[i];
  return s;
}

isect_point* add_point(isect_data** data, std::vector<double> params, int kind = 1) {
  isect_point* p = create_isect_point_geom(static_cast<int>(params.size()), params.data(), 0.0,
                                           kind, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  int st = 0;
  sh6idnpt(data, &p, 0, &st);
  EXPECT_GE(st, 0);
  return p;
}

// ---------------------------------------------------------------------------
// Newton settling: a point against a surface.

TEST(SurfaceUpdate, PointAgainstAPolynomialPatch) {
  struct Case {
    const char* name;
    double u, v;       // foot of the point on the patch
    double lift;       // distance of the point above the patch along z
    int result;        // expected status
    bool adds_point;
  } cases[] = {
      {"on the patch inside", 0.3, 0.6, 0.0, 1, true},
      {"above the patch", 0.3, 0.6, 0.5, 2, false},
      {"on the patch's edge", 1.0, 0.5, 0.0, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = graph_patch();
    auto foot = eval_surface(s.get(), c.u, c.v);
    foot[2] += c.lift;
    auto P = wrap(point(foot));
    auto O = wrap(graph_patch());
    O->origin = O.get();
    Tables tables(0, 4);
    Data data;
    int st = -7;
    sh1762_s9update(P.get(), O.get(), 1e-9, &data.d, tables.t, &st);
    EXPECT_EQ(st, c.result);
    ASSERT_EQ(data.size(), c.adds_point ? 1 : 0);
    if (c.adds_point) {
      const isect_point* p = data.d->points[0];
      ASSERT_EQ(p->param_count, 2);
      EXPECT_NEAR(p->params[0], c.u, 1e-8);
      EXPECT_NEAR(p->params[1], c.v, 1e-8);
      EXPECT_EQ(p->kind, 1);
    }
  }
}

TEST(SurfaceUpdate, EdgePointsOfAPointProblemAreUnitedAndMovedOntoTheNewtonResult) {
  auto s = graph_patch();
  auto P = wrap(point(eval_surface(s.get(), 0.3, 0.6)));
  auto O = wrap(graph_patch());
  O->origin = O.get();
  Tables tables(4, 0);
  Data data;
  tables.push(0, 0, add_point(&data.d, {0.4, 0.0}));
  tables.push(0, 1, add_point(&data.d, {1.0, 0.5}));
  tables.push(0, 3, add_point(&data.d, {0.0, 0.7}));
  int st = 0;
  sh1762_s9update(O.get(), P.get(), 1e-9, &data.d, tables.t, &st);
  EXPECT_EQ(st, 1);
  ASSERT_EQ(data.size(), 1);
  EXPECT_NEAR(data.d->points[0]->params[0], 0.3, 1e-8);
  EXPECT_NEAR(data.d->points[0]->params[1], 0.6, 1e-8);
  // The united edge points are no longer listed on the surface's edges.
  EXPECT_EQ(tables.t[0]->point_count, 0);
}

TEST(SurfaceUpdate, TwoEdgePointsOfAPlanarSurfaceAreConnected) {
  auto P = wrap(point({0.25, 0.5}));
  auto O = wrap(plane_patch({0, 0}, {1, 0}, {0, 1}));
  O->origin = O.get();
  Tables tables(0, 4);
  Data data;
  isect_point* a = add_point(&data.d, {0.0, 0.2});
  isect_point* b = add_point(&data.d, {1.0, 0.8});
  tables.push(1, 3, a);
  tables.push(1, 1, b);
  int st = 0;
  sh1762_s9update(P.get(), O.get(), 1e-9, &data.d, tables.t, &st);
  EXPECT_EQ(st, 2);
  EXPECT_EQ(data.size(), 2);
  EXPECT_GE(neighbour_index(a, b), 0);
}

TEST(SurfaceUpdate, ValueAgainstAFunctionOfTwoParameters) {
  // f(u, v) = u + v on [0, 1]^2: the level 0.8 is met inside, the level 5 nowhere.
  struct Case {
    double level;
    int result;
  } cases[] = {{0.8, 1}, {5.0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    auto P = wrap(point({c.level}));
    auto O = wrap(poly_surface_1d({{0, 1}, {1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2));
    O->origin = O.get();
    Tables tables(0, 4);
    Data data;
    int st = 0;
    sh1762_s9update(P.get(), O.get(), 1e-9, &data.d, tables.t, &st);
    EXPECT_EQ(st, c.result);
    if (c.result == 1) {
      ASSERT_EQ(data.size(), 1);
      EXPECT_NEAR(data.d->points[0]->params[0] + data.d->points[0]->params[1], c.level, 1e-9);
    }
  }
}

// ---------------------------------------------------------------------------
// Newton settling: a curve against a surface.

TEST(SurfaceUpdate, LineThroughASphereInEitherOrder) {
  const double centre[3] = {1.0, -2.0, 0.5};
  const double r = 3.0;
  const double dir[3] = {1 / std::sqrt(5.25), 2 / std::sqrt(5.25), 0.5 / std::sqrt(5.25)};
  std::vector<double> a(3), b(3), hit(3);
  for (int i = 0; i < 3; ++i) {
    a[i] = centre[i] + 0.2 * r * dir[i];
    b[i] = centre[i] + 2.0 * r * dir[i];
    hit[i] = centre[i] + r * dir[i];
  }
  const double t_hit = 0.8 / 1.8;
  for (bool curve_first : {true, false}) {
    SCOPED_TRACE(curve_first ? "curve first" : "surface first");
    // The piece of the sphere over the first quadrant of longitude and the northern
    // hemisphere, cut from the whole sphere, which stays its origin.
    auto C = wrap(line(a, b));
    auto whole = wrap(sphere(centre, r));
    spline_surface* piece = nullptr;
    int cut = 0;
    s1001(whole->surface, 0.0, 1.0, 1.0, 2.0, &piece, &cut);
    ASSERT_EQ(cut, 0);
    auto S = wrap(SurfaceHandle(piece));
    C->origin = C.get();
    S->origin = whole.get();
    geom_object* o1 = curve_first ? C.get() : S.get();
    geom_object* o2 = curve_first ? S.get() : C.get();
    Tables tables(o1->kind == kCurveObject ? 2 : 4, o2->kind == kCurveObject ? 2 : 4);
    Data data;
    int st = 0;
    sh1762_s9update(o1, o2, 1e-10, &data.d, tables.t, &st);
    ASSERT_EQ(st, 1);
    ASSERT_EQ(data.size(), 1);
    const isect_point* p = data.d->points[0];
    ASSERT_EQ(p->param_count, 3);
    const double t = p->params[curve_first ? 0 : 2];
    const double u = p->params[curve_first ? 1 : 0];
    const double v = p->params[curve_first ? 2 : 1];
    EXPECT_NEAR(t, t_hit, 1e-9);
    EXPECT_LT(dist(eval_surface(S->surface, u, v), hit), 1e-9);
    // The line leaves the sphere: before the point it lies on the side opposite the
    // outward normal, after it on the side of the normal.
    const auto n = fd_normal(S->surface, u, v);
    const std::vector<double> T = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const bool with_normal = dot(n, T) > 0;
    const auto m = markers_of(p);
    const int base = curve_first ? 0 : 2;
    EXPECT_EQ(m[base], with_normal ? 1 : 2);
    EXPECT_EQ(m[base + 1], with_normal ? 2 : 1);
  }
}

TEST(SurfaceUpdate, CurveAgainstAPlanePatch) {
  struct Case {
    const char* name;
    std::vector<double> a, b;  // line ends
    int result;
  } cases[] = {
      {"crossing inside", {0.3, 0.4, -1.0}, {0.5, 0.6, 1.0}, 1},
      {"parallel above", {0.1, 0.2, 0.5}, {0.9, 0.7, 0.5}, 0},
      {"crossing the plane beyond the patch", {2.0, 2.0, -1.0}, {3.0, 2.5, 1.0}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto C = wrap(line(c.a, c.b));
    auto S = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    C->origin = C.get();
    S->origin = S.get();
    Tables tables(2, 4);
    Data data;
    int st = 0;
    sh1762_s9update(C.get(), S.get(), 1e-9, &data.d, tables.t, &st);
    EXPECT_EQ(st, c.result);
    if (c.result == 1) {
      ASSERT_EQ(data.size(), 1);
      const isect_point* p = data.d->points[0];
      EXPECT_NEAR(p->params[0], 0.5, 1e-12);
      EXPECT_NEAR(p->params[1], 0.4, 1e-12);
      EXPECT_NEAR(p->params[2], 0.5, 1e-12);
    } else {
      EXPECT_EQ(data.size(), 0);
    }
  }
}

TEST(SurfaceUpdate, KnownPointsOfACurveSurfacePairSettleIt) {
  auto C = wrap(line({0.3, 0.4, -1.0}, {0.5, 0.6, 1.0}));
  auto S = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
  C->origin = C.get();
  S->origin = S.get();
  {
    SCOPED_TRACE("two edge points are connected");
    Tables tables(2, 4);
    Data data;
    isect_point* p = add_point(&data.d, {0.0, 0.3, 0.4});
    isect_point* q = add_point(&data.d, {1.0, 0.5, 0.6});
    tables.push(0, 0, p);
    tables.push(0, 1, q);
    int st = 0;
    sh1762_s9update(C.get(), S.get(), 1e-9, &data.d, tables.t, &st);
    EXPECT_EQ(st, 1);
    EXPECT_GE(neighbour_index(p, q), 0);
  }
  {
    SCOPED_TRACE("one inner point settles it unchanged");
    Tables tables(2, 4);
    Data data;
    add_point(&data.d, {0.5, 0.4, 0.5});
    int st = 0;
    sh1762_s9update(C.get(), S.get(), 1e-9, &data.d, tables.t, &st);
    EXPECT_EQ(st, 2);
    EXPECT_EQ(data.size(), 1);
  }
  {
    SCOPED_TRACE("one edge point settles it unchanged");
    Tables tables(2, 4);
    Data data;
    tables.push(1, 3, add_point(&data.d, {0.2, 0.0, 0.9}));
    int st = 0;
    sh1762_s9update(C.get(), S.get(), 1e-9, &data.d, tables.t, &st);
    EXPECT_EQ(st, 2);
    EXPECT_EQ(data.size(), 1);
  }
}

TEST(SurfaceUpdate, TwoSurfacesWithOneEdgePointAreSettledWithoutConnection) {
  auto A = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
  auto B = wrap(plane_patch({0.5, -1, -1}, {0, 3, 0}, {0, 0, 2}));
  Tables tables(4, 4);
  Data data;
  tables.push(0, 0, add_point(&data.d, {0.5, 0.0, 1.0 / 3, 0.5}));
  int st = 0;
  sh1762_s9update(A.get(), B.get(), 1e-9, &data.d, tables.t, &st);
  EXPECT_EQ(st, 2);
  EXPECT_EQ(data.size(), 1);
}

TEST(SurfaceUpdate, TwoPlanesWithTheirEdgeCrossingsAreConnected) {
  // z = 0 over [0,1]^2 and the plane x = 0.5 standing across it: the line x = 0.5, z = 0
  // enters at v = 0 and leaves at v = 1 of the first patch.
  auto A = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
  auto B = wrap(plane_patch({0.5, -1, -1}, {0, 3, 0}, {0, 0, 2}));
  A->origin = A.get();
  B->origin = B.get();
  for (bool simple_pair : {true, false}) {
    SCOPED_TRACE(simple_pair ? "marked a simple pair" : "not marked");
    A->extra = simple_pair ? B.get() : nullptr;
    Tables tables(4, 4);
    Data data;
    isect_point* enter = add_point(&data.d, {0.5, 0.0, 1.0 / 3, 0.5});
    isect_point* leave = add_point(&data.d, {0.5, 1.0, 2.0 / 3, 0.5});
    tables.push(0, 0, enter);
    tables.push(0, 2, leave);
    int st = -7;
    sh1762_s9update(A.get(), B.get(), 1e-9, &data.d, tables.t, &st);
    EXPECT_EQ(st, 2);
    EXPECT_GE(neighbour_index(enter, leave), 0);
  }
  A->extra = nullptr;
}

TEST(SurfaceUpdate, ObjectsOfDifferentDimensionsAreRejected) {
  isect_test::ReportLog log;
  auto C = wrap(line({0, 0}, {1, 1}));
  auto S = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
  Tables tables(2, 4);
  Data data;
  int st = 0;
  sh1762_s9update(C.get(), S.get(), 1e-9, &data.d, tables.t, &st);
  EXPECT_EQ(st, kErrDimensionMismatch);
  EXPECT_TRUE(log.named("sh1762_s9update"));
}

// ---------------------------------------------------------------------------
// Side markers.

TEST(SurfaceSideMarkers, LinesCrossingAPlanePatch) {
  // The patch's normal a x b is +z for the plain parametrisation and -z for the
  // mirrored one; the curve's markers say on which side of the normal it runs.
  struct Case {
    const char* name;
    std::vector<double> a, b;  // patch directions
    double dz;                 // line's z direction
    int left, right;           // the curve's markers
  } cases[] = {
      {"upwards through +z", {1, 0, 0}, {0, 1, 0}, 1.0, 1, 2},
      {"downwards through +z", {1, 0, 0}, {0, 1, 0}, -1.0, 2, 1},
      {"upwards through -z", {0, 1, 0}, {1, 0, 0}, 1.0, 2, 1},
      {"steep enough at 10 degrees", {1, 0, 0}, {0, 1, 0}, std::tan(10 * M_PI / 180), 1, 2},
  };
  for (const Case& c : cases) {
    for (bool curve_first : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (curve_first ? ", curve first" : ", surface first"));
      auto C = wrap(line({0.2, 0.3, -0.5 * c.dz}, {0.8, 0.3, 0.5 * c.dz}));
      auto S = wrap(plane_patch({0, 0, 0}, c.a, c.b));
      geom_object* o1 = curve_first ? C.get() : S.get();
      geom_object* o2 = curve_first ? S.get() : C.get();
      Data data;
      const double u = c.a[0] == 1 ? 0.5 : 0.3, v = c.a[0] == 1 ? 0.3 : 0.5;
      isect_point* p = add_point(&data.d, curve_first ? std::vector<double>{0.5, u, v}
                                                      : std::vector<double>{u, v, 0.5});
      int added = -1, st = -7;
      mark_curve_surface_sides(o1, o2, 1e-9, &data.d, p, &added, &st);
      EXPECT_EQ(st, 0);
      EXPECT_EQ(added, 0);
      const auto m = markers_of(p);
      const int cb = curve_first ? 0 : 2;
      EXPECT_EQ(m[cb], c.left);
      EXPECT_EQ(m[cb + 1], c.right);
      EXPECT_EQ(m[2 - cb], 0);  // the surface's markers are left alone
      EXPECT_EQ(m[3 - cb], 0);
    }
  }
}

TEST(SurfaceSideMarkers, RulingOfACylinderRunsAlongWhereItsNeighboursLie) {
  // The line x = y = r / sqrt(2) lies in the cylinder; the point at its middle has
  // known neighbours on the line on both sides, so both sides run along the cylinder.
  const double r = 2.0, c45 = r / std::sqrt(2.0);
  auto C = wrap(line({c45, c45, 0.0}, {c45, c45, 1.0}));
  auto S = wrap(quarter_cylinder(r, 1.0));
  Data data;
  // Parameter of the 45-degree ruling in the rational quadratic quarter: 0.5.
  isect_point* p = add_point(&data.d, {0.5, 0.5, 0.5});
  isect_point* below = add_point(&data.d, {0.1, 0.5, 0.1});
  isect_point* above = add_point(&data.d, {0.9, 0.5, 0.9});
  int st = 0;
  sh6connect(below, p, &st);
  sh6connect(p, above, &st);
  ASSERT_EQ(st, 0);
  int added = -1;
  st = -7;
  mark_curve_surface_sides(C.get(), S.get(), 1e-9, &data.d, p, &added, &st);
  EXPECT_EQ(st, 0);
  const auto m = markers_of(p);
  EXPECT_EQ(m[0], 3);
  EXPECT_EQ(m[1], 3);
  EXPECT_LT(dist(eval_surface(S->surface, 0.5, 0.5), {c45, c45, 0.5}), 1e-12);
}

TEST(SurfaceSideMarkers, LineTouchingACylinderStaysOutsideOnBothSides) {
  // The horizontal tangent of the cylinder at 45 degrees touches it at its middle and
  // runs outside it, on the side of the outward normal, before and after.
  const double r = 2.0, c45 = r / std::sqrt(2.0);
  auto C = wrap(line({c45 + 0.5, c45 - 0.5, 0.5}, {c45 - 0.5, c45 + 0.5, 0.5}));
  auto S = wrap(quarter_cylinder(r, 1.0));
  const auto n = fd_normal(S->surface, 0.5, 0.5);
  ASSERT_GT(dot(n, {c45, c45, 0.0}), 0.0);  // the parametrisation's normal points outwards
  Data data;
  isect_point* p = add_point(&data.d, {0.5, 0.5, 0.5});
  int added = -1, st = -7;
  mark_curve_surface_sides(C.get(), S.get(), 1e-9, &data.d, p, &added, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(added, 0);
  const auto m = markers_of(p);
  EXPECT_EQ(m[0], 2);
  EXPECT_EQ(m[1], 2);
}

TEST(SurfaceSideMarkers, CurveLeavingAPlaneGetsAHelpPointWhereItLeaves) {
  // A polygon lying in z = 0 for t in [0, 0.5] and rising above the plane after it.
  auto C = wrap(curve({0, 0, 0.5, 1, 1}, 2, {0.1, 0.5, 0.0, 0.6, 0.5, 0.0, 0.9, 0.5, 0.3}, 1, 3));
  auto S = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
  Data data;
  isect_point* p = add_point(&data.d, {0.25, 0.35, 0.5});
  int added = -1, st = -7;
  mark_curve_surface_sides(C.get(), S.get(), 1e-7, &data.d, p, &added, &st);
  EXPECT_EQ(st, 0);
  ASSERT_EQ(added, 1);
  const auto m = markers_of(p);
  EXPECT_EQ(m[0], 0);  // in the plane up to the curve's start: the march decides nothing
  EXPECT_EQ(m[1], 2);  // above the plane, on the side of its normal +z
  ASSERT_EQ(data.size(), 2);
  isect_point* h = data.d->points[0] == p ? data.d->points[1] : data.d->points[0];
  EXPECT_TRUE(is_help_point(h));
  EXPECT_NEAR(h->params[0], 0.5, 0.02);
  EXPECT_GE(neighbour_index(p, h), 0);
}

TEST(SurfaceSideMarkers, HelpPointsAreNotProcessed) {
  auto C = wrap(line({0.2, 0.3, -1}, {0.8, 0.3, 1}));
  auto S = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
  Data data;
  isect_point* h = add_point(&data.d, {0.5, 0.5, 0.3}, -1);
  int added = -1, st = -7;
  mark_curve_surface_sides(C.get(), S.get(), 1e-9, &data.d, h, &added, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(markers_of(h), (std::vector<double>{0, 0, 0, 0}));
}

TEST(SurfaceSideMarkers, PointAgainstAPlanarSurface) {
  struct Case {
    const char* name;
    std::vector<double> a, b;  // patch directions in the plane
    bool surface_first;
    int left, right;           // the point's markers
  } cases[] = {
      {"plain orientation", {1, 0}, {0, 1}, true, 1, 2},
      {"mirrored orientation", {0, 1}, {1, 0}, true, 2, 1},
      {"plain orientation, point first", {1, 0}, {0, 1}, false, 1, 2},
      {"rotated and scaled", {0, 2}, {-3, 0}, true, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto P = wrap(point({0.3, 0.4}));
    auto S = wrap(plane_patch({0, 0}, c.a, c.b));
    geom_object* o1 = c.surface_first ? S.get() : P.get();
    geom_object* o2 = c.surface_first ? P.get() : S.get();
    Data data;
    isect_point* p = add_point(&data.d, {0.4, 0.3});
    int st = 0;
    sh6settop(p, -1, 2, 2, 2, 2, &st);
    int added = -1;
    st = -7;
    mark_point_surface_sides(o1, o2, 1e-9, &data.d, p, &added, &st);
    EXPECT_EQ(st, 0);
    const auto m = markers_of(p);
    const int pb = c.surface_first ? 2 : 0;
    EXPECT_EQ(m[pb], c.left);
    EXPECT_EQ(m[pb + 1], c.right);
    EXPECT_EQ(m[2 - pb], 0);
    EXPECT_EQ(m[3 - pb], 0);
  }
}

TEST(SurfaceSideMarkers, DispatcherMarksCurveSurfacePointsAndSkipsTwoSurfaces) {
  {
    SCOPED_TRACE("a line through a plane patch, one edge point");
    auto C = wrap(line({0.2, 0.3, -1}, {0.8, 0.3, 1}));
    auto S = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    Tables tables(2, 4);
    Data data;
    isect_point* p = add_point(&data.d, {0.5, 0.5, 0.3});
    tables.push(1, 0, p);
    int added = -1, st = -7;
    mark_point_sides(C.get(), S.get(), 1e-9, &data.d, tables.t, &added, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(markers_of(p), (std::vector<double>{1, 2, 0, 0}));
  }
  {
    SCOPED_TRACE("two planes crossing: no markers");
    auto A = wrap(plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    auto B = wrap(plane_patch({0.5, -1, -1}, {0, 3, 0}, {0, 0, 2}));
    Tables tables(4, 4);
    Data data;
    isect_point* p = add_point(&data.d, {0.5, 0.0, 1.0 / 3, 0.5});
    tables.push(0, 0, p);
    int added = -1, st = -7;
    mark_point_sides(A.get(), B.get(), 1e-9, &data.d, tables.t, &added, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(added, 0);
    EXPECT_EQ(markers_of(p), (std::vector<double>{0, 0, 0, 0}));
  }
}

// ---------------------------------------------------------------------------
// Entry points: statuses.

TEST(SurfaceEntry, StatusTable) {
  struct Case {
    const char* name;
    SurfaceHandle (*a)();
    SurfaceHandle (*b)();
    int core;   // sh1859
    int entry;  // s1859
  } cases[] = {
      {"dimensions 2 and 3", [] { return plane_patch({0, 0}, {1, 0}, {0, 1}); },
       [] { return plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}); }, kErrDimensionMismatch,
       kErrDimensionMismatch},
      {"both planar", [] { return plane_patch({0, 0}, {1, 0}, {0, 1}); },
       [] { return plane_patch({0.5, 0}, {1, 0}, {0, 1}); }, kErrDimensionNotAccepted,
       kErrDimensionNotAccepted},
      {"both of dimension 4",
       [] { return plane_patch({0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}); },
       [] { return plane_patch({0, 0, 0, 1}, {1, 0, 0, 0}, {0, 0, 1, 0}); },
       kErrDimensionNotAccepted, kErrDimensionNotAccepted},
      {"boxes apart", [] { return plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}); },
       [] { return plane_patch({0, 0, 5}, {1, 0, 0}, {0, 1, 0}); }, 0, kS1859NoCurve},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto a = c.a();
    auto b = c.b();
    {
      isect_test::ReportLog log;
      int extra = -1, np = -1, nc = -1, nt = -1, st = -7;
      double *p1 = reinterpret_cast<double*>(1), *p2 = reinterpret_cast<double*>(1);
      int* markers = reinterpret_cast<int*>(1);
      isect_curve** curves = reinterpret_cast<isect_curve**>(1);
      param_track** tracks = reinterpret_cast<param_track**>(1);
      sh1859(a.get(), b.get(), 1e-15, 1e-5, 0, &extra, nullptr, &np, &p1, &p2, &markers, &nc,
             &curves, &nt, &tracks, &st);
      EXPECT_EQ(st, c.core);
      EXPECT_EQ(extra, 0);
      EXPECT_EQ(np, 0);
      EXPECT_EQ(nc, 0);
      EXPECT_EQ(nt, 0);
      EXPECT_EQ(p1, nullptr);
      EXPECT_EQ(p2, nullptr);
      EXPECT_EQ(markers, nullptr);
      EXPECT_EQ(curves, nullptr);
      EXPECT_EQ(tracks, nullptr);
      EXPECT_EQ(log.named("sh1859"), c.core < 0);
    }
    {
      isect_test::ReportLog log;
      int np = -1, nc = -1, st = -7;
      double *p1 = nullptr, *p2 = nullptr;
      isect_curve** curves = nullptr;
      s1859(a.get(), b.get(), 1e-15, 1e-5, &np, &p1, &p2, &nc, &curves, &st);
      EXPECT_EQ(st, c.entry);
      EXPECT_EQ(np, 0);
      EXPECT_EQ(nc, 0);
      EXPECT_EQ(log.named("s1859"), c.entry < 0);
      free(p1);
      free(p2);
      destroy_isect_curve_array(curves, nc);
    }
    // The caller's records are left whole.
    EXPECT_NE(a->knots1, nullptr);
    EXPECT_NE(b->coefs, nullptr);
  }
}

}  // namespace
