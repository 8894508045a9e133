// The subdivision intersector with surfaces: a point against a bicubic patch, a
// one-dimensional surface against a value, the directions of connections brought up
// from an edge, the choice of cut values, the recursion level on success and failure,
// and a tangent pair that must end within the work budget.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_services.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/subdiv_surface.h"
#include "spline/records.h"
#include "spline/split.h"
#include "spline/surface_eval.h"
#include "tests/spline/detail/isect/isect_fixture.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace {

using newton_test::monomial_blossom;

struct ObjectHolder {
  geom_object* o = nullptr;
  explicit ObjectHolder(geom_object* obj) : o(obj) {}
  ~ObjectHolder() { destroy_geom_object(o); }
  ObjectHolder(const ObjectHolder&) = delete;
  ObjectHolder& operator=(const ObjectHolder&) = delete;
  geom_object* operator->() const { return o; }
  operator geom_object*() const { return o; }
};

struct DataHolder {
  isect_data* d = nullptr;
  ~DataHolder() { destroy_isect_data(d); }
};

// Polynomial surface of dimension dim: coordinate m is sum a[m][p][q] u^p v^q, on the
// given knots and orders (control points by blossoming).
using Poly = std::vector<std::vector<double>>;
geom_object* poly_surface(const std::vector<Poly>& a, std::vector<double> t1,
                          std::vector<double> t2, int k1, int k2) {
  const int n1 = static_cast<int>(t1.size()) - k1;
  const int n2 = static_cast<int>(t2.size()) - k2;
  const int dim = static_cast<int>(a.size());
  std::vector<double> c(n1 * n2 * dim, 0.0);
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i)
      for (int m = 0; m < dim; ++m)
        for (size_t p = 0; p < a[m].size(); ++p)
          for (size_t q = 0; q < a[m][p].size(); ++q)
            c[(j * n1 + i) * dim + m] += a[m][p][q] *
                                         monomial_blossom(static_cast<int>(p), &t1[i + 1], k1 - 1) *
                                         monomial_blossom(static_cast<int>(q), &t2[j + 1], k2 - 1);
  geom_object* o = create_geom_object(kSurfaceObject);
  o->surface = create_surface(n1, n2, k1, k2, t1.data(), t2.data(), c.data(), 1, dim, 1);
  return o;
}

geom_object* point_object(std::vector<double> x) {
  geom_object* o = create_geom_object(kPointObject);
  o->point = create_point(x.data(), static_cast<int>(x.size()), 1);
  return o;
}

// Bicubic height field over [0, 1]^2 with one inner knot per direction:
// (u, v, z(u, v)), z = 0.2 + 0.5 u^2 - 0.3 v^2 + 0.4 u v + 0.1 u^3.
geom_object* bicubic_patch() {
  const std::vector<double> t = {0, 0, 0, 0, 0.5, 1, 1, 1, 1};
  const Poly x = {{0}, {1}};
  const Poly y = {{0, 1}};
  const Poly z = {{0.2, 0, -0.3}, {0, 0.4}, {0.5}, {0.1}};
  return poly_surface({x, y, z}, t, t, 4, 4);
}

double patch_z(double u, double v) {
  return 0.2 + 0.5 * u * u - 0.3 * v * v + 0.4 * u * v + 0.1 * u * u * u;
}

TEST(SubdivSurface, PointAgainstABicubicPatch) {
  const double eps = 1e-3;
  struct Case {
    double u, v;     // foot point on the patch
    double offset;   // distance along the normal, in units of eps
    bool found;
    const char* what;
  } cases[] = {
      {0.3, 0.6, 0.0, true, "interior point"},
      {0.3, 0.6, 0.5, true, "half eps off the patch"},
      {0.3, 0.6, 2.0, false, "2 eps off the patch"},
      {0.3, 0.6, -2.0, false, "2 eps below the patch"},
      {1.0, 0.4, 0.0, true, "on the edge u = 1"},
      {0.7, 0.0, 0.0, true, "on the edge v = 0"},
      {0.0, 0.0, 0.0, true, "at a corner"},
      {1.0, 1.0, 0.0, true, "at the opposite corner"},
  };
  for (const Case& c : cases) {
    ObjectHolder s(bicubic_patch());
    // Unit normal of (u, v, z(u, v)): (-z_u, -z_v, 1) normalised.
    const double zu = c.u + 0.4 * c.v + 0.3 * c.u * c.u;
    const double zv = -0.6 * c.v + 0.4 * c.u;
    const double len = std::sqrt(zu * zu + zv * zv + 1);
    const double d = c.offset * eps / len;
    ObjectHolder p(point_object({c.u - zu * d, c.v - zv * d, patch_z(c.u, c.v) + d}));
    DataHolder data;
    const int level = isect_recursion_level;
    int st = -7;
    sh1761(p, s, eps, &data.d, &st);
    EXPECT_EQ(isect_recursion_level, level) << c.what;
    ASSERT_GE(st, 0) << c.what;
    EXPECT_EQ(st, c.found ? 1 : 0) << c.what;
    if (!c.found) {
      EXPECT_TRUE(data.d == nullptr || data.d->point_count == 0) << c.what;
      continue;
    }
    ASSERT_NE(data.d, nullptr) << c.what;
    // One point, at the foot point on the patch, the closest point to the given one.
    ASSERT_EQ(data.d->point_count, 1) << c.what;
    EXPECT_EQ(isect_test::graph_problem(data.d), "") << c.what;
    bool exact_boundary = false;
    for (int i = 0; i < data.d->point_count; ++i) {
      const isect_point* q = data.d->points[i];
      ASSERT_EQ(q->param_count, 2) << c.what;
      const double pu = q->params[0], pv = q->params[1];
      EXPECT_NEAR(pu, c.u, 1e-8) << c.what;
      EXPECT_NEAR(pv, c.v, 1e-8) << c.what;
      if ((c.u == 0 || c.u == 1) && std::fabs(pu - c.u) < 1e-12) exact_boundary = true;
      if ((c.v == 0 || c.v == 1) && std::fabs(pv - c.v) < 1e-12) exact_boundary = true;
    }
    const bool on_boundary = c.u == 0 || c.u == 1 || c.v == 0 || c.v == 1;
    // A point on an edge is found by the edge's own sub-problem, on the edge itself.
    if (on_boundary) {
      EXPECT_TRUE(exact_boundary) << c.what;
    }
  }
}

// A planar map (u, v) -> (u + 0.2 u v, v + 0.1 u^2) of [0, 1]^2 against points of the
// plane: the preimage of each point, found once.
TEST(SubdivSurface, PlanarMapAgainstPoints) {
  const double eps = 1e-6;
  const std::vector<double> t = {0, 0, 0, 1, 1, 1};
  struct Case {
    double u, v;
  } cases[] = {{0.5, 0.5}, {0.2, 0.9}, {1.0, 0.3}, {0.0, 0.0}};
  for (const Case& c : cases) {
    ObjectHolder map(poly_surface({{{0}, {1, 0.2}}, {{0, 1}, {0}, {0.1}}}, t, t, 3, 3));
    ObjectHolder p(point_object({c.u + 0.2 * c.u * c.v, c.v + 0.1 * c.u * c.u}));
    DataHolder data;
    int st = -7;
    sh1761(map, p, eps, &data.d, &st);
    EXPECT_EQ(st, 1) << c.u << ", " << c.v;
    ASSERT_NE(data.d, nullptr);
    EXPECT_EQ(isect_test::graph_problem(data.d), "");
    ASSERT_EQ(data.d->point_count, 1) << c.u << ", " << c.v;
    // The map at the point found lands within the tolerance of the point.
    const double fu = data.d->points[0]->params[0], fv = data.d->points[0]->params[1];
    EXPECT_LE(std::hypot(fu + 0.2 * fu * fv - p->point->coords[0],
                         fv + 0.1 * fu * fu - p->point->coords[1]),
              eps)
        << c.u << ", " << c.v;
    EXPECT_NEAR(fu, c.u, 1e-5);
    EXPECT_NEAR(fv, c.v, 1e-5);
  }
}

// Level sets of biquadratic functions on [0, 1]^2 (one inner knot per direction)
// against a value.  The intersector leaves one list of connected points per arc of the
// level set; the arcs' ends on the boundary are found here by dense sampling of the
// boundary and bisection, and each list must join the two ends of one arc.
struct LevelCase {
  Poly f;
  double (*eval)(double u, double v);
  double value;
  // The arcs by their ends (u, v) on the boundary, in closed form.
  std::vector<std::pair<std::pair<double, double>, std::pair<double, double>>> arcs;
  const char* what;
};

double circle_f(double u, double v) { return u * u + v * v; }
double saddle_f(double u, double v) { return (u - 0.5) * (u - 0.5) - (v - 0.5) * (v - 0.5); }

std::vector<LevelCase> level_cases() {
  const double r = std::sqrt(0.5);
  const double h = std::sqrt(0.2);
  return {
      {{{0, 0, 1}, {0}, {1}}, circle_f, 0.5, {{{r, 0}, {0, r}}}, "quarter circle"},
      // (u - 1/2)^2 - (v - 1/2)^2 = 0.05: two branches bulging in from u = 0 and u = 1.
      {{{0, 1, -1}, {-1}, {1}},
       saddle_f,
       0.05,
       {{{0, 0.5 - h}, {0, 0.5 + h}}, {{1, 0.5 - h}, {1, 0.5 + h}}},
       "hyperbola"},
  };
}

// Points on the boundary of [0, 1]^2 where f - value changes sign (4 x 4000 samples,
// bisection to 1e-14).
std::vector<std::pair<double, double>> boundary_crossings(double (*f)(double, double),
                                                          double value) {
  std::vector<std::pair<double, double>> out;
  auto at = [](int edge, double s) -> std::pair<double, double> {
    switch (edge) {
      case 0: return {s, 0};
      case 1: return {1, s};
      case 2: return {s, 1};
      default: return {0, s};
    }
  };
  const int n = 4000;
  for (int e = 0; e < 4; ++e) {
    for (int i = 0; i < n; ++i) {
      double a = double(i) / n, b = double(i + 1) / n;
      auto pa = at(e, a), pb = at(e, b);
      const double ga = f(pa.first, pa.second) - value, gb = f(pb.first, pb.second) - value;
      if ((ga < 0) == (gb < 0)) continue;
      while (b - a > 1e-14) {
        const double m = 0.5 * (a + b);
        auto pm = at(e, m);
        if ((f(pm.first, pm.second) - value < 0) == (ga < 0))
          a = m;
        else
          b = m;
      }
      out.push_back(at(e, 0.5 * (a + b)));
    }
  }
  return out;
}

bool near(const isect_point* p, std::pair<double, double> x, double tol) {
  return std::fabs(p->params[0] - x.first) < tol && std::fabs(p->params[1] - x.second) < tol;
}

TEST(SubdivSurface, LevelSetOfAScalarFunctionAgainstDenseSampling) {
  const double eps = 1e-3;
  const std::vector<double> t = {0, 0, 0, 0.5, 1, 1, 1};
  for (const LevelCase& lc : level_cases()) {
    ObjectHolder f(poly_surface({lc.f}, t, t, 3, 3));
    ObjectHolder c(point_object({lc.value}));
    DataHolder data;
    const int level = isect_recursion_level;
    int st = -7;
    sh1761(f, c, eps, &data.d, &st);
    EXPECT_EQ(isect_recursion_level, level) << lc.what;
    ASSERT_EQ(st, 1) << lc.what;
    ASSERT_NE(data.d, nullptr);
    EXPECT_EQ(isect_test::graph_problem(data.d), "") << lc.what;
    // Every point lies on the level set within the tolerance, inside the domain.
    for (int i = 0; i < data.d->point_count; ++i) {
      const isect_point* q = data.d->points[i];
      ASSERT_EQ(q->param_count, 2);
      const double u = q->params[0], v = q->params[1];
      EXPECT_NEAR(lc.eval(u, v), lc.value, 2 * eps) << lc.what << ": " << u << ", " << v;
      EXPECT_TRUE(u >= 0 && u <= 1 && v >= 0 && v <= 1) << lc.what;
    }
    // The sampled boundary crossings are the arcs' ends of the closed form.
    const auto ends = boundary_crossings(lc.eval, lc.value);
    ASSERT_EQ(ends.size(), 2 * lc.arcs.size()) << lc.what;
    for (const auto& arc : lc.arcs) {
      int matched = 0;
      for (const auto& e : ends)
        if ((std::hypot(e.first - arc.first.first, e.second - arc.first.second) < 1e-9) ||
            (std::hypot(e.first - arc.second.first, e.second - arc.second.second) < 1e-9))
          ++matched;
      EXPECT_EQ(matched, 2) << lc.what;
    }
    // One list per arc, from one of its ends to the other.
    ASSERT_EQ(data.d->list_count, static_cast<int>(lc.arcs.size())) << lc.what;
    for (const auto& arc : lc.arcs) {
      int joined = 0;
      for (int i = 0; i < data.d->list_count; ++i) {
        const isect_list* l = data.d->lists[i];
        if ((near(l->first, arc.first, 1e-6) && near(l->last, arc.second, 1e-6)) ||
            (near(l->first, arc.second, 1e-6) && near(l->last, arc.first, 1e-6)))
          ++joined;
      }
      EXPECT_EQ(joined, 1) << lc.what;
    }
  }
}

// A level set whose pair must be cut, with a work budget that allows no cut: the
// intersector gives the pair up, flags it, and what it found so far is sound.
TEST(SubdivSurface, LevelSetWithinASmallWorkBudget) {
  const double eps = 1e-3;
  const std::vector<double> t = {0, 0, 0, 0.5, 1, 1, 1};
  const LevelCase lc = level_cases()[1];
  ObjectHolder f(poly_surface({lc.f}, t, t, 3, 3));
  ObjectHolder c(point_object({lc.value}));
  const long saved = isect_work_budget;
  isect_work_budget = 1;
  DataHolder data;
  const int level = isect_recursion_level;
  int st = -7;
  sh1761(f, c, eps, &data.d, &st);
  isect_work_budget = saved;
  EXPECT_GE(st, 0);
  EXPECT_TRUE(isect_budget_exceeded());
  EXPECT_EQ(isect_recursion_level, level);
  EXPECT_EQ(isect_test::graph_problem(data.d), "");
  for (int i = 0; data.d && i < data.d->point_count; ++i) {
    const double u = data.d->points[i]->params[0], v = data.d->points[i]->params[1];
    EXPECT_NEAR(lc.eval(u, v), lc.value, 2 * eps);
  }
}

// A sub-problem on an edge found two connected points; the connection is brought up
// with the direction of the intersection curve and the constant parameter marked.
int mask_of(const isect_point* p, const isect_point* q) {
  for (int s = 0; s < p->neighbour_count; ++s)
    if (p->neighbours[s] == q) return p->segment_masks[s];
  return 0;
}

isect_point* with_param(isect_data* d, int idx, double x) {
  for (int i = 0; i < d->point_count; ++i)
    if (std::fabs(d->points[i]->params[idx] - x) < 1e-14) return d->points[i];
  return nullptr;
}

TEST(SubdivSurface, EdgeDirectionsOfAScalarFunctionAgainstAValue) {
  // f = a u + b v (bilinear) against the value 0; the sub-problem points lie on the edge
  // with the constant parameter `index` at `value`, at running values 0.2 and 0.7.
  struct Case {
    double a, b;
    bool surface_first;
    int index;          // constant parameter: 0 u, 1 v
    double value;
    int dir;            // +1 from the lower running value to the higher, -1 back
    int mark;           // boundary mark of the surface
    const char* what;
  } cases[] = {
      // Along u = 0 the level curve goes up in v where f grows with u ...
      {1, 0, true, 0, 0.0, +1, 2, "f = u, edge u = 0"},
      {-1, 0, true, 0, 0.0, -1, 1, "f = -u, edge u = 0"},
      {1, 0, true, 0, 1.0, +1, 1, "f = u, edge u = 1"},
      // ... and the surface as second object turns the orientation round.
      {1, 0, false, 0, 0.0, -1, 1, "value first, f = u, edge u = 0"},
      // Along v = const the level curve goes up in u where f falls with v.
      {0, 1, true, 1, 0.0, -1, 2, "f = v, edge v = 0"},
      {0, -1, true, 1, 1.0, +1, 2, "f = -v, edge v = 1"},
  };
  for (const Case& c : cases) {
    const std::vector<double> t = {0, 0, 1, 1};
    ObjectHolder s(poly_surface({{{0, c.b}, {c.a}}}, t, t, 2, 2));
    ObjectHolder p(point_object({0.0}));
    s->origin = s;
    p->origin = p;
    geom_object* o1 = c.surface_first ? s.o : p.o;
    geom_object* o2 = c.surface_first ? p.o : s.o;
    isect_data* sub = nullptr;
    const double r0 = 0.2, r1 = 0.7;
    isect_point* a = create_isect_point_geom(1, &r0, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
    isect_point* b = create_isect_point_geom(1, &r1, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
    int st = 0;
    sh6idcon(&sub, &a, &b, &st);
    ASSERT_GE(st, 0);
    DataHolder data;
    st = 0;
    put_edge_points(o1, o2, 1e-6, sub, c.index, c.value, &data.d, &st);
    destroy_isect_data(sub);
    ASSERT_EQ(st, 0) << c.what;
    ASSERT_NE(data.d, nullptr);
    ASSERT_EQ(data.d->point_count, 2) << c.what;
    const int running = 1 - c.index;
    isect_point* lo = with_param(data.d, running, r0);
    isect_point* hi = with_param(data.d, running, r1);
    ASSERT_NE(lo, nullptr);
    ASSERT_NE(hi, nullptr);
    EXPECT_EQ(lo->params[c.index], c.value);
    const int m = mask_of(lo, hi);
    EXPECT_EQ(m > 0 ? 1 : m < 0 ? -1 : 0, c.dir) << c.what;
    EXPECT_EQ(mask_of(hi, lo) > 0 ? 1 : -1, -c.dir) << c.what;
    // The constant parameter is marked on the connection.
    EXPECT_TRUE(m & (1 << (c.index + 1))) << c.what;
    EXPECT_TRUE(mask_of(hi, lo) & (1 << (c.index + 1))) << c.what;
    const int mark = c.surface_first ? lo->edge_word1 : lo->edge_word2;
    EXPECT_EQ(mark, c.mark) << c.what;
    EXPECT_EQ(c.surface_first ? hi->edge_word1 : hi->edge_word2, c.mark) << c.what;
  }
}

TEST(SubdivSurface, EdgeDirectionsOfTwoPlanes) {
  // S1: z = 0 with (u, v) -> (u, v, 0); S2: x = 0 with (s, t) -> (0, s, t).  They meet
  // on S1's edge u = 0 along y; N1 x N2 = (0, 0, 1) x (1, 0, 0) = (0, 1, 0) runs with
  // S1's v, so the curve goes from the lower v to the higher.  That edge is S1's start
  // in u (side -1) and the product is positive: mark 2 on S1.
  const std::vector<double> t = {0, 0, 1, 1};
  ObjectHolder s1(poly_surface({{{0}, {1}}, {{0, 1}}, {{0}}}, t, t, 2, 2));
  ObjectHolder s2(poly_surface({{{0}}, {{0}, {1}}, {{0, 1}}}, t, t, 2, 2));
  s1->origin = s1;
  s2->origin = s2;
  isect_data* sub = nullptr;
  const double pa[3] = {0.2, 0.2, 0.0}, pb[3] = {0.7, 0.7, 0.0};
  isect_point* a = create_isect_point_geom(3, pa, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  isect_point* b = create_isect_point_geom(3, pb, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  int st = 0;
  sh6idcon(&sub, &a, &b, &st);
  DataHolder data;
  st = 0;
  put_edge_points(s1, s2, 1e-6, sub, 0, 0.0, &data.d, &st);
  destroy_isect_data(sub);
  ASSERT_EQ(st, 0);
  ASSERT_NE(data.d, nullptr);
  isect_point* lo = with_param(data.d, 1, 0.2);
  isect_point* hi = with_param(data.d, 1, 0.7);
  ASSERT_NE(lo, nullptr);
  ASSERT_NE(hi, nullptr);
  EXPECT_GT(mask_of(lo, hi), 0);
  EXPECT_LT(mask_of(hi, lo), 0);
  EXPECT_EQ(lo->edge_word1, 2);
  EXPECT_EQ(hi->edge_word1, 2);
  EXPECT_EQ(lo->edge_word2, 0);

  // Pieces (not their own origins) get directions but no boundary marks.
  ObjectHolder piece(poly_surface({{{0}, {1}}, {{0, 1}}, {{0}}}, t, t, 2, 2));
  piece->origin = s1;
  sub = nullptr;
  a = create_isect_point_geom(3, pa, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  b = create_isect_point_geom(3, pb, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  sh6idcon(&sub, &a, &b, &st);
  DataHolder data2;
  st = 0;
  put_edge_points(piece, s2, 1e-6, sub, 0, 0.0, &data2.d, &st);
  destroy_isect_data(sub);
  ASSERT_EQ(st, 0);
  lo = with_param(data2.d, 1, 0.2);
  hi = with_param(data2.d, 1, 0.7);
  ASSERT_NE(lo, nullptr);
  EXPECT_GT(mask_of(lo, hi), 0);
  EXPECT_EQ(lo->edge_word1, 0);
}

// Cut values of a one-dimensional surface against a value.
TEST(SubdivSurface, CutValueChoices) {
  const std::vector<double> bezier = {0, 0, 0, 1, 1, 1};
  const std::vector<double> knots = {0, 0, 0, 0.3, 0.6, 1, 1, 1};  // middle knot 0.6
  struct Case {
    Poly f;
    bool single;
    std::vector<std::vector<double>> points;  // (u, v, edge or -1 for an inner point)
    double u, v;
    bool uses_found;
    const char* what;
  } cases[] = {
      {{{0, 0, 1}, {1}}, true, {{0.3, 0.7, -1}}, 0.3, 0.7, true,
       "an inner point of a single patch is the cut"},
      // f = u + v^2: along v = 0 the gradient is (1, 0), the level line runs along u =
      // const, so the edge point at u = 0.55 is taboo and the one at 0.4 is used.
      {{{0, 0, 1}, {1}}, false, {{0.55, 0, 0}, {0.4, 1, 2}}, 0.4, 0.6, false,
       "a taboo edge point is skipped"},
      // f = u + v / 2: neither is taboo, the one nearer the middle knot wins.
      {{{0, 0.5}, {1}}, false, {{0.55, 0, 0}, {0.4, 1, 2}}, 0.55, 0.6, false,
       "the edge point nearest the middle knot"},
      {{{0, 0, 1}, {1}}, false, {}, 0.6, 0.6, false, "the middle knots otherwise"},
  };
  for (const Case& c : cases) {
    const auto& t = c.single ? bezier : knots;
    ObjectHolder s(poly_surface({c.f}, t, t, 3, 3));
    ObjectHolder p(point_object({0.4}));
    s->origin = s;
    p->origin = p;
    isect_test::Graph g;
    edge_table* tables[2] = {create_edge_table(4), nullptr};
    for (const auto& q : c.points) {
      isect_point* pt = g.add({q[0], q[1]});
      if (q[2] >= 0) {
        const int e = static_cast<int>(q[2]);
        edge_node* node = create_edge_node(pt);
        node->next = tables[0]->heads[e];
        tables[0]->heads[e] = node;
        ++tables[0]->point_count;
      }
    }
    int fixed = 0, st = 0;
    isect_point* found = nullptr;
    double values[2] = {-1, -1};
    sh1762_s9subdivpt(s, p, 1e-6, 1, 3, tables, &g.data, &fixed, &found, values, &st);
    destroy_edge_table(tables[0]);
    EXPECT_EQ(st, 0) << c.what;
    EXPECT_DOUBLE_EQ(values[0], c.u) << c.what;
    EXPECT_DOUBLE_EQ(values[1], c.v) << c.what;
    EXPECT_EQ(found != nullptr, c.uses_found) << c.what;
  }
}

// Cut values of a single bicubic patch against a point or a curve: the closest point,
// where it lies inside the inner box; the middle otherwise.
TEST(SubdivSurface, CutValuesOfASinglePatchFromNewton) {
  const std::vector<double> t = {0, 0, 0, 0, 1, 1, 1, 1};
  const Poly x = {{0}, {1}};
  const Poly y = {{0, 1}};
  const Poly z = {{0.2, 0, -0.3}, {0, 0.4}, {0.5}, {0.1}};
  struct Case {
    bool curve;       // a vertical line through (u, v), else the point on the patch
    double u, v;
    double cut_u, cut_v;
    const char* what;
  } cases[] = {
      {false, 0.3, 0.6, 0.3, 0.6, "a point on the patch"},
      {true, 0.3, 0.6, 0.3, 0.6, "a line through the patch"},
      {false, 0.005, 0.6, 0.5, 0.6, "a point within the margin of u = 0"},
      {true, 0.3, 0.995, 0.3, 0.5, "a line within the margin of v = 1"},
  };
  for (const Case& c : cases) {
    ObjectHolder s(poly_surface({x, y, z}, t, t, 4, 4));
    s->origin = s;
    const double h = patch_z(c.u, c.v);
    geom_object* o = nullptr;
    if (c.curve) {
      o = create_geom_object(kCurveObject);
      o->curve = newton_test::line({c.u, c.v, h - 1}, {c.u, c.v, h + 2}).release();
    } else {
      o = point_object({c.u, c.v, h});
    }
    ObjectHolder other(o);
    other->origin = other;
    edge_table* tables[2] = {create_edge_table(4), c.curve ? create_edge_table(2) : nullptr};
    isect_data* data = nullptr;
    int fixed = 0, st = 0;
    isect_point* found = nullptr;
    double values[2] = {-1, -1};
    sh1762_s9subdivpt(s, other, 1e-9, 1, 3, tables, &data, &fixed, &found, values, &st);
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
    EXPECT_GE(st, 0) << c.what;
    EXPECT_NEAR(values[0], c.cut_u, 1e-9) << c.what;
    EXPECT_NEAR(values[1], c.cut_v, 1e-9) << c.what;
    EXPECT_EQ(fixed, 0) << c.what;
    EXPECT_EQ(found, nullptr) << c.what;
  }
}

// Cut values of a plane against a wall standing on it: edge points where the wall's
// foot runs along the first parameter's lines are not used as cuts.
TEST(SubdivSurface, CutValuesAgainstASecondSurface) {
  const std::vector<double> knots = {0, 0, 0, 0.3, 0.6, 1, 1, 1};  // middle knot 0.6
  const std::vector<double> unit = {0, 0, 1, 1};
  struct Case {
    Poly wall_x;   // x of the wall over (s, t) -> (x, s, t)
    std::vector<std::vector<double>> points;  // (u, v, s, t) on the floor's edges 0 and 2
    double cut_u;
    const char* what;
  } cases[] = {
      // x = 0.55: the foot is the line u = 0.55, cutting there would follow it.
      {{{0.55}}, {{0.55, 0, 0, 0}, {0.55, 1, 1, 0}}, 0.6, "a wall along v"},
      // x = 0.4 + 0.3 s: the foot crosses the lines of u; the edge point nearer the
      // middle knot is the cut.
      {{{0.4}, {0.3}}, {{0.4, 0, 0, 0}, {0.7, 1, 1, 0}}, 0.7, "a slanting wall"},
  };
  for (const Case& c : cases) {
    ObjectHolder floor(poly_surface({{{0}, {1}}, {{0, 1}}, {{0}}}, knots, knots, 3, 3));
    ObjectHolder wall(poly_surface({c.wall_x, {{0}, {1}}, {{0, 1}}}, unit, unit, 2, 2));
    floor->origin = floor;
    wall->origin = wall;
    isect_test::Graph g;
    edge_table* tables[2] = {create_edge_table(4), create_edge_table(4)};
    for (const auto& q : c.points) {
      isect_point* pt = g.add({q[0], q[1], q[2], q[3]});
      const int e = q[1] == 0 ? 0 : 2;
      edge_node* node = create_edge_node(pt);
      node->next = tables[0]->heads[e];
      tables[0]->heads[e] = node;
      ++tables[0]->point_count;
    }
    int fixed = 0, st = 0;
    isect_point* found = nullptr;
    double values[2] = {-1, -1};
    sh1762_s9subdivpt(floor, wall, 1e-9, 1, 3, tables, &g.data, &fixed, &found, values, &st);
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
    EXPECT_EQ(st, 0) << c.what;
    EXPECT_DOUBLE_EQ(values[0], c.cut_u) << c.what;
    EXPECT_DOUBLE_EQ(values[1], 0.6) << c.what;
  }
}

TEST(SubdivSurface, TabooNeedsTheCurveAlongTheCut) {
  const std::vector<double> t = {0, 0, 1, 1};
  isect_test::Graph g;
  isect_point* p = g.add({0.5, 0.5});
  // A surface in the plane is never taboo and leaves the status alone.
  ObjectHolder plane(poly_surface({{{0}, {1}}, {{0, 1}}}, t, t, 2, 2));
  int st = 77;
  EXPECT_EQ(sh1762_is_taboo(plane, nullptr, p, 1, &st), 0);
  EXPECT_EQ(st, 77);
  // f = u: the level line is u = const, cutting at u follows it, cutting at v does not.
  ObjectHolder f(poly_surface({{{0}, {1}}}, t, t, 2, 2));
  st = 0;
  EXPECT_EQ(sh1762_is_taboo(f, nullptr, p, 1, &st), 1);
  EXPECT_EQ(sh1762_is_taboo(f, nullptr, p, 2, &st), 0);
  EXPECT_EQ(st, 0);
  // A 3D surface without a partner is refused.
  ObjectHolder s3(poly_surface({{{0}, {1}}, {{0, 1}}, {{0}}}, t, t, 2, 2));
  isect_test::ReportLog log;
  st = 0;
  sh1762_is_taboo(s3, nullptr, p, 1, &st);
  EXPECT_EQ(st, -105);
  EXPECT_TRUE(log.named("sh1762_is_taboo"));
  // z = 0 against x = 0.5 meets along the line u = 0.5 of the first: cutting at u
  // follows it, cutting at v crosses it.
  isect_point* q = g.add({0.5, 0.5, 0.5, 0.5});
  ObjectHolder wall(poly_surface({{{0.5}}, {{0}, {1}}, {{0, 1}}}, t, t, 2, 2));
  st = 0;
  EXPECT_EQ(sh1762_is_taboo(s3, wall, q, 1, &st), 1);
  EXPECT_EQ(sh1762_is_taboo(s3, wall, q, 2, &st), 0);
  // Parallel planes (normals within 1e-4) are never taboo.
  ObjectHolder lid(poly_surface({{{0}, {1}}, {{0, 1}}, {{1}}}, t, t, 2, 2));
  EXPECT_EQ(sh1762_is_taboo(s3, lid, q, 1, &st), 0);
  EXPECT_EQ(st, 0);
  // A point without the second surface's parameters is refused, not read past.
  st = 0;
  EXPECT_EQ(sh1762_is_taboo(s3, wall, p, 1, &st), 0);
  EXPECT_EQ(st, -106);
}

// A division in both directions: four pieces, and the points where the level set
// crosses the dividing lines, each once in the data.
TEST(SubdivSurface, DivisionInBothDirections) {
  struct Case {
    double value;
    std::vector<std::pair<double, double>> crossings;  // closed form on u^2 + v^2 = c
  } cases[] = {
      // u = 0.5 at v = 0.3 and v = 0.5 at u = 0.3; the right half of v = 0.5 misses.
      {0.34, {{0.5, 0.3}, {0.3, 0.5}}},
      // All three lines pass through (0.5, 0.5): one point.
      {0.5, {{0.5, 0.5}}},
  };
  const int level = isect_recursion_level;
  for (const Case& c : cases) {
    const std::vector<double> t = {0, 0, 0, 0.5, 1, 1, 1};
    ObjectHolder f(poly_surface({{{0, 0, 1}, {0}, {1}}}, t, t, 3, 3));
    ObjectHolder p(point_object({c.value}));
    f->origin = f;
    p->origin = p;
    geom_object* pieces[4];
    for (auto& q : pieces) {
      q = create_geom_object(kSurfaceObject);
      q->origin = f;
    }
    edge_table* tables[2] = {create_edge_table(4), nullptr};
    DataHolder data;
    int st = -7;
    sh1762_s9div(f, p, 1e-9, 1, 3, pieces, tables, &data.d, &st);
    destroy_edge_table(tables[0]);
    EXPECT_EQ(st, 1) << c.value;
    // The pieces are the four quarters about the inner knots (0.5, 0.5).
    const double box[4][4] = {{0, 0.5, 0, 0.5}, {0, 0.5, 0.5, 1}, {0.5, 1, 0, 0.5}, {0.5, 1, 0.5, 1}};
    for (int i = 0; i < 4; ++i) {
      const spline_surface* q = pieces[i]->surface;
      ASSERT_NE(q, nullptr);
      EXPECT_EQ(q->knots1[q->order1 - 1], box[i][0]) << i;
      EXPECT_EQ(q->knots1[q->vertex_count1], box[i][1]) << i;
      EXPECT_EQ(q->knots2[q->order2 - 1], box[i][2]) << i;
      EXPECT_EQ(q->knots2[q->vertex_count2], box[i][3]) << i;
      EXPECT_EQ(pieces[i]->origin, f.o);
      destroy_geom_object(pieces[i]);
    }
    ASSERT_NE(data.d, nullptr);
    EXPECT_EQ(isect_test::graph_problem(data.d), "");
    ASSERT_EQ(data.d->point_count, static_cast<int>(c.crossings.size())) << c.value;
    for (const auto& x : c.crossings) {
      int hits = 0;
      for (int i = 0; i < data.d->point_count; ++i) {
        const isect_point* q = data.d->points[i];
        if (std::fabs(q->params[0] - x.first) < 1e-9 && std::fabs(q->params[1] - x.second) < 1e-9)
          ++hits;
      }
      EXPECT_EQ(hits, 1) << c.value << ": " << x.first << ", " << x.second;
    }
    EXPECT_EQ(isect_recursion_level, level);
  }
}

// f = u - 0.5 against 0: the dividing line u = 0.5 lies in the level set, and its ends
// get points.  With nothing found before, the point made for the first end has no
// neighbour to be matched with, which is no failure; with points already at the ends,
// nothing is added twice.
TEST(SubdivSurface, EndsOfADividingLineInTheLevelSet) {
  for (int existing = 0; existing < 2; ++existing) {
    ObjectHolder f(poly_surface({{{-0.5}, {1}}}, {0, 0, 0.5, 1, 1}, {0, 0, 1, 1}, 2, 2));
    ObjectHolder zero(point_object({0.0}));
    f->origin = f;
    zero->origin = zero;
    isect_test::Graph g;
    if (existing) {
      isect_point* main_end = g.add({0.5, 1.0});
      isect_point* help_start = g.add({0.5, 0.0}, -1);
      g.link(main_end, help_start);
    }
    geom_object* pieces[2];
    for (auto& q : pieces) {
      q = create_geom_object(kSurfaceObject);
      q->origin = f;
    }
    edge_table* tables[2] = {create_edge_table(4), nullptr};
    isect_test::ReportLog log;
    const int level = isect_recursion_level;
    int st = -7;
    sh1762_s9div(f, zero, 1e-6, 1, 1, pieces, tables, &g.data, &st);
    destroy_edge_table(tables[0]);
    for (auto& q : pieces) destroy_geom_object(q);
    EXPECT_GE(st, 0) << existing;
    EXPECT_FALSE(log.named("sh1762_s9div")) << existing;
    EXPECT_EQ(isect_recursion_level, level);
    EXPECT_EQ(isect_test::graph_problem(g.data), "");
    // Points on the line, both ends among them, no two coinciding.
    ASSERT_NE(g.data, nullptr);
    bool start = false, end = false;
    for (int i = 0; i < g.size(); ++i) {
      const isect_point* p = g.data->points[i];
      EXPECT_NEAR(p->params[0], 0.5, 1e-12);
      if (p->params[1] == 0.0) start = true;
      if (p->params[1] == 1.0) end = true;
      for (int j = i + 1; j < g.size(); ++j)
        EXPECT_GT(std::fabs(p->params[1] - g.data->points[j]->params[1]), 1e-12) << i << " " << j;
    }
    EXPECT_TRUE(start) << existing;
    EXPECT_TRUE(end) << existing;
  }
}

// f = u + 0.1 u^2 + v - c on a knot vector without a single inner knot (and without a
// stationary point): the cuts start at the middle knots (0.6, 0.6); the second moves to
// the point found on the first line when that lies within a tenth of the line's range.
// On u = 0.6 the level set has v = c - 0.636; on v = w it has u = (sqrt(1 + 0.4 (c - w))
// - 1) / 0.2.
TEST(SubdivSurface, SecondCutMovesToAPointOnTheFirstLine) {
  auto u_at = [](double c, double w) { return (std::sqrt(1 + 0.4 * (c - w)) - 1) / 0.2; };
  struct Case {
    double c;
    double cut_v;
    std::vector<std::pair<double, double>> crossings;
  } cases[] = {
      {1.286, 0.65, {{0.6, 0.65}}},                          // 0.65 is within 0.1 of 0.6
      {1.486, 0.6, {{0.6, 0.85}, {u_at(1.486, 0.6), 0.6}}},  // 0.85 is not
  };
  const std::vector<double> t = {0, 0, 0, 0.3, 0.6, 1, 1, 1};
  for (const Case& c : cases) {
    ObjectHolder f(poly_surface({{{-c.c, 1}, {1}, {0.1}}}, t, t, 3, 3));
    ObjectHolder zero(point_object({0.0}));
    f->origin = f;
    zero->origin = zero;
    geom_object* pieces[4];
    for (auto& q : pieces) {
      q = create_geom_object(kSurfaceObject);
      q->origin = f;
    }
    edge_table* tables[2] = {create_edge_table(4), nullptr};
    DataHolder data;
    int st = -7;
    sh1762_s9div(f, zero, 1e-9, 1, 3, pieces, tables, &data.d, &st);
    destroy_edge_table(tables[0]);
    EXPECT_EQ(st, 1) << c.c;
    const spline_surface* low = pieces[0]->surface;
    EXPECT_EQ(low->knots1[low->vertex_count1], 0.6) << c.c;
    EXPECT_NEAR(low->knots2[low->vertex_count2], c.cut_v, 1e-9) << c.c;
    for (auto& q : pieces) destroy_geom_object(q);
    ASSERT_NE(data.d, nullptr);
    ASSERT_EQ(data.d->point_count, static_cast<int>(c.crossings.size())) << c.c;
    for (const auto& x : c.crossings) {
      int hits = 0;
      for (int i = 0; i < data.d->point_count; ++i) {
        const isect_point* q = data.d->points[i];
        if (std::fabs(q->params[0] - x.first) < 1e-9 && std::fabs(q->params[1] - x.second) < 1e-9)
          ++hits;
      }
      EXPECT_EQ(hits, 1) << c.c << ": " << x.first << ", " << x.second;
    }
  }
}

// Micro case of a point of the plane against a planar surface with two edge points:
// every point of the data in the surface's domain becomes a main point of kind 3, the
// others stay as they are.
TEST(SubdivSurface, MicroCaseMakesTheDomainsPointsMainPoints) {
  const std::vector<double> t = {0, 0, 1, 1};
  ObjectHolder s(poly_surface({{{0}, {1}}, {{0, 1}}}, t, t, 2, 2));
  ObjectHolder p(point_object({0.5, 0.0}));
  s->origin = s;
  p->origin = p;
  isect_test::Graph g;
  isect_point* a = g.add({0.4, 0.0});
  isect_point* b = g.add({0.6, 0.0}, -1);
  isect_point* inner = g.add({0.5, 0.5}, -1);
  isect_point* outside = g.add({1.5, 0.5}, -1);
  edge_table* tables[2] = {create_edge_table(4), nullptr};
  for (isect_point* q : {a, b}) {
    edge_node* node = create_edge_node(q);
    node->next = tables[0]->heads[0];
    tables[0]->heads[0] = node;
    ++tables[0]->point_count;
  }
  int st = -7;
  sh1762_s9mic(s, p, &g.data, tables, &st);
  destroy_edge_table(tables[0]);
  EXPECT_EQ(st, 1);
  for (isect_point* q : {a, b, inner}) EXPECT_EQ(q->kind, 3);
  EXPECT_EQ(outside->kind, -1);
  EXPECT_EQ(g.size(), 4);
}

// Two surfaces whose simple-case test failed count as simple when their parameter
// areas are small against their origins'.
TEST(SubdivSurface, SmallAreaSimpleCase) {
  struct Case {
    double side1, side2;  // piece sides in parameter units (origins are unit squares)
    int edge_points;
    int expected;
  } cases[] = {
      {0.01, 0.01, 1, 1},   // areas 1e-4 * 1e-4 = 1e-8 <= 1e-4
      {0.0625, 0.0625, 1, 1},  // (1/256)^2 ~ 1.5e-5
      {0.125, 0.125, 1, 0},    // (1/64)^2 ~ 2.4e-4 > 1e-4 ...
      {0.125, 0.125, 2, 1},    // ... but below 1/256 with two edge points
      {0.2, 0.1, 1, 0},     // 4e-4
      {0.2, 0.1, 2, 1},     // 4e-4 <= 1/256
      {0.25, 0.25, 2, 1},   // (1/16)^2 = 1/256: on the bound
      {0.5, 0.25, 2, 0},
      {0.01, 0.01, 0, 0},   // no edge point
  };
  const std::vector<double> unit = {0, 0, 1, 1};
  ObjectHolder o1(poly_surface({{{0}, {1}}, {{0, 1}}, {{0}}}, unit, unit, 2, 2));
  ObjectHolder o2(poly_surface({{{0}, {1}}, {{0, 1}}, {{1}}}, unit, unit, 2, 2));
  for (const Case& c : cases) {
    const std::vector<double> t1 = {0, 0, c.side1, c.side1};
    const std::vector<double> t2 = {0, 0, c.side2, c.side2};
    ObjectHolder a(poly_surface({{{0}, {1}}, {{0, 1}}, {{0}}}, t1, t1, 2, 2));
    ObjectHolder b(poly_surface({{{0}, {1}}, {{0, 1}}, {{1}}}, t2, t2, 2, 2));
    a->origin = o1;
    b->origin = o2;
    isect_test::Graph g;
    edge_table* tables[2] = {create_edge_table(4), create_edge_table(4)};
    for (int i = 0; i < c.edge_points; ++i) {
      isect_point* pt = g.add({0, 0.001 * (i + 1), 0, 0.001 * (i + 1)});
      edge_node* node = create_edge_node(pt);
      node->next = tables[i % 2]->heads[3];
      tables[i % 2]->heads[3] = node;
      ++tables[i % 2]->point_count;
    }
    int st = -7;
    sh1762_s9simple(a, b, tables, &st);
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
    EXPECT_EQ(st, c.expected) << c.side1 << " " << c.side2 << " " << c.edge_points;
  }
}

// Fails the edge search after a number of calls, deep inside the recursion.
int edge_calls_left = 0;
isect_service_table saved_services;
void failing_s6idedg(geom_object* o1, geom_object* o2, int which, int direction, double value,
                     isect_data* data, edge_node** head, int* count, int* status) {
  if (--edge_calls_left < 0) {
    *status = -4242;
    return;
  }
  saved_services.s6idedg(o1, o2, which, direction, value, data, head, count, status);
}

TEST(SubdivSurface, RecursionLevelIsRestoredAfterAnError) {
  isect_test::ServiceGuard guard;
  isect_test::ReportLog log;
  saved_services = isect_services();
  // The edge search fails at its first, second, ... call, until the intersection runs
  // through without failing.
  int failed = 0;
  bool completed = false;
  for (int calls = 0; calls < 400 && !completed; ++calls) {
    ObjectHolder s(bicubic_patch());
    ObjectHolder p(point_object({0.3, 0.6, patch_z(0.3, 0.6)}));
    edge_calls_left = calls;
    isect_services().s6idedg = failing_s6idedg;
    DataHolder data;
    const int level = isect_recursion_level;
    int st = 0;
    sh1761(p, s, 1e-3, &data.d, &st);
    isect_services() = saved_services;
    EXPECT_EQ(isect_recursion_level, level) << calls;
    if (edge_calls_left < 0) {
      EXPECT_EQ(st, -4242) << calls;
      ++failed;
    } else {
      EXPECT_EQ(st, 1) << calls;
      completed = true;
    }
  }
  EXPECT_GE(failed, 3);
  EXPECT_TRUE(completed);
}

// A patch of the unit sphere around (sqrt(1/2), sqrt(1/2), 0) (longitude 45 degrees on
// the equator, the middle of its parameter rectangle).
geom_object* sphere_patch() {
  const double centre[3] = {0, 0, 0};
  auto sphere = newton_test::sphere(centre, 1.0);
  spline_surface* part = nullptr;
  int st = 0;
  s1001(sphere.get(), 0.3, 0.7, 0.7, 1.3, &part, &st);
  geom_object* o = create_geom_object(kSurfaceObject);
  o->surface = part;
  return o;
}

// The plane x + y = sqrt(2) over a square of half side 1 about the touching point.
geom_object* tangent_plane() {
  const double h = std::sqrt(0.5);
  // (s, t) in [-1, 1]^2 -> (h, h, 0) + s (-h, h, 0) + t (0, 0, 1).
  const std::vector<double> t = {-1, -1, 1, 1};
  return poly_surface({{{h}, {-h}}, {{h}, {h}}, {{0, 1}}}, t, t, 2, 2);
}

TEST(SubdivSurface, TangentPlaneAndSphereEndWithAStatus) {
  ObjectHolder ball(sphere_patch());
  ASSERT_NE(ball->surface, nullptr);
  ObjectHolder plane(tangent_plane());
  const double eps = 1e-5;
  const int level = isect_recursion_level;
  DataHolder data;
  int st = -7;
  sh1761(ball, plane, eps, &data.d, &st);
  EXPECT_GE(st, 0);
  EXPECT_EQ(isect_recursion_level, level);
  EXPECT_EQ(isect_test::graph_problem(data.d), "");
  // Whatever was found lies where the two touch: on the sphere and within the
  // tolerance band of the plane, so near the touching point.
  for (int i = 0; data.d && i < data.d->point_count; ++i) {
    const isect_point* q = data.d->points[i];
    ASSERT_EQ(q->param_count, 4);
    const double uv[2] = {q->params[0], q->params[1]};
    double pos[3];
    int l1 = 0, l2 = 0, est = 0;
    s1424(ball->surface, 0, 0, uv, &l1, &l2, pos, &est);
    EXPECT_NEAR(pos[0] + pos[1], std::sqrt(2.0), 4 * eps);
  }
}

// Patches that run along each other, exactly, within the tolerance band or just beyond
// it: the intersector ends with a status (a copy just beyond the band is cut until the
// work budget, kept small here, runs out), and every point it reports lies on both.
TEST(SubdivSurface, PatchesAlongEachOtherEndWithAStatus) {
  struct Case {
    double lift;  // the second copy raised in z, in units of the tolerance
    const char* what;
  } cases[] = {{0.0, "one patch twice"}, {0.4, "a copy raised within the tolerance"},
               {3.0, "a copy raised beyond it"}};
  const double eps = 1e-5;
  for (const Case& c : cases) {
    ObjectHolder a(bicubic_patch());
    ObjectHolder b(bicubic_patch());
    const int n = b->surface->vertex_count1 * b->surface->vertex_count2;
    for (int i = 0; i < n; ++i) b->surface->coefs[3 * i + 2] += c.lift * eps;
    const int level = isect_recursion_level;
    DataHolder data;
    int st = -7;
    const long saved = isect_work_budget;
    isect_work_budget = 20000;
    sh1761(a, b, eps, &data.d, &st);
    isect_work_budget = saved;
    EXPECT_GE(st, 0) << c.what;
    EXPECT_EQ(isect_recursion_level, level) << c.what;
    EXPECT_EQ(isect_test::graph_problem(data.d), "") << c.what;
    if (c.lift > 1) {
      EXPECT_TRUE(data.d == nullptr || data.d->point_count == 0) << c.what;
      continue;
    }
    ASSERT_NE(data.d, nullptr) << c.what;
    EXPECT_GT(data.d->point_count, 0) << c.what;
    for (int i = 0; i < data.d->point_count; ++i) {
      const isect_point* q = data.d->points[i];
      ASSERT_EQ(q->param_count, 4);
      // x = u and y = v on both: the same place on each.
      EXPECT_NEAR(q->params[0], q->params[2], 2 * eps) << c.what;
      EXPECT_NEAR(q->params[1], q->params[3], 2 * eps) << c.what;
    }
  }
}

// A line against a sphere: the crossings at x = +-sqrt(1 - y^2 - z^2) on the line
// y = 0.3, z = 0.2 (or none), on the whole sphere and on the patch around longitude 45
// degrees.
TEST(SubdivSurface, LineThroughASphere) {
  struct Case {
    bool patch;
    double y, z;
    std::vector<double> xs;  // crossings in the order of the line
    const char* what;
  } cases[] = {
      {false, 0.3, 0.2, {-std::sqrt(0.87), std::sqrt(0.87)}, "through the sphere"},
      {false, 1.2, 0.2, {}, "past the sphere"},
      {true, 0.7, 0.1, {std::sqrt(1 - 0.49 - 0.01)}, "through the patch"},
  };
  for (const Case& c : cases) {
    geom_object* s = nullptr;
    if (c.patch) {
      s = sphere_patch();
    } else {
      const double centre[3] = {0, 0, 0};
      s = create_geom_object(kSurfaceObject);
      s->surface = newton_test::sphere(centre, 1.0).release();
    }
    ObjectHolder ball(s);
    ObjectHolder line(create_geom_object(kCurveObject));
    line->curve = newton_test::line({-2, c.y, c.z}, {2, c.y, c.z}).release();
    DataHolder data;
    const int level = isect_recursion_level;
    int st = -7;
    sh1761(line, ball, 1e-6, &data.d, &st);
    EXPECT_EQ(isect_recursion_level, level);
    EXPECT_EQ(st, c.xs.empty() ? 0 : 1) << c.what;
    const int n = data.d ? data.d->point_count : 0;
    ASSERT_EQ(n, static_cast<int>(c.xs.size())) << c.what;
    std::vector<double> ts;
    for (int i = 0; i < n; ++i) {
      const isect_point* q = data.d->points[i];
      ASSERT_EQ(q->param_count, 3);
      ts.push_back(q->params[0]);
      // The sphere at the point's surface parameters is the line's point.
      const double uv[2] = {q->params[1], q->params[2]};
      double pos[3];
      int l1 = 0, l2 = 0, est = 0;
      s1424(ball->surface, 0, 0, uv, &l1, &l2, pos, &est);
      EXPECT_NEAR(pos[0], -2 + 4 * q->params[0], 1e-9) << c.what;
      EXPECT_NEAR(pos[1], c.y, 1e-9) << c.what;
      EXPECT_NEAR(pos[2], c.z, 1e-9) << c.what;
    }
    std::sort(ts.begin(), ts.end());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(-2 + 4 * ts[i], c.xs[i], 1e-9) << c.what;
  }
}

// The edge v = 0 of the bicubic patch as a curve of its own: curve and surface meet
// along the whole curve, one list from the curve's start to its end on that edge.
TEST(SubdivSurface, CurveAlongAnEdgeOfThePatch) {
  ObjectHolder s(bicubic_patch());
  ObjectHolder c(create_geom_object(kCurveObject));
  c->curve = newton_test::poly_curve({{0, 1}, {0}, {0.2, 0, 0.5, 0.1}}, {0, 0, 0, 0, 1, 1, 1, 1}, 4)
                 .release();
  DataHolder data;
  const int level = isect_recursion_level;
  int st = -7;
  sh1761(c, s, 1e-6, &data.d, &st);
  EXPECT_EQ(isect_recursion_level, level);
  ASSERT_EQ(st, 1);
  ASSERT_NE(data.d, nullptr);
  EXPECT_EQ(isect_test::graph_problem(data.d), "");
  // Every point: t = u (x = t on the curve, x = u on the patch) and v = 0.
  for (int i = 0; i < data.d->point_count; ++i) {
    const isect_point* q = data.d->points[i];
    ASSERT_EQ(q->param_count, 3);
    EXPECT_NEAR(q->params[0], q->params[1], 1e-9);
    EXPECT_NEAR(q->params[2], 0.0, 1e-9);
  }
  ASSERT_EQ(data.d->list_count, 1);
  const isect_list* l = data.d->lists[0];
  const double a = l->first->params[0], b = l->last->params[0];
  EXPECT_NEAR(std::fmin(a, b), 0.0, 1e-12);
  EXPECT_NEAR(std::fmax(a, b), 1.0, 1e-12);
}

}  // namespace
