// Chained intersection point lists: insertion with merging, chaining with splits and
// reversals, list building, removal, lifting of sub-problems, edge lists, and their
// output as points and curves.
#include "spline/handles.h"
#include "spline/detail/isect/chain_lists.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "spline/detail/isect/chain_output.h"
#include "spline/detail/isect/isect_records.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

isect_point* pt(double u, double v, int kind = 1) {
  const double p[2] = {u, v};
  isect_point* q = create_isect_point(2, p, 0.0);
  q->kind = kind;
  return q;
}

struct Data {
  isect_data* d = nullptr;
  ~Data() { destroy_isect_data(d); }
  isect_point* add(isect_point* p, int compare = 1) {
    int st = 0;
    s6idnpt(&d, &p, compare, &st);
    EXPECT_EQ(st, 0);
    return p;
  }
  int con(isect_point* a, isect_point* b) {
    int st = 0;
    const int r = s6idcon(&d, &a, &b, &st);
    EXPECT_EQ(st, 0);
    return r;
  }
  void lists() {
    int st = 0;
    s6idlis(nullptr, nullptr, &d, &st);
    EXPECT_EQ(st, 0);
  }
};

// Points of a chain from start, following links, at most limit.
std::vector<isect_point*> walk(isect_point* start, int limit = 50) {
  std::vector<isect_point*> out;
  for (isect_point* p = start; p && limit-- > 0; p = p->link) {
    out.push_back(p);
    if (p->link == start) break;
  }
  return out;
}

TEST(ChainedLists, InsertMergesEqualPointsExceptSingularOnes) {
  Data d;
  isect_point* a = d.add(pt(1.0, 2.0));
  int st = 0;
  isect_point* same = a;
  EXPECT_EQ(s6idnpt(&d.d, &same, 1, &st), 1);
  isect_point* near = pt(1.0 + 1e-13, 2.0);
  EXPECT_EQ(s6idnpt(&d.d, &near, 1, &st), 2);
  EXPECT_EQ(near, a);
  isect_point* far = pt(1.0 + 1e-9, 2.0);
  EXPECT_EQ(s6idnpt(&d.d, &far, 1, &st), 0);
  isect_point* singular = pt(1.0, 2.0, 2);
  EXPECT_EQ(s6idnpt(&d.d, &singular, 1, &st), 0);
  EXPECT_EQ(d.d->point_count, 3);
  // Growth past the first block of room.
  for (int i = 0; i < 45; ++i) d.add(pt(10.0 + i, 0.0));
  EXPECT_EQ(d.d->point_count, 48);
}

TEST(ChainedLists, ChainingIntoTheMiddleSplitsThere) {
  Data d;
  isect_point* a = d.add(pt(0, 0));
  isect_point* b = d.add(pt(1, 0));
  isect_point* c = d.add(pt(2, 0));
  isect_point* x = d.add(pt(1, 5));
  EXPECT_EQ(d.con(a, b), 0);
  EXPECT_EQ(d.con(b, c), 0);
  EXPECT_EQ(d.con(a, b), 1);
  EXPECT_EQ(d.con(b, a), 1);
  EXPECT_EQ(d.con(a, a), 2);
  EXPECT_EQ(d.con(b, x), 0);
  EXPECT_EQ(b->kind, 2);
  EXPECT_EQ(d.d->point_count, 5);  // a copy of b was added
  d.lists();
  // a -> b, b' -> c ... and a branch b'' -> x: every list is a valid open chain whose
  // singular end sits at (1, 0).
  ASSERT_GE(d.d->list_count, 2);
  int ends_at_b = 0;
  for (int i = 0; i < d.d->list_count; ++i) {
    const isect_list* l = d.d->lists[i];
    EXPECT_NE(l->list_type, 1);
    const auto chain = walk(l->first);
    EXPECT_EQ(static_cast<int>(chain.size()), l->point_count);
    EXPECT_EQ(chain.back(), l->last);
    for (const isect_point* p : {l->first, l->last})
      if (p->params[0] == 1.0 && p->params[1] == 0.0) ++ends_at_b;
  }
  EXPECT_GE(ends_at_b, 2);
}

TEST(ChainedLists, ChainingReversesChainsToJoinThem) {
  Data d;
  isect_point* a = d.add(pt(0, 0));
  isect_point* b = d.add(pt(1, 0));
  isect_point* c = d.add(pt(2, 0));
  isect_point* e = d.add(pt(3, 0));
  d.con(a, b);  // a -> b
  d.con(e, c);  // e -> c
  d.con(b, c);  // joins: c's chain is turned round
  d.lists();
  ASSERT_EQ(d.d->list_count, 1);
  const isect_list* l = d.d->lists[0];
  EXPECT_EQ(l->list_type, 0);
  EXPECT_EQ(l->point_count, 4);
  const auto chain = walk(l->first);
  ASSERT_EQ(chain.size(), 4u);
  EXPECT_EQ(chain[0], a);
  EXPECT_EQ(chain[3], e);
}

TEST(ChainedLists, SingularInnerPointSplitsIntoTwoLists) {
  Data d;
  isect_point* a = d.add(pt(0, 0));
  isect_point* b = d.add(pt(1, 0, 2));
  isect_point* c = d.add(pt(2, 0));
  d.con(a, b);
  d.con(b, c);
  d.lists();
  ASSERT_EQ(d.d->list_count, 2);
  const isect_list* l0 = d.d->lists[0];
  const isect_list* l1 = d.d->lists[1];
  const isect_list* first = l0->first == a ? l0 : l1;
  const isect_list* second = l0->first == a ? l1 : l0;
  EXPECT_EQ(first->last, b);
  EXPECT_EQ(first->list_type, 3);
  EXPECT_EQ(second->last, c);
  EXPECT_EQ(second->list_type, 2);
  EXPECT_NE(second->first, b);
  EXPECT_EQ(second->first->params[0], 1.0);
  EXPECT_EQ(second->first->kind, 2);
}

TEST(ChainedLists, ClosedChainOfFourPoints) {
  Data d;
  isect_point* p[4];
  for (int i = 0; i < 4; ++i) p[i] = d.add(pt(i, i * i));
  for (int i = 0; i < 4; ++i) d.con(p[i], p[(i + 1) % 4]);
  isect_point* lone = d.add(pt(9, 9));
  d.lists();
  ASSERT_EQ(d.d->list_count, 1);
  const isect_list* l = d.d->lists[0];
  EXPECT_EQ(l->list_type, 1);
  EXPECT_EQ(l->point_count, 4);
  EXPECT_EQ(l->first, l->last->link);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(p[i]->kind, 1);  // visit marks undone
  EXPECT_EQ(lone->link, nullptr);
  // Building again replaces the lists.
  d.lists();
  EXPECT_EQ(d.d->list_count, 1);
}

TEST(ChainedLists, RemovingPointsAndListsFreesEmptyData) {
  Data d;
  isect_point* a = d.add(pt(0, 0));
  isect_point* b = d.add(pt(1, 0));
  isect_point* c = d.add(pt(2, 0));
  d.con(a, b);
  d.con(b, c);
  d.lists();
  isect_point* pred = nullptr;
  isect_point* succ = nullptr;
  int st = 0;
  isect_point* victim = b;
  EXPECT_EQ(remove_chain_point(&d.d, &victim, &pred, &succ, &st), 0);
  EXPECT_EQ(victim, nullptr);
  EXPECT_EQ(pred, a);
  EXPECT_EQ(succ, c);
  EXPECT_EQ(a->link, nullptr);
  EXPECT_EQ(d.d->point_count, 2);
  isect_point* stranger = pt(5, 5);
  EXPECT_EQ(remove_chain_point(&d.d, &stranger, nullptr, nullptr, &st), 1);
  // Re-chain and remove the list: the data goes with its last point.
  d.con(a, c);
  d.lists();
  ASSERT_EQ(d.d->list_count, 1);
  isect_list foreign{};
  EXPECT_EQ(s6idklist(&d.d, &foreign, &st), 1);
  EXPECT_EQ(s6idklist(&d.d, d.d->lists[0], &st), 0);
  EXPECT_EQ(d.d, nullptr);
  EXPECT_EQ(s6idklist(&d.d, nullptr, &st), 0);
}

TEST(ChainedLists, LiftingASubProblemInsertsTheFixedValue) {
  Data sub;
  const double p1[1] = {0.25}, p2[1] = {0.75};
  isect_point* a = create_isect_point(1, p1, 3.0);
  isect_point* b = create_isect_point(1, p2, 3.0);
  sub.add(a);
  sub.add(b);
  sub.con(a, b);
  Data parent;
  parent.add(pt(0.25, 0.5));  // equal to the first lifted point
  int st = 0;
  s6idput(&parent.d, sub.d, 1, 0.5, &st);
  ASSERT_EQ(st, 0);
  ASSERT_EQ(parent.d->point_count, 2);
  isect_point* first = parent.d->points[0];
  isect_point* second = parent.d->points[1];
  EXPECT_EQ(second->params[0], 0.75);
  EXPECT_EQ(second->params[1], 0.5);
  EXPECT_EQ(first->link, second);
  s6idput(&parent.d, sub.d, 2, 0.5, &st);
  EXPECT_EQ(st, -191);
  s6idput(&parent.d, nullptr, 7, 0.5, &st);
  EXPECT_EQ(st, 0);
}

TEST(ChainedLists, EdgeListsAndInnerPoints) {
  auto s = poly_surface_1d({{0, 1}, {1}}, {0, 0, 1, 1}, {0, 0, 2, 2}, 2, 2);
  geom_object* o = create_geom_object(kSurfaceObject);
  o->surface = s.get();
  geom_object* other = create_geom_object(kPointObject);
  Data d;
  d.add(pt(0.0, 0.5));
  d.add(pt(0.3, 2.0));
  d.add(pt(1.0, 2.0));
  d.add(pt(1.0 - 1e-14, 1.0));
  d.add(pt(0.5, 0.5));
  edge_node* head = nullptr;
  int count = 0, st = 0;
  // Second parameter at its end: (0.3, 2) and (1, 2).
  s6idedg(o, other, 1, 2, 2.0, d.d, &head, &count, &st);
  EXPECT_EQ(count, 2);
  int n = 0;
  for (edge_node* e = head; e; e = e->next) {
    EXPECT_EQ(e->point->params[1], 2.0);
    ++n;
  }
  EXPECT_EQ(n, 2);
  for (edge_node* e = head; e;) {
    edge_node* next = e->next;
    destroy_edge_node(e);
    e = next;
  }
  // First parameter at its end, met within the relative tolerance.
  head = nullptr;
  count = 0;
  s6idedg(o, other, 1, 1, 1.0, d.d, &head, &count, &st);
  EXPECT_EQ(count, 2);
  for (edge_node* e = head; e;) {
    edge_node* next = e->next;
    destroy_edge_node(e);
    e = next;
  }
  isect_point* inner = nullptr;
  EXPECT_EQ(inner_isect_point(o, other, d.d, &inner, 1), d.d->points[4]);
  EXPECT_EQ(inner, d.d->points[4]);
  EXPECT_EQ(inner_isect_point(o, other, d.d, &inner, 2), nullptr);  // a point has none
  EXPECT_EQ(inner_isect_point(o, other, nullptr, &inner, 1), nullptr);
  o->surface = nullptr;
  destroy_geom_object(o);
  destroy_geom_object(other);
}

TEST(ChainedLists, IdentifyTwoLevelPoints) {
  // f(u, v) = u: the level 0.5 runs along u = 0.5.
  auto s = poly_surface_1d({{0}, {1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  int st = 0;
  const double a[2] = {0.5, 0.1}, b[2] = {0.5, 0.9}, c[2] = {0.1, 0.9}, out[2] = {2, 0};
  EXPECT_EQ(s6identify(s.get(), a, a, 0.5, 1.0, 1e-9, &st), 1);
  EXPECT_EQ(s6identify(s.get(), a, b, 0.5, 1.0, 1e-9, &st), 1);
  EXPECT_EQ(s6identify(s.get(), a, c, 0.5, 1.0, 1e-9, &st), 0);
  EXPECT_EQ(s6identify(s.get(), a, b, 0.5, 0.1, 1e-9, &st), 0);
  EXPECT_EQ(s6identify(s.get(), a, out, 0.5, 1.0, 1e-9, &st), 0);
  EXPECT_EQ(st, -109);
}

struct Output {
  int single = 0, curves = 0, status = 0;
  double* p1 = nullptr;
  double* p2 = nullptr;
  isect_curve** list = nullptr;
  ~Output() {
    std::free(p1);
    std::free(p2);
    destroy_isect_curve_array(list, curves);
  }
};

TEST(ChainOutput, ListsBecomeCurvesAndTheRestSinglePoints) {
  Data d;
  isect_point* p[4];
  for (int i = 0; i < 4; ++i) p[i] = d.add(pt(i, 10 + i));
  for (int i = 0; i < 4; ++i) d.con(p[i], p[(i + 1) % 4]);
  isect_point* a = d.add(pt(5, 5, 2));
  isect_point* b = d.add(pt(6, 6));
  d.con(a, b);
  d.add(pt(7, 7));
  d.add(pt(8, 8));
  d.lists();
  ASSERT_EQ(d.d->list_count, 2);
  Output o;
  s1880(1, 1, &d.d->point_count, d.d->points, &d.d->list_count, d.d->lists, &o.single, &o.p1,
        &o.p2, &o.curves, &o.list, &o.status);
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(d.d->point_count, 0);
  ASSERT_EQ(o.single, 2);
  EXPECT_EQ(o.p1[0], 7);
  EXPECT_EQ(o.p2[1], 8);
  ASSERT_EQ(o.curves, 2);
  std::vector<int> types;
  for (int i = 0; i < 2; ++i) {
    types.push_back(o.list[i]->curve_type);
    EXPECT_EQ(o.list[i]->param_count1, 1);
    EXPECT_EQ(o.list[i]->param_count2, 1);
  }
  EXPECT_EQ(o.list[types[0] == 2 ? 0 : 1]->point_count, 4);
  EXPECT_EQ(o.list[types[0] == 2 ? 1 : 0]->curve_type, 5);
  EXPECT_EQ(o.list[types[0] == 2 ? 1 : 0]->params2[0], 5);
  // The lists no longer name the freed points.
  for (int i = 0; i < d.d->list_count; ++i) {
    EXPECT_EQ(d.d->lists[i]->first, nullptr);
    EXPECT_EQ(d.d->lists[i]->last, nullptr);
  }
}

TEST(ChainOutput, EmptyOutputsAreNullAndBadListsFail) {
  Data d;
  d.add(pt(1, 2));
  Output o;
  s1880(2, 0, &d.d->point_count, d.d->points, &d.d->list_count, d.d->lists, &o.single, &o.p1,
        &o.p2, &o.curves, &o.list, &o.status);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.single, 1);
  EXPECT_EQ(o.p2, nullptr);
  EXPECT_EQ(o.list, nullptr);
  Data e;
  isect_point* a = e.add(pt(0, 0));
  isect_point* b = e.add(pt(1, 0));
  e.con(a, b);
  e.lists();
  e.d->lists[0]->list_type = 6;
  Output bad;
  s1880(2, 0, &e.d->point_count, e.d->points, &e.d->list_count, e.d->lists, &bad.single,
        &bad.p1, &bad.p2, &bad.curves, &bad.list, &bad.status);
  EXPECT_EQ(bad.status, -146);
  EXPECT_EQ(bad.curves, 0);
}

TEST(ChainOutput, KRegularSurfaceCopy) {
  auto s = poly_surface_1d({{1, 2}, {3}}, {0, 0, 0, 0.5, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, 3, 3);
  spline_surface* k = nullptr;
  int st = -1;
  make_sf_kreg(s.get(), &k, &st);
  const SurfaceHandle owned_k1(k);
  ASSERT_EQ(st, 0);
  ASSERT_NE(k, nullptr);
  for (double u : {0.0, 0.3, 1.0})
    for (double v : {0.0, 0.8})
      EXPECT_NEAR(eval_surface(k, u, v)[0], eval_surface(s.get(), u, v)[0], 1e-12);
}

}  // namespace
