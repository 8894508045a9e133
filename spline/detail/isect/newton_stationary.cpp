// Damped Newton iterations on one-dimensional curves and surfaces: stationary points
// (s1172, s1174) and the parameter pair of a surface value closest to a given value
// (s1173).
//
// Shared scheme: a step from the derivatives at the current parameter, clamped into the
// box, a trial evaluation, acceptance when the measure does not grow or the new step
// points the same way, halving otherwise, at most 50 rounds, and a final snap onto a
// knot of the last evaluated interval.  The verdict is read at the parameter returned
// (the last accepted one), never at a rejected trial.

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "spline/curve_eval.h"
#include "spline/detail/isect/newton.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

constexpr int kMaxRounds = 50;

double clamp_step(double step, double x, double start, double end) {
  if (x + step < start) return start - x;
  if (x + step > end) return end - x;
  return step;
}

double curve_width(const spline_curve* c) {
  return c->knots[c->vertex_count] - c->knots[c->order - 1];
}

double width1(const spline_surface* s) {
  return s->knots1[s->vertex_count1] - s->knots1[s->order1 - 1];
}
double width2(const spline_surface* s) {
  return s->knots2[s->vertex_count2] - s->knots2[s->order2 - 1];
}

// Snaps x onto the lower or upper knot of its interval when within tol.
double snap(double x, const double* knots, int left, double tol) {
  if (std::fabs(x - knots[left]) <= tol) return knots[left];
  if (std::fabs(x - knots[left + 1]) <= tol) return knots[left + 1];
  return x;
}

// The same with the toolkit's relative equality.
double snap_relative(double x, const double* knots, int left) {
  if (dequal(x, knots[left])) return knots[left];
  if (dequal(x, knots[left + 1])) return knots[left + 1];
  return x;
}

// Step of s1172 from f', f'', f''': the root of the quadratic Taylor model of f' that
// lies nearer to the Newton step.
double stationary_step_1d(const double* f) {
  const double d1 = f[1], d2 = f[2], d3 = f[3];
  const double g = d2 != 0.0 ? -d1 / d2 : 0.0;
  if (d3 == 0.0) return g;
  const double disc = d2 * d2 - 2.0 * d3 * d1;
  if (disc < 0.0) return g;
  const double s = std::sqrt(disc);
  if (dequal(d2, s)) return g;
  const double r1 = (-d2 - s) / d3;
  const double r2 = (s - d2) / d3;
  return std::fabs(r2 - g) < std::fabs(r1 - g) ? r2 : r1;
}

// Step along one parameter towards the value closest to the target: d the difference
// target - value, d1 and d2 the first and second derivative along the parameter.
double one_parameter_step(double d, double d1, double d2) {
  const double a = d * d1;
  const double b = d1 * d1;
  const double c = b - d * d2;
  const double e = -2.0 * (d1 * d2);
  if (e != 0.0) {
    const double disc = c * c - 2.0 * e * a;
    if (disc < 0.0) return a / b;
    const double root = std::sqrt(disc);
    const double r1 = (c + root) / e;
    const double r2 = (c - root) / e;
    const double ab = a * b;
    if (ab > 0.0) {
      if (r1 >= 0.0 && r2 >= 0.0) return std::fmin(r1, r2);
      if (r1 >= 0.0) return r1;
      if (r2 >= 0.0) return r2;
      return std::fmax(r1, r2);
    }
    if (ab < 0.0) {
      if (r1 <= 0.0 && r2 <= 0.0) return std::fmax(r1, r2);
      if (r1 <= 0.0) return r1;
      if (r2 <= 0.0) return r2;
      return std::fmin(r1, r2);
    }
    return std::fmin(std::fabs(r1), std::fabs(r2));
  }
  if (c != 0.0) return a / c;
  if (b != 0.0) return a / b;
  return 0.0;
}

// Step of s1173 from the triangular block (S, Su, Sv, Suu, Suv, Svv) of a surface of
// dimension 1 and the target value p.
void closest_value_step(double p, const double* blk, double step[2]) {
  const double d = p - blk[0];
  const double su = blk[1], sv = blk[2], suu = blk[3], suv = blk[4], svv = blk[5];
  const double a11 = d * suu - su * su;
  const double a12 = d * suv - su * sv;
  const double a21 = d * suv - sv * su;
  const double a22 = d * svv - sv * sv;
  const double b1 = -d * su;
  const double b2 = -d * sv;
  step[0] = step[1] = 0.0;
  if (b1 == 0.0 && b2 == 0.0) return;
  const double det = a11 * a22 - a12 * a21;
  const double big =
      std::fmax(std::fmax(std::fabs(a11), std::fabs(a12)), std::fmax(std::fabs(a21), std::fabs(a22)));
  if (std::fabs(det) <= 1e-15 * big) {
    // Singular system: the one-parameter steps, or, when both are usable, the foot of
    // the perpendicular from the current parameter onto the line through (su, 0) and
    // (0, sv).
    const double s_u = one_parameter_step(d, su, suu);
    const double s_v = one_parameter_step(d, sv, svv);
    if (std::fabs(s_u) >= 1e-15 && std::fabs(s_v) >= 1e-15) {
      const double f = s_u * s_v / (s_u * s_u + s_v * s_v);
      step[0] = s_v * f;
      step[1] = s_u * f;
    } else {
      step[0] = s_u;
      step[1] = s_v;
    }
    return;
  }
  step[0] = (b1 * a22 - b2 * a12) / det;
  step[1] = (a11 * b2 - a21 * b1) / det;
}

// Step of s1174 towards a zero of the gradient.
void gradient_step(const double* blk, double step[2]) {
  const double su = blk[1], sv = blk[2], suu = blk[3], suv = blk[4], svv = blk[5];
  step[0] = step[1] = 0.0;
  const double big = std::fmax(std::fabs(suu), std::fmax(std::fabs(suv), std::fabs(svv)));
  if (dequal_off(-su, 0.0, big) && dequal_off(-sv, 0.0, big)) return;
  const double det = suu * svv - suv * suv;
  if (std::fabs(det) <= std::fmax(1e-15 * big, 1e-15)) {
    if (std::fmax(std::fabs(suu), std::fabs(svv)) > 1e-15) {
      if (std::fabs(suu) <= std::fabs(svv))
        step[1] = -sv / svv;
      else
        step[0] = -su / suu;
    }
    return;
  }
  step[0] = (-su * svv + sv * suv) / det;
  step[1] = (-sv * suu + su * suv) / det;
}

bool negligible2(const double step[2], double w1, double w2) {
  return std::fabs(step[0] / w1) <= 1e-15 && std::fabs(step[1] / w2) <= 1e-15;
}

}  // namespace

void s1172(const spline_curve* curve, double start, double end, double guess, double* result,
           int* status) {
  if (curve->dim != 1) {
    *status = kErrDimensionMismatch;
    error_report("s1172", *status, 0);
    return;
  }
  const double width = curve_width(curve);
  int left = 0, st = 0;
  double f[4];
  double x = guess;
  s1221(curve, 3, x, &left, f, &st);
  if (st < 0) {
    *status = st;
    error_report("s1172", st, 0);
    return;
  }
  double measure = std::fabs(f[1]);
  double last_slope = f[1];
  double step = clamp_step(stationary_step_1d(f), x, start, end);
  for (int round = 0; round < kMaxRounds; ++round) {
    s1221(curve, 3, x + step, &left, f, &st);
    if (st < 0) {
      *status = st;
      error_report("s1172", st, 0);
      return;
    }
    const double new_measure = std::fabs(f[1]);
    const double new_step = stationary_step_1d(f);
    if (new_measure <= measure || new_step * step >= 0.0) {
      last_slope = f[1];
      x += step;
      step = clamp_step(new_step, x, start, end);
      measure = new_measure;
      if (std::fabs(step / width) <= 1e-15) {
        x += step;
        break;
      }
    } else {
      step /= 2.0;
    }
  }
  *result = snap(x, curve->knots, left, 1e-12 * width);
  *status = std::fabs(last_slope) <= 1e-12 ? 1 : 0;
}

void s1173(const spline_point* point, const spline_surface* surface, double aepsge,
           const double start[2], const double end[2], double guess[2], double result[2],
           int* status) {
  if (point->dim != surface->dim || surface->dim != 1) {
    *status = kErrDimensionMismatch;
    error_report("s1173", *status, 0);
    return;
  }
  auto* blk = static_cast<double*>(std::malloc(7 * sizeof(double)));
  if (!blk) {
    *status = kErrMemory;
    error_report("s1173", *status, 0);
    return;
  }
  const double p = point->coords[0];
  const double w1 = width1(surface), w2 = width2(surface);
  double normal[1];
  int left1 = 0, left2 = 0, st = 0;
  s1421(surface, 2, guess, &left1, &left2, blk, normal, &st);
  if (st < 0) {
    std::free(blk);
    *status = st;
    error_report("s1173", st, 0);
    return;
  }
  double previous = DBL_MAX;
  double distance = std::fabs(p - blk[0]);
  double step[2], new_step[2];
  closest_value_step(p, blk, step);
  step[0] = clamp_step(step[0], guess[0], start[0], end[0]);
  step[1] = clamp_step(step[1], guess[1], start[1], end[1]);
  for (int round = 0; round < kMaxRounds; ++round) {
    const double trial[2] = {guess[0] + step[0], guess[1] + step[1]};
    s1421(surface, 2, trial, &left1, &left2, blk, normal, &st);
    if (st < 0) {
      std::free(blk);
      *status = st;
      error_report("s1173", st, 0);
      return;
    }
    const double trial_distance = std::fabs(p - blk[0]);
    closest_value_step(p, blk, new_step);
    if (trial_distance <= previous ||
        new_step[0] * step[0] + new_step[1] * step[1] >= 0.0) {
      distance = trial_distance;
      guess[0] = trial[0];
      guess[1] = trial[1];
      step[0] = clamp_step(new_step[0], guess[0], start[0], end[0]);
      step[1] = clamp_step(new_step[1], guess[1], start[1], end[1]);
      previous = trial_distance;
      if (negligible2(step, w1, w2)) break;
    } else {
      step[0] /= 2.0;
      step[1] /= 2.0;
    }
  }
  std::free(blk);
  result[0] = snap_relative(guess[0], surface->knots1, left1);
  result[1] = snap_relative(guess[1], surface->knots2, left2);
  *status = distance <= aepsge ? 1 : 2;
}

void s1174(const spline_surface* surface, const double start[2], const double end[2],
           const double guess[2], double result[2], int* status) {
  if (surface->dim != 1) {
    *status = kErrDimensionMismatch;
    error_report("s1174", *status, 0);
    return;
  }
  const double w1 = width1(surface), w2 = width2(surface);
  double blk[6], normal[1];
  double x[2] = {guess[0], guess[1]};
  int left1 = 0, left2 = 0, st = 0;
  s1421(surface, 2, x, &left1, &left2, blk, normal, &st);
  if (st < 0) {
    *status = st;
    error_report("s1174", st, 0);
    return;
  }
  double measure = std::hypot(blk[1], blk[2]);
  double step[2], new_step[2];
  gradient_step(blk, step);
  step[0] = clamp_step(step[0], x[0], start[0], end[0]);
  step[1] = clamp_step(step[1], x[1], start[1], end[1]);
  bool stationary = measure <= 1e-11;
  if (!negligible2(step, w1, w2)) {
    for (int round = 0; round < kMaxRounds; ++round) {
      const double trial[2] = {x[0] + step[0], x[1] + step[1]};
      s1421(surface, 2, trial, &left1, &left2, blk, normal, &st);
      if (st < 0) {
        *status = st;
        error_report("s1174", st, 0);
        return;
      }
      const double new_measure = std::hypot(blk[1], blk[2]);
      gradient_step(blk, new_step);
      if (new_measure <= measure || new_step[0] * step[0] + new_step[1] * step[1] >= 0.0) {
        stationary = new_measure <= 1e-11;
        x[0] = trial[0];
        x[1] = trial[1];
        step[0] = clamp_step(new_step[0], x[0], start[0], end[0]);
        step[1] = clamp_step(new_step[1], x[1], start[1], end[1]);
        measure = new_measure;
        if (negligible2(step, w1, w2)) {
          x[0] += step[0];
          x[1] += step[1];
          break;
        }
      } else {
        step[0] /= 2.0;
        step[1] /= 2.0;
      }
    }
  } else {
    stationary = true;
  }
  result[0] = snap(x[0], surface->knots1, left1, 1e-11 * w1);
  result[1] = snap(x[1], surface->knots2, left2, 1e-11 * w2);
  *status = stationary ? 1 : 0;
}
