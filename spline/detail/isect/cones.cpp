// Direction cones of control polygons and nets, and the simple-case tests built on
// them.

#include "spline/detail/isect/cones.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kWideCone = 0.75;

double unit_angle(const double* a, const double* b, int dim) {
  double c = vec_dot(a, b, dim);
  if (c > 1.0) c = 1.0;
  if (c < -1.0) c = -1.0;
  return std::acos(c);
}

// Widens the cone (axis, angle) to hold the unit direction d.  The axis turns on the
// sphere towards d by half the excess, so that the new cone holds the old one and d.
// Returns false when the directions fill a half-space or more (no cone).
bool widen(double* axis, double* angle, const double* d, int dim) {
  const double a = unit_angle(axis, d, dim);
  if (a + *angle >= kPi) return false;
  if (a <= *angle) return true;
  const double s = std::sin(a);
  const double h = 0.5 * (a - *angle);
  const double f1 = std::sin(a - h) / s;
  const double f2 = std::sin(h) / s;
  for (int i = 0; i < dim; ++i) axis[i] = axis[i] * f1 + d[i] * f2;
  int nonzero = 0;
  vec_normalize(axis, dim, axis, &nonzero);
  if (!nonzero) return false;
  *angle = 0.5 * (a + *angle);
  return true;
}

// Cross product with the indices taken cyclically (the usual one in dimension 3).
void cyclic_cross(const double* a, const double* b, int dim, double* out) {
  for (int i = 0; i < dim; ++i) {
    const int p = (i + 1) % dim, q = (i + 2) % dim;
    out[i] = a[p] * b[q] - a[q] * b[p];
  }
}

double* copy_vertices(const double* v, long count) {
  auto* out = static_cast<double*>(std::malloc(sizeof(double) * (count > 0 ? count : 1)));
  if (out && count > 0) std::memcpy(out, v, sizeof(double) * count);
  return out;
}

// The four corner normals of quad (i, j) of a net; a corner counts when both edges
// are longer than aepsge and their lines meet at an angle above min_angle.  Returns the
// mask of counted corners; the normals of counted corners are unit vectors.
int quad_normals(const double* net, int n1, int dim, int i, int j, double aepsge,
                 double min_angle, double* normals /* 4 * dim */, double* edges /* 4 * dim */) {
  const double* p00 = net + (static_cast<long>(j) * n1 + i) * dim;
  const double* p10 = p00 + dim;
  const double* p01 = net + (static_cast<long>(j + 1) * n1 + i) * dim;
  const double* p11 = p01 + dim;
  double* e0 = edges;
  double* e1 = edges + dim;
  double* e2 = edges + 2 * dim;
  double* e3 = edges + 3 * dim;
  vec_diff(p10, p00, dim, e1);
  vec_diff(p11, p10, dim, e2);
  vec_diff(p01, p11, dim, e3);
  vec_diff(p00, p01, dim, e0);
  int f = 0;
  const double len[4] = {vec_length(e0, dim, &f), vec_length(e1, dim, &f),
                         vec_length(e2, dim, &f), vec_length(e3, dim, &f)};
  // Corner c lies between edges c and c + 1 (mod 4): e0 x e1, e1 x e2, e2 x e3, e3 x e0.
  int mask = 0;
  for (int c = 0; c < 4; ++c) {
    const double* a = edges + c * dim;
    const double* b = edges + ((c + 1) % 4) * dim;
    if (len[c] > aepsge && len[(c + 1) % 4] > aepsge && vec_angle(a, b, dim) > min_angle) {
      double* n = normals + c * dim;
      cyclic_cross(a, b, dim, n);
      int nonzero = 0;
      vec_normalize(n, dim, n, &nonzero);
      if (nonzero) mask |= 1 << c;
    }
  }
  return mask;
}

// Drops a partly built cone after a failure.
template <typename Record>
void drop_cone(Record* r) {
  destroy_dir_cone(r->cone);
  r->cone = nullptr;
}

// Largest projected angle from axis a of the directions that point to the side given
// by w (sign +1: w.d > 0; -1: w.d < 0), measured in the plane of a and w.
void widen_projected(const double* a, const double* w, const double* d, int dim, int sign,
                     double* e) {
  const double wd = vec_dot(w, d, dim);
  if (!(sign > 0 ? wd > 0.0 : wd < 0.0)) return;
  const double ad = vec_dot(a, d, dim);
  const double r = std::sqrt(ad * ad + wd * wd);
  if (r == 0.0) return;
  double c = ad / r;
  if (c > 1.0) c = 1.0;
  if (c < -1.0) c = -1.0;
  const double ang = std::acos(c);
  if (ang > *e) *e = ang;
}

// Unit vector of b - (a.b) a; false when zero.
bool perpendicular_towards(const double* a, const double* b, int dim, double* w) {
  const double ab = vec_dot(a, b, dim);
  for (int i = 0; i < dim; ++i) w[i] = b[i] - ab * a[i];
  int nonzero = 0;
  vec_normalize(w, dim, w, &nonzero);
  return nonzero != 0;
}

// Largest projected angle of a curve's segment directions (short segments stand for
// the axis).
double curve_spread(const spline_curve* curve, const double* a, const double* w, int sign,
                    double aepsge, double* d) {
  const int dim = curve->dim;
  const double* poly = curve->cone->polygon;
  double e = 0.0;
  for (int i = 0; i + 1 < curve->vertex_count; ++i) {
    vec_diff(poly + (i + 1) * dim, poly + i * dim, dim, d);
    int nonzero = 0;
    const double len = vec_normalize(d, dim, d, &nonzero);
    if (len <= aepsge)
      for (int m = 0; m < dim; ++m) d[m] = a[m];
    widen_projected(a, w, d, dim, sign, &e);
  }
  return e;
}

// The same for a surface's corner normals (corners at 0.01 or below take the axis).
double surface_spread(const spline_surface* surface, const double* a, const double* w, int sign,
                      double aepsge, double* work /* 8 * dim */) {
  const int dim = surface->dim;
  const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  double* normals = work;
  double* edges = work + 4 * dim;
  double e = 0.0;
  for (int j = 0; j + 1 < n2; ++j)
    for (int i = 0; i + 1 < n1; ++i) {
      const int mask =
          quad_normals(surface->cone->polygon, n1, dim, i, j, aepsge, 0.01, normals, edges);
      for (int c = 0; c < 4; ++c) {
        const double* n = (mask & (1 << c)) ? normals + c * dim : surface->cone->axis;
        widen_projected(a, w, n, dim, sign, &e);
      }
    }
  return e;
}

}  // namespace

void s1991(spline_curve* curve, double aepsge, int* status) {
  if (curve->cone) return;
  const int dim = curve->dim;
  const int n = curve->vertex_count;
  dir_cone* cone = create_dir_cone(dim);
  if (!cone) {
    *status = kErrMemory;
    error_report("s1991", *status, 0);
    return;
  }
  curve->cone = cone;
  cone->axis[0] = 1.0;
  cone->polygon = copy_vertices(curve->coefs, static_cast<long>(n) * dim);
  std::vector<double> d(dim);
  if (!cone->polygon) {
    drop_cone(curve);
    *status = kErrMemory;
    error_report("s1991", *status, 0);
    return;
  }
  bool first = true;
  for (int i = 0; i + 1 < n; ++i) {
    vec_diff(cone->polygon + (i + 1) * dim, cone->polygon + i * dim, dim, d.data());
    int nonzero = 0;
    const double len = vec_normalize(d.data(), dim, d.data(), &nonzero);
    if (len <= aepsge) continue;
    if (first) {
      for (int m = 0; m < dim; ++m) cone->axis[m] = d[m];
      cone->angle = 0.0;
      first = false;
    } else if (!widen(cone->axis, &cone->angle, d.data(), dim)) {
      cone->flag = 1;
      return;
    }
  }
  if (cone->angle >= kWideCone)
    cone->flag = 3;
  else
    *status = 0;
}

void s1990(spline_surface* surface, double aepsge, int* status) {
  if (surface->cone) return;
  const int dim = surface->dim;
  const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  dir_cone* cone = create_dir_cone(dim);
  if (!cone) {
    *status = kErrMemory;
    error_report("s1990", *status, 0);
    return;
  }
  surface->cone = cone;
  cone->polygon = copy_vertices(surface->coefs, static_cast<long>(n1) * n2 * dim);
  std::vector<double> work(14 * static_cast<size_t>(dim));
  if (!cone->polygon) {
    drop_cone(surface);
    *status = kErrMemory;
    error_report("s1990", *status, 0);
    return;
  }
  *status = 0;
  const double* net = cone->polygon;
  double* normals = work.data();
  double* edges = normals + 4 * dim;
  double* d = edges + 4 * dim;

  // Cones of the four boundary rows and columns: bottom (e1), right (e2), top (e3),
  // left (e0).
  struct EdgeCone {
    std::vector<double> axis;
    double angle = 0.0;
    bool set = false;
  };
  EdgeCone borders[4];
  for (auto& b : borders) b.axis.assign(dim, 0.0);
  auto border_edge = [&](EdgeCone& b, const double* e) {
    int nonzero = 0;
    const double len = vec_normalize(e, dim, d, &nonzero);
    if (len <= aepsge) return;
    if (!b.set) {
      for (int m = 0; m < dim; ++m) b.axis[m] = d[m];
      b.angle = 0.0;
      b.set = true;
      return;
    }
    if (!widen(b.axis.data(), &b.angle, d, dim) || b.angle >= kWideCone) cone->flag = 10;
  };

  bool have_cone = false;
  for (int j = 0; j + 1 < n2; ++j)
    for (int i = 0; i + 1 < n1; ++i) {
      const int mask = quad_normals(net, n1, dim, i, j, aepsge, 0.0001, normals, edges);
      if (cone->flag == 0) {
        if (j == 0) border_edge(borders[0], edges + dim);
        if (cone->flag == 0 && i == n1 - 2) border_edge(borders[1], edges + 2 * dim);
        if (cone->flag == 0 && j == n2 - 2) border_edge(borders[2], edges + 3 * dim);
        if (cone->flag == 0 && i == 0) border_edge(borders[3], edges);
      }
      if (mask == 0) continue;  // no usable corner: skip the quad
      for (int c = 0; c < 4; ++c)
        if (!(mask & (1 << c)))
          for (int m = 0; m < dim; ++m) normals[c * dim + m] = cone->axis[m];
      const int no_cone = i > j ? 2 : 1;
      if (!have_cone) {
        have_cone = true;
        for (int m = 0; m < dim; ++m) {
          double lo = normals[m], hi = normals[m];
          for (int c = 1; c < 4; ++c) {
            lo = std::fmin(lo, normals[c * dim + m]);
            hi = std::fmax(hi, normals[c * dim + m]);
          }
          cone->axis[m] = 0.5 * (lo + hi);
        }
        int nonzero = 0;
        vec_normalize(cone->axis, dim, cone->axis, &nonzero);
        if (!nonzero) {
          cone->flag = no_cone;
          cone->angle = kPi;
          return;
        }
        cone->angle = 0.0;
        for (int c = 0; c < 4; ++c) {
          int f = 0;
          if (vec_length(normals + c * dim, dim, &f) < aepsge) continue;
          cone->angle = std::fmax(cone->angle, unit_angle(cone->axis, normals + c * dim, dim));
        }
      } else {
        for (int c = 0; c < 4; ++c) {
          const double* n = normals + c * dim;
          int f = 0;
          if (vec_length(n, dim, &f) < aepsge) continue;
          if (!widen(cone->axis, &cone->angle, n, dim)) {
            cone->flag = no_cone;
            return;
          }
        }
      }
      if (cone->angle >= kWideCone) cone->flag = no_cone * 10;
    }
  if (have_cone) return;

  // No usable corner anywhere.
  if (dim == 2) {
    // A planar net without a single corner has no normal to offer: no cone.
    cone->flag = 1;
    return;
  }
  const long count = static_cast<long>(n1) * n2;
  long first = -1;
  for (long q = 1; q < count && first < 0; ++q)
    if (vec_dist(net + q * dim, net, dim) > aepsge) first = q;
  bool spread = false;
  if (first > 0) {
    std::vector<double> a(dim), b(dim);
    vec_diff(net + first * dim, net, dim, a.data());
    for (long q = first + 1; q < count && !spread; ++q) {
      vec_diff(net + q * dim, net, dim, b.data());
      int f = 0;
      if (vec_length(b.data(), dim, &f) > aepsge && vec_angle(a.data(), b.data(), dim) > 0.0001)
        spread = true;
    }
  }
  if (!spread) {
    cone->flag = 0;
    cone->angle = 0.0;
    for (int m = 0; m < dim; ++m) cone->axis[m] = m == 0 ? 1.0 : 0.0;
    return;
  }
  const double len1 = surface->knots1[n1] - surface->knots1[surface->order1 - 1];
  const double len2 = surface->knots2[n2] - surface->knots2[surface->order2 - 1];
  cone->flag = len2 > len1 ? 2 : 1;
}

void s1796(spline_curve* curve1, spline_curve* curve2, double aepsge, double phi,
           int* status) {
  const int dim = curve1->dim;
  std::vector<double> work(2 * static_cast<size_t>(dim));
  double* w = work.data();
  double* d = w + dim;
  const double* a1 = curve1->cone->axis;
  const double* a2 = curve2->cone->axis;
  const bool flip = phi > kPi / 2;
  if (flip) phi = kPi - phi;
  const int sign = flip ? -1 : 1;
  double e1 = 0.0, e2 = 0.0;
  if (perpendicular_towards(a1, a2, dim, w)) e1 = curve_spread(curve1, a1, w, sign, aepsge, d);
  if (perpendicular_towards(a2, a1, dim, w)) e2 = curve_spread(curve2, a2, w, sign, aepsge, d);
  *status = e1 + e2 <= phi ? 1 : 0;
}

void s1795(spline_surface* surface1, spline_surface* surface2, double aepsge, double phi,
           int* status) {
  const int dim = surface1->dim;
  std::vector<double> work(10 * static_cast<size_t>(dim));
  double* w = work.data();
  const double* a1 = surface1->cone->axis;
  const double* a2 = surface2->cone->axis;
  // Normals meet a surface in either sense: when the axes are more than a right angle
  // apart, the normals that can come parallel to the other surface's reversed normals
  // are those turned away from the other axis, as for two curves.
  const bool flip = phi > kPi / 2;
  if (flip) phi = kPi - phi;
  const int sign = flip ? -1 : 1;
  double e1 = 0.0, e2 = 0.0;
  if (perpendicular_towards(a1, a2, dim, w))
    e1 = surface_spread(surface1, a1, w, sign, aepsge, w + dim);
  if (perpendicular_towards(a2, a1, dim, w))
    e2 = surface_spread(surface2, a2, w, sign, aepsge, w + dim);
  *status = e1 + e2 <= phi ? 1 : 0;
}

void cone_test_surface_curve(spline_surface* surface, spline_curve* curve, double aepsge,
                             double phi, int* status) {
  const int dim = surface->dim;
  std::vector<double> work(10 * static_cast<size_t>(dim));
  double* w = work.data();
  const double* as = surface->cone->axis;
  const double* ac = curve->cone->axis;
  const int sign = phi <= kPi / 2 ? -1 : 1;
  double es = 0.0, ec = 0.0;
  if (perpendicular_towards(as, ac, dim, w)) es = surface_spread(surface, as, w, sign, aepsge, w + dim);
  if (perpendicular_towards(ac, as, dim, w)) ec = curve_spread(curve, ac, w, sign, aepsge, w + dim);
  const double phi1 = phi > kPi / 2 ? kPi - phi : phi;
  *status = es + ec <= kPi / 2 - phi1 ? 1 : 0;
}

void s1741(geom_object* object1, geom_object* object2, double aepsge, int* status) {
  *status = 0;
  auto dim_of = [](const geom_object* o) {
    switch (o->kind) {
      case 0: return o->point->dim;
      case 1: return o->curve->dim;
      case 2: return o->surface->dim;
      default: return -1;
    }
  };
  auto fail = [&](int code) {
    *status = code;
    error_report("s1741", code, 0);
  };
  const int k1 = object1->kind, k2 = object2->kind;
  if (k1 < 0 || k1 > 2 || k2 < 0 || k2 > 2) return;
  if (dim_of(object1) != dim_of(object2)) return fail(kErrDimensionMismatch);
  const int dim = dim_of(object1);
  int st = 0;

  if (k1 == 0 || k2 == 0) {
    if (k1 == 0 && k2 == 0) return;
    const geom_object* other = k1 == 0 ? object2 : object1;
    int simple = 0;
    if (dim == 1) {
      if (other->kind == kCurveObject)
        curve_coefs_monotone(other->curve, aepsge, &simple);
      else
        surface_coefs_monotone(other->surface, aepsge, &simple);
      *status = simple;
      return;
    }
    const dir_cone* cone;
    if (other->kind == kCurveObject) {
      s1991(other->curve, aepsge, &st);
      cone = other->curve->cone;
    } else {
      s1990(other->surface, aepsge, &st);
      cone = other->surface->cone;
    }
    if (st < 0) return fail(st);
    *status = (cone->flag == 0 && cone->angle < kPi / 2) ? 1 : 0;
    return;
  }

  auto build = [&](geom_object* o) -> const dir_cone* {
    int s = 0;
    if (o->kind == kCurveObject) {
      s1991(o->curve, aepsge, &s);
      if (s < 0) {
        st = s;
        return nullptr;
      }
      return o->curve->cone;
    }
    s1990(o->surface, aepsge, &s);
    if (s < 0) {
      st = s;
      return nullptr;
    }
    return o->surface->cone;
  };
  // The curve first when a curve meets a surface.
  geom_object* first = object1;
  geom_object* second = object2;
  if (k1 == 2 && k2 == 1) {
    first = object2;
    second = object1;
  }
  const dir_cone* c1 = build(first);
  if (!c1) return fail(st);
  const dir_cone* c2 = build(second);
  if (!c2) return fail(st);
  if (c1->flag != 0 || c2->flag != 0) return;
  const double phi = unit_angle(c1->axis, c2->axis, dim);
  const double a1 = c1->angle, a2 = c2->angle;

  if (first->kind == kCurveObject && second->kind == kCurveObject) {
    if (phi + a1 + a2 < kPi && a1 + a2 < phi) {
      *status = 1;
      return;
    }
    if (dim == 2) return;
    const double phi1 = std::fmin(phi, kPi - phi);
    if (phi > 0.01 && phi < kPi - 0.01 && 1.3 * phi1 >= a1 && 1.3 * phi1 >= a2) {
      s1796(first->curve, second->curve, aepsge, phi, &st);
      if (st < 0) return fail(st);
      *status = st;
    }
    return;
  }
  if (first->kind == kSurfaceObject && second->kind == kSurfaceObject) {
    bool simple = phi + a1 + a2 < kPi && a1 + a2 < phi;
    if (!simple && phi > 0.01 && phi < kPi - 0.01 && 1.3 * phi >= a1 && 1.3 * phi >= a2) {
      s1795(first->surface, second->surface, aepsge, phi, &st);
      if (st < 0) return fail(st);
      simple = st == 1;
    }
    if (simple) {
      object1->extra = object2;
      *status = 1;
    }
    return;
  }
  // A curve (first) and a surface (second).
  const double ac = a1, as = a2;
  if (ac + phi < kPi / 2 - as || phi - kPi / 2 - ac > as) {
    *status = 1;
    return;
  }
  const double m = std::fmin(phi, std::fabs(kPi - phi));
  if (phi > 0.01 && phi < kPi - 0.01 && m < 0.8 * (kPi / 2 - as) && ac < 0.8 * (kPi / 2 - as)) {
    cone_test_surface_curve(second->surface, first->curve, aepsge, phi, &st);
    if (st < 0) return fail(st);
    *status = st;
  }
}
