// Edge points of the subdivision intersector with surfaces: the points a sub-problem on
// an edge (or on a dividing line) found are brought into the parent data, and the
// connections among them get the direction in which the intersection curve runs and
// the constant parameter of the edge; on a whole surface, the points also learn on
// which side of the boundary the curve lies.  Also the small-area simple case of two
// surfaces and the micro case of a surface.
#include <cmath>
#include <cstdlib>

#include "spline/detail/isect/isect_degen.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_subproblem.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/subdiv_surface.h"
#include "spline/status.h"

namespace {

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

double dot(const double* a, const double* b, int n) {
  double s = 0;
  for (int i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

// Side of the surface's boundary on which a constant parameter value lies: for the
// first parameter -1 at its start and +1 at its end, for the second +1 at its start and
// -1 at its end; 0 inside.
int boundary_side(const spline_surface* s, int parameter, double value) {
  if (parameter == 0) {
    if (rel_equal(value, s->knots1[s->order1 - 1])) return -1;
    if (rel_equal(value, s->knots1[s->vertex_count1])) return 1;
  } else {
    if (rel_equal(value, s->knots2[s->order2 - 1])) return 1;
    if (rel_equal(value, s->knots2[s->vertex_count2])) return -1;
  }
  return 0;
}

// The signed value whose sign gives the direction of a connection, computed at the
// point with the lower running parameter.
using SignFn = double (*)(geom_object* object1, geom_object* object2, isect_point* low,
                          int index, double epsge, int* status);

// Common frame of the three edge-direction routines.  running: the parameter along the
// edge; owner: the surface object holding the constant parameter and its first index
// among the pair's parameters, for the boundary marks (null for none).
void mark_edge_connections(geom_object* object1, geom_object* object2, double epsge,
                           isect_point** points, int count, int index, int running,
                           geom_object* owner, int owner_offset, SignFn sign, int* status) {
  *status = 0;
  for (int i = 0; i < count; ++i) {
    for (int j = i + 1; j < count; ++j) {
      isect_point* p = points[i];
      isect_point* q = points[j];
      if (!p || !q) continue;
      int si = 0, sj = 0, st = 0;
      sh6getlist(p, q, &si, &sj, &st);
      if (st != 0) continue;
      isect_point* low = p->params[running] < q->params[running] ? p : q;
      isect_point* high = low == p ? q : p;
      st = 0;
      const double D = sign(object1, object2, low, index, epsge, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      st = 0;
      if (D > 0)
        sh6setdir(low, high, &st);
      else if (D < 0)
        sh6setdir(high, low, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      st = 0;
      sh6setcnsdir(low, high, index, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      if (!owner || !is_main_point(low) || !is_main_point(high)) continue;
      if (object1->origin != object1 || object2->origin != object2) continue;
      const int e = boundary_side(owner->surface, index - owner_offset, low->params[index]);
      const double m = e * D;
      if (m == 0) continue;
      const int mark = m > 0 ? 1 : 2;
      if (owner == object1) {
        low->edge_word1 = high->edge_word1 = mark;
      } else {
        low->edge_word2 = high->edge_word2 = mark;
      }
    }
  }
}

double sign_point_surface(geom_object* object1, geom_object* object2, isect_point* low,
                          int index, double epsge, int* status) {
  const bool first = object1->kind == kSurfaceObject;
  geom_object* surface = first ? object1 : object2;
  double* block = nullptr;
  double* normal = nullptr;
  point_object_geom(surface, first ? 1 : 2, low, &block, &normal, epsge, status);
  if (*status < 0) return 0;
  const double s = first ? 1.0 : -1.0;
  return index == 0 ? s * block[1] : -s * block[2];
}

double sign_curve_surface(geom_object* object1, geom_object* object2, isect_point* low,
                          int index, double epsge, int* status) {
  const bool curve_first = object1->kind == kCurveObject;
  geom_object* curve = curve_first ? object1 : object2;
  geom_object* surface = curve_first ? object2 : object1;
  double* cb = nullptr;
  double* sb = nullptr;
  double* normal = nullptr;
  point_object_geom(curve, curve_first ? 1 : 2, low, &cb, &normal, epsge, status);
  if (*status < 0) return 0;
  point_object_geom(surface, curve_first ? 2 : 1, low, &sb, &normal, epsge, status);
  if (*status < 0) return 0;
  const int dim = 3;
  // Surface parameter that runs along the edge: 0 the first (derivative Su), 1 the
  // second (Sv).
  const int surface_first_param = curve_first ? 1 : 0;
  const int running = (index - surface_first_param == 0) ? 1 : 0;
  const double* derivative = sb + (running == 0 ? dim : 2 * dim);
  return dot(cb + dim, derivative, dim);
}

double sign_surface_surface(geom_object* object1, geom_object* object2, isect_point* low,
                            int index, double epsge, int* status) {
  double* b1 = nullptr;
  double* b2 = nullptr;
  double* n1 = nullptr;
  double* n2 = nullptr;
  point_object_geom(object1, 1, low, &b1, &n1, epsge, status);
  if (*status < 0) return 0;
  point_object_geom(object2, 2, low, &b2, &n2, epsge, status);
  if (*status < 0) return 0;
  const double cross[3] = {n1[1] * n2[2] - n1[2] * n2[1], n1[2] * n2[0] - n1[0] * n2[2],
                           n1[0] * n2[1] - n1[1] * n2[0]};
  const double* block = index < 2 ? b1 : b2;
  // Index 0 or 2 keeps the surface's first parameter: the edge runs along Sv; index 1
  // or 3 runs along Su.
  const double* derivative = block + (index % 2 == 0 ? 2 * 3 : 3);
  return dot(cross, derivative, 3);
}

int dimension_of(const geom_object* o) { return object_dim(o); }

}  // namespace

void edge_dirs_point_surface(geom_object* object1, geom_object* object2, double epsge,
                             isect_data** /*data*/, isect_point** points, int count, int index,
                             int* status) {
  *status = 0;
  geom_object* surface = object1->kind == kSurfaceObject ? object1 : object2;
  const int dim = surface->surface->dim;
  if ((dim != 1 && dim != 2) || dimension_of(object1) != dimension_of(object2)) {
    *status = kErrDimensionMismatch;
    return;
  }
  if (index != 0 && index != 1) return;
  mark_edge_connections(object1, object2, epsge, points, count, index, 1 - index, surface, 0,
                        sign_point_surface, status);
}

void edge_dirs_curve_surface(geom_object* object1, geom_object* object2, double epsge,
                             isect_data** /*data*/, isect_point** points, int count, int index,
                             int* status) {
  *status = 0;
  const int d1 = dimension_of(object1);
  const int d2 = dimension_of(object2);
  if (d1 != d2) {
    *status = kErrDimensionMismatch;
    return;
  }
  if (d1 != 3) {
    *status = kErrDimensionNot3;
    return;
  }
  const bool curve_first = object1->kind == kCurveObject;
  int running = -1;
  if (curve_first && index == 1) running = 2;
  if (curve_first && index == 2) running = 1;
  if (!curve_first && index == 0) running = 1;
  if (!curve_first && index == 1) running = 0;
  if (running < 0) return;  // a curve end
  mark_edge_connections(object1, object2, epsge, points, count, index, running, nullptr, 0,
                        sign_curve_surface, status);
}

void edge_dirs_surface_surface(geom_object* object1, geom_object* object2, double epsge,
                               isect_data** /*data*/, isect_point** points, int count,
                               int index, int* status) {
  *status = 0;
  const int d1 = dimension_of(object1);
  const int d2 = dimension_of(object2);
  if (d1 != d2) {
    *status = kErrDimensionMismatch;
    return;
  }
  if (d1 != 3) {
    *status = kErrDimensionNot3;
    return;
  }
  if (index < 0 || index > 3) return;
  static const int kRunning[4] = {1, 0, 3, 2};
  geom_object* owner = index < 2 ? object1 : object2;
  mark_edge_connections(object1, object2, epsge, points, count, index, kRunning[index], owner,
                        index < 2 ? 0 : 2, sign_surface_surface, status);
}

void put_edge_points(geom_object* object1, geom_object* object2, double epsge, isect_data* sub,
                     int index, double value, isect_data** data, int* status) {
  *status = 0;
  if (!sub) return;
  isect_point** added = nullptr;
  int count = 0;
  int st = 0;
  sh6idput(object1, object2, data, sub, index, value, &added, &count, &st);
  if (st < 0) {
    free(added);
    *status = st;
    return;
  }
  if (count == 0) {
    free(added);
    return;
  }
  const int dim = dimension_of(object1);
  const int k1 = object1->kind;
  const int k2 = object2->kind;
  st = 0;
  if (dim <= 2 && ((k1 == 2 && k2 == 0) || (k1 == 0 && k2 == 2)))
    edge_dirs_point_surface(object1, object2, epsge, data, added, count, index, &st);
  else if (dim == 3 && ((k1 == 1 && k2 == 2) || (k1 == 2 && k2 == 1)))
    edge_dirs_curve_surface(object1, object2, epsge, data, added, count, index, &st);
  else if (dim == 3 && k1 == 2 && k2 == 2)
    edge_dirs_surface_surface(object1, object2, epsge, data, added, count, index, &st);
  free(added);
  if (st < 0) *status = st;
}

void sh1762_s9simple(geom_object* object1, geom_object* object2, edge_table* tables[2],
                     int* status) {
  *status = 0;
  const spline_surface* s1 = object1->surface;
  const spline_surface* s2 = object2->surface;
  if (s1->dim != s2->dim) {
    *status = kErrDimensionMismatch;
    error_report("sh1762_s9simple", *status, 0);
    return;
  }
  isect_point** points = nullptr;
  int count = 0;
  int st = 0;
  sh6edgpoint(tables, &points, &count, &st);
  free(points);
  if (st < 0) {
    *status = st;
    error_report("sh1762_s9simple", st, 0);
    return;
  }
  if (count == 0) return;
  const double factor = count == 1 ? 0.0001 : 0.00390625;
  auto area = [](const spline_surface* s) {
    return (s->knots1[s->vertex_count1] - s->knots1[s->order1 - 1]) *
           (s->knots2[s->vertex_count2] - s->knots2[s->order2 - 1]);
  };
  const spline_surface* o1 = object1->origin && object1->origin->surface
                                 ? object1->origin->surface
                                 : s1;
  const spline_surface* o2 = object2->origin && object2->origin->surface
                                 ? object2->origin->surface
                                 : s2;
  const double A = area(s1) * area(s2);
  const double O = area(o1) * area(o2);
  *status = factor * O >= A ? 1 : 0;
}

void s9mic_surface_points(geom_object* object1, geom_object* object2, isect_data* data,
                          int* status) {
  *status = 1;
  if (!data) return;
  for (int i = 0; i < data->point_count; ++i) {
    isect_point* p = data->points[i];
    int cls = 0;
    edge_class(object1, object2, p, &cls);
    if (cls < 0) {
      *status = cls;
      return;
    }
    if (cls == 0) continue;
    int st = 0;
    sh6tomain(p, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    p->kind = kEdgePoint;
  }
}
