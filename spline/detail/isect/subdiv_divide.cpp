// Cutting an object for the subdivision intersector: the cut value (an existing inner
// point, a Newton result in a single piece, or the middle knot) and the sub-problem on
// the cut, whose points the pieces on both sides then share as edge points.
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "spline/curve_eval.h"
#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/crossing_polish.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/subdiv_surface.h"
#include "spline/isocurve.h"
#include "spline/split.h"
#include "spline/status.h"

namespace {

const spline_curve* origin_curve(const geom_object* o) {
  return o->origin && o->origin->kind == 1 && o->origin->curve ? o->origin->curve : o->curve;
}

double point_distance(const double* a, const double* b, int dim) {
  double d = 0;
  for (int i = 0; i < dim; ++i) d += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(d);
}

// A cut value u whose curve point lies within the tolerance of the other object would
// put an intersection point at u itself, off the true crossing by up to the tolerance
// over the sine of the crossing angle.  The cut is moved onto the crossing (or the
// closest approach of a touch) by a Newton iteration inside [lo, hi] instead, so that
// the shared edge point of the two pieces is accurate far below the tolerance.
void snap_cut_to_crossing(const geom_object* div, const geom_object* other, double epsge,
                          double lo, double hi, double* u, int* status) {
  const spline_curve* oc = origin_curve(div);
  const int dim = oc->dim;
  if (dim > 3) return;
  double pos[3];
  int left = 0, st = 0;
  s1221(oc, 0, *u, &left, pos, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  double r = *u;
  if (other->kind == kPointObject) {
    if (other->point->dim != dim) return;
    const double d0 = point_distance(pos, other->point->coords, dim);
    if (d0 > epsge || d0 == 0.0) return;
    st = 0;
    s1771(other->point, oc, epsge, lo, hi, *u, &r, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    if (st != 1) return;
    if (dim == 1) {
      // A function against a value: only a clear crossing is snapped.  Where the
      // function turns back within the tolerance band (a touch, or a dip whose two
      // crossings the tolerance makes one), the cut stays where it was chosen.
      double f[3];
      st = 0;
      s1221(oc, 2, r, &left, f, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      if (f[1] * f[1] <= 2.0 * epsge * std::fabs(f[2])) return;
    }
  } else if (other->kind == kCurveObject) {
    const spline_curve* c2 = other->curve;
    const spline_curve* oc2 = origin_curve(other);
    if (oc2->dim != dim) return;
    const double s2 = c2->knots[c2->order - 1], e2 = c2->knots[c2->vertex_count];
    // Nothing to do when the cut point lies off the box of the other curve's vertices
    // (which holds the curve) by more than the tolerance.
    const int n2 = c2->vertex_count;
    const bool rational2 = is_rational_kind(c2->kind) && c2->hom_coefs;
    for (int j = 0; j < dim; ++j) {
      double lo2 = DBL_MAX, hi2 = -DBL_MAX;
      for (int i = 0; i < n2; ++i) {
        const double x = rational2 ? c2->hom_coefs[i * (dim + 1) + j] /
                                         c2->hom_coefs[i * (dim + 1) + dim]
                                   : c2->coefs[i * dim + j];
        lo2 = std::fmin(lo2, x);
        hi2 = std::fmax(hi2, x);
      }
      if (pos[j] < lo2 - epsge || pos[j] > hi2 + epsge) return;
    }
    // The nearest of a few samples of the other curve starts the projection.
    spline_point probe{};
    probe.dim = dim;
    probe.coords = pos;
    const int samples = n2 < 4 ? 8 : 2 * n2;
    double t2 = s2, best = DBL_MAX;
    int left2 = 0;
    for (int i = 0; i <= samples; ++i) {
      const double x = s2 + (e2 - s2) * i / samples;
      double q[3];
      st = 0;
      s1221(oc2, 0, x, &left2, q, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      const double d = point_distance(pos, q, dim);
      if (d < best) {
        best = d;
        t2 = x;
      }
    }
    st = 0;
    s1771(&probe, oc2, epsge, s2, e2, t2, &t2, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    if (st != 1) return;
    // From a pair within the tolerance, Gauss-Newton steps reach the crossing.
    double r2 = t2;
    st = 0;
    polish_curve_crossing(oc, oc2, lo, hi, s2, e2, &r, &r2, &st);
    if (st < 0) {
      *status = st;
      return;
    }
  } else {
    return;
  }
  if (r > lo && r < hi) *u = r;
}

}  // namespace

void sh1762_s9subdivpt(geom_object* object1, geom_object* object2, double epsge, int which,
                       int code, edge_table* tables[2], isect_data** data, int* fixed,
                       isect_point** found, double values[2], int* status) {
  geom_object* div = which == 1 ? object1 : object2;
  geom_object* other = which == 1 ? object2 : object1;
  *found = nullptr;
  if (div->kind == kSurfaceObject)
    return s9subdivpt_surface(object1, object2, epsge, which, code, tables, data, fixed, found,
                              values, status);
  if (div->kind != kCurveObject) {
    *status = -122;
    error_report("sh1762_s9subdivpt", *status, 0);
    return;
  }
  auto fail = [&](int st) {
    *status = st;
    error_report("sh1762_s9subdivpt", st, 0);
  };
  const spline_curve* c = div->curve;
  const int k = c->order;
  const int n = c->vertex_count;
  const double s = c->knots[k - 1];
  const double e = c->knots[n];
  const double margin = 0.01 * (e - s);
  const int offset = which == 1 ? 0 : object1->kind;

  isect_point* found_point = nullptr;
  isect_point* f = inner_isect_point(object1, object2, *data, &found_point,
                                     which);
  if (f && n >= 3 * k && is_main_point(f)) {
    int st = 0;
    if (sh6nmbhelp(f, &st) == 0) f = nullptr;
  }
  double u = 0;
  if (f) {
    u = f->params[offset];
    if (s + margin > u || e - margin < u) f = nullptr;
  }
  const edge_table* table = tables[which - 1];
  const bool no_edge_points = !table || table->point_count == 0;
  if (!f && no_edge_points && k == n) {
    u = 0.5 * (s + e);
    bool usable = true;
    int st = 0;
    const spline_curve* oc = origin_curve(div);
    if (other->kind == kPointObject && other->point->dim == 1) {
      s1172(oc, s, e, u, &u, &st);
    } else if (other->kind == kPointObject) {
      st = 1;
      s1771(other->point, oc, epsge, s, e, u, &u, &st);
    } else if (other->kind == kSurfaceObject) {
      int ok = 0;
      s9subdivpt_curve_on_surface(div, other, epsge, s, e, &u, &ok, &st);
      usable = ok != 0;
    } else {
      // Another curve: both parameters start at the middles.
      const spline_curve* c2 = other->curve;
      const double s2 = c2->knots[c2->order - 1], e2 = c2->knots[c2->vertex_count];
      const double m2 = 0.01 * (e2 - s2);
      double u2 = 0.5 * (s2 + e2);
      st = 0;
      s1770(oc, origin_curve(other), epsge, s, s2, e, e2, u, u2, &u, &u2, &st);
      if (st == 1) polish_curve_crossing(oc, origin_curve(other), s, e, s2, e2, &u, &u2, &st);
      if (st >= 0 && (u2 < s2 + m2 || u2 > e2 - m2)) usable = false;
    }
    if (st < 0) return fail(st);
    if (!usable || u < s + margin || u > e - margin) u = middle_knot_value(c->knots, k, n);
  } else if (!f) {
    u = middle_knot_value(c->knots, k, n);
  }
  if (!f) {
    int st = 0;
    snap_cut_to_crossing(div, other, epsge, s + margin, e - margin, &u, &st);
    if (st < 0) return fail(st);
  }
  values[0] = u;
  *found = f;
}

void sh1762_s9div(geom_object* object1, geom_object* object2, double epsge, int which,
                  int code, geom_object* pieces[4], edge_table* tables[2], isect_data** data,
                  int* status) {
  *status = 0;
  geom_object* div = which == 1 ? object1 : object2;
  geom_object* other = which == 1 ? object2 : object1;
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1762_s9div", s, 0);
  };
  if (div->kind == kSurfaceObject)
    return s9div_surface(object1, object2, epsge, which, code, pieces, tables, data, status);
  if (div->kind != kCurveObject) return fail(-122);

  double values[2] = {0, 0};
  isect_point* found = nullptr;
  int fixed = 0;
  int st = 0;
  sh1762_s9subdivpt(object1, object2, epsge, which, code, tables, data, &fixed, &found, values,
                    &st);
  if (st < 0) return fail(st);
  const double u = values[0];
  const int offset = which == 1 ? 0 : object1->kind;

  st = 0;
  s1231(div->curve, u, &pieces[0]->curve, &pieces[1]->curve, &st);
  if (st < 0) return fail(st);

  geom_object* cut = pieces[0]->edges[1];
  if (!cut) {
    cut = create_geom_object(kPointObject);
    if (!cut) return fail(kErrMemory);
    pieces[0]->edges[1] = cut;
    double par = 0;
    st = 0;
    s1438(pieces[0]->curve, 1, &cut->point, &par, &st);
    if (st < 0) return fail(st);
  }
  if (other->kind >= 1)
    return s9div_curve_point(object1, object2, epsge, which, u, found, cut, tables, data, status);
  // A point against a curve: the cut point against the other object.
  isect_data* sub = nullptr;
  st = 0;
  if (which == 1) {
    sh1761(cut, other, epsge, &sub, &st);
  } else {
    sh1761(other, cut, epsge, &sub, &st);
  }
  if (st < 0) {
    destroy_isect_data(sub);
    return fail(st);
  }
  if (st != 0) {
    *status = 1;
    const int n = (*data ? (*data)->point_count : 0) + (sub ? sub->point_count : 0);
    st = 0;
    put_edge_points(object1, object2, epsge, sub, offset, u, data, &st);
    if (st < 0) {
      destroy_isect_data(sub);
      return fail(st);
    }
    if (found && *data && (*data)->point_count == n) {
      isect_point* near = closest_isect_point(*data, found);
      if (near) {
        isect_point* a = found;
        st = 0;
        sh6idunite(object1, object2, data, &a, &near, 0.5, epsge, &st);
        if (st < 0) {
          destroy_isect_data(sub);
          return fail(st);
        }
      }
    }
  }
  destroy_isect_data(sub);
}
