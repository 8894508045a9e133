#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "isect_fixture.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_records.h"

using namespace isect_test;

namespace {

TEST(IsectRecords, NewPointsStartZeroedWithTheirOwnTopCodes) {
  const double par[3] = {0.5, 1.5, 2.5};
  isect_point* plain = create_isect_point(3, par, 7.0);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->kind, 0);
  EXPECT_EQ(plain->link, nullptr);
  EXPECT_EQ(plain->neighbour_count, 0);
  EXPECT_EQ(plain->capacity, 0);
  EXPECT_EQ(plain->marker, 0);
  EXPECT_EQ(plain->evaluated, 0);
  EXPECT_EQ(plain->geom1, nullptr);
  EXPECT_EQ(plain->curve_geom[9], 0.0);
  EXPECT_EQ(plain->value, 7.0);
  EXPECT_EQ(plain->params[2], 2.5);
  destroy_isect_point(plain);

  const double g1[2] = {1, 2};
  isect_point* pt = create_isect_point_geom(3, par, 0.0, -1, 1, 2, 3, 4, 2, 0, g1, nullptr);
  ASSERT_NE(pt, nullptr);
  EXPECT_EQ(pt->capacity, 4);
  EXPECT_EQ(pt->kind, -1);
  EXPECT_EQ(pt->top_a[0], 1);
  EXPECT_EQ(pt->top_c[0], 2);
  EXPECT_EQ(pt->top_b[0], 3);
  EXPECT_EQ(pt->top_d[0], 4);
  for (int s = 1; s < 4; ++s) {
    EXPECT_EQ(pt->top_a[s], 0);
    EXPECT_EQ(pt->segment_masks[s], 0);
    EXPECT_EQ(pt->neighbours[s], nullptr);
  }
  EXPECT_EQ(pt->geom_size1, 2);
  EXPECT_EQ(pt->geom1[1], 2.0);
  EXPECT_EQ(pt->geom_size2, 0);
  EXPECT_EQ(pt->geom2, nullptr);
  EXPECT_EQ(pt->edge_word1, 0);
  EXPECT_EQ(pt->eval_side2, 0);
  destroy_isect_point(pt);
}

TEST(IsectRecords, ListsStartWithZeroWordsAndTwoPoints) {
  isect_list* list = create_isect_list(nullptr, nullptr, 3);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->point_count, 2);
  EXPECT_EQ(list->list_type, 3);
  EXPECT_EQ(list->first_slot, 0);
  EXPECT_EQ(list->word1 | list->word2 | list->word3 | list->word4, 0);
  destroy_isect_list(list);
}

TEST(IsectRecords, CopyOfConnectedPointHasNoNeighboursButItsOwnCodes) {
  Graph g;
  isect_point* a = g.add({0.1, 0.2}, 3);
  isect_point* b = g.add({0.3, 0.4});
  int st = 0;
  sh6settop(a, -1, 1, 2, 2, 1, &st);
  g.link(a, b);
  a->marker = -99;
  a->curve_geom[0] = 5.0;
  isect_point* c = copy_isect_point_geom(a);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->neighbour_count, 0);
  EXPECT_EQ(c->kind, 3);
  EXPECT_EQ(c->marker, 0);
  EXPECT_EQ(c->curve_geom[0], 0.0);
  EXPECT_EQ(c->top_a[0], a->top_a[0]);
  EXPECT_EQ(c->top_b[0], a->top_b[0]);
  EXPECT_EQ(c->top_c[0], a->top_c[0]);
  EXPECT_EQ(c->top_d[0], a->top_d[0]);
  EXPECT_EQ(c->params[1], 0.2);
  destroy_isect_point(c);

  isect_point* plain = copy_isect_point(a);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->kind, 3);
  EXPECT_EQ(plain->capacity, 0);
  destroy_isect_point(plain);
}

TEST(IsectRecords, DataWhoseListsNameItsPointsFreesEachOnce) {
  Graph g;
  isect_point* a = g.add({0.0});
  isect_point* b = g.add({1.0});
  isect_point* c = g.add({2.0});
  g.chain({a, b, c});
  for (int i = 0; i < 3; ++i) {
    isect_list* l = create_isect_list(i == 2 ? b : a, c, 0);
    ASSERT_NE(l, nullptr);
    g.data->lists[g.data->list_count++] = l;
  }
  // The sanitizers see a double free or a leak here.
  destroy_isect_data(g.data);
  g.data = nullptr;
}

TEST(IsectRecords, CurveArrayFreesCurvesParametersAndSkipsNulls) {
  auto** curves = static_cast<isect_curve**>(calloc(3, sizeof(isect_curve*)));
  auto* p1 = static_cast<double*>(malloc(4 * sizeof(double)));
  auto* p2 = static_cast<double*>(malloc(4 * sizeof(double)));
  curves[0] = create_isect_curve(2, 2, 2, p1, p2, 4);
  ASSERT_NE(curves[0], nullptr);
  double knots[4] = {0, 0, 1, 1};
  double coefs[4] = {0, 0, 1, 1};
  curves[0]->geometry = create_curve(2, 2, knots, coefs, 1, 2, 1);
  curves[0]->pcurve2 = create_curve(2, 2, knots, coefs, 1, 2, 1);
  ASSERT_NE(curves[0]->geometry, nullptr);
  auto* p3 = static_cast<double*>(malloc(sizeof(double)));
  curves[2] = create_isect_curve(1, 1, 0, p3, nullptr, 2);
  destroy_isect_curve_array(curves, 3);
  destroy_isect_curve_array(nullptr, 5);
  destroy_isect_curve(nullptr);
}

TEST(IsectRecords, EdgeTablesAndObjects) {
  EXPECT_EQ(create_edge_table(0), nullptr);
  edge_table* t = create_edge_table(4);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->edge_count, 4);
  EXPECT_EQ(t->point_count, 0);
  t->heads[1] = create_edge_node(nullptr);
  t->heads[1]->next = create_edge_node(nullptr);
  t->heads[3] = create_edge_node(nullptr);
  destroy_edge_table(t);

  geom_object* obj = create_geom_object(kCurveObject);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(obj->origin, nullptr);
  double knots[4] = {0, 0, 1, 1};
  double coefs[4] = {0, 0, 1, 1};
  obj->curve = create_curve(2, 2, knots, coefs, 1, 2, 1);
  obj->origin = obj;
  for (int e = 0; e < 2; ++e) {
    obj->edges[e] = create_geom_object(kPointObject);
    obj->edges[e]->point = create_point(coefs + 2 * e, 2, 1);
    obj->edges[e]->origin = obj;
  }
  int dummy = 0;
  obj->extra = &dummy;  // not owned
  destroy_geom_object(obj);
}

TEST(IsectRecords, GetlistTellsConnectedUnconnectedAndOneSided) {
  Graph g;
  isect_point* a = g.add({0.0});
  isect_point* b = g.add({1.0});
  ReportLog log;
  int sa = 9, sb = 9, st = 9;
  sh6getlist(a, b, &sa, &sb, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(sa, -1);
  EXPECT_EQ(sb, -1);
  EXPECT_EQ(log.count(), 0);

  g.link(a, b);
  sh6getlist(a, b, &sa, &sb, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(sa, 0);
  EXPECT_EQ(sb, 0);

  // Break the connection on one side only.
  b->neighbours[0] = nullptr;
  b->neighbour_count = 0;
  sh6getlist(a, b, &sa, &sb, &st);
  EXPECT_EQ(st, -1);
  EXPECT_EQ(sa, 0);
  EXPECT_EQ(sb, -1);
  EXPECT_EQ(log.count(), 1);
  EXPECT_TRUE(log.named("sh6getlist"));
  EXPECT_EQ(neighbour_index(nullptr, a), -1);
}

struct OtherCase {
  const char* name;
  int point_kind;
  int from_kind;
  int extra_kinds[2];  // kinds of further neighbours (0: none)
  int want_status;
  int want_other;      // index into the extra neighbours, or -1 for none
};

TEST(IsectRecords, GetotherFollowsTheChainRules) {
  const OtherCase cases[] = {
      {"help, one other", -1, 1, {1, 0}, 0, 0},
      {"help, no other", -1, 1, {0, 0}, 1, -1},
      {"help, two others", -1, 1, {1, -1}, -2, -1},
      {"singular main", 2, 1, {1, 0}, 2, -1},
      {"main from help", 1, -1, {1, 0}, -1, -1},
      {"main, one main other and a help", 1, 1, {-1, 1}, 0, 1},
      {"main, only help others", 1, 1, {-1, 0}, 1, -1},
      {"main, branch", 1, 1, {1, 3}, 2, -1},
  };
  for (const OtherCase& c : cases) {
    SCOPED_TRACE(c.name);
    Graph g;
    isect_point* pt = g.add({0.0}, c.point_kind);
    isect_point* from = g.add({1.0}, c.from_kind);
    g.link(pt, from);
    isect_point* extra[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i)
      if (c.extra_kinds[i] != 0) {
        extra[i] = g.add({2.0 + i}, c.extra_kinds[i]);
        // Connect without the promotion rules, as a driver might leave them.
        const int k = extra[i]->kind;
        g.link(pt, extra[i]);
        extra[i]->kind = k;
      }
    pt->kind = c.point_kind;
    ReportLog log;
    isect_point* other = pt;
    int st = 99;
    sh6getother(pt, from, &other, &st);
    EXPECT_EQ(st, c.want_status);
    EXPECT_EQ(other, c.want_other >= 0 ? extra[c.want_other] : nullptr);
    EXPECT_EQ(log.count() > 0, st < 0);
  }
}

TEST(IsectRecords, GetotherOnUnconnectedPointsIsAnError) {
  Graph g;
  isect_point* a = g.add({0.0});
  isect_point* b = g.add({1.0});
  ReportLog log;
  isect_point* other = a;
  int st = 0;
  sh6getother(a, b, &other, &st);
  EXPECT_EQ(st, -1);
  EXPECT_EQ(other, nullptr);
  EXPECT_TRUE(log.named("sh6getother"));
}

TEST(IsectRecords, ParamTrackOfClosedChainCountsTheFirstPointOnce) {
  Graph g;
  isect_point* p[5];
  for (int i = 0; i < 5; ++i) p[i] = g.add({0.1 * i, 1.0 + i});
  g.chain({p[0], p[1], p[2], p[3], p[4], p[0]});
  int st = 0;
  sh6setcnsdir(p[1], p[2], 1, &st);
  sh6setcnsdir(p[1], p[2], 0, &st);
  sh6setcnsdir(p[3], p[4], 1, &st);
  isect_list* list = create_isect_list(p[0], p[0], 0);
  list->point_count = 6;
  list->first_slot = neighbour_index(p[0], p[1]);
  list->last_slot = neighbour_index(p[0], p[4]);
  param_track* track = make_param_track(list);
  ASSERT_NE(track, nullptr);
  EXPECT_EQ(track->point_count, 5);
  EXPECT_EQ(track->param_count, 2);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(track->params[2 * i], 0.1 * i);
    EXPECT_EQ(track->params[2 * i + 1], 1.0 + i);
    EXPECT_EQ(p[i]->marker, -99);
  }
  const int want_const[5] = {2, 0, 2, 1, 2};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(track->const_index[i], want_const[i]) << i;
  destroy_param_track(track);

  list->point_count = 2;
  EXPECT_EQ(make_param_track(list), nullptr);
  EXPECT_EQ(make_param_track(nullptr), nullptr);
  destroy_isect_list(list);
}

}  // namespace
