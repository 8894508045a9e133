// Greatest value of one-dimensional points, curves and surfaces, against closed forms,
// with the coefficient tests of the search.
#include "spline/detail/isect/extremal.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/isect_records.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

struct Search {
  geom_object* object = nullptr;
  isect_data* data = nullptr;
  double running = -DBL_MAX;
  int status = 0;
  ~Search() {
    destroy_isect_data(data);
    destroy_geom_object(object);
  }
  void run(double aepsge) { s1161(object, &running, aepsge, &data, &status); }
  // Points on no list.
  std::vector<const isect_point*> singles() const {
    std::vector<const isect_point*> out;
    if (!data) return out;
    for (int i = 0; i < data->point_count; ++i) {
      const isect_point* p = data->points[i];
      bool listed = false;
      for (int l = 0; l < data->list_count; ++l)
        for (const isect_point* q = data->lists[l]->first; q; q = q->link) {
          if (q == p) listed = true;
          if (q == data->lists[l]->last) break;
        }
      if (!listed) out.push_back(p);
    }
    return out;
  }
};

Search on_curve(CurveHandle c) {
  Search s;
  s.object = create_geom_object(kCurveObject);
  s.object->curve = c.release();
  return s;
}

TEST(ExtremalSearch, PointAgainstTheRunningValue) {
  struct Case {
    double value, running;
    int status;
    double after;
    int points;
  } cases[] = {{1.005, 1.0, 1, 1.0, 1}, {2.0, 1.0, 2, 2.0, 1}, {0.5, 1.0, 0, 1.0, 0}};
  for (const Case& k : cases) {
    Search s;
    s.object = create_geom_object(kPointObject);
    double v = k.value;
    s.object->point = create_point(&v, 1, 1);
    s.running = k.running;
    s.run(0.01);
    EXPECT_EQ(s.status, k.status);
    EXPECT_EQ(s.running, k.after);
    EXPECT_EQ(s.data ? s.data->point_count : 0, k.points);
    if (s.data) {
      EXPECT_EQ(s.data->points[0]->param_count, 0);
    }
  }
  Search bad;
  bad.object = create_geom_object(kPointObject);
  double v[2] = {1, 2};
  bad.object->point = create_point(v, 2, 1);
  bad.run(0.01);
  EXPECT_EQ(bad.status, -106);
  Search kind;
  kind.object = create_geom_object(-1);
  kind.run(0.01);
  EXPECT_EQ(kind.status, -121);
}

TEST(ExtremalSearch, ConstantCurveIsOneStretch) {
  Search s = on_curve(curve({0, 0, 0, 1, 2, 3, 3, 3}, 3, {3, 3, 3, 3, 3}, 1, 1));
  s.run(1e-6);
  ASSERT_GE(s.status, 1);
  EXPECT_EQ(s.running, 3.0);
  ASSERT_NE(s.data, nullptr);
  ASSERT_EQ(s.data->list_count, 1);
  const isect_list* l = s.data->lists[0];
  EXPECT_EQ(l->list_type, 0);
  const double a = l->first->params[0], b = l->last->params[0];
  EXPECT_EQ(std::min(a, b), 0.0);
  EXPECT_EQ(std::max(a, b), 3.0);
  EXPECT_TRUE(s.singles().empty());
}

TEST(ExtremalSearch, CurveMaximaAtAnEndAndInside) {
  struct Case {
    const char* name;
    std::vector<double> poly;
    std::vector<double> knots;
    int order;
    std::vector<double> want;
    double value;
  } cases[] = {
      {"rising line", {0, 1}, {0, 0, 0, 0.3, 0.7, 1, 1, 1}, 3, {1.0}, 1.0},
      {"interior parabola", {-0.09, 0.6, -1}, {0, 0, 0, 1, 1, 1}, 3, {0.3}, 0.0},
      {"parabola on pieces", {-0.09, 0.6, -1}, {0, 0, 0, 0.25, 0.5, 1, 1, 1}, 3, {0.3}, 0.0},
      // -(t^2 - 1)^2: two equal maxima at -1 and 1.
      {"two humps", {-1, 0, 2, 0, -1}, {-2, -2, -2, -2, -2, 0.5, 2, 2, 2, 2, 2}, 5, {-1, 1}, 0.0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Search s = on_curve(poly_curve_1d(k.poly, k.knots, k.order));
    s.run(1e-9);
    ASSERT_GE(s.status, 1);
    EXPECT_NEAR(s.running, k.value, 1e-9);
    const auto pts = s.singles();
    ASSERT_EQ(pts.size(), k.want.size());
    std::vector<double> got;
    for (const isect_point* p : pts) got.push_back(p->params[0]);
    std::sort(got.begin(), got.end());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], k.want[i], 1e-4);
    EXPECT_EQ(s.data->list_count, 0);
  }
}

TEST(ExtremalSearch, InteriorMaximumOfASurfaceSurvivesListBuilding) {
  // -(u - 0.3)^2 - (v - 0.6)^2 over pieces in both directions: one isolated interior
  // maximum of zero gradient, which must stay a single point.
  const std::vector<std::vector<double>> a = {{-0.45, 1.2, -1}, {0.6}, {-1}};
  auto f = poly_surface_1d(a, {0, 0, 0, 0, 0.5, 1, 1, 1, 1}, {0, 0, 0, 0, 0.4, 0.8, 1, 1, 1, 1},
                           4, 4);
  Search s;
  s.object = create_geom_object(kSurfaceObject);
  s.object->surface = f.release();
  s.run(1e-9);
  ASSERT_GE(s.status, 1);
  EXPECT_NEAR(s.running, 0.0, 1e-9);
  const auto pts = s.singles();
  ASSERT_EQ(pts.size(), 1u);
  EXPECT_NEAR(pts[0]->params[0], 0.3, 1e-4);
  EXPECT_NEAR(pts[0]->params[1], 0.6, 1e-4);
  EXPECT_EQ(s.data->list_count, 0);
}

TEST(ExtremalSearch, CurveOfOtherDimensionFails) {
  Search s = on_curve(line({0, 0}, {1, 1}));
  s.run(1e-6);
  EXPECT_EQ(s.status, -105);
}

TEST(ExtremalParts, ValueBoxPrefersInnerVerticesNearTheCornerExtreme) {
  struct Case {
    std::vector<double> c;
    int n1, n2;
    double greatest, least;
    int ig, il;
  } cases[] = {
      {{0, 5, 2, 1}, 4, 1, 5, 0, 1, 0},
      {{9, 5, 2, 1}, 4, 1, 9, 1, 0, 3},
      {{1, 0.9999995, 3, 1}, 4, 1, 3, 0.9999995, 2, 1},  // inner within aepsge of corner 1
      {{4, 3, 7, 1}, 1, 4, 7, 1, 2, 3},
      {{2.5}, 1, 1, 2.5, 2.5, 0, 0},
  };
  for (const Case& k : cases) {
    double g = 0, l = 0;
    int ig = 0, il = 0;
    extremal_value_box(k.c.data(), k.n1, k.n2, 1e-6, &g, &l, &ig, &il);
    EXPECT_EQ(g, k.greatest);
    EXPECT_EQ(l, k.least);
    EXPECT_EQ(ig, k.ig);
    EXPECT_EQ(il, k.il);
  }
}

TEST(ExtremalParts, ShapeTestAndSplitValues) {
  const double t4[8] = {0, 0, 0, 0, 1, 1, 1, 1};
  struct Case {
    std::vector<double> c;
    int shape;
  } cases[] = {{{0, 2, 3, 1}, 1}, {{3, 1, 0, 2}, 0}, {{0, 2, 1, 3}, 2}, {{0, 1, 2, 3}, 1}};
  for (const Case& k : cases) {
    int shape = -1, i1 = -1, i2 = -1, st = 0;
    extremal_shape_test(k.c.data(), t4, t4, 4, 4, 1, 1, &shape, &i1, &i2, &st);
    EXPECT_EQ(shape, k.shape);
    EXPECT_EQ(i1, 0);
  }
  // An interior knot of full multiplicity is found and makes the piece not simple.
  const double tk[9] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
  const double c[6] = {0, 1, 2, 3, 4, 5};
  int shape = -1, i1 = -1, i2 = -1, st = 0;
  extremal_shape_test(c, tk, tk, 3, 6, 1, 1, &shape, &i1, &i2, &st);
  EXPECT_EQ(shape, 2);
  EXPECT_EQ(i1, 3);
  EXPECT_EQ(tk[i1], 1.0);

  const double t[9] = {0, 0, 0, 0, 0.3, 1, 1, 1, 1};
  EXPECT_EQ(subdivision_value(t, 4, 5), 0.3);
  EXPECT_EQ(subdivision_value(t4, 4, 4), 0.5);
  EXPECT_EQ(interval_halvable(t4, 4, 4), 1);
  const double tiny[4] = {1, 1, 1 + 1e-15, 1 + 1e-15};
  EXPECT_EQ(interval_halvable(tiny, 2, 2), 0);
}

}  // namespace

namespace {

TEST(ExtremalSearch, RidgeOfOnePatchConnectsItsEdgePoints) {
  // -(u - v)^2 on one biquadratic patch: the greatest value 0 runs along the diagonal
  // from corner (0, 0) to corner (1, 1).
  auto f = poly_surface_1d({{0, 0, -1}, {0, 2}, {-1}}, {0, 0, 0, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, 3,
                           3);
  Search s;
  s.object = create_geom_object(kSurfaceObject);
  s.object->surface = f.release();
  s.run(1e-9);
  ASSERT_GE(s.status, 1);
  EXPECT_NEAR(s.running, 0.0, 1e-12);
  ASSERT_NE(s.data, nullptr);
  ASSERT_GE(s.data->list_count, 1);
  // Every point found lies on the diagonal; some list spans it from end to end.
  for (int i = 0; i < s.data->point_count; ++i)
    EXPECT_NEAR(s.data->points[i]->params[0], s.data->points[i]->params[1], 1e-6);
  bool spans = false;
  for (int l = 0; l < s.data->list_count; ++l) {
    const isect_list* list = s.data->lists[l];
    const double a = list->first->params[0], b = list->last->params[0];
    spans = spans || (std::min(a, b) == 0.0 && std::max(a, b) == 1.0);
  }
  EXPECT_TRUE(spans);
}

}  // namespace
