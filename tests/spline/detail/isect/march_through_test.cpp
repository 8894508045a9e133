// Marching through one intersection point (two surfaces, and a level of a scalar
// surface), checked against closed forms: closed circles, straight pieces from
// boundary to boundary, pieces that cannot be marched.
#include "spline/handles.h"
#include "spline/detail/isect/march_through.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "spline/detail/isect/chain_examine.h"
#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/march.h"
#include "tests/spline/detail/isect/isect_fixture.h"
#include "tests/spline/detail/isect/march_through_testutil.h"

namespace {

using namespace march_through_test;

// The sphere of radius 2 about the origin cut by the plane y = 0.5: the circle of radius
// sqrt(3.75) in that plane, away from the sphere's seam and poles.
TEST(S1788, SphereAgainstPlaneFromOnePointIsAClosedPiece) {
  const double c[3] = {0, 0, 0};
  auto sph = sphere(c, 2.0);
  auto pl = patch({-3, 0.5, -3}, {3, 0.5, -3}, {-3, 0.5, 3}, {3, 0.5, 3});
  const double r = std::sqrt(3.75);
  for (double phi : {0.4, 2.5, 4.0}) {
    SCOPED_TRACE(phi);
    const std::vector<double> p = {r * std::cos(phi), 0.5, r * std::sin(phi)};
    const auto a = params_of(sph.get(), p), b = params_of(pl.get(), p);
    const double given[4] = {a[0], a[1], b[0], b[1]};
    double start[4], end[4];
    int st = -1;
    s1788(sph.get(), pl.get(), 0.001, given, start, end, &st);
    // Closed: listed from the given point when it is the piece's start (16), else from
    // the given point and the start the marcher settled on (27).
    ASSERT_TRUE(st == 16 || st == 27) << st;
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(start[j], given[j], 1e-12);
    // The piece's start lies on the circle, on both surfaces.
    const auto q1 = eval_surface(sph.get(), end[0], end[1]);
    const auto q2 = eval_surface(pl.get(), end[2], end[3]);
    EXPECT_LT(dist(q1, q2), 1e-6);
    EXPECT_NEAR(std::hypot(q1[0], q1[1], q1[2]), 2.0, 1e-6);
    EXPECT_NEAR(q1[1], 0.5, 1e-6);
  }
}

// The plane x = 0.6 over y in [-2, 2], z in [-1, 1] cuts the cylinder of radius 1 about
// the z axis (z from -2 to 2) in two straight lines y = +-0.8 running from the plane's
// lower edge (z = -1, second parameter 0) to its upper edge (z = 1, parameter 1).
TEST(S1788, PlaneAcrossCylinderFromInsideAndFromAnEnd) {
  auto pl = plane_x(0.6, -2, 2, -1, 1);
  auto cyl = cylinder_z(1.0, -2, 2);
  for (double y : {0.8, -0.8}) {
    SCOPED_TRACE(y);
    const double s = (y + 2) / 4;  // first parameter of the plane on the line
    // From an inner point: forward, both ends on the plane's edges.
    const auto cp = params_of(cyl.get(), {0.6, y, 0.3});
    const double inner[4] = {s, 0.65, cp[0], cp[1]};
    double start[4], end[4];
    int st = -1;
    s1788(pl.get(), cyl.get(), 0.001, inner, start, end, &st);
    ASSERT_EQ(st, 21);
    EXPECT_NEAR(start[0], s, 1e-9);
    EXPECT_NEAR(end[0], s, 1e-9);
    EXPECT_EQ(std::fmin(start[1], end[1]), 0.0);
    EXPECT_EQ(std::fmax(start[1], end[1]), 1.0);
    for (const double* e : {start, end}) {
      const auto q = eval_surface(cyl.get(), e[2], e[3]);
      EXPECT_NEAR(q[0], 0.6, 1e-9);
      EXPECT_NEAR(q[1], y, 1e-9);
    }
    // From the end on the lower edge: listed from that end, the other end on the upper
    // edge.
    const auto cl = params_of(cyl.get(), {0.6, y, -1.0});
    const double edge[4] = {s, 0.0, cl[0], cl[1]};
    s1788(pl.get(), cyl.get(), 0.001, edge, start, end, &st);
    ASSERT_TRUE(st == 11 || st == 21) << st;
    EXPECT_NEAR(start[1], 0.0, 1e-12);
    EXPECT_EQ(end[1], 1.0);
    EXPECT_NEAR(end[0], s, 1e-9);
  }
}

// A straight intersection marched from a point on one edge of the domain: the first
// step crosses the whole domain and the opposite edge, and is cut back onto that edge
// (the piece runs from edge to edge instead of being lost).
TEST(S1310, FirstStepAcrossTheWholeDomainIsClipped) {
  auto pl = plane_x(0.6, -2, 2, -1, 1);
  auto cyl = cylinder_z(1.0, -2, 2);
  for (double z : {-1.0, 1.0}) {
    SCOPED_TRACE(z);
    const auto cp = params_of(cyl.get(), {0.6, 0.8, z});
    double* a = static_cast<double*>(std::malloc(2 * sizeof(double)));
    double* b = static_cast<double*>(std::malloc(2 * sizeof(double)));
    a[0] = 0.7, a[1] = (z + 1) / 2, b[0] = cp[0], b[1] = cp[1];
    IsectCurveHandle ic(
        create_isect_curve(1, 2, 2, a, b, 0));
    int st = -1;
    s1310(pl.get(), cyl.get(), ic.get(), 1e-6, 0.0, 2, 0, &st);
    ASSERT_EQ(st, 0);
    ASSERT_NE(ic->pcurve1, nullptr);
    const spline_curve* pc = ic->pcurve1;
    const int n = pc->vertex_count;
    EXPECT_EQ(std::fmin(pc->coefs[1], pc->coefs[2 * n - 1]), 0.0);
    EXPECT_EQ(std::fmax(pc->coefs[1], pc->coefs[2 * n - 1]), 1.0);
    const double t0 = ic->geometry->knots[3], t1 = ic->geometry->knots[ic->geometry->vertex_count];
    for (int i = 0; i <= 20; ++i) {
      const auto q = eval_curve(ic->geometry, t0 + (t1 - t0) * i / 20);
      EXPECT_NEAR(q[0], 0.6, 1e-9);
      EXPECT_NEAR(q[1], 0.8, 1e-9);
      EXPECT_LE(std::fabs(q[2]), 1.0 + 1e-12);
    }
  }
}

// The plane z = x / 2 cuts the cylinder of radius 1 about the z axis in the ellipse
// (cos t, sin t, cos t / 2).  On the periodic cylinder it runs from the seam (1, 0, 0.5)
// round to the seam: from an inner point both ends lie on the parameter boundary.
TEST(S1788, EllipseOfACylinderRunsSeamToSeam) {
  auto cyl = cylinder_z(1.0, -2, 2);
  auto tilted = patch({-2, -2, -1}, {2, -2, 1}, {-2, 2, -1}, {2, 2, 1});
  const std::vector<double> p = {std::cos(2.0), std::sin(2.0), 0.5 * std::cos(2.0)};
  const auto a = params_of(cyl.get(), p), b = params_of(tilted.get(), p);
  const double given[4] = {a[0], a[1], b[0], b[1]};
  double start[4], end[4];
  int st = -1;
  s1788(cyl.get(), tilted.get(), 0.001, given, start, end, &st);
  ASSERT_EQ(st, 21);
  EXPECT_EQ(std::fmin(start[0], end[0]), 0.0);
  EXPECT_EQ(std::fmax(start[0], end[0]), 4.0);
  for (const double* e : {start, end}) {
    EXPECT_LT(dist(eval_surface(cyl.get(), e[0], e[1]), {1, 0, 0.5}), 1e-9);
    EXPECT_LT(dist(eval_surface(tilted.get(), e[2], e[3]), {1, 0, 0.5}), 1e-9);
  }
}

TEST(S1788, WrongDimensionIsReported) {
  auto f = poly_surface_1d({{0, 1}, {1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  auto pl = plane_z(0.0, -1, 1, -1, 1);
  const double p[4] = {0.5, 0.5, 0.5, 0.5};
  double start[4], end[4];
  isect_test::ReportLog log;
  int st = 0;
  s1788(f.get(), pl.get(), 0.001, p, start, end, &st);
  EXPECT_EQ(st, -105);
  EXPECT_TRUE(log.named("s1788"));
}

// Level curves of scalar surfaces over [0, 1]^2, each with its closed form.
struct LevelCase {
  const char* name;
  std::vector<std::vector<double>> poly;  // sum poly[p][q] u^p v^q
  double level;
  double point[2];
  int status;
  // Expected ends (start, end); unused for the closed pieces.
  double start[2], end[2];
};

TEST(S1787, LevelCurvesAgainstTheirClosedForms) {
  const LevelCase cases[] = {
      // (u - 0.5)^2 + (v - 0.5)^2 = 0.04: a circle inside the square.
      {"circle", {{0.5, -1, 1}, {-1}, {1}}, 0.04, {0.7, 0.5}, 16, {}, {}},
      // u + v = 0.5 from an inner point: the segment from (0, 0.5) to (0.5, 0) (either
      // order), both ends on the boundary.
      {"line inner", {{0, 1}, {1}}, 0.5, {0.25, 0.25}, 21, {}, {}},
      // The same given at its end on v = 0: listed from that end.
      {"line end", {{0, 1}, {1}}, 0.5, {0.5, 0.0}, 11, {0.5, 0.0}, {0.0, 0.5}},
      // The line u + v = 0 meets the square only at the corner: no piece.
      {"corner", {{0, 1}, {1}}, 0.0, {0.0, 0.0}, 0, {0.0, 0.0}, {0.0, 0.0}},
      // The top of -(u - 0.5)^2 - (v - 0.5)^2: a singular point, no piece.
      {"top", {{-0.5, 1, -1}, {1}, {-1}}, 0.0, {0.5, 0.5}, 0, {0.5, 0.5}, {0.5, 0.5}},
  };
  for (const LevelCase& k : cases) {
    SCOPED_TRACE(k.name);
    auto f = poly_surface_1d(k.poly, {0, 0, 0, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, 3, 3);
    double start[2] = {-1, -1}, end[2] = {-1, -1};
    int st = -1;
    s1787(f.get(), k.level, 0.001, k.point, start, end, &st);
    ASSERT_EQ(st, k.status);
    if (k.status == 16) {
      // Closed and given at its start: both ends are that start.
      EXPECT_NEAR(start[0], k.point[0], 1e-12);
      EXPECT_NEAR(start[1], k.point[1], 1e-12);
      EXPECT_EQ(start[0], end[0]);
      EXPECT_EQ(start[1], end[1]);
    } else if (k.status == 21) {
      EXPECT_NEAR(std::fmin(start[0], end[0]), 0.0, 1e-12);
      EXPECT_NEAR(std::fmax(start[0], end[0]), 0.5, 1e-9);
      EXPECT_NEAR(start[0] + start[1], 0.5, 1e-9);
      EXPECT_NEAR(end[0] + end[1], 0.5, 1e-9);
    } else {
      for (int j = 0; j < 2; ++j) {
        EXPECT_NEAR(start[j], k.start[j], 1e-9) << j;
        EXPECT_NEAR(end[j], k.end[j], 1e-9) << j;
      }
    }
  }
}

// The corner case above is the marcher's "no piece" answer: -185 from s1313 itself.
TEST(S1787, MarcherWithoutPieceIsNoCurveNotAnError) {
  auto f = poly_surface_1d({{0, 1}, {1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  isect_test::ReportLog log;
  const double p[2] = {0.0, 0.0};
  double start[2], end[2];
  int st = -1;
  s1787(f.get(), 0.0, 0.001, p, start, end, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(start[0], 0.0);
  EXPECT_EQ(end[1], 0.0);
  EXPECT_EQ(log.count(), 0);
  // A constant surface has no level curve: 0 as well, without marching.
  auto flat = poly_surface_1d({{0.25}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  const double q[2] = {0.3, 0.6};
  s1787(flat.get(), 0.25, 0.001, q, start, end, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(start[0], 0.3);
  EXPECT_EQ(end[1], 0.6);
  // A surface of dimension 3 is refused.
  auto pl = plane_z(0.0, -1, 1, -1, 1);
  s1787(pl.get(), 0.0, 0.001, q, start, end, &st);
  EXPECT_EQ(st, -105);
  EXPECT_TRUE(log.named("s1787"));
}

// A rational scalar surface: the level curve is the surface's own, not that of its
// unweighted coefficients.  f is bilinear in homogeneous form with weights 1, 3, 3, 1
// and values 0, 1, 1, 2 at the corners.
TEST(S1787, RationalSurfaceKeepsItsWeights) {
  const double w[4] = {1, 3, 3, 1}, val[4] = {0, 1, 1, 2};
  std::vector<double> hom;
  for (int i = 0; i < 4; ++i) hom.insert(hom.end(), {w[i] * val[i], w[i]});
  auto f = surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, hom, 2, 1);
  // On the lower edge v = 0, f(u, 0) = 3u / (1 + 2u), so f = 0.6 at u = 0.6 / 1.8; by
  // symmetry the level curve ends at the same v on the edge u = 0.
  const double edge = 0.6 / 1.8;
  const double p[2] = {edge, 0.0};
  double start[2], end[2];
  int st = -1;
  s1787(f.get(), 0.6, 0.001, p, start, end, &st);
  ASSERT_EQ(st, 11);
  EXPECT_NEAR(start[0], edge, 1e-9);
  EXPECT_NEAR(start[1], 0.0, 1e-12);
  EXPECT_NEAR(end[0], 0.0, 1e-12);
  EXPECT_NEAR(end[1], edge, 1e-9);
  EXPECT_NEAR(value_at(f.get(), end[0], end[1]), 0.6, 1e-9);
}

}  // namespace

// ---- The examination passes of the chained lists, now classifying by marching.

namespace {

struct ChainData {
  isect_data* data = nullptr;
  ~ChainData() { destroy_isect_data(data); }
  isect_point* add(std::vector<double> p) {
    isect_point* q = create_isect_point(static_cast<int>(p.size()), p.data(), 0.0);
    q->kind = kOrdinaryPoint;
    int st = 0;
    s6idnpt(&data, &q, 1, &st);
    return q;
  }
  // Chains the points in order and builds the lists.
  void chain(const std::vector<isect_point*>& pts) {
    int st = 0;
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
      isect_point* a = pts[i];
      isect_point* b = pts[i + 1];
      s6idcon(&data, &a, &b, &st);
    }
    s6idlis(nullptr, nullptr, &data, &st);
  }
};

// An open list of three points on the circle (u - 0.5)^2 + (v - 0.5)^2 = 0.04: the march
// through its first point closes, so the list becomes the loop of that point alone.
TEST(ChainExamineMarching, LevelCircleListBecomesALoop) {
  auto f = poly_surface_1d({{0.5, -1, 1}, {-1}, {1}}, {0, 0, 0, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, 3,
                           3);
  ChainData d;
  std::vector<isect_point*> pts;
  for (double a : {0.3, 0.8, 1.3})
    pts.push_back(d.add({0.5 + 0.2 * std::cos(a), 0.5 + 0.2 * std::sin(a)}));
  d.chain(pts);
  ASSERT_EQ(d.data->list_count, 1);
  isect_test::ReportLog log;
  int st = -1;
  s6idlis_s9psexamin(f.get(), 0.04, &d.data, &st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(log.count(), 0);
  ASSERT_NE(d.data, nullptr);
  ASSERT_EQ(d.data->list_count, 1);
  const isect_list* l = d.data->lists[0];
  EXPECT_EQ(l->list_type, 1);
  EXPECT_EQ(l->point_count, 1);
  EXPECT_EQ(l->first, l->last);
  EXPECT_EQ(l->first->link, l->first);
  EXPECT_NEAR(l->first->params[0], 0.5 + 0.2 * std::cos(0.3), 1e-15);
}

// An open list on the line u + v = 0.5 is reduced to its first point and extended to the
// line's two ends on the boundary: a three-point list of type 4.
TEST(ChainExamineMarching, LevelLineListReachesTheBoundary) {
  auto f = poly_surface_1d({{0, 1}, {1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  ChainData d;
  d.chain({d.add({0.1, 0.4}), d.add({0.2, 0.3}), d.add({0.3, 0.2})});
  int st = -1;
  s6idlis_s9psexamin(f.get(), 0.5, &d.data, &st);
  ASSERT_EQ(st, 0);
  ASSERT_NE(d.data, nullptr);
  ASSERT_EQ(d.data->list_count, 1);
  const isect_list* l = d.data->lists[0];
  EXPECT_EQ(l->list_type, 4);
  EXPECT_EQ(l->point_count, 3);
  EXPECT_EQ(d.data->point_count, 3);
  ASSERT_NE(l->first->link, nullptr);
  EXPECT_EQ(l->first->link->params[0], 0.1);
  EXPECT_EQ(l->first->link->link, l->last);
  const double lo = std::fmin(l->first->params[0], l->last->params[0]);
  const double hi = std::fmax(l->first->params[0], l->last->params[0]);
  EXPECT_NEAR(lo, 0.0, 1e-12);
  EXPECT_NEAR(hi, 0.5, 1e-9);
  EXPECT_NEAR(l->first->params[0] + l->first->params[1], 0.5, 1e-9);
  EXPECT_NEAR(l->last->params[0] + l->last->params[1], 0.5, 1e-9);
}

// Two surfaces: an open list on the circle of the sphere and the plane y = 0.5 becomes a
// loop; one on a line of the plane x = 0.6 and the cylinder reaches the plane's edges.
TEST(ChainExamineMarching, SurfaceListsAreClassified) {
  const double c[3] = {0, 0, 0};
  auto sph = sphere(c, 2.0);
  auto py = patch({-3, 0.5, -3}, {3, 0.5, -3}, {-3, 0.5, 3}, {3, 0.5, 3});
  const double r = std::sqrt(3.75);
  {
    ChainData d;
    std::vector<isect_point*> pts;
    for (double a : {0.5, 0.7}) {
      const std::vector<double> p = {r * std::cos(a), 0.5, r * std::sin(a)};
      const auto s = params_of(sph.get(), p), t = params_of(py.get(), p);
      pts.push_back(d.add({s[0], s[1], t[0], t[1]}));
    }
    d.chain(pts);
    int st = -1;
    s6idlis_s9ssexamin(sph.get(), py.get(), &d.data, &st);
    ASSERT_EQ(st, 0);
    ASSERT_NE(d.data, nullptr);
    ASSERT_EQ(d.data->list_count, 1);
    EXPECT_EQ(d.data->lists[0]->list_type, 1);
    EXPECT_EQ(d.data->lists[0]->point_count, 1);
  }
  auto px = plane_x(0.6, -2, 2, -1, 1);
  auto cyl = cylinder_z(1.0, -2, 2);
  ChainData d;
  std::vector<isect_point*> pts;
  for (double z : {-0.2, 0.1}) {
    const auto t = params_of(cyl.get(), {0.6, 0.8, z});
    pts.push_back(d.add({0.7, (z + 1) / 2, t[0], t[1]}));
  }
  d.chain(pts);
  int st = -1;
  s6idlis_s9ssexamin(px.get(), cyl.get(), &d.data, &st);
  ASSERT_EQ(st, 0);
  ASSERT_NE(d.data, nullptr);
  ASSERT_EQ(d.data->list_count, 1);
  const isect_list* l = d.data->lists[0];
  EXPECT_EQ(l->list_type, 4);
  EXPECT_EQ(l->point_count, 3);
  EXPECT_EQ(std::fmin(l->first->params[1], l->last->params[1]), 0.0);
  EXPECT_EQ(std::fmax(l->first->params[1], l->last->params[1]), 1.0);
  for (const isect_point* e : {l->first, l->last}) EXPECT_NEAR(e->params[0], 0.7, 1e-9);
}

}  // namespace

// ---- Pairing edge points by marching.

namespace {

using IntArray = std::unique_ptr<int, decltype(&std::free)>;
using DoubleArray = std::unique_ptr<double, decltype(&std::free)>;

struct Pairing {
  int status = -1;
  int total = 0;
  std::vector<int> links;
  std::vector<double> points;
};

// Runs a marcher's pairing of n edge points of npar parameters and copies its outputs.
template <typename Marcher>
Pairing collect_pairing(int npar, int n, Marcher march) {
  Pairing r;
  double* pts = nullptr;
  int* lnk = nullptr;
  march(&pts, &lnk, &r.total, &r.status);
  DoubleArray hp(pts, std::free);
  IntArray hl(lnk, std::free);
  if (pts) r.points.assign(pts, pts + npar * r.total);
  if (lnk) r.links.assign(lnk, lnk + n);
  return r;
}

Pairing pair_surfaces(const spline_surface* a, const spline_surface* b,
                      const std::vector<double>& params, const std::vector<int>& marks) {
  const int n = static_cast<int>(marks.size());
  return collect_pairing(4, n, [&](double** pts, int** lnk, int* total, int* status) {
    s9surmarch(a, b, params.data(), marks.data(), n, pts, lnk, total, status);
  });
}

Pairing pair_levels(const spline_surface* f, double level, const std::vector<double>& params,
                    const std::vector<int>& marks) {
  const int n = static_cast<int>(marks.size());
  return collect_pairing(2, n, [&](double** pts, int** lnk, int* total, int* status) {
    s9conmarch(f, level, params.data(), marks.data(), n, pts, lnk, total, status);
  });
}

// The plane z = 0.3 over x in [-0.5, 0.5], y in [-3, 3] against the sphere of radius 2:
// the circle of radius rho = sqrt(3.91) crosses the plane patch in two arcs, the upper
// one from (-0.5, Y) to (0.5, Y) and the lower one from (-0.5, -Y) to (0.5, -Y), with
// Y = sqrt(rho^2 - 0.25).  Points carry the patch's parameters, then the sphere's.
class SurfacePairing : public testing::Test {
 protected:
  std::vector<double> at(double x, double y) const {
    const auto s = params_of(sph_.get(), {x, y, 0.3});
    return {x + 0.5, (y + 3) / 6, s[0], s[1]};
  }
  std::vector<double> join(const std::vector<std::vector<double>>& pts) const {
    std::vector<double> out;
    for (const auto& p : pts) out.insert(out.end(), p.begin(), p.end());
    return out;
  }
  const double centre_[3] = {0, 0, 0};
  SurfaceHandle sph_ = sphere(centre_, 2.0);
  SurfaceHandle strip_ = plane_z(0.3, -0.5, 0.5, -3, 3);
  const double y_ = std::sqrt(3.91 - 0.25);
};

TEST_F(SurfacePairing, PointsOnOneBranchArePairedAcrossBranchesNot) {
  // Four points, both arcs: each is paired with the other end of its own arc.
  const auto p = join({at(-0.5, y_), at(-0.5, -y_), at(0.5, y_), at(0.5, -y_)});
  Pairing r = pair_surfaces(strip_.get(), sph_.get(), p, {1, 1, -1, -1});
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(r.total, 4);
  EXPECT_EQ(r.links, (std::vector<int>{3, 4, 1, 2}));
  EXPECT_EQ(r.points, p);  // the points come back as they were; none added
  // Two points on different arcs: the march from the first ends at neither.
  const auto q = join({at(-0.5, y_), at(0.5, -y_)});
  r = pair_surfaces(strip_.get(), sph_.get(), q, {1, -1});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.links, (std::vector<int>{0, 0}));
  // The same with a singular first point.
  r = pair_surfaces(strip_.get(), sph_.get(), q, {2, -1});
  EXPECT_EQ(r.status, 2);
  // An unmarked first point starts no march; the second finds nothing after it.
  r = pair_surfaces(strip_.get(), sph_.get(), join({at(-0.5, y_), at(0.5, y_)}), {0, 1});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.links, (std::vector<int>{0, 0}));
}

// Points found by an iteration lie on the curve only within its accuracy.  The march
// from such a point starts from the curve point next to it (a little off the edge), so
// the piece is listed from its far end; the pairing still takes the end away from the
// point.  Only the points that march are off the curve here: their partners are met
// exactly by the march.
TEST_F(SurfacePairing, MarchFromAPointNearTheCurveFindsItsPartner) {
  auto p0 = at(-0.5, y_), p1 = at(-0.5, -y_);
  p0[2] += 1e-9, p0[3] -= 1e-9;
  p1[2] -= 1e-9, p1[3] += 1e-9;
  const auto p = join({p0, p1, at(0.5, y_), at(0.5, -y_)});
  Pairing r = pair_surfaces(strip_.get(), sph_.get(), p, {1, 1, -1, -1});
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(r.links, (std::vector<int>{3, 4, 1, 2}));
}

// The quarter patch x, y in [0.5, 3] of the same plane holds one arc, from (0.5, X) to
// (X, 0.5) with X = Y.
TEST_F(SurfacePairing, OneArcOfTheCircle) {
  auto quarter = plane_z(0.3, 0.5, 3, 0.5, 3);
  auto at_q = [&](double x, double y) {
    const auto s = params_of(sph_.get(), {x, y, 0.3});
    return std::vector<double>{(x - 0.5) / 2.5, (y - 0.5) / 2.5, s[0], s[1]};
  };
  const auto p = join({at_q(0.5, y_), at_q(y_, 0.5)});
  Pairing r = pair_surfaces(quarter.get(), sph_.get(), p, {-1, 1});
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(r.links, (std::vector<int>{2, 1}));
}

// The same ellipse on the strip x in [-0.5, 0.5] of the plane z = x / 2: two arcs, from
// (-0.5, +-S, -0.25) to (0.5, +-S, 0.25) with S = sqrt(0.75).
TEST(EllipsePairing, ArcsOfTheCylinderCutArePairedBySide) {
  auto cyl = cylinder_z(1.0, -2, 2);
  auto strip = patch({-0.5, -2, -0.25}, {0.5, -2, 0.25}, {-0.5, 2, -0.25}, {0.5, 2, 0.25});
  const double sy = std::sqrt(0.75);
  std::vector<double> p;
  for (auto [x, y] : {std::pair{-0.5, sy}, {-0.5, -sy}, {0.5, sy}, {0.5, -sy}}) {
    const auto c = params_of(cyl.get(), {x, y, 0.5 * x});
    p.insert(p.end(), {x + 0.5, (y + 2) / 4, c[0], c[1]});
  }
  Pairing r = pair_surfaces(strip.get(), cyl.get(), p, {1, -1, -1, 1});
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(r.links, (std::vector<int>{3, 4, 1, 2}));
}

// Level curves over [0, 1]^2.  The hyperbola (u - 0.5)^2 - 0.25 (v - 0.5)^2 = 0.01 has
// two branches u = 0.5 +- sqrt(0.01 + 0.25 (v - 0.5)^2), each from v = 0 to v = 1; the
// ellipse (u - 0.5)^2 + 0.25 v^2 = 0.09 one arc from (0.2, 0) to (0.8, 0).
TEST(LevelPairing, BranchesOfAHyperbolaAndAnArc) {
  auto hyp = poly_surface_1d({{0.1875, 0.25, -0.25}, {-1}, {1}}, {0, 0, 0, 1, 1, 1},
                             {0, 0, 0, 1, 1, 1}, 3, 3);
  const double w = std::sqrt(0.0725);
  const std::vector<double> p = {0.5 - w, 0, 0.5 + w, 0, 0.5 - w, 1, 0.5 + w, 1};
  Pairing r = pair_levels(hyp.get(), 0.01, p, {1, 1, -1, -1});
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(r.total, 4);
  EXPECT_EQ(r.links, (std::vector<int>{3, 4, 1, 2}));
  // Ends of different branches are not paired.
  r = pair_levels(hyp.get(), 0.01, {0.5 - w, 0, 0.5 + w, 1}, {1, -1});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.links, (std::vector<int>{0, 0}));

  auto ell = poly_surface_1d({{0.25, 0, 0.25}, {-1}, {1}}, {0, 0, 0, 1, 1, 1},
                             {0, 0, 0, 1, 1, 1}, 3, 3);
  r = pair_levels(ell.get(), 0.09, {0.2, 0, 0.8, 0}, {1, -1});
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(r.links, (std::vector<int>{2, 1}));
}

TEST(LevelPairing, EmptyInputAndRefusedSurface) {
  auto ell = poly_surface_1d({{0.25, 0, 0.25}, {-1}, {1}}, {0, 0, 0, 1, 1, 1},
                             {0, 0, 0, 1, 1, 1}, 3, 3);
  Pairing r = pair_levels(ell.get(), 0.09, {}, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.total, 0);
  // A surface of dimension 3 cannot be marched as a level: the error comes back and
  // no arrays are left to the caller.
  auto pl = plane_z(0.0, -1, 1, -1, 1);
  isect_test::ReportLog log;
  r = pair_levels(pl.get(), 0.0, {0.2, 0, 0.8, 0}, {1, -1});
  EXPECT_EQ(r.status, -105);
  EXPECT_TRUE(r.links.empty());
  EXPECT_TRUE(log.named("s9conmarch"));
}

}  // namespace
