// Builders and dense samplers for the special-case and connection tests: curves and
// surfaces from control vertices on uniform clamped knots, and samples of them that
// know whether they lie in a boundary span (where the edge points settle contacts).
#pragma once

#include <cmath>
#include <vector>

#include "spline/detail/isect/newton_testutil.h"
#include "spline/detail/isect/object_testutil.h"

namespace special_test {

using namespace newton_test;

// Clamped uniform knots for n vertices of order k over [0, n - k + 1].
inline std::vector<double> clamped_knots(int n, int k) {
  std::vector<double> t;
  for (int i = 0; i < k; ++i) t.push_back(0);
  for (int i = 1; i < n - k + 1; ++i) t.push_back(i);
  for (int i = 0; i < k; ++i) t.push_back(n - k + 1);
  return t;
}

inline CurveHandle curve_from(const std::vector<double>& verts, int k, int dim) {
  const int n = static_cast<int>(verts.size()) / dim;
  return curve(clamped_knots(n, k), k, verts, 1, dim);
}

// Vertex (i, j) at verts[(j * n1 + i) * dim].
inline SurfaceHandle surface_from(const std::vector<double>& verts, int n1, int n2, int k1, int k2,
                               int dim) {
  return surface(clamped_knots(n1, k1), clamped_knots(n2, k2), k1, k2, verts, 1, dim);
}

struct Sample {
  std::vector<double> pos;
  bool boundary_span;  // in the first or last knot span (of either direction)
};

inline bool in_end_span(const double* t, int k, int n, double x) {
  return x <= t[k] || x >= t[n - 1];
}

inline std::vector<Sample> sample_curve(const spline_curve* c, int count) {
  std::vector<Sample> out;
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  for (int i = 0; i < count; ++i) {
    const double t = a + (b - a) * i / (count - 1);
    std::vector<double> p = eval_curve(c, t);
    out.push_back({p, in_end_span(c->knots, c->order, c->vertex_count, t)});
  }
  return out;
}

inline std::vector<Sample> sample_surface(const spline_surface* s, int count) {
  std::vector<Sample> out;
  const double a1 = s->knots1[s->order1 - 1], b1 = s->knots1[s->vertex_count1];
  const double a2 = s->knots2[s->order2 - 1], b2 = s->knots2[s->vertex_count2];
  for (int i = 0; i < count; ++i)
    for (int j = 0; j < count; ++j) {
      const double u = a1 + (b1 - a1) * i / (count - 1);
      const double v = a2 + (b2 - a2) * j / (count - 1);
      out.push_back({eval_surface(s, u, v),
                     in_end_span(s->knots1, s->order1, s->vertex_count1, u) ||
                         in_end_span(s->knots2, s->order2, s->vertex_count2, v)});
    }
  return out;
}

inline std::vector<Sample> sample_object(const geom_object* o, int count) {
  if (o->kind == kCurveObject) return sample_curve(o->curve, count);
  if (o->kind == kSurfaceObject) return sample_surface(o->surface, count);
  const spline_point* p = o->point;
  return {{std::vector<double>(p->coords, p->coords + p->dim), false}};
}

inline double distance(const std::vector<double>& a, const std::vector<double>& b) {
  double s = 0;
  for (size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(s);
}

// Number of sampled pairs within tol of each other of which neither sample lies in a
// boundary span.  The smallest distance of all
// pairs goes to *closest.
inline int inner_contacts(const std::vector<Sample>& a, const std::vector<Sample>& b, double tol,
                          double* closest) {
  int n = 0;
  double best = INFINITY;
  for (const Sample& x : a)
    for (const Sample& y : b) {
      const double d = distance(x.pos, y.pos);
      best = std::fmin(best, d);
      if (d <= tol && !x.boundary_span && !y.boundary_span) ++n;
    }
  if (closest) *closest = best;
  return n;
}

}  // namespace special_test
