// Settling a simple pair of the subdivision intersector: the known edge points are
// united, or a Newton iteration from the middle of the domain adds the one
// intersection the pair can hold, with its side markers.
#include <cmath>
#include <cstdlib>

#include "spline/detail/isect/crossing_polish.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_shapes.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/subdiv_points.h"
#include "spline/detail/isect/surface_pairs.h"
#include "spline/status.h"

namespace {

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

int dimension_of(const geom_object* o) {
  if (o->kind == kPointObject) return o->point->dim;
  if (o->kind == kCurveObject) return o->curve->dim;
  return o->surface->dim;
}

const spline_curve* origin_curve(const geom_object* o) {
  return o->origin && o->origin->kind == 1 && o->origin->curve ? o->origin->curve : o->curve;
}

// Two curves of a simple pair: the edge points are connected to the first one, or, with
// no point known on the pair, a Newton iteration from the middles of both ranges adds
// the one crossing the pair can hold.
void two_curve_update(geom_object* object1, geom_object* object2, double epsge,
                      isect_data** data, edge_table* tables[2], int* status) {
  isect_point** points = nullptr;
  auto fail = [&](int s, int pos = 0) {
    free(points);
    *status = s;
    error_report("sh1762_s9update", s, pos);
  };
  int n = (tables[0] ? tables[0]->point_count : 0) + (tables[1] ? tables[1]->point_count : 0);
  int st = 0;
  if (n > 1) {
    sh6edgpoint(tables, &points, &n, &st);
    if (st < 0) return fail(st);
    if (n > 1) {
      for (int i = 1; i < n; ++i) {
        isect_point* a = points[0];
        isect_point* b = points[i];
        st = 0;
        sh6idcon(data, &a, &b, &st);
        if (st < 0) return fail(st);
      }
      *status = 1;
      free(points);
      return;
    }
    free(points);
    points = nullptr;
  }
  if (n > 0) return;  // one known point settles the pair

  const spline_curve* c1 = object1->curve;
  const spline_curve* c2 = object2->curve;
  const double s1 = c1->knots[c1->order - 1], e1 = c1->knots[c1->vertex_count];
  const double s2 = c2->knots[c2->order - 1], e2 = c2->knots[c2->vertex_count];
  if (*data) {
    for (int i = 0; i < (*data)->point_count; ++i) {
      const isect_point* p = (*data)->points[i];
      if (p->param_count >= 2 && p->params[0] > s1 && p->params[0] < e1 && p->params[1] > s2 &&
          p->params[1] < e2)
        return;
    }
  }
  const spline_curve* o1 = origin_curve(object1);
  const spline_curve* o2 = origin_curve(object2);
  double t1 = 0, t2 = 0;
  st = 0;
  s1770(o1, o2, epsge, s1, s2, e1, e2, 0.5 * (s1 + e1), 0.5 * (s2 + e2), &t1, &t2, &st);
  if (st < 0) return fail(st);
  if (st == 2) {
    // The iteration ended at a closest pair that is no intersection: once more from
    // the parameters of the closest control vertices.
    double g1 = 0, g2 = 0;
    nearest_vertex_params(c1, c2, &g1, &g2);
    st = 0;
    s1770(o1, o2, epsge, s1, s2, e1, e2, g1, g2, &t1, &t2, &st);
    if (st < 0) return fail(st, 2866);
  }
  if (st == 1) {
    // The iteration stops within the tolerance; a crossing is refined to rounding.
    int pst = 0;
    polish_curve_crossing(o1, o2, s1, e1, s2, e2, &t1, &t2, &pst);
    if (pst < 0) return fail(pst);
  }
  if (st == 1 && (rel_equal(t1, s1) || rel_equal(t1, e1) || rel_equal(t2, s2) ||
                  rel_equal(t2, e2)))
    st = 0;
  if (st != 1) return;
  *status = 1;
  const double par[2] = {t1, t2};
  isect_point* p = insert_new_point(data, 2, par, &st);
  if (!p) return fail(st);
  if (c1->dim == 2) {
    int added = 0;
    st = 0;
    mark_curve_curve_sides(object1, object2, epsge, data, p, &added, &st);
    if (st < 0) return fail(st);
  }
}

}  // namespace

void sh1762_s9update(geom_object* object1, geom_object* object2, double epsge,
                     isect_data** data, edge_table* tables[2], int* status) {
  if (object1->kind == kSurfaceObject || object2->kind == kSurfaceObject)
    return sh1762_s9update_surface(object1, object2, epsge, data, tables, status);
  isect_point** points = nullptr;
  auto fail = [&](int s, int pos = 0) {
    free(points);
    *status = s;
    error_report("sh1762_s9update", s, pos);
  };
  if (object1->kind < 0 || object1->kind > 2 || object2->kind < 0 || object2->kind > 2)
    return fail(kErrKind);
  if (dimension_of(object1) != dimension_of(object2)) return fail(kErrDimensionMismatch);
  *status = 2;
  if (object1->kind == kCurveObject && object2->kind == kCurveObject) {
    two_curve_update(object1, object2, epsge, data, tables, status);
    return;
  }
  if (object1->kind != kPointObject && object2->kind != kPointObject) return fail(kErrKind);

  // Case A: a point P and an object O.
  geom_object* P = object1->kind == kPointObject ? object1 : object2;
  geom_object* O = P == object1 ? object2 : object1;
  if (O->kind != kCurveObject) return fail(kErrKind);
  edge_table* otable = P == object1 ? tables[1] : tables[0];
  const spline_curve* c = O->curve;
  const double s = c->knots[c->order - 1];
  const double e = c->knots[c->vertex_count];
  int n = otable ? otable->point_count : 0;
  if (n == 0 && *data) {
    for (int i = 0; i < (*data)->point_count; ++i) {
      const isect_point* p = (*data)->points[i];
      if (p->param_count >= 1 && p->params[0] > s && p->params[0] < e) {
        n = 1;
        break;
      }
    }
  }
  int st = 0;
  isect_point* U = nullptr;
  if (n >= 2) {
    sh6edgpoint(tables, &points, &n, &st);
    if (st < 0) return fail(st);
  }
  if (n > 1) {
    U = points[0];
    for (int i = 1; i < n; ++i) {
      isect_point* q = points[i];
      st = 0;
      sh6idunite(object1, object2, data, &U, &q, 0.5, epsge, &st);
      if (st < 0) return fail(st);
    }
    edge_table* fresh = create_edge_table(otable->edge_count);
    if (!fresh) return fail(kErrMemory);
    destroy_edge_table(otable);
    if (P == object1)
      tables[1] = fresh;
    else
      tables[0] = fresh;
    n = 0;
  }
  free(points);
  points = nullptr;
  if (n != 0) return;

  const spline_curve* oc = O->origin && O->origin->curve ? O->origin->curve : c;
  double t = 0.5 * (s + e);
  st = 0;
  s1771(P->point, oc, epsge, s, e, t, &t, &st);
  if (st < 0) return fail(st);
  if (st == 1 && (rel_equal(t, s) || rel_equal(t, e))) st = 0;
  const int pdim = P->point->dim;
  if (st != 1) {
    *status = pdim <= 2 ? 0 : 2;
    return;
  }
  *status = 1;
  if (U) {
    U->params[0] = t;
    return;
  }
  isect_point* p = insert_new_point(data, 1, &t, &st);
  if (!p) return fail(st);
  int added = 0;
  st = 0;
  if (pdim == 1)
    mark_point_curve_sides(object1, object2, epsge, data, p, &added, &st);
  else if (pdim == 2)
    stationary_curve_help_points(object1, object2, epsge, data, p, &added, &st);
  if (st < 0) return fail(st);
}

void mark_param_ends(geom_object* object1, geom_object* object2, isect_data* data,
                     int* status) {
  *status = 0;
  if (!data) return;
  const int D = dimension_of(object1);
  const bool point_curve = D == 1 && object1->kind + object2->kind == kCurveObject;
  const bool curve_curve = object1->kind == kCurveObject && object2->kind == kCurveObject;
  const bool curve_surface = D == 3 && ((object1->kind == kCurveObject && object2->kind == kSurfaceObject) ||
                                        (object1->kind == kSurfaceObject && object2->kind == kCurveObject));
  if (!point_curve && !curve_curve && !curve_surface) return;
  for (int i = 0; i < data->point_count; ++i) {
    isect_point* p = data->points[i];
    if (!p || is_help_point(p)) continue;
    int m[4];
    int st = 0;
    sh6gettop(p, -1, &m[0], &m[1], &m[2], &m[3], &st);
    if (st < 0) {
      *status = st;
      return;
    }
    // (curve object, its parameter index, marker base)
    struct Probe {
      const spline_curve* c;
      int index;
      int base;
    } probes[2];
    int np = 0;
    double r = 0;
    if (point_curve) {
      geom_object* co = object1->kind == kCurveObject ? object1 : object2;
      probes[np++] = {co->curve, 0, co == object1 ? 0 : 2};
    } else if (curve_curve) {
      probes[np++] = {object1->curve, 0, 0};
      probes[np++] = {object2->curve, 1, 2};
    } else {
      geom_object* co = object1->kind == kCurveObject ? object1 : object2;
      probes[np++] = {co->curve, co == object1 ? 0 : 2, co == object1 ? 0 : 2};
    }
    for (int j = 0; j < np; ++j) {
      const spline_curve* c = probes[j].c;
      const double len = c->knots[c->vertex_count] - c->knots[c->order - 1];
      if (len > r) r = len;
    }
    for (int j = 0; j < np; ++j) {
      const spline_curve* c = probes[j].c;
      if (probes[j].index >= p->param_count) continue;
      const double x = p->params[probes[j].index] + r;
      const double a = c->knots[c->order - 1] + r;
      const double b = c->knots[c->vertex_count] + r;
      int& left = m[probes[j].base];
      int& right = m[probes[j].base + 1];
      if (rel_equal(x, a) && left != 1 && left != 2) left = 4;
      if (rel_equal(x, b) && right != 1 && right != 2) right = 4;
    }
    st = 0;
    sh6settop(p, -1, m[0], m[1], m[2], m[3], &st);
    if (st < 0) {
      *status = st;
      return;
    }
  }
}
