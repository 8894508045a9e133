#include "spline/approx.h"

#include <cmath>
#include <vector>

#include "spline/boxes.h"
#include "spline/curve_eval.h"
#include "spline/detail/internal.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

using namespace spline_detail;

double tangent_length(double x, double a) {
  const double g = 1.8553013976081199;
  const double c = std::cos(a), s = std::sin(a);
  const double e = 0.6 * g - 0.9 * c;
  const double b = (0.4 * g + 1.8) * s;
  const double f = (0.4 * g + 1.0) * (c - 1.0);
  return x * (std::sqrt(b * b - 4.0 * e * f) - b) / (2.0 * e);
}

namespace {

double tangent_angle(const double* ta, const double* tb, int dim) {
  double c = vec_dot(ta, tb, dim);
  c = c > 1.0 ? 1.0 : c < -1.0 ? -1.0 : c;
  const double a = std::acos(c);
  return a < 0.01 ? 0.0 : a;
}

}  // namespace

void segment_tangent_angle(const double* sa, const double* sb, int dim, double* mid,
                           double* mid_tangent, int* acceptable) {
  const double *pa = sa, *ta = sa + dim, *pb = sb, *tb = sb + dim;
  const double ra = sa[3 * dim], rb = sb[3 * dim];
  const double angle = tangent_angle(ta, tb, dim);
  const double dist = vec_dist(pa, pb, dim);
  double la = angle != 0.0 ? tangent_length(ra, angle) : dist / 3.0;
  if (angle == 0.0 || dist < la || ra <= 0.0) la = dist / 3.0;
  double lb = angle != 0.0 ? tangent_length(rb, angle) : dist / 3.0;
  if (angle == 0.0 || dist < lb || rb <= 0.0) lb = dist / 3.0;
  // The tangents are capped as s1359 caps them, so that the segment judged here is the
  // one s1359 builds from the accepted samples.
  const double cap = dist * (angle < 0.1 ? 0.35 : angle < 0.35 ? 0.4 : angle < 0.75 ? 0.5 : 0.7);
  la = std::fmin(la, cap);
  lb = std::fmin(lb, cap);
  std::vector<double> qa(dim), qb(dim), dv(dim), tmp(dim);
  for (int m = 0; m < dim; ++m) {
    qa[m] = pa[m] + la * ta[m];
    qb[m] = pb[m] - lb * tb[m];
    mid[m] = (3.0 * (qa[m] + qb[m]) + pa[m] + pb[m]) / 8.0;
    tmp[m] = (pb[m] + qb[m] - qa[m] - pa[m]) / 8.0;
    dv[m] = qb[m] - qa[m];
  }
  int flag = 0;
  vec_normalize(tmp.data(), dim, mid_tangent, &flag);
  double dl = vec_length(dv.data(), dim, &flag);
  if (!flag) {
    dl = 1.0;
    dv[0] = 1.0;
  }
  const double aa = std::fabs(vec_angle(dv.data(), ta, dim));
  const double ab = std::fabs(vec_angle(dv.data(), tb, dim));
  *acceptable = (aa + ab <= 1.0 && dl <= 0.45 * dist) ? 1 : 0;
}

void remove_double_vertices(spline_curve* c, int* status) {
  *status = 0;
  if (c->copy_mode <= 0) return;
  const int k = c->order, n = c->vertex_count, dim = c->dim;
  const double* t = c->knots;
  auto same_as_previous = [&](int i) {
    for (int m = 0; m < dim; ++m)
      if (c->coefs[i * dim + m] != c->coefs[(i - 1) * dim + m]) return false;
    return true;
  };
  bool found = false;
  for (int i = 1; i <= n - 2 && !found; ++i)
    if (t[i] == t[i + k - 1] && same_as_previous(i)) found = true;
  if (!found) return;
  const bool rational = is_rational_kind(c->kind);
  std::vector<int> keep;
  for (int i = 0; i < n; ++i) {
    if (i == 0 || i == n - 1 || t[i] < t[i + k - 1] || !same_as_previous(i)) keep.push_back(i);
  }
  std::vector<double> nt;
  for (int i : keep) nt.push_back(t[i]);
  for (int j = 0; j < k; ++j) nt.push_back(t[n + j]);
  int nn = static_cast<int>(keep.size());
  if (nn >= 1 && nn - 1 + k < static_cast<int>(nt.size()) && nt[nn - 1] == nt[nn - 1 + k]) {
    // The last kept vertex has no span left: drop it.
    keep.erase(keep.end() - 2);
    nt.erase(nt.begin() + (nn - 2));
    --nn;
  }
  for (int i = 0; i < nn + k; ++i) c->knots[i] = nt[i];
  for (int a = 0; a < nn; ++a) {
    const int i = keep[a];
    for (int m = 0; m < dim; ++m) c->coefs[a * dim + m] = c->coefs[i * dim + m];
    if (rational)
      for (int m = 0; m <= dim; ++m) c->hom_coefs[a * (dim + 1) + m] = c->hom_coefs[i * (dim + 1) + m];
  }
  c->vertex_count = nn;
  *status = 1;
}

void s1379(const double* points, const double* derivs, const double* params, int count, int dim,
           spline_curve** curve, int* status) {
  if (count < 2) {
    *status = -181;
    error_report("s1379", *status, 0);
    return;
  }
  if (dim < 1) {
    *status = kErrDimension;
    error_report("s1379", *status, 0);
    return;
  }
  const int m = count;
  auto closed = [&](const double* v) {
    for (int c = 0; c < dim; ++c)
      if (!dequal(v[c], v[(m - 1) * dim + c])) return false;
    return true;
  };
  const bool pc = closed(points), dc = closed(derivs);
  const double* p = params;
  std::vector<double> t(2 * m + 4);
  for (int i = 0; i < m; ++i) t[2 + 2 * i] = t[3 + 2 * i] = p[i];
  if (pc && dc) {
    t[0] = t[1] = p[0] - (p[m - 1] - p[m - 2]);
    t[2 * m + 2] = t[2 * m + 3] = p[m - 1] + (p[1] - p[0]);
  } else if (pc) {
    t[0] = p[0] - (p[m - 1] - p[m - 2]);
    t[1] = p[0];
    t[2 * m + 2] = p[m - 1];
    t[2 * m + 3] = p[m - 1] + (p[1] - p[0]);
  } else {
    t[0] = t[1] = p[0];
    t[2 * m + 2] = t[2 * m + 3] = p[m - 1];
  }
  std::vector<double> v(2 * static_cast<size_t>(m) * dim);
  for (int i = 0; i < m; ++i)
    for (int c = 0; c < dim; ++c) {
      const double P = points[i * dim + c], D = derivs[i * dim + c];
      v[(2 * i) * dim + c] = P - (t[3 + 2 * i] - t[1 + 2 * i]) / 3.0 * D;
      v[(2 * i + 1) * dim + c] = P + (t[4 + 2 * i] - t[2 + 2 * i]) / 3.0 * D;
    }
  spline_curve* c = create_curve(2 * m, 4, t.data(), v.data(), 1, dim, 1);
  if (!c) {
    *status = kErrMemory;
    error_report("s1379", *status, 0);
    return;
  }
  int st = 0;
  remove_double_vertices(c, &st);
  if (pc) {
    test_cyclic_knots(c->knots, c->vertex_count, c->order, &st);
    if (st == 2) c->open_flag = -1;
  }
  *curve = c;
  *status = 0;
}

void s1359(const double* samples, double tol, int dim, int count, int flag, double* params,
           spline_curve** curve, int* status) {
  if (dim != 2 && dim != 3) {
    *status = kErrDimensionNotAccepted;
    error_report("s1359", *status, 0);
    return;
  }
  if (count < 2) {
    *status = -181;
    error_report("s1359", *status, 0);
    return;
  }
  const int stride = 3 * dim + 1;
  auto P = [&](int i) { return samples + static_cast<size_t>(i) * stride; };
  auto T = [&](int i) { return samples + static_cast<size_t>(i) * stride + dim; };
  auto R = [&](int i) { return samples[static_cast<size_t>(i) * stride + 3 * dim]; };
  double B = tol;
  if (flag == 0) {
    for (int c = 0; c < dim; ++c) {
      double lo = P(0)[c], hi = P(0)[c];
      for (int i = 1; i < count; ++i) lo = std::fmin(lo, P(i)[c]), hi = std::fmax(hi, P(i)[c]);
      B = std::fmax(B, hi - lo);
    }
    params[0] = 0.0;
  }
  std::vector<double> t(4, params[0]), v(P(0), P(0) + dim);
  std::vector<double> ta(dim), tb(dim);
  for (int i = 1; i < count; ++i) {
    int fl = 0;
    vec_normalize(T(i - 1), dim, ta.data(), &fl);
    vec_normalize(T(i), dim, tb.data(), &fl);
    const double angle = tangent_angle(ta.data(), tb.data(), dim);
    const double dist = vec_dist(P(i - 1), P(i), dim);
    const double r0 = R(i - 1), r1 = R(i);
    double l1 = (angle == 0.0 || r0 < 0.0) ? dist / 3.0 : tangent_length(r0, angle);
    double l2 = (angle == 0.0 || r1 < 0.0) ? dist / 3.0 : tangent_length(r1, angle);
    // A tangent longer than the chord falls back to a third of it, as in the candidate
    // segment (segment_tangent_angle) whose midpoint the marchers check against the
    // true curve: the segment built here must be the one that was checked.
    if (dist < l1) l1 = dist / 3.0;
    if (dist < l2) l2 = dist / 3.0;
    const double cap = dist * (angle < 0.1 ? 0.35 : angle < 0.35 ? 0.4 : angle < 0.75 ? 0.5 : 0.7);
    l1 = std::fmin(l1, cap);
    l2 = std::fmin(l2, cap);
    if (flag == 0) {
      double h;
      if (r0 != -1.0 && r1 != -1.0)
        h = (r0 + r1) / 2.0 * angle;
      else if (r0 != -1.0)
        h = (r0 * angle + dist) / 2.0;
      else if (r1 != -1.0)
        h = (r1 * angle + dist) / 2.0;
      else
        h = dist;
      h = std::fmax(std::fmax(dist, h), tol);
      h = angle > M_PI / 2 ? std::fmin(h, B) : std::fmin(h, 1.1 * dist);
      if (dequal(params[i - 1] + h, params[i - 1])) h = 0.1 * std::fabs(params[i - 1]);
      if (h == 0.0) h = 1.0;
      params[i] = params[i - 1] + h;
    }
    if (dequal(params[i], params[i - 1]) && i < count - 1) continue;  // overwritten by the next
    for (int r = 0; r < 3; ++r) t.push_back(params[i]);
    for (int c = 0; c < dim; ++c) v.push_back(P(i - 1)[c] + l1 * T(i - 1)[c]);
    for (int c = 0; c < dim; ++c) v.push_back(P(i)[c] - l2 * T(i)[c]);
    for (int c = 0; c < dim; ++c) v.push_back(P(i)[c]);
  }
  t.push_back(t.back());
  const int n = static_cast<int>(v.size()) / dim;
  bool closed = true;
  for (int c = 0; c < dim; ++c)
    if (P(0)[c] != P(count - 1)[c]) closed = false;
  if (closed && n >= 4) {
    const double front = t[n] - t[n - 1], back = t[4] - t[3];
    t[0] -= front;
    t[n + 3] += back;
  }
  spline_curve* c = create_curve(n, 4, t.data(), v.data(), 1, dim, 1);
  if (!c) {
    *status = kErrMemory;
    error_report("s1359", *status, 0);
    return;
  }
  if (closed) {
    int st = 0;
    test_cyclic_knots(c->knots, c->vertex_count, c->order, &st);
    if (st == 2) c->open_flag = -1;
  }
  *curve = c;
  *status = 0;
}

void s1362(const spline_curve* curve, double d, const double* normal, int dim, int derivs,
           double x, int* left, double* result, int* status) {
  if (dim != 2 && dim != 3) {
    *status = kErrDimensionNotAccepted;
    error_report("s1362", *status, 0);
    return;
  }
  int st = 0;
  if (dequal(d, 0.0)) {
    s1221(curve, derivs, x, left, result, &st);
    if (st < 0) {
      *status = st;
      error_report("s1362", st, 0);
      return;
    }
    *status = 0;
    return;
  }
  double c[4 * 3];
  s1221(curve, derivs + 1, x, left, c, &st);
  if (st < 0) {
    *status = st;
    error_report("s1362", st, 0);
    return;
  }
  int flag = 0;
  double s = vec_length(c + dim, dim, &flag);
  if (!flag) s = 1.0;
  double sp = 1.0;
  for (int j = 1; j <= derivs + 1; ++j) {
    sp *= s;
    for (int m = 0; m < dim; ++m) c[j * dim + m] /= sp;
  }
  // N and its derivatives from C', C'', C'''.
  double N[3][3] = {{0}};
  for (int j = 0; j < derivs + 1; ++j) {
    const double* cd = c + (j + 1) * dim;
    if (dim == 2) {
      N[j][0] = -cd[1];
      N[j][1] = cd[0];
    } else {
      vec_cross(cd, normal, N[j]);
    }
  }
  double q = vec_length(N[0], dim, &flag);
  if (!flag) q = 1.0;
  const double nn1 = vec_dot(N[0], N[1], dim);
  for (int m = 0; m < dim; ++m) {
    result[m] = c[m] + d * N[0][m] / q;
    if (derivs >= 1)
      result[dim + m] = c[dim + m] + d * (N[1][m] / q - N[0][m] * nn1 / (q * q * q));
    if (derivs >= 2) {
      const double n11 = vec_dot(N[1], N[1], dim), n02 = vec_dot(N[0], N[2], dim);
      result[2 * dim + m] =
          c[2 * dim + m] + d * (N[2][m] / q - 2.0 * nn1 * N[1][m] / (q * q * q) -
                                (n11 + n02) * N[0][m] / (q * q * q) +
                                3.0 * nn1 * nn1 * N[0][m] / std::pow(q, 5));
    }
  }
  sp = 1.0;
  for (int j = 1; j <= derivs; ++j) {
    sp *= s;
    for (int m = 0; m < dim; ++m) result[j * dim + m] *= sp;
  }
  *status = 0;
}

namespace {

// One curve sample (position, tangent, curvature, radius) of the curve or its offset.
int sample_at(const spline_curve* c, double d, const double* normal, int dim, double x,
              bool from_left, int* left, double* sample, double* first_deriv) {
  double der[9];
  int st = 0;
  if (dequal(d, 0.0) && from_left)
    S1227(c, 2, x, left, der, &st);
  else
    s1362(c, d, normal, dim, 2, from_left ? x * 0.999999999999999 : x, left, der, &st);
  if (st < 0) return st;
  curvature_vector(der, dim, sample, &st);
  if (st < 0) return st;
  for (int m = 0; m < dim; ++m) first_deriv[m] = der[dim + m];
  return 0;
}

}  // namespace

void s1360(const spline_curve* curve, double d, double tol, const double* normal, double max_step,
           int dim, spline_curve** result, int* status) {
  if (dim != 2 && dim != 3) {
    *status = kErrDimensionNotAccepted;
    error_report("s1360", *status, 0);
    return;
  }
  if (tol <= 0.0) {
    *status = -184;
    error_report("s1360", *status, 0);
    return;
  }
  // The curve's extent from a private copy, so that the caller's box cache stays as it was.
  spline_curve* boxed = copy_curve(curve);
  if (!boxed) {
    *status = kErrMemory;
    error_report("s1360", *status, 0);
    return;
  }
  int st = 0;
  curve_box(boxed, 0, tol, &st);
  if (st < 0) {
    destroy_curve(boxed);
    *status = st;
    error_report("s1360", st, 0);
    return;
  }
  double B = 0.0;
  const int m_dirs = boxed->box->slot_count[0];
  for (int r = 0; r < 3 && r < m_dirs; ++r)
    B = std::fmax(B, boxed->box->slot_high[0][r] - boxed->box->slot_low[0][r]);
  destroy_curve(boxed);
  if (B == 0.0) {
    *status = -1;
    return;
  }
  if (max_step > 0.0 && max_step <= B) B = max_step;

  const int k = curve->order, n = curve->vertex_count;
  const double* t = curve->knots;
  const int stride = 3 * dim + 1;
  std::vector<double> samples, params;
  std::vector<double> cur(stride), next(stride), d1(dim), d1n(dim), mid(dim), mt(dim);
  int left = 0;
  double x = t[k - 1];
  auto fail = [&](int code) {
    *status = code;
    error_report("s1360", code, 0);
  };
  if ((st = sample_at(curve, d, normal, dim, x, false, &left, cur.data(), d1.data())) < 0)
    return fail(st);
  samples.insert(samples.end(), cur.begin(), cur.end());
  params.push_back(x);
  int fl = 0;
  double step = s1311(cur[3 * dim], tol, B, &st);
  double speed = vec_length(d1.data(), dim, &fl);
  const double end = t[n];
  const double range = end - t[k - 1];
  int guard = 0;
  while (x < end) {
    if (++guard > 1000000) return fail(-179);
    // A vanishing speed would give no progress: step by a small part of the range.
    double dt = speed > 0.0 ? step / speed : range * 1e-3;
    int nk = k - 1;
    while (nk <= n && t[nk] <= x) ++nk;
    const double next_knot = nk <= n ? t[nk] : end;
    double xn = std::fmin(x + dt, next_knot);
    bool accepted = false;
    double tau = 0.0;
    bool corner = false;
    while (!accepted) {
      corner = false;
      if (xn < end) {
        int lm = 0, mst = 0;
        const int mult = s6knotmult(t, k, n, &lm, xn, &mst);
        if (mult > k - 2) {
          double dl[6], dr[6];
          int l1 = 0, l2 = 0;
          S1227(curve, 1, xn, &l1, dl, &mst);
          s1221(curve, 1, xn, &l2, dr, &mst);
          const double a = vec_length(dl + dim, dim, &fl) * vec_length(dr + dim, dim, &fl);
          corner = !dequal(a, vec_dot(dl + dim, dr + dim, dim));
        }
      }
      if ((st = sample_at(curve, d, normal, dim, xn, corner, &left, next.data(), d1n.data())) < 0)
        return fail(st);
      int acc = 0;
      segment_tangent_angle(cur.data(), next.data(), dim, mid.data(), mt.data(), &acc);
      // Newton search for the curve point nearest the segment's midpoint.
      tau = 0.5 * (x + xn);
      bool failed = false;
      double prev = 1e300, dist = 0.0;
      double od[9];
      for (int it = 0; it < 30; ++it) {
        s1362(curve, d, normal, dim, 1, tau, &left, od, &st);
        if (st < 0) return fail(st);
        double F[3];
        for (int m = 0; m < dim; ++m) F[m] = od[m] - mid[m];
        dist = vec_length(F, dim, &fl);
        const double fu = vec_dot(F, mt.data(), dim);
        if (it > 0 && std::fabs(fu) >= prev) break;
        prev = std::fabs(fu);
        const double ou = vec_dot(od + dim, mt.data(), dim);
        if (ou == 0.0) {
          failed = true;
          break;
        }
        double nt = tau - fu / ou;
        if (it == 0) nt = std::fmin(std::fmax(nt, x), xn);
        else if (nt <= x || nt >= xn) {
          failed = true;
          break;
        }
        if (nt == tau) break;
        tau = nt;
      }
      s1362(curve, d, normal, dim, 1, tau, &left, od, &st);
      double F[3];
      for (int m = 0; m < dim; ++m) F[m] = od[m] - mid[m];
      dist = vec_length(F, dim, &fl);
      const bool short_seg = vec_dist(cur.data(), mid.data(), dim) <= tol &&
                             vec_dist(next.data(), mid.data(), dim) <= tol;
      accepted = short_seg || (!failed && dist <= tol && vec_angle(od + dim, mt.data(), dim) <= 0.01);
      if (!accepted) {
        const double f = std::fmax(dist / tol, 1.0);
        const double ns = std::fmin((xn - x) / (2.0 * std::pow(f, 0.25)), dt / 2.0);
        if (dequal(B + ns, B + dt) || ns <= 0.0) return fail(-179);
        dt = ns;
        xn = x + ns;
      }
    }
    if (corner) {
      if (dequal(d, 0.0)) {
        samples.insert(samples.end(), next.begin(), next.end());
        params.push_back(xn);
        if ((st = sample_at(curve, d, normal, dim, xn, false, &left, next.data(), d1n.data())) < 0)
          return fail(st);
      } else {
        samples.insert(samples.end(), next.begin(), next.end());
        params.push_back(xn - 0.1 * (xn - params.back()));
        if ((st = sample_at(curve, d, normal, dim, xn, false, &left, next.data(), d1n.data())) < 0)
          return fail(st);
      }
    }
    samples.insert(samples.end(), next.begin(), next.end());
    params.push_back(xn);
    step = s1311(next[3 * dim], tol, B, &st);
    speed = vec_length(d1n.data(), dim, &fl);
    cur = next;
    x = xn;
  }
  const int count = static_cast<int>(params.size());
  s1359(samples.data(), tol, dim, count, 1, params.data(), result, &st);
  if (st < 0) return fail(st);
  *status = 0;
}
