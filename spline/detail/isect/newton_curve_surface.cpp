// Curve-surface iteration (s1772): first-order steps (tangent plane against tangent
// line) while the curve point stays on one side of the surface and approaches fast,
// second-order steps (Newton on the squared distance) otherwise, halving of steps that
// do not lower the distance, and, when the iteration stalls where the curve seems to
// touch the surface, a curvature test and a secant search along the curve.

#include <cfloat>
#include <cmath>

#include "spline/curve_eval.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/newton_secant.h"
#include "spline/detail/isect/newton_work.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

constexpr int kMaxPasses = 30;
constexpr double kPi = 3.14159265358979323846;

// Solves the 3 x 3 system m x = b (rows of m), with one refinement step.  Returns 1
// when singular, else 0 or a negative status.
int solve3_refined(const double m[9], const double b[3], double x[3]) {
  const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                     m[2] * (m[3] * m[7] - m[4] * m[6]);
  if (std::fabs(det) < 1e-16) return 1;
  return newton_detail::solve_refined(m, b, 3, x);
}

// Work arrays of one evaluation and the iteration around it.
struct CurveSurfaceWork {
  const spline_curve* curve;
  const spline_surface* surface;
  int dim;
  double curve_end;
  double* c;  // c, c', c'' (3 dim)
  double* c1;
  double* c2;
  double* grid;  // surface grid block, up to 9 dim
  double* s;     // S, Su, Sv, Suu, Suv, Svv copied out of the grid
  double* su;
  double* sv;
  double* suu;
  double* suv;
  double* svv;
  double* normal;
  double* diff;
  int left_c = 0, left1 = 0, left2 = 0;
};

void copy_vec(const double* src, double* dst, int dim) {
  for (int i = 0; i < dim; ++i) dst[i] = src[i];
}

void form_normal(CurveSurfaceWork& w) {
  if (w.dim == 3)
    vec_cross(w.su, w.sv, w.normal);
  else
    for (int i = 0; i < w.dim; ++i) w.normal[i] = 0.0;
}

// Evaluates both objects at par (u, v, t) with `order` derivatives and forms the step.
// Returns a negative status on an error (the caller reports it), else 0, and sets
// *singular.
int evaluate(CurveSurfaceWork& w, const double par[3], int order, double* distance,
             double step[3], bool* singular) {
  const int dim = w.dim;
  int st = 0;
  if (par[2] == w.curve_end)
    S1227(w.curve, order, par[2], &w.left_c, w.c, &st);
  else
    s1221(w.curve, order, par[2], &w.left_c, w.c, &st);
  if (st < 0) return st;
  s1424(w.surface, order, order, par, &w.left1, &w.left2, w.grid, &st);
  if (st < 0) return st;
  if (order == 1) {
    copy_vec(w.grid, w.s, dim);
    copy_vec(w.grid + dim, w.su, dim);
    copy_vec(w.grid + 2 * dim, w.sv, dim);
  } else {
    copy_vec(w.grid, w.s, dim);
    copy_vec(w.grid + dim, w.su, dim);
    copy_vec(w.grid + 2 * dim, w.suu, dim);
    copy_vec(w.grid + 3 * dim, w.sv, dim);
    copy_vec(w.grid + 4 * dim, w.suv, dim);
    copy_vec(w.grid + 6 * dim, w.svv, dim);
  }
  form_normal(w);
  s1772_s9dir(distance, w.diff, step, w.c, w.c1, w.c2, w.s, w.su, w.sv, w.suu, w.suv, w.svv,
              dim, order == 2 ? 1 : 0, &st);
  if (st < 0) return st;
  *singular = st == 1;
  return 0;
}

int side_of(const CurveSurfaceWork& w) {
  return vec_dot(w.diff, w.normal, w.dim) >= 0.0 ? 1 : -1;
}

}  // namespace

void s1772_s9dir(double* distance, double* diff, double step[3], const double* c,
                 const double* c1, const double* c2, const double* s, const double* su,
                 const double* sv, const double* suu, const double* suv, const double* svv,
                 int dim, int second_order, int* status) {
  vec_diff(c, s, dim, diff);
  int flag = 0;
  *distance = vec_length(diff, dim, &flag);
  double m[9], b[3];
  if (!second_order && dim == 3) {
    for (int i = 0; i < 3; ++i) {
      m[i * 3 + 0] = su[i];
      m[i * 3 + 1] = sv[i];
      m[i * 3 + 2] = -c1[i];
      b[i] = diff[i];
    }
  } else {
    const double a = vec_dot(c1, c1, dim);
    const double bb = vec_dot(su, su, dim);
    const double cc = vec_dot(sv, sv, dim);
    const double p = vec_dot(c1, su, dim);
    const double q = vec_dot(c1, sv, dim);
    const double f = vec_dot(su, sv, dim);
    double g = 0.0, h = 0.0, ii = 0.0, j = 0.0;
    if (second_order) {
      g = vec_dot(diff, c2, dim);
      h = vec_dot(diff, suu, dim);
      ii = vec_dot(diff, svv, dim);
      j = vec_dot(diff, suv, dim);
    }
    m[0] = bb - h;
    m[1] = f - j;
    m[2] = -p;
    m[3] = f - j;
    m[4] = cc - ii;
    m[5] = -q;
    m[6] = -p;
    m[7] = -q;
    m[8] = a + g;
    b[0] = vec_dot(diff, su, dim);
    b[1] = vec_dot(diff, sv, dim);
    b[2] = -vec_dot(diff, c1, dim);
  }
  const int st = solve3_refined(m, b, step);
  if (st < 0) {
    *status = st;
    error_report("s1772_s9dir", st, 0);
    return;
  }
  if (st == 1) step[0] = step[1] = step[2] = 0.0;
  *status = st;
}

int s1772_s6local_pretop(double distance, const double* diff, const double* normal,
                         const double* /*c*/, const double* c1, const double* c2,
                         const double* /*s*/, const double* su, const double* sv,
                         const double* suu, const double* suv, const double* svv, int dim,
                         int* status) {
  *status = 0;
  if (dim != 3) return -1;  // the test needs a surface normal
  if (vec_angle(diff, normal, dim) > 0.01) return -1;
  double e1[3], e2[3], n[3];
  int f1 = 0, f2 = 0;
  vec_normalize(su, 3, e1, &f1);
  vec_normalize(sv, 3, e2, &f2);
  if (!f1 || !f2) return -1;
  vec_cross(e1, e2, n);
  const double g = vec_dot(e1, e2, 3);
  const double a1 = vec_dot(c1, e1, 3);
  const double a2 = vec_dot(c1, e2, 3);
  const double nn = vec_dot(n, n, 3);
  if (nn < 1e-16) return -1;
  double w[2] = {(a1 - g * a2) / nn, (a2 - g * a1) / nn};
  int fw = 0;
  vec_normalize(w, 2, w, &fw);
  if (!fw) return -1;
  double h[3], m[3];
  for (int i = 0; i < 3; ++i) {
    h[i] = w[0] * w[0] * suu[i] + 2.0 * w[0] * w[1] * suv[i] + w[1] * w[1] * svv[i];
    m[i] = diff[i] / distance;
  }
  return vec_dot(m, c2, 3) - vec_dot(m, h, 3) > 1e-10 ? 1 : 0;
}

void s1772_s6sekant1(const spline_curve* curve, const spline_surface* surface, double par[3],
                     double curve_step, double* distance, double aepsge, double curve_start,
                     const double surface_start[2], double curve_end,
                     const double surface_end[2], double* curve_pos, double* surface_derivs,
                     double* normal, int* status) {
  *status = 0;
  const int dim = curve->dim;
  if (dim != surface->dim) {
    *status = kErrDimensionMismatch;
    error_report("s1772_s6sekant1", *status, 0);
    return;
  }
  spline_point* point = create_point(curve_pos, dim, 0);
  if (!point) {
    *status = kErrMemory;
    error_report("s1772_s6sekant1", *status, 0);
    return;
  }
  double* d = curve_pos + dim;
  int left_c = 0, left1 = 0, left2 = 0;
  auto probe = [&](double x) {
    newton_detail::ProbeResult r;
    int st = 0;
    s1221(curve, 0, x, &left_c, curve_pos, &st);
    if (st < 0) {
      r.status = st;
      return r;
    }
    double uv[2];
    s1773(point, surface, aepsge, surface_start, surface_end, par, uv, &st);
    if (st < 0) {
      r.status = st;
      return r;
    }
    par[0] = uv[0];
    par[1] = uv[1];
    s1421(surface, 1, par, &left1, &left2, surface_derivs, normal, &st);
    if (st < 0) {
      r.status = st;
      return r;
    }
    vec_diff(surface_derivs, curve_pos, dim, d);
    int flag = 0;
    vec_normalize(normal, dim, normal, &flag);
    *distance = vec_length(d, dim, &flag);
    r.f = vec_dot(normal, d, dim);
    int nonzero = 0;
    vec_length(normal, dim, &nonzero);
    r.stop = dim != 3 || !nonzero || *distance < aepsge;
    return r;
  };
  const newton_detail::SecantRules rules{0.5, 50, false, false};
  const double length = curve->knots[curve->vertex_count] - curve->knots[curve->order - 1];
  double t = par[2];
  int st = 0;
  newton_detail::secant_search(probe, par[2], curve_step, curve_start, curve_end, length, rules,
                               &t, &st);
  destroy_point(point);
  if (st < 0) {
    *status = st;
    error_report("s1772_s6sekant1", st, 0);
    return;
  }
  par[2] = t;
  *status = st;
}

void s1772(const spline_curve* curve, const spline_surface* surface, double aepsge,
           double curve_start, const double surface_start[2], double curve_end,
           const double surface_end[2], double curve_guess, const double surface_guess[2],
           double* curve_result, double surface_result[2], int* status) {
  const int dim = curve->dim;
  if (dim != surface->dim) {
    *status = kErrDimensionMismatch;
    error_report("s1772", *status, 0);
    return;
  }
  constexpr int kWidth = 20;  // vectors: c, c', c'', grid (9), S .. Svv (6), normal, diff
  newton_detail::WorkBlock<kWidth> block(dim);
  double* mem = block.get();
  if (!mem) {
    *status = kErrMemory;
    error_report("s1772", *status, 0);
    return;
  }
  CurveSurfaceWork w{};
  w.curve = curve;
  w.surface = surface;
  w.dim = dim;
  w.curve_end = curve_end;
  w.c = mem;
  w.c1 = mem + dim;
  w.c2 = mem + 2 * dim;
  w.grid = mem + 3 * dim;
  w.s = mem + 12 * dim;
  w.su = mem + 13 * dim;
  w.sv = mem + 14 * dim;
  w.suu = mem + 15 * dim;
  w.suv = mem + 16 * dim;
  w.svv = mem + 17 * dim;
  w.normal = mem + 18 * dim;
  w.diff = mem + 19 * dim;

  const double len[3] = {
      surface->knots1[surface->vertex_count1] - surface->knots1[surface->order1 - 1],
      surface->knots2[surface->vertex_count2] - surface->knots2[surface->order2 - 1],
      curve->knots[curve->vertex_count] - curve->knots[curve->order - 1]};
  const double lo[3] = {surface_start[0], surface_start[1], curve_start};
  const double hi[3] = {surface_end[0], surface_end[1], curve_end};
  double par[3] = {surface_guess[0], surface_guess[1], curve_guess};
  double step[3] = {0.0, 0.0, 0.0}, full[3] = {0.0, 0.0, 0.0}, new_step[3];
  int boundary = 0, halving = 0, singular_count = 0;

  // Cuts the step into the box; counts consecutive cut steps.
  auto clamp = [&](double* s) { newton_detail::clamp_step(par, lo, hi, 3, s, &boundary); };

  int order = 1;
  double distance = 0.0;
  bool singular = false;
  bool stall = false;
  int st = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1772", code, 0);
  };
  if ((st = evaluate(w, par, order, &distance, new_step, &singular)) < 0) return fail(st);
  if (singular) {
    order = 2;
    if ((st = evaluate(w, par, order, &distance, new_step, &singular)) < 0) return fail(st);
    if (singular) stall = true;
  }
  if (!stall) {
    int side = side_of(w);
    for (int i = 0; i < 3; ++i) full[i] = step[i] = new_step[i];
    clamp(step);
    double previous = distance;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
      for (int i = 0; i < 3; ++i) par[i] += step[i];
      if ((st = evaluate(w, par, order, &distance, new_step, &singular)) < 0) return fail(st);
      int new_side = 0;
      bool same = false, steady = false;
      for (;;) {
        if (singular) {
          ++singular_count;
          if (order == 2) {
            stall = true;
            break;
          }
          order = 2;
          if ((st = evaluate(w, par, order, &distance, new_step, &singular)) < 0) return fail(st);
          continue;
        }
        new_side = side_of(w);
        same = new_side + side != 0;
        steady = vec_dot(full, new_step, 3) >= 0.0;
        if (order == 1 && same && (!steady || distance > 0.3 * previous)) {
          halving = 0;
          order = 2;
          if ((st = evaluate(w, par, order, &distance, new_step, &singular)) < 0) return fail(st);
          continue;
        }
        if (order == 2 && !same) {
          if (singular_count != 0) {
            stall = true;
            break;
          }
          halving = 0;
          order = 1;
          if ((st = evaluate(w, par, order, &distance, new_step, &singular)) < 0) return fail(st);
          continue;
        }
        break;
      }
      if (stall) break;
      singular_count = 0;
      if (boundary != 0 && (!steady || !same)) boundary = 0;
      if (distance < previous) {
        halving = 0;
        side = new_side;
        for (int i = 0; i < 3; ++i) full[i] = step[i] = new_step[i];
        clamp(step);
        previous = distance;
        if (boundary > 3) break;
        continue;
      }
      // Not better: end here, back at the last accepted point, or halve the step.
      bool end = boundary > 3;
      if (!end && std::fabs(step[0]) / len[0] <= 1e-15 && std::fabs(step[1]) / len[1] <= 1e-15 &&
          std::fabs(step[2]) / len[2] <= 1e-15)
        end = true;
      if (!end) {
        if (boundary != 0) ++boundary;
        if (distance > previous && halving != 0) end = true;
      }
      for (int i = 0; i < 3; ++i) par[i] -= step[i];
      if (end) {
        distance = previous;
        break;
      }
      ++halving;
      for (int i = 0; i < 3; ++i) step[i] /= 2.0;
    }
  }
  if (stall && distance > aepsge) {
    const int local_test =
        s1772_s6local_pretop(distance, w.diff, w.normal, w.c, w.c1, w.c2, w.s, w.su, w.sv, w.suu,
                             w.suv, w.svv, dim, &st);
    if (st < 0) return fail(st);
    if (local_test == 0) {
      s1772_s6sekant1(curve, surface, par, full[2], &distance, aepsge, curve_start,
                      surface_start, curve_end, surface_end, w.c, w.grid, w.normal, &st);
      if (st < 0) return fail(st);
    }
  }
  // The verdict from the tangent and normal at the result itself.
  if ((st = evaluate(w, par, 1, &distance, new_step, &singular)) < 0) return fail(st);
  if (distance <= aepsge) {
    *status = 1;
  } else {
    *status = (dim == 3 && kPi / 2.0 - vec_angle(w.c1, w.normal, 3) < 0.01) ? 3 : 2;
  }
  *curve_result = par[2];
  surface_result[0] = par[0];
  surface_result[1] = par[1];
}
