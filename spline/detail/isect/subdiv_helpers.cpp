// Small services of the subdivision intersector: halving tests and cut values of knot
// vectors and the nearest point of the data.
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/status.h"

namespace {

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

}  // namespace

int interval_divisible(const double* knots, int order, int vertex_count) {
  const double a = knots[order - 1];
  const double b = knots[vertex_count];
  const double m = 0.5 * (a + b);
  return (!rel_equal(m, a) && !rel_equal(m, b)) ? 1 : 0;
}

double middle_knot_value(const double* knots, int order, int vertex_count) {
  const double a = knots[order - 1];
  const double b = knots[vertex_count];
  if (order < vertex_count) {
    const double t = knots[(order + vertex_count) / 2];
    if (!rel_equal(t, a) && !rel_equal(t, b)) return t;
  }
  return 0.5 * (a + b);
}

isect_point* closest_isect_point(isect_data* data, isect_point* point) {
  if (!data || !point) return nullptr;
  isect_point* best = nullptr;
  double best_d = 0;
  for (int i = 0; i < data->point_count; ++i) {
    isect_point* p = data->points[i];
    if (!p || p == point) continue;
    double d = 0;
    const int n = point->param_count < p->param_count ? point->param_count : p->param_count;
    for (int j = 0; j < n; ++j) {
      const double e = p->params[j] - point->params[j];
      d += e * e;
    }
    if (!best || d < best_d) {
      best = p;
      best_d = d;
    }
  }
  return best;
}
