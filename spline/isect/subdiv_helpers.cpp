// Small services of the subdivision intersector: halving tests and cut values of knot
// vectors, the search for points inside or on the edges of a pair's parameter box and
// the nearest point of the data.
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "spline/isect/isect_graph.h"
#include "spline/isect/subdiv.h"
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

isect_point* inner_isect_point(geom_object* object1, geom_object* object2, isect_data* data,
                               int which) {
  if (!data) return nullptr;
  geom_object* named = which == 1 ? object1 : object2;
  if (!named || named->kind == 0) return nullptr;
  double start[4], end[4];
  const int n = problem_param_box(object1, object2, start, end);
  if (n < 0) return nullptr;
  const int first = which == 1 ? 0 : object1->kind;
  const int last = first + named->kind;
  for (int i = data->point_count - 1; i >= 0; --i) {
    isect_point* p = data->points[i];
    if (!p || p->param_count < n) continue;
    bool ok = true;
    for (int j = 0; j < n && ok; ++j) {
      const double x = p->params[j];
      if (x < start[j] || x > end[j]) ok = false;
      if (ok && j >= first && j < last && (rel_equal(x, start[j]) || rel_equal(x, end[j])))
        ok = false;
    }
    if (ok) return p;
  }
  return nullptr;
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

void subdiv_edge_search(geom_object* object1, geom_object* object2, int which, int direction,
                        double value, isect_data* data, edge_node** head, int* count,
                        int* status) {
  *status = 0;
  *head = nullptr;
  if (!data) return;
  double start[4], end[4];
  const int n = problem_param_box(object1, object2, start, end);
  if (n < 0) return;
  const int fixed = (which == 1 ? 0 : object1->kind) + direction - 1;
  if (fixed >= 0 && fixed < n) start[fixed] = end[fixed] = value;
  edge_node** tail = head;
  for (int i = 0; i < data->point_count; ++i) {
    isect_point* p = data->points[i];
    if (!p || p->param_count < n) continue;
    bool ok = true;
    for (int j = 0; j < n && ok; ++j) {
      const double x = p->params[j];
      const bool lo = x >= start[j] || rel_equal(x, start[j]);
      const bool hi = x <= end[j] || rel_equal(x, end[j]);
      ok = lo && hi;
    }
    if (!ok) continue;
    edge_node* node = create_edge_node(p);
    if (!node) {
      *status = kErrMemory;
      error_report("s6idedg", *status, 0);
      return;
    }
    *tail = node;
    tail = &node->next;
    ++*count;
  }
}
