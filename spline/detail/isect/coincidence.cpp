// Coincidence tests of a curve against a surface and of two curves.

#include "spline/detail/isect/coincidence.h"

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

double curve_start(const spline_curve* c) { return c->knots[c->order - 1]; }
double curve_end(const spline_curve* c) { return c->knots[c->vertex_count]; }

// Equality of parameters with the offset W.
bool same_param(double a, double b, double w) { return dequal_off(a, b, w); }

}  // namespace

void S1786(const spline_curve* curve1, const spline_curve* curve2, double aepsge,
           const double point1[2], const double point2[2], int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("S1786", code, 0);
  };
  const int dim = curve1->dim;
  if (dim != curve2->dim || dim > 3 || dim < 1) return fail(kErrDimensionNotAccepted);
  const double a1 = curve_start(curve1), b1 = curve_end(curve1);
  const double a2 = curve_start(curve2), b2 = curve_end(curve2);
  const double tau = 1e-12 * (std::fmax(std::fabs(a1), std::fabs(b1)) +
                              std::fmax(std::fabs(a2), std::fabs(b2)));
  // The boxes are caches of the records, filled on demand.
  int st = 0;
  curve_box(const_cast<spline_curve*>(curve1), 0, aepsge, &st);
  if (st < 0) return fail(st);
  curve_box(const_cast<spline_curve*>(curve2), 0, aepsge, &st);
  if (st < 0) return fail(st);
  const double extent1 = box_extent(curve1->box), extent2 = box_extent(curve2->box);

  const double* first = point1;
  const double* last = point2;
  if (!(point1[0] < point2[0])) {
    first = point2;
    last = point1;
  }
  double t = std::fmax(first[0], a1), t_end = std::fmin(last[0], b1);
  const int dir = last[1] >= first[1] ? 1 : -1;
  auto clamp2 = [&](double s) { return s < a2 ? a2 : (s > b2 ? b2 : s); };
  double s = clamp2(first[1]), s_end = clamp2(last[1]);
  const double t_start = t, s_start = s;
  const int k = curve1->order > curve2->order ? curve1->order : curve2->order;
  const double hmax1 = (t_end - t) / (k * k);
  const double hmax2 = std::fabs(s_end - s) / (k * k);

  double origin[3] = {0.0, 0.0, 0.0};
  PointHolder probe(create_point(origin, dim, 1), destroy_point);
  if (!probe) return fail(kErrMemory);

  double d1[9], d2[9];
  int left1 = 0, left2 = 0;
  auto eval2 = [&](double x, int der, double* out) {
    int e = 0;
    if (dir > 0)
      s1221(curve2, der, x, &left2, out, &e);
    else
      S1227(curve2, der, x, &left2, out, &e);
    return e;
  };
  auto s_short = [&](double x) { return dir > 0 ? x < s_end : x > s_end; };

  // Projects the leading curve's point at x onto the other curve from guess; returns
  // the other curve's parameter and whether the two points stay within aepsge.
  auto check = [&](int lead, double x, double guess, double* other, bool* close) {
    double pl[9], po[9];
    int e = 0;
    if (lead == 1)
      s1221(curve1, 0, x, &left1, pl, &e);
    else
      e = eval2(x, 0, pl);
    if (e < 0) return e;
    for (int m = 0; m < dim; ++m) probe->coords[m] = pl[m];
    e = 0;  // the full iteration budget
    if (lead == 1)
      s1771(probe.get(), curve2, aepsge, a2, b2, guess, other, &e);
    else
      s1771(probe.get(), curve1, aepsge, a1, b1, guess, other, &e);
    if (e < 0) return e;
    if (lead == 1)
      e = eval2(*other, 0, po);
    else
      s1221(curve1, 0, *other, &left1, po, &e);
    if (e < 0) return e;
    *close = vec_dist(pl, po, dim) <= aepsge;
    return 0;
  };

  while (t < t_end && s_short(s)) {
    s1221(curve1, 2, t, &left1, d1, &st);
    if (st >= 0) st = eval2(s, 2, d2);
    if (st < 0) return fail(st);
    double l1 = 0, l2 = 0;
    if ((st = curvature_step(d1, dim, aepsge, extent2, &l1)) < 0) return fail(st);
    if ((st = curvature_step(d2, dim, aepsge, extent1, &l2)) < 0) return fail(st);
    double len = std::fmin(l1, l2);
    int lead = l1 <= l2 ? 1 : 2;
    int f = 0;
    const double speed1 = vec_length(d1 + dim, dim, &f);
    const double speed2 = vec_length(d2 + dim, dim, &f);
    // A curve standing still (zero derivative) divides by tau instead.
    double dt = std::fmin(len / (speed1 > 0.0 ? speed1 : tau), hmax1);
    double ds = std::fmin(len / (speed2 > 0.0 ? speed2 : tau), hmax2);
    const double knot = curve1->knots[left1 + 1];
    if (knot > t + tau && t + dt > knot + tau) {
      dt = knot - t;
      len = dt * speed1;
      ds = std::fmin(len / (speed2 > 0.0 ? speed2 : tau), hmax2);
      lead = 1;
    }
    double other = lead == 1 ? s : t;
    bool close = true;
    for (double frac : {0.5, 1.0}) {
      double x, guess;
      if (lead == 1) {
        x = std::fmin(t + frac * dt, t_end);
        guess = frac == 1.0 ? other : s + dir * frac * ds;
      } else {
        x = s + dir * frac * ds;
        x = dir > 0 ? std::fmin(x, s_end) : std::fmax(x, s_end);
        guess = frac == 1.0 ? other : t + frac * dt;
      }
      if ((st = check(lead, x, guess, &other, &close)) < 0) return fail(st);
      if (!close) {
        *status = 0;
        return;
      }
    }
    const double old_t = t, old_s = s;
    if (lead == 1) {
      t = std::fmin(t + dt, t_end);
      s = other;
    } else {
      s = s + dir * ds;
      s = dir > 0 ? std::fmin(s, s_end) : std::fmax(s, s_end);
      t = other;
    }
    if (t == old_t && s == old_s) break;  // no progress: give up below
  }
  const bool reached = !(t < t_end) || !s_short(s);
  *status = (reached && !dequal(t_start, t_end) && !dequal(s_start, s_end)) ? 1 : 0;
}

void S1785(const spline_curve* curve, const spline_surface* surface, double aepsge,
           const double point1[3], const double point2[3], int curve_first, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("S1785", code, 0);
  };
  *status = 0;
  if (curve->dim != 3 || surface->dim != 3) return fail(kErrDimensionNotAccepted);
  int st = 0;
  curve_box(const_cast<spline_curve*>(curve), 0, aepsge, &st);
  if (st < 0) return fail(st);
  surface_box(const_cast<spline_surface*>(surface), 0, aepsge, &st);
  if (st < 0) return fail(st);
  const double surface_extent = box_extent(surface->box);
  const double ta = curve_start(curve), tb = curve_end(curve);
  const double* k1 = surface->knots1;
  const double* k2 = surface->knots2;
  const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  const double lo[2] = {k1[surface->order1 - 1], k2[surface->order2 - 1]};
  const double hi[2] = {k1[n1], k2[n2]};
  const double w = std::fmax(tb - ta, std::fmax(hi[0] - lo[0], hi[1] - lo[1]));

  auto parse = [&](const double* p, double* t, double* uv) {
    if (curve_first) {
      *t = p[0];
      uv[0] = p[1];
      uv[1] = p[2];
    } else {
      uv[0] = p[0];
      uv[1] = p[1];
      *t = p[2];
    }
  };
  double t1, t2, uv1[2], uv2[2];
  parse(point1, &t1, uv1);
  parse(point2, &t2, uv2);
  double t, t_end, uv[2];
  if (t1 < t2) {
    t = t1;
    t_end = t2;
    uv[0] = uv1[0];
    uv[1] = uv1[1];
  } else {
    t = t2;
    t_end = t1;
    uv[0] = uv2[0];
    uv[1] = uv2[1];
  }
  t = std::fmax(t, ta);
  t_end = std::fmin(t_end, tb);
  if (dequal(t, t_end)) return;
  int k = curve->order;
  if (surface->order1 > k) k = surface->order1;
  if (surface->order2 > k) k = surface->order2;
  const double hmax = (t_end - t) / (k * k);

  double cd[9], pos[3], sd[9], normal[3];
  PointHolder probe(create_point(pos, 3, 0), destroy_point);
  if (!probe) return fail(kErrMemory);
  int left = 0, sl1 = 0, sl2 = 0;

  const double* surface_knots[2] = {k1, k2};
  const int surface_order[2] = {surface->order1, surface->order2};
  // Distance of the curve at x from its projection onto the surface (from guess uv,
  // which receives the projection).
  auto projected_gap = [&](double x, double* puv, double* gap) {
    int e = 0;
    s1221(curve, 0, x, &left, pos, &e);
    if (e < 0) return e;
    auto project = [&](const double* guess, double* res, double* g) {
      int e2 = 0;
      s1773(probe.get(), surface, aepsge, lo, hi, guess, res, &e2);
      if (e2 < 0) return e2;
      s1421(surface, 0, res, &sl1, &sl2, sd, normal, &e2);
      if (e2 < 0) return e2;
      *g = vec_dist(pos, sd, 3);
      return 0;
    };
    double res[2];
    if ((e = project(puv, res, gap)) < 0) return e;
    // A guess on an inner knot line sees the surface piece above the knot (right-hand
    // evaluation); where the surface bends at that knot line and the curve leaves it
    // downwards, the iteration stalls on the knot.  Try again from inside the piece
    // below.
    for (int d = 0; d < 2 && *gap > aepsge; ++d) {
      const double* kn = surface_knots[d];
      const int count = d == 0 ? n1 : n2;
      for (int i = surface_order[d]; i < count; ++i) {
        if (!same_param(puv[d], kn[i], w) || !(kn[i] > lo[d])) continue;
        int j = i;
        while (j > 0 && kn[j - 1] == kn[i]) --j;
        double guess[2] = {puv[0], puv[1]};
        guess[d] = 0.5 * (kn[j - 1] + kn[i]);
        double other[2], g = 0;
        if ((e = project(guess, other, &g)) < 0) return e;
        if (g < *gap) {
          *gap = g;
          res[0] = other[0];
          res[1] = other[1];
        }
        break;
      }
    }
    puv[0] = res[0];
    puv[1] = res[1];
    return 0;
  };
  // Direct distance between the curve at x and the surface at puv.
  auto direct_gap = [&](double x, const double* puv, double* gap) {
    int e = 0;
    s1221(curve, 0, x, &left, pos, &e);
    if (e >= 0) s1421(surface, 0, puv, &sl1, &sl2, sd, normal, &e);
    if (e < 0) return e;
    *gap = vec_dist(pos, sd, 3);
    return 0;
  };
  // Interval index of x in a knot vector (right-hand).
  auto interval = [](const double* knots, int order, int n, double x) {
    int l = order - 1;
    while (l < n - 1 && knots[l + 1] <= x) ++l;
    return l;
  };
  // The knot a parameter crossed between prev and next in one direction, or none.
  // Between neighbouring intervals the knot separating them is crossed only when
  // neither value lies on it: a value on the knot belongs to the interval above it, so
  // a march along a knot line, or on from a crossing found before, flips between the
  // two intervals without crossing anything.
  auto crossed_knot = [&](const double* knots, int order, int n, double prev, double next,
                          double* knot) {
    const int lp = interval(knots, order, n, prev);
    const int ln = interval(knots, order, n, next);
    if (lp == ln) return false;
    if (ln > lp) {
      *knot = knots[lp + 1];
      if (knots[ln] == *knot) return !same_param(prev, *knot, w) && !same_param(next, *knot, w);
      return true;
    }
    int i = lp;
    *knot = knots[i];
    if (knots[ln + 1] == *knot) return !same_param(prev, *knot, w) && !same_param(next, *knot, w);
    if (same_param(prev, *knot, w)) {
      while (i > order - 1 && knots[i] == *knot) --i;
      *knot = knots[i];
    }
    return true;
  };

  for (;;) {
    if (t >= t_end) {
      *status = 1;
      return;
    }
    s1221(curve, 2, t, &left, cd, &st);
    if (st < 0) return fail(st);
    const double t_prev = t;
    const double uv_prev[2] = {uv[0], uv[1]};
    double len = 0;
    if ((st = curvature_step(cd, 3, aepsge, surface_extent, &len)) < 0) return fail(st);
    int f = 0;
    const double speed = vec_length(cd + 3, 3, &f);
    double dt = std::fmin(len / (speed > 0.0 ? speed : 1e-12), hmax);
    double t_new = std::fmin(t + dt, curve->knots[left + 1]);
    if (t_new <= t) t_new = std::fmin(t + dt, t_end);  // at the last knot
    bool crossed = false;
    for (double x : {0.5 * (t + t_new), t_new}) {
      if (x >= t_end) break;
      double gap = 0;
      double puv[2] = {uv[0], uv[1]};
      if ((st = projected_gap(x, puv, &gap)) < 0) return fail(st);
      if (gap > aepsge) return;
      // A knot line of the surface crossed between the previous point and this one:
      // find the crossing on the knot's constant-parameter curve and check it there.
      for (int d = 0; d < 2 && !crossed; ++d) {
        double knot = 0;
        const bool hit = d == 0 ? crossed_knot(k1, surface->order1, n1, uv_prev[0], puv[0], &knot)
                                : crossed_knot(k2, surface->order2, n2, uv_prev[1], puv[1], &knot);
        if (!hit) continue;
        CurveHandle iso = constant_param_curve(surface, d, knot, &st);
        if (st < 0) return fail(st);
        const int other = 1 - d;
        double tc = 0, pc = 0;
        st = 0;
        s1770(curve, iso.get(), aepsge, t_prev, lo[other], x, hi[other], 0.5 * (t_prev + x),
              puv[other], &tc, &pc, &st);
        if (st < 0) return fail(st);
        double cuv[2];
        cuv[d] = knot;
        cuv[other] = pc;
        double muv[2] = {uv_prev[0], uv_prev[1]};
        if ((st = projected_gap(0.5 * (t_prev + tc), muv, &gap)) < 0) return fail(st);
        if (gap > aepsge) return;
        if ((st = direct_gap(tc, cuv, &gap)) < 0) return fail(st);
        if (gap > aepsge) return;
        t = tc;
        uv[0] = cuv[0];
        uv[1] = cuv[1];
        crossed = true;
      }
      if (crossed) break;
      uv[0] = puv[0];
      uv[1] = puv[1];
    }
    if (!crossed) t = t_new;
    if (t <= t_prev) t = t_new;  // a crossing at the previous point: move on
    if (!(t > t_prev)) return;   // no progress possible: not shown to coincide
  }
}

void s1789(const spline_point* point, const spline_surface* surface, double aepsge,
           const double point1[2], const double point2[2], int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1789", code, 0);
  };
  *status = 0;
  const int dim = surface->dim;
  if (dim != point->dim || (dim != 2 && dim != 3)) return fail(kErrDimensionNotAccepted);
  int st = 0;
  surface_box(const_cast<spline_surface*>(surface), 0, aepsge, &st);
  if (st < 0) return fail(st);
  const param_box* box = surface->box;
  const double extent = std::fmax(box->slot_high[0][0] - box->slot_low[0][0],
                                  box->slot_high[0][1] - box->slot_low[0][1]);
  const double* knots[2] = {surface->knots1, surface->knots2};
  const int order[2] = {surface->order1, surface->order2};
  const int count[2] = {surface->vertex_count1, surface->vertex_count2};
  const double lo[2] = {knots[0][order[0] - 1], knots[1][order[1] - 1]};
  const double hi[2] = {knots[0][count[0]], knots[1][count[1]]};
  const double w = std::fmax(hi[0] - lo[0], hi[1] - lo[1]);
  auto same = [&](double a, double b) { return dequal_off(a, b, w); };

  double cur[2] = {point1[0], point1[1]};
  const double* target = point2;
  double blk[18], normal[3];
  int l1 = 0, l2 = 0;
  auto remaining = [&]() { return std::hypot(target[0] - cur[0], target[1] - cur[1]); };
  // The first knot strictly between x and y in the direction of travel, if any.
  auto knot_between = [&](int d, double x, double y, double* knot) {
    const double* t = knots[d];
    const int n = count[d] + order[d];
    if (y > x) {
      for (int i = 0; i < n; ++i)
        if (t[i] > x && !same(t[i], x)) {
          if (t[i] < y && !same(t[i], y)) {
            *knot = t[i];
            return true;
          }
          return false;
        }
    } else if (y < x) {
      for (int i = n - 1; i >= 0; --i)
        if (t[i] < x && !same(t[i], x)) {
          if (t[i] > y && !same(t[i], y)) {
            *knot = t[i];
            return true;
          }
          return false;
        }
    }
    return false;
  };
  // The next knot in the direction of travel (or the range end).
  auto next_knot = [&](int d, double x, double dir) {
    const double* t = knots[d];
    const int n = count[d] + order[d];
    if (dir >= 0.0) {
      for (int i = 0; i < n; ++i)
        if (t[i] > x && !same(t[i], x)) return t[i];
      return hi[d];
    }
    for (int i = n - 1; i >= 0; --i)
      if (t[i] < x && !same(t[i], x)) return t[i];
    return lo[d];
  };

  for (int guard = 0; guard < 10000 && remaining() > 1e-12; ++guard) {
    s1421(surface, 2, cur, &l1, &l2, blk, normal, &st);
    if (st < 0) return fail(st);
    const double* su = blk + dim;
    const double* sv = blk + 2 * dim;
    const double* suu = blk + 3 * dim;
    const double* suv = blk + 4 * dim;
    const double* svv = blk + 5 * dim;
    double du, dv;
    int c = -1;  // the coordinate whose level line is followed (dimension 2)
    if (dim == 3) {
      du = target[0] - cur[0];
      dv = target[1] - cur[1];
    } else {
      // The direction along which the first-order change of one coordinate vanishes:
      // du Su[c] + dv Sv[c] = 0, that is (du, dv) along (-Sv[c], Su[c]).  The coordinate
      // with the larger gradient is taken; where the surface keeps a point over a
      // stretch the two gradients are parallel and both give this direction.  Equal
      // derivatives give (-1, 1), opposite ones (1, 1).  Where both gradients vanish
      // the first-order change gives no direction and the march heads straight for the
      // second point; the checks of every sub-step decide.
      c = std::hypot(su[1], sv[1]) > std::hypot(su[0], sv[0]) ? 1 : 0;
      if (same(su[c], 0.0) && same(sv[c], 0.0)) {
        c = -1;
        du = target[0] - cur[0];
        dv = target[1] - cur[1];
      } else {
        du = -sv[c];
        dv = su[c];
      }
      // Travel towards the second point.
      if (du * (target[0] - cur[0]) + dv * (target[1] - cur[1]) < 0.0) {
        du = -du;
        dv = -dv;
      }
    }
    const double len = std::hypot(du, dv);
    if (len < 1e-12) return;
    du /= len;
    dv /= len;
    double spatial = 0;
    double step = 0;
    if (c >= 0) {
      // Along a level line the surface tangent D nearly vanishes, so neither its
      // curvature nor L / |D| gives a usable step.  The step follows the level line
      // itself: its curvature in the parameter plane, kappa = |Fuu Fv^2 - 2 Fuv Fu Fv +
      // Fvv Fu^2| / |grad F|^3 for F the coordinate c, measured in values of that
      // coordinate (radius |grad F| / kappa, step L / |grad F|).
      const double fu = su[c], fv = sv[c];
      const double g = std::hypot(fu, fv);
      const double kappa =
          std::fabs(suu[c] * fv * fv - 2.0 * suv[c] * fu * fv + svv[c] * fu * fu) / (g * g * g);
      const double radius = kappa > 0.0 ? g / kappa : -1.0;
      spatial = s1311(radius, aepsge, extent, &st);
      if (st < 0) return fail(st);
      step = spatial / g;
    } else {
      // The surface curve along (du, dv): its tangent D = du Su + dv Sv fitted by
      // a Su + b Sv, its second derivative along (a, b).
      double d[3], fit_n[3] = {0, 0, 0};
      for (int m = 0; m < dim; ++m) d[m] = du * su[m] + dv * sv[m];
      if (dim == 3) vec_cross(su, sv, fit_n);
      double a = du, b = dv, residual = 0;
      lsq_two_unknowns(su, sv, fit_n, d, dim, 1, &a, &b, &residual, &st);
      if (st < 0) return fail(st);
      double curve_blk[9];
      for (int m = 0; m < dim; ++m) {
        curve_blk[m] = blk[m];
        curve_blk[dim + m] = a * su[m] + b * sv[m];
        curve_blk[2 * dim + m] = a * a * suu[m] + 2 * a * b * suv[m] + b * b * svv[m];
      }
      if ((st = curvature_step(curve_blk, dim, aepsge, extent, &spatial)) < 0) return fail(st);
      int f = 0;
      const double dlen = vec_length(d, dim, &f);
      step = spatial / (same(dlen, 0.0) ? 1e-12 : dlen);
    }
    double next[2] = {cur[0] + step * du, cur[1] + step * dv};
    const bool passes = (target[0] - cur[0]) * (target[0] - next[0]) < 0.0 ||
                        (target[1] - cur[1]) * (target[1] - next[1]) < 0.0;
    if (passes || std::hypot(next[0] - cur[0], next[1] - cur[1]) > remaining()) {
      next[0] = target[0];
      next[1] = target[1];
    }
    // Knot lines between the current and the next point: stop on the first one met and
    // hold that parameter fixed for the sub-steps.
    double ku = 0, kv = 0;
    const bool hit_u = knot_between(0, cur[0], next[0], &ku);
    const bool hit_v = knot_between(1, cur[1], next[1], &kv);
    int fixed;
    if (hit_u && (!hit_v || (ku - cur[0]) / du < (kv - cur[1]) / dv)) {
      const double f0 = (ku - cur[0]) / du;
      next[0] = ku;
      next[1] = cur[1] + f0 * dv;
      fixed = 0;
    } else if (hit_v) {
      const double f1 = (kv - cur[1]) / dv;
      next[0] = cur[0] + f1 * du;
      next[1] = kv;
      fixed = 1;
    } else {
      const double nu = next_knot(0, cur[0], du), nv = next_knot(1, cur[1], dv);
      fixed = std::fabs(nv - cur[1]) * std::fabs(du) <= std::fabs(nu - cur[0]) * std::fabs(dv) ? 1 : 0;
    }
    // Three sub-steps, each projected onto the constant-parameter curve through it.
    const double delta[2] = {(next[0] - cur[0]) / 3.0, (next[1] - cur[1]) / 3.0};
    double sub[2] = {cur[0], cur[1]};
    for (int k = 1; k <= 3; ++k) {
      double x[2] = {sub[0] + delta[0], sub[1] + delta[1]};
      x[fixed] = cur[fixed] + k * delta[fixed];
      if (std::hypot(x[0] - cur[0], x[1] - cur[1]) <= 1e-12) return;
      CurveHandle iso = constant_param_curve(surface, fixed, x[fixed], &st);
      if (st < 0) return fail(st);
      const int free_par = 1 - fixed;
      double proj = x[free_par];
      st = 0;  // the full iteration budget
      s1771(point, iso.get(), aepsge, lo[free_par], hi[free_par], x[free_par], &proj, &st);
      if (st < 0) return fail(st);
      x[free_par] = proj;
      double pos[3];
      int m1 = 0, m2 = 0;
      s1424(surface, 0, 0, x, &m1, &m2, pos, &st);
      if (st < 0) return fail(st);
      if (vec_dist(pos, point->coords, dim) > aepsge) return;
      sub[0] = x[0];
      sub[1] = x[1];
    }
    if (sub[0] == cur[0] && sub[1] == cur[1]) return;
    cur[0] = sub[0];
    cur[1] = sub[1];
    cur[fixed] = next[fixed];
  }
  *status = remaining() <= 1e-12 ? 1 : 0;
}
