#include "spline/detail/isect/subdiv_connect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/cones.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_reduce.h"
#include "spline/detail/isect/special_testutil.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/linalg.h"
#include "spline/status.h"
#include "tests/spline/detail/isect/isect_fixture.h"

namespace {

using namespace special_test;

constexpr double kEps = 1e-3;

// A sub-problem as the subdivision step hands it to the connection: two objects with
// their boxes and cones made, the intersection data and the two edge tables.
class SubProblem : public isect_test::Graph {
 public:
  SubProblem(ObjectPtr a, ObjectPtr b) : A(std::move(a)), B(std::move(b)) {
    A->origin = A.get();
    B->origin = B.get();
  }
  ~SubProblem() {
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
    // The data goes before the objects.
    destroy_isect_data(data);
    data = nullptr;
  }
  SubProblem(const SubProblem&) = delete;
  SubProblem& operator=(const SubProblem&) = delete;

  // The box test, the simple-case test (which leaves the cones) and the edge tables,
  // as the subdivision step makes them before the connection.
  void prepare() {
    int st = 0;
    sh1790(A.get(), B.get(), 2, kEps, &st);
    ASSERT_GE(st, 0);
    st = 0;
    s1741(A.get(), B.get(), kEps, &st);
    ASSERT_GE(st, 0);
    for (int i = 0; i < 2; ++i) {
      const geom_object* o = i == 0 ? A.get() : B.get();
      tables[i] = o->kind == kPointObject ? nullptr : create_edge_table(o->kind == kCurveObject ? 2 : 4);
    }
    st = 0;
    sh6idalledg(A.get(), B.get(), data, tables, &st);
    ASSERT_GE(st, 0);
  }
  int connect() {
    int st = -999;
    sh1762_s9con(A.get(), B.get(), kEps, &data, tables, &st);
    return st;
  }
  int table_points() const {
    return (tables[0] ? tables[0]->point_count : 0) + (tables[1] ? tables[1]->point_count : 0);
  }
  int connections() const {
    int n = 0;
    for (int i = 0; data && i < data->point_count; ++i) n += data->points[i]->neighbour_count;
    return n / 2;
  }

  ObjectPtr A, B;
  edge_table* tables[2] = {nullptr, nullptr};
};

bool connected(isect_point* p, isect_point* q) {
  int a = -1, b = -1, st = 0;
  sh6getlist(p, q, &a, &b, &st);
  return st == 0;
}

std::vector<int> markers(const isect_point* p) {
  int m[4], st = 0;
  sh6gettop(p, -1, &m[0], &m[1], &m[2], &m[3], &st);
  return {m[0], m[1], m[2], m[3]};
}

// Distance from a position to a densely sampled curve.
double distance_to(const std::vector<double>& x, const std::vector<Sample>& samples) {
  double best = INFINITY;
  for (const Sample& s : samples) best = std::fmin(best, distance(x, s.pos));
  return best;
}
double distance_to_curve(const std::vector<double>& x, const spline_curve* c) {
  return distance_to(x, sample_curve(c, 4000));
}

// The two connected points of two curves lie on one branch: every curve point of A
// between their parameters on A lies within the tolerance of B (with a little room for
// the sampling of B).
void expect_one_curve_branch(const spline_curve* a, const spline_curve* b, double t0,
                             double t1) {
  const auto samples = sample_curve(b, 4000);
  for (int i = 0; i <= 200; ++i) {
    const double t = t0 + (t1 - t0) * i / 200;
    EXPECT_LE(distance_to(eval_curve(a, t), samples), 1.05 * kEps) << "t " << t;
  }
}

// ---------------------------------------------------------------------------

TEST(SubdivConnect, OneDimensionalPointIsNeverConnected) {
  SubProblem sp(wrap(point({0.5})), wrap(poly_curve_1d({-0.5, 1}, {0, 0, 1, 1}, 2)));
  sp.add({0.5});
  sp.prepare();
  EXPECT_EQ(sp.connect(), 0);
  EXPECT_EQ(sp.connections(), 0);
}

TEST(SubdivConnect, SpacePointAgainstASurfaceIsLeftToTheSubdivision) {
  SubProblem sp(wrap(point({0.5, 0.5, 0.0})),
                wrap(surface_from({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, 2, 2, 2, 2, 3)));
  sp.prepare();
  EXPECT_EQ(sp.connect(), 0);
}

// Two surfaces of different dimensions with an edge point: the tangent frames cannot
// be built from both; the pair is refused as the frame test refuses it, whichever
// surface comes first, and nothing is evaluated into room sized for the other.
TEST(SubdivConnect, SurfacesOfDifferentDimensionsAreRefused) {
  const std::vector<double> flat3 = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  const std::vector<double> flat4 = {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0};
  for (int order = 0; order < 2; ++order) {
    SCOPED_TRACE(order);
    auto s3 = wrap(surface_from(flat3, 2, 2, 2, 2, 3));
    auto s4 = wrap(surface_from(flat4, 2, 2, 2, 2, 4));
    SubProblem sp(order == 0 ? std::move(s3) : std::move(s4),
                  order == 0 ? std::move(s4) : std::move(s3));
    isect_point* p = sp.add({0.5, 0.5, 0.5, 0.5});
    int st = -7;
    special_case_dispatch(sp.A.get(), sp.B.get(), kEps, 1, &p, &st);
    EXPECT_EQ(st, kErrDimensionMismatch);
  }
}

// Two nearly straight curves that cross once at a tiny angle stay within the tolerance
// of each other from end to end: their two edge points are joined at once, and the
// side markers say that the stretch runs between them and ends at the curve ends.
TEST(SubdivConnect, FlatPairJoinsItsTwoEdgePointsWithMarkers) {
  struct Case {
    const char* what;
    int preset_left;  // the first point's own left marker on the first curve
    std::vector<int> first, second;
  };
  const Case cases[] = {
      {"plain", 0, {4, 3, 4, 3}, {3, 4, 3, 4}},
      {"side already known", 1, {1, 3, 4, 3}, {3, 4, 3, 4}},
  };
  for (const Case& c : cases) {
    SubProblem sp(wrap(line({0, 0}, {1, 0})), wrap(line({0, 0.0004}, {1, -0.0004})));
    isect_point* p0 = sp.add({0, 0});
    isect_point* p1 = sp.add({1, 1});
    int st = 0;
    sh6settop(p0, -1, c.preset_left, 0, 0, 0, &st);
    sp.prepare();
    // Each point lies on an edge of both curves: four table entries, two points.
    ASSERT_EQ(sp.table_points(), 4);
    EXPECT_EQ(sp.connect(), 1) << c.what;
    EXPECT_TRUE(connected(p0, p1));
    EXPECT_EQ(markers(p0), c.first) << c.what;
    EXPECT_EQ(markers(p1), c.second) << c.what;
    expect_one_curve_branch(sp.A->curve, sp.B->curve, 0, 1);
  }
}

// A flat pair whose data holds a point twice, as two records with equal parameters (a
// point split for two branches): joining the points in their order along the curve
// meets the second record after the first.  Every record stays held by the data, and
// the pair is joined end to end.
TEST(SubdivConnect, FlatPairWithASplitPointKeepsBothRecords) {
  SubProblem sp(wrap(line({0, 0}, {1, 0})), wrap(line({0, 0.0004}, {1, -0.0004})));
  isect_point* p0 = sp.add({0, 0});
  isect_point* p1 = sp.add({1, 1});
  isect_point* twin = sp.add({1, 1});
  sp.prepare();
  EXPECT_EQ(sp.connect(), 1);
  ASSERT_NE(sp.data, nullptr);
  ASSERT_EQ(sp.data->point_count, 3);
  for (isect_point* p : {p0, p1, twin}) {
    bool held = false;
    for (int i = 0; i < sp.data->point_count; ++i) held = held || sp.data->points[i] == p;
    EXPECT_TRUE(held);
    EXPECT_EQ(p->param_count, 2);
  }
  EXPECT_TRUE(connected(p0, p1) || connected(p0, twin));
}

// A cubic arc and a copy moved by a third of the tolerance: the two end points are
// joined as one stretch along which the curves coincide.  A third point of the data
// between them on both curves goes into the stretch.
TEST(SubdivConnect, CurvesRunningAlongEachOtherAreJoined) {
  const std::vector<double> arc = {0, 0, 0.3, 0.4, 0.7, 0.6, 1.2, 0.6, 1.6, 0.3, 1.8, -0.2};
  std::vector<double> moved = arc;
  for (size_t i = 0; i < moved.size(); i += 2) {
    moved[i] += 0.0002;
    moved[i + 1] -= 0.0002;
  }
  struct Case {
    const char* what;
    bool third;         // a third point in the data
    double third_on_b;  // its parameter on the second curve
    bool inserted;
  };
  const Case cases[] = {
      {"two points", false, 0, false},
      {"third point on the stretch", true, 1.5, true},
      // A point of the whole problem outside this pair's domain stays where it is.
      {"third point outside the domain", true, 3.5, false},
  };
  for (const Case& c : cases) {
    SubProblem sp(wrap(curve_from(arc, 4, 2)), wrap(curve_from(moved, 4, 2)));
    isect_point* p0 = sp.add({0, 0});
    isect_point* p1 = sp.add({3, 3});
    isect_point* q = c.third ? sp.add({1.5, c.third_on_b}) : nullptr;
    sp.prepare();
    EXPECT_EQ(sp.connect(), 1) << c.what;
    if (c.inserted) {
      EXPECT_TRUE(connected(p0, q));
      EXPECT_TRUE(connected(q, p1));
      EXPECT_FALSE(connected(p0, p1));
    } else {
      EXPECT_TRUE(connected(p0, p1)) << c.what;
      if (q) {
        EXPECT_EQ(q->neighbour_count, 0);
      }
    }
    EXPECT_EQ(markers(p0), (std::vector<int>{4, 3, 4, 3})) << c.what;
    EXPECT_EQ(markers(p1), (std::vector<int>{3, 4, 3, 4})) << c.what;
    expect_one_curve_branch(sp.A->curve, sp.B->curve, 0, 3);
  }
}

// Two edge points on two different branches: the curves meet at both ends but part
// between them.  The coincidence test must refuse, and nothing is connected.
TEST(SubdivConnect, EdgePointsOnTwoBranchesAreNotJoined) {
  struct Case {
    const char* what;
    CurveHandle (*make)();
  };
  const Case cases[] = {
      {"crossing at both ends", [] { return curve_from({0, 0, 0.3, 0.3, 0.7, 0.3, 1, 0}, 4, 2); }},
      // Tangent to the line at both ends, 0.003 away in the middle.
      {"touching at both ends",
       [] { return poly_curve({{0, 1}, {0, 0, 0.05, -0.1, 0.05}}, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}, 5); }},
  };
  for (const Case& c : cases) {
    SubProblem sp(wrap(c.make()), wrap(line({0, 0}, {1, 0})));
    isect_point* p0 = sp.add({0, 0});
    isect_point* p1 = sp.add({1, 1});
    sp.prepare();
    EXPECT_EQ(sp.connect(), 0) << c.what;
    EXPECT_FALSE(connected(p0, p1)) << c.what;
    EXPECT_EQ(sp.connections(), 0) << c.what;
    // The oracle: the middle of the first curve is farther than the tolerance from the
    // second, so the two points are two separate intersections.
    EXPECT_GT(distance_to_curve(eval_curve(sp.A->curve, 0.5), sp.B->curve), kEps) << c.what;
  }
}

// Two nearly straight curves: with one edge point nothing more is there; with three
// the points are joined in their order along the first curve.
TEST(SubdivConnect, NearlyStraightCurvesSettleByTheirEdgePoints) {
  {
    SubProblem sp(wrap(line({0, 0}, {1, 0})), wrap(line({0, 0}, {1, 0.5})));
    sp.add({0, 0});
    sp.prepare();
    EXPECT_EQ(sp.connect(), 2);
    EXPECT_EQ(sp.connections(), 0);
    double closest = 0;
    const auto a = sample_curve(sp.A->curve, 2000);
    auto b = sample_curve(sp.B->curve, 2000);
    b.erase(b.begin(), b.begin() + 10);  // away from the common end point
    inner_contacts(a, b, kEps, &closest);
    EXPECT_GT(closest, kEps);
  }
  {
    // Two overlapping segments on one line (within the tolerance); the overlap's start
    // is found twice, once on each curve's start edge.
    SubProblem sp(wrap(curve_from({0, 0, 1, 0, 2, 0}, 2, 2)),
                  wrap(curve_from({0, 0.0003, 1, 0.0003, 2, 0.0003}, 2, 2)));
    isect_point* a_start = sp.add({0, 0.0002});
    isect_point* ends = sp.add({2, 2});
    isect_point* b_start = sp.add({0.0002, 0});
    sp.prepare();
    EXPECT_EQ(sp.connect(), 1);
    EXPECT_TRUE(connected(a_start, b_start));
    EXPECT_TRUE(connected(b_start, ends));
    EXPECT_FALSE(connected(a_start, ends));
    expect_one_curve_branch(sp.A->curve, sp.B->curve, 0, 2);
  }
}

// Two curves meeting at one edge point at the ends of both, with a help point at their
// other ends: they run along each other and the pair is settled.
TEST(SubdivConnect, HelpPointAtTheOtherEndsSettlesACurvePair) {
  const std::vector<double> arc = {0, 0, 0.3, 0.4, 0.7, 0.6, 1.2, 0.6};
  std::vector<double> moved = arc;
  for (size_t i = 1; i < moved.size(); i += 2) moved[i] += 0.0003;
  SubProblem sp(wrap(curve_from(arc, 4, 2)), wrap(curve_from(moved, 4, 2)));
  isect_point* p = sp.add({0, 0});
  isect_point* help = sp.add({1, 1}, -1);
  sp.link(p, help);
  sp.prepare();
  EXPECT_EQ(sp.connect(), 2);
  expect_one_curve_branch(sp.A->curve, sp.B->curve, 0, 1);
}

// Two arms leaving one point: the first curve ends there, the second starts there.  In
// the first fixture they cross a second time; a separating line from their tangents
// there must not hide that crossing.  In the second they both start at the point and
// keep apart.
TEST(SubdivConnect, ArmsFromOneEdgePointAreSettledOnlyWhenTheyKeepApart) {
  {
    SubProblem sp(wrap(curve_from({1, 0.3, 0.7, 0.1, 0.3, -0.06, 0, 0}, 4, 2)),
                  wrap(curve_from({0, 0, 0.3, 0.06, 0.7, -0.1, 1, -0.3}, 4, 2)));
    sp.add({1, 0});
    sp.prepare();
    double closest = 0;
    const auto a = sample_curve(sp.A->curve, 3000);
    auto b = sample_curve(sp.B->curve, 3000);
    b.erase(b.begin(), b.begin() + 300);  // away from the common point
    inner_contacts(a, b, kEps, &closest);
    ASSERT_LT(closest, kEps) << "the fixture crosses a second time";
    EXPECT_EQ(sp.connect(), 0);
  }
  {
    SubProblem sp(wrap(curve_from({0, 0, 0.3, -0.06, 0.7, -0.1, 1, -0.3}, 4, 2)),
                  wrap(curve_from({0, 0, 0.3, 0.06, 0.7, 0.1, 1, 0.3}, 4, 2)));
    sp.add({0, 0});
    sp.prepare();
    EXPECT_EQ(sp.connect(), 2);
    const auto a = sample_curve(sp.A->curve, 3000);
    for (const Sample& s : sample_curve(sp.B->curve, 500)) {
      if (std::hypot(s.pos[0], s.pos[1]) < 10 * kEps) continue;
      EXPECT_GT(distance_to(s.pos, a), kEps);
    }
  }
}

// A rational quadratic arc of radius r about the origin from angle -a/2 to a/2 in the
// plane z = 0, turned about the x axis by tilt.
CurveHandle arc(double r, double a, double tilt) {
  const double h = a / 2, w = std::cos(h);
  const double pts[3][2] = {{r * std::cos(h), -r * std::sin(h)}, {r / w, 0}, {r * std::cos(h), r * std::sin(h)}};
  std::vector<double> v;
  for (int i = 0; i < 3; ++i) {
    const double wi = i == 1 ? w : 1.0;
    const double y = pts[i][1] * std::cos(tilt), z = pts[i][1] * std::sin(tilt);
    v.insert(v.end(), {wi * pts[i][0], wi * y, wi * z, wi});
  }
  return curve({0, 0, 0, 1, 1, 1}, 3, v, 2, 3);
}

// Two long, nearly straight arcs on concentric circles 3 tolerances apart bend more
// than their distance: no line between them separates them, the sphere between them
// does.  The same arcs crossing each other are not settled, at either level.
TEST(SubdivConnect, SphereBetweenNearlyStraightArcsSettlesThem) {
  struct Case {
    const char* what;
    double outer_tilt;
    int want;
  };
  const Case cases[] = {{"concentric", 0.0, 2}, {"crossing", 0.01, 0}};
  const int saved = isect_recursion_level;
  for (const Case& c : cases)
    for (int level : {0, 1}) {
      SubProblem sp(wrap(arc(100, 0.018, 0)), wrap(arc(100 + (c.want == 2 ? 3 * kEps : 0), 0.018, c.outer_tilt)));
      sp.prepare();
      isect_recursion_level = level;
      const int st = sp.connect();
      isect_recursion_level = saved;
      EXPECT_EQ(st, c.want) << c.what << " level " << level;
      double closest = 0;
      inner_contacts(sample_curve(sp.A->curve, 3000), sample_curve(sp.B->curve, 3000), kEps,
                     &closest);
      EXPECT_EQ(closest > kEps, c.want == 2) << c.what;
    }
}

// More than two edge points of two curves: settled when they already form one chain.
TEST(SubdivConnect, ChainOfAllEdgePointsSettlesTheCurves) {
  const std::vector<double> arc = {0, 0, 0.3, 0.4, 0.7, 0.6, 1.2, 0.6, 1.6, 0.3};
  std::vector<double> moved = arc;
  for (size_t i = 1; i < moved.size(); i += 2) moved[i] += 0.0003;
  SubProblem sp(wrap(curve_from(arc, 3, 2)), wrap(curve_from(moved, 3, 2)));
  isect_point* p0 = sp.add({0, 0});
  isect_point* p1 = sp.add({3, 3});
  isect_point* mid = sp.add({0, 0.0001});
  sp.link(p0, mid);
  sp.link(mid, p1);
  sp.prepare();
  EXPECT_EQ(sp.connect(), 1);
  EXPECT_EQ(sp.connections(), 2);
  expect_one_curve_branch(sp.A->curve, sp.B->curve, 0, 3);
}

// ---------------------------------------------------------------------------
// Surfaces

SurfaceHandle plane_patch(double z, int n) {
  std::vector<double> v;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) v.insert(v.end(), {i / (n - 1.0), j / (n - 1.0), z});
  return surface_from(v, n, n, 3, 3, 3);
}

// The unit square of z = 0 with x = u / 3 and y = v / 3.
SurfaceHandle linear_patch() {
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) v.insert(v.end(), {i / 3.0, j / 3.0, 0.0});
  return surface_from(v, 4, 4, 2, 2, 3);
}

// Two patches folded along a common edge meet only along it: the two edge points are
// connected along the edge, and the special-case tests settle the pair.
TEST(SubdivConnectSurfaces, FoldAlongACommonEdgeIsSettled) {
  // A: the unit square in z = 0; B starts at A's edge x = 1 and rises at 30 degrees.
  // Both are nets of 3 x 3 vertices of order 2 over [0, 2]^2.
  const double c = std::cos(0.5236), s = std::sin(0.5236);
  std::vector<double> va, vb;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) {
      va.insert(va.end(), {i / 2.0, j / 2.0, 0.0});
      vb.insert(vb.end(), {1 + c * i / 2.0, j / 2.0, s * i / 2.0});
    }
  SubProblem sp(wrap(surface_from(va, 3, 3, 2, 2, 3)), wrap(surface_from(vb, 3, 3, 2, 2, 3)));
  isect_point* p0 = sp.add({2, 0, 0, 0});
  isect_point* p1 = sp.add({2, 2, 0, 2});
  sp.link(p0, p1);
  int st = 0;
  sh6setcnsdir(p0, p1, 0, &st);
  sh6setcnsdir(p0, p1, 2, &st);
  sp.prepare();
  int common = -1;
  sh6comedg(sp.A.get(), sp.B.get(), p0, p1, &common);
  EXPECT_EQ(common, 3);
  EXPECT_EQ(sp.connect(), 2);
  EXPECT_TRUE(connected(p0, p1));
  // The oracle: samples of the two patches come within the tolerance only near the
  // common edge.
  const auto a = sample_surface(sp.A->surface, 60);
  const auto b = sample_surface(sp.B->surface, 60);
  for (const Sample& x : a)
    for (const Sample& y : b)
      if (distance(x.pos, y.pos) <= kEps) {
        EXPECT_GT(x.pos[0], 1 - 2 * kEps);
      }
}

// Two patches crossing along one line through two edge points: the connection step
// leaves them to the Newton settling and the subdivision, and joins nothing itself.
TEST(SubdivConnectSurfaces, CrossingPatchesAreLeftToTheSubdivision) {
  SubProblem sp(wrap(plane_patch(0.0, 4)),
                wrap(surface_from({0.5, 0, -0.5, 0.5, 0, 0.5, 0.5, 1, -0.5, 0.5, 1, 0.5}, 2, 2,
                                  2, 2, 3)));
  // The line x = 0.5 of the first patch (u = 1), z = 0 on the second (s = 0.5).
  sp.add({1, 0, 0.5, 0});
  sp.add({1, 2, 0.5, 1});
  sp.prepare();
  EXPECT_EQ(sp.connect(), 0);
  EXPECT_EQ(sp.connections(), 0);
}

// A closed chain of edge points on two coinciding patches: settled as coincident; the
// same chain on patches twice the tolerance apart is not.
TEST(SubdivConnectSurfaces, ClosedChainOnCoincidingPatches) {
  struct Case {
    double gap;
    int want;
  };
  const Case cases[] = {{0.0, 1}, {0.3 * kEps, 1}, {2 * kEps, 0}};
  for (const Case& c : cases) {
    SubProblem sp(wrap(plane_patch(0.0, 4)), wrap(plane_patch(c.gap, 4)));
    isect_point* q[4] = {sp.add({0, 0, 0, 0}), sp.add({2, 0, 2, 0}), sp.add({2, 2, 2, 2}),
                         sp.add({0, 2, 0, 2})};
    for (int i = 0; i < 4; ++i) sp.link(q[i], q[(i + 1) % 4]);
    sp.prepare();
    EXPECT_EQ(sp.connect(), c.want) << c.gap;
    EXPECT_EQ(sp.connections(), 4);
    int direct = 0;
    surface_coincidence_test(sp.A.get(), sp.B.get(), kEps, 0, nullptr, &direct);
    EXPECT_EQ(direct, c.want);
  }
}

// The level of the subdivision decides which patch gives the frames: the trapezoid's
// slanted side separates a small square beside it, the square's own frames do not.
TEST(SubdivConnectSurfaces, LevelParityChoosesWhichPatchGivesTheFrames) {
  std::vector<double> trap;
  const double corners[4][2] = {{0, 0}, {4, 0}, {3, 3}, {0, 4}};
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) {
      const double s = i / 4.0, t = j / 4.0;
      for (int k = 0; k < 2; ++k)
        trap.push_back((1 - s) * (1 - t) * corners[0][k] + s * (1 - t) * corners[1][k] +
                       s * t * corners[2][k] + (1 - s) * t * corners[3][k]);
      trap.push_back(0.0);
    }
  std::vector<double> square;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) square.insert(square.end(), {3.75 + 0.1 * i, 0.9 + 0.1 * j, 0});
  const int saved = isect_recursion_level;
  for (int level : {0, 1, 2, 3}) {
    SubProblem sp(wrap(surface_from(trap, 5, 5, 4, 4, 3)),
                  wrap(surface_from(square, 3, 3, 3, 3, 3)));
    sp.prepare();
    isect_recursion_level = level;
    const int st = sp.connect();
    isect_recursion_level = saved;
    EXPECT_EQ(st, level % 2 == 0 ? 2 : 0) << "level " << level;
  }
  // The oracle for the settled answer: the patches are apart.
  auto a = surface_from(trap, 5, 5, 4, 4, 3);
  auto b = surface_from(square, 3, 3, 3, 3, 3);
  double closest = 0;
  inner_contacts(sample_surface(a.get(), 80), sample_surface(b.get(), 10), kEps, &closest);
  EXPECT_GT(closest, 10 * kEps);
}

// The connection never connects points of two separate branches of a curve and a
// surface: a curve lying in a plane between two edge points is joined, a curve that
// leaves the plane between them is not.
TEST(SubdivConnectSurfaces, CurveInASurfaceIsJoinedBetweenItsEdgePoints) {
  struct Case {
    const char* what;
    double bulge;
    int want;
  };
  const Case cases[] = {{"lying in the plane", 0.0, 1}, {"leaving the plane", 0.05, 0}};
  for (const Case& c : cases) {
    SubProblem sp(wrap(curve_from({0.1, 0.2, 0, 0.4, 0.5, c.bulge, 0.6, 0.3, c.bulge, 0.9, 0.7, 0},
                                  4, 3)),
                  wrap(linear_patch()));
    // Parameters: t on the curve, then (u, v) = 3 (x, y) on the patch.
    isect_point* p0 = sp.add({0, 0.3, 0.6});
    isect_point* p1 = sp.add({1, 2.7, 2.1});
    sp.prepare();
    // Neither point lies on an edge of the patch: give them to the tables as edge
    // points of the curve.
    ASSERT_EQ(sp.table_points(), 2);
    EXPECT_EQ(sp.connect(), c.want) << c.what;
    EXPECT_EQ(connected(p0, p1), c.want == 1) << c.what;
    // The oracle: the largest distance of the curve from the plane z = 0.
    double far = 0;
    for (const Sample& s : sample_curve(sp.A->curve, 500)) far = std::fmax(far, std::fabs(s.pos[2]));
    EXPECT_EQ(far <= kEps, c.want == 1) << c.what;
    if (c.want == 1) {
      EXPECT_EQ(markers(p0), (std::vector<int>{4, 3, 0, 0}));
      EXPECT_EQ(markers(p1), (std::vector<int>{3, 4, 0, 0}));
    }
  }
}

// A straight segment lying in a plane between two edge points: the pair is flat and
// the points are joined without a coincidence march.
TEST(SubdivConnectSurfaces, SegmentInAPlaneIsJoinedAsAFlatPair) {
  SubProblem sp(wrap(line({0.1, 0.2, 0}, {0.9, 0.5, 0})), wrap(linear_patch()));
  isect_point* p0 = sp.add({0, 0.3, 0.6});
  isect_point* p1 = sp.add({1, 2.7, 1.5});
  sp.prepare();
  EXPECT_EQ(sp.connect(), 1);
  EXPECT_TRUE(connected(p0, p1));
  EXPECT_EQ(markers(p0), (std::vector<int>{4, 3, 0, 0}));
  EXPECT_EQ(markers(p1), (std::vector<int>{3, 4, 0, 0}));
  for (const Sample& s : sample_curve(sp.A->curve, 200)) EXPECT_LE(std::fabs(s.pos[2]), kEps);
}

// A plane surface that folds its parameter plane onto a line, S(u, v) = (u + 2v, 0.5):
// every parameter pair with u + 2v = 1 lands on the point (1, 0.5).  Two edge points of
// that stretch are joined; a point the surface passes only once is settled by the frame
// of the fold.
TEST(SubdivConnectSurfaces, PointKeptByAFoldedPlaneSurface) {
  const std::vector<double> fold = {0, 0.5, 1, 0.5, 2, 0.5, 3, 0.5};
  {
    SubProblem sp(wrap(point({1, 0.5})), wrap(surface_from(fold, 2, 2, 2, 2, 2)));
    isect_point* p0 = sp.add({0, 0.5});
    isect_point* p1 = sp.add({1, 0});
    sp.prepare();
    EXPECT_EQ(sp.connect(), 1);
    EXPECT_TRUE(connected(p0, p1));
    for (int i = 0; i <= 100; ++i) {
      const double u = i / 100.0;
      EXPECT_LE(distance(eval_surface(sp.B->surface, u, (1 - u) / 2), {1, 0.5}), kEps);
    }
  }
  {
    // A point off the folded line: apart in the frame of the fold.
    SubProblem sp(wrap(point({1, 0.6})), wrap(surface_from(fold, 2, 2, 2, 2, 2)));
    sp.prepare();
    EXPECT_EQ(sp.connect(), 2);
  }
}

}  // namespace
