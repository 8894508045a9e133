#include "spline/detail/isect/isect_shapes.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/detail/isect/isect_services.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kAxisAngleSurfaces = 0.5235987755982988;  // pi/6
constexpr double kAxisAngleCurves = 0.7853981633974483;    // pi/4

// Full angle in [0, pi] between two vectors (0 when one vanishes).
double full_angle(const double* a, const double* b, int d) {
  int fa = 0, fb = 0;
  const double la = vec_length(a, d, &fa);
  const double lb = vec_length(b, d, &fb);
  if (!fa || !fb) return 0.0;
  double c = vec_dot(a, b, d) / (la * lb);
  c = c > 1 ? 1 : (c < -1 ? -1 : c);
  return std::acos(c);
}

void solve_circle(const double* a, const double* b, const double* c, double* n,
                  const double* u, const double* w, double* centre, double* normal,
                  double* radius, int* status) {
  int flag = 0;
  vec_normalize(n, 3, n, &flag);
  double m[9] = {n[0], n[1], n[2], u[0], u[1], u[2], w[0], w[1], w[2]};
  double ab[3], bc[3];
  for (int i = 0; i < 3; ++i) {
    ab[i] = 0.5 * (a[i] + b[i]);
    bc[i] = 0.5 * (b[i] + c[i]);
  }
  double x[3] = {vec_dot(n, b, 3), vec_dot(u, ab, 3), vec_dot(w, bc, 3)};
  int piv[3];
  int st = 0;
  s6lufacp(m, piv, 3, &st);
  if (st != 0) {
    *status = st;
    return;
  }
  s6lusolp(m, x, piv, 3, &st);
  if (st != 0) {
    *status = st;
    return;
  }
  for (int i = 0; i < 3; ++i) {
    centre[i] = x[i];
    normal[i] = n[i];
  }
  *radius = vec_dist(x, b, 3);
  *status = 0;
}

void circle_parts(const double* a, const double* b, const double* c, double* u, double* w,
                  double* n) {
  vec_diff(a, b, 3, u);
  vec_diff(c, b, 3, w);
  vec_cross(u, w, n);
}

// Parameter range of a surface: start and end in each direction.
void surface_range(const spline_surface* s, double lo[2], double hi[2]) {
  lo[0] = s->knots1[s->order1 - 1];
  hi[0] = s->knots1[s->vertex_count1];
  lo[1] = s->knots2[s->order2 - 1];
  hi[1] = s->knots2[s->vertex_count2];
}

int surface_position(const spline_surface* s, const double* uv, double* pos) {
  int l1 = 0, l2 = 0, st = 0;
  double normal[3];
  isect_services().s1421(s, 0, uv, &l1, &l2, pos, normal, &st);
  return st < 0 ? st : 0;
}

int curve_position(const spline_curve* c, double t, double* pos) {
  int left = 0, st = 0;
  isect_services().s1221(c, 0, t, &left, pos, &st);
  return st < 0 ? st : 0;
}

// The midpoint between q and its projection onto the surface (box: its range, start:
// its middle).  Returns a status (negative on error).
int mid_with_projection(const double* q, spline_surface* s, double tol, double* m) {
  spline_point* pt = create_point(const_cast<double*>(q), 3, 1);
  if (!pt) return kErrMemory;
  double lo[2], hi[2];
  surface_range(s, lo, hi);
  const double start[2] = {0.5 * (lo[0] + hi[0]), 0.5 * (lo[1] + hi[1])};
  double res[2] = {start[0], start[1]};
  int st = 0;
  isect_services().s1773(pt, s, tol, lo, hi, start, res, &st);
  destroy_point(pt);
  if (st < 0) return st;
  double proj[3];
  st = surface_position(s, res, proj);
  if (st < 0) return st;
  for (int i = 0; i < 3; ++i) m[i] = 0.5 * (q[i] + proj[i]);
  return 0;
}

bool cone_usable(const dir_cone* cone) { return cone && cone->flag == 0 && cone->axis; }

}  // namespace

void circle_through_points_checked(const double* a, const double* b, const double* c,
                                   double tolerance, double* centre, double* normal,
                                   double* radius, int* status) {
  double u[3], w[3], n[3];
  circle_parts(a, b, c, u, w, n);
  int f = 0;
  if (vec_length(u, 3, &f) < tolerance || vec_length(n, 3, &f) < tolerance ||
      vec_length(w, 3, &f) < tolerance) {
    *status = 1;
    return;
  }
  solve_circle(a, b, c, n, u, w, centre, normal, radius, status);
}

void circle_through_points(const double* a, const double* b, const double* c,
                           double tolerance, double* centre, double* normal, double* radius,
                           int* status) {
  double u[3], w[3], n[3];
  circle_parts(a, b, c, u, w, n);
  int f = 0;
  if (vec_length(n, 3, &f) < tolerance) {
    *status = 1;
    return;
  }
  solve_circle(a, b, c, n, u, w, centre, normal, radius, status);
}

void classify_surface_pair(spline_surface* s1, spline_surface* s2, double tolerance,
                           double* p, double* v, double* a, double* b, int* code) {
  *code = kShapeNone;
  if (!s1 || !s2 || s1->dim != 3 || s2->dim != 3) return;
  // 1. Preconditions.
  if (!cone_usable(s1->cone) || !cone_usable(s2->cone)) return;
  if (full_angle(s1->cone->axis, s2->cone->axis, 3) > kAxisAngleSurfaces) return;
  for (const spline_surface* s : {s1, s2})
    if (s->vertex_count1 > 2 * s->order1 || s->vertex_count2 > 2 * s->order2) return;
  if (!s1->box || !s1->box->slot_low[2] || !s1->box->slot_high[2]) return;
  double axis[3];
  for (int i = 0; i < 3; ++i) axis[i] = 0.5 * (s1->cone->axis[i] + s2->cone->axis[i]);
  int flag = 0;
  vec_normalize(axis, 3, axis, &flag);
  if (!flag) return;

  // 2. Size bound and the relative position of the two middles.
  double extent = 0;
  for (int i = 0; i < 3; ++i)
    extent = std::fmax(extent, s1->box->slot_high[2][i] - s1->box->slot_low[2][i]);
  const double size = 10.0 * extent;
  double lo1[2], hi1[2], lo2[2], hi2[2];
  surface_range(s1, lo1, hi1);
  surface_range(s2, lo2, hi2);
  const double mid1[2] = {0.5 * (lo1[0] + hi1[0]), 0.5 * (lo1[1] + hi1[1])};
  const double mid2[2] = {0.5 * (lo2[0] + hi2[0]), 0.5 * (lo2[1] + hi2[1])};
  double p1[3], p2[3], diff[3];
  int st = surface_position(s1, mid1, p1);
  if (st >= 0) st = surface_position(s2, mid2, p2);
  if (st < 0) {
    *code = st;
    return;
  }
  vec_diff(p1, p2, 3, diff);
  vec_length(diff, 3, &flag);
  if (!flag) return;
  const double angle = full_angle(diff, axis, 3);
  const bool stacked = angle < kPi / 6 || angle > 5 * kPi / 6;
  const bool side_by_side = angle >= 2 * kPi / 6 && angle <= 4 * kPi / 6;

  if (stacked) {
    // 3. Five samples: the middle and the middles of the four edges.
    const double uv[5][2] = {{mid1[0], mid1[1]},
                             {mid1[0], lo1[1]},
                             {hi1[0], mid1[1]},
                             {mid1[0], hi1[1]},
                             {lo1[0], mid1[1]}};
    double m[5][3];
    for (int k = 0; k < 5; ++k) {
      double q[3];
      st = surface_position(s1, uv[k], q);
      if (st >= 0) st = mid_with_projection(q, s2, tolerance, m[k]);
      if (st < 0) {
        *code = st;
        return;
      }
    }
    double c1[3], n1[3], r1 = 0, c2[3], n2[3], r2 = 0;
    int st1 = 0, st2 = 0;
    circle_through_points(m[1], m[0], m[3], tolerance, c1, n1, &r1, &st1);
    circle_through_points(m[4], m[0], m[2], tolerance, c2, n2, &r2, &st2);
    if (st1 < 0 || st2 < 0) {
      *code = st1 < 0 ? st1 : st2;
      return;
    }
    const bool degenerate = st1 != 0 || st2 != 0;
    if (degenerate || (r1 > size && r2 > size)) {
      double e2[3], e3[3];
      vec_diff(m[2], m[0], 3, e2);
      vec_diff(m[3], m[0], 3, e3);
      for (int i = 0; i < 3; ++i) p[i] = m[0][i];
      vec_cross(e2, e3, v);
      *code = kShapePlane;
      return;
    }
    const bool first_smaller = r1 <= r2;
    const double small = first_smaller ? r1 : r2;
    const double large = first_smaller ? r2 : r1;
    const double* cs = first_smaller ? c1 : c2;
    const double* ns = first_smaller ? n1 : n2;
    const double* cl = first_smaller ? c2 : c1;
    const double* nl = first_smaller ? n2 : n1;
    if (large > size) {
      *b = small;
      for (int i = 0; i < 3; ++i) {
        p[i] = cs[i];
        v[i] = ns[i];
      }
      *code = kShapeCylinder;
    } else if (small / large > 0.9) {
      *b = 0.5 * (r1 + r2);
      for (int i = 0; i < 3; ++i) p[i] = 0.5 * (c1[i] + c2[i]);
      *code = kShapeSphere;
    } else if (large / small > 25) {
      *code = kShapeNone;
    } else {
      *b = small;
      *a = large - small;
      for (int i = 0; i < 3; ++i) {
        p[i] = cl[i];
        v[i] = nl[i];
      }
      *code = kShapeTorus;
    }
    return;
  }
  if (!side_by_side) return;

  // 4. Side by side: the edge of surface 1 nearest surface 2.
  const double corner_uv[4][2] = {
      {lo1[0], lo1[1]}, {hi1[0], lo1[1]}, {hi1[0], hi1[1]}, {lo1[0], hi1[1]}};
  double corner[4][3], mid_corner[4][3], dist[4];
  for (int k = 0; k < 4; ++k) {
    st = surface_position(s1, corner_uv[k], corner[k]);
    if (st >= 0) st = mid_with_projection(corner[k], s2, tolerance, mid_corner[k]);
    if (st < 0) {
      *code = st;
      return;
    }
    // The projection lies as far beyond the midpoint as the corner lies before it.
    dist[k] = 2.0 * vec_dist(corner[k], mid_corner[k], 3);
  }
  const int pairs[4][2] = {{0, 3}, {1, 2}, {0, 1}, {2, 3}};
  int e0 = -1, e1 = -1;
  for (const auto& pr : pairs) {
    bool nearest = true;
    for (int k = 0; k < 4 && nearest; ++k) {
      if (k == pr[0] || k == pr[1]) continue;
      nearest = dist[pr[0]] < dist[k] && dist[pr[1]] < dist[k];
    }
    if (nearest) {
      e0 = pr[0];
      e1 = pr[1];
      break;
    }
  }
  if (e0 < 0) return;
  const double edge_mid[2] = {0.5 * (corner_uv[e0][0] + corner_uv[e1][0]),
                              0.5 * (corner_uv[e0][1] + corner_uv[e1][1])};
  double q[3], middle[3];
  st = surface_position(s1, edge_mid, q);
  if (st >= 0) st = mid_with_projection(q, s2, tolerance, middle);
  if (st < 0) {
    *code = st;
    return;
  }
  double radius = 0;
  int cst = 0;
  circle_through_points(mid_corner[e0], middle, mid_corner[e1], tolerance, p, v, &radius,
                        &cst);
  if (cst < 0) {
    *code = cst;
    return;
  }
  if (cst == 0 && radius <= size) {
    *b = radius;
    *code = kShapeCylinder;
    return;
  }
  double d0[3], d1[3];
  vec_diff(mid_corner[e0], middle, 3, d0);
  vec_diff(mid_corner[e1], middle, 3, d1);
  for (int i = 0; i < 3; ++i) p[i] = middle[i];
  vec_cross(d0, d1, v);
  *code = kShapePlane;
}

void elementary_overlap_test(spline_surface* s1, spline_surface* s2, double tolerance,
                             int* result) {
  double p[3] = {0, 0, 0}, v[3] = {0, 0, 0}, a = 0, b = 0;
  int code = 0;
  classify_surface_pair(s1, s2, tolerance, p, v, &a, &b, &code);
  if (code < 0) {
    *result = code;
    return;
  }
  if (code == kShapeNone) {
    *result = 1;
    return;
  }
  spline_surface* f[2] = {nullptr, nullptr};
  double value_tol = tolerance;
  int st = 0;
  auto cleanup = [&]() {
    destroy_surface(f[0]);
    destroy_surface(f[1]);
  };
  spline_surface* src[2] = {s1, s2};
  for (int k = 0; k < 2 && st >= 0; ++k) {
    switch (code) {
      case kShapePlane:
        isect_services().s1329(src[k], p, v, 3, &f[k], &st);
        break;
      case kShapeSphere:
      case kShapeCylinder: {
        double* matrix = nullptr;
        if (code == kShapeSphere) isect_services().s1321(p, b, 3, 1, &matrix, &st);
        else isect_services().s1322(p, v, b, 3, 1, &matrix, &st);
        if (st >= 0) isect_services().s1320(src[k], matrix, 1, 1, &f[k], &st);
        free(matrix);
        value_tol = 2.0 * b * tolerance;
        break;
      }
      case kShapeTorus: {
        const double coefs[8] = {p[0], p[1], p[2], v[0], v[1], v[2], a, b};
        isect_services().s1378(src[k], coefs, 1001, 3, &f[k], &st);
        value_tol = 8.0 * tolerance * b * a * a;
        break;
      }
      default:
        break;
    }
  }
  for (int k = 0; k < 2 && st >= 0; ++k) isect_services().surface_box(f[k], 2, value_tol, &st);
  if (st < 0) {
    cleanup();
    *result = st;
    return;
  }
  const double lo1 = f[0]->box->slot_low[2][0], hi1 = f[0]->box->slot_high[2][0];
  const double lo2 = f[1]->box->slot_low[2][0], hi2 = f[1]->box->slot_high[2][0];
  *result = (lo1 <= hi2 && hi1 >= lo2) ? 1 : 0;
  cleanup();
}

void curves_common_circle(spline_curve* c1, spline_curve* c2, double tolerance,
                          double* centre, double* radius, int* result) {
  *result = 0;
  if (!c1 || !c2 || c1->dim != 3 || c2->dim != 3) return;
  if (!cone_usable(c1->cone) || !cone_usable(c2->cone)) return;
  if (c1->vertex_count > 4 * c1->order || c2->vertex_count > 4 * c2->order) return;
  if (full_angle(c1->cone->axis, c2->cone->axis, 3) > kAxisAngleCurves) return;
  const double s1 = c1->knots[c1->order - 1], e1 = c1->knots[c1->vertex_count];
  const double s2 = c2->knots[c2->order - 1], e2 = c2->knots[c2->vertex_count];
  const double samples[3] = {s1, 0.5 * (s1 + e1), e1};
  double m[3][3];
  for (int k = 0; k < 3; ++k) {
    double q[3];
    int st = curve_position(c1, samples[k], q);
    if (st < 0) {
      *result = st;
      return;
    }
    spline_point* pt = create_point(q, 3, 1);
    if (!pt) {
      *result = kErrMemory;
      return;
    }
    double t = 0.5 * (s2 + e2);
    st = 0;
    isect_services().s1771(pt, c2, tolerance, s2, e2, 0.5 * (s2 + e2), &t, &st);
    destroy_point(pt);
    if (st < 0) {
      *result = st;
      return;
    }
    double proj[3];
    st = curve_position(c2, t, proj);
    if (st < 0) {
      *result = st;
      return;
    }
    for (int i = 0; i < 3; ++i) m[k][i] = 0.5 * (q[i] + proj[i]);
  }
  double normal[3];
  int st = 0;
  circle_through_points_checked(m[0], m[1], m[2], tolerance, centre, normal, radius, &st);
  if (st < 0) {
    *result = st;
    return;
  }
  *result = st == 0 ? 1 : 0;
}

void nearest_vertex_params(const spline_curve* c1, const spline_curve* c2, double* t1,
                           double* t2) {
  const int dim = c1->dim;
  double best = INFINITY;
  int bi = 0, bj = 0;
  for (int i = 0; i < c1->vertex_count; ++i)
    for (int j = 0; j < c2->vertex_count; ++j) {
      double d2 = 0;
      for (int k = 0; k < dim; ++k) {
        const double d = c1->coefs[i * dim + k] - c2->coefs[j * c2->dim + k];
        d2 += d * d;
      }
      if (d2 < best) {
        best = d2;
        bi = i;
        bj = j;
      }
    }
  auto greville = [](const spline_curve* c, int i) {
    double sum = 0;
    for (int r = i + 1; r <= i + c->order - 1; ++r) sum += c->knots[r];
    return sum / (c->order - 1);
  };
  *t1 = greville(c1, bi);
  *t2 = greville(c2, bj);
}
