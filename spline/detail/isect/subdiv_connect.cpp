// Connection of the edge points of a sub-problem of the subdivision intersector: the
// points are joined into pieces of intersection curves where the geometry makes the
// connection certain (nearly straight or flat objects, stretches along which the
// objects coincide, chains already connected), or special-case tests prove that the
// pair holds nothing beyond its edge points.  What cannot be settled is left to the
// subdivision.

#include "spline/detail/isect/subdiv_connect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "spline/handles.h"
#include "spline/boxes.h"
#include "spline/curve_eval.h"
#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/coincidence.h"
#include "spline/detail/isect/implicit_forms.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/isect_shapes.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/special_cases.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

constexpr double kHalfPi = 1.5707963267948966;
// Directions within this angle (radians) count as the same (or tangential).
constexpr double kSameDirection = 0.01;
// Flatness tolerance of a surface's normal cone.
constexpr double kSurfaceFlatness = 0.001;

using PointHolder = std::unique_ptr<spline_point, decltype(&destroy_point)>;

double curve_start(const spline_curve* c) { return c->knots[c->order - 1]; }
double curve_end(const spline_curve* c) { return c->knots[c->vertex_count]; }

const dir_cone* cone_of(const geom_object* o) {
  if (o->kind == kCurveObject) return o->curve->cone;
  if (o->kind == kSurfaceObject) return o->surface->cone;
  return nullptr;
}

// Position and first derivatives of a surface at (u, v): S, Su, Sv of dim each, and
// the normal (dimension 3).  Returns the evaluator's status.
int surface_frame(const spline_surface* s, const double* uv, double* derivs, double* normal) {
  int l1 = 0, l2 = 0, st = 0;
  s1421(s, 1, uv, &l1, &l2, derivs, normal, &st);
  return st;
}

// Position and tangent of a curve at t (2 * dim doubles).
int curve_frame(const spline_curve* c, double t, double* derivs) {
  int left = 0, st = 0;
  s1221(c, 1, t, &left, derivs, &st);
  return st;
}

// Normal of the candidate separator of two curves with unit tangents g and h and the
// mean direction j: in the plane (j1, -j0), in space j x (g x h).  Returns 0 when the
// normal vanishes.
int separator_normal(const double* g, const double* h, const double* j, int dim, double* n) {
  double raw[3];
  if (dim == 2) {
    raw[0] = j[1];
    raw[1] = -j[0];
  } else {
    double gh[3];
    vec_cross(g, h, gh);
    vec_cross(j, gh, raw);
  }
  int nonzero = 0;
  vec_normalize(raw, dim, n, &nonzero);
  return nonzero;
}

// The sphere test of two space curves whose middle points lie on one circle: each curve
// put into the sphere's equation and boxed; value ranges apart mean no intersection.
// Status 2 apart, 0 not shown; negative on error.
void sphere_test(spline_curve* first, spline_curve* second, double aepsge, int* status) {
  *status = 0;
  double centre[3], radius = 0;
  int found = 0;
  curves_common_circle(first, second, aepsge, centre, &radius, &found);
  if (found < 0) {
    *status = found;
    return;
  }
  if (found != 1) return;
  double* matrix = nullptr;
  int st = 0;
  s1321(centre, radius, 3, 1, &matrix, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  std::unique_ptr<double, decltype(&std::free)> hold(matrix, &std::free);
  spline_curve* raw[2] = {nullptr, nullptr};
  const spline_curve* curves[2] = {first, second};
  for (int k = 0; k < 2 && st >= 0; ++k)
    s1370(curves[k], matrix, 3, 1, is_rational_kind(curves[k]->kind) ? 1 : 0, &raw[k], &st);
  CurveHandle f0(raw[0]), f1(raw[1]);
  if (st < 0) {
    *status = st;
    return;
  }
  const double tol = 2.0 * radius * aepsge;
  curve_box(f0.get(), 2, tol, &st);
  if (st >= 0) curve_box(f1.get(), 2, tol, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  const double hi0 = f0->box->slot_high[2][0], lo0 = f0->box->slot_low[2][0];
  const double hi1 = f1->box->slot_high[2][0], lo1 = f1->box->slot_low[2][0];
  if (lo1 > hi0 || hi1 < lo0) *status = 2;
}

// Two curves with one common edge point or none: the separating line (plane) of their
// control polygons, in space also the sphere test.
void curve_pair_cases(geom_object* A, geom_object* B, double aepsge, int n,
                      isect_point** points, geom_object* first, geom_object* second,
                      int* status) {
  spline_curve* a = A->curve;
  spline_curve* b = B->curve;
  const int dim = a->dim;
  *status = 0;
  if (b->dim != dim) {
    *status = kErrDimensionMismatch;
    return;
  }
  if (dim != 2 && dim != 3) return;
  double da[6], db[6];
  double pa_par = 0, pb_par = 0;
  int sign = 1;
  if (n == 1) {
    const isect_point* p0 = points[0];
    pa_par = p0->params[0];
    pb_par = p0->params[1];
    int ends = 0;
    double other_a = 0, other_b = 0;
    if (dequal(pa_par, curve_start(a))) {
      ++ends;
      other_a = curve_end(a);
    } else if (dequal(pa_par, curve_end(a))) {
      ++ends;
      other_a = curve_start(a);
    }
    if (dequal(pb_par, curve_start(b))) {
      ++ends;
      other_b = curve_end(b);
    } else if (dequal(pb_par, curve_end(b))) {
      ++ends;
      other_b = curve_start(b);
    }
    if (ends == 2) {
      // A help point at the other ends of both curves: the pair runs along each other
      // from end to end and is settled.
      for (int s = 0; s < p0->neighbour_count; ++s) {
        const isect_point* nb = p0->neighbours[s];
        if (nb && is_help_point(nb) && nb->param_count >= 2 && dequal(nb->params[0], other_a) &&
            dequal(nb->params[1], other_b)) {
          *status = 2;
          return;
        }
      }
    }
  } else {
    const dir_cone* ca = a->cone;
    const dir_cone* cb = b->cone;
    if (!ca || !cb || ca->flag != 0 || cb->flag != 0) return;
    if (!(ca->angle < kSameDirection && cb->angle < kSameDirection)) return;
    if (!(vec_angle(ca->axis, cb->axis, dim) < 0.1)) return;
    const double* A0 = a->coefs;
    const double* A1 = a->coefs + (a->vertex_count - 1) * dim;
    const double* B0 = b->coefs;
    const double* B1 = b->coefs + (b->vertex_count - 1) * dim;
    const double* P0 =
        std::fmin(vec_dist(A0, B0, dim), vec_dist(A0, B1, dim)) <
                std::fmin(vec_dist(A1, B0, dim), vec_dist(A1, B1, dim))
            ? A0
            : A1;
    const double guess =
        vec_dist(B0, P0, dim) < vec_dist(B1, P0, dim) ? curve_start(b) : curve_end(b);
    PointHolder probe(create_point(const_cast<double*>(P0), dim, 0), destroy_point);
    if (!probe) {
      *status = kErrMemory;
      return;
    }
    double s = guess;
    int st = 0;
    s1771(probe.get(), b, aepsge, curve_start(b), curve_end(b), guess, &s, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    // Both curves at the same value: A beyond its interval uses its first or last span.
    pa_par = s;
    pb_par = s;
  }
  int st = curve_frame(a, pa_par, da);
  if (st >= 0) st = curve_frame(b, pb_par, db);
  if (st < 0) {
    *status = st;
    return;
  }
  double g[3], h[3];
  int fg = 0, fh = 0;
  vec_normalize(da + dim, dim, g, &fg);
  vec_normalize(db + dim, dim, h, &fh);
  sign = vec_dot(g, h, dim) > 0.0 ? 1 : -1;
  double m[3], j[3], normal[3];
  for (int i = 0; i < dim; ++i) {
    m[i] = 0.5 * (da[i] + db[i]);
    j[i] = n == 1 ? 0.5 * (g[i] + h[i]) : 0.5 * (g[i] + sign * h[i]);
  }
  if (!separator_normal(g, h, j, dim, normal)) return;
  int r = 0;
  sh1831(a, b, sign, m, normal, aepsge, &r);
  if (r < 0) {
    *status = r;
    return;
  }
  if (n == 1) {
    *status = r == 0 ? 2 : 0;
    return;
  }
  if (r == 0) {
    *status = 2;
    return;
  }
  if (dim == 3) sphere_test(first->curve, second->curve, aepsge, status);
}

}  // namespace

void special_case_dispatch(geom_object* A, geom_object* B, double aepsge, int n,
                           isect_point** points, int* status) {
  *status = 0;
  const bool odd_level = (isect_recursion_level % 2) != 0;
  geom_object* first = odd_level ? B : A;
  geom_object* second = odd_level ? A : B;
  int r = 1;
  auto settle = [&](int result) {
    if (result < 0)
      *status = result;
    else
      *status = (result == 0 || result == 2) ? 2 : 0;
  };

  if (A->kind == kSurfaceObject && B->kind == kSurfaceObject) {
    if (n == 0) {
      sh1839(first, second, aepsge, &r);
      if (r == 1) elementary_overlap_test(first->surface, second->surface, aepsge, &r);
      return settle(r);
    }
    // Frames of the surfaces' tangents at the first edge point.
    const spline_surface* sa = A->surface;
    const spline_surface* sb = B->surface;
    const int dim = sa->dim;
    // Both surfaces are evaluated into room for three coordinates.
    if (sb->dim != dim) {
      *status = kErrDimensionMismatch;
      return;
    }
    if (dim != 2 && dim != 3) return;
    double ea[9], eb[9], na[3], nb[3];
    int st = surface_frame(sa, points[0]->params, ea, na);
    if (st >= 0) st = surface_frame(sb, points[0]->params + 2, eb, nb);
    if (st < 0) return settle(st);
    const double* au = ea + dim;
    const double* av = ea + 2 * dim;
    const double* bu = eb + dim;
    const double* bv = eb + 2 * dim;
    sh1834(A, B, aepsge, dim, au, av, &r);
    if (r == kBoxesOverlap && std::fabs(vec_angle(au, av, dim) - kHalfPi) > kSameDirection)
      sh1834(A, B, aepsge, dim, av, au, &r);
    const bool bu_new =
        vec_angle(bu, au, dim) > kSameDirection && vec_angle(bu, av, dim) > kSameDirection;
    if (r == kBoxesOverlap && bu_new) sh1834(A, B, aepsge, dim, bu, bv, &r);
    const bool bv_new = std::fabs(vec_angle(bu, bv, dim) - kHalfPi) > kSameDirection &&
                        vec_angle(bv, au, dim) > kSameDirection &&
                        vec_angle(bv, av, dim) > kSameDirection;
    if (r == kBoxesOverlap && bv_new) sh1834(A, B, aepsge, dim, bv, bu, &r);
    return settle(r);
  }

  if ((A->kind == kSurfaceObject && B->kind == kCurveObject) || (A->kind == kCurveObject && B->kind == kSurfaceObject)) {
    geom_object* surf = A->kind == kSurfaceObject ? A : B;
    geom_object* crv = A->kind == kSurfaceObject ? B : A;
    // The chord-and-normal frames need space; a planar pair has the corner frames only.
    if (surf->surface->dim == 3) sh1830(surf, crv, aepsge, &r);
    if (r == kBoxesOverlap) sh1839(surf, crv, aepsge, &r);
    return settle(r);
  }

  if (A->kind == kCurveObject && B->kind == kCurveObject) {
    const spline_curve* a = A->curve;
    const spline_curve* b = B->curve;
    if (2 * a->order < a->vertex_count || 2 * b->order < b->vertex_count) return;
    if (a->dim != b->dim) {
      *status = kErrDimensionMismatch;
      return;
    }
    if (n >= 2) return;
    curve_pair_cases(A, B, aepsge, n, points, first, second, status);
    return;
  }

  const bool point_surface = (A->kind == kPointObject && B->kind == kSurfaceObject) || (A->kind == kSurfaceObject && B->kind == kPointObject);
  if (point_surface) {
    const geom_object* pt = A->kind == kPointObject ? A : B;
    const spline_surface* s = (A->kind == kSurfaceObject ? A : B)->surface;
    if (pt->point->dim != 2 || s->dim != 2) return;
    const double uv[2] = {0.5 * (s->knots1[s->order1 - 1] + s->knots1[s->vertex_count1]),
                          0.5 * (s->knots2[s->order2 - 1] + s->knots2[s->vertex_count2])};
    double e[6], normal[3];
    const int st = surface_frame(s, uv, e, normal);
    if (st < 0) return settle(st);
    const double* su = e + 2;
    const double* sv = e + 4;
    if (vec_angle(su, sv, 2) >= kSameDirection) return;
    const double mean[2] = {0.5 * (su[0] + sv[0]), 0.5 * (su[1] + sv[1])};
    sh1834(A, B, aepsge, 2, mean, sv, &r);
    if (r == 5) r = 0;
    return settle(r);
  }
}

void coincident_segment_test(geom_object* A, geom_object* B, double aepsge, int /*count*/,
                             isect_point** points, int* status) {
  *status = 0;
  isect_point* p0 = points[0];
  isect_point* p1 = points[1];

  if ((A->kind == kSurfaceObject && B->kind == kCurveObject) || (A->kind == kCurveObject && B->kind == kSurfaceObject)) {
    int s0 = -1, s1 = -1, st = 0;
    sh6getlist(p0, p1, &s0, &s1, &st);
    if (st == 0) {
      *status = 1;
      return;
    }
    const bool surface_first = A->kind == kSurfaceObject;
    const spline_surface* s = (surface_first ? A : B)->surface;
    const spline_curve* c = (surface_first ? B : A)->curve;
    // The marching coincidence test works in space only.
    if (s->dim != 3 || c->dim != 3) return;
    for (isect_point* p : {p0, p1}) {
      const double* uv = surface_first ? p->params : p->params + 1;
      const double t = surface_first ? p->params[2] : p->params[0];
      double cd[6], sd[9], normal[3];
      st = curve_frame(c, t, cd);
      if (st < 0) {
        *status = st;
        return;
      }
      st = surface_frame(s, uv, sd, normal);
      if (st < 0) {
        *status = st;
        return;
      }
      if (st > 0) return;
    }
    st = 0;
    S1785(c, s, aepsge, p0->params, p1->params, surface_first ? 0 : 1, &st);
    *status = st;
    return;
  }

  if (A->kind == kCurveObject && B->kind == kCurveObject) {
    const spline_curve* a = A->curve;
    const spline_curve* b = B->curve;
    const int dim = a->dim;
    if (b->dim != dim) {
      *status = kErrDimensionMismatch;
      return;
    }
    if (dim > 3) return;
    for (isect_point* p : {p0, p1}) {
      double da[6], db[6];
      int st = curve_frame(a, p->params[0], da);
      if (st >= 0) st = curve_frame(b, p->params[1], db);
      if (st < 0) {
        *status = st;
        return;
      }
      if (vec_angle(da + dim, db + dim, dim) > kSameDirection) return;
    }
    int st = 0;
    S1786(a, b, aepsge, p0->params, p1->params, &st);
    *status = st;
    return;
  }

  const bool point_surface = (A->kind == kPointObject && B->kind == kSurfaceObject) || (A->kind == kSurfaceObject && B->kind == kPointObject);
  if (point_surface) {
    const spline_point* pt = (A->kind == kPointObject ? A : B)->point;
    const spline_surface* s = (A->kind == kSurfaceObject ? A : B)->surface;
    const int dim = s->dim;
    if (pt->dim <= 1 || pt->dim != dim || dim > 3) return;
    for (isect_point* p : {p0, p1}) {
      double e[9], normal[3];
      const int st = surface_frame(s, p->params, e, normal);
      if (st < 0) {
        *status = st;
        return;
      }
      if (vec_angle(e + dim, e + 2 * dim, dim) > kSameDirection) return;
    }
    int st = 0;
    s1789(pt, s, aepsge, p0->params, p1->params, &st);
    *status = st;
  }
}

void surface_coincidence_test(geom_object* A, geom_object* B, double aepsge,
                              int /*chain_length*/, isect_point** /*chain*/, int* status) {
  *status = 0;
  const spline_surface* sa = A->surface;
  const spline_surface* sb = B->surface;
  const int dim = sa->dim;
  if (sb->dim != dim) {
    *status = kErrDimensionMismatch;
    return;
  }
  const int m1 = 30 * (sa->vertex_count1 - sa->order1 + 1);
  const int m2 = 30 * (sa->vertex_count2 - sa->order2 + 1);
  const double a1 = sa->knots1[sa->order1 - 1], b1 = sa->knots1[sa->vertex_count1];
  const double a2 = sa->knots2[sa->order2 - 1], b2 = sa->knots2[sa->vertex_count2];
  const double h1 = (b1 - a1) / (m1 + 1);
  const double h2 = (b2 - a2) / (m2 + 1);
  const double low[2] = {sb->knots1[sb->order1 - 1], sb->knots2[sb->order2 - 1]};
  const double high[2] = {sb->knots1[sb->vertex_count1], sb->knots2[sb->vertex_count2]};
  double guess[2] = {0.5 * (low[0] + high[0]), 0.5 * (low[1] + high[1])};
  std::unique_ptr<double[]> pos(new double[2 * dim]);
  double* pa = pos.get();
  double* pb = pos.get() + dim;
  PointHolder probe(create_point(pa, dim, 0), destroy_point);
  if (!probe) {
    *status = kErrMemory;
    return;
  }
  for (int i = 1; i <= m1; ++i) {
    for (int j = 1; j <= m2; ++j) {
      const double uv[2] = {a1 + i * h1, a2 + j * h2};
      int l1 = 0, l2 = 0, st = 0;
      s1424(sa, 0, 0, uv, &l1, &l2, pa, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      double found[2] = {guess[0], guess[1]};
      st = 0;
      s1773(probe.get(), sb, aepsge, low, high, guess, found, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      l1 = l2 = 0;
      s1424(sb, 0, 0, found, &l1, &l2, pb, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      if (vec_dist(pa, pb, dim) > aepsge) return;
      guess[0] = found[0];
      guess[1] = found[1];
    }
  }
  *status = 1;
}

void sh1762_s9con(geom_object* object1, geom_object* object2, double aepsge,
                  isect_data** data, edge_table* tables[2], int* status) {
  geom_object* A = object1;
  geom_object* B = object2;
  *status = 0;
  // A one-dimensional point against anything: nothing to connect, subdivide.
  if ((A->kind == kPointObject && A->point->dim == 1) || (B->kind == kPointObject && B->point->dim == 1)) return;

  isect_point** P = nullptr;
  std::unique_ptr<isect_point*, decltype(&std::free)> hold(nullptr, &std::free);
  auto fail = [&](int code) {
    *status = code;
    error_report("sh1762_s9con", code, 0);
  };

  int n = 0;
  for (int t = 0; t < 2; ++t)
    if (tables[t]) n += tables[t]->point_count;
  if (n > 0) {
    int st = 0;
    // A point on edges of both objects is listed once: n becomes the number of
    // distinct points.
    sh6edgpoint(tables, &P, &n, &st);
    hold.reset(P);
    if (st < 0) return fail(st);
  }
  const bool two_surfaces = A->kind == kSurfaceObject && B->kind == kSurfaceObject;

  // Flatness tolerance of each object's direction cone.
  auto flatness = [&](geom_object* o, double* tol) {
    if (o->kind == kSurfaceObject) {
      *tol = kSurfaceFlatness;
      return 0;
    }
    spline_curve* c = o->curve;
    int st = 0;
    if (!c->box || !c->box->slot_high[2]) curve_box(c, 2, aepsge, &st);
    if (st < 0) return st;
    const int coords = c->dim < 3 ? c->dim : 3;
    double extent = 0;
    for (int j = 0; j < coords; ++j)
      extent = std::fmax(extent, c->box->slot_high[2][j] - c->box->slot_low[2][j]);
    *tol = extent > 0 ? aepsge / (2.0 * extent) : HUGE_VAL;
    return 0;
  };

  bool flat_pair = false;
  const dir_cone* ca = cone_of(A);
  const dir_cone* cb = cone_of(B);
  if (ca && cb && ca->flag == 0 && cb->flag == 0) {
    double ta = 0, tb = 0;
    int st = flatness(A, &ta);
    if (st >= 0) st = flatness(B, &tb);
    if (st < 0) return fail(st);
    if (ca->angle <= ta && cb->angle <= tb) {
      if (n == 2) {
        flat_pair = true;
      } else if (!two_surfaces) {
        if (n < 2) {
          *status = 2;
          return;
        }
        // Nearly straight or flat objects: the edge points lie on one straight piece,
        // joined in their order along a curve of the pair.
        const int index = A->kind == kCurveObject ? 0 : A->kind;
        std::stable_sort(P, P + n, [index](const isect_point* p, const isect_point* q) {
          return p->params[index] < q->params[index];
        });
        for (int i = 0; i < n; ++i) {
          st = 0;
          sh6tomain(P[i], &st);
          if (st < 0) return fail(st);
        }
        for (int i = 1; i < n; ++i) {
          isect_point* p = P[i - 1];
          isect_point* q = P[i];
          st = 0;
          sh6idcon(data, &p, &q, &st);
          if (st < 0) return fail(st);
        }
        *status = 1;
        return;
      }
    }
  }

  // Two surfaces: closed chains of edge points on coinciding surfaces, or an open chain
  // of all points along common edges.
  bool on_common_edges = false;
  if (two_surfaces && n >= 2) {
    int result = 0;
    for (int pos = 0; pos < n;) {
      int len = 0, code = 0;
      order_point_chain(P + pos, n - pos, &len, &code);
      if (len < 1) len = 1;
      if (code == 1) {
        int r = 0;
        surface_coincidence_test(A, B, aepsge, len, P + pos, &r);
        if (r < 0) return fail(r);
        result = std::max(result, r);
      } else if (pos == 0 && len == n) {
        on_common_edges = true;
        for (int i = 1; i < n && on_common_edges; ++i) {
          int common = 0;
          sh6comedg(A, B, P[i - 1], P[i], &common);
          if (common < 0) return fail(common);
          on_common_edges = common == 3;
        }
      }
      pos += len;
    }
    *status = result;
  }

  if (n < 2 || (two_surfaces && on_common_edges)) {
    int r = 0;
    special_case_dispatch(A, B, aepsge, n, P, &r);
    if (r < 0) return fail(r);
    *status = r;
    return;
  }
  if (two_surfaces) return;

  if (n == 2) {
    int r = 1;
    if (!flat_pair) {
      r = 0;
      coincident_segment_test(A, B, aepsge, 2, P, &r);
      if (r < 0) return fail(r);
    }
    *status = r;
    if (r != 1) return;
    isect_point* p0 = P[0];
    isect_point* p1 = P[1];
    int st = 0;
    sh6tomain(p0, &st);
    if (st >= 0) sh6tomain(p1, &st);
    if (st < 0) return fail(st);
    st = 0;
    sh6idcon(data, &p0, &p1, &st);
    if (st < 0) return fail(st);
    // Side markers: the stretch runs between the two points on every curve of the pair;
    // a point at the end of a curve's interval has nothing beyond it.
    int m0[4], m1[4];
    sh6gettop(p0, -1, &m0[0], &m0[1], &m0[2], &m0[3], &st);
    if (st >= 0) sh6gettop(p1, -1, &m1[0], &m1[1], &m1[2], &m1[3], &st);
    if (st < 0) return fail(st);
    for (int which = 0; which < 2; ++which) {
      const geom_object* o = which == 0 ? A : B;
      if (o->kind != kCurveObject) continue;
      const int index = which == 0 ? 0 : A->kind;
      const int base = which == 0 ? 0 : 2;
      const bool first_lower = p0->params[index] < p1->params[index];
      int* lower = first_lower ? m0 : m1;
      int* upper = first_lower ? m1 : m0;
      const isect_point* lp = first_lower ? p0 : p1;
      const isect_point* up = first_lower ? p1 : p0;
      lower[base + 1] = 3;
      if (lower[base] != 1 && lower[base] != 2 && dequal(lp->params[index], curve_start(o->curve)))
        lower[base] = 4;
      upper[base] = 3;
      if (upper[base + 1] != 1 && upper[base + 1] != 2 &&
          dequal(up->params[index], curve_end(o->curve)))
        upper[base + 1] = 4;
    }
    int s0 = -1, s1 = -1;
    st = 0;
    sh6getlist(p0, p1, &s0, &s1, &st);
    if (st != 0) return fail(-1);
    sh6settop(p0, -1, m0[0], m0[1], m0[2], m0[3], &st);
    if (st >= 0) sh6settop(p1, -1, m1[0], m1[1], m1[2], m1[3], &st);
    if (st < 0) return fail(st);
    // A third point of the sub-problem inside both domains and between the two on every
    // curve lies on the stretch.
    if (*data && (*data)->point_count == 3) {
      isect_point* q = nullptr;
      for (int i = 0; i < 3 && !q; ++i)
        if ((*data)->points[i] != p0 && (*data)->points[i] != p1) q = (*data)->points[i];
      int cls = 0;
      edge_class(A, B, q, &cls);
      if (cls < 0) return fail(cls);
      bool between = cls == 1;
      for (int which = 0; which < 2 && between; ++which) {
        const geom_object* o = which == 0 ? A : B;
        if (o->kind != kCurveObject) continue;
        const int index = which == 0 ? 0 : A->kind;
        const double lo = std::fmin(p0->params[index], p1->params[index]);
        const double hi = std::fmax(p0->params[index], p1->params[index]);
        between = lo < q->params[index] && q->params[index] < hi;
      }
      if (between) {
        st = 0;
        sh6tomain(q, &st);
        if (st >= 0) sh6insertpt(p0, p1, q, &st);
        if (st < 0) return fail(st);
      }
    }
    return;
  }

  // More than two points: settled when they already form one chain, or when a path of
  // connections joins the two ends of a curve of the pair.
  int len = 0, code = 0;
  order_point_chain(P, n, &len, &code);
  if (len == n) {
    *status = 1;
    return;
  }
  auto reset_marks = [&]() {
    if (!*data) return;
    for (int i = 0; i < (*data)->point_count; ++i) (*data)->points[i]->marker = 0;
  };
  for (int which = 0; which < 2 && *status != 1; ++which) {
    const geom_object* o = which == 0 ? A : B;
    const edge_table* t = tables[which];
    if (o->kind != kCurveObject || !t || t->edge_count < 2) continue;
    for (const edge_node* s = t->heads[0]; s && *status != 1; s = s->next)
      for (const edge_node* e = t->heads[1]; e && *status != 1; e = e->next) {
        const int found = reaches_point(nullptr, s->point, e->point);
        reset_marks();
        if (found) *status = 1;
      }
  }
}
