// Level curves f(u, v) = c of scalar spline functions through the recursive driver,
// checked against a marching-squares sampling of the level set written here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/newton_testutil.h"
#include "spline/detail/isect/object_testutil.h"
#include "spline/detail/isect/subdiv.h"

namespace {

using namespace newton_test;

double value_at(const spline_surface* f, double u, double v) { return eval_surface(f, u, v)[0]; }

// The level set of f - c on the parameter rectangle by marching squares: the crossings
// on the edges of an n x n grid of cells (linear interpolation) and their connected
// components, where a cell joins the crossings on its edges (a cell with four
// crossings is split by the sign at its centre).
struct SampledLevelSet {
  struct Crossing {
    double u, v;
    bool on_boundary;
  };
  std::vector<Crossing> crossings;
  std::vector<int> component;  // per crossing: its branch
  std::vector<int> position;   // per crossing: its place along its branch
  int component_count = 0;
  std::vector<bool> closed;    // per branch: no crossing on the rectangle's boundary
  std::vector<int> length;     // per branch: its number of crossings
  double step = 0;

  SampledLevelSet(const spline_surface* f, double c, int n) {
    const double u0 = f->knots1[f->order1 - 1], u1 = f->knots1[f->vertex_count1];
    const double v0 = f->knots2[f->order2 - 1], v1 = f->knots2[f->vertex_count2];
    auto U = [&](int i) { return u0 + (u1 - u0) * i / n; };
    auto V = [&](int j) { return v0 + (v1 - v0) * j / n; };
    step = std::fmax(u1 - u0, v1 - v0) / n;
    std::vector<double> g((n + 1) * (n + 1));
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i) g[j * (n + 1) + i] = value_at(f, U(i), V(j)) - c;
    auto at = [&](int i, int j) { return g[j * (n + 1) + i]; };
    // Crossing index of each grid edge, -1 without a sign change.
    std::vector<int> horizontal(n * (n + 1), -1), vertical((n + 1) * n, -1);
    auto add = [&](double ua, double va, double fa, double ub, double vb, double fb,
                   bool boundary) {
      const double w = fa / (fa - fb);
      crossings.push_back({ua + w * (ub - ua), va + w * (vb - va), boundary});
      return static_cast<int>(crossings.size()) - 1;
    };
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i < n; ++i)
        if ((at(i, j) < 0) != (at(i + 1, j) < 0))
          horizontal[j * n + i] =
              add(U(i), V(j), at(i, j), U(i + 1), V(j), at(i + 1, j), j == 0 || j == n);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i <= n; ++i)
        if ((at(i, j) < 0) != (at(i, j + 1) < 0))
          vertical[j * (n + 1) + i] =
              add(U(i), V(j), at(i, j), U(i), V(j + 1), at(i, j + 1), i == 0 || i == n);
    // Each crossing meets at most two others: one through each cell it bounds.
    std::vector<std::vector<int>> next(crossings.size());
    auto join = [&](int a, int b) {
      next[a].push_back(b);
      next[b].push_back(a);
    };
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        // Edges in order round the cell: bottom, right, top, left.
        const int e[4] = {horizontal[j * n + i], vertical[j * (n + 1) + i + 1],
                          horizontal[(j + 1) * n + i], vertical[j * (n + 1) + i]};
        std::vector<int> on;
        for (int k = 0; k < 4; ++k)
          if (e[k] >= 0) on.push_back(k);
        if (on.size() == 2) {
          join(e[on[0]], e[on[1]]);
        } else if (on.size() == 4) {
          // The corner (i, j) is cut off together with its diagonal opposite when the
          // centre has the other sign.
          const double mu = 0.5 * (U(i) + U(i + 1)), mv = 0.5 * (V(j) + V(j + 1));
          if ((value_at(f, mu, mv) - c < 0) != (at(i, j) < 0)) {
            join(e[0], e[3]);
            join(e[1], e[2]);
          } else {
            join(e[0], e[1]);
            join(e[2], e[3]);
          }
        }
      }
    // Branches in order: open ones walked from a boundary crossing, then closed ones.
    component.assign(crossings.size(), -1);
    position.assign(crossings.size(), -1);
    auto walk_from = [&](int start, bool is_closed) {
      const int id = component_count++;
      closed.push_back(is_closed);
      length.push_back(0);
      int prev = -1, cur = start;
      while (cur >= 0 && component[cur] < 0) {
        component[cur] = id;
        position[cur] = length[id]++;
        int to = -1;
        for (int q : next[cur])
          if (q != prev && component[q] < 0) to = q;
        prev = cur;
        cur = to;
      }
    };
    for (size_t k = 0; k < crossings.size(); ++k)
      if (crossings[k].on_boundary && component[k] < 0) walk_from(static_cast<int>(k), false);
    for (size_t k = 0; k < crossings.size(); ++k)
      if (component[k] < 0) walk_from(static_cast<int>(k), true);
  }

  // Index and distance of the crossing nearest to (u, v).
  std::pair<int, double> nearest(double u, double v) const {
    int best = -1;
    double d = 1e300;
    for (size_t k = 0; k < crossings.size(); ++k) {
      const double e = std::hypot(crossings[k].u - u, crossings[k].v - v);
      if (e < d) {
        d = e;
        best = static_cast<int>(k);
      }
    }
    return {best, d};
  }
};

// Points of a list in chain order, from its first point through its first slot (the
// closing point of a closed list not repeated).
std::vector<isect_point*> list_points(const isect_list* l) {
  std::vector<isect_point*> out;
  isect_point* prev = nullptr;
  isect_point* cur = l->first;
  while (cur && static_cast<int>(out.size()) < l->point_count) {
    if (prev && cur == l->first) break;
    out.push_back(cur);
    isect_point* next = nullptr;
    if (!prev) {
      if (l->first_slot >= 0 && l->first_slot < cur->neighbour_count)
        next = cur->neighbours[l->first_slot];
    } else {
      int st = 0;
      sh6getother(cur, prev, &next, &st);
      if (st != 0) next = nullptr;
    }
    if (cur == l->last && prev) break;
    prev = cur;
    cur = next;
  }
  return out;
}

// Intersects f with the level c through the driver and checks the lists it leaves:
// every point of the data lies on f = c; every list follows one sampled branch, each
// branch has exactly one list, closed branches give closed lists, and a list's points
// follow their branch in order, an open list from one boundary end to the other.  A
// positive budget replaces the intersector's work budget for the call, which must
// then not run out.
void expect_level_curves(const spline_surface* f_in, double c, int expected_branches,
                         long budget = 0) {
  SCOPED_TRACE(testing::Message() << "level " << c);
  const double eps = 1e-7;
  SurfaceHandle copy = surface({f_in->knots1, f_in->knots1 + f_in->vertex_count1 + f_in->order1},
                            {f_in->knots2, f_in->knots2 + f_in->vertex_count2 + f_in->order2},
                            f_in->order1, f_in->order2,
                            {f_in->coefs, f_in->coefs + f_in->vertex_count1 * f_in->vertex_count2},
                            1, 1);
  ObjectPtr s = wrap(std::move(copy));
  s->origin = s.get();
  ObjectPtr p = wrap(point({c}));
  p->origin = p.get();
  isect_data* data = nullptr;
  int st = -7;
  const long saved_budget = isect_work_budget;
  if (budget > 0) isect_work_budget = budget;
  sh1761(s.get(), p.get(), eps, &data, &st);
  isect_work_budget = saved_budget;
  std::unique_ptr<isect_data, decltype(&destroy_isect_data)> owner(data, destroy_isect_data);
  ASSERT_GE(st, 0);
  EXPECT_FALSE(isect_budget_exceeded());
  const spline_surface* f = s->surface;
  const SampledLevelSet sampled(f, c, 200);
  if (expected_branches < 0) expected_branches = sampled.component_count;
  ASSERT_EQ(sampled.component_count, expected_branches) << "the fixture's level set";
  if (expected_branches == 0) {
    EXPECT_TRUE(!data || data->list_count == 0);
    return;
  }
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(isect_test::graph_problem(data), "");
  for (int i = 0; i < data->point_count; ++i) {
    const isect_point* q = data->points[i];
    EXPECT_NEAR(value_at(f, q->params[0], q->params[1]), c, 10 * eps)
        << "point (" << q->params[0] << ", " << q->params[1] << ")";
  }
  ASSERT_EQ(data->list_count, expected_branches);
  std::vector<int> list_of_component(sampled.component_count, -1);
  for (int l = 0; l < data->list_count; ++l) {
    SCOPED_TRACE(testing::Message() << "list " << l);
    const isect_list* list = data->lists[l];
    const auto pts = list_points(list);
    ASSERT_GE(pts.size(), 2u);
    int comp = -1;
    for (const isect_point* q : pts) {
      const auto [k, d] = sampled.nearest(q->params[0], q->params[1]);
      ASSERT_GE(k, 0);
      EXPECT_LT(d, 2 * sampled.step);
      if (comp < 0) comp = sampled.component[k];
      EXPECT_EQ(sampled.component[k], comp) << "a list running over two branches";
    }
    ASSERT_GE(comp, 0);
    EXPECT_EQ(list_of_component[comp], -1) << "two lists on one branch";
    list_of_component[comp] = l;
    const bool list_closed = list->first == list->last;
    EXPECT_EQ(list_closed, static_cast<bool>(sampled.closed[comp]));
    // The list runs along its branch in one sense: the places of its points' nearest
    // crossings along the branch never turn back; a closed list goes round once.
    std::vector<int> places;
    for (const isect_point* q : pts)
      places.push_back(sampled.position[sampled.nearest(q->params[0], q->params[1]).first]);
    const int L = sampled.length[comp];
    const size_t m = places.size();
    if (list_closed) {
      int ahead = 0, behind = 0;  // the steps summed modulo the branch length, both ways
      for (size_t k = 0; k < m; ++k) {
        const int d = places[(k + 1) % m] - places[k];
        ahead += ((d % L) + L) % L;
        behind += ((-d % L) + L) % L;
      }
      EXPECT_TRUE(ahead == L || behind == L) << "a closed list folding back";
      EXPECT_GE(m, 3u);
    } else {
      int up = 0, down = 0;
      for (size_t k = 0; k + 1 < m; ++k) {
        if (places[k + 1] > places[k]) ++up;
        if (places[k + 1] < places[k]) ++down;
      }
      EXPECT_TRUE(up == 0 || down == 0) << "an open list turning back";
      // Its ends are the branch's ends on the boundary.
      EXPECT_LE(std::min(places.front(), places.back()), 2);
      EXPECT_GE(std::max(places.front(), places.back()), L - 3);
    }
  }
}

std::vector<double> knots(int k, std::vector<double> inner) {
  std::vector<double> t(static_cast<size_t>(k), 0.0);
  t.insert(t.end(), inner.begin(), inner.end());
  t.insert(t.end(), static_cast<size_t>(k), 1.0);
  return t;
}

// Polynomials sum a[p][q] u^p v^q as bicubic splines, with a few inner knots so the
// engine has to cut.
struct LevelCase {
  const char* name;
  std::vector<std::vector<double>> a;
  std::vector<double> inner1, inner2;
  double level;
  int branches;
};

// A bump 27 u^2 (1 - u) v (1 - v), highest (1) at (2/3, 1/2): its levels below 1 are
// closed loops round the top, off every knot line.
std::vector<std::vector<double>> bump() {
  // 27 (u^2 - u^3) (v - v^2)
  return {{0, 0, 0}, {0, 0, 0}, {0, 27, -27}, {0, -27, 27}};
}

// A saddle 4 (u - 0.45)(v - 0.58) + 0.3 u^3: two branches on either side of the saddle
// point for levels off its value.
std::vector<std::vector<double>> saddle() {
  return {{4 * 0.45 * 0.58, -4 * 0.45}, {-4 * 0.58, 4.0}, {0.0}, {0.3}};
}

// A line-like level set across the domain: u + 0.6 v + 0.2 u v^2.
std::vector<std::vector<double>> slope() { return {{0, 0.6}, {1.0, 0.0, 0.2}}; }

TEST(LevelCurves, ScalarBicubicsAgainstMarchingSquares) {
  const LevelCase cases[] = {
      {"bump single piece", bump(), {}, {}, 0.5, 1},
      {"bump pieces", bump(), {0.3, 0.55}, {0.45}, 0.5, 1},
      {"small loop near the top", bump(), {0.3, 0.55}, {0.45}, 0.95, 1},
      {"wide loop near the edges", bump(), {0.5}, {0.5}, 0.05, 1},
      {"saddle above", saddle(), {}, {}, 0.15, 2},
      {"saddle below", saddle(), {0.37}, {0.61, 0.8}, -0.12, 2},
      {"line across", slope(), {}, {}, 0.7, 1},
      {"loop tangent to a knot line", bump(), {0.5}, {0.25}, 0.75, 1},
      {"loop tangent to knot lines", bump(), {2.0 / 3.0}, {0.25, 0.75}, 0.75, 1},
      {"loop through a knot crossing", bump(), {2.0 / 3.0}, {0.25}, 0.5, 1},
      {"line across pieces", slope(), {0.25, 0.5}, {0.3}, 0.93, 1},
  };
  for (const LevelCase& lc : cases) {
    SCOPED_TRACE(lc.name);
    auto f = poly_surface_1d(lc.a, knots(4, lc.inner1), knots(4, lc.inner2), 4, 4);
    // A few hundred subdivision steps at most: every piece the level curve crosses is
    // settled from its edge points, not cut down to the tolerance.
    expect_level_curves(f.get(), lc.level, lc.branches, 1000);
  }
}

// Random bicubic functions of a few pieces each way (orders 3 and 4, inner knots
// uniform or jittered) at random levels: every branch of the sampled level set comes
// out as one list.
TEST(LevelCurves, RandomSplineFunctionsAgainstMarchingSquares) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> U(-1, 1);
  for (int trial = 0; trial < 48; ++trial) {
    const int mode = trial % 4;
    const int k1 = mode == 1 ? 3 : 4, k2 = mode == 2 ? 3 : 4;
    const int p1 = 1 + trial % 5, p2 = 1 + (trial / 5) % 4;
    std::vector<double> in1, in2;
    for (int i = 1; i < p1; ++i) in1.push_back(static_cast<double>(i) / p1 + (mode == 3 ? 0.013 * U(rng) : 0));
    for (int i = 1; i < p2; ++i) in2.push_back(static_cast<double>(i) / p2);
    const auto t1 = knots(k1, in1), t2 = knots(k2, in2);
    const int n1 = static_cast<int>(t1.size()) - k1, n2 = static_cast<int>(t2.size()) - k2;
    std::vector<double> c(static_cast<size_t>(n1 * n2));
    for (double& x : c) x = U(rng);
    const double level = 0.3 * U(rng);
    SCOPED_TRACE(testing::Message() << "trial " << trial << ", " << p1 << " x " << p2 << " pieces");
    auto f = surface(t1, t2, k1, k2, c, 1, 1);
    expect_level_curves(f.get(), level, -1);
  }
}

// The saddle's own level: f = 4 (u - 0.45)(v - 0.58) + 0.3 u^3 takes the value
// 0.3 * 0.45^3 on the whole line u = 0.45 and on a second curve crossing it at the
// saddle point (0.45, 0.58 - 0.9 * 0.45^2 / 4).  Four arcs leave the saddle point for
// the boundary; each comes out as a list from a boundary point, found here by dense
// sampling of the boundary, to a singular point at the saddle.
TEST(LevelCurves, SaddleLevelGivesFourArcsMeetingAtTheSaddlePoint) {
  const double level = 0.3 * 0.45 * 0.45 * 0.45;
  const double su = 0.45, sv = 0.58 - 0.9 * 0.45 * 0.45 / 4;
  for (const std::vector<double>& inner : {std::vector<double>{}, {0.37}, {0.45}}) {
    SCOPED_TRACE(testing::Message() << inner.size() << " inner knots");
    ObjectPtr s = wrap(poly_surface_1d(saddle(), knots(4, inner), knots(4, {}), 4, 4));
    s->origin = s.get();
    ObjectPtr p = wrap(point({level}));
    p->origin = p.get();
    isect_data* data = nullptr;
    int st = -7;
    sh1761(s.get(), p.get(), 1e-7, &data, &st);
    std::unique_ptr<isect_data, decltype(&destroy_isect_data)> owner(data, destroy_isect_data);
    ASSERT_EQ(st, 1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(isect_test::graph_problem(data), "");
    // The boundary crossings, walking round the square.
    std::vector<std::pair<double, double>> ends;
    const int n = 4000;
    auto g = [&](double u, double v) { return value_at(s->surface, u, v) - level; };
    for (int side = 0; side < 4; ++side)
      for (int i = 0; i < n; ++i) {
        auto at = [&](int k) -> std::pair<double, double> {
          const double t = static_cast<double>(k) / n;
          return side == 0 ? std::pair{t, 0.0} : side == 1 ? std::pair{1.0, t}
                           : side == 2 ? std::pair{1.0 - t, 1.0} : std::pair{0.0, 1.0 - t};
        };
        const auto [ua, va] = at(i);
        const auto [ub, vb] = at(i + 1);
        // The line u = 0.45 meets the boundary exactly on a sample; count it once.
        const double fa = g(ua, va), fb = g(ub, vb);
        if (std::fabs(ua - su) < 1e-12 && std::fabs(ua - ub) > 0) ends.push_back({ua, va});
        else if (std::fabs(ub - su) > 1e-12 && std::fabs(ua - su) > 1e-12 && (fa < 0) != (fb < 0))
          ends.push_back({0.5 * (ua + ub), 0.5 * (va + vb)});
      }
    ASSERT_EQ(ends.size(), 4u);
    ASSERT_EQ(data->list_count, 4);
    std::vector<bool> used(4, false);
    for (int l = 0; l < data->list_count; ++l) {
      const isect_list* list = data->lists[l];
      const isect_point* a = list->first;
      const isect_point* b = list->last;
      if (a->kind == kSingularPoint) std::swap(a, b);
      // One end at the saddle point, singular; the other on the boundary.
      EXPECT_EQ(b->kind, 2);
      EXPECT_NEAR(b->params[0], su, 1e-6);
      EXPECT_NEAR(b->params[1], sv, 1e-6);
      int match = -1;
      for (int k = 0; k < 4; ++k)
        if (std::hypot(a->params[0] - ends[k].first, a->params[1] - ends[k].second) < 2.0 / n)
          match = k;
      ASSERT_GE(match, 0) << "list end (" << a->params[0] << ", " << a->params[1] << ")";
      EXPECT_FALSE(used[match]);
      used[match] = true;
      for (const isect_point* q : list_points(list))
        EXPECT_NEAR(value_at(s->surface, q->params[0], q->params[1]), level, 1e-6);
    }
  }
}

// A function equal to the level on a whole block of its domain (a block of zero
// coefficients): the level set is a region, not a curve.  The intersector ends, every point it leaves lies where f is the level,
// and with a work budget too small for any cut it gives up with the warning flag set.
TEST(LevelCurves, FlatRegionAtTheLevelEnds) {
  const auto t1 = knots(4, {0.1, 0.23, 0.35, 0.5, 0.62, 0.77});
  const auto t2 = knots(4, {0.15, 0.4, 0.55, 0.8});
  const int n1 = 10, n2 = 8;
  // 0: zero everywhere; 1: a zero block among positive coefficients (f >= 0); 2: the
  // same block among coefficients of both signs, so that level curves leave it.
  for (const int shape : {0, 1, 2}) {
    std::vector<double> c(n1 * n2);
    for (int j = 0; j < n2; ++j)
      for (int i = 0; i < n1; ++i) {
        const bool block = i >= 2 && i <= 7 && j >= 1 && j <= 6;
        c[j * n1 + i] = shape == 0 || block ? 0.0 : shape == 1 ? 1.0 + 0.1 * i : 1.0 + 0.1 * i - 0.2 * j;
      }
    for (const long budget : {isect_work_budget, 1L}) {
      SCOPED_TRACE(testing::Message() << "shape " << shape << ", budget "
                                      << budget);
      ObjectPtr s = wrap(surface(t1, t2, 4, 4, c, 1, 1));
      s->origin = s.get();
      ObjectPtr p = wrap(point({0.0}));
      p->origin = p.get();
      const long saved = isect_work_budget;
      const int entry = isect_recursion_level;
      isect_work_budget = budget;
      isect_data* data = nullptr;
      int st = -7;
      sh1761(s.get(), p.get(), 1e-7, &data, &st);
      isect_work_budget = saved;
      std::unique_ptr<isect_data, decltype(&destroy_isect_data)> owner(data, destroy_isect_data);
      EXPECT_GE(st, 0);
      EXPECT_EQ(isect_recursion_level, entry);
      if (budget == 1 && shape != 0) {
        EXPECT_TRUE(isect_budget_exceeded());
      }
      EXPECT_EQ(isect_test::graph_problem(data), "");
      for (int i = 0; data && i < data->point_count; ++i) {
        const isect_point* q = data->points[i];
        EXPECT_NEAR(value_at(s->surface, q->params[0], q->params[1]), 0.0, 1e-6);
      }
    }
  }
}

// f = (1 - v) g(u, v) + c on several pieces each way: the level c is the edge v = 1
// together with the level set g = 0, a circle of radius 0.2 about (0.5, 0.4) or the
// line u = 0.3 running into the edge.  The circle gives a closed list and the edge one
// list from corner to corner; the line meets the edge at (0.3, 1), which splits the
// edge into two lists and ends the line's list there.
TEST(LevelCurves, LevelSetsWithAnEdgeAtTheLevel) {
  struct EdgeCase {
    const char* name;
    std::vector<std::vector<double>> g;  // g as sum g[p][q] u^p v^q
    int lists;
  };
  const EdgeCase cases[] = {
      {"circle", {{0.37, -0.8, 1.0}, {-1.0}, {1.0}}, 2},
      {"line into the edge", {{-0.3}, {1.0}}, 3},
  };
  const auto t1 = knots(4, {0.31, 0.62}), t2 = knots(4, {0.45, 0.7});
  for (const EdgeCase& ec : cases)
    for (const double c : {0.0, 0.3}) {
      SCOPED_TRACE(testing::Message() << ec.name << ", level " << c);
      // (1 - v) g + c
      std::vector<std::vector<double>> a(ec.g.size(), std::vector<double>(4, 0.0));
      for (size_t p = 0; p < ec.g.size(); ++p)
        for (size_t q = 0; q < ec.g[p].size(); ++q) {
          a[p][q] += ec.g[p][q];
          a[p][q + 1] -= ec.g[p][q];
        }
      a[0][0] += c;
      auto g = [&](double u, double v) {
        double s = 0;
        for (size_t p = 0; p < ec.g.size(); ++p)
          for (size_t q = 0; q < ec.g[p].size(); ++q) s += ec.g[p][q] * std::pow(u, p) * std::pow(v, q);
        return s;
      };
      ObjectPtr s = wrap(poly_surface_1d(a, t1, t2, 4, 4));
      s->origin = s.get();
      ObjectPtr p = wrap(point({c}));
      p->origin = p.get();
      isect_data* data = nullptr;
      int st = -7;
      sh1761(s.get(), p.get(), 1e-7, &data, &st);
      std::unique_ptr<isect_data, decltype(&destroy_isect_data)> owner(data, destroy_isect_data);
      ASSERT_EQ(st, 1);
      ASSERT_NE(data, nullptr);
      EXPECT_EQ(isect_test::graph_problem(data), "");
      ASSERT_EQ(data->list_count, ec.lists);
      int along_edge = 0, on_g = 0;
      for (int l = 0; l < data->list_count; ++l) {
        const isect_list* list = data->lists[l];
        const auto pts = list_points(list);
        ASSERT_GE(pts.size(), 2u);
        bool edge = true;
        for (const isect_point* q : pts) edge = edge && q->params[1] == 1.0;
        if (edge) {
          ++along_edge;
          continue;
        }
        ++on_g;
        // Off the edge every point lies on g = 0, and the list is closed exactly for
        // the circle.
        for (const isect_point* q : pts) {
          if (q->params[1] < 1.0) {
            EXPECT_NEAR(g(q->params[0], q->params[1]), 0.0, 1e-6);
          }
        }
        EXPECT_EQ(list->first == list->last, ec.lists == 2);
        if (ec.lists == 2) {
          EXPECT_GE(pts.size(), 3u);
        }
      }
      EXPECT_EQ(on_g, 1);
      EXPECT_EQ(along_edge, ec.lists - 1);
      // The edge lists together run from corner to corner.
      double lo = 1, hi = 0;
      for (int l = 0; l < data->list_count; ++l)
        for (const isect_point* q : {data->lists[l]->first, data->lists[l]->last})
          if (q->params[1] == 1.0) {
            lo = std::fmin(lo, q->params[0]);
            hi = std::fmax(hi, q->params[0]);
          }
      EXPECT_EQ(lo, 0.0);
      EXPECT_EQ(hi, 1.0);
    }
}

}  // namespace
