// Search for a point where two surfaces touch.

#include "spline/detail/isect/singular_points.h"

#include <cmath>
#include <memory>

#include "spline/detail/isect/newton.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

constexpr double kTangencyTol = 1e-11;
constexpr int kMaxIterations = 20;
constexpr double kZeroStep = 1e-15;
constexpr double kProjectionTol = 1e-15;

using PointHolder = std::unique_ptr<spline_point, decltype(&destroy_point)>;

// Both surfaces evaluated at one parameter point: A's block and normal, B's block
// followed by its normal.
struct pair_eval {
  double a[18];
  double na[3];
  double b[21];
};

double tangency_measure(const pair_eval& e) {
  double c[3];
  vec_cross(e.na, e.b + 18, c);
  int flag = 0;
  return vec_length(c, 3, &flag);
}

// The knot interval [knots[k], knots[k + 1]) of the range holding x (the last interval
// for x at the end of the range).
int knot_interval(const double* knots, int order, int vertex_count, double x) {
  int k = order - 1;
  while (k + 1 < vertex_count && knots[k + 1] <= x) ++k;
  return k;
}

}  // namespace

void clamp_step_to_box(double step[4], const double point[4], const double box[8]) {
  for (int i = 0; i < 4; ++i) {
    const double lo = box[2 * i], hi = box[2 * i + 1];
    if (point[i] + step[i] < lo)
      step[i] = lo - point[i];
    else if (point[i] + step[i] > hi)
      step[i] = hi - point[i];
  }
}

void tangency_step(double step[4], const double* a_derivs, const double* b_derivs_normal) {
  step[0] = step[1] = step[2] = step[3] = 0.0;
  const double *S = a_derivs, *Su = a_derivs + 3, *Sv = a_derivs + 6;
  const double *Suu = a_derivs + 9, *Suv = a_derivs + 12, *Svv = a_derivs + 15;
  const double *T = b_derivs_normal, *Ts = T + 3, *Tt = T + 6;
  const double *Tss = T + 9, *Tst = T + 12, *Ttt = T + 15, *N = T + 18;

  // How B's nearest point moves with A's parameters: differentiating
  // (S - T) . Ts = 0 and (S - T) . Tt = 0.
  double d[3];
  vec_diff(S, T, 3, d);
  double m[4] = {vec_dot(Tss, d, 3) - vec_dot(Ts, Ts, 3), vec_dot(Tst, d, 3) - vec_dot(Ts, Tt, 3),
                 vec_dot(Tst, d, 3) - vec_dot(Ts, Tt, 3), vec_dot(Ttt, d, 3) - vec_dot(Tt, Tt, 3)};
  int piv[2];
  int st = 0;
  s6lufacp(m, piv, 2, &st);
  if (st != 0) return;
  double ru[2] = {-vec_dot(Su, Ts, 3), -vec_dot(Su, Tt, 3)};
  double rv[2] = {-vec_dot(Sv, Ts, 3), -vec_dot(Sv, Tt, 3)};
  s6lusolp(m, ru, piv, 2, &st);
  if (st != 0) return;
  s6lusolp(m, rv, piv, 2, &st);
  if (st != 0) return;

  // Change of B's normal Ts x Tt along A's parameters.
  auto normal_rate = [&](double s_rate, double t_rate, double* out) {
    double tsx[3], ttx[3], c1[3], c2[3];
    for (int i = 0; i < 3; ++i) {
      tsx[i] = Tss[i] * s_rate + Tst[i] * t_rate;
      ttx[i] = Tst[i] * s_rate + Ttt[i] * t_rate;
    }
    vec_cross(tsx, Tt, c1);
    vec_cross(Ts, ttx, c2);
    for (int i = 0; i < 3; ++i) out[i] = c1[i] + c2[i];
  };
  double nu[3], nv[3];
  normal_rate(ru[0], ru[1], nu);
  normal_rate(rv[0], rv[1], nv);

  // Newton step for F = (Su . N, Sv . N) = 0.
  const double f[2] = {vec_dot(Su, N, 3), vec_dot(Sv, N, 3)};
  const double j[4] = {vec_dot(Su, nu, 3) + vec_dot(Suu, N, 3),
                       vec_dot(Su, nv, 3) + vec_dot(Suv, N, 3),
                       vec_dot(Sv, nu, 3) + vec_dot(Suv, N, 3),
                       vec_dot(Sv, nv, 3) + vec_dot(Svv, N, 3)};
  double lu[4] = {j[0], j[1], j[2], j[3]};
  double rhs[2] = {-f[0], -f[1]};
  s6lufacp(lu, piv, 2, &st);
  if (st == 0) s6lusolp(lu, rhs, piv, 2, &st);
  if (st == 0) {
    step[0] = rhs[0];
    step[1] = rhs[1];
    return;
  }
  // A singular system: a step along one parameter from the first non-zero entry.
  if (j[0] != 0.0)
    step[0] = -f[0] / j[0];
  else if (j[1] != 0.0)
    step[1] = -f[0] / j[1];
  else if (j[2] != 0.0)
    step[0] = -f[1] / j[2];
  else if (j[3] != 0.0)
    step[1] = -f[1] / j[3];
}

void shsing(const spline_surface* a, const spline_surface* b, const double box[8],
            const double start[4], double result[4], int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("shsing", code, 0);
  };
  *status = 0;
  if (a->dim != 3 || b->dim != 3) return fail(kErrDimensionMismatch);
  double range[4];
  for (int i = 0; i < 4; ++i) {
    range[i] = box[2 * i + 1] - box[2 * i];
    if (!(range[i] >= kTangencyTol)) return fail(-200);
  }
  // The point record shares A's current position for the projections onto B.
  double position[3] = {0.0, 0.0, 0.0};
  PointHolder probe(create_point(position, 3, 0), destroy_point);
  if (!probe) return fail(kErrMemory);
  const double low_b[2] = {box[4], box[6]}, high_b[2] = {box[5], box[7]};

  // Evaluates A at p's first two parameters, projects A's point onto B from p's last two
  // (which get the projection) and evaluates B there.
  auto evaluate = [&](double* p, pair_eval* e, bool with_b) {
    int l1 = 0, l2 = 0, st = 0;
    s1421(a, 2, p, &l1, &l2, e->a, e->na, &st);
    if (st < 0) return st;
    for (int i = 0; i < 3; ++i) position[i] = e->a[i];
    const double guess[2] = {p[2], p[3]};
    double res[2] = {p[2], p[3]};
    s1773(probe.get(), b, kProjectionTol, low_b, high_b, guess, res, &st);
    if (st < 0) return st;
    p[2] = res[0];
    p[3] = res[1];
    if (!with_b) return 0;
    st = 0;
    s1421(b, 2, p + 2, &l1, &l2, e->b, e->b + 18, &st);
    return st < 0 ? st : 0;
  };

  double p[4] = {start[0], start[1], start[2], start[3]};
  pair_eval cur;
  int st = evaluate(p, &cur, true);
  if (st < 0) return fail(st);
  double measure = tangency_measure(cur);
  double step[4];
  tangency_step(step, cur.a, cur.b);
  clamp_step_to_box(step, p, box);

  for (int it = 0; it < kMaxIterations; ++it) {
    double q[4] = {p[0] + step[0], p[1] + step[1], p[2], p[3]};
    pair_eval trial;
    st = evaluate(q, &trial, true);
    if (st < 0) return fail(st);
    const double trial_measure = tangency_measure(trial);
    if (trial_measure > measure) {
      for (double& s : step) s *= 0.5;
      continue;
    }
    for (int i = 0; i < 4; ++i) p[i] = q[i];
    cur = trial;
    measure = trial_measure;
    tangency_step(step, cur.a, cur.b);
    clamp_step_to_box(step, p, box);
    bool zero = true;
    for (int i = 0; i < 4; ++i) zero = zero && std::fabs(step[i]) <= kZeroStep * range[i];
    if (zero) {
      p[0] += step[0];
      p[1] += step[1];
      st = evaluate(p, &trial, false);
      if (st < 0) return fail(st);
      break;
    }
  }
  // The verdict belongs to the point handed back: the measure of the last accepted
  // point (a rejected trial says nothing about it).
  *status = measure <= kTangencyTol ? 1 : 0;

  // Parameters within the tolerance of a knot (inside the box) are put on it.
  for (int i = 0; i < 4; ++i) {
    const spline_surface* s = i < 2 ? a : b;
    const bool first = i % 2 == 0;
    const double* knots = first ? s->knots1 : s->knots2;
    const int order = first ? s->order1 : s->order2;
    const int count = first ? s->vertex_count1 : s->vertex_count2;
    const int k = knot_interval(knots, order, count, p[i]);
    const double near = kTangencyTol * range[i];
    const double lo = box[2 * i], hi = box[2 * i + 1];
    if (std::fabs(p[i] - knots[k]) < near && knots[k] >= lo && knots[k] <= hi)
      p[i] = knots[k];
    else if (std::fabs(p[i] - knots[k + 1]) < near && knots[k + 1] >= lo && knots[k + 1] <= hi)
      p[i] = knots[k + 1];
  }
  for (int i = 0; i < 4; ++i) result[i] = p[i];
}
