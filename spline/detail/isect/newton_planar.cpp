// Planar curve-curve iteration (s1770_2D): first-order steps to the crossing of the
// two tangent lines, second-order steps (Newton on the squared distance) when the
// points stay on one side of each other, halving, and, when the iteration stalls with a
// nearly singular system, a curvature test and a secant search along curve 1.

#include <cfloat>
#include <cmath>

#include "spline/curve_eval.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/newton_secant.h"
#include "spline/detail/isect/newton_work.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct PlanarWork {
  const spline_curve* curve1;
  const spline_curve* curve2;
  int dim;
  double end1, end2;
  double* c1;  // position, first and second derivative of curve 1
  double* c2;  // the same of curve 2
  double* diff;
  double* n1;
  double* n2;
  int left1 = 0, left2 = 0;
};

int eval_one(const spline_curve* c, int order, double x, double end, int* left, double* out) {
  int st = 0;
  if (x == end)
    S1227(c, order, x, left, out, &st);
  else
    s1221(c, order, x, left, out, &st);
  return st;
}

// Quarter-turned tangents (dimension 2; zero otherwise).
void form_normals(PlanarWork& w) {
  const int dim = w.dim;
  for (int i = 0; i < dim; ++i) w.n1[i] = w.n2[i] = 0.0;
  if (dim != 2) return;
  const double* d1 = w.c1 + dim;
  const double* d2 = w.c2 + dim;
  w.n1[0] = -d1[1];
  w.n1[1] = d1[0];
  w.n2[0] = -d2[1];
  w.n2[1] = d2[0];
}

int evaluate(PlanarWork& w, const double par[2], int order, double* distance, double step[2],
             double* det, bool* singular) {
  const int dim = w.dim;
  int st = eval_one(w.curve1, order, par[0], w.end1, &w.left1, w.c1);
  if (st >= 0) st = eval_one(w.curve2, order, par[1], w.end2, &w.left2, w.c2);
  if (st < 0) return st;
  form_normals(w);
  s1770_2D_s9dir(distance, w.diff, step, w.c1, w.c1 + dim, w.c1 + 2 * dim, w.c2, w.c2 + dim,
                 w.c2 + 2 * dim, dim, order == 2 ? 1 : 0, det, &st);
  if (st < 0) return st;
  *singular = st == 1;
  return 0;
}

int side_code(const PlanarWork& w) {
  const int a = vec_dot(w.diff, w.n2, w.dim) >= 0.0 ? 1 : -1;
  const int b = vec_dot(w.diff, w.n1, w.dim) >= 0.0 ? 10 : -10;
  return a + b;
}

}  // namespace

void s1770_2D_s9dir(double* distance, double* diff, double step[2], const double* c1,
                    const double* c1d, const double* c1dd, const double* c2, const double* c2d,
                    const double* c2dd, int dim, int second_order, double* det, int* status) {
  vec_diff(c1, c2, dim, diff);
  int flag = 0;
  *distance = vec_length(diff, dim, &flag);
  double m[4], b[2];
  if (!second_order && dim == 2) {
    m[0] = -c1d[0];
    m[1] = c2d[0];
    m[2] = -c1d[1];
    m[3] = c2d[1];
    b[0] = diff[0];
    b[1] = diff[1];
  } else {
    const double a = vec_dot(c1d, c1d, dim);
    const double bb = vec_dot(c2d, c2d, dim);
    const double c = vec_dot(c1d, c2d, dim);
    const double g1 = second_order ? vec_dot(diff, c1dd, dim) : 0.0;
    const double g2 = second_order ? vec_dot(diff, c2dd, dim) : 0.0;
    m[0] = -a - g1;
    m[1] = c;
    m[2] = -c;
    m[3] = bb - g2;
    b[0] = vec_dot(diff, c1d, dim);
    b[1] = vec_dot(diff, c2d, dim);
  }
  *det = m[0] * m[3] - m[1] * m[2];
  step[0] = step[1] = 0.0;
  *status = 0;
  if (std::fabs(*det) < 1e-16) {
    *status = 1;
    return;
  }
  double x[2];
  const int st = newton_detail::solve_refined(m, b, 2, x);
  if (st < 0) {
    *status = st;
    error_report("s1770_2D_s9dir", st, 0);
    return;
  }
  if (st != 0) {
    *status = 1;
    return;
  }
  step[0] = x[0];
  step[1] = x[1];
}

int s1770_2D_s6local_pretop(double distance, const double* diff, const double* /*normal2*/,
                            const double* /*c1*/, const double* c1d, const double* c1dd,
                            const double* /*c2*/, const double* c2d, const double* c2dd, int dim,
                            int* status) {
  *status = 0;
  if (dim != 2) {
    *status = kErrMemory;
    error_report("s1770_2D_s6local_pretop", *status, 0);
    return 0;
  }
  const double a = vec_dot(c1dd, diff, 2);
  const double b = vec_dot(c2dd, diff, 2);
  if ((a < 0.0 && b > 0.0) || (a > 0.0 && b < 0.0)) return 1;
  auto radius = [](const double* d, const double* dd) {
    const double cross = std::fabs(d[0] * dd[1] - dd[0] * d[1]);
    if (cross < 1e-15) return 0.0;
    const double speed = std::hypot(d[0], d[1]);
    return speed * speed * speed / cross;
  };
  const double r1 = radius(c1d, c1dd);
  const double r2 = radius(c2d, c2dd);
  if ((a < 0.0 || b < 0.0) && r2 + distance < r1) return 1;
  if ((a > 0.0 || b > 0.0) && r1 + distance < r2) return 1;
  return 0;
}

void s1770_2D_s6sekant1(const spline_curve* curve1, const spline_curve* curve2, double par[2],
                        double step1, double* distance, double aepsge, double start1,
                        double start2, double end1, double end2, int* status) {
  *status = 0;
  const int dim = curve1->dim;
  if (dim != curve2->dim || dim != 2) {
    *status = kErrDimensionMismatch;
    error_report("s1770_2D_s6sekant1", *status, 0);
    return;
  }
  double p1[2], p2[4], d[2];
  spline_point* point = create_point(p1, dim, 0);
  if (!point) {
    *status = kErrMemory;
    error_report("s1770_2D_s6sekant1", *status, 0);
    return;
  }
  int left1 = 0, left2 = 0;
  auto probe = [&](double x) {
    newton_detail::ProbeResult r;
    int st = 0;
    s1221(curve1, 0, x, &left1, p1, &st);
    if (st < 0) {
      r.status = st;
      return r;
    }
    double t2 = par[1];
    st = 0;  // the full iteration budget of the projection
    s1771(point, curve2, aepsge, start2, end2, par[1], &t2, &st);
    if (st < 0) {
      r.status = st;
      return r;
    }
    par[1] = t2;
    s1221(curve2, 1, t2, &left2, p2, &st);
    if (st < 0) {
      r.status = st;
      return r;
    }
    double normal[2] = {-p2[3], p2[2]};
    int nonzero = 0;
    vec_normalize(normal, 2, normal, &nonzero);
    vec_diff(p2, p1, 2, d);
    *distance = std::hypot(d[0], d[1]);
    r.f = vec_dot(normal, d, 2);
    r.stop = !nonzero || *distance < aepsge;
    return r;
  };
  const newton_detail::SecantRules rules{0.6, 25, true, true};
  const double length = curve1->knots[curve1->vertex_count] - curve1->knots[curve1->order - 1];
  double t = par[0];
  int st = 0;
  newton_detail::secant_search(probe, par[0], step1, start1, end1, length, rules, &t, &st);
  destroy_point(point);
  if (st < 0) {
    *status = st;
    error_report("s1770_2D_s6sekant1", st, 0);
    return;
  }
  par[0] = t;
  *status = st;
}

void s1770_2D(const spline_curve* curve1, const spline_curve* curve2, double aepsge,
              double start1, double start2, double end1, double end2, double guess1,
              double guess2, double* result1, double* result2, int* status) {
  const int mode = *status;
  const int max_passes = mode == 0 ? 20 : 10;
  const int dim = curve1->dim;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1770_2D", code, 0);
  };
  if (dim != curve2->dim) return fail(kErrDimensionMismatch);
  constexpr int kWidth = 10;
  newton_detail::WorkBlock<kWidth> block(dim);
  double* mem = block.get();
  if (!mem) return fail(kErrMemory);
  PlanarWork w{};
  w.curve1 = curve1;
  w.curve2 = curve2;
  w.dim = dim;
  w.end1 = end1;
  w.end2 = end2;
  w.c1 = mem;
  w.c2 = mem + 3 * dim;
  w.diff = mem + 6 * dim;
  w.n1 = mem + 7 * dim;
  w.n2 = mem + 8 * dim;

  const double len[2] = {curve1->knots[curve1->vertex_count] - curve1->knots[curve1->order - 1],
                         curve2->knots[curve2->vertex_count] - curve2->knots[curve2->order - 1]};
  const double lo[2] = {start1, start2};
  const double hi[2] = {end1, end2};
  double par[2] = {guess1, guess2};
  double step[2] = {0.0, 0.0}, full[2] = {0.0, 0.0}, new_step[2];
  int boundary = 0, halving = 0, singular_count = 0;
  bool no_switch = false;
  auto clamp = [&](double* s) { newton_detail::clamp_step(par, lo, hi, 2, s, &boundary); };
  auto converged = [&](const double* s) {
    return std::fabs(s[0]) / std::fmax(par[0], len[0]) <= 1e-15 &&
           std::fabs(s[1]) / std::fmax(par[1], len[1]) <= 1e-15;
  };

  int order = 1;
  double distance = 0.0, det = 0.0;
  bool singular = false, stall = false, finish = false;
  int st = 0;
  if ((st = evaluate(w, par, order, &distance, new_step, &det, &singular)) < 0) return fail(st);
  if (singular) {
    order = 2;
    if ((st = evaluate(w, par, order, &distance, new_step, &det, &singular)) < 0) return fail(st);
    if (singular) {
      if (distance > aepsge)
        stall = true;
      else
        finish = true;
    }
  }
  if (!stall && !finish) {
    int side = side_code(w);
    full[0] = step[0] = new_step[0];
    full[1] = step[1] = new_step[1];
    clamp(step);
    double previous = distance;
    for (int pass = 0; pass < max_passes; ++pass) {
      par[0] += step[0];
      par[1] += step[1];
      if ((st = evaluate(w, par, order, &distance, new_step, &det, &singular)) < 0)
        return fail(st);
      int new_side = 0;
      bool same = false, steady = false;
      for (;;) {
        if (singular) {
          ++singular_count;
          if (order == 2) {
            (distance > aepsge ? stall : finish) = true;
            break;
          }
          order = 2;
          if ((st = evaluate(w, par, order, &distance, new_step, &det, &singular)) < 0)
            return fail(st);
          continue;
        }
        new_side = side_code(w);
        same = new_side + side != 0;
        steady = full[0] * new_step[0] >= 0.0 && full[1] * new_step[1] >= 0.0;
        if (order == 1 && same && (!steady || distance > 0.4 * previous) && !no_switch) {
          if (mode == 0) halving = 0;
          order = 2;
          if ((st = evaluate(w, par, order, &distance, new_step, &det, &singular)) < 0)
            return fail(st);
          continue;
        }
        if (order == 2 && !same) {
          if (singular_count != 0) {
            (distance > aepsge ? stall : finish) = true;
            break;
          }
          halving = 0;
          order = 1;
          if ((st = evaluate(w, par, order, &distance, new_step, &det, &singular)) < 0)
            return fail(st);
          continue;
        }
        break;
      }
      if (stall || finish) break;
      no_switch = false;
      singular_count = 0;
      if (boundary != 0 && (!steady || !same)) boundary = 0;
      if (distance < previous || steady) {
        side = new_side;
        full[0] = step[0] = new_step[0];
        full[1] = step[1] = new_step[1];
        clamp(step);
        previous = distance;
        if (boundary > 2 || converged(step)) break;
        halving = 0;
        if (boundary > 1 && order == 2) {
          order = 1;
          no_switch = true;
        }
        continue;
      }
      // Rejected: end back at the last accepted point, or halve the step.
      bool end = boundary > 2 || converged(step) ||
                 (distance > previous && halving > (mode == 0 ? 5 : 3));
      par[0] -= step[0];
      par[1] -= step[1];
      if (end) {
        if ((st = evaluate(w, par, order, &distance, new_step, &det, &singular)) < 0)
          return fail(st);
        break;
      }
      ++halving;
      step[0] /= 2.0;
      step[1] /= 2.0;
    }
    if (!stall && !finish && dim == 2 && std::fabs(det) < 0.1) {
      stall = true;
      if (order == 1) {
        order = 2;
        if ((st = evaluate(w, par, order, &distance, new_step, &det, &singular)) < 0)
          return fail(st);
      }
    }
  }
  if (stall && mode == 0 && distance > aepsge && dim == 2) {
    const int apart = s1770_2D_s6local_pretop(distance, w.diff, w.n2, w.c1, w.c1 + dim,
                                              w.c1 + 2 * dim, w.c2, w.c2 + dim, w.c2 + 2 * dim,
                                              dim, &st);
    if (st < 0) return fail(st);
    if (apart == 0) {
      s1770_2D_s6sekant1(curve1, curve2, par, full[0], &distance, aepsge, start1, start2, end1,
                         end2, &st);
      if (st < 0) return fail(st);
    }
  }
  // The verdict from the tangents at the result itself.
  if ((st = evaluate(w, par, 1, &distance, new_step, &det, &singular)) < 0) return fail(st);
  if (distance <= aepsge) {
    *status = 1;
  } else {
    const bool normal1 = kPi / 2.0 - vec_angle(w.c1 + dim, w.diff, dim) < 0.01;
    const bool normal2 = kPi / 2.0 - vec_angle(w.c2 + dim, w.diff, dim) < 0.01;
    *status = normal1 && normal2 ? 3 : 2;
  }
  *result1 = par[0];
  *result2 = par[1];
}
