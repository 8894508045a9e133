#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/newton_testutil.h"
#include "spline/detail/isect/object_testutil.h"
#include "spline/detail/isect/one_dim_div.h"
#include "spline/detail/isect/subdiv.h"

namespace {

using namespace newton_test;

// Knot vector of a single polynomial piece of order k over [a, b].
std::vector<double> single_piece(int k, double a, double b) {
  std::vector<double> t(static_cast<size_t>(k), a);
  t.insert(t.end(), static_cast<size_t>(k), b);
  return t;
}

std::vector<double> random_values(std::mt19937& rng, size_t count) {
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  std::vector<double> v(count);
  for (double& x : v) x = u(rng);
  return v;
}

struct CurveDivisionCase {
  int order;
  int dim;
  int end_flag;
  double a, b;
};

TEST(DivideCurveByFactor, MultipliedBackGivesTheCurve) {
  const CurveDivisionCase cases[] = {
      {3, 1, 0, 0.0, 1.0}, {3, 1, 1, 0.0, 1.0}, {4, 1, 0, 0.0, 1.0},  {4, 2, 1, -1.0, 2.0},
      {4, 3, 0, 2.0, 2.5}, {5, 1, 1, 0.0, 1.0}, {6, 3, 0, -3.0, 4.0}, {7, 2, 1, 0.25, 0.75},
      {8, 1, 0, 0.0, 10.0}};
  std::mt19937 rng(1783);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "order " << c.order << " dim " << c.dim << " flag "
                                    << c.end_flag);
    for (int trial = 0; trial < 5; ++trial) {
      auto coefs = random_values(rng, static_cast<size_t>(c.order * c.dim));
      // The polynomial vanishes at the end whose factor is divided out.
      const int zero = c.end_flag ? c.order - 1 : 0;
      for (int d = 0; d < c.dim; ++d) coefs[static_cast<size_t>(zero * c.dim + d)] = 0.0;
      auto p = curve(single_piece(c.order, c.a, c.b), c.order, coefs, 1, c.dim);
      spline_curve* raw = nullptr;
      int st = -7;
      sh_div_crv(p.get(), c.end_flag, 1e-9, &raw, &st);
      ASSERT_EQ(st, 0);
      CurveHandle q(raw);
      EXPECT_EQ(q->order, c.order - 1);
      EXPECT_EQ(q->vertex_count, c.order - 1);
      EXPECT_DOUBLE_EQ(q->knots[q->order - 1], c.a);
      EXPECT_DOUBLE_EQ(q->knots[q->vertex_count], c.b);
      for (int i = 0; i <= 20; ++i) {
        const double t = c.a + (c.b - c.a) * i / 20.0;
        const double s = (t - c.a) / (c.b - c.a);
        const double factor = c.end_flag ? 1.0 - s : s;
        const auto pv = eval_curve(p.get(), t);
        const auto qv = eval_curve(q.get(), t);
        for (int d = 0; d < c.dim; ++d) EXPECT_NEAR(factor * qv[d], pv[d], 1e-12);
      }
    }
  }
}

TEST(DivideCurveByFactor, CubicDividedAtItsStart) {
  // A cubic c0..c3 divided by the factor vanishing at the start: 3 c1, 3 c2 / 2, 3 c3 / 3.
  auto p = curve(single_piece(4, 0.0, 1.0), 4, {0.0, 2.0, -1.0, 5.0}, 1, 1);
  spline_curve* raw = nullptr;
  int st = -7;
  sh_div_crv(p.get(), 0, 0.0, &raw, &st);
  ASSERT_EQ(st, 0);
  CurveHandle q(raw);
  ASSERT_EQ(q->vertex_count, 3);
  EXPECT_DOUBLE_EQ(q->coefs[0], 6.0);
  EXPECT_DOUBLE_EQ(q->coefs[1], -1.5);
  EXPECT_DOUBLE_EQ(q->coefs[2], 5.0);
  const std::vector<double> knots(q->knots, q->knots + 6);
  EXPECT_EQ(knots, (std::vector<double>{0, 0, 0, 1, 1, 1}));
}

TEST(DivideCurveByFactor, RejectedCurves) {
  isect_test::ReportLog log;
  auto quadratic_two_pieces = curve({0, 0, 0, 0.5, 1, 1, 1}, 3, {0, 1, 2, 3}, 1, 1);
  auto linear = curve(single_piece(2, 0, 1), 2, {0, 1}, 1, 1);
  auto rational = curve(single_piece(3, 0, 1), 3, {0, 1, 1, 0.7, 2, 1}, 2, 1);
  struct Case {
    const spline_curve* curve;
    int expected;
  } cases[] = {{nullptr, -150}, {linear.get(), -151}, {quadratic_two_pieces.get(), -152},
               {rational.get(), -121}};
  for (const auto& c : cases) {
    log.clear();
    spline_curve* raw = nullptr;
    int st = 0;
    sh_div_crv(c.curve, 1, 0.0, &raw, &st);
    EXPECT_EQ(st, c.expected);
    EXPECT_EQ(raw, nullptr);
    EXPECT_TRUE(log.named("sh_div_crv"));
  }
}

struct SurfaceDivisionCase {
  int k1, k2;
  int flag1, flag2;
};

TEST(DivideSurfaceByFactor, MultipliedBackAtSamplePoints) {
  const SurfaceDivisionCase cases[] = {{3, 3, -1, 1}, {3, 3, 0, -1}, {3, 4, 1, 0},
                                       {4, 3, 0, 0},  {5, 3, 1, 1},  {3, 6, -1, 0},
                                       {4, 4, -1, -1}};
  const double u0 = -1.0, u1 = 1.0, v0 = 2.0, v1 = 3.5;
  std::mt19937 rng(1784);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "orders " << c.k1 << "x" << c.k2 << " flags " << c.flag1
                                    << "," << c.flag2);
    for (const int dim : {1, 3}) {
      auto coefs = random_values(rng, static_cast<size_t>(c.k1 * c.k2 * dim));
      // Zero along the edges whose factors are divided out.
      for (int j = 0; j < c.k2; ++j)
        for (int i = 0; i < c.k1; ++i) {
          const bool on1 = c.flag1 >= 0 && i == (c.flag1 ? c.k1 - 1 : 0);
          const bool on2 = c.flag2 >= 0 && j == (c.flag2 ? c.k2 - 1 : 0);
          if (on1 || on2)
            for (int d = 0; d < dim; ++d) coefs[static_cast<size_t>((j * c.k1 + i) * dim + d)] = 0;
        }
      auto p = surface(single_piece(c.k1, u0, u1), single_piece(c.k2, v0, v1), c.k1, c.k2,
                       coefs, 1, dim);
      spline_surface* raw = nullptr;
      int st = -7;
      divide_surface_factor(p.get(), c.flag1, c.flag2, 1e-9, &raw, &st);
      ASSERT_EQ(st, 0);
      SurfaceHandle q(raw);
      EXPECT_EQ(q->order1, c.flag1 >= 0 ? c.k1 - 1 : c.k1);
      EXPECT_EQ(q->order2, c.flag2 >= 0 ? c.k2 - 1 : c.k2);
      EXPECT_EQ(q->vertex_count1, q->order1);
      EXPECT_EQ(q->vertex_count2, q->order2);
      for (int i = 0; i <= 6; ++i)
        for (int j = 0; j <= 6; ++j) {
          const double su = i / 6.0, sv = j / 6.0;
          const double u = u0 + (u1 - u0) * su, v = v0 + (v1 - v0) * sv;
          double factor = 1.0;
          if (c.flag1 >= 0) factor *= c.flag1 ? 1.0 - su : su;
          if (c.flag2 >= 0) factor *= c.flag2 ? 1.0 - sv : sv;
          const auto pv = eval_surface(p.get(), u, v);
          const auto qv = eval_surface(q.get(), u, v);
          for (int d = 0; d < dim; ++d) EXPECT_NEAR(factor * qv[d], pv[d], 1e-12);
        }
    }
  }
}

TEST(DivideSurfaceByFactor, RejectedSurfaces) {
  isect_test::ReportLog log;
  // Two pieces in the second direction.
  auto pieces = surface(single_piece(3, 0, 1), {0, 0, 0, 0.5, 1, 1, 1}, 3, 3,
                        std::vector<double>(12, 1.0), 1, 1);
  spline_surface* raw = nullptr;
  int st = 0;
  divide_surface_factor(pieces.get(), 0, -1, 0.0, &raw, &st);
  const SurfaceHandle owned_raw1(raw);
  EXPECT_EQ(st, 0);  // the single-piece direction divides
  raw = nullptr;
  divide_surface_factor(pieces.get(), -1, 1, 0.0, &raw, &st);
  EXPECT_EQ(st, -152);
  EXPECT_EQ(raw, nullptr);
  EXPECT_TRUE(log.named("divide_surface_factor"));
  divide_surface_factor(nullptr, 0, 0, 0.0, &raw, &st);
  EXPECT_EQ(st, -150);
}

// f(u, v) = (1 - v) g(u, v) + c on [0, 1]^2 with g(u, v) = u - 0.4 - 0.2 v + 0.3 u v:
// f equals c along the edge v = 1.  Biquadratic, single piece.
SurfaceHandle edge_level_surface(double c) {
  const std::vector<double> t = single_piece(3, 0, 1);
  // Power coefficients a[p][q] of u^p v^q.
  // (1 - v)(u - 0.4 - 0.2 v + 0.3 u v) + c
  //   = c - 0.4 + u - 0.2 v + 0.4 v + 0.3 u v - u v + 0.2 v^2 - 0.3 u v^2
  return poly_surface_1d({{c - 0.4, 0.2, 0.2}, {1.0, -0.7, -0.3}}, t, t, 3, 3);
}

double edge_level_g(double u, double v) { return u - 0.4 - 0.2 * v + 0.3 * u * v; }

TEST(OneDimReduce, DividesTheSurfaceMinusTheLevel) {
  for (const double c : {0.0, 0.75, -2.5}) {
    SCOPED_TRACE(c);
    auto f = edge_level_surface(c);
    // The coefficients on the edge v = 1 equal c up to rounding.
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(f->coefs[6 + i], c, 1e-14);
    spline_surface* raw = nullptr;
    int st = -7;
    sh_1d_div_reduce(f.get(), c, -1, 1, 1e-9, &raw, &st);
    ASSERT_EQ(st, 0);
    SurfaceHandle r(raw);
    EXPECT_EQ(r->order1, 3);
    EXPECT_EQ(r->order2, 2);
    // The zero set of the reduced surface is the level curve of f off the edge: r = g.
    for (int i = 0; i <= 8; ++i)
      for (int j = 0; j <= 8; ++j) {
        const double u = i / 8.0, v = j / 8.0;
        EXPECT_NEAR(eval_surface(r.get(), u, v)[0], edge_level_g(u, v), 1e-12);
      }
  }
}

TEST(OneDimReduce, SnapsCoefficientsNearTheLevel) {
  auto f = edge_level_surface(1.0);
  const double eps = 1e-6;
  f->coefs[7] += 0.4 * eps;  // an edge coefficient off by less than the tolerance
  const double inner = f->coefs[4];
  spline_surface* raw = nullptr;
  int st = -7;
  sh_1d_div_reduce(f.get(), 1.0, -1, 1, eps, &raw, &st);
  ASSERT_EQ(st, 0);
  SurfaceHandle r(raw);
  EXPECT_EQ(f->coefs[7], 1.0);
  EXPECT_EQ(f->coefs[4], inner);
}

// ---- The case selection of the one-dimensional division

using isect_test::Graph;
using EdgeTablePtr = std::unique_ptr<edge_table, decltype(&destroy_edge_table)>;

struct EdgeSetup {
  Graph graph;
  EdgeTablePtr table{create_edge_table(4), destroy_edge_table};
  edge_table* tables[2] = {nullptr, nullptr};
  EdgeSetup() { tables[0] = table.get(); }
  isect_point* add(double u, double v) {
    isect_point* p = graph.add({u, v});
    edge_node* node = create_edge_node(p);
    node->next = table->heads[0];
    table->heads[0] = node;
    ++table->point_count;
    return p;
  }
  // Connects two points along the edge where parameter `fixed` is constant.
  void along(isect_point* p, isect_point* q, int fixed) {
    graph.link(p, q);
    int st = 0;
    sh6setcnsdir(p, q, fixed, &st);
    EXPECT_EQ(st, 0);
  }
};

ObjectPtr surface_object_of(SurfaceHandle s) {
  ObjectPtr o = wrap(std::move(s));
  o->origin = o.get();
  return o;
}

ObjectPtr level_point(double c) {
  ObjectPtr o = wrap(point({c}));
  o->origin = o.get();
  return o;
}

TEST(OneDimEdges, CornerPairsOnCommonEdges) {
  const double c = 0.5;
  auto point_obj = level_point(c);
  {
    SCOPED_TRACE("one edge of constant second parameter at its end");
    auto s = surface_object_of(edge_level_surface(c));
    EdgeSetup e;
    isect_point* a = e.add(1, 1);
    isect_point* b = e.add(0, 1);
    e.along(a, b, 1);
    one_dim_edges edges{};
    int st = -7;
    sh_1d_div_edges(s.get(), point_obj.get(), e.tables, &edges, &st);
    EXPECT_EQ(st, 1);
    EXPECT_EQ(edges.flag1, -1);
    EXPECT_EQ(edges.flag2, 1);
    ASSERT_EQ(edges.count2, 2);
    EXPECT_EQ(edges.chain2[0]->params[0], 0.0);
    EXPECT_EQ(edges.chain2[1]->params[0], 1.0);
    EXPECT_EQ(edges.count1, 0);
  }
  {
    SCOPED_TRACE("three corners: two edges and a diagonal");
    auto s = surface_object_of(edge_level_surface(c));
    EdgeSetup e;
    // The table lists nodes last-added first: add in reverse to get (0,0), (1,0), (1,1).
    isect_point* p11 = e.add(1, 1);
    isect_point* p10 = e.add(1, 0);
    isect_point* p00 = e.add(0, 0);
    e.along(p00, p10, 1);
    e.along(p10, p11, 0);
    e.graph.link(p00, p11);
    one_dim_edges edges{};
    int st = -7;
    sh_1d_div_edges(s.get(), point_obj.get(), e.tables, &edges, &st);
    EXPECT_EQ(st, 1);
    EXPECT_EQ(edges.flag2, 0);
    EXPECT_EQ(edges.flag1, 1);
    ASSERT_EQ(edges.count2, 2);
    EXPECT_EQ(edges.chain2[0], p00);
    EXPECT_EQ(edges.chain2[1], p10);
    ASSERT_EQ(edges.count1, 2);
    EXPECT_EQ(edges.chain1[0], p10);
    EXPECT_EQ(edges.chain1[1], p11);
  }
}

TEST(OneDimEdges, CasesLeftToSubdivision) {
  const double c = 0.5;
  auto point_obj = level_point(c);
  auto t3 = single_piece(3, 0, 1);
  struct Case {
    const char* name;
    SurfaceHandle surface;
    bool diagonal;
    bool single_corner;
  };
  std::vector<Case> cases;
  cases.push_back({"order 2 in the first direction",
                   poly_surface_1d({{c, 1.0}}, single_piece(2, 0, 1), t3, 2, 3), false, false});
  cases.push_back({"two pieces in the second direction",
                   poly_surface_1d({{c, 1.0}}, t3, {0, 0, 0, 0.5, 1, 1, 1}, 3, 3), false, false});
  cases.push_back({"corners on a diagonal", edge_level_surface(c), true, false});
  cases.push_back({"one corner and an edge point", edge_level_surface(c), false, true});
  for (auto& cs : cases) {
    SCOPED_TRACE(cs.name);
    auto s = surface_object_of(std::move(cs.surface));
    EdgeSetup e;
    isect_point* a = e.add(0, 1);
    isect_point* b = cs.diagonal ? e.add(1, 0) : cs.single_corner ? e.add(0.5, 1) : e.add(1, 1);
    if (cs.diagonal)
      e.graph.link(a, b);
    else
      e.along(a, b, 1);
    one_dim_edges edges{};
    int st = -7;
    sh_1d_div_edges(s.get(), point_obj.get(), e.tables, &edges, &st);
    EXPECT_EQ(st, 0);
    // The whole routine leaves the data alone.
    st = -7;
    const double before = s->surface->coefs[0];
    sh_1d_div(s.get(), point_obj.get(), 1e-6, &e.graph.data, e.tables, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(e.graph.size(), 2);
    EXPECT_EQ(s->surface->coefs[0], before);
  }
}

TEST(OneDimEdges, ObjectKinds) {
  isect_test::ReportLog log;
  auto point_obj = level_point(0.5);
  auto three_d = surface_object_of(surface(single_piece(3, 0, 1), single_piece(3, 0, 1), 3, 3,
                                           std::vector<double>(27, 0.0), 1, 3));
  auto curve_obj = wrap(line({0.0}, {1.0}));
  EdgeSetup e;
  int st = 0;
  sh_1d_div(three_d.get(), point_obj.get(), 1e-6, &e.graph.data, e.tables, &st);
  EXPECT_EQ(st, -150);
  EXPECT_TRUE(log.named("sh_1d_div"));
  sh_1d_div(curve_obj.get(), point_obj.get(), 1e-6, &e.graph.data, e.tables, &st);
  EXPECT_EQ(st, -150);
  // A surface against something other than a value: not this case.
  auto s = surface_object_of(edge_level_surface(0.5));
  auto point2 = wrap(point({0.5, 0.5}));
  log.clear();
  sh_1d_div(s.get(), point2.get(), 1e-6, &e.graph.data, e.tables, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(log.count(), 0);
}

// ---- Insertion with identification

TEST(OneDimInsert, IdentifiesPointsOnTheSameLevelPiece) {
  // f(u, v) = u: the level 0.5 is the line u = 0.5.
  auto f = poly_surface_1d({{0.0}, {1.0}}, single_piece(3, 0, 1), single_piece(3, 0, 1), 3, 3);
  auto c = point({0.5});
  isect_data* data = nullptr;
  struct DataGuard {
    isect_data** d;
    ~DataGuard() { destroy_isect_data(*d); }
  } guard{&data};
  auto make = [](double u, double v) {
    const double p[2] = {u, v};
    return create_isect_point_geom(2, p, 0.0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  };
  isect_point* first = make(0.5, 0.2);
  int st = -7;
  sh_1d_div_sh9idnpt(f.get(), c.get(), &data, &first, 1, 1e-9, &st);
  EXPECT_EQ(st, 0);
  ASSERT_NE(data, nullptr);
  sh_1d_div_sh9idnpt(f.get(), c.get(), &data, &first, 1, 1e-9, &st);
  EXPECT_EQ(st, 1);
  isect_point* near = make(0.5, 0.2 + 1e-7);
  sh_1d_div_sh9idnpt(f.get(), c.get(), &data, &near, 1, 1e-9, &st);
  EXPECT_EQ(st, 2);
  EXPECT_EQ(near, first);
  // Farther along the level line than the identification distance.
  isect_point* far = make(0.5, 0.9);
  sh_1d_div_sh9idnpt(f.get(), c.get(), &data, &far, 1, 1e-9, &st);
  EXPECT_EQ(st, 0);
  // Without identification a close point is appended.
  isect_point* close = make(0.5, 0.2 + 1e-7);
  sh_1d_div_sh9idnpt(f.get(), c.get(), &data, &close, 0, 1e-9, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(data->point_count, 3);
  // The point array grows past its first capacity.
  for (int i = 0; i < 45; ++i) {
    isect_point* p = make(0.5, 0.01 * i + 0.3);
    sh_1d_div_sh9idnpt(f.get(), c.get(), &data, &p, 0, 1e-9, &st);
    ASSERT_EQ(st, 0);
  }
  EXPECT_EQ(data->point_count, 48);
  EXPECT_GE(data->point_capacity, 48);
  EXPECT_EQ(data->points[47]->params[1], 0.01 * 44 + 0.3);
}

// ---- Carrying the reduced problem's points back

// Level curve of edge_level_surface off the edge v = 1: u = (0.4 + 0.2 v) / (1 + 0.3 v).
double level_u(double v) { return (0.4 + 0.2 * v) / (1 + 0.3 * v); }

TEST(OneDimMerge, PointsChainsAndConnections) {
  const double c = 0.25, eps = 1e-7;
  auto s = surface_object_of(edge_level_surface(c));
  auto point_obj = level_point(c);
  EdgeSetup e;
  isect_point* left = e.add(0, 1);
  isect_point* right = e.add(1, 1);
  e.along(left, right, 1);
  // A point of the caller's data that a point of the reduced problem coincides with.
  const double v_near = 1e-8;
  isect_point* held = e.graph.add({level_u(v_near), v_near});
  one_dim_edges edges{};
  int st = -7;
  sh_1d_div_edges(s.get(), point_obj.get(), e.tables, &edges, &st);
  ASSERT_EQ(st, 1);

  // The reduced problem's result: a chain from the edge v = 1 down to v = 0, with a
  // chain of two help points hanging off its middle.
  Graph sub;
  isect_point* top = sub.add({level_u(1.0), 1.0});
  isect_point* help1 = sub.add({level_u(0.4), 0.4}, -1);
  isect_point* mid = sub.add({level_u(0.5), 0.5});
  isect_point* bottom = sub.add({level_u(0.0), 0.0});
  isect_point* help2 = sub.add({level_u(0.3), 0.3}, -1);
  sub.chain({top, mid, bottom});
  sub.chain({mid, help1, help2});
  sh6setdir(mid, bottom, &st);
  ASSERT_EQ(st, 0);
  sh6settop(mid, -1, 1, 2, 0, 0, &st);
  ASSERT_EQ(st, 0);
  const int mark_mid_bottom = isect_test::mask_toward(mid, bottom);
  const int mark_bottom_mid = isect_test::mask_toward(bottom, mid);

  sh_1d_div_merge(s.get(), point_obj.get(), eps, &sub.data, &edges, &e.graph.data, &st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(isect_test::graph_problem(e.graph.data), "");
  EXPECT_EQ(isect_test::graph_problem(sub.data), "");
  // The help points are gone from the reduced problem.
  EXPECT_EQ(sub.size(), 3);
  EXPECT_EQ(mid->neighbour_count, 2);

  // Corners, the held point and the copies of top and mid; bottom became the held point.
  ASSERT_EQ(e.graph.size(), 5);
  auto find = [&](double u, double v) -> isect_point* {
    for (int i = 0; i < e.graph.size(); ++i) {
      isect_point* p = e.graph.data->points[i];
      if (p->params[0] == u && p->params[1] == v) return p;
    }
    return nullptr;
  };
  isect_point* top_copy = find(level_u(1.0), 1.0);
  isect_point* mid_copy = find(level_u(0.5), 0.5);
  ASSERT_NE(top_copy, nullptr);
  ASSERT_NE(mid_copy, nullptr);
  EXPECT_EQ(find(level_u(0.0), 0.0), nullptr);
  // The copy on the edge sits in the edge's chain between the corners.
  EXPECT_LT(neighbour_index(left, right), 0);
  EXPECT_GE(neighbour_index(left, top_copy), 0);
  EXPECT_GE(neighbour_index(right, top_copy), 0);
  // The edge's constant-parameter mark is kept on both new segments.
  EXPECT_NE(isect_test::mask_toward(left, top_copy) & 4, 0);
  EXPECT_NE(isect_test::mask_toward(top_copy, right) & 4, 0);
  // The sub-problem's connections, their marks carried over.
  EXPECT_GE(neighbour_index(top_copy, mid_copy), 0);
  ASSERT_GE(neighbour_index(mid_copy, held), 0);
  EXPECT_EQ(isect_test::mask_toward(mid_copy, held) & mark_mid_bottom, mark_mid_bottom);
  EXPECT_EQ(isect_test::mask_toward(held, mid_copy) & mark_bottom_mid, mark_bottom_mid);
  EXPECT_TRUE(is_main_point(mid_copy));
  EXPECT_TRUE(is_main_point(top_copy));
  // A copy keeps the own side markers of its original.
  int a = 0, cc = 0, b = 0, d = 0;
  sh6gettop(mid_copy, -1, &a, &cc, &b, &d, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(cc, 2);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(d, 0);
}

TEST(OneDimMerge, EmptyOrHelpOnlyResults) {
  const double c = 0.25;
  auto s = surface_object_of(edge_level_surface(c));
  auto point_obj = level_point(c);
  EdgeSetup e;
  isect_point* left = e.add(0, 1);
  isect_point* right = e.add(1, 1);
  e.along(left, right, 1);
  one_dim_edges edges{};
  int st = -7;
  sh_1d_div_edges(s.get(), point_obj.get(), e.tables, &edges, &st);
  ASSERT_EQ(st, 1);
  isect_data* none = nullptr;
  sh_1d_div_merge(s.get(), point_obj.get(), 1e-7, &none, &edges, &e.graph.data, &st);
  EXPECT_EQ(st, 0);
  Graph sub;
  sub.chain({sub.add({0.3, 0.2}, -1), sub.add({0.3, 0.3}, -1)});
  sh_1d_div_merge(s.get(), point_obj.get(), 1e-7, &sub.data, &edges, &e.graph.data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(sub.data, nullptr);
  EXPECT_EQ(e.graph.size(), 2);
  EXPECT_GE(neighbour_index(left, right), 0);
}

// ---- The whole case through the recursive driver

// f(u, v) = (1 - v) (u - 0.5) + c on [0, 1]^2, biquadratic: the level c is the edge
// v = 1 and the line u = 0.5.
SurfaceHandle line_level_surface(double c) {
  return poly_surface_1d({{c - 0.5, 0.5}, {1.0, -1.0}}, single_piece(3, 0, 1),
                         single_piece(3, 0, 1), 3, 3);
}

// Dense sampling of the level set of f against the connections of the data: along
// each of 40 lines of constant v below 1, every sign change of f - c must lie on a
// connection of two points of the data (linear between them, within the sampling
// step); along the edge v = 1, where f equals c, every sampled u must lie on a
// connection running along the edge.
void expect_level_set_covered(const spline_surface* f, double c, const isect_data* data) {
  ASSERT_NE(data, nullptr);
  const int n = 400;
  auto on_connection = [&](double u, double v, bool along_edge) {
    for (int i = 0; i < data->point_count; ++i) {
      const isect_point* p = data->points[i];
      for (int k = 0; k < p->neighbour_count; ++k) {
        const isect_point* q = p->neighbours[k];
        if (along_edge) {
          if (p->params[1] == 1.0 && q->params[1] == 1.0 &&
              std::fmin(p->params[0], q->params[0]) <= u && u <= std::fmax(p->params[0], q->params[0]))
            return true;
          continue;
        }
        const double v0 = std::fmin(p->params[1], q->params[1]);
        const double v1 = std::fmax(p->params[1], q->params[1]);
        if (v < v0 || v > v1 || v1 - v0 < 1e-12) continue;
        const double w = (v - p->params[1]) / (q->params[1] - p->params[1]);
        const double us = p->params[0] + w * (q->params[0] - p->params[0]);
        if (std::fabs(us - u) <= 1.0 / n) return true;
      }
    }
    return false;
  };
  for (int j = 0; j < 40; ++j) {
    const double v = (j + 0.5) / 40;
    double prev = eval_surface(f, 0.0, v)[0] - c;
    for (int i = 1; i <= n; ++i) {
      const double u = static_cast<double>(i) / n;
      const double fv = eval_surface(f, u, v)[0] - c;
      if ((prev < 0) != (fv < 0)) {
        EXPECT_TRUE(on_connection(u - 0.5 / n, v, false)) << "v " << v << " u " << u;
      }
      prev = fv;
    }
  }
  for (int i = 0; i <= 20; ++i) {
    const double u = i / 20.0;
    EXPECT_NEAR(eval_surface(f, u, 1.0)[0], c, 1e-12);
    EXPECT_TRUE(on_connection(u, 1.0, true)) << "edge u " << u;
  }
}

TEST(OneDimDivision, LevelLineAgainstDenseSampling) {
  for (const double c : {0.0, 0.3, -1.2}) {
    SCOPED_TRACE(c);
    auto s = surface_object_of(line_level_surface(c));
    auto point_obj = level_point(c);
    EdgeSetup e;
    isect_point* left = e.add(0, 1);
    isect_point* right = e.add(1, 1);
    e.along(left, right, 1);
    const double eps = 1e-7;
    int st = -7;
    sh_1d_div(s.get(), point_obj.get(), eps, &e.graph.data, e.tables, &st);
    ASSERT_EQ(st, 1);
    EXPECT_EQ(isect_test::graph_problem(e.graph.data), "");
    for (int i = 0; i < e.graph.size(); ++i) {
      const isect_point* p = e.graph.data->points[i];
      EXPECT_NEAR(eval_surface(s->surface, p->params[0], p->params[1])[0], c, 10 * eps);
    }
    expect_level_set_covered(s->surface, c, e.graph.data);
    // The point where the line meets the edge is in the edge's chain.
    EXPECT_LT(neighbour_index(left, right), 0);
    ASSERT_EQ(left->neighbour_count, 1);
    const isect_point* on_edge = left->neighbours[0];
    EXPECT_NEAR(on_edge->params[0], 0.5, 10 * eps);
    EXPECT_EQ(on_edge->params[1], 1.0);
    EXPECT_GE(neighbour_index(on_edge, right), 0);
  }
}

// The same surface given to the recursive driver, as one piece (the edge v = 1 is found
// by the edge curves and the one-dimensional division settles the piece) and as two
// pieces in v.
TEST(OneDimDivision, DriverFindsTheLevelLineAndTheEdge) {
  for (const double c : {0.0, 0.3})
    for (const bool two_pieces : {false, true}) {
      SCOPED_TRACE(testing::Message() << "level " << c << (two_pieces ? " two pieces" : ""));
      auto f = two_pieces ? poly_surface_1d({{c - 0.5, 0.5}, {1.0, -1.0}}, single_piece(3, 0, 1),
                                            {0, 0, 0, 0.5, 1, 1, 1}, 3, 3)
                          : line_level_surface(c);
      auto s = surface_object_of(std::move(f));
      auto point_obj = level_point(c);
      isect_data* data = nullptr;
      int st = -7;
      sh1761(s.get(), point_obj.get(), 1e-7, &data, &st);
      EXPECT_EQ(st, 1);
      EXPECT_EQ(isect_test::graph_problem(data), "");
      expect_level_set_covered(s->surface, c, data);
      destroy_isect_data(data);
    }
}

// f(u, v) = (1 - v) g(u, v) + c with g = (u - 0.5)^2 + (v - 0.4)^2 - 0.04: the level
// c is the edge v = 1 and the circle of radius 0.2 about (0.5, 0.4).
SurfaceHandle circle_level_surface(double c) {
  // (1 - v)((u - 0.5)^2 + (v - 0.4)^2 - 0.04) + c; g = u^2 - u + v^2 - 0.8 v + 0.37.
  // (1 - v) g = g - v g
  //   = u^2 - u + v^2 - 0.8 v + 0.37 - u^2 v + u v - v^3 + 0.8 v^2 - 0.37 v
  std::vector<std::vector<double>> a = {{c + 0.37, -1.17, 1.8, -1.0},
                                        {-1.0, 1.0, 0.0, 0.0},
                                        {1.0, -1.0, 0.0, 0.0}};
  return poly_surface_1d(a, single_piece(3, 0, 1), single_piece(4, 0, 1), 3, 4);
}

TEST(OneDimDivision, LevelCurvesAgainstDenseSampling) {
  for (const double c : {0.0, 0.3}) {
    SCOPED_TRACE(c);
    auto s = surface_object_of(circle_level_surface(c));
    auto point_obj = level_point(c);
    EdgeSetup e;
    isect_point* left = e.add(0, 1);
    isect_point* right = e.add(1, 1);
    e.along(left, right, 1);
    const double eps = 1e-7;
    int st = -7;
    sh_1d_div(s.get(), point_obj.get(), eps, &e.graph.data, e.tables, &st);
    ASSERT_EQ(st, 1);
    EXPECT_EQ(isect_test::graph_problem(e.graph.data), "");
    // Every point lies on the level set: the circle or the edge.
    auto g = [](double u, double v) { return (u - 0.5) * (u - 0.5) + (v - 0.4) * (v - 0.4) - 0.04; };
    std::vector<double> angles;
    for (int i = 0; i < e.graph.size(); ++i) {
      const isect_point* p = e.graph.data->points[i];
      const double u = p->params[0], v = p->params[1];
      EXPECT_NEAR(eval_surface(s->surface, u, v)[0], c, 10 * eps);
      if (std::fabs(v - 1.0) <= 1e-9) continue;
      // Off the edge, the level set is the circle, sampled densely here.
      double nearest = 1e300;
      for (int k = 0; k < 3600; ++k) {
        const double a = 2 * M_PI * k / 3600;
        nearest = std::fmin(nearest, std::hypot(u - 0.5 - 0.2 * std::cos(a),
                                                v - 0.4 - 0.2 * std::sin(a)));
      }
      EXPECT_LT(nearest, 1e-3);
      EXPECT_NEAR(g(u, v), 0.0, 1e-5);
      if (is_main_point(p)) {
        EXPECT_EQ(p->neighbour_count, 2);
        angles.push_back(std::atan2(v - 0.4, u - 0.5));
      }
    }
    // The circle is followed all round: no gap of a third of it between its points.
    ASSERT_GE(angles.size(), 3u);
    std::sort(angles.begin(), angles.end());
    double gap = angles.front() + 2 * M_PI - angles.back();
    for (size_t k = 1; k < angles.size(); ++k) gap = std::fmax(gap, angles[k] - angles[k - 1]);
    EXPECT_LT(gap, 2 * M_PI / 3);
    // The edge keeps its two corners connected through the points put on it.
    EXPECT_TRUE(e.graph.holds(left));
    EXPECT_TRUE(e.graph.holds(right));
  }
}

}  // namespace
