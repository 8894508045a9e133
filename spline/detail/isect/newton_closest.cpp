// Damped Newton iterations for closest points and intersections: two curves (s1770), a
// point and a curve (s1771), a point and a surface (s1773), and the start values of the
// curve-surface iteration (nearest_vertex_params_curve_surface).
//
// Every trial stays inside the caller's parameter box (steps are cut at its ends).  The
// verdict is read at the parameters returned, the last accepted ones.

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "spline/curve_eval.h"
#include "spline/detail/isect/newton.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

constexpr int kMaxPasses = 30;

struct FreeDeleter {
  void operator()(double* p) const { std::free(p); }
};
using WorkArray = std::unique_ptr<double, FreeDeleter>;

WorkArray alloc_work(int count) {
  return WorkArray(static_cast<double*>(std::malloc(sizeof(double) * (count > 0 ? count : 1))));
}

double clamp_step(double step, double x, double start, double end) {
  if (x + step < start) return start - x;
  if (x + step > end) return end - x;
  return step;
}

double curve_length(const spline_curve* c) {
  return c->knots[c->vertex_count] - c->knots[c->order - 1];
}

// ---------------------------------------------------------------------------
// s1770

// Least-squares step of D + A ds - B dt = 0; returns |D|.
double curve_pair_step(const double* p1, const double* p2, int dim, double* diff,
                       double step[2]) {
  const double* a = p1 + dim;
  const double* b = p2 + dim;
  vec_diff(p1, p2, dim, diff);
  const double aa = vec_dot(a, a, dim);
  const double ab = vec_dot(a, b, dim);
  const double bb = vec_dot(b, b, dim);
  const double p = vec_dot(diff, a, dim);
  const double q = vec_dot(diff, b, dim);
  const double det = ab * ab - aa * bb;
  if (dequal(det, 0.0)) {
    step[0] = step[1] = 0.0;
  } else {
    step[0] = (p * bb - q * ab) / det;
    step[1] = (ab * p - aa * q) / det;
  }
  int flag = 0;
  return vec_length(diff, dim, &flag);
}

// ---------------------------------------------------------------------------
// s1771

// Second-order step of the point-curve iteration from D = P - C, C' and C''.
double point_curve_step(const double* diff, const double* d1, const double* d2, int dim) {
  const double a0 = vec_dot(diff, d1, dim);
  const double a2 = vec_dot(d1, d1, dim);
  const double a1 = a2 - vec_dot(diff, d2, dim);
  const double c = -2.0 * vec_dot(d1, d2, dim);
  const double m =
      std::fmax(std::fmax(std::fabs(a0), std::fabs(a1)), std::fmax(std::fabs(a2), std::fabs(c)));
  if (dequal(m, 0.0)) return 0.0;
  if (std::fabs(c) / m < 1e-10) {
    if (std::fabs(a1) / m >= 1e-10) return a0 / a1;
    if (std::fabs(a2) / m >= 1e-10) return a0 / a2;
    return 0.0;
  }
  const double disc = a1 * a1 - 2.0 * c * a0;
  if (disc < 0.0) return a0 / a2;
  const double root = std::sqrt(disc);
  const double r1 = (a1 + root) / c;
  const double r2 = (a1 - root) / c;
  const double sign = a0 * a2;
  if (sign < 0.0) {
    if (r1 <= 0.0 && r2 <= 0.0) return std::fmax(r1, r2);
    if (r1 <= 0.0) return r1;
    if (r2 <= 0.0) return r2;
    return std::fmin(r1, r2);
  }
  if (sign > 0.0) {
    if (r1 >= 0.0 && r2 >= 0.0) return std::fmin(r1, r2);
    if (r1 >= 0.0) return r1;
    if (r2 >= 0.0) return r2;
    return std::fmax(r1, r2);
  }
  return std::fabs(r1) < std::fabs(r2) ? std::fabs(r1) : std::fabs(r2);
}

// The loop of s1771.  derivs holds position and two derivatives, diff the difference;
// *par and *distance are the last accepted parameter and its distance.
void s1771_s9point(const spline_curve* curve, const double* point, double* derivs,
                   double* diff, double start, double end, int limit, double* par,
                   double* step, double length, double* distance, double previous, int* left,
                   int* status) {
  const int dim = curve->dim;
  *step = clamp_step(*step, *par, start, end);
  int rejections = 0;
  int not_lowering = 0;
  for (int pass = 0; pass < limit; ++pass) {
    int st = 0;
    s1221(curve, 2, *par + *step, left, derivs, &st);
    if (st < 0) {
      *status = st;
      error_report("s1771_s9point", st, 0);
      return;
    }
    vec_diff(point, derivs, dim, diff);
    int flag = 0;
    const double dist = vec_length(diff, dim, &flag);
    if (dist - previous > 1e-15) {
      if (++rejections >= 4) break;
      *step /= 2.0;
    } else {
      if (not_lowering > 4) break;
      if (dist - previous >= 0.0) ++not_lowering;
      rejections = 0;
      previous = dist;
      *distance = dist;
      *par += *step;
      *step = clamp_step(point_curve_step(diff, derivs + dim, derivs + 2 * dim, dim), *par, start,
                         end);
    }
    if (std::fabs(*step) / std::fmax(std::fabs(*par), length) <= 1e-15) break;
  }
  *status = 0;
}

// ---------------------------------------------------------------------------
// s1773

// Step of the point-surface iteration from the first-order block S, Su, Sv; returns
// |P - S| and sets *degenerate when the parametrisation is degenerate here.
double point_surface_step(const double* point, const double* blk, int dim, double aepsge,
                          double* diff, double step[2], int* degenerate) {
  const double* su = blk + dim;
  const double* sv = blk + 2 * dim;
  *degenerate = 0;
  step[0] = step[1] = 0.0;
  vec_diff(point, blk, dim, diff);
  int flag = 0;
  const double dist = vec_length(diff, dim, &flag);
  const double lu = vec_length(su, dim, &flag);
  const double lv = vec_length(sv, dim, &flag);
  if (std::fmin(lu, lv) < aepsge || vec_angle(su, sv, dim) < 1e-10) {
    *degenerate = 1;
    if (lu < aepsge) {
      if (lv > aepsge) step[1] = vec_dot(diff, sv, dim) / (lv * lv);
    } else {
      step[0] = vec_dot(diff, su, dim) / (lu * lu);
    }
    return dist;
  }
  const double a11 = vec_dot(su, su, dim);
  const double a12 = vec_dot(su, sv, dim);
  const double a22 = vec_dot(sv, sv, dim);
  const double b1 = vec_dot(diff, su, dim);
  const double b2 = vec_dot(diff, sv, dim);
  const double det = a11 * a22 - a12 * a12;
  const double m = std::fmax(std::fabs(a11), std::fmax(std::fabs(a12), std::fabs(a22)));
  if (dequal(std::fabs(det) + m, m)) {
    *degenerate = 1;
    return dist;
  }
  step[0] = (b1 * a22 - b2 * a12) / det;
  step[1] = (a11 * b2 - a12 * b1) / det;
  return dist;
}

}  // namespace

void s1770(const spline_curve* curve1, const spline_curve* curve2, double aepsge,
           double start1, double start2, double end1, double end2, double guess1,
           double guess2, double* result1, double* result2, int* status) {
  const int dim = curve1->dim;
  if (dim != curve2->dim) {
    *status = kErrDimensionMismatch;
    error_report("s1770", *status, 0);
    return;
  }
  if (dim == 2) {
    s1770_2D(curve1, curve2, aepsge, start1, start2, end1, end2, guess1, guess2, result1,
             result2, status);
    return;
  }
  WorkArray work = alloc_work(7 * dim);
  if (!work) {
    *status = kErrMemory;
    error_report("s1770", *status, 0);
    return;
  }
  double* p1 = work.get();
  double* p2 = p1 + 2 * dim;
  double* diff = p2 + 2 * dim;
  const double len1 = curve_length(curve1);
  const double len2 = curve_length(curve2);

  int left1 = 0, left2 = 0, st = 0;
  s1221(curve1, 1, guess1, &left1, p1, &st);
  if (st >= 0) s1221(curve2, 1, guess2, &left2, p2, &st);
  if (st < 0) {
    *status = st;
    error_report("s1770", st, 0);
    return;
  }
  double s = guess1, t = guess2;
  double full[2], step[2], new_step[2];
  double distance = curve_pair_step(p1, p2, dim, diff, full);
  step[0] = clamp_step(full[0], s, start1, end1);
  step[1] = clamp_step(full[1], t, start2, end2);
  double previous = DBL_MAX;

  for (int pass = 0; pass < kMaxPasses; ++pass) {
    s1221(curve1, 1, s + step[0], &left1, p1, &st);
    if (st >= 0) s1221(curve2, 1, t + step[1], &left2, p2, &st);
    if (st < 0) {
      *status = st;
      error_report("s1770", st, 0);
      return;
    }
    const double trial = curve_pair_step(p1, p2, dim, diff, new_step);
    if (0.9 * previous > trial || full[0] * new_step[0] + full[1] * new_step[1] >= 0.0) {
      s += step[0];
      t += step[1];
      distance = trial;
      full[0] = new_step[0];
      full[1] = new_step[1];
      step[0] = clamp_step(full[0], s, start1, end1);
      step[1] = clamp_step(full[1], t, start2, end2);
      if (std::fabs(step[0]) / len1 <= 1e-15 && std::fabs(step[1]) / len2 <= 1e-15) break;
      previous = trial;
    } else {
      step[0] /= 2.0;
      step[1] /= 2.0;
    }
  }
  *result1 = s;
  *result2 = t;
  *status = distance <= aepsge ? 1 : 2;
}

void s1771(const spline_point* point, const spline_curve* curve, double aepsge, double start,
           double end, double guess, double* result, int* status) {
  const int limit = *status == 0 ? 20 : 10;
  const int dim = curve->dim;
  if (point->dim != dim) {
    *status = kErrDimensionMismatch;
    error_report("s1771", *status, 0);
    return;
  }
  WorkArray work = alloc_work(4 * dim);
  if (!work) {
    *status = kErrMemory;
    error_report("s1771", *status, 0);
    return;
  }
  double* derivs = work.get();
  double* diff = derivs + 3 * dim;
  int left = 0, st = 0;
  s1221(curve, 2, guess, &left, derivs, &st);
  if (st < 0) {
    *status = st;
    error_report("s1771", st, 0);
    return;
  }
  vec_diff(point->coords, derivs, dim, diff);
  int flag = 0;
  double distance = vec_length(diff, dim, &flag);
  double par = guess;
  double step =
      clamp_step(point_curve_step(diff, derivs + dim, derivs + 2 * dim, dim), par, start, end);
  s1771_s9point(curve, point->coords, derivs, diff, start, end, limit, &par, &step,
                curve_length(curve), &distance, DBL_MAX, &left, &st);
  if (st < 0) {
    *status = st;
    error_report("s1771", st, 0);
    return;
  }
  *result = par;
  *status = distance <= aepsge ? 1 : 2;
}

void s1773(const spline_point* point, const spline_surface* surface, double aepsge,
           const double start[2], const double end[2], const double guess[2], double result[2],
           int* status) {
  const int dim = surface->dim;
  if (point->dim != dim) {
    *status = kErrDimensionMismatch;
    error_report("s1773", *status, 0);
    return;
  }
  int st = 0;
  if (dim == 1) {
    double running[2] = {guess[0], guess[1]};
    double res[2];
    s1173(point, surface, aepsge, start, end, running, res, &st);
    if (st < 0) {
      *status = st;
      error_report("s1773", st, 0);
      return;
    }
    result[0] = res[0];
    result[1] = res[1];
    const bool on_edge = dequal(res[0], start[0]) || dequal(res[0], end[0]) ||
                         dequal(res[1], start[1]) || dequal(res[1], end[1]);
    *status = on_edge ? 0 : (st == 1 ? 1 : 3);
    return;
  }
  WorkArray work = alloc_work(8 * dim);
  if (!work) {
    *status = kErrMemory;
    error_report("s1773", *status, 0);
    return;
  }
  double* blk = work.get();     // S, Su, Sv
  double* normal = blk + 3 * dim;
  double* diff = normal + dim;  // room for two more vectors after it
  const double len1 = surface->knots1[surface->vertex_count1] - surface->knots1[surface->order1 - 1];
  const double len2 = surface->knots2[surface->vertex_count2] - surface->knots2[surface->order2 - 1];

  double uv[2] = {guess[0], guess[1]};
  int left1 = 0, left2 = 0;
  s1421(surface, 1, uv, &left1, &left2, blk, normal, &st);
  if (st < 0) {
    *status = st;
    error_report("s1773", st, 0);
    return;
  }
  double full[2], step[2], new_step[2];
  int degenerate = 0;
  double distance = point_surface_step(point->coords, blk, dim, aepsge, diff, full, &degenerate);
  step[0] = clamp_step(full[0], uv[0], start[0], end[0]);
  step[1] = clamp_step(full[1], uv[1], start[1], end[1]);
  double previous = DBL_MAX;

  for (int pass = 0; pass < kMaxPasses; ++pass) {
    const double trial_uv[2] = {uv[0] + step[0], uv[1] + step[1]};
    s1421(surface, 1, trial_uv, &left1, &left2, blk, normal, &st);
    if (st < 0) {
      *status = st;
      error_report("s1773", st, 0);
      return;
    }
    int trial_degenerate = 0;
    const double trial =
        point_surface_step(point->coords, blk, dim, aepsge, diff, new_step, &trial_degenerate);
    if (0.5 * previous > trial || full[0] * new_step[0] + full[1] * new_step[1] >= 0.0) {
      uv[0] = trial_uv[0];
      uv[1] = trial_uv[1];
      distance = trial;
      degenerate = trial_degenerate;
      full[0] = new_step[0];
      full[1] = new_step[1];
      step[0] = clamp_step(full[0], uv[0], start[0], end[0]);
      step[1] = clamp_step(full[1], uv[1], start[1], end[1]);
      previous = trial;
      if (std::fabs(step[0]) / len1 <= 1e-15 && std::fabs(step[1]) / len2 <= 1e-15) break;
    } else {
      step[0] /= 2.0;
      step[1] /= 2.0;
    }
    if (uv[0] + step[0] == uv[0] && uv[1] + step[1] == uv[1]) break;
  }
  result[0] = uv[0];
  result[1] = uv[1];
  if (distance <= aepsge)
    *status = 1;
  else
    *status = degenerate ? 9 : 2;
}

void nearest_vertex_params_curve_surface(const spline_curve* curve, const spline_surface* surface,
                                         double* curve_param, double surface_params[2]) {
  const int dim = curve->dim;
  const int n1 = surface->vertex_count1;
  const int count = n1 * surface->vertex_count2;
  int best_c = 0, best_s = 0;
  double best = DBL_MAX;
  for (int c = 0; c < curve->vertex_count; ++c)
    for (int q = 0; q < count; ++q) {
      const double d = vec_dist(curve->coefs + static_cast<long>(c) * dim,
                                surface->coefs + static_cast<long>(q) * surface->dim, dim);
      if (d < best) {
        best = d;
        best_c = c;
        best_s = q;
      }
    }
  auto greville = [](const double* knots, int order, int index) {
    double sum = 0.0;
    for (int m = index + 1; m <= index + order - 1; ++m) sum += knots[m];
    return sum / (order - 1);
  };
  *curve_param = greville(curve->knots, curve->order, best_c);
  surface_params[0] = greville(surface->knots1, surface->order1, best_s % n1);
  surface_params[1] = greville(surface->knots2, surface->order2, best_s / n1);
}
