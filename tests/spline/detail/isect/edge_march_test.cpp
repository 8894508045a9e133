// Connection of edge points of surface/surface and level-curve sub-problems, checked
// against closed forms: arcs of the circle where a plane patch cuts a sphere (the curve
// runs counter-clockwise about the z axis, N_plane x N_sphere with the sphere's
// parametric normal pointing outwards), a saddle touching a plane, level curves of
// quadratic and linear scalar surfaces.
#include "spline/detail/isect/edge_march.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_records.h"
#include "tests/spline/detail/isect/isect_fixture.h"
#include "tests/spline/detail/isect/march_through_testutil.h"

namespace {

using namespace march_through_test;
using isect_test::Graph;
using isect_test::graph_problem;
using isect_test::mask_toward;

// Points of a sub-problem with the edge tables that list them.
class EdgeSetup {
 public:
  EdgeSetup() {
    tables[0] = create_edge_table(4);
    tables[1] = create_edge_table(4);
  }
  ~EdgeSetup() {
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
  }
  EdgeSetup(const EdgeSetup&) = delete;
  EdgeSetup& operator=(const EdgeSetup&) = delete;

  // A point with its parameters, listed on edges e of table t (pairs (t, e)).
  isect_point* add(const std::vector<double>& params, std::vector<std::pair<int, int>> edges) {
    std::vector<double> p = params;
    isect_point* pt = create_isect_point_geom(static_cast<int>(p.size()), p.data(), 0.0, 1, 0, 0,
                                              0, 0, 0, 0, nullptr, nullptr);
    int st = 0;
    sh6idnpt(&g.data, &pt, 0, &st);
    EXPECT_EQ(st, 0);
    for (auto [t, e] : edges) {
      edge_node** slot = &tables[t]->heads[e];
      while (*slot) slot = &(*slot)->next;
      *slot = create_edge_node(pt);
      ++tables[t]->point_count;
    }
    return pt;
  }
  bool linked(isect_point* p, isect_point* q) const { return neighbour_index(p, q) >= 0; }
  // Connected with the direction from p to q.
  bool directed(isect_point* p, isect_point* q) const {
    return linked(p, q) && mask_toward(p, q) > 0 && mask_toward(q, p) < 0;
  }
  int connections() const {
    int n = 0;
    for (int i = 0; i < g.size(); ++i) n += g.data->points[i]->neighbour_count;
    return n / 2;
  }

  Graph g;
  edge_table* tables[2];
};

// The plane z = 0.3 over a rectangle of x and y (its parameters) against the sphere of
// radius 2 about the origin; the circle has radius rho = sqrt(3.91).
class SphereCuts : public testing::Test {
 protected:
  // Parameters of (x, y) on the plane patch [x0, x1] x [y0, y1] and on the sphere.
  std::vector<double> at(double x, double y, double x0, double x1, double y0, double y1) const {
    const auto s = params_of(sph_.get(), {x, y, 0.3});
    return {(x - x0) / (x1 - x0), (y - y0) / (y1 - y0), s[0], s[1]};
  }
  const double centre_[3] = {0, 0, 0};
  SurfaceHandle sph_ = sphere(centre_, 2.0);
  const double rho_ = std::sqrt(3.91);
  const double y_ = std::sqrt(3.91 - 0.25);  // where the circle meets x = +-0.5
};

// One arc in the quarter x, y in [0.5, 3]: it enters through y = 0.5 at (Y, 0.5) and
// leaves through x = 0.5 at (0.5, Y).
TEST_F(SphereCuts, OneArcIsJoinedFromItsEntryToItsExit) {
  auto quarter = plane_z(0.3, 0.5, 3, 0.5, 3);
  EdgeSetup s;
  isect_point* exit = s.add(at(0.5, y_, 0.5, 3, 0.5, 3), {{0, 3}});
  isect_point* entry = s.add(at(y_, 0.5, 0.5, 3, 0.5, 3), {{0, 0}});
  int st = -1;
  sh1762_s9edgsscon(s.tables, quarter.get(), sph_.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, 0);
  EXPECT_TRUE(s.directed(entry, exit));
  EXPECT_EQ(graph_problem(s.g.data), "");
  // Run again: the two points are connected already, nothing changes.
  sh1762_s9edgsscon(s.tables, quarter.get(), sph_.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(s.connections(), 1);
}

// The same arc with the sphere as the first surface: the points lie on the edges of the
// second surface, and the curve's orientation N_sphere x N_plane is reversed
// (clockwise), so it enters at (0.5, Y) and leaves at (Y, 0.5).
TEST_F(SphereCuts, PointsOnTheSecondSurfacesEdges) {
  auto quarter = plane_z(0.3, 0.5, 3, 0.5, 3);
  auto swap = [](std::vector<double> p) { return std::vector<double>{p[2], p[3], p[0], p[1]}; };
  EdgeSetup s;
  isect_point* a = s.add(swap(at(0.5, y_, 0.5, 3, 0.5, 3)), {{1, 3}});
  isect_point* b = s.add(swap(at(y_, 0.5, 0.5, 3, 0.5, 3)), {{1, 0}});
  int st = -1;
  sh1762_s9edgsscon(s.tables, sph_.get(), quarter.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, 0);
  EXPECT_TRUE(s.directed(a, b));
}

// The strip x in [-0.5, 0.5] holds two arcs: the upper one runs from (0.5, Y) to
// (-0.5, Y), the lower one from (-0.5, -Y) to (0.5, -Y).  Four points, paired by marching
// and, for a simple pair, by directions and distances: each with the other end of its
// own arc, directed along it.
TEST_F(SphereCuts, TwoArcsArePairedByBranch) {
  auto strip = plane_z(0.3, -0.5, 0.5, -3, 3);
  for (int simple : {0, 1}) {
    SCOPED_TRACE(simple);
    EdgeSetup s;
    isect_point* ul = s.add(at(-0.5, y_, -0.5, 0.5, -3, 3), {{0, 3}});
    isect_point* ll = s.add(at(-0.5, -y_, -0.5, 0.5, -3, 3), {{0, 3}});
    isect_point* ur = s.add(at(0.5, y_, -0.5, 0.5, -3, 3), {{0, 1}});
    isect_point* lr = s.add(at(0.5, -y_, -0.5, 0.5, -3, 3), {{0, 1}});
    int st = -1;
    sh1762_s9edgsscon(s.tables, strip.get(), sph_.get(), &s.g.data, simple, 1e-6, &st);
    EXPECT_EQ(st, 0);
    EXPECT_TRUE(s.directed(ur, ul));
    EXPECT_TRUE(s.directed(ll, lr));
    EXPECT_EQ(s.connections(), 2);
    EXPECT_EQ(s.g.size(), 4);
  }
}

// The patch x in [-3, 0.5], y in [-3, Y]: its corner (0.5, Y) lies on the circle, which
// only touches the patch there (entering by one edge and leaving by the other): the
// corner is not used.  The arc inside runs from (-0.5, Y) to (0.5, -Y).
TEST_F(SphereCuts, CornerWithContradictingEdgesIsNotUsed) {
  auto patch_c = plane_z(0.3, -3, 0.5, -3, y_);
  EdgeSetup s;
  isect_point* corner = s.add(at(0.5, y_, -3, 0.5, -3, y_), {{0, 1}, {0, 2}});
  isect_point* in = s.add(at(-0.5, y_, -3, 0.5, -3, y_), {{0, 2}});
  isect_point* out = s.add(at(0.5, -y_, -3, 0.5, -3, y_), {{0, 1}});
  int st = -1;
  sh1762_s9edgsscon(s.tables, patch_c.get(), sph_.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, 0);
  EXPECT_TRUE(s.directed(in, out));
  EXPECT_EQ(corner->neighbour_count, 0);
}

// The patch x in [-3, 3], y in [0.5, rho]: the arc enters through y = 0.5 at (X, 0.5),
// touches the upper edge at (0, rho) running along it, and leaves at (-X, 0.5).  The
// touching point goes; the other two are joined.
TEST_F(SphereCuts, PointWhereTheArcRunsAlongAnEdgeIsDropped) {
  auto band = plane_z(0.3, -3, 3, 0.5, rho_);
  EdgeSetup s;
  isect_point* in = s.add(at(y_, 0.5, -3, 3, 0.5, rho_), {{0, 0}});
  isect_point* out = s.add(at(-y_, 0.5, -3, 3, 0.5, rho_), {{0, 0}});
  s.add(at(0.0, rho_, -3, 3, 0.5, rho_), {{0, 2}});
  int st = -1;
  sh1762_s9edgsscon(s.tables, band.get(), sph_.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(s.g.size(), 2);
  EXPECT_TRUE(s.directed(in, out));
}

// Few points, many points, refused surfaces.
TEST_F(SphereCuts, SettledAtOnceOrLeftForSubdivision) {
  auto quarter = plane_z(0.3, 0.5, 3, 0.5, 3);
  {
    EdgeSetup s;
    s.add(at(0.5, y_, 0.5, 3, 0.5, 3), {{0, 3}});
    int st = -1;
    sh1762_s9edgsscon(s.tables, quarter.get(), sph_.get(), &s.g.data, 0, 1e-6, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(s.connections(), 0);
  }
  {
    // Nine points on one edge, all with a direction: more than eight, not settled.
    EdgeSetup s;
    for (int i = 1; i <= 9; ++i) {
      const double x = 0.5 + 0.25 * i;
      const auto sp = params_of(sph_.get(), {x, 0.5, 0.3});
      s.add({(x - 0.5) / 2.5, 0.0, sp[0], sp[1]}, {{0, 0}});
    }
    int st = -1;
    sh1762_s9edgsscon(s.tables, quarter.get(), sph_.get(), &s.g.data, 0, 1e-6, &st);
    EXPECT_EQ(st, 1);
    EXPECT_EQ(s.connections(), 0);
  }
  EdgeSetup s;
  s.add({0, 0.5, 1, 1}, {{0, 3}});
  s.add({0.5, 0, 1, 1}, {{0, 0}});
  auto f = poly_surface_1d({{0, 1}, {1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  isect_test::ReportLog log;
  int st = 0;
  sh1762_s9edgsscon(s.tables, quarter.get(), f.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, -200);
  EXPECT_TRUE(log.named("sh1762_s9edgsscon"));
}

// The saddle z = x y over x in [-1, 1] (first parameter (x + 1) / 2), y in [0, 1] touches
// the plane z = 0 at the origin, on its lower edge: its intersection is the axes.  The
// branch x = 0 leaves through the upper edge at (0, 1); the branch y = 0 runs along the
// lower edge to the corners (-1, 0) and (1, 0).  The touching point is found and made a
// singular point that the three points are joined to.
TEST(EdgeTouching, SaddleOnAPlaneGetsItsSingularPoint) {
  auto saddle = patch({-1, 0, 0}, {1, 0, 0}, {-1, 1, -1}, {1, 1, 1});
  for (double x : {-1.0, 0.3, 1.0})
    for (double y : {0.0, 0.6, 1.0})
      ASSERT_LT(dist(eval_surface(saddle.get(), (x + 1) / 2, y), {x, y, x * y}), 1e-14);
  auto plane = plane_z(0.0, -2, 2, -2, 2);
  for (bool along_connected : {true, false}) {
    SCOPED_TRACE(along_connected);
    EdgeSetup s;
    isect_point* top = s.add({0.5, 1, 0.5, 0.75}, {{0, 2}});
    isect_point* left = s.add({0, 0, 0.25, 0.5}, {{0, 0}, {0, 3}});
    isect_point* right = s.add({1, 0, 0.75, 0.5}, {{0, 0}, {0, 1}});
    if (along_connected) s.g.link(left, right);
    int st = -1;
    sh1762_s9edgsscon(s.tables, saddle.get(), plane.get(), &s.g.data, 0, 1e-6, &st);
    EXPECT_EQ(st, 0);
    ASSERT_EQ(s.g.size(), 4);
    isect_point* sing = nullptr;
    for (int i = 0; i < 4; ++i)
      if (s.g.data->points[i]->kind == 2) sing = s.g.data->points[i];
    ASSERT_NE(sing, nullptr);
    const double expected[4] = {0.5, 0.0, 0.5, 0.5};
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(sing->params[j], expected[j], 1e-9) << j;
    // The branch x = 0 leaves through the upper edge: directed from the singular point.
    EXPECT_TRUE(s.directed(sing, top));
    EXPECT_TRUE(s.linked(sing, left));
    EXPECT_TRUE(s.linked(sing, right));
    EXPECT_FALSE(s.linked(left, right));
    EXPECT_EQ(graph_problem(s.g.data), "");
  }
}

// The same saddle seen from its lower edge: the touching point itself is one of the edge
// points (parallel normals there: singular), already joined along the edge to the
// corner (-1, 0).  It is joined to (0, 1), from which the branch x = 0 leaves, and made
// a singular point.
TEST(EdgeTouching, SingularEdgePointJoinsTheBranchThatLeavesIt) {
  auto saddle = patch({-1, 0, 0}, {1, 0, 0}, {-1, 1, -1}, {1, 1, 1});
  auto plane = plane_z(0.0, -2, 2, -2, 2);
  EdgeSetup s;
  isect_point* top = s.add({0.5, 1, 0.5, 0.75}, {{0, 2}});
  isect_point* left = s.add({0, 0, 0.25, 0.5}, {{0, 0}, {0, 3}});
  isect_point* touch = s.add({0.5, 0, 0.5, 0.5}, {{0, 0}});
  s.g.link(left, touch);
  int st = -1;
  sh1762_s9edgsscon(s.tables, saddle.get(), plane.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, 0);
  EXPECT_TRUE(s.directed(touch, top));
  EXPECT_EQ(touch->kind, 2);
  EXPECT_EQ(s.connections(), 2);
  EXPECT_EQ(s.g.size(), 3);
}

// The saddle z = x y over [-1, 1]^2 touches the plane z = 0 at the origin, inside the
// domain.  Three of the four ends of its branches are given, each with a direction: the
// branch y = 0 enters at (1, 0) and leaves at (-1, 0), the branch x = 0 leaves at (0, 1).
// The touching point is found and joined to the three.
TEST(EdgeTouching, InnerTouchingPointOfThreeDirectedPoints) {
  auto saddle = patch({-1, -1, 1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, 1});
  auto plane = plane_z(0.0, -2, 2, -2, 2);
  EdgeSetup s;
  isect_point* east = s.add({1, 0.5, 0.75, 0.5}, {{0, 1}});
  isect_point* north = s.add({0.5, 1, 0.5, 0.75}, {{0, 2}});
  isect_point* west = s.add({0, 0.5, 0.25, 0.5}, {{0, 3}});
  int st = -1;
  sh1762_s9edgsscon(s.tables, saddle.get(), plane.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, 0);
  ASSERT_EQ(s.g.size(), 4);
  isect_point* sing = s.g.data->points[3];
  EXPECT_EQ(sing->kind, 2);
  const double expected[4] = {0.5, 0.5, 0.5, 0.5};
  for (int j = 0; j < 4; ++j) EXPECT_NEAR(sing->params[j], expected[j], 1e-9) << j;
  EXPECT_TRUE(s.directed(east, sing));
  EXPECT_TRUE(s.linked(sing, north));
  EXPECT_TRUE(s.linked(sing, west));
  EXPECT_EQ(s.connections(), 3);
}

// The plane y = 1 touches the cylinder of radius 1 about the z axis along its ruling
// (0, 1, z).  Both edge points of the ruling have parallel normals (singular); the
// marcher finds no piece through a singular first point, so there is nothing to join
// and the sub-problem counts as settled.
TEST(EdgeTouching, TouchingAlongARulingIsSettledWithoutJoining) {
  auto cyl = cylinder_z(1.0, -2, 2);
  auto plane = patch({-1, 1, -1}, {1, 1, -1}, {-1, 1, 1}, {1, 1, 1});
  ASSERT_LT(dist(eval_surface(cyl.get(), 1.0, 0.25), {0, 1, -1}), 1e-14);
  EdgeSetup s;
  s.add({0.5, 0.0, 1.0, 0.25}, {{0, 0}});
  s.add({0.5, 1.0, 1.0, 0.75}, {{0, 2}});
  int st = -1;
  sh1762_s9edgsscon(s.tables, plane.get(), cyl.get(), &s.g.data, 0, 1e-6, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(s.connections(), 0);
  EXPECT_EQ(s.g.size(), 2);
}

// ---- Level curves of scalar surfaces over [0, 1]^2.

// The ellipse (u - 0.5)^2 + 0.25 v^2 = 0.09 meets the lower edge at (0.2, 0) and (0.8,
// 0); the arc between them runs through (0.5, 0.6), which is put between them.  The
// same with the roles of u and v exchanged: 0.25 u^2 + (v - 0.5)^2 = 0.09 meets the edge
// u = 0 at (0, 0.2) and (0, 0.8) and runs through (0.6, 0.5).  Oriented by (-f_v, f_u),
// the arcs enter at (0.8, 0) and at (0, 0.2).
TEST(LevelEdges, ArcWithBothEndsOnOneEdgeGetsItsMiddlePoint) {
  struct Case {
    std::vector<std::vector<double>> poly;
    int edge;
    double in[2], out[2], mid[2];
  } cases[] = {
      {{{0.25, 0, 0.25}, {-1}, {1}}, 0, {0.8, 0.0}, {0.2, 0.0}, {0.5, 0.6}},
      {{{0.25, -1, 1}, {}, {0.25}}, 3, {0.0, 0.2}, {0.0, 0.8}, {0.6, 0.5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edge);
    auto f = poly_surface_1d(c.poly, {0, 0, 0, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, 3, 3);
    EdgeSetup s;
    isect_point* out = s.add({c.out[0], c.out[1]}, {{0, c.edge}});
    isect_point* in = s.add({c.in[0], c.in[1]}, {{0, c.edge}});
    int st = -1;
    sh1762_s9edgpscon(s.tables[0], 0.09, f.get(), 0, &s.g.data, 1e-9, &st);
    EXPECT_EQ(st, 0);
    ASSERT_EQ(s.g.size(), 3);
    isect_point* mid = s.g.data->points[2];
    EXPECT_NEAR(mid->params[0], c.mid[0], 1e-9);
    EXPECT_NEAR(mid->params[1], c.mid[1], 1e-9);
    EXPECT_TRUE(s.directed(in, mid));
    EXPECT_TRUE(s.directed(mid, out));
    EXPECT_FALSE(s.linked(in, out));
  }
}

// The hyperbola (u - 0.5)^2 - 0.25 (v - 0.5)^2 = 0.01: two branches from the lower to the
// upper edge.  On a whole surface four points are left for subdivision; on a piece the
// branches are marched and each pair joined along its branch.
TEST(LevelEdges, TwoBranchesAreMarchedOnAPiece) {
  auto f = poly_surface_1d({{0.1875, 0.25, -0.25}, {-1}, {1}}, {0, 0, 0, 1, 1, 1},
                           {0, 0, 0, 1, 1, 1}, 3, 3);
  const double w = std::sqrt(0.0725);
  for (int piece : {0, 1}) {
    SCOPED_TRACE(piece);
    EdgeSetup s;
    isect_point* a0 = s.add({0.5 - w, 0}, {{0, 0}});
    isect_point* b0 = s.add({0.5 + w, 0}, {{0, 0}});
    isect_point* a1 = s.add({0.5 - w, 1}, {{0, 2}});
    isect_point* b1 = s.add({0.5 + w, 1}, {{0, 2}});
    int st = -1;
    sh1762_s9edgpscon(s.tables[0], 0.01, f.get(), piece, &s.g.data, 1e-9, &st);
    if (!piece) {
      EXPECT_EQ(st, 1);
      EXPECT_EQ(s.connections(), 0);
      continue;
    }
    EXPECT_EQ(st, 0);
    EXPECT_EQ(s.connections(), 2);
    EXPECT_TRUE(s.directed(b0, b1));
    EXPECT_TRUE(s.directed(a1, a0));
  }
}

// f = k u + v with the level k / 2: the level line enters through the lower edge at
// P = (0.5, 0) (tested by f_u / |grad f| = k) and leaves through u = 0 at S = (0, k / 2).
// With two edge points a ratio above 1e-9 gives P a direction; with more points a ratio
// below 1e-5 counts as running along the edge, and a third point R (on u = 1, entering
// by its gradient) makes P the along-edge point of an (enter, leave, along) triple: P is
// dropped and R joined to S.  A ratio of 1e-3 keeps P's direction: three directed points
// on a whole surface are left for subdivision.
TEST(LevelEdges, EdgeDirectionThresholds) {
  struct Case {
    double k;
    bool with_r;
    int status;
    int points_after;
  } cases[] = {{1e-7, false, 0, 2}, {1e-7, true, 0, 2}, {1e-3, true, 1, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.k << " " << c.with_r);
    auto f = poly_surface_1d({{0, 1}, {c.k}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
    EdgeSetup s;
    isect_point* p = s.add({0.5, 0.0}, {{0, 0}});
    isect_point* q = s.add({0.0, c.k / 2}, {{0, 3}});
    isect_point* r = c.with_r ? s.add({1.0, 0.5}, {{0, 1}}) : nullptr;
    int st = -1;
    sh1762_s9edgpscon(s.tables[0], c.k / 2, f.get(), 0, &s.g.data, 1e-9, &st);
    EXPECT_EQ(st, c.status);
    EXPECT_EQ(s.g.size(), c.points_after);
    if (!c.with_r) {
      EXPECT_TRUE(s.directed(p, q));
    } else if (c.status == 0) {
      EXPECT_FALSE(s.g.holds(p));
      EXPECT_TRUE(s.directed(r, q));
    } else {
      EXPECT_EQ(s.connections(), 0);
    }
  }
}

TEST(LevelEdges, FewPointsAndRefusedSurface) {
  auto f = poly_surface_1d({{0, 1}, {1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  EdgeSetup s;
  s.add({0.5, 0.0}, {{0, 0}});
  int st = -1;
  sh1762_s9edgpscon(s.tables[0], 0.5, f.get(), 0, &s.g.data, 1e-9, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(s.connections(), 0);
  // One point listed on two edges (the corner where u + v = 0 touches the square): two
  // entries, one point, nothing to join; settled.
  EdgeSetup corner;
  corner.add({0.0, 0.0}, {{0, 0}, {0, 3}});
  sh1762_s9edgpscon(corner.tables[0], 0.0, f.get(), 0, &corner.g.data, 1e-9, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(corner.connections(), 0);
  auto pl = plane_z(0.0, -1, 1, -1, 1);
  isect_test::ReportLog log;
  sh1762_s9edgpscon(s.tables[0], 0.5, pl.get(), 0, &s.g.data, 1e-9, &st);
  EXPECT_EQ(st, -200);
  EXPECT_TRUE(log.named("sh1762_s9edgpscon"));
}

}  // namespace
