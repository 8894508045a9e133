// A function of two parameters against a value, cut along a line whose end lies on the
// level set exactly where the edge search has already put a point: that point stands for
// the end, and the intersection goes on without an error and finds where every branch
// of the level set meets the boundary.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spline/detail/isect/subdiv.h"
#include "spline/records.h"
#include "tests/spline/detail/isect/isect_fixture.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace {

// f(u, v) = 10 (u - 0.2)(u - 0.5)(u - 0.8) + 0.3 v.
double f(double u, double v) { return 10 * (u - 0.2) * (u - 0.5) * (u - 0.8) + 0.3 * v; }

TEST(DivisionLineEnd, EndOnAKnownPointKeepsTheIntersectionGoing) {
  // f as a cubic in u with one inner knot at 0.5 (where the first cut falls) and a
  // quadratic in v.  The level f = 0 leaves the edge v = 0 at u = 0.2, 0.5 and 0.8;
  // the line u = 0.5 cut through the surface ends on the level set at v = 0, where
  // the edge search put its point.
  const double eps = 1e-3;
  // 10 (u^3 - 1.5 u^2 + 0.66 u - 0.08) + 0.3 v
  SurfaceHandle s = newton_test::poly_surface_1d(
      {{-0.8, 0.3}, {6.6}, {-15.0}, {10.0}}, {0, 0, 0, 0, 0.5, 1, 1, 1, 1},
      {0, 0, 0, 0.5, 1, 1, 1}, 4, 3);
  geom_object* fo = create_geom_object(kSurfaceObject);
  fo->surface = s.release();
  geom_object* co = create_geom_object(kPointObject);
  double zero = 0.0;
  co->point = create_point(&zero, 1, 1);
  isect_test::ReportLog log;
  isect_data* data = nullptr;
  const int level = isect_recursion_level;
  int st = 0;
  sh1761(fo, co, eps, &data, &st);
  EXPECT_EQ(isect_recursion_level, level);
  ASSERT_EQ(st, 1);
  EXPECT_EQ(log.count(), 0);
  ASSERT_NE(data, nullptr);
  std::vector<std::pair<double, double>> found;
  for (int i = 0; i < data->point_count; ++i) {
    const isect_point* q = data->points[i];
    ASSERT_EQ(q->param_count, 2);
    EXPECT_LE(std::fabs(f(q->params[0], q->params[1])), eps);
    found.push_back({q->params[0], q->params[1]});
  }
  // Where the level set meets the boundary of the square (roots of f along each edge,
  // by sign changes and bisection), the data holds a point.
  int roots = 0;
  for (int edge = 0; edge < 4; ++edge) {
    auto g = [&](double x) {
      switch (edge) {
        case 0: return f(x, 0);
        case 1: return f(1, x);
        case 2: return f(x, 1);
        default: return f(0, x);
      }
    };
    auto uv = [&](double x) {
      switch (edge) {
        case 0: return std::make_pair(x, 0.0);
        case 1: return std::make_pair(1.0, x);
        case 2: return std::make_pair(x, 1.0);
        default: return std::make_pair(0.0, x);
      }
    };
    for (int i = 0; i < 1000; ++i) {
      double a = i / 1000.0, b = (i + 1) / 1000.0;
      if (g(a) == 0) b = a;
      else if (g(a) * g(b) > 0 || g(b) == 0) continue;
      for (int it = 0; it < 60 && b > a; ++it) {
        const double m = 0.5 * (a + b);
        if ((g(m) < 0) == (g(a) < 0)) a = m; else b = m;
      }
      ++roots;
      const auto target = uv(0.5 * (a + b));
      double best = 1e300;
      for (auto& q : found)
        best = std::fmin(best, std::hypot(q.first - target.first, q.second - target.second));
      EXPECT_LT(best, 1e-6) << "edge " << edge << " at " << 0.5 * (a + b);
    }
  }
  EXPECT_GE(roots, 4);
  destroy_isect_data(data);
  destroy_geom_object(fo);
  destroy_geom_object(co);
}

}  // namespace
