// Side markers of intersection points on curves: for a one-dimensional curve against
// a value, on which side of the value the curve lies left and right of the point, and
// help points at the ends of flat stretches; help points of a planar curve that runs
// through a point; the dispatcher over a finished sub-problem's points; and the curve
// evaluation with levelled coefficients on which these tests run.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <cstring>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/detail/isect/coincidence_march.h"
#include "spline/detail/isect/isect_degen.h"
#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/surface_pairs.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/status.h"

namespace {

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

// Value distance of the curve at x from the target (a value for dimension 1, a point
// for dimension 2); *left gets the interval of the evaluation.
double distance_at(const spline_curve* c, double x, const double* target, double tol,
                   int* left, int* status) {
  double v[3] = {0, 0, 0};
  flat_curve_eval(c, 0, x, tol, left, v, status);
  double d = 0;
  for (int i = 0; i < c->dim; ++i) d += (v[i] - target[i]) * (v[i] - target[i]);
  if (c->dim == 1) return v[0] - target[0];  // signed for the one-dimensional case
  return std::sqrt(d);
}

double greville(const spline_curve* c, int i) {
  const int k = c->order;
  if (k < 2) return c->knots[i];
  double s = 0;
  for (int j = 1; j < k; ++j) s += c->knots[i + j];
  return s / (k - 1);
}

struct SideWalk {
  bool flat_first = false;  // the first step stayed within the tolerance
  bool to_end = false;      // the walk reached the curve's end
  double last_value = 0;    // signed value (dim 1) or distance at the last evaluation
  double help_par = 0;      // parameter of the help point
};

// Follows the flat stretch from t to the right (dir +1) or left (dir -1).
void walk_side(const spline_curve* c, double t, int ell, int dir, const double* target,
               double tol, SideWalk* out, int* status) {
  const int k = c->order;
  const int n = c->vertex_count;
  const double* kt = c->knots;
  const double step = 2 * std::sqrt(tol);
  double tau;
  if (dir > 0) {
    tau = std::fmin(std::fmin(t + step, kt[n]), kt[ell + 1]);
  } else {
    while (ell > k - 1 && kt[ell] == t) --ell;
    tau = std::fmax(std::fmax(t - step, kt[k - 1]), kt[ell]);
  }
  int ell2 = ell;
  int st = 0;
  double v = distance_at(c, tau, target, tol, &ell2, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  out->last_value = v;
  if (std::fabs(v) > tol) return;
  out->flat_first = true;
  int last_ell = ell2;
  // The Greville values beyond t in the direction, while the curve stays within tol.
  const int inc = dir > 0 ? 1 : -1;
  int i = dir > 0 ? std::max(ell2 - k + 1, 0) : ell2;
  for (; dir > 0 ? i <= n - 1 : i >= 0; i += inc) {
    const double g = greville(c, i);
    if (!(dir > 0 ? g > t : g < t) || rel_equal(g, t)) continue;
    int l3 = last_ell;
    v = distance_at(c, g, target, tol, &l3, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    out->last_value = v;
    last_ell = l3;
    if (std::fabs(v) >= tol) break;
    tau = g;
  }
  out->to_end = dir > 0 ? i >= n : i < 0;
  out->help_par = tau;
  if (dir > 0) {
    const double knot = kt[last_ell];
    if (knot > t && knot <= tau) out->help_par = knot;
  } else {
    const double knot = kt[last_ell + 1];
    if (knot >= tau && knot < t) out->help_par = knot;
  }
}

// Enters the help points and connects each one that is still a lone help point.
void enter_help_points(isect_data** data, isect_point* point, std::vector<isect_point*>& help,
                       int* added, int* status) {
  for (isect_point* h : help) {
    int st = 0;
    isect_point* q = h;
    sh6idnpt(data, &q, 1, &st);
    if (st < 0) {
      destroy_isect_point(h);
      *status = st;
      return;
    }
    ++*added;
    if (is_help_point(q) && q->neighbour_count == 0) {
      isect_point* a = point;
      st = 0;
      sh6idcon(data, &a, &q, &st);
      if (st < 0) {
        *status = st;
        return;
      }
    }
  }
}

}  // namespace

void flat_curve_eval(const spline_curve* curve, int der, double x, double tolerance, int* left,
                     double* derivs, int* status) {
  int st = 0;
  if (curve->dim != 1) {
    s1221(curve, der, x, left, derivs, &st);
    *status = st < 0 ? st : 0;
    return;
  }
  if (is_rational_kind(curve->kind)) {
    *status = -151;
    return;
  }
  const int n = curve->vertex_count;
  std::vector<double> coefs(curve->coefs, curve->coefs + n);
  double run = coefs.empty() ? 0 : coefs[0];
  for (int i = 0; i < n; ++i) {
    if (std::fabs(coefs[i] - run) < tolerance)
      coefs[i] = run;
    else
      run = coefs[i];
  }
  spline_curve tmp = *curve;
  tmp.coefs = coefs.data();
  tmp.hom_coefs = nullptr;
  tmp.cone = nullptr;
  tmp.box = nullptr;
  tmp.copy_mode = 0;
  s1221(&tmp, der, x, left, derivs, &st);
  *status = st < 0 ? st : 0;
}

void mark_point_curve_sides(geom_object* object1, geom_object* object2, double epsge,
                            isect_data** data, isect_point* point, int* added, int* status) {
  *status = 0;
  if (is_help_point(point)) return;
  geom_object* co = object1->kind == kCurveObject ? object1 : object2;
  geom_object* po = co == object1 ? object2 : object1;
  const spline_curve* c = co->curve;
  if (c->dim != 1) {
    *status = kErrDimensionMismatch;
    return;
  }
  int m[4];
  int st = 0;
  sh6gettop(point, -1, &m[0], &m[1], &m[2], &m[3], &st);
  if (st < 0) {
    *status = st;
    return;
  }
  const int cb = co == object1 ? 0 : 2;  // curve's marker base
  const int pb = 2 - cb;
  const double target = po->point->coords[0];
  double* block = nullptr;
  double* normal = nullptr;
  point_object_geom(co, co == object1 ? 1 : 2, point, &block, &normal, epsge, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  const double t = point->params[co == object1 ? 0 : point->param_count - 1];
  const double fd = block[1];
  const int k = c->order;
  const int n = c->vertex_count;
  int ell = k - 1;
  s1219(c->knots, k, n, &ell, t, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  std::vector<isect_point*> help;
  if (std::fabs(std::atan(fd)) > 1e-5) {
    if (fd > 0) {
      m[cb] = 1, m[cb + 1] = 2, m[pb] = 2, m[pb + 1] = 1;
    } else {
      m[cb] = 2, m[cb + 1] = 1, m[pb] = 1, m[pb + 1] = 2;
    }
  } else {
    const double r = c->knots[n] - c->knots[k - 1];
    if (!rel_equal(t + r, c->knots[n] + r)) {
      SideWalk w;
      walk_side(c, t, ell, +1, &target, epsge, &w, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      if (w.to_end) {
        m[cb + 1] = 3, m[pb + 1] = 3;
      } else {
        const bool below = w.last_value <= 0;
        m[cb + 1] = below ? 1 : 2;
        m[pb + 1] = below ? 2 : 1;
        if (w.flat_first) {
          int hm[4];
          hm[cb] = 3, hm[pb] = 3, hm[cb + 1] = m[cb + 1], hm[pb + 1] = m[pb + 1];
          isect_point* h = create_isect_point_geom(1, &w.help_par, 0.0, -1, hm[0], hm[1], hm[2],
                                                   hm[3], 0, 0, nullptr, nullptr);
          if (!h) {
            *status = kErrMemory;
            return;
          }
          help.push_back(h);
        }
      }
    }
    if (!rel_equal(t + r, c->knots[k - 1] + r)) {
      SideWalk w;
      walk_side(c, t, ell, -1, &target, epsge, &w, &st);
      if (st < 0) {
        for (isect_point* h : help) destroy_isect_point(h);
        *status = st;
        return;
      }
      if (w.to_end) {
        m[cb] = 3, m[pb] = 3;
      } else {
        const bool below = w.last_value <= 0;
        m[cb] = below ? 1 : 2;
        m[pb] = below ? 2 : 1;
        if (w.flat_first) {
          int hm[4];
          hm[cb] = m[cb], hm[pb] = m[pb], hm[cb + 1] = 3, hm[pb + 1] = 3;
          isect_point* h = create_isect_point_geom(1, &w.help_par, 0.0, -1, hm[0], hm[1], hm[2],
                                                   hm[3], 0, 0, nullptr, nullptr);
          if (!h) {
            for (isect_point* q : help) destroy_isect_point(q);
            *status = kErrMemory;
            return;
          }
          help.push_back(h);
        }
      }
    }
  }
  st = 0;
  sh6settop(point, -1, m[0], m[1], m[2], m[3], &st);
  if (st >= 0) sh6tomain(point, &st);
  if (st < 0) {
    for (isect_point* h : help) destroy_isect_point(h);
    *status = st;
    return;
  }
  enter_help_points(data, point, help, added, status);
}

void stationary_curve_help_points(geom_object* object1, geom_object* object2, double epsge,
                                  isect_data** data, isect_point* point, int* added,
                                  int* status) {
  *status = 0;
  if (is_help_point(point)) return;
  geom_object* co = object1->kind == kCurveObject ? object1 : object2;
  geom_object* po = co == object1 ? object2 : object1;
  const spline_curve* c = co->curve;
  if (c->dim != 2) {
    *status = kErrDimensionMismatch;
    return;
  }
  double* block = nullptr;
  double* normal = nullptr;
  int st = 0;
  point_object_geom(co, co == object1 ? 1 : 2, point, &block, &normal, epsge, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  const double s = std::atan(block[2]) + std::atan(block[3]);
  if (std::fabs(s) > 0.01) return;
  const double t = point->params[co == object1 ? 0 : point->param_count - 1];
  const int k = c->order;
  const int n = c->vertex_count;
  int ell = k - 1;
  s1219(c->knots, k, n, &ell, t, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  const double r = c->knots[n] - c->knots[k - 1];
  std::vector<isect_point*> help;
  for (int dir : {+1, -1}) {
    const double end = dir > 0 ? c->knots[n] : c->knots[k - 1];
    if (rel_equal(t + r, end + r)) continue;
    SideWalk w;
    walk_side(c, t, ell, dir, po->point->coords, epsge, &w, &st);
    if (st < 0) {
      for (isect_point* h : help) destroy_isect_point(h);
      *status = st;
      return;
    }
    if (w.flat_first && !w.to_end) {
      isect_point* h =
          create_isect_point_geom(1, &w.help_par, 0.0, -1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
      if (!h) {
        for (isect_point* q : help) destroy_isect_point(q);
        *status = kErrMemory;
        return;
      }
      help.push_back(h);
    }
  }
  enter_help_points(data, point, help, added, status);
}

void mark_curve_curve_sides(geom_object* object1, geom_object* object2, double epsge,
                            isect_data** data, isect_point* point, int* added,
                            int* status) {
  *status = 0;
  *added = 0;
  if (is_help_point(point)) return;
  const spline_curve* c1 = object1->curve;
  const spline_curve* c2 = object2->curve;
  const int dim = c1->dim;
  if (dim != c2->dim) {
    *status = kErrDimensionMismatch;
    return;
  }
  if (dim > 3) {
    *status = -108;
    return;
  }
  int m[4];
  int st = 0;
  sh6gettop(point, -1, &m[0], &m[1], &m[2], &m[3], &st);
  if (st < 0) {
    *status = st;
    return;
  }
  double* block1 = nullptr;
  double* block2 = nullptr;
  double* normal = nullptr;
  point_object_geom(object1, 1, point, &block1, &normal, epsge, &st);
  if (st >= 0) point_object_geom(object2, 2, point, &block2, &normal, epsge, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  const double* T1 = block1 + dim;
  const double* T2 = block2 + dim;
  if (vec_angle(T1, T2, dim) > 0.01) {
    // The sides come from the plane of the first two coordinates; a curve of
    // dimension 1 has no second coordinate and gets no sides here.
    if (dim < 2) return;
    const double z = T1[0] * T2[1] - T1[1] * T2[0];
    if (z >= 0) {
      m[0] = 2, m[1] = 1, m[2] = 1, m[3] = 2;
    } else {
      m[0] = 1, m[1] = 2, m[2] = 2, m[3] = 1;
    }
    st = 0;
    sh6settop(point, -1, m[0], m[1], m[2], m[3], &st);
    if (st < 0) *status = st;
    return;
  }
  // The curves touch here: each side of the first curve is followed with the second
  // one (delta: the direction on curve 2 that goes with increasing parameter on curve
  // 1) until they separate or reach an end.
  double dot = 0;
  for (int i = 0; i < dim; ++i) dot += T1[i] * T2[i];
  const int delta = dot >= 0 ? 1 : -1;
  const double t1 = point->params[0], t2 = point->params[1];
  const double s1 = c1->knots[c1->order - 1], e1 = c1->knots[c1->vertex_count];
  const double s2 = c2->knots[c2->order - 1], e2 = c2->knots[c2->vertex_count];
  const double r = std::fmax(e1 - s1, e2 - s2);
  auto same = [&](double a, double b) { return rel_equal(a + r, b + r); };
  std::vector<isect_point*> help;
  auto drop_help = [&]() {
    for (isect_point* h : help) destroy_isect_point(h);
  };
  for (int side : {+1, -1}) {
    const int d2 = side * delta;  // direction on curve 2
    if (same(t1, side > 0 ? e1 : s1) || same(t2, d2 > 0 ? e2 : s2)) continue;
    const double start[2] = {t1, t2};
    double q[2] = {t1, t2}, qs[2] = {t1, t2};
    st = 0;
    sh1783(c1, c2, epsge, start, side, d2, q, qs, &st);
    if (st < 0) {
      drop_help();
      *status = st;
      return;
    }
    const int m1 = side > 0 ? 1 : 0;  // curve 1's marker on this side
    const int m2 = d2 > 0 ? 3 : 2;    // curve 2's marker on the matching side
    if (st == kCurvePairMarchStopped) continue;
    if (st > 0) {
      m[m1] = 3;
      m[m2] = 3;
      continue;
    }
    double a[3] = {0, 0, 0}, b[3] = {0, 0, 0}, a2[3] = {0, 0, 0}, b2[3] = {0, 0, 0};
    int l1 = 0, l2 = 0;
    s1221(c1, 0, q[0], &l1, a, &st);
    if (st >= 0) s1221(c1, 0, qs[0], &l1, a2, &st);
    if (st >= 0) s1221(c2, 0, q[1], &l2, b, &st);
    if (st >= 0) s1221(c2, 0, qs[1], &l2, b2, &st);
    if (st < 0) {
      drop_help();
      *status = st;
      return;
    }
    // Only the first two coordinates enter the cross product; missing ones are 0.
    const double D1[2] = {a2[0] - a[0], dim > 1 ? a2[1] - a[1] : 0.0};
    const double D2[2] = {b2[0] - b[0], dim > 1 ? b2[1] - b[1] : 0.0};
    const double z = D1[0] * D2[1] - D1[1] * D2[0];
    const int mark = side * delta * z >= 0 ? 1 : 2;
    m[m1] = mark;
    m[m2] = delta > 0 ? 3 - mark : mark;
    if (std::hypot(t1 - q[0], t2 - q[1]) > 0.05 * r) {
      isect_point* h = create_isect_point_geom(2, q, 0.0, -1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
      if (!h) {
        drop_help();
        *status = kErrMemory;
        return;
      }
      help.push_back(h);
    }
  }
  st = 0;
  sh6settop(point, -1, m[0], m[1], m[2], m[3], &st);
  if (st < 0) {
    drop_help();
    *status = st;
    return;
  }
  for (isect_point* h : help) {
    isect_point* q = h;
    st = 0;
    sh6idnpt(data, &q, 1, &st);
    if (st < 0) {
      destroy_isect_point(h);
      *status = st;
      return;
    }
    ++*added;
    if (is_help_point(q) && q->neighbour_count == 0) {
      st = 0;
      sh6settop(q, -1, m[0], m[1], m[2], m[3], &st);
      isect_point* a = point;
      if (st >= 0) sh6idcon(data, &a, &q, &st);
      if (st < 0) {
        *status = st;
        return;
      }
    }
  }
}

void mark_point_sides(geom_object* object1, geom_object* object2, double epsge,
                      isect_data** data, edge_table* tables[2], int* added, int* status) {
  *status = 0;
  *added = 0;
  if (!*data || (*data)->point_count == 0) return;
  const int d = object1->kind == kPointObject   ? object1->point->dim
                : object1->kind == kCurveObject ? object1->curve->dim
                                     : object1->surface->dim;
  const int kinds = object1->kind + object2->kind;
  const bool curve_point = kinds == 1;
  const bool two_curves = object1->kind == kCurveObject && object2->kind == kCurveObject;
  // A curve against a surface in space, a point against a planar surface.
  const bool surface_pair = (d == 3 && kinds == 3) ||
                            (d == 2 && kinds == 2 && (object1->kind == kPointObject || object2->kind == kPointObject));
  if (!two_curves && !surface_pair && (!curve_point || (d != 1 && d != 2))) return;
  int n = (tables[0] ? tables[0]->point_count : 0) + (tables[1] ? tables[1]->point_count : 0);
  isect_point** points = nullptr;
  int st = 0;
  if (n > 0) {
    sh6edgpoint(tables, &points, &n, &st);
    if (st < 0) {
      *status = st;
      return;
    }
  }
  if (n == 2) {
    int a = 0, b = 0;
    st = 0;
    sh6getlist(points[0], points[1], &a, &b, &st);
    if (st == 0) n = 0;
  }
  if (n == 0) {
    free(points);
    return;
  }
  std::vector<isect_point*> todo;
  isect_point* found_point = nullptr;
  isect_point* f = inner_isect_point(object1, object2, *data, &found_point,
                                     object1->kind == kPointObject ? 2 : 1);
  if (f) todo.push_back(f);
  for (int i = 0; i < n; ++i) todo.push_back(points[i]);
  free(points);
  for (isect_point* p : todo) {
    int count = 0;
    st = 0;
    if (two_curves)
      mark_curve_curve_sides(object1, object2, epsge, data, p, &count, &st);
    else if (surface_pair && d == 3)
      mark_curve_surface_sides(object1, object2, epsge, data, p, &count, &st);
    else if (surface_pair)
      mark_point_surface_sides(object1, object2, epsge, data, p, &count, &st);
    else if (d == 1)
      mark_point_curve_sides(object1, object2, epsge, data, p, &count, &st);
    else
      stationary_curve_help_points(object1, object2, epsge, data, p, &count, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    *added += count;
  }
}
