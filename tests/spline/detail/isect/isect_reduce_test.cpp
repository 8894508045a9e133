#include <gtest/gtest.h>

#include "isect_fixture.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_reduce.h"

using namespace isect_test;

namespace {

// Edge search: every point whose parameter of that direction equals the value.
void edge_search(geom_object* o1, geom_object*, int which, int direction, double value,
                 isect_data* data, edge_node** head, int* count, int* st) {
  const int idx = (which == 1 ? 0 : o1->kind) + direction - 1;
  for (int i = 0; data && i < data->point_count; ++i) {
    isect_point* pt = data->points[i];
    if (pt->params[idx] != value) continue;
    edge_node* n = create_edge_node(pt);
    n->next = *head;
    *head = n;
    ++*count;
  }
  *st = 0;
}

// The plane z = 0: a surface point is (u, v, 0) and projects back to its (x, y).
void plane_eval(const spline_surface*, int, const double* par, int*, int*, double* out, double* n,
                int* st) {
  out[0] = par[0];
  out[1] = par[1];
  out[2] = 0;
  n[0] = n[1] = 0;
  n[2] = 1;
  *st = 0;
}
void plane_project(spline_point* pt, spline_surface*, double, const double*, const double*,
                   const double*, double* res, int* st) {
  res[0] = pt->coords[0];
  res[1] = pt->coords[1];
  *st = 1;
}

geom_object* curve_with_inner_knot() {
  double k[5] = {0, 0, 0.5, 1, 1};
  double c[9] = {0, 0, 0, 1, 0, 0, 2, 0, 0};
  geom_object* obj = create_geom_object(kCurveObject);
  obj->curve = create_curve(3, 2, k, c, 1, 3, 1);
  obj->origin = obj;
  return obj;
}

class Reduce : public testing::Test {
 protected:
  void SetUp() override {
    isect_services().s6idedg = edge_search;
    isect_services().s1421 = plane_eval;
    isect_services().s1773 = plane_project;
  }
  ServiceGuard guard;
  Graph g;
};

TEST_F(Reduce, EdgeHelpPointIsDroppedOrPromotedByTheKnotsBetween) {
  struct Case {
    double help_first;
    bool dropped;
  } cases[] = {{0.2, true}, {0.7, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.help_first);
    ObjectPair objs(curve_with_inner_knot(), curve_object(0, 1));
    Graph local;
    isect_point* m = local.add({0.0, 0.3}, 1);  // on the first curve's start
    isect_point* h = local.add({c.help_first, 0.0}, -1);  // on the second curve's start
    local.link(m, h);
    edge_table* tables[2] = {create_edge_table(2), create_edge_table(2)};
    int st = 0;
    sh6idalledg(objs.o1, objs.o2, local.data, tables, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(tables[0]->point_count, 1);
    EXPECT_EQ(tables[0]->heads[0]->point, m);
    if (c.dropped) {
      EXPECT_EQ(tables[1]->point_count, 0);
      EXPECT_EQ(tables[1]->heads[0], nullptr);
      EXPECT_EQ(h->kind, -1);
    } else {
      EXPECT_EQ(tables[1]->point_count, 1);
      EXPECT_EQ(h->kind, 1);
    }
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
  }
}

TEST_F(Reduce, EdgeSearchFailureIsReported) {
  ObjectPair objs(curve_object(0, 1), curve_object(0, 1));
  isect_services() = isect_missing_services();
  g.add({0.0, 0.5});
  edge_table* tables[2] = {create_edge_table(2), create_edge_table(2)};
  ReportLog log;
  int st = 0;
  sh6idalledg(objs.o1, objs.o2, g.data, tables, &st);
  EXPECT_EQ(st, kIsectServiceMissing);
  EXPECT_TRUE(log.named("sh6idalledg"));
  destroy_edge_table(tables[0]);
  destroy_edge_table(tables[1]);
}

TEST_F(Reduce, InteriorKindThreePointMergesIntoItsFirstNeighbour) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));
  isect_point* a = g.add({0.0, 0.2, 0.2}, 3);
  isect_point* p = g.add({0.3, 0.3, 0.3}, 3);
  isect_point* b = g.add({0.0, 0.4, 0.4}, 3);
  g.chain({a, p, b});
  int st = 0;
  sh6edgred(objs.o1, objs.o2, &g.data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_FALSE(g.holds(p));
  EXPECT_EQ(g.size(), 2);
  EXPECT_EQ(a->params[1], 0.2) << "the neighbour keeps its parameters";
  EXPECT_GE(neighbour_index(a, b), 0) << "and takes over the point's connections";
  EXPECT_EQ(graph_problem(g.data), "");
}

TEST_F(Reduce, InteriorKindThreeEndBecomesAHelpPoint) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));
  isect_point* e = g.add({0.3, 0.3, 0.3}, 3);
  isect_point* m = g.add({0.0, 0.4, 0.4}, 1);
  g.link(e, m);
  int st = 0;
  sh6edgred(objs.o1, objs.o2, &g.data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(e->kind, -3);
}

TEST_F(Reduce, RunAlongACommonEdgeGetsSingularEnds) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  // The run lies on u = 0 of the first surface; at both ends an intersection curve goes
  // on through the inside to another boundary.
  isect_point* e[3];
  for (int i = 0; i < 3; ++i) e[i] = g.add({0.0, 0.2 + 0.3 * i, 0.5, 0.5}, 3);
  g.chain({e[0], e[1], e[2]});
  int st = 0;
  sh6setcnsdir(e[0], e[1], 0, &st);
  sh6setcnsdir(e[1], e[2], 0, &st);
  isect_point* x0 = g.add({0.3, 0.3, 0.5, 0.5}, 1);
  isect_point* y0 = g.add({0.5, 0.0, 0.5, 0.5}, 1);
  isect_point* x2 = g.add({0.3, 0.7, 0.5, 0.5}, 1);
  isect_point* y2 = g.add({0.5, 1.0, 0.5, 0.5}, 1);
  g.chain({y0, x0, e[0]});
  g.chain({e[2], x2, y2});
  sh6edgred(objs.o1, objs.o2, &g.data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(e[0]->kind, 2);
  EXPECT_EQ(e[2]->kind, 2);
  EXPECT_EQ(x0->kind, 1);
  EXPECT_EQ(graph_problem(g.data), "");
}

TEST_F(Reduce, OverlapEndInsideItsCurveBecomesAHelpPoint) {
  ObjectPair objs(curve_object(0, 1), curve_object(0, 1));
  isect_point* q = g.add({0.0, 0.0}, 1);  // at both curves' starts
  isect_point* b = g.add({0.0, 0.6}, 1);  // the second parameter inside its curve
  g.link(q, b);
  int st = 0;
  sh6edgred(objs.o1, objs.o2, &g.data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(q->kind, 1);
  EXPECT_EQ(b->kind, -1);
}

TEST_F(Reduce, ClusterOfInteriorKindThreePointsBecomesOneSingularPoint) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  isect_point* e[3];
  for (int i = 0; i < 3; ++i) {
    const double x = 0.2 + 0.1 * i;
    e[i] = g.add({x, x, x, x}, 3);
  }
  g.chain({e[0], e[1], e[2], e[0]});
  int st = 0;
  sh6red(objs.o1, objs.o2, &g.data, &st);
  EXPECT_EQ(st, 0);
  ASSERT_EQ(g.size(), 1);
  isect_point* left = g.data->points[0];
  EXPECT_EQ(left, e[0]);
  EXPECT_EQ(left->kind, 2);
  // Weight 1.0 with four parameters: the position of the last united point.
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(left->params[i], 0.4);
}

TEST_F(Reduce, OddSpurAtABoundaryBranchIsCut) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  isect_point* p = g.add({0.0, 0.5, 0.5, 0.5}, 3);
  isect_point* n0 = g.add({0.0, 0.3, 0.5, 0.5}, 3);
  isect_point* n1 = g.add({0.0, 0.7, 0.5, 0.5}, 3);
  isect_point* n2 = g.add({0.5, 0.5, 0.0, 0.5}, 3);
  isect_point* beyond = g.add({0.5, 0.6, 0.0, 0.5}, 1);
  g.link(p, n0);
  g.link(p, n1);
  g.link(p, n2);
  g.link(n2, beyond);
  int st = 0;
  sh6setcnsdir(p, n0, 0, &st);
  sh6setcnsdir(p, n1, 0, &st);
  sh6setcnsdir(p, n2, 2, &st);
  sh6red(objs.o1, objs.o2, &g.data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_FALSE(g.holds(n2));
  EXPECT_TRUE(g.holds(n0));
  EXPECT_TRUE(g.holds(n1));
  EXPECT_EQ(p->neighbour_count, 2);
  EXPECT_EQ(beyond->neighbour_count, 0) << "removed without bridging";
  EXPECT_EQ(graph_problem(g.data), "");
}

TEST_F(Reduce, DanglingInteriorMainPointsAreDemoted) {
  ObjectPair objs(curve_object(0, 1), curve_object(0, 1));
  isect_point* a = g.add({0.3, 0.3}, 1);
  isect_point* b = g.add({0.0, 0.5}, 1);
  g.link(a, b);
  int st = 0;
  sh6red(objs.o1, objs.o2, &g.data, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(a->kind, -1);
  EXPECT_EQ(b->kind, 1);
  isect_data* none = nullptr;
  sh6edgred(objs.o1, objs.o2, &none, &st);
  EXPECT_EQ(st, 0);
}

}  // namespace
