// Side markers of intersection points with a surface: a curve through a surface in
// space (on which side of the surface the curve runs before and after the point, or
// that it runs in the surface there, with a help point where such a stretch ends), and
// a point against a planar surface (from the orientation of the parametrisation).
#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/isect/isect_degen.h"
#include "spline/isect/isect_graph.h"
#include "spline/isect/isect_marks.h"
#include "spline/isect/subdiv.h"
#include "spline/isect/surface_pairs.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

double dot3(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double norm3(const double* a) { return std::sqrt(dot3(a, a)); }

// Angle between two non-zero vectors of space.
double angle3(const double* a, const double* b) {
  const double c = dot3(a, b) / (norm3(a) * norm3(b));
  return std::acos(std::fmax(-1.0, std::fmin(1.0, c)));
}

}  // namespace

void mark_curve_surface_sides(geom_object* object1, geom_object* object2, double epsge,
                              isect_data** data, isect_point* point, int* added, int* status) {
  *status = 0;
  *added = 0;
  if (is_help_point(point)) return;
  const bool curve_first = object1->kind == 1;
  geom_object* co = curve_first ? object1 : object2;
  geom_object* so = curve_first ? object2 : object1;
  if (co->kind != 1 || so->kind != 2 || co->curve->dim != 3 || so->surface->dim != 3) {
    *status = kErrDimensionMismatch;
    return;
  }
  const spline_curve* c = co->curve;
  const int ci = curve_first ? 0 : 2;  // curve parameter within the point
  const int cb = curve_first ? 0 : 2;  // the curve's marker base
  int m[4];
  int st = 0;
  sh6gettop(point, -1, &m[0], &m[1], &m[2], &m[3], &st);
  if (st < 0) {
    *status = st;
    return;
  }
  double *cblock = nullptr, *cnormal = nullptr, *sblock = nullptr, *snormal = nullptr;
  point_object_geom(co, curve_first ? 1 : 2, point, &cblock, &cnormal, epsge, &st);
  if (st >= 0) point_object_geom(so, curve_first ? 2 : 1, point, &sblock, &snormal, epsge, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  const double* T = cblock + 3;
  const double* N = snormal;
  const double t = point->params[ci];
  const double cs = c->knots[c->order - 1];
  const double ce = c->knots[c->vertex_count];
  const double r = ce - cs;

  if (N && norm3(T) > 0 && norm3(N) > 0 && std::fabs(M_PI / 2 - angle3(N, T)) >= 0.05) {
    // The curve crosses the surface.
    if (dot3(N, T) <= 0) {
      m[cb] = 2, m[cb + 1] = 1;
    } else {
      m[cb] = 1, m[cb + 1] = 2;
    }
    sh6settop(point, -1, m[0], m[1], m[2], m[3], &st);
    if (st < 0) *status = st;
    return;
  }

  // The curve touches the surface or runs in it: a neighbour on a side means the
  // stretch on that side is known already.
  isect_point* na = nullptr;
  isect_point* nb = nullptr;
  int code = 3;
  main_neighbours(point, &na, &nb, &code);
  bool neighbour_right = false, neighbour_left = false;
  for (isect_point* q : {na, nb}) {
    if (!q || q->param_count <= ci) continue;
    if (q->params[ci] > t) neighbour_right = true;
    if (q->params[ci] < t) neighbour_left = true;
  }
  const bool right_open = !rel_equal(t + r, ce + r);
  const bool left_open = !rel_equal(t + r, cs + r);
  if (right_open && neighbour_right) m[cb + 1] = 3;
  if (left_open && neighbour_left) m[cb] = 3;
  if ((right_open && !neighbour_right) || (left_open && !neighbour_left)) {
    // Following the stretch needs the march of a curve along a surface, which is not
    // part of this build.
    *status = kSubdivNotBuilt;
    return;
  }
  sh6settop(point, -1, m[0], m[1], m[2], m[3], &st);
  if (st < 0) *status = st;
}

void mark_point_surface_sides(geom_object* object1, geom_object* object2, double epsge,
                              isect_data** /*data*/, isect_point* point, int* added,
                              int* status) {
  *status = 0;
  *added = 0;
  const bool surface_first = object1->kind == 2;
  geom_object* so = surface_first ? object1 : object2;
  if (so->kind != 2 || so->surface->dim != 2) {
    *status = kErrDimensionMismatch;
    return;
  }
  const int sb = surface_first ? 0 : 2;  // the surface's marker base
  const int pb = 2 - sb;
  int m[4];
  int st = 0;
  sh6gettop(point, -1, &m[0], &m[1], &m[2], &m[3], &st);
  if (st < 0) {
    *status = st;
    return;
  }
  double *block = nullptr, *normal = nullptr;
  point_object_geom(so, surface_first ? 1 : 2, point, &block, &normal, epsge, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  const double* su = block + 2;
  const double* sv = block + 4;
  const double det = su[0] * sv[1] - su[1] * sv[0];
  if (std::fabs(det) > 0.01) {
    m[sb] = m[sb + 1] = 0;
    if (det > 0) {
      m[pb] = 1, m[pb + 1] = 2;
    } else {
      m[pb] = 2, m[pb + 1] = 1;
    }
  } else {
    const dir_cone* cone = so->surface->cone;
    if (!cone || !cone->axis || (cone->axis[0] == 0 && cone->axis[1] == 0)) return;
    const double d = cone->axis[0] - cone->axis[1];
    m[sb] = m[sb + 1] = 0;
    if (m[pb] == 0 && m[pb + 1] == 0) {
      if (d > 0) {
        m[pb] = 1, m[pb + 1] = 2;
      } else {
        m[pb] = 2, m[pb + 1] = 1;
      }
    } else if (!(m[pb] == m[pb + 1] && (m[pb] == 1 || m[pb] == 2))) {
      if (d > 0)
        m[pb] = 1;
      else
        m[pb + 1] = 1;
    }
  }
  sh6settop(point, -1, m[0], m[1], m[2], m[3], &st);
  if (st < 0) *status = st;
}
