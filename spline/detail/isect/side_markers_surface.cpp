// Side markers of intersection points with a surface: a curve through a surface in
// space (on which side of the surface the curve runs before and after the point, or
// that it runs in the surface there, with a help point where such a stretch ends), and
// a point against a planar surface (from the orientation of the parametrisation).
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/detail/isect/coincidence_march.h"
#include "spline/detail/isect/isect_degen.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/surface_pairs.h"
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
  const bool curve_first = object1->kind == kCurveObject;
  geom_object* co = curve_first ? object1 : object2;
  geom_object* so = curve_first ? object2 : object1;
  if (co->kind != kCurveObject || so->kind != kSurfaceObject || co->curve->dim != 3 || so->surface->dim != 3) {
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
  // stretch on that side is known already; otherwise the curve is followed along the
  // surface until it leaves it.
  isect_point* na = nullptr;
  isect_point* nb = nullptr;
  int code = 3;
  main_neighbours(point, &na, &nb, &code);
  const spline_surface* sf = so->surface;
  const double box_lo[2] = {sf->knots1[sf->order1 - 1] + 1e-15, sf->knots2[sf->order2 - 1] + 1e-15};
  const double box_hi[2] = {sf->knots1[sf->vertex_count1] - 1e-15,
                            sf->knots2[sf->vertex_count2] - 1e-15};
  const int si = curve_first ? 1 : 0;  // first surface parameter within a triple
  std::vector<isect_point*> help;
  auto drop_help = [&]() {
    for (isect_point* h : help) destroy_isect_point(h);
  };
  for (int dir : {+1, -1}) {
    const double end = dir > 0 ? ce : cs;
    if (rel_equal(t + r, end + r)) continue;
    const int slot = dir > 0 ? cb + 1 : cb;
    bool known = false;
    for (isect_point* q : {na, nb})
      if (q && q->param_count > ci && (dir > 0 ? q->params[ci] > t : q->params[ci] < t))
        known = true;
    if (known) {
      m[slot] = 3;
      continue;
    }
    double last[3], first_apart[3];
    st = 0;
    sh1784(c, sf, epsge, point->params, curve_first ? 1 : 0, dir, last, first_apart, &st);
    if (st < 0) {
      drop_help();
      *status = st;
      return;
    }
    if (st != 0) continue;
    const double u = last[si], v = last[si + 1];
    if (u < box_lo[0] || u > box_hi[0] || v < box_lo[1] || v > box_hi[1]) continue;
    // The side is that of the first separate curve point against the surface at its
    // foot point: the chord from the last coincident point is tangent to the surface
    // up to second order and cannot tell the side where the surface bends away.
    int left = 0;
    double p1[3];
    s1221(c, 0, first_apart[ci], &left, p1, &st);
    double foot[3], nq[3];
    int l1 = 0, l2 = 0;
    const double uv[2] = {first_apart[si], first_apart[si + 1]};
    if (st >= 0) s1421(sf, 0, uv, &l1, &l2, foot, nq, &st);
    if (st < 0) {
      drop_help();
      *status = st;
      return;
    }
    const double D[3] = {p1[0] - foot[0], p1[1] - foot[1], p1[2] - foot[2]};
    m[slot] = dot3(nq, D) <= 0 ? 1 : 2;
    double moved = 0;
    for (int i = 0; i < 3; ++i) moved += (point->params[i] - last[i]) * (point->params[i] - last[i]);
    if (std::sqrt(moved) > 0.05 * r) {
      isect_point* h = create_isect_point_geom(3, last, 0.0, -1, m[0], m[1], m[2], m[3], 0, 0,
                                               nullptr, nullptr);
      if (!h) {
        drop_help();
        *status = kErrMemory;
        return;
      }
      help.push_back(h);
    }
  }
  sh6settop(point, -1, m[0], m[1], m[2], m[3], &st);
  if (st < 0) {
    drop_help();
    *status = st;
    return;
  }
  for (size_t i = 0; i < help.size(); ++i) {
    isect_point* h = help[i];
    if (is_help_point(h)) sh6settop(h, -1, m[0], m[1], m[2], m[3], &st);
    isect_point* a = point;
    if (st >= 0) sh6idcon(data, &a, &h, &st);
    if (st < 0) {
      // The points not yet handed to the data are still ours.
      for (size_t j = i + 1; j < help.size(); ++j) destroy_isect_point(help[j]);
      *status = st;
      return;
    }
    ++*added;
  }
}

void mark_point_surface_sides(geom_object* object1, geom_object* object2, double epsge,
                              isect_data** /*data*/, isect_point* point, int* added,
                              int* status) {
  *status = 0;
  *added = 0;
  const bool surface_first = object1->kind == kSurfaceObject;
  geom_object* so = surface_first ? object1 : object2;
  if (so->kind != kSurfaceObject || so->surface->dim != 2) {
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
