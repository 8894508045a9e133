#include <gtest/gtest.h>

#include <cmath>

#include "isect_fixture.h"
#include "spline/curve_eval.h"
#include "spline/detail/isect/isect_degen.h"
#include "spline/detail/isect/isect_marks.h"

using namespace isect_test;

namespace {

// A bilinear surface through four corners (first direction fastest).
geom_object* plane(const double c00[3], const double c10[3], const double c01[3],
                   const double c11[3]) {
  double k[4] = {0, 0, 1, 1};
  double coefs[12];
  const double* corners[4] = {c00, c10, c01, c11};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j) coefs[3 * i + j] = corners[i][j];
  geom_object* obj = create_geom_object(kSurfaceObject);
  obj->surface = create_surface(2, 2, 2, 2, k, k, coefs, 1, 3, 1);
  obj->origin = obj;
  return obj;
}

// The x-z plane (u, 0, v).
geom_object* xz_plane() {
  const double a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 0, 1}, d[3] = {1, 0, 1};
  return plane(a, b, c, d);
}

isect_list* add_list(isect_data* data, isect_point* first, isect_point* second,
                     isect_point* last, int count) {
  isect_list* l = create_isect_list(first, last, 0);
  l->point_count = count;
  l->first_slot = neighbour_index(first, second);
  data->lists[data->list_count++] = l;
  return l;
}

TEST(IsectDegen, ListWithinToleranceShrinksToItsFirstPoint) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  for (bool crowded : {false, true}) {
    SCOPED_TRACE(crowded);
    Graph g;
    isect_point* p0 = g.add({0.5, 0.5, 0.5, 0.5});
    isect_point* p1 = g.add({0.5 + 1e-7, 0.5, 0.5, 0.5});
    isect_point* p2 = g.add({0.5, 0.5 + 1e-7, 0.5, 0.5});
    g.chain({p0, p1, p2});
    add_list(g.data, p0, p1, p2, 3);
    // A list that is a real curve stays.
    isect_point* f = g.add({0.1, 0.1, 0.1, 0.1});
    isect_point* l = g.add({0.9, 0.1, 0.9, 0.1});
    g.link(f, l);
    add_list(g.data, f, l, l, 2);
    isect_point* other = crowded ? g.add({0.5, 0.5 + 1e-6, 0.5, 0.5}) : nullptr;
    int st = 0;
    sh6degen(objs.o1, objs.o2, &g.data, 1e-5, &st);
    EXPECT_EQ(st, 0);
    ASSERT_EQ(g.data->list_count, 1);
    EXPECT_EQ(g.data->lists[0]->first, f);
    EXPECT_FALSE(g.holds(p1));
    EXPECT_FALSE(g.holds(p2));
    EXPECT_EQ(g.holds(p0), !crowded);
    if (!crowded) {
      EXPECT_EQ(p0->neighbour_count, 0);
      EXPECT_EQ(p0->marker, 0);
    }
    if (other) {
      EXPECT_TRUE(g.holds(other));
    }
    EXPECT_EQ(graph_problem(g.data), "");
  }
}

TEST(IsectDegen, SmallLoopWithAFarMiddleStays) {
  // A closed polygon (0,0) (1,0) (1,1) (0,0) against a point: parameters 0 and 3 meet.
  double k[6] = {0, 0, 1, 2, 3, 3};
  double c[8] = {0, 0, 1, 0, 1, 1, 0, 0};
  geom_object* curve = create_geom_object(kCurveObject);
  curve->curve = create_curve(4, 2, k, c, 1, 2, 1);
  ObjectPair objs(curve, point_object({0, 0}));
  struct Case {
    double end;
    bool stays;
  } cases[] = {{3.0, true}, {1e-6, false}};
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.end);
    Graph g;
    isect_point* a = g.add({0.0});
    isect_point* b = g.add({cs.end});
    g.link(a, b);
    add_list(g.data, a, b, b, 2);
    int st = 0;
    sh6degen(objs.o1, objs.o2, &g.data, 1e-3, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(g.data->list_count, cs.stays ? 1 : 0);
    EXPECT_EQ(g.size(), cs.stays ? 2 : 1);
    EXPECT_TRUE(g.holds(a));
  }
}

TEST(IsectDegen, ListsStartingAtKindThreeAreKept) {
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  Graph g;
  isect_point* p0 = g.add({0.5, 0.5, 0.5, 0.5}, 3);
  isect_point* p1 = g.add({0.5 + 1e-9, 0.5, 0.5, 0.5});
  g.link(p0, p1);
  add_list(g.data, p0, p1, p1, 2);
  int st = 0;
  sh6degen(objs.o1, objs.o2, &g.data, 1e-5, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(g.data->list_count, 1);
  EXPECT_EQ(g.size(), 2);
  isect_data* none = nullptr;
  sh6degen(objs.o1, objs.o2, &none, 1e-5, &st);
  EXPECT_EQ(st, 0);
}

TEST(IsectDegen, SurfaceBlockHasANormalOnlyInThreeDimensions) {
  for (int dim : {2, 3}) {
    SCOPED_TRACE(dim);
    geom_object* s = surface_object(0, 1, 0, 1, dim);
    Graph g;
    isect_point* pt = g.add({0.25, 0.75});
    double *block = nullptr, *normal = nullptr;
    int st = 0;
    point_object_geom(s, 1, pt, &block, &normal, 1e-9, &st);
    EXPECT_EQ(st, 0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block, pt->geom1);
    EXPECT_EQ(pt->geom_size1, dim == 3 ? 21 : 12);
    EXPECT_DOUBLE_EQ(block[0], 0.25);
    EXPECT_DOUBLE_EQ(block[1], 0.75);
    EXPECT_DOUBLE_EQ(block[dim], 1.0);  // Su = (1, 0, ...)
    if (dim == 3) {
      ASSERT_EQ(normal, block + 18);
      EXPECT_DOUBLE_EQ(normal[2], 1.0);
    } else {
      EXPECT_EQ(normal, nullptr);
    }
    // The cached block is returned again.
    block[0] = 42;
    double* again = nullptr;
    point_object_geom(s, 1, pt, &again, &normal, 1e-9, &st);
    EXPECT_EQ(again[0], 42);
    destroy_geom_object(s);
  }
}

int pair_calls = 0;
void pair_geom_backwards(const double* b1, const double* b2, const double*, const double*,
                         double* cg, double* sg1, double* sg2, int* st) {
  ++pair_calls;
  for (int i = 0; i < 3; ++i) cg[i] = 0.5 * (b1[i] + b2[i]);
  cg[3] = -1;  // against N1 x N2 of the two test planes
  cg[4] = cg[5] = 0;
  sg1[2] = 0.5;
  sg1[3] = 0.25;
  sg2[2] = -0.5;
  sg2[3] = 0.125;
  *st = 0;
}

TEST(IsectDegen, TwoSurfacePointTangentIsOrientedByTheNormals) {
  ServiceGuard guard;
  isect_services().surf_pair_curve_geom = pair_geom_backwards;
  ObjectPair objs(surface_object(0, 1, 0, 1), xz_plane());
  Graph g;
  isect_point* pt = g.add({0.4, 0.0, 0.4, 0.0});
  double *cg = nullptr, *s1 = nullptr, *s2 = nullptr;
  int st = 0;
  pair_calls = 0;
  shevalint(objs.o1, objs.o2, nullptr, 0, pt, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(cg, pt->curve_geom);
  EXPECT_EQ(pt->evaluated, 1);
  EXPECT_EQ(pt->kind, 1);
  EXPECT_DOUBLE_EQ(cg[3], 1.0);
  EXPECT_DOUBLE_EQ(s1[2], -0.5);
  EXPECT_DOUBLE_EQ(s1[3], -0.25);
  EXPECT_DOUBLE_EQ(s2[2], 0.5);
  EXPECT_DOUBLE_EQ(s2[3], -0.125);
  EXPECT_DOUBLE_EQ(cg[0], 0.4);
}

TEST(IsectDegen, TangentSurfacesMarkThePointAndCacheTheResult) {
  ServiceGuard guard;
  isect_services().surf_pair_curve_geom = pair_geom_backwards;
  ObjectPair objs(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1));
  Graph g;
  isect_point* pt = g.add({0.3, 0.3, 0.3, 0.3});
  double *cg = nullptr, *s1 = nullptr, *s2 = nullptr;
  int st = 0;
  pair_calls = 0;
  shevalint(objs.o1, objs.o2, nullptr, 0, pt, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(pt->kind, 2);
  EXPECT_EQ(pair_calls, 1);
  EXPECT_DOUBLE_EQ(cg[0], 0.3);
  shevalint(objs.o1, objs.o2, nullptr, 0, pt, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(pair_calls, 1) << "the second call returns the cache";
}

void levelled_by_s1221(const spline_curve* c, int der, double x, double, int* left,
                       double* out, int* st) {
  s1221(c, der, x, left, out, st);
}

TEST(IsectDegen, SeamModeGivesThePositionAndTheUnitTangent) {
  ServiceGuard guard;
  isect_services().eval_curve_levelled = levelled_by_s1221;
  ObjectPair objs(curve_object(0, 1, 3), curve_object(0, 1, 3));
  Graph g;
  isect_point* pt = g.add({0.25, 0.5});
  double *cg = nullptr, *s1 = nullptr, *s2 = nullptr;
  int st = 0;
  shevalint(objs.o1, objs.o2, nullptr, 2000, pt, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, 0);
  EXPECT_DOUBLE_EQ(cg[0], 0.25);
  EXPECT_EQ(cg[3], 1.0);
  EXPECT_EQ(cg[4], 0.0);
  EXPECT_EQ(cg[5], 0.0);
  EXPECT_EQ(pt->geom_size1, 6);
  EXPECT_EQ(pt->geom_size2, 0);

  // Two curves: the second curve's block is the curve geometry.
  Graph g2;
  isect_point* q = g2.add({0.25, 0.75});
  shevalint(objs.o1, objs.o2, nullptr, 0, q, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, 0);
  EXPECT_DOUBLE_EQ(cg[0], 0.75);
  EXPECT_DOUBLE_EQ(cg[3], 1.0);
}

int implicit_status = 0;
void fake_s1331(const double*, const double*, int, int, double* values, double* gradient,
                int* st) {
  values[0] = 0;
  gradient[0] = 0;
  gradient[1] = 1;  // the plane y = 0
  gradient[2] = 0;
  *st = 0;
}
void fake_s1306(const double* block, const double*, const double*, int, double* cg,
                double* sg, int* st) {
  for (int i = 0; i < 3; ++i) cg[i] = block[i];
  cg[3] = -1;
  cg[4] = cg[5] = 0;
  sg[2] = 1;
  sg[3] = 0;
  *st = implicit_status;
}

TEST(IsectDegen, ImplicitObjectCasesMarkAndOrient) {
  ServiceGuard guard;
  isect_services().s1331 = fake_s1331;
  isect_services().s1306 = fake_s1306;
  // The plane z = 0 has N = (0, 0, 1); with G = (0, 1, 0), N x G = (-1, 0, 0).
  struct Case {
    int s1306_status;
    int kind;
    int want_kind;
    double want_tangent;
  } cases[] = {{0, 1, 1, -1.0}, {2, 1, 2, -1.0}, {10, 2, 4, -1.0}, {10, 3, 3, -1.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.s1306_status);
    ObjectPair objs(surface_object(0, 1, 0, 1), point_object({0, 0, 0}));
    Graph g;
    isect_point* pt = g.add({0.5, 0.5}, c.kind);
    implicit_status = c.s1306_status;
    double *cg = nullptr, *s1 = nullptr, *s2 = nullptr;
    int st = 0;
    const double coefs[4] = {0, 1, 0, 0};
    shevalint(objs.o1, objs.o2, coefs, 1, pt, 1e-9, &cg, &s1, &s2, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(pt->kind, c.want_kind);
    EXPECT_EQ(pt->geom_size1, 21);
    EXPECT_DOUBLE_EQ(cg[3], c.want_tangent);
  }
}

TEST(IsectDegen, UnsupportedConfigurationsAreRefused) {
  ObjectPair surfaces(surface_object(0, 1, 0, 1), surface_object(0, 1, 0, 1, 2));
  ObjectPair points(point_object({0, 0, 0}), surface_object(0, 1, 0, 1));
  Graph g;
  isect_point* pt = g.add({0.5, 0.5, 0.5, 0.5});
  double *cg = nullptr, *s1 = nullptr, *s2 = nullptr;
  ReportLog log;
  int st = 0;
  shevalint(surfaces.o1, surfaces.o2, nullptr, 0, pt, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, -200);
  shevalint(surfaces.o1, surfaces.o1, nullptr, -1, pt, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, -200);
  shevalint(points.o1, points.o2, nullptr, 0, pt, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, -200);
  shevalint(surfaces.o1, surfaces.o1, nullptr, 0, nullptr, 1e-9, &cg, &s1, &s2, &st);
  EXPECT_EQ(st, -200);
  EXPECT_EQ(pt->evaluated, 0);
  EXPECT_TRUE(log.named("shevalint"));
}

}  // namespace
