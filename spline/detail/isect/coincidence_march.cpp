// Coincidence marching of two curves, and of a curve lying in a surface, from a common
// point.

#include "spline/detail/isect/coincidence_march.h"

#include <cmath>
#include <memory>

#include "spline/boxes.h"
#include "spline/curve_eval.h"
#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/coincidence_internal.h"
#include "spline/detail/isect/newton.h"
#include "spline/isocurve.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

using coincidence_detail::box_extent;
using coincidence_detail::constant_param_curve;
using coincidence_detail::curvature_step;
using coincidence_detail::PointHolder;

// Parameter step of a space step along a curve moving at the given speed.
double param_step(double space_step, double speed, double largest) {
  const double h = speed > 0.0 ? space_step / speed : 1e-12;
  return std::fmin(h, largest);
}

// The next knot in the marching direction from the interval index of the evaluator
// (right-hand forwards: t[left] <= x < t[left + 1]; left-hand backwards).
double next_knot(const spline_curve* c, int left, int dir) {
  return dir > 0 ? c->knots[left + 1] : c->knots[left];
}

// Cuts a parameter step at the knot when it would step over it.
bool cut_at_knot(double t, int dir, double knot, double* step) {
  if (dir * (knot - t) > 1e-12 && dir * (t + dir * *step - knot) > 1e-12) {
    *step = std::fabs(knot - t);
    return true;
  }
  return false;
}

// x moved towards the end, never past it.
double toward(double x, int dir, double end) {
  return dir > 0 ? std::fmin(x, end) : std::fmax(x, end);
}

bool short_of(double x, int dir, double end) { return dir * end > dir * x; }

}  // namespace

void eval_project_curve(curve_evaluator eval_a, curve_evaluator eval_b, const spline_curve* a,
                        const spline_curve* b, int der, double epsge, double par_a, int* left_a,
                        double* derivs_a, double start_b, double* par_b, int* left_b,
                        double* derivs_b, int* status) {
  *status = 0;
  int st = 0;
  eval_a(a, der, par_a, left_a, derivs_a, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  PointHolder point(create_point(derivs_a, a->dim, 1), destroy_point);
  if (!point) {
    *status = kErrMemory;
    return;
  }
  st = 0;  // the full iteration budget
  s1771(point.get(), b, epsge, b->knots[b->order - 1], b->knots[b->vertex_count], start_b, par_b,
        &st);
  if (st < 0) {
    *status = st;
    return;
  }
  st = 0;
  eval_b(b, der, *par_b, left_b, derivs_b, &st);
  if (st < 0) *status = st;
}

void sh1783(const spline_curve* curve1, const spline_curve* curve2, double epsge,
            const double start[2], int dir1, int dir2, double last[2], double first_separate[2],
            int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh1783", code, 0);
  };
  *status = 0;
  const int dim = curve1->dim;
  if (dim != curve2->dim || dim > 3 || dim < 1) return fail(kErrDimensionNotAccepted);
  int st = 0;
  // The boxes are caches of the records, filled on demand.
  curve_box(const_cast<spline_curve*>(curve1), 0, epsge, &st);
  if (st < 0) return fail(st);
  curve_box(const_cast<spline_curve*>(curve2), 0, epsge, &st);
  if (st < 0) return fail(st);
  const double size[2] = {box_extent(curve1->box), box_extent(curve2->box)};

  const spline_curve* c[2] = {curve1, curve2};
  const int dir[2] = {dir1 >= 0 ? 1 : -1, dir2 >= 0 ? 1 : -1};
  double t[2], end[2], hmax[2];
  curve_evaluator eval[2];
  const int k = curve1->order > curve2->order ? curve1->order : curve2->order;
  for (int i = 0; i < 2; ++i) {
    const double a = c[i]->knots[c[i]->order - 1], b = c[i]->knots[c[i]->vertex_count];
    t[i] = std::fmin(std::fmax(start[i], a), b);
    end[i] = dir[i] > 0 ? b : a;
    eval[i] = dir[i] > 0 ? s1221 : S1227;
    hmax[i] = std::fabs(end[i] - t[i]) / (k * k);
  }
  int left[2] = {0, 0};
  double derivs[2][9];
  bool separated = false, stopped = false;
  double separate[2] = {0.0, 0.0};

  for (int steps = 0; short_of(t[0], dir[0], end[0]) && short_of(t[1], dir[1], end[1]); ++steps) {
    if (steps >= kCoincidenceMarchStepLimit) {
      stopped = true;
      break;
    }
    double length[2], speed[2];
    for (int i = 0; i < 2; ++i) {
      eval[i](c[i], 2, t[i], &left[i], derivs[i], &st);
      if (st < 0) return fail(st);
      // Each curve's step is bounded by the other curve's size.
      if ((st = curvature_step(derivs[i], dim, epsge, size[1 - i], &length[i])) < 0)
        return fail(st);
      int f = 0;
      speed[i] = vec_length(derivs[i] + dim, dim, &f);
    }
    const double space = std::fmin(length[0], length[1]);
    int lead = length[1] > length[0] ? 1 : 0;
    double h[2] = {param_step(space, speed[0], hmax[0]), param_step(space, speed[1], hmax[1])};
    for (int i = 0; i < 2; ++i) {
      if (cut_at_knot(t[i], dir[i], next_knot(c[i], left[i], dir[i]), &h[i])) {
        h[1 - i] = param_step(h[i] * speed[i], speed[1 - i], hmax[1 - i]);
        lead = i;
      }
    }
    const int other = 1 - lead;
    double next[2], mid[2];
    for (int i = 0; i < 2; ++i) {
      next[i] = toward(t[i] + dir[i] * h[i], dir[i], end[i]);
      mid[i] = 0.5 * (t[i] + next[i]);
    }
    // Midpoint first, then the end of the step: the leading curve's point projected onto
    // the other curve.  The end of the range is checked as well.
    double found = t[other];
    for (const double* trial : {mid, next}) {
      double pl[3], po[3], value = 0.0;
      int left_other = left[other];
      eval_project_curve(eval[lead], eval[other], c[lead], c[other], 0, epsge, trial[lead],
                         &left[lead], pl, trial[other], &value, &left_other, po, &st);
      if (st < 0) return fail(st);
      if (vec_dist(pl, po, dim) > epsge) {
        separated = true;
        separate[lead] = trial[lead];
        separate[other] = value;
        break;
      }
      found = value;
    }
    if (separated) break;
    const double before[2] = {t[0], t[1]};
    t[lead] = next[lead];
    // The other curve follows the projection, never backwards.
    t[other] = dir[other] > 0 ? std::fmax(found, t[other]) : std::fmin(found, t[other]);
    if (t[0] == before[0] && t[1] == before[1]) {
      stopped = true;
      break;
    }
  }

  last[0] = t[0];
  last[1] = t[1];
  if (separated) {
    first_separate[0] = separate[0];
    first_separate[1] = separate[1];
    *status = 0;
    return;
  }
  first_separate[0] = t[0];
  first_separate[1] = t[1];
  if (stopped) {
    *status = kCurvePairMarchStopped;
    return;
  }
  const bool at1 = !short_of(t[0], dir[0], end[0]);
  const bool at2 = !short_of(t[1], dir[1], end[1]);
  *status = at1 && at2 ? 3 : (at2 ? 2 : 1);
}

void sh1784(const spline_curve* curve, const spline_surface* surface, double epsge,
            const double start[3], int curve_place, int dir, double last[3],
            double first_separate[3], int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh1784", code, 0);
  };
  *status = 0;
  if (curve->dim != 3 || surface->dim != 3) return fail(kErrDimensionNotAccepted);
  int st = 0;
  surface_box(const_cast<spline_surface*>(surface), 0, epsge, &st);
  if (st < 0) return fail(st);
  curve_box(const_cast<spline_curve*>(curve), 0, epsge, &st);
  if (st < 0) return fail(st);
  const double size = box_extent(surface->box);

  const double* k1 = surface->knots1;
  const double* k2 = surface->knots2;
  const double lo[2] = {k1[surface->order1 - 1], k2[surface->order2 - 1]};
  const double hi[2] = {k1[surface->vertex_count1], k2[surface->vertex_count2]};
  const double ta = curve->knots[curve->order - 1], tb = curve->knots[curve->vertex_count];
  const double span = std::fmax(tb - ta, std::fmax(hi[0] - lo[0], hi[1] - lo[1]));
  auto same = [&](double a, double b) { return dequal_off(a, b, span); };

  double t, uv[2];
  if (curve_place == 1) {
    t = start[0];
    uv[0] = start[1];
    uv[1] = start[2];
  } else {
    uv[0] = start[0];
    uv[1] = start[1];
    t = start[2];
  }
  auto put = [&](double* out, double tt, const double* puv) {
    if (curve_place == 1) {
      out[0] = tt;
      out[1] = puv[0];
      out[2] = puv[1];
    } else {
      out[0] = puv[0];
      out[1] = puv[1];
      out[2] = tt;
    }
  };
  dir = dir >= 0 ? 1 : -1;
  t = std::fmin(std::fmax(t, ta), tb);
  const double end = dir > 0 ? tb : ta;
  const curve_evaluator eval = dir > 0 ? s1221 : S1227;
  int k = curve->order;
  if (surface->order1 > k) k = surface->order1;
  if (surface->order2 > k) k = surface->order2;
  const double hmax = std::fabs(end - t) / (k * k);
  const double t_start = t;

  double cd[9], sd[9], normal[3];
  int left = 0, sl[2] = {0, 0};
  auto eval_curve = [&](double x, double* out) {
    int e = 0;
    eval(curve, 2, x, &left, out, &e);
    return e;
  };
  auto eval_surface = [&](const double* puv) {
    int e = 0;
    s1421(surface, 1, puv, &sl[0], &sl[1], sd, normal, &e);
    return e < 0 ? e : 0;
  };
  double origin[3] = {0.0, 0.0, 0.0};
  PointHolder probe(create_point(origin, 3, 1), destroy_point);
  if (!probe) return fail(kErrMemory);
  // Projection of the curve point pos onto the surface from the guess; the surface is
  // evaluated at the projection.
  auto project = [&](const double* pos, const double* guess, double* out) {
    for (int m = 0; m < 3; ++m) probe->coords[m] = pos[m];
    int e = 0;
    s1773(probe.get(), surface, epsge, lo, hi, guess, out, &e);
    if (e < 0) return e;
    return eval_surface(out);
  };
  auto outside = [&](const double* puv) {
    return puv[0] <= lo[0] || puv[0] >= hi[0] || puv[1] <= lo[1] || puv[1] >= hi[1];
  };

  if ((st = eval_curve(t, cd)) < 0) return fail(st);
  if ((st = eval_surface(uv)) < 0) return fail(st);
  double kept_t = t, kept_uv[2] = {uv[0], uv[1]};
  auto finish = [&](int code, double sep_t, const double* sep_uv) {
    put(last, kept_t, kept_uv);
    put(first_separate, sep_t, sep_uv);
    *status = code;
  };

  for (int steps = 0;; ++steps) {
    if (!short_of(t, dir, end)) return finish(1, kept_t, kept_uv);
    if (steps >= kCoincidenceMarchStepLimit) {
      kept_t = t;
      kept_uv[0] = uv[0];
      kept_uv[1] = uv[1];
      return finish(kCurveSurfaceMarchStopped, t, uv);
    }
    kept_t = t;
    kept_uv[0] = uv[0];
    kept_uv[1] = uv[1];
    double tangent[3] = {cd[3], cd[4], cd[5]};
    const int kept_sl[2] = {sl[0], sl[1]};

    double space = 0.0;
    if ((st = curvature_step(cd, 3, epsge, size, &space)) < 0) return fail(st);
    int f = 0;
    double h = param_step(space, vec_length(cd + 3, 3, &f), hmax);
    cut_at_knot(t, dir, next_knot(curve, left, dir), &h);
    double t_next = toward(t + dir * h, dir, end);
    double m = 0.5 * (t + t_next);
    const bool first_step = same(t, t_start);

    bool crossed = false;
    for (int trial = 0; trial < 2 && !crossed; ++trial) {
      if ((st = eval_curve(m, cd)) < 0) return fail(st);
      if (!(first_step && trial == 0)) {
        // A reversed tangent means the step went past a turn of the curve: shorten it.
        for (int shrink = 0; shrink < 60 && vec_dot(cd + 3, tangent, 3) < 0.0; ++shrink) {
          if (trial == 0) {
            t_next = m;
            m = 0.5 * (t + m);
          } else {
            t_next = t + 0.75 * (t_next - t);
            m = t_next;
          }
          if ((st = eval_curve(m, cd)) < 0) return fail(st);
        }
      }
      double puv[2];
      if ((st = project(cd, kept_uv, puv)) < 0) return fail(st);
      if (outside(puv)) return finish(2, m, puv);
      if (vec_dist(cd, sd, 3) > epsge) return finish(0, m, puv);

      // A knot line of the surface crossed since the start of the step: the crossing on
      // the knot's constant-parameter curve becomes the end of the step, and the
      // shortened step is checked at its middle and its end.
      for (int d = 0; d < 2 && !crossed; ++d) {
        const double* knots = d == 0 ? k1 : k2;
        const int p = kept_sl[d], q = sl[d];
        if (p == q) continue;
        const double prev = kept_uv[d], now = puv[d];
        if (q == p + 1 && (same(now, knots[q]) || same(prev, knots[q]))) continue;
        if (q == p - 1 && (same(now, knots[p]) || same(prev, knots[p]))) continue;
        double knot = q > p ? knots[p + 1] : knots[p];
        if (q < p && prev == knots[p] && p > 0) knot = knots[p - 1];
        CurveHandle iso = constant_param_curve(surface, d, knot, &st);
        if (st < 0) return fail(st);
        const int free_dir = 1 - d;
        const double* free_knots = free_dir == 0 ? k1 : k2;
        const double guess_free =
            0.5 * (free_knots[sl[free_dir]] + free_knots[sl[free_dir] + 1]);
        double tc = 0.0, wc = 0.0;
        st = 0;
        s1770(curve, iso.get(), epsge, std::fmin(t, m), lo[free_dir], std::fmax(t, m),
              hi[free_dir], 0.5 * (t + m), guess_free, &tc, &wc, &st);
        if (st < 0) return fail(st);
        const int crossing_status = st;
        const bool at_start = std::fabs(tc - t) <= 1e-12;
        if (!at_start) t_next = tc;
        double cuv[2];
        cuv[d] = knot;
        cuv[free_dir] = wc;
        // The middle of the shortened step.
        double mid_uv[2];
        if ((st = eval_curve(0.5 * (t + t_next), cd)) < 0) return fail(st);
        if ((st = project(cd, kept_uv, mid_uv)) < 0) return fail(st);
        if (vec_dist(cd, sd, 3) > epsge) return finish(0, 0.5 * (t + t_next), mid_uv);
        // Its end, at the crossing unless the iteration did not find one.
        if ((st = eval_curve(t_next, cd)) < 0) return fail(st);
        if (crossing_status == 2 || at_start) {
          if ((st = project(cd, kept_uv, cuv)) < 0) return fail(st);
        } else if ((st = eval_surface(cuv)) < 0) {
          return fail(st);
        }
        if (vec_dist(cd, sd, 3) > epsge) return finish(0, t_next, cuv);
        puv[0] = cuv[0];
        puv[1] = cuv[1];
        crossed = true;
      }
      uv[0] = puv[0];
      uv[1] = puv[1];
      tangent[0] = cd[3];
      tangent[1] = cd[4];
      tangent[2] = cd[5];
      m = t_next;
    }
    if (t_next == t) return finish(kCurveSurfaceMarchStopped, t, uv);
    t = t_next;
    if ((st = eval_curve(t, cd)) < 0) return fail(st);
  }
}
