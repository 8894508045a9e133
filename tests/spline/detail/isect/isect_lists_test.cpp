#include <gtest/gtest.h>

#include "isect_fixture.h"
#include "spline/detail/isect/isect_lists.h"
#include "spline/detail/isect/isect_marks.h"

using namespace isect_test;

namespace {

void no_tops(geom_object*, geom_object*, isect_data*, int* st) { *st = 0; }
void failing_tops(geom_object*, geom_object*, isect_data*, int* st) { *st = -7; }

class ListBuild : public testing::Test {
 protected:
  void SetUp() override { isect_services().set_point_tops = no_tops; }
  int build(geom_object* o1, geom_object* o2) {
    int st = 99;
    sh6idlis(o1, o2, &g.data, &st);
    return st;
  }
  int lists() const { return g.data ? g.data->list_count : 0; }
  isect_list* list(int i) const { return g.data->lists[i]; }
  void direct(isect_point* from, isect_point* to) {
    int st = 0;
    sh6setdir(from, to, &st);
    ASSERT_EQ(st, 0);
  }

  ServiceGuard guard;
  Graph g;
};

TEST_F(ListBuild, OpenChainOfACurveAgainstAPointKeepsOnlyItsEnds) {
  ObjectPair objs(curve_object(0, 1, 2), point_object({0, 0}));
  isect_point* p[5];
  for (int i = 0; i < 5; ++i) p[i] = g.add({0.2 * i});
  g.chain({p[0], p[1], p[2], p[3], p[4]});
  for (int i = 0; i < 4; ++i) direct(p[i], p[i + 1]);
  int st = 0;
  sh6setcnsdir(p[0], p[1], 0, &st);
  const int start_word = mask_toward(p[0], p[1]);
  const int end_word = mask_toward(p[4], p[3]);
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  EXPECT_EQ(g.size(), 2);
  ASSERT_EQ(lists(), 1);
  EXPECT_EQ(list(0)->first, p[0]);
  EXPECT_EQ(list(0)->last, p[4]);
  EXPECT_EQ(list(0)->point_count, 2);
  EXPECT_EQ(list(0)->list_type, 0);
  EXPECT_EQ(list(0)->first_slot, 0);
  EXPECT_EQ(list(0)->last_slot, 0);
  EXPECT_EQ(mask_toward(p[0], p[4]), start_word);
  EXPECT_EQ(mask_toward(p[4], p[0]), end_word);
  EXPECT_EQ(graph_problem(g.data), "");
}

TEST_F(ListBuild, ChainIsReversedByTheFirstDirectedSegment) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));  // t = 1: no thinning
  isect_point* p[5];
  for (int i = 0; i < 5; ++i) p[i] = g.add({0.1, 0.1 + 0.2 * i, 0.5});
  g.chain({p[0], p[1], p[2], p[3], p[4]});
  direct(p[4], p[3]);  // the fourth segment runs against the chain order
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  ASSERT_EQ(lists(), 1);
  EXPECT_EQ(list(0)->first, p[4]);
  EXPECT_EQ(list(0)->last, p[0]);
  EXPECT_EQ(list(0)->point_count, 5);
  EXPECT_EQ(get_neighbour(p[4], list(0)->first_slot), p[3]);
  EXPECT_EQ(get_neighbour(p[0], list(0)->last_slot), p[1]);
}

TEST_F(ListBuild, ClosedLoopOfTwoSurfacesCountsItsStartTwice) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  isect_point* p[4];
  for (int i = 0; i < 4; ++i) p[i] = g.add({0.2 + 0.1 * i, 0.5, 0.5, 0.2 + 0.1 * i});
  g.chain({p[0], p[1], p[2], p[3], p[0]});
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  ASSERT_EQ(lists(), 1);
  isect_list* l = list(0);
  EXPECT_EQ(l->first, l->last);
  EXPECT_EQ(l->point_count, 5);
  EXPECT_NE(l->first_slot, l->last_slot);
  EXPECT_EQ(l->word1, 1);
  EXPECT_EQ(l->word2, 2);
  EXPECT_EQ(l->word3, 2);
  EXPECT_EQ(l->word4, 1);
  // The codes went into both slots of every segment.
  for (isect_point* pt : p)
    for (int s = 0; s < pt->neighbour_count; ++s) {
      EXPECT_EQ(pt->top_a[s], 1);
      EXPECT_EQ(pt->top_c[s], 2);
      EXPECT_EQ(pt->top_b[s], 2);
      EXPECT_EQ(pt->top_d[s], 1);
    }
}

TEST_F(ListBuild, BranchPointIsSplitIntoOneEndPerArm) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));
  isect_point* c = g.add({0.5, 0.5, 0.5});
  isect_point* arm[3];
  for (int i = 0; i < 3; ++i) {
    arm[i] = g.add({0.1 * (i + 1), 0.2, 0.3});
    g.link(c, arm[i]);
  }
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  EXPECT_EQ(c->kind, 2);
  ASSERT_EQ(lists(), 3);
  EXPECT_EQ(g.size(), 6);
  for (int i = 0; i < 3; ++i) {
    isect_list* l = list(i);
    EXPECT_EQ(l->point_count, 2);
    isect_point* hub_end = (l->first->params[0] == 0.5) ? l->first : l->last;
    EXPECT_EQ(hub_end->kind, 2);
    EXPECT_EQ(hub_end->params[0], 0.5);
    EXPECT_EQ(hub_end->neighbour_count, 1);
  }
  EXPECT_EQ(graph_problem(g.data), "");
}

TEST_F(ListBuild, TwoSurfaceWordsFollowTheEdgeWordsOfTheEnds) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  struct Case {
    const char* name;
    int first_edge1, last_edge1, first_edge2, last_edge2;
    int words[4];
  } cases[] = {
      {"no edge words", 0, 0, 0, 0, {1, 2, 2, 1}},
      {"first object, last 2", 1, 2, 0, 0, {4, 2, 2, 1}},
      {"first object, last 1", 2, 1, 0, 0, {1, 4, 2, 1}},
      {"second object, last 1", 0, 0, 1, 1, {1, 2, 2, 4}},
      {"second object, last 2", 0, 0, 2, 2, {1, 2, 4, 1}},
      {"only one end on an edge", 1, 0, 0, 0, {1, 2, 2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Graph local;
    isect_point* f = local.add({0.3, 0.3, 0.3, 0.3});
    isect_point* l = local.add({0.6, 0.6, 0.6, 0.6});
    local.link(f, l);
    direct(f, l);
    f->edge_word1 = c.first_edge1;
    l->edge_word1 = c.last_edge1;
    f->edge_word2 = c.first_edge2;
    l->edge_word2 = c.last_edge2;
    int st = 0;
    sh6idlis(objs.o1, objs.o2, &local.data, &st);
    EXPECT_EQ(st, 0);
    ASSERT_EQ(local.data->list_count, 1);
    isect_list* li = local.data->lists[0];
    EXPECT_EQ(li->first, f);
    EXPECT_EQ(li->word1, c.words[0]);
    EXPECT_EQ(li->word2, c.words[1]);
    EXPECT_EQ(li->word3, c.words[2]);
    EXPECT_EQ(li->word4, c.words[3]);
  }
}

TEST_F(ListBuild, CurveWordsComeFromTheEndsTopCodesAndHelpChains) {
  ObjectPair objs(curve_object(0, 1, 2), point_object({0, 0}));
  isect_point* a = g.add({0.2});
  isect_point* b = g.add({0.8});
  isect_point* h = g.add({0.85}, -1);
  g.link(a, b);
  g.link(b, h);
  direct(a, b);
  int st = 0;
  sh6settop(a, -1, 1, 0, 2, 0, &st);
  sh6settop(h, -1, 0, 2, 0, 1, &st);  // b's codes come only from its help chain
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  ASSERT_EQ(lists(), 1);
  EXPECT_EQ(list(0)->word1, 1);
  EXPECT_EQ(list(0)->word2, 2);
  EXPECT_EQ(list(0)->word3, 2);
  EXPECT_EQ(list(0)->word4, 1);
}

TEST_F(ListBuild, TwoCurveWordsAreOrderedByTheParameters) {
  ObjectPair objs(curve_object(0, 1), curve_object(0, 1));
  isect_point* a = g.add({0.7, 0.1});
  isect_point* b = g.add({0.2, 0.9});
  g.link(a, b);
  direct(a, b);
  int st = 0;
  sh6settop(a, -1, 11, 12, 13, 14, &st);
  sh6settop(b, -1, 21, 22, 23, 24, &st);
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  ASSERT_EQ(lists(), 1);
  // b has the smaller first parameter, a the smaller second.
  EXPECT_EQ(list(0)->word1, 21);
  EXPECT_EQ(list(0)->word2, 12);
  EXPECT_EQ(list(0)->word3, 13);
  EXPECT_EQ(list(0)->word4, 24);
}

TEST_F(ListBuild, StaleMarkersNeverSplitOneCurveInTwo) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));
  for (int stale : {-10, -90, -199, -99, 3}) {
    SCOPED_TRACE(stale);
    Graph local;
    isect_point* a = local.add({0.1, 0.1, 0.1});
    isect_point* m = local.add({0.2, 0.2, 0.2});
    isect_point* b = local.add({0.3, 0.3, 0.3});
    local.chain({a, m, b});
    m->marker = stale;
    int st = 0;
    sh6idlis(objs.o1, objs.o2, &local.data, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(local.data->list_count, 1);
    EXPECT_EQ(local.size(), 3);
  }
}

TEST_F(ListBuild, SecondCallReplacesTheLists) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));
  isect_point* a = g.add({0.1, 0.1, 0.1});
  isect_point* b = g.add({0.3, 0.3, 0.3});
  g.link(a, b);
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  EXPECT_EQ(lists(), 1);
}

TEST_F(ListBuild, NoMainPointNoListAndNullData) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));
  isect_point* h1 = g.add({0.1, 0.1, 0.1}, -1);
  isect_point* h2 = g.add({0.2, 0.1, 0.1}, -1);
  g.link(h1, h2);
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  EXPECT_EQ(lists(), 0);
  isect_data* none = nullptr;
  int st = 9;
  sh6idlis(objs.o1, objs.o2, &none, &st);
  EXPECT_EQ(st, 0);
}

TEST_F(ListBuild, ErrorsAreReportedAndPassedOn) {
  ObjectPair objs(surface_object(0, 1, 0, 1), curve_object(0, 1));
  isect_point* a = g.add({0.1, 0.1, 0.1});
  isect_point* b = g.add({0.2, 0.2, 0.2});
  g.link(a, b);
  {
    ReportLog log;
    isect_services().set_point_tops = failing_tops;
    EXPECT_EQ(build(objs.o1, objs.o2), -7);
    EXPECT_TRUE(log.named("sh6idlis"));
    isect_services().set_point_tops = no_tops;
  }
  // A one-sided connection in a stretch to be thinned.
  ObjectPair curves(curve_object(0, 1, 2), point_object({0, 0}));
  Graph bad;
  isect_point* p = bad.add({0.1});
  isect_point* q = bad.add({0.2});
  isect_point* r = bad.add({0.3});
  bad.chain({p, q, r});
  r->neighbour_count = 0;  // r no longer lists q
  ReportLog log;
  int st = 0;
  sh6idlis(curves.o1, curves.o2, &bad.data, &st);
  EXPECT_EQ(st, -500);
  EXPECT_TRUE(log.named("sh6idlis"));
  r->neighbour_count = 1;
}

}  // namespace

namespace {

// Two three-dimensional surfaces: a chain a - m - b whose middle point decides whether
// the chain stays one list.
TEST_F(ListBuild, TwoSurfaceMiddlePointsThatCutTheChain) {
  struct Case {
    const char* name;
    double m[4];
    int bits_a;  // constant parameters of the segment m-a
    int bits_b;  // and of m-b
    int want_lists;
    int want_kind;  // of the middle point (its copy has the same)
  } cases[] = {
      {"inside, no marks", {0.5, 0.5, 0.5, 0.5}, 0, 0, 1, 1},
      {"inside, one shared constant parameter", {0.5, 0.5, 0.5, 0.5}, 1, 1, 1, -9},
      {"inside, different constant parameters", {0.5, 0.5, 0.5, 0.5}, 1, 2, 2, 2},
      {"on a boundary", {0.0, 0.5, 0.5, 0.5}, 0, 0, 2, 1},
      {"at a corner of one surface", {0.0, 1.0, 0.5, 0.5}, 0, 0, 2, 2},
  };
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Graph local;
    isect_point* a = local.add({0.2, 0.2, 0.2, 0.2});
    isect_point* m = local.add({c.m[0], c.m[1], c.m[2], c.m[3]});
    isect_point* b = local.add({0.8, 0.8, 0.8, 0.8});
    local.chain({a, m, b});
    int st = 0;
    for (int i = 0; i < 4; ++i) {
      if (c.bits_a & (1 << i)) sh6setcnsdir(m, a, i, &st);
      if (c.bits_b & (1 << i)) sh6setcnsdir(m, b, i, &st);
    }
    sh6idlis(objs.o1, objs.o2, &local.data, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(local.data->list_count, c.want_lists);
    if (c.want_kind == -9) {
      EXPECT_FALSE(local.holds(m)) << "a point inside a constant-parameter run goes";
    } else {
      EXPECT_EQ(m->kind, c.want_kind);
    }
    EXPECT_EQ(graph_problem(local.data), "");
  }
}

TEST_F(ListBuild, JoinedCornerPointsOfKindThree) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  isect_point* p = g.add({0.0, 0.0, 0.5, 0.5}, 3);
  isect_point* q = g.add({1.0, 0.0, 0.5, 0.5}, 3);
  g.link(p, q);
  EXPECT_EQ(build(objs.o1, objs.o2), 0);
  // One of the two becomes singular; the other is then no longer joined to a kind 3.
  EXPECT_TRUE((p->kind == kSingularPoint) != (q->kind == kSingularPoint));
  EXPECT_EQ(lists(), 1);
}

}  // namespace
