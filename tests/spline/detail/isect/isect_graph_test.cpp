#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <unordered_set>

#include "isect_fixture.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_lists.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_reduce.h"

using namespace isect_test;

namespace {

// Graph check with hashing, for the long random sequence.
std::string fast_graph_problem(const isect_data* data) {
  if (!data) return {};
  std::unordered_set<const isect_point*> held;
  for (int i = 0; i < data->point_count; ++i)
    if (!held.insert(data->points[i]).second) return "point held twice";
  for (int i = 0; i < data->point_count; ++i) {
    const isect_point* p = data->points[i];
    if (p->neighbour_count > p->capacity) return "more neighbours than capacity";
    for (int s = 0; s < p->neighbour_count; ++s) {
      const isect_point* q = p->neighbours[s];
      if (!q || q == p || !held.count(q)) return "bad neighbour";
      int back = 0;
      for (int t = 0; t < q->neighbour_count; ++t) back += q->neighbours[t] == p;
      if (back != 1) return "one-sided or doubled connection";
      for (int t = s + 1; t < p->neighbour_count; ++t)
        if (p->neighbours[t] == q) return "duplicate neighbour";
    }
  }
  return {};
}

TEST(IsectGraph, ConnectRefusesSelfAndKeepsOneSlotPerPair) {
  Graph g;
  isect_point* a = g.add({0.0});
  isect_point* b = g.add({1.0});
  ReportLog log;
  int st = 0;
  sh6connect(a, a, &st);
  EXPECT_EQ(st, -4);
  EXPECT_TRUE(log.named("sh6connect"));
  g.link(a, b);
  sh6connect(b, a, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(a->neighbour_count, 1);
  EXPECT_EQ(b->neighbour_count, 1);
}

TEST(IsectGraph, FifthConnectionGrowsAllSlotArraysAndZeroesTheNewPart) {
  Graph g;
  isect_point* hub = g.add({0.0});
  isect_point* n[5];
  for (int i = 0; i < 5; ++i) n[i] = g.add({1.0 + i});
  int st = 0;
  for (int i = 0; i < 4; ++i) {
    g.link(hub, n[i]);
    sh6settop(hub, i, 10 + i, 20 + i, 30 + i, 40 + i, &st);
    hub->segment_masks[i] = 2 * i + 1;
  }
  EXPECT_EQ(hub->capacity, 4);
  g.link(hub, n[4]);
  EXPECT_EQ(hub->capacity, 8);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(hub->neighbours[i], n[i]);
    EXPECT_EQ(hub->segment_masks[i], 2 * i + 1);
    EXPECT_EQ(hub->top_a[i], 10 + i);
    EXPECT_EQ(hub->top_c[i], 20 + i);
    EXPECT_EQ(hub->top_b[i], 30 + i);
    EXPECT_EQ(hub->top_d[i], 40 + i);
  }
  for (int i = 4; i < 8; ++i) {
    EXPECT_EQ(hub->top_a[i], 0);
    EXPECT_EQ(hub->top_b[i], 0);
    EXPECT_EQ(hub->top_c[i], 0);
    EXPECT_EQ(hub->top_d[i], 0);
    EXPECT_EQ(hub->segment_masks[i], 0);
  }
  int a = -1, c = -1, b = -1, d = -1;
  sh6gettop(hub, 4, &a, &c, &b, &d, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(a | b | c | d, 0);
}

TEST(IsectGraph, HelpPointBecomesMainAtItsSecondMainNeighbour) {
  Graph g;
  isect_point* m1 = g.add({0.0}, 1);
  isect_point* m2 = g.add({2.0}, 1);
  isect_point* h = g.add({1.0}, -1);
  isect_point* tail = g.add({1.5}, -1);  // help chain hanging at h
  isect_point* end = g.add({1.7}, -1);   // end of that chain
  g.link(h, tail);
  g.link(tail, end);
  g.link(h, m1);
  EXPECT_EQ(h->kind, -1);
  g.link(m2, h);
  EXPECT_EQ(h->kind, 1);
  EXPECT_EQ(tail->kind, 1) << "a help neighbour with two neighbours is promoted too";
  EXPECT_EQ(end->kind, -1) << "the end of a help chain stays a help point";
}

TEST(IsectGraph, DisconnectMovesTheLastSlotIntoTheFreedOne) {
  Graph g;
  isect_point* p = g.add({0.0});
  isect_point* n0 = g.add({1.0});
  isect_point* n1 = g.add({2.0});
  isect_point* n2 = g.add({3.0});
  g.link(p, n0);
  g.link(p, n1);
  g.link(p, n2);
  p->segment_masks[2] = 9;
  int st = 0;
  sh6disconnect(p, n0, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(p->neighbour_count, 2);
  EXPECT_EQ(p->neighbours[0], n2);
  EXPECT_EQ(p->segment_masks[0], 9);
  EXPECT_EQ(p->neighbours[1], n1);
  sh6disconnect(p, n0, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(graph_problem(g.data), "");
}

TEST(IsectGraph, InsertKeepsDirectionAndConstantBitsOnBothHalves) {
  Graph g;
  isect_point* a = g.add({0.0, 0.5}, 1);
  isect_point* b = g.add({1.0, 0.5}, 1);
  g.link(a, b);
  int st = 0;
  sh6setcnsdir(a, b, 1, &st);
  sh6setdir(a, b, &st);
  const int start_word = mask_toward(a, b);
  const int end_word = mask_toward(b, a);
  EXPECT_EQ(start_word, 5);
  EXPECT_EQ(end_word, -27);
  isect_point* mid = create_isect_point_geom(2, std::vector<double>{0.5, 0.5}.data(), 0, 0, 0,
                                             0, 0, 0, 0, 0, nullptr, nullptr);
  sh6insert(&g.data, a, b, &mid, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(mid->kind, 1);
  EXPECT_EQ(neighbour_index(a, b), -1);
  EXPECT_EQ(mask_toward(a, mid), start_word);
  EXPECT_EQ(mask_toward(mid, a), end_word);
  EXPECT_EQ(mask_toward(mid, b), start_word);
  EXPECT_EQ(mask_toward(b, mid), end_word);

  // A point equal to one held is not inserted again.
  isect_point* dup = create_isect_point_geom(2, std::vector<double>{0.5, 0.5}.data(), 0, 0, 0,
                                             0, 0, 0, 0, 0, nullptr, nullptr);
  sh6insert(&g.data, a, mid, &dup, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(dup, mid);
  EXPECT_EQ(g.size(), 3);

  // Between two help points the new point is a help point.
  isect_point* h1 = g.add({5.0, 0.0}, -1);
  isect_point* h2 = g.add({6.0, 0.0}, -1);
  g.link(h1, h2);
  isect_point* h3 = create_isect_point_geom(2, std::vector<double>{5.5, 0.0}.data(), 0, 1, 0,
                                            0, 0, 0, 0, 0, nullptr, nullptr);
  sh6insert(&g.data, h1, h2, &h3, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(h3->kind, -1);

  ReportLog log;
  sh6insertpt(a, b, h3, &st);
  EXPECT_EQ(st, -1);
  EXPECT_TRUE(log.named("sh6insertpt"));
  EXPECT_EQ(graph_problem(g.data), "");
}

// Twin records with equal parameters (a split point) both held: adding the later twin
// again, with merging, finds it held and leaves both in place; so does joining the two.
TEST(IsectGraph, HeldTwinIsNotMergedAway) {
  Graph g;
  isect_point* first = g.add({0.5, 0.25});
  isect_point* twin = g.add({0.5, 0.25});
  int st = -7;
  isect_point* given = twin;
  sh6idnpt(&g.data, &twin, 1, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(twin, given);
  ASSERT_EQ(g.size(), 2);
  isect_point* p = first;
  isect_point* q = twin;
  sh6idcon(&g.data, &p, &q, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(p, first);
  EXPECT_EQ(q, twin);
  ASSERT_EQ(g.size(), 2);
  EXPECT_EQ(g.data->points[0], first);
  EXPECT_EQ(g.data->points[1], twin);
  EXPECT_EQ(twin->params[1], 0.25);
}

TEST(IsectGraph, AddingPointsMergesEqualParametersOnly) {
  Graph g;
  isect_point* held = g.add({1.0, 2.0});
  int st = 0;
  sh6idnpt(&g.data, &held, 1, &st);
  EXPECT_EQ(st, 1);

  struct Case {
    double second;
    int merge;
    int want;
  } cases[] = {
      {2.0 * (1 + 1e-13), 1, 2},
      {2.0 * (1 + 1e-11), 1, 0},
      {2.0, 0, 0},
  };
  for (const Case& c : cases) {
    isect_point* np = create_isect_point_geom(2, std::vector<double>{1.0, c.second}.data(), 0,
                                              1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
    isect_point* given = np;
    sh6idnpt(&g.data, &np, c.merge, &st);
    EXPECT_EQ(st, c.want);
    if (c.want == 2) EXPECT_EQ(np, held);
    else EXPECT_EQ(np, given);
  }
  // The point array grows by 20 past its first 20 entries.
  for (int i = 0; i < 40; ++i) g.add({10.0 + i, 0.0});
  EXPECT_EQ(g.size(), 43);
  EXPECT_EQ(g.data->point_capacity, 60);

  isect_data* fresh = nullptr;
  isect_point* lone = create_isect_point_geom(0, nullptr, 0, 1, 0, 0, 0, 0, 0, 0, nullptr,
                                              nullptr);
  sh6idnpt(&fresh, &lone, 1, &st);
  EXPECT_EQ(st, 0);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->point_capacity, 20);
  EXPECT_EQ(fresh->list_capacity, 10);

  // Removing the only point destroys the data.
  remove_point(&fresh, &lone, 0, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(fresh, nullptr);
  EXPECT_EQ(lone, nullptr);
}

TEST(IsectGraph, RemoveWithBridgingCarriesTheMarksOfTheRemovedSegments) {
  Graph g;
  isect_point* a = g.add({0.0, 0.0}, 1);
  isect_point* h = g.add({0.5, 0.0}, -1);
  isect_point* b = g.add({1.0, 0.0}, 1);
  g.link(a, h);
  g.link(h, b);
  EXPECT_EQ(h->kind, 1) << "a help point between two main points is promoted";
  h->kind = kHelpPoint;
  int st = 0;
  sh6setcnsdir(a, h, 1, &st);
  sh6setdir(a, h, &st);
  sh6setcnsdir(h, b, 1, &st);
  sh6setdir(h, b, &st);
  const int ma = mask_toward(a, h);
  const int mb = mask_toward(b, h);
  remove_point(&g.data, &h, 1, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(g.size(), 2);
  EXPECT_EQ(mask_toward(a, b), ma);
  EXPECT_EQ(mask_toward(b, a), mb);
  EXPECT_EQ(graph_problem(g.data), "");
}

TEST(IsectGraph, RemovingAMainPointWithBridgingTakesItsHelpChains) {
  Graph g;
  isect_point* a = g.add({0.0}, 1);
  isect_point* p = g.add({1.0}, 1);
  isect_point* b = g.add({2.0}, 1);
  isect_point* h1 = g.add({1.1}, -1);
  isect_point* h2 = g.add({1.2}, -1);
  isect_point* h3 = g.add({1.3}, -1);
  g.chain({a, p, b});
  g.chain({p, h1, h2});
  g.link(p, h3);
  int st = 0;
  remove_point(&g.data, &p, 1, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(g.size(), 2);
  EXPECT_TRUE(g.holds(a));
  EXPECT_TRUE(g.holds(b));
  EXPECT_EQ(neighbour_index(a, b), 0);
  EXPECT_EQ(graph_problem(g.data), "");

  // A point that the data does not hold is destroyed all the same.
  isect_point* stray = create_isect_point_geom(1, std::vector<double>{9.0}.data(), 0, 1, 0, 0,
                                               0, 0, 0, 0, nullptr, nullptr);
  remove_point(&g.data, &stray, 1, &st);
  EXPECT_EQ(st, 1);
  EXPECT_EQ(stray, nullptr);
  isect_point* none = nullptr;
  remove_point(&g.data, &none, 1, &st);
  EXPECT_EQ(st, 1);
}

TEST(IsectGraph, LinearUniteKeepsTheMainPointOrTakesTheWeightedMean) {
  struct Case {
    double weight;
    int first_kind;
    double want;
  } cases[] = {
      {0.0, 1, 0.2},    // the main point keeps its parameters
      {0.5, 1, 0.4},    // the mean
      // The help point goes and the weight is mirrored, so the result stays
      // (1 - w) * first + w * second.
      {0.0, -1, 0.2},
      {0.25, -1, 0.3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.weight);
    Graph g;
    isect_point* p = g.add({0.2}, c.first_kind);
    isect_point* q = g.add({0.6}, 1);
    isect_point* x = g.add({1.0}, 1);
    isect_point* y = g.add({-1.0}, 1);
    g.link(p, q);
    g.link(q, x);
    g.link(p, y);
    p->kind = c.first_kind;  // undo the promotion at its second main neighbour
    isect_point* survivor = c.first_kind > 0 ? p : q;
    int st = 0;
    sh6idunite_lin(&g.data, &p, &q, c.weight, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(p, survivor);
    EXPECT_EQ(q, nullptr);
    EXPECT_NEAR(p->params[0], c.want, 1e-15);
    EXPECT_EQ(g.size(), 3);
    EXPECT_GE(neighbour_index(p, x), 0);
    EXPECT_GE(neighbour_index(p, y), 0);
    EXPECT_EQ(graph_problem(g.data), "");
  }
}

// Fake evaluators: curve c(t) = (t, 2t, 0); the surface projection returns the
// position's first two coordinates.
void line_eval(const spline_curve*, int, double x, int*, double* out, int* st) {
  out[0] = x;
  out[1] = 2 * x;
  out[2] = 0;
  *st = 0;
}
void plane_project(spline_point* pt, spline_surface*, double, const double*, const double*,
                   const double*, double* res, int* st) {
  res[0] = pt->coords[0];
  res[1] = pt->coords[1];
  *st = 1;
}

TEST(IsectGraph, UniteProjectsTheFirstObjectsPositionOntoTheSecond) {
  ServiceGuard guard;
  isect_services().s1221 = line_eval;
  isect_services().s1773 = plane_project;
  double knots[4] = {0, 0, 1, 1};
  double coefs[6] = {0, 0, 0, 1, 2, 0};
  double sk[4] = {0, 0, 4, 4};
  double sc[12] = {0, 0, 0, 4, 0, 0, 0, 4, 0, 4, 4, 0};
  geom_object* o1 = create_geom_object(kCurveObject);
  o1->curve = create_curve(2, 2, knots, coefs, 1, 3, 1);
  geom_object* o2 = create_geom_object(kSurfaceObject);
  o2->surface = create_surface(2, 2, 2, 2, sk, sk, sc, 1, 3, 1);
  Graph g;
  isect_point* p = g.add({0.2, 9.0, 9.0}, 1);
  isect_point* q = g.add({0.4, 7.0, 7.0}, 1);
  int st = 0;
  sh6idunite(o1, o2, &g.data, &p, &q, 0.5, 1e-9, &st);
  EXPECT_EQ(st, 0);
  EXPECT_NEAR(p->params[0], 0.3, 1e-15);
  EXPECT_NEAR(p->params[1], 0.3, 1e-15);
  EXPECT_NEAR(p->params[2], 0.6, 1e-15);
  EXPECT_EQ(g.size(), 1);
  destroy_geom_object(o1);
  destroy_geom_object(o2);
}

TEST(IsectGraph, ProjectionOntoPointObjectComparesDistances) {
  double c[2] = {1.0, 1.0};
  geom_object* obj = create_geom_object(kPointObject);
  obj->point = create_point(c, 2, 1);
  const double near_pos[2] = {1.0, 1.05};
  const double far_pos[2] = {1.0, 1.2};
  double res[2];
  int st = 0;
  sh6ptobj(near_pos, obj, 0.1, nullptr, res, &st);
  EXPECT_EQ(st, 1);
  sh6ptobj(far_pos, obj, 0.1, nullptr, res, &st);
  EXPECT_EQ(st, 2);
  ReportLog log;
  sh6ptobj(near_pos, nullptr, 0.1, nullptr, res, &st);
  EXPECT_EQ(st, -106);
  EXPECT_TRUE(log.named("sh6ptobj"));
  destroy_geom_object(obj);
}

TEST(IsectGraph, MissingNewtonIterationIsReportedNotCalled) {
  ServiceGuard guard;
  isect_services() = isect_missing_services();
  double knots[4] = {0, 0, 1, 1};
  double coefs[4] = {0, 0, 1, 1};
  geom_object* obj = create_geom_object(kCurveObject);
  obj->curve = create_curve(2, 2, knots, coefs, 1, 2, 1);
  const double pos[2] = {0.5, 0.5};
  double start = 0.5, res = 0;
  ReportLog log;
  int st = 0;
  sh6ptobj(pos, obj, 1e-9, &start, &res, &st);
  EXPECT_EQ(st, kIsectServiceMissing);
  EXPECT_TRUE(log.named("s1771"));
  EXPECT_TRUE(log.named("sh6ptobj"));
  destroy_geom_object(obj);
}

TEST(IsectGraph, SplitGivesEveryFurtherMainNeighbourItsOwnCopy) {
  Graph g;
  isect_point* p = g.add({0.5, 0.5}, 2);
  isect_point* m[3];
  for (int i = 0; i < 3; ++i) {
    m[i] = g.add({0.1 * i, 0.0}, 1);
    g.link(p, m[i]);
  }
  isect_point* h = g.add({0.9, 0.9}, -1);
  g.link(p, h);
  int st = 0;
  split_point(&g.data, p, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(g.size(), 7);
  EXPECT_EQ(sh6nmbmain(p, &st), 1);
  EXPECT_EQ(neighbour_index(p, m[0]), 0) << "keeps the main neighbour of its lowest slot";
  EXPECT_GE(neighbour_index(p, h), 0) << "help neighbours stay";
  for (int i = 1; i < 3; ++i) {
    ASSERT_EQ(m[i]->neighbour_count, 1);
    isect_point* c = m[i]->neighbours[0];
    EXPECT_NE(c, p);
    EXPECT_EQ(c->neighbour_count, 1);
    EXPECT_EQ(c->kind, 2);
    EXPECT_EQ(c->params[0], 0.5);
  }
  EXPECT_EQ(graph_problem(g.data), "");
  split_point(&g.data, nullptr, &st);
  EXPECT_EQ(st, 1);
}

TEST(IsectGraph, KindChangesAndNeighbourCounts) {
  Graph g;
  isect_point* m = g.add({0.0}, 3);
  isect_point* h = g.add({1.0}, -1);
  isect_point* x = g.add({2.0}, 1);
  g.link(m, h);
  g.link(m, x);
  int st = 0;
  EXPECT_EQ(sh6nmbmain(m, &st), 1);
  EXPECT_EQ(sh6nmbhelp(m, &st), 1);
  EXPECT_EQ(st, 0);
  sh6tohelp(m, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(m->kind, -3);
  sh6tohelp(m, &st);
  EXPECT_EQ(st, 1);
  sh6tomain(m, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(m->kind, 3);
  sh6tomain(m, &st);
  EXPECT_EQ(st, 1);
  ReportLog log;
  sh6tomain(nullptr, &st);
  EXPECT_EQ(st, -1);
  sh6tohelp(nullptr, &st);
  EXPECT_EQ(st, -1);
  EXPECT_TRUE(log.named("sh6tomain"));
  EXPECT_TRUE(log.named("sh6tohelp"));

  EXPECT_EQ(get_neighbour(m, 1), x);
  EXPECT_EQ(get_neighbour(m, 2), nullptr);
  EXPECT_EQ(get_neighbour(nullptr, 0), nullptr);
}

TEST(IsectGraph, MainNeighboursCountsMainOnlyForMainPoints) {
  Graph g;
  isect_point* m = g.add({0.0}, 1);
  isect_point* h = g.add({1.0}, -1);
  isect_point* a = g.add({2.0}, 1);
  isect_point* b = g.add({3.0}, 1);
  isect_point *x = nullptr, *y = nullptr;
  int code = -1;
  main_neighbours(m, &x, &y, &code);
  EXPECT_EQ(code, 3);
  g.link(m, h);
  main_neighbours(m, &x, &y, &code);
  EXPECT_EQ(code, 3);
  main_neighbours(h, &x, &y, &code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(x, m);
  g.link(m, a);
  main_neighbours(m, &x, &y, &code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(x, a);
  g.link(m, b);
  main_neighbours(m, &x, &y, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(x, a);
  EXPECT_EQ(y, b);
  isect_point* c = g.add({4.0}, 1);
  g.link(m, c);
  main_neighbours(m, &x, &y, &code);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(x, nullptr);
  EXPECT_EQ(y, nullptr);
}

TEST(IsectGraph, GetmainWalksHelpChainsToTheirMainPoint) {
  Graph g;
  isect_point* m = g.add({0.0}, 1);
  isect_point* h1 = g.add({1.0}, -1);
  isect_point* h2 = g.add({2.0}, -1);
  isect_point* h3 = g.add({3.0}, -1);
  g.chain({m, h1, h2, h3});
  EXPECT_EQ(sh6getmain(h1), m);
  EXPECT_EQ(sh6getmain(h3), m);
  EXPECT_EQ(sh6getmain(h2), m);
  EXPECT_EQ(sh6getmain(m), nullptr);
  isect_point* lone = g.add({5.0}, -1);
  EXPECT_EQ(sh6getmain(lone), nullptr);
  // A help loop with no main point.
  isect_point* r1 = g.add({6.0}, -1);
  isect_point* r2 = g.add({7.0}, -1);
  isect_point* r3 = g.add({8.0}, -1);
  g.chain({r1, r2, r3, r1});
  EXPECT_EQ(sh6getmain(r1), nullptr);
}

TEST(IsectGraph, OrderPointChainFollowsBothSidesOfTheFirstPoint) {
  Graph g;
  isect_point* p[6];
  for (int i = 0; i < 6; ++i) p[i] = g.add({1.0 * i});
  g.chain({p[0], p[1], p[2], p[3], p[4], p[5]});
  // Start in the middle, the rest shuffled.
  isect_point* arr[6] = {p[2], p[5], p[0], p[3], p[1], p[4]};
  int count = 0, code = -1;
  order_point_chain(arr, 6, &count, &code);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(arr[0], p[2]);
  // One side comes first in chain order, then the other side.
  EXPECT_TRUE((arr[1] == p[1] && arr[2] == p[0] && arr[3] == p[3] && arr[4] == p[4] &&
               arr[5] == p[5]) ||
              (arr[1] == p[3] && arr[2] == p[4] && arr[3] == p[5] && arr[4] == p[1] &&
               arr[5] == p[0]));

  Graph loop;
  isect_point* q[4];
  for (int i = 0; i < 4; ++i) q[i] = loop.add({1.0 * i});
  loop.chain({q[0], q[1], q[2], q[3], q[0]});
  isect_point* arr2[4] = {q[0], q[2], q[3], q[1]};
  order_point_chain(arr2, 4, &count, &code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(count, 4);

  isect_point* lone = loop.add({9.0});
  isect_point* arr3[2] = {lone, q[1]};
  order_point_chain(arr3, 2, &count, &code);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(count, 1);
  order_point_chain(arr3, 0, &count, &code);
  EXPECT_EQ(count, 0);
}

TEST(IsectGraph, ReachesPointWithoutSteppingBack) {
  Graph g;
  isect_point* a = g.add({0.0});
  isect_point* b = g.add({1.0});
  isect_point* c = g.add({2.0});
  isect_point* d = g.add({3.0});
  g.chain({a, b, c});
  EXPECT_EQ(reaches_point(nullptr, a, c), 1);
  for (int i = 0; i < g.size(); ++i) g.data->points[i]->marker = 0;
  EXPECT_EQ(reaches_point(b, a, c), 0) << "only through the point it came from";
  for (int i = 0; i < g.size(); ++i) g.data->points[i]->marker = 0;
  EXPECT_EQ(reaches_point(nullptr, a, d), 0);
  EXPECT_EQ(a->marker, -199);
  EXPECT_EQ(c->marker, -199);
  for (int i = 0; i < g.size(); ++i) g.data->points[i]->marker = 0;
  g.link(c, a);  // loop a-b-c-a
  EXPECT_EQ(reaches_point(b, a, b), 1) << "around the loop";
}

// Projection onto the fixture's straight curves (t, 0, 0): t = x.
void line_project(spline_point* pt, spline_curve*, double, double, double, double,
                  double* res, int* st) {
  *res = pt->coords[0];
  *st = 1;
}
void no_tops(geom_object*, geom_object*, isect_data*, int* st) { *st = 0; }

// A long random sequence of graph operations, with the reductions and the list builder
// run now and then, keeps every connection two-sided.
TEST(IsectGraph, RandomOperationSequenceKeepsTheGraphTwoSided) {
  ServiceGuard guard;
  isect_services().s1771 = line_project;
  isect_services().set_point_tops = no_tops;
  ObjectPair curves(curve_object(0, 1), curve_object(0, 1));
  std::mt19937 rng(20261211);
  Graph g;
  auto pick = [&]() -> isect_point* {
    if (g.size() == 0) return nullptr;
    return g.data->points[std::uniform_int_distribution<int>(0, g.size() - 1)(rng)];
  };
  std::uniform_int_distribution<int> grid(0, 20);
  std::uniform_int_distribution<int> kinds(0, 9);
  auto make = [&](int kind) {
    // Parameters on a coarse grid, so that boundary points and merges occur.
    const double par[2] = {0.05 * grid(rng), 0.05 * grid(rng)};
    return create_isect_point_geom(2, par, 0.0, kind, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  };
  ReportLog quiet;  // one-sided errors would show up as failures below
  int reductions = 0, list_builds = 0;
  for (int step = 0; step < 100000; ++step) {
    int st = 0;
    const int op = std::uniform_int_distribution<int>(0, 999)(rng);
    const bool crowded = g.size() > 60;
    if (g.size() < 3 || (op < 150 && !crowded)) {
      const int k = kinds(rng);
      isect_point* np = make(k < 3 ? -1 : k == 9 ? 3 : 1);
      sh6idnpt(&g.data, &np, op % 2, &st);
      ASSERT_GE(st, 0);
    } else if (op < 450) {
      isect_point* p = pick();
      isect_point* q = pick();
      if (p == q) continue;
      sh6connect(p, q, &st);
      ASSERT_GE(st, 0) << step;
    } else if (op < 600) {
      isect_point* p = pick();
      if (p->neighbour_count > 0) {
        sh6disconnect(p, p->neighbours[op % p->neighbour_count], &st);
        ASSERT_EQ(st, 0);
      }
    } else if (op < 700) {
      isect_point* p = pick();
      if (p->neighbour_count > 0) {
        isect_point* np = make(-1);
        sh6insert(&g.data, p, p->neighbours[0], &np, &st);
        ASSERT_GE(st, 0);
      }
    } else if (op < 820 || crowded) {
      isect_point* p = pick();
      remove_point(&g.data, &p, op % 2, &st);
      ASSERT_GE(st, 0) << step;
    } else if (op < 880) {
      isect_point* p = pick();
      isect_point* q = pick();
      if (p != q) {
        sh6idunite_lin(&g.data, &p, &q, 0.5, &st);
        ASSERT_GE(st, 0);
      }
    } else if (op < 930) {
      split_point(&g.data, pick(), &st);
      ASSERT_GE(st, 0);
    } else if (op < 990) {
      isect_point* p = pick();
      if (op % 2) sh6tomain(p, &st);
      else sh6tohelp(p, &st);
      ASSERT_GE(st, 0);
    } else if (op < 995) {
      sh6edgred(curves.o1, curves.o2, &g.data, &st);
      ASSERT_GE(st, 0) << step;
      ++reductions;
    } else {
      sh6idlis(curves.o1, curves.o2, &g.data, &st);
      ASSERT_GE(st, 0) << step;
      ++list_builds;
      // The lists name points of the data; drop them before the graph changes again.
      if (g.data) {
        for (int i = 0; i < g.data->list_count; ++i) destroy_isect_list(g.data->lists[i]);
        g.data->list_count = 0;
      }
    }
    const std::string problem = fast_graph_problem(g.data);
    ASSERT_EQ(problem, "") << "after step " << step << ", operation " << op;
  }
  EXPECT_GT(reductions, 100);
  EXPECT_GT(list_builds, 100);
  EXPECT_EQ(quiet.count(), 0) << (quiet.count() ? quiet.lines()[0] : std::string());
}

}  // namespace
