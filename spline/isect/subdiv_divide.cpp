// Cutting an object for the subdivision intersector: the cut value (an existing inner
// point, a Newton result in a single piece, or the middle knot) and the sub-problem on
// the cut, whose points the pieces on both sides then share as edge points.
#include <cmath>
#include <cstdlib>

#include "spline/isect/chain_lists.h"
#include "spline/isect/isect_graph.h"
#include "spline/isect/newton.h"
#include "spline/isect/subdiv.h"
#include "spline/isect/subdiv_surface.h"
#include "spline/isocurve.h"
#include "spline/split.h"
#include "spline/status.h"

void sh1762_s9subdivpt(geom_object* object1, geom_object* object2, double epsge, int which,
                       int code, edge_table* tables[2], isect_data** data, int* fixed,
                       isect_point** found, double values[2], int* status) {
  geom_object* div = which == 1 ? object1 : object2;
  geom_object* other = which == 1 ? object2 : object1;
  *found = nullptr;
  if (div->kind == 2)
    return s9subdivpt_surface(object1, object2, epsge, which, code, tables, data, fixed, found,
                              values, status);
  if (div->kind != 1) {
    *status = -122;
    error_report("sh1762_s9subdivpt", *status, 0);
    return;
  }
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
    const spline_curve* oc = div->origin && div->origin->curve ? div->origin->curve : c;
    if (other->kind == 0 && other->point->dim == 1) {
      s1172(oc, s, e, u, &u, &st);
    } else if (other->kind == 0) {
      st = 1;
      s1771(other->point, oc, epsge, s, e, u, &u, &st);
    } else if (other->kind == 2) {
      int ok = 0;
      s9subdivpt_curve_on_surface(div, other, epsge, s, e, &u, &ok, &st);
      usable = ok != 0;
    } else {
      *status = kSubdivNotBuilt;
      error_report("sh1762_s9subdivpt", *status, 0);
      return;
    }
    if (st < 0) {
      *status = st;
      error_report("sh1762_s9subdivpt", st, 0);
      return;
    }
    if (!usable || u < s + margin || u > e - margin) u = middle_knot_value(c->knots, k, n);
  } else if (!f) {
    u = middle_knot_value(c->knots, k, n);
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
  if (div->kind == 2)
    return s9div_surface(object1, object2, epsge, which, code, pieces, tables, data, status);
  if (div->kind != 1 || (object1->kind == 1 && object2->kind == 1)) return fail(kSubdivNotBuilt);

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
    cut = create_geom_object(0);
    if (!cut) return fail(kErrMemory);
    pieces[0]->edges[1] = cut;
    double par = 0;
    st = 0;
    s1438(pieces[0]->curve, 1, &cut->point, &par, &st);
    if (st < 0) return fail(st);
  }
  if (other->kind == 2)
    return s9div_curve_point(object1, object2, epsge, which, u, found, cut, tables, data, status);
  // A point against a curve: the cut point against the other object.
  isect_data* sub = nullptr;
  st = 0;
  if (which == 1)
    sh1761(cut, other, epsge, &sub, &st);
  else
    sh1761(other, cut, epsge, &sub, &st);
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
