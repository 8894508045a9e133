// Settling a simple pair with a surface: the edge points already found are connected
// or united, or a Newton iteration from the middle of the domains adds the one
// intersection point the pair can hold (a point on a surface, a curve through a
// surface), with its side markers.  Two surfaces are left to the connection of their
// edge points by marching.
#include <cmath>
#include <cstdlib>

#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/edge_march.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/surface_pairs.h"
#include "spline/status.h"

namespace {

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

struct Range {
  double s, e;
  bool strictly_inside(double x) const { return x > s && x < e; }
  bool at_end(double x) const { return rel_equal(x, s) || rel_equal(x, e); }
  double mid() const { return 0.5 * (s + e); }
};

Range curve_range(const spline_curve* c) {
  return {c->knots[c->order - 1], c->knots[c->vertex_count]};
}
Range surface_range(const spline_surface* s, int direction) {
  return direction == 0 ? Range{s->knots1[s->order1 - 1], s->knots1[s->vertex_count1]}
                        : Range{s->knots2[s->order2 - 1], s->knots2[s->vertex_count2]};
}

int count_of(const edge_table* t) { return t ? t->point_count : 0; }

const spline_surface* origin_surface(const geom_object* o) {
  return o->origin && o->origin->surface ? o->origin->surface : o->surface;
}
const spline_curve* origin_curve(const geom_object* o) {
  return o->origin && o->origin->curve ? o->origin->curve : o->curve;
}

// Owner of the edge-point array listed by sh6edgpoint.
struct PointList {
  isect_point** points = nullptr;
  int count = 0;
  ~PointList() { free(points); }
};

// Enters a new main point with the given parameters (duplicates joined); *point names
// the point held by the data afterwards.
void enter_point(isect_data** data, int param_count, const double* params, isect_point** point,
                 int* status) {
  *point = create_isect_point_geom(param_count, params, 0.0, 1, 0, 0, 0, 0, 0, 0, nullptr,
                                   nullptr);
  if (!*point) {
    *status = kErrMemory;
    return;
  }
  int st = 0;
  sh6idnpt(data, point, 1, &st);
  if (st < 0) {
    destroy_isect_point(*point);
    *point = nullptr;
    *status = st;
    return;
  }
  *status = 0;
}

// Case of a point P against a surface O.
void point_surface(geom_object* object1, geom_object* object2, double epsge, isect_data** data,
                   edge_table* tables[2], int* result, int* status) {
  geom_object* P = object1->kind == kPointObject ? object1 : object2;
  geom_object* O = P == object1 ? object2 : object1;
  edge_table*& otable = P == object1 ? tables[1] : tables[0];
  const spline_surface* sf = O->surface;
  const Range r1 = surface_range(sf, 0), r2 = surface_range(sf, 1);
  *status = 0;

  int n = count_of(otable);
  if (n == 0 && *data) {
    for (int i = 0; i < (*data)->point_count; ++i) {
      const isect_point* p = (*data)->points[i];
      if (p->param_count >= 2 && r1.strictly_inside(p->params[0]) &&
          r2.strictly_inside(p->params[1])) {
        n = 1;
        break;
      }
    }
  }
  PointList edge;
  int st = 0;
  if (n >= 2) {
    sh6edgpoint(tables, &edge.points, &edge.count, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    n = edge.count;
  }
  isect_point* U = nullptr;
  if (n > 1) {
    if (sf->dim == 1) {
      // Level curves of a function through its edge points, found by marching.
      st = 0;
      sh1762_s9edgpscon(otable, P->point->coords[0], sf, O->origin != O ? 1 : 0, data, epsge,
                        &st);
      if (st < 0) {
        *status = st;
        return;
      }
      if (st != 0) *result = 0;
      return;
    }
    if (sf->dim == 2 && n == 2) {
      isect_point* a = edge.points[0];
      isect_point* b = edge.points[1];
      st = 0;
      sh6idcon(data, &a, &b, &st);
      if (st < 0) *status = st;
      return;
    }
    U = edge.points[0];
    for (int i = 1; i < n; ++i) {
      isect_point* q = edge.points[i];
      st = 0;
      sh6idunite(object1, object2, data, &U, &q, 0.5, epsge, &st);
      if (st < 0) {
        *status = st;
        return;
      }
    }
    edge_table* fresh = create_edge_table(otable->edge_count);
    if (!fresh) {
      *status = kErrMemory;
      return;
    }
    destroy_edge_table(otable);
    otable = fresh;
    n = 0;
  }
  if (n != 0) return;

  const double lo[2] = {r1.s, r2.s}, hi[2] = {r1.e, r2.e};
  const double guess[2] = {r1.mid(), r2.mid()};
  double uv[2] = {guess[0], guess[1]};
  st = 0;
  s1773(P->point, origin_surface(O), epsge, lo, hi, guess, uv, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  if (st == 1 && (r1.at_end(uv[0]) || r2.at_end(uv[1]))) st = 0;
  const int pdim = P->point->dim;
  if (pdim == 2 && st == 9) {
    *result = 0;
    return;
  }
  if (st != 1) {
    if (pdim == 1) *result = 0;
    return;
  }
  *result = 1;
  if (U) {
    U->params[0] = uv[0];
    U->params[1] = uv[1];
    return;
  }
  isect_point* p = nullptr;
  enter_point(data, 2, uv, &p, status);
}

// Case of a curve C against a surface O (either order).
void curve_surface(geom_object* object1, geom_object* object2, double epsge, isect_data** data,
                   edge_table* tables[2], int* result, int* status) {
  geom_object* C = object1->kind == kCurveObject ? object1 : object2;
  geom_object* O = C == object1 ? object2 : object1;
  const int ci = C == object1 ? 0 : 2;  // the curve's parameter in a point
  const int oi = C == object1 ? 1 : 0;  // the surface's first parameter
  const Range rc = curve_range(C->curve);
  const Range r1 = surface_range(O->surface, 0), r2 = surface_range(O->surface, 1);
  *status = 0;

  const int n = count_of(tables[0]) + count_of(tables[1]);
  int st = 0;
  if (n > 1) {
    PointList edge;
    sh6edgpoint(tables, &edge.points, &edge.count, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    if (edge.count > 1) {
      for (int i = 1; i < edge.count; ++i) {
        isect_point* a = edge.points[0];
        isect_point* b = edge.points[i];
        st = 0;
        sh6idcon(data, &a, &b, &st);
        if (st < 0) {
          *status = st;
          return;
        }
      }
      *result = 1;
      return;
    }
  }
  if (n > 0) return;
  if (*data) {
    for (int i = 0; i < (*data)->point_count; ++i) {
      const isect_point* p = (*data)->points[i];
      if (p->param_count < 3) continue;
      if (rc.strictly_inside(p->params[ci]) && r1.strictly_inside(p->params[oi]) &&
          r2.strictly_inside(p->params[oi + 1]))
        return;
    }
  }

  const spline_curve* curve = origin_curve(C);
  const spline_surface* surface = origin_surface(O);
  const double lo[2] = {r1.s, r2.s}, hi[2] = {r1.e, r2.e};
  double guess_uv[2] = {r1.mid(), r2.mid()};
  double t = rc.mid();
  st = 0;
  // The start pair and the result share one array.
  s1772(curve, surface, epsge, rc.s, lo, rc.e, hi, t, guess_uv, &t, guess_uv, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  if (st == 3) {
    *result = 0;
    return;
  }
  if (st == 2) {
    double tc = 0, uv[2] = {0, 0};
    nearest_vertex_params_curve_surface(C->curve, O->surface, &tc, uv);
    st = 0;
    s1772(curve, surface, epsge, rc.s, lo, rc.e, hi, tc, uv, &t, guess_uv, &st);
    if (st < 0) {
      *status = st;
      return;
    }
  }
  if (st == 1 && (rc.at_end(t) || r1.at_end(guess_uv[0]) || r2.at_end(guess_uv[1]))) st = 0;
  if (st != 1) return;
  *result = 1;
  double params[3];
  params[ci] = t;
  params[oi] = guess_uv[0];
  params[oi + 1] = guess_uv[1];
  isect_point* p = nullptr;
  enter_point(data, 3, params, &p, status);
  if (*status < 0) return;
  if (C->curve->dim == 3) {
    int added = 0;
    st = 0;
    mark_curve_surface_sides(object1, object2, epsge, data, p, &added, &st);
    if (st < 0) *status = st;
  }
}

// Case of two surfaces: only the edge points can settle it, by marching between them.
void surface_surface(geom_object* object1, geom_object* object2, double epsge,
                     isect_data** data, edge_table* tables[2], int* result, int* status) {
  *status = 0;
  if (count_of(tables[0]) + count_of(tables[1]) < 2) return;
  const int simple_pair = object1->extra == object2 ? 1 : 0;
  int st = 0;
  sh1762_s9edgsscon(tables, object1->surface, object2->surface, data, simple_pair, epsge, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  if (st != 0) *result = 0;
}

}  // namespace

void sh1762_s9update_surface(geom_object* object1, geom_object* object2, double epsge,
                             isect_data** data, edge_table* tables[2], int* status) {
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1762_s9update", s, 0);
  };
  if (object1->kind < 0 || object1->kind > 2 || object2->kind < 0 || object2->kind > 2)
    return fail(kErrKind);
  if (object_dim(object1) != object_dim(object2)) return fail(kErrDimensionMismatch);
  int result = 2;
  int st = 0;
  if (object1->kind == kPointObject || object2->kind == kPointObject)
    point_surface(object1, object2, epsge, data, tables, &result, &st);
  else if (object1->kind == kCurveObject || object2->kind == kCurveObject)
    curve_surface(object1, object2, epsge, data, tables, &result, &st);
  else
    surface_surface(object1, object2, epsge, data, tables, &result, &st);
  if (st < 0) return fail(st);
  *status = result;
}
