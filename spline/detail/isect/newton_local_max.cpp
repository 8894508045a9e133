// Local maximum of a one-dimensional spline function by a safeguarded Newton ascent:
// each step goes to the stationary point of the cubic Taylor polynomial, limited to the
// range and to the current knot interval, and is halved while it lowers the value.

#include <cmath>

#include "spline/curve_eval.h"
#include "spline/detail/isect/newton.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

constexpr int kMaxRounds = 20;

// Value comparison of the acceptance test: values below 1 in size are shifted by 2 so
// that the relative test does not turn into an exact one near 0.
bool not_lower(double trial, double previous) {
  if (trial >= previous) return true;
  const double shift = std::fabs(trial) >= 1.0 ? 0.0 : 2.0;
  return dequal(shift + trial, shift + previous);
}

}  // namespace

void cubic_taylor_step(double* step, double /*parameter*/, const double derivs[4], double /*a*/,
                       double /*b*/) {
  const double d1 = derivs[1];
  const double d2 = derivs[2];
  const double d3 = derivs[3] / 2.0;
  const double newton = d2 != 0.0 ? -d1 / d2 : 0.0;
  const double m = std::fmax(std::fabs(d1), std::fmax(std::fabs(d2), std::fabs(d3)));
  if (m == 0.0) {
    *step = 0.0;
    return;
  }
  if (std::fabs(d3) / m >= 1e-10) {
    const double disc = d2 * d2 - 4.0 * d3 * d1;
    if (disc >= 0.0) {
      const double root = std::sqrt(disc);
      const double h1 = (-d2 + root) / (2.0 * d3);
      const double h2 = (-d2 - root) / (2.0 * d3);
      if (std::fmin(std::fabs(h1), std::fabs(h2)) == 0.0)
        *step = newton;
      else
        *step = std::fabs(h2) < std::fabs(h1) ? h2 : h1;
      return;
    }
  }
  *step = newton;
}

void clamp_newton_step(double* step, double parameter, const double* knots, int n, int k,
                       int* left, int* direction) {
  const double t = parameter;
  double h = *step;
  h = std::fmax(h, knots[k - 1] - t);
  h = std::fmin(h, knots[n] - t);
  const double lo = knots[*left];
  const double hi = knots[*left + 1];
  if (t + h < lo && lo < t)
    h = std::fmax(h, lo - t);
  else if (t < hi && hi < t + h)
    h = std::fmin(h, hi - t);
  *step = h;
  *direction = h < 0.0 ? -1 : 1;
  int st = 0;
  const int mult = s6knotmult(knots, k, n, left, t, &st);
  if (st >= 0 && t == knots[*left] && mult >= k - 1) *direction *= 2;
}

void S1252(const spline_curve* curve, double tolerance, double start, double* result,
           int* status) {
  if (curve->dim != 1) {
    *status = kErrDimensionMismatch;
    error_report("S1252", *status, 0);
    return;
  }
  const int k = curve->order;
  const int n = curve->vertex_count;
  const double* knots = curve->knots;
  const double a = knots[k - 1];
  const double b = knots[n];
  double range = b - a;
  if (range == 0.0) range = std::fabs(b);
  if (range == 0.0) range = 1.0;

  int left = k - 1, st = 0;
  double f[4];
  double t = start;
  s1221(curve, 3, t, &left, f, &st);
  if (st < 0) {
    *status = st;
    error_report("S1252", st, 0);
    return;
  }
  double f_prev = f[0];
  double f_trial = 0.0;
  int direction = 1;
  double h = 0.0;
  cubic_taylor_step(&h, t, f, a, b);
  clamp_newton_step(&h, t, knots, n, k, &left, &direction);

  for (int round = 0; round < kMaxRounds; ++round) {
    if (direction == 2 || direction == -2) {
      double right_d[4], left_d[4];
      int l1 = left, l2 = left;
      s1221(curve, 3, t, &l1, right_d, &st);
      if (st >= 0) S1227(curve, 3, t, &l2, left_d, &st);
      if (st < 0) {
        *status = st;
        error_report("S1252", st, 0);
        return;
      }
      if (left_d[1] >= 0.0 && right_d[1] <= 0.0) break;  // a kink maximum at the knot
    }
    if (direction > 0)
      s1221(curve, 3, t + h, &left, f, &st);
    else
      S1227(curve, 3, t + h, &left, f, &st);
    if (st < 0) {
      *status = st;
      error_report("S1252", st, 0);
      return;
    }
    f_trial = f[0];
    if (not_lower(f_trial, f_prev)) {
      t += h;
      cubic_taylor_step(&h, t, f, a, b);
      clamp_newton_step(&h, t, knots, n, k, &left, &direction);
      if (std::fabs(h) / range <= 1e-15) break;
      f_prev = f_trial;
    } else {
      h /= 2.0;
      if (std::fabs(h) / range <= 1e-15) break;
    }
  }
  *status = f_trial > tolerance ? 2 : 1;
  if (dequal(t, knots[left]))
    t = knots[left];
  else if (dequal(t, knots[left + 1]))
    t = knots[left + 1];
  *result = t;
}
