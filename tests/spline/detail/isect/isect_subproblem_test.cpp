#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "isect_fixture.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_subproblem.h"

using namespace isect_test;

namespace {

// Projection onto the planar unit surfaces of the fixture: (x, y) of the position,
// found when it lies in the plane z = 0.
void plane_project(spline_point* pt, spline_surface*, double tol, const double*, const double*,
                   const double*, double* res, int* st) {
  res[0] = pt->coords[0];
  res[1] = pt->coords[1];
  *st = std::fabs(pt->coords[2]) <= tol ? 1 : 2;
}

// Projection onto the fixture's straight curves (0,0,0) + t (1,0,0): t = x.
void line_project(spline_point* pt, spline_curve*, double tol, double, double, double,
                  double* res, int* st) {
  *res = pt->coords[0];
  *st = std::hypot(pt->coords[1], pt->coords[2]) <= tol ? 1 : 2;
}

class Subproblem : public testing::Test {
 protected:
  void SetUp() override {
    isect_services().s1773 = plane_project;
    isect_services().s1771 = line_project;
  }
  ServiceGuard guard;
  Graph g;
};

TEST_F(Subproblem, CrossingSegmentGetsAPointOnTheLine) {
  struct Case {
    const char* name;
    double q0;
    int new_points;
  } cases[] = {{"crosses 0.5", 0.6, 1}, {"ends exactly at 0.5", 0.5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
    Graph local;
    isect_point* p = local.add({0.2, 0.5, 0.2, 0.5});
    isect_point* q = local.add({c.q0, 0.5, c.q0, 0.5});
    local.link(p, q);
    int st = 0;
    sh6setcnsdir(p, q, 1, &st);  // along the split surface's other parameter
    isect_data* sub = nullptr;
    sh6idget(objs.o1, objs.o2, 0, 0.5, local.data, &sub, 1e-9, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(local.size(), 2 + c.new_points);
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(sub->point_count, 1);
    const isect_point* s = sub->points[0];
    EXPECT_EQ(s->param_count, 3);
    EXPECT_EQ(s->kind, 1);
    EXPECT_DOUBLE_EQ(s->params[0], 0.5);
    EXPECT_DOUBLE_EQ(s->params[1], 0.5);
    EXPECT_DOUBLE_EQ(s->params[2], 0.5);
    if (c.new_points) {
      isect_point* mid = local.data->points[2];
      EXPECT_GE(neighbour_index(mid, p), 0);
      EXPECT_GE(neighbour_index(mid, q), 0);
      EXPECT_EQ(neighbour_index(p, q), -1);
    }
    EXPECT_EQ(graph_problem(local.data), "");
    destroy_isect_data(sub);
  }
}

TEST_F(Subproblem, SegmentWithoutTheConstantBitIsNotCut) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  isect_point* p = g.add({0.2, 0.5, 0.2, 0.5});
  isect_point* q = g.add({0.6, 0.5, 0.6, 0.5});
  g.link(p, q);
  isect_data* sub = nullptr;
  int st = 0;
  sh6idget(objs.o1, objs.o2, 0, 0.5, g.data, &sub, 1e-9, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(g.size(), 2);
  EXPECT_EQ(sub, nullptr);
}

TEST_F(Subproblem, CurveSplitExaminesEveryParentPoint) {
  ObjectPair objs(curve_object(0, 1), curve_object(0, 1));
  g.add({0.9, 0.9});  // an unrelated first point
  isect_point* p = g.add({0.2, 0.2});
  isect_point* q = g.add({0.6, 0.6});
  g.link(p, q);
  isect_data* sub = nullptr;
  int st = 0;
  sh6idget(objs.o1, objs.o2, 0, 0.5, g.data, &sub, 1e-9, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(g.size(), 4);
  ASSERT_NE(sub, nullptr);
  ASSERT_EQ(sub->point_count, 1);
  EXPECT_DOUBLE_EQ(sub->points[0]->params[0], 0.5);
  destroy_isect_data(sub);
}

TEST_F(Subproblem, ParentPointOnTheLineTravelsWithItsCodesAndTheOtherCache) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));
  const double cache1[3] = {1, 2, 3};
  const double cache2[2] = {7, 8};
  const double par[3] = {0.3, 0.25, 0.4};
  isect_point* pt = create_isect_point_geom(3, par, 2.5, 3, 1, 2, 2, 1, 3, 2, cache1, cache2);
  int st = 0;
  sh6idnpt(&g.data, &pt, 0, &st);
  isect_data* sub = nullptr;
  sh6idget(objs.o1, objs.o2, 1, 0.25, g.data, &sub, 1e-9, &st);
  EXPECT_EQ(st, 0);
  ASSERT_NE(sub, nullptr);
  const isect_point* s = sub->points[0];
  EXPECT_EQ(s->param_count, 2);
  EXPECT_EQ(s->params[0], 0.3);
  EXPECT_EQ(s->params[1], 0.4);
  EXPECT_EQ(s->kind, 1);
  EXPECT_EQ(s->value, 2.5);
  EXPECT_EQ(s->top_a[0], 1);
  EXPECT_EQ(s->top_c[0], 2);
  EXPECT_EQ(s->top_b[0], 2);
  EXPECT_EQ(s->top_d[0], 1);
  EXPECT_EQ(s->geom_size1, 0) << "the split object's cache is dropped";
  ASSERT_EQ(s->geom_size2, 2);
  EXPECT_EQ(s->geom2[1], 8);
  destroy_isect_data(sub);

  isect_data* none = reinterpret_cast<isect_data*>(1);
  sh6idget(objs.o1, objs.o2, 1, 0.25, nullptr, &none, 1e-9, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(none, nullptr);
}

TEST_F(Subproblem, PutBringsConnectedPointsBackWithTheValueInserted) {
  ObjectPair objs(curve_object(0, 1), surface_object(0, 1, 0, 1));
  struct Case {
    int idx;
    int want_status;
  } cases[] = {{0, 0}, {2, 0}, {3, -191}, {-1, -191}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.idx);
    Graph sub;
    isect_point* a = sub.add({0.1, 0.2});
    isect_point* b = sub.add({0.3, 0.4});
    sub.link(a, b);
    Graph parent;
    isect_point** fresh = nullptr;
    int count = -1, st = 0;
    ReportLog log;
    sh6idput(objs.o1, objs.o2, &parent.data, sub.data, c.idx, 0.75, &fresh, &count, &st);
    EXPECT_EQ(st, c.want_status);
    if (st < 0) {
      EXPECT_TRUE(log.named("sh6idput"));
      free(fresh);
      continue;
    }
    ASSERT_EQ(count, 2);
    ASSERT_EQ(parent.size(), 2);
    EXPECT_EQ(fresh[0]->param_count, 3);
    EXPECT_EQ(fresh[0]->params[c.idx], 0.75);
    EXPECT_EQ(fresh[1]->params[c.idx], 0.75);
    EXPECT_EQ(fresh[0]->params[c.idx == 0 ? 1 : 0], 0.1);
    EXPECT_GE(neighbour_index(fresh[0], fresh[1]), 0);
    EXPECT_EQ(graph_problem(parent.data), "");
    free(fresh);
  }
}

TEST_F(Subproblem, PutMergesWithHeldPoints) {
  ObjectPair objs(curve_object(0, 1), curve_object(0, 1));
  isect_point* held = g.add({0.5, 0.25}, 1);
  Graph sub;
  isect_point* a = sub.add({0.25});
  isect_point* b = sub.add({0.75});
  sub.link(a, b);
  isect_point** fresh = nullptr;
  int count = 0, st = 0;
  sh6idput(objs.o1, objs.o2, &g.data, sub.data, 0, 0.5, &fresh, &count, &st);
  EXPECT_EQ(st, 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(fresh[0], held);
  EXPECT_EQ(g.size(), 2);
  EXPECT_GE(neighbour_index(held, fresh[1]), 0);
  free(fresh);
}

TEST_F(Subproblem, ParallelIsoLinesLoseTheContradictingDiagonal) {
  // Both surfaces are the plane (u, v, 0), so their u derivatives are parallel and point
  // the same way.  The four points lie pairwise on common iso-lines v1 = 0.5, v2 = 0.5.
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  Graph sub;  // split at idx 1 (v1 = 0.5): sub points (u1, u2, v2)
  isect_point* s[4] = {sub.add({0.2, 0.3, 0.5}), sub.add({0.2, 0.6, 0.5}),
                       sub.add({0.4, 0.6, 0.5}), sub.add({0.4, 0.3, 0.5})};
  (void)s;
  isect_point** fresh = nullptr;
  int count = 0, st = 0;
  sh6idput(objs.o1, objs.o2, &g.data, sub.data, 1, 0.5, &fresh, &count, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(g.size(), 2);
  // The pair whose differences have opposite signs ((0.2, 0.6) and (0.4, 0.3)) is gone.
  for (int i = 0; i < 2; ++i) {
    const isect_point* pt = g.data->points[i];
    const bool kept = (pt->params[0] == 0.2 && pt->params[2] == 0.3) ||
                      (pt->params[0] == 0.4 && pt->params[2] == 0.6);
    EXPECT_TRUE(kept) << pt->params[0] << " " << pt->params[2];
  }
  for (int i = 0; i < count; ++i) EXPECT_NE(fresh[i], nullptr);
  free(fresh);
}

TEST_F(Subproblem, SquareSearchNeedsAllFourSides) {
  Graph local;
  isect_point* p0 = local.add({0.2, 0.5, 0.3, 0.5});
  local.add({0.2, 0.5, 0.6, 0.5});
  local.add({0.4, 0.5, 0.6, 0.5});
  isect_point* open_end = local.add({0.4, 0.5, 0.9, 0.5});  // does not close the square
  isect_point* pts[4] = {p0, nullptr, nullptr, nullptr};
  int n = 1, found = 1;
  find_param_square(local.data, pts, &n, 2, 2, &found);
  EXPECT_EQ(found, 0);
  open_end->params[2] = 0.3;
  n = 1;
  find_param_square(local.data, pts, &n, 2, 2, &found);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(pts[3], open_end);
}

}  // namespace
