#include <gtest/gtest.h>

#include <cstdlib>

#include "isect_fixture.h"
#include "spline/detail/isect/isect_marks.h"

using namespace isect_test;

namespace {

TEST(IsectMarks, DirectionAndConstantBitsOnBothSides) {
  Graph g;
  isect_point* p = g.add({0.0, 0.0});
  isect_point* q = g.add({1.0, 0.0});
  isect_point* r = g.add({2.0, 0.0});
  g.link(p, q);
  int st = 0;
  sh6setcnsdir(p, q, 1, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(mask_toward(p, q), 4);
  EXPECT_EQ(mask_toward(q, p), 4);
  sh6setdir(p, q, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(mask_toward(p, q), 5);
  EXPECT_EQ(mask_toward(q, p), -27);

  ReportLog log;
  sh6setcnsdir(p, q, 4, &st);
  EXPECT_EQ(st, -3);
  sh6setcnsdir(p, q, -1, &st);
  EXPECT_EQ(st, -3);
  sh6setcnsdir(p, r, 0, &st);
  EXPECT_EQ(st, -1);
  sh6setdir(p, r, &st);
  EXPECT_EQ(st, -1);
  EXPECT_TRUE(log.named("sh6setcnsdir"));
  EXPECT_TRUE(log.named("sh6setdir"));
  EXPECT_EQ(mask_toward(p, q), 5) << "failures change nothing";

  // One-sided connection.
  g.link(q, r);
  r->neighbour_count = 0;
  sh6setdir(q, r, &st);
  EXPECT_EQ(st, -2);
  sh6setcnsdir(q, r, 0, &st);
  EXPECT_EQ(st, -2);
  r->neighbour_count = 1;
}

TEST(IsectMarks, TopCodesBySlot) {
  Graph g;
  isect_point* p = g.add({0.0});
  isect_point* q = g.add({1.0});
  isect_point* r = g.add({2.0});
  int st = 0;
  // Without neighbours slot 0 and slot -1 both name the own codes.
  sh6settop(p, 0, 1, 2, 3, 4, &st);
  EXPECT_EQ(st, 0);
  int a, c, b, d;
  sh6gettop(p, -1, &a, &c, &b, &d, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(c, 2);
  EXPECT_EQ(b, 3);
  EXPECT_EQ(d, 4);
  EXPECT_EQ(p->top_b[0], 3);
  EXPECT_EQ(p->top_c[0], 2);
  g.link(p, q);
  g.link(p, r);
  sh6settop(p, 1, 4, 3, 2, 1, &st);
  EXPECT_EQ(st, 0);
  sh6gettop(p, -1, &a, &c, &b, &d, &st);
  EXPECT_EQ(a, 1) << "slot -1 of a connected point gives slot 0";
  sh6gettop(p, 1, &a, &c, &b, &d, &st);
  EXPECT_EQ(a, 4);
  EXPECT_EQ(d, 1);
  ReportLog log;
  sh6gettop(p, 5, &a, &c, &b, &d, &st);
  EXPECT_EQ(st, -1);
  sh6settop(p, 2, 0, 0, 0, 0, &st);
  EXPECT_EQ(st, -1);
  sh6gettop(nullptr, 0, &a, &c, &b, &d, &st);
  EXPECT_EQ(st, -2);
  sh6settop(nullptr, 0, 0, 0, 0, 0, &st);
  EXPECT_EQ(st, -2);
  EXPECT_TRUE(log.named("sh6gettop"));
  EXPECT_TRUE(log.named("sh6settop"));
}

struct MergeCase {
  int mode;
  int before;
  int own;
  int after;
};

TEST(IsectMarks, HelpChainCodesMergeByMode) {
  const MergeCase cases[] = {
      {1, 0, 1, 1}, {1, 2, 1, 1}, {1, 0, 2, 2}, {1, 1, 2, 1}, {1, 3, 0, 3}, {1, 3, 2, 2},
      {0, 0, 2, 2}, {0, 3, 1, 1}, {0, 1, 2, 1}, {0, 0, 3, 0}, {0, 2, 0, 2},
  };
  for (const MergeCase& mc : cases) {
    SCOPED_TRACE(testing::Message() << mc.mode << " " << mc.before << " " << mc.own);
    Graph g;
    isect_point* m = g.add({0.0}, 1);
    isect_point* h = g.add({1.0}, -1);
    g.link(m, h);
    int st = 0;
    sh6settop(h, -1, mc.own, mc.own, mc.own, mc.own, &st);
    int codes[4] = {mc.before, mc.before, mc.before, mc.before};
    sh6gettophlp(h, codes, mc.mode, &st);
    EXPECT_EQ(st, 0);
    for (int code : codes) EXPECT_EQ(code, mc.after);
    EXPECT_EQ(h->marker, -10);
    EXPECT_EQ(m->marker, 0);
  }
}

TEST(IsectMarks, HelpChainCodesStopAtMainAndMarkedPoints) {
  Graph g;
  isect_point* m = g.add({0.0}, 1);
  isect_point* h1 = g.add({1.0}, -1);
  isect_point* h2 = g.add({2.0}, -1);
  isect_point* m2 = g.add({3.0}, 1);
  isect_point* h3 = g.add({4.0}, -1);
  g.chain({m, h1, h2});
  g.link(m, h3);
  g.link(m2, h3);
  h3->kind = kHelpPoint;
  int st = 0;
  sh6settop(h1, -1, 0, 0, 2, 0, &st);
  sh6settop(h2, -1, 1, 0, 0, 0, &st);
  sh6settop(h3, -1, 0, 2, 0, 0, &st);
  int codes[4] = {0, 0, 0, 0};
  sh6gettophlp(h1, codes, 0, &st);
  EXPECT_EQ(codes[0], 1);
  EXPECT_EQ(codes[1], 0) << "h3 hangs at the main point, not on this chain";
  EXPECT_EQ(codes[2], 2);
  EXPECT_EQ(h2->marker, -10);
  EXPECT_EQ(h3->marker, 0);
  // A second call on the marked chain adds nothing.
  int again[4] = {0, 0, 0, 0};
  sh6gettophlp(h1, again, 0, &st);
  EXPECT_EQ(again[0], 0);
  ReportLog log;
  sh6gettophlp(nullptr, again, 0, &st);
  EXPECT_EQ(st, -2);
}

struct ClassCase {
  const char* name;
  double par[4];
  int want;
};

TEST(IsectMarks, EdgeClassOfTwoSurfaces) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 2, -1, 1));
  const ClassCase cases[] = {
      {"inside", {0.5, 0.5, 1.0, 0.0}, 1},
      {"1e-13 below the start", {-1e-13, 0.5, 1.0, 0.0}, 2},
      {"1e-13 above the end", {1.0 + 1e-13, 0.5, 1.0, 0.0}, 2},
      {"outside", {-1e-6, 0.5, 1.0, 0.0}, 0},
      {"outside the second", {0.5, 0.5, 2.001, 0.0}, 0},
      {"corner of the first", {0.0, 1.0, 1.0, 0.0}, 3},
      {"corner of the second", {0.5, 0.5, 2.0, -1.0}, 3},
      {"corners of both", {1.0, 0.0, 0.0, 1.0}, 4},
      {"boundary of both", {0.0, 0.5, 1.0, 1.0}, 5},
      {"boundary of the second", {0.5, 0.5, 1.0, 1.0}, 2},
  };
  for (const ClassCase& c : cases) {
    SCOPED_TRACE(c.name);
    isect_point* pt = create_isect_point(4, c.par, 0);
    int cls = -1;
    edge_class(objs.o1, objs.o2, pt, &cls);
    EXPECT_EQ(cls, c.want);
    destroy_isect_point(pt);
  }
  int cls = 0;
  edge_class(objs.o1, objs.o2, nullptr, &cls);
  EXPECT_EQ(cls, -108);
  const double three[3] = {0.5, 0.5, 0.5};
  isect_point* pt = create_isect_point(3, three, 0);
  edge_class(objs.o1, objs.o2, pt, &cls);
  EXPECT_EQ(cls, -106);
  destroy_isect_point(pt);
}

TEST(IsectMarks, EdgeClassOfCurveAgainstPoint) {
  ObjectPair objs(curve_object(2, 5), point_object({0, 0, 0}));
  struct {
    double t;
    int want;
  } cases[] = {{3.0, 1}, {2.0, 2}, {5.0, 2}, {5.1, 0}, {1.9, 0}};
  for (const auto& c : cases) {
    isect_point* pt = create_isect_point(1, &c.t, 0);
    int cls = -1;
    edge_class(objs.o1, objs.o2, pt, &cls);
    EXPECT_EQ(cls, c.want) << c.t;
    destroy_isect_point(pt);
  }
}

TEST(IsectMarks, CommonEdgeNeedsTheConstantBitOfThatBoundary) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  struct Case {
    const char* name;
    double p[4];
    double q[4];
    int bits;  // constant parameters marked along p-q
    int want;
  } cases[] = {
      {"first object's u = 0, bit set", {0, 0.2, 0.5, 0.5}, {0, 0.8, 0.4, 0.4}, 2, 1},
      {"first object's u = 0, no bit", {0, 0.2, 0.5, 0.5}, {0, 0.8, 0.4, 0.4}, 0, 0},
      {"first object's u = 0, other bit", {0, 0.2, 0.5, 0.5}, {0, 0.8, 0.4, 0.4}, 4, 0},
      {"second object's v = 1", {0.3, 0.2, 0.5, 1}, {0.3, 0.8, 0.4, 1}, 16, 2},
      {"both", {1, 0.2, 0.5, 0}, {1, 0.8, 0.4, 0}, 2 | 16, 3},
      {"no common boundary", {0, 0.2, 0.5, 0.5}, {0.5, 0, 0.4, 0.4}, 30, 0},
      {"one point outside", {0, 0.2, 0.5, 0.5}, {0, 0.8, 1.5, 0.4}, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Graph g;
    isect_point* p = g.add({c.p[0], c.p[1], c.p[2], c.p[3]});
    isect_point* q = g.add({c.q[0], c.q[1], c.q[2], c.q[3]});
    g.link(p, q);
    int st = 0;
    for (int i = 0; i < 4; ++i)
      if (c.bits & (1 << (i + 1))) sh6setcnsdir(p, q, i, &st);
    int res = -1;
    sh6comedg(objs.o1, objs.o2, p, q, &res);
    EXPECT_EQ(res, c.want);
  }
  Graph g;
  isect_point* p = g.add({0, 0.2, 0.5, 0.5});
  ReportLog log;
  int res = 0;
  sh6comedg(objs.o1, objs.o2, p, nullptr, &res);
  EXPECT_EQ(res, -108);
  isect_point* q = g.add({0, 0.8, 0.5, 0.5});
  g.link(p, q);
  q->neighbour_count = 0;  // one-sided
  sh6comedg(objs.o1, objs.o2, p, q, &res);
  EXPECT_EQ(res, -106);
  q->neighbour_count = 1;
}

TEST(IsectMarks, CommonEdgeOfCurveAgainstSurface) {
  ObjectPair objs(curve_object(0, 1), surface_object(0, 1, 0, 1));
  Graph g;
  isect_point* p = g.add({0.2, 0.0, 0.3});
  isect_point* q = g.add({0.6, 0.0, 0.7});
  g.link(p, q);
  int st = 0, res = -1;
  sh6setcnsdir(p, q, 1, &st);  // the surface's first parameter
  sh6comedg(objs.o1, objs.o2, p, q, &res);
  EXPECT_EQ(res, 2);
}

TEST(IsectMarks, EdgePointsAreListedOnceWithoutTheirHelpPoints) {
  Graph g;
  isect_point* a = g.add({0.0}, 1);
  isect_point* b = g.add({1.0}, 1);
  isect_point* h = g.add({0.1}, -1);
  isect_point* lone_help = g.add({2.0}, -1);
  g.link(a, h);
  edge_table* t1 = create_edge_table(2);
  edge_table* t2 = create_edge_table(4);
  auto push = [](edge_table* t, int e, isect_point* pt) {
    edge_node* n = create_edge_node(pt);
    n->next = t->heads[e];
    t->heads[e] = n;
    ++t->point_count;
  };
  push(t1, 0, a);
  push(t1, 1, h);
  push(t2, 2, a);
  push(t2, 3, b);
  push(t2, 0, lone_help);
  edge_table* tables[2] = {t1, t2};
  isect_point** pts = nullptr;
  int count = -1, st = -1;
  sh6edgpoint(tables, &pts, &count, &st);
  EXPECT_EQ(st, 0);
  ASSERT_EQ(count, 3);
  int seen_a = 0, seen_b = 0, seen_lone = 0;
  for (int i = 0; i < count; ++i) {
    seen_a += pts[i] == a;
    seen_b += pts[i] == b;
    seen_lone += pts[i] == lone_help;
    EXPECT_NE(pts[i], h);
  }
  EXPECT_EQ(seen_a, 1);
  EXPECT_EQ(seen_b, 1);
  EXPECT_EQ(seen_lone, 1);
  free(pts);
  destroy_edge_table(t1);
  destroy_edge_table(t2);

  edge_table* empty[2] = {nullptr, nullptr};
  sh6edgpoint(empty, &pts, &count, &st);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(pts, nullptr);
}

TEST(IsectMarks, EdgeGroupCollectsConnectedKindThreePoints) {
  Graph g;
  isect_point* e[4];
  for (int i = 0; i < 4; ++i) e[i] = g.add({0.1 * i}, 3);
  isect_point* plain = g.add({0.9}, 1);
  isect_point* beyond = g.add({1.0}, 3);
  g.chain({e[0], e[1], e[2]});
  g.link(e[1], e[3]);
  g.link(e[2], plain);
  g.link(plain, beyond);
  g.link(e[3], e[0]);  // a loop among the group
  isect_point** arr = nullptr;
  int count = 0, cap = 0;
  collect_edge_group(e[1], &arr, &count, &cap);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(arr[0], e[1]);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(e[i]->marker, 0) << "the outermost call resets the markers";
  }
  EXPECT_EQ(beyond->marker, 0);
  free(arr);

  arr = nullptr;
  count = cap = 0;
  collect_edge_group(plain, &arr, &count, &cap);
  EXPECT_EQ(count, 0);
  free(arr);
}

}  // namespace
