// Helpers of the two marchers: Newton iterations onto both objects and a plane or a
// parameter boundary, clipping of a step at the parameter domains, reach tests.

#include <algorithm>
#include <cmath>

#include "spline/detail/isect/implicit_forms.h"
#include "spline/detail/isect/march.h"
#include "spline/detail/isect/march_internal.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace march_detail {

bool negligible(double j, double m) {
  return std::fabs((m + j) - m) <= 1e-12 * std::max(std::fabs(m + j), std::fabs(m));
}

void eval_block(const spline_surface* s, int der, const double* uv, double* block, int* status) {
  double derivs[30];
  double normal[3];
  int l1 = 0, l2 = 0;
  s1421(s, der, uv, &l1, &l2, derivs, normal, status);
  if (*status < 0) return;
  const int n = (der + 1) * (der + 2) / 2 * 3;
  std::copy(derivs, derivs + n, block);
  std::copy(normal, normal + 3, block + n);
}

bool inside(const double* p, const double* ur, const double* vr) {
  return p[0] >= ur[0] && p[0] <= ur[1] && p[1] >= vr[0] && p[1] <= vr[1];
}

}  // namespace march_detail

using namespace march_detail;

namespace {

// Scales the three values by the largest magnitude (1 when that is 0).
void scale3(double& a, double& b, double& c) {
  double m = std::max({std::fabs(a), std::fabs(b), std::fabs(c)});
  if (m == 0.0) m = 1.0;
  a /= m;
  b /= m;
  c /= m;
}

}  // namespace

void s9iterate(const double* cp, const double* ev1, const double* ev2, const double* par1,
               const double* par2, const spline_surface* s1, const spline_surface* s2,
               double step, double tol, double* oev1, double* oev2, double* op1, double* op2,
               int* status) {
  const double* t = cp + 3;
  double q[3];
  for (int i = 0; i < 3; ++i) q[i] = cp[i] + step * t[i];
  std::copy(ev1, ev1 + 21, oev1);
  std::copy(ev2, ev2 + 21, oev2);
  op1[0] = par1[0], op1[1] = par1[1], op2[0] = par2[0], op2[1] = par2[1];
  double prev = 0.0;
  for (int pass = 1; pass <= 100; ++pass) {
    const double *p1 = oev1, *u1 = oev1 + 3, *v1 = oev1 + 6, *n1 = oev1 + 18;
    const double *p2 = oev2, *u2 = oev2 + 3, *v2 = oev2 + 6, *n2 = oev2 + 18;
    double d12[3], d21[3], q1[3], q2[3];
    vec_diff(p2, p1, 3, d12);
    vec_diff(p1, p2, 3, d21);
    vec_diff(q, p1, 3, q1);
    vec_diff(q, p2, 3, q2);
    double a = vec_dot(u1, n2, 3), b = vec_dot(v1, n2, 3), f = vec_dot(d12, n2, 3);
    double c = vec_dot(u1, t, 3), d = vec_dot(v1, t, 3), w = vec_dot(q1, t, 3);
    scale3(a, b, f);
    scale3(c, d, w);
    double j1 = a * d - b * c;
    if (negligible(j1, std::max({std::fabs(a), std::fabs(b), std::fabs(c), std::fabs(d)})))
      j1 = 0.0;
    double nu1 = op1[0], nv1 = op1[1];
    if (j1 != 0.0) {
      nu1 += (f * d - w * b) / j1;
      nv1 += (a * w - c * f) / j1;
    }
    a = vec_dot(u2, n1, 3), b = vec_dot(v2, n1, 3), f = vec_dot(d21, n1, 3);
    c = vec_dot(u2, t, 3), d = vec_dot(v2, t, 3), w = vec_dot(q2, t, 3);
    double j2 = a * d - b * c;
    if (negligible(j2, std::max({std::fabs(a), std::fabs(b), std::fabs(c), std::fabs(d)})))
      j2 = 0.0;
    double nu2 = op2[0], nv2 = op2[1];
    if (j2 != 0.0) {
      nu2 += (f * d - w * b) / j2;
      nv2 += (a * w - c * f) / j2;
    }
    if (!std::isfinite(nu1 + nv1 + nu2 + nv2)) {
      *status = 2;
      return;
    }
    op1[0] = nu1, op1[1] = nv1, op2[0] = nu2, op2[1] = nv2;
    int st = 0;
    eval_block(s1, 2, op1, oev1, &st);
    if (st < 0) goto error;
    if (st == 2) {
      *status = 2;
      return;
    }
    eval_block(s2, 2, op2, oev2, &st);
    if (st < 0) goto error;
    if (st == 2) {
      *status = 2;
      return;
    }
    {
      int flag = 0;
      double diff[3];
      vec_diff(oev1, oev2, 3, diff);
      const double dist = vec_length(diff, 3, &flag);
      if (pass == 1) {
        if (j1 == 0.0 || j2 == 0.0) {
          *status = 2;
          return;
        }
      } else if (dist >= prev) {
        *status = prev > tol ? 2 : (j1 != 0.0 && j2 != 0.0 ? 0 : 1);
        return;
      }
      if (!flag) {
        *status = 0;
        return;
      }
      prev = dist;
    }
    continue;
  error:
    *status = st;
    error_report("s9iterate", st, 0);
    return;
  }
  *status = 2;
}

void s9boundit(const double* ev1, const double* ev2, const double* par1, const double* par2,
               const spline_surface* s1, const spline_surface* s2, double value, int which,
               double tol, double* oev1, double* oev2, double* op1, double* op2, int* status) {
  std::copy(ev1, ev1 + 21, oev1);
  std::copy(ev2, ev2 + 21, oev2);
  op1[0] = par1[0], op1[1] = par1[1], op2[0] = par2[0], op2[1] = par2[1];
  const bool first = which <= 2;
  // The surface whose parameter is fixed (F) and the one moved onto it (G).
  const spline_surface* sf = first ? s1 : s2;
  const spline_surface* sg = first ? s2 : s1;
  double* ef = first ? oev1 : oev2;
  double* eg = first ? oev2 : oev1;
  double* pf = first ? op1 : op2;
  double* pg = first ? op2 : op1;
  const int dir = (which - 1) % 2;  // 0 the first parameter is fixed, 1 the second
  double prev = 0.0;
  for (int pass = 1; pass <= 100; ++pass) {
    double diff[3];
    vec_diff(eg, ef, 3, diff);
    const double a = vec_dot(ef + 3, eg + 18, 3), b = vec_dot(ef + 6, eg + 18, 3);
    const double f = vec_dot(diff, eg + 18, 3);
    if (dir == 0) {
      const double du = value - pf[0];
      if (b == 0.0) {
        *status = 2;
        return;
      }
      pf[1] += (f - du * a) / b;
      pf[0] = value;
    } else {
      const double dv = value - pf[1];
      if (a == 0.0) {
        *status = 2;
        return;
      }
      pf[0] += (f - dv * b) / a;
      pf[1] = value;
    }
    int st = 0;
    eval_block(sf, 2, pf, ef, &st);
    if (st < 0) {
      *status = st;
      error_report("s9boundit", st, 0);
      return;
    }
    if (st == 2) {
      *status = 2;
      return;
    }
    double d[3], e1[3], e2[3];
    vec_diff(ef, eg, 3, d);
    s6twonorm(eg + 18, e1, e2, &st);
    double jac = 0.0;
    if (st >= 0) {
      const double ap = vec_dot(eg + 3, e1, 3), bp = vec_dot(eg + 6, e1, 3);
      const double cp = vec_dot(eg + 3, e2, 3), dp = vec_dot(eg + 6, e2, 3);
      const double w1 = vec_dot(d, e1, 3), w2 = vec_dot(d, e2, 3);
      jac = ap * dp - bp * cp;
      if (negligible(jac, std::max({std::fabs(ap), std::fabs(bp), std::fabs(cp), std::fabs(dp)})))
        jac = 0.0;
      if (jac != 0.0) {
        pg[0] += (w1 * dp - w2 * bp) / jac;
        pg[1] += (ap * w2 - cp * w1) / jac;
      }
    }
    eval_block(sg, 2, pg, eg, &st);
    if (st < 0) {
      *status = st;
      error_report("s9boundit", st, 0);
      return;
    }
    if (st == 2) {
      *status = 2;
      return;
    }
    int flag = 0;
    vec_diff(oev1, oev2, 3, d);
    const double dist = vec_length(d, 3, &flag);
    if (!flag) {
      *status = 0;
      return;
    }
    if (pass == 1) {
      if (jac == 0.0) {
        *status = 2;
        return;
      }
    } else if (dist >= prev) {
      *status = prev > tol ? 2 : (jac == 0.0 ? 1 : 0);
      return;
    }
    prev = dist;
  }
  *status = 2;
}

namespace {

// Start exactly on a side of the rectangle with the end beyond that side.
bool leaves_from_side(const double* a, const double* b, const double* ur, const double* vr) {
  return (a[0] == ur[0] && b[0] < ur[0]) || (a[0] == ur[1] && b[0] > ur[1]) ||
         (a[1] == vr[0] && b[1] < vr[0]) || (a[1] == vr[1] && b[1] > vr[1]);
}

bool both_beyond(const double* a, const double* b, const double* ur, const double* vr) {
  return (a[0] < ur[0] && b[0] < ur[0]) || (a[0] > ur[1] && b[0] > ur[1]) ||
         (a[1] < vr[0] && b[1] < vr[0]) || (a[1] > vr[1] && b[1] > vr[1]);
}

bool on_side(const double* a, const double* ur, const double* vr) {
  return a[0] == ur[0] || a[0] == ur[1] || a[1] == vr[0] || a[1] == vr[1];
}

// The point at the same fraction (by L1 lengths) of the other segment; false when the
// fraction is undefined.
bool map_fraction(const double* a, const double* b, const double* c, const double* oa,
                  const double* ob, double* out) {
  const double l1 = std::fabs(c[0] - a[0]) + std::fabs(c[1] - a[1]);
  const double l2 = std::fabs(b[0] - c[0]) + std::fabs(b[1] - c[1]);
  if (negligible(l1 + l2, 0.0) || l1 + l2 == 0.0) return false;
  const double f = l1 / (l1 + l2);
  out[0] = oa[0] + f * (ob[0] - oa[0]);
  out[1] = oa[1] + f * (ob[1] - oa[1]);
  return true;
}

}  // namespace

void s1330(const double* a1, const double* a2, const double* b1, const double* b2,
           const double* ur1, const double* vr1, const double* ur2, const double* vr2,
           int* edge, double* out1, double* out2, int* status) {
  *edge = 0;
  const bool ain1 = inside(a1, ur1, vr1), ain2 = inside(a2, ur2, vr2);
  if (leaves_from_side(a1, b1, ur1, vr1) || leaves_from_side(a2, b2, ur2, vr2)) {
    *status = 4;
    return;
  }
  const bool bin1 = inside(b1, ur1, vr1), bin2 = inside(b2, ur2, vr2);
  if (ain1 && ain2 && bin1 && bin2) {
    *status = 1;
    return;
  }
  if (both_beyond(a1, b1, ur1, vr1) || both_beyond(a2, b2, ur2, vr2)) {
    *status = 0;
    return;
  }
  int e1 = 0, e2 = 0, st1 = 0, st2 = 0;
  double c1[2] = {0, 0}, c2[2] = {0, 0}, m1[2] = {0, 0}, m2[2] = {0, 0};
  bool have1 = false, have2 = false;
  // Clips the step (a, b) on one surface's rectangle; a crossing whose place on the other
  // surface's step (oa, ob) lies in that rectangle is kept in m.  False when the
  // classification is settled (status set).
  auto clip_on = [&](const double* a, const double* b, const double* ur, const double* vr,
                     const double* oa, const double* ob, const double* our, const double* ovr,
                     int* e, double* crossing, double* m, int* st, bool* have) {
    clip_param_segment(a, b, ur, vr, e, crossing, st);
    if (*st < 0) {
      *status = *st;
      error_report("s1330", *st, 0);
      return false;
    }
    if (*st == 0) {
      *status = 0;
      return false;
    }
    if ((*st == 2 || *st == 3) && *e > 0 && map_fraction(a, b, crossing, oa, ob, m) &&
        inside(m, our, ovr))
      *have = true;
    if (*st == 4 && ain1 && ain2) {
      *status = 4;
      return false;
    }
    return true;
  };
  if (!clip_on(a1, b1, ur1, vr1, a2, b2, ur2, vr2, &e1, c1, m2, &st1, &have1)) return;
  if (!clip_on(a2, b2, ur2, vr2, a1, b1, ur1, vr1, &e2, c2, m1, &st2, &have2)) return;
  if (st1 == 1 && st2 == 1) {
    *status = 1;
    return;
  }
  if (have1 && have2) {
    auto sq = [](const double* p, const double* q) {
      return (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]);
    };
    const double d1 = sq(c1, a1) + sq(m2, a2);
    const double d2 = sq(m1, a1) + sq(c2, a2);
    if (d2 <= d1) have1 = false;
    else have2 = false;
  }
  if (!have1 && !have2) {
    *status = 0;
    return;
  }
  if (have1) {
    out1[0] = c1[0], out1[1] = c1[1], out2[0] = m2[0], out2[1] = m2[1];
    *edge = e1;
  } else {
    out1[0] = m1[0], out1[1] = m1[1], out2[0] = c2[0], out2[1] = c2[1];
    *edge = e2 + 4;
  }
  if (!ain1 || !ain2) *status = (bin1 && bin2) ? 3 : 5;
  else if (!on_side(a1, ur1, vr1) && !on_side(a2, ur2, vr2)) *status = 2;
  else *status = 4;
}

void s9clipit(const double* a1, const double* a2, const double* b1, const double* b2,
              const spline_surface* s1, const spline_surface* s2, const double* ur1,
              const double* vr1, const double* ur2, const double* vr2, double tol,
              double* oev1, double* oev2, double* op1, double* op2, int* status) {
  double sa1[2] = {a1[0], a1[1]}, sa2[2] = {a2[0], a2[1]};
  double sb1[2] = {b1[0], b1[1]}, sb2[2] = {b2[0], b2[1]};
  double eb1[21], eb2[21];
  bool clipped = false, still = false;
  int st = 0;
  for (int pass = 0; pass < 8; ++pass) {
    int edge = 0, kind = 0;
    double c1[2], c2[2];
    s1330(sa1, sa2, sb1, sb2, ur1, vr1, ur2, vr2, &edge, c1, c2, &kind);
    if (kind < 0) {
      *status = kind;
      error_report("s9clipit", kind, 0);
      return;
    }
    still = false;
    if (kind < 2 || edge == 0) break;
    still = true;
    double e1[21], e2[21];
    eval_block(s1, 2, c1, e1, &st);
    if (st >= 0) eval_block(s2, 2, c2, e2, &st);
    if (st < 0) {
      *status = st;
      error_report("s9clipit", st, 0);
      return;
    }
    static const int kWhich[8] = {1, 2, 1, 2, 3, 4, 3, 4};
    const double* ranges[8] = {ur1, vr1, ur1, vr1, ur2, vr2, ur2, vr2};
    // Edges 1 and 4 (5 and 8) are at the start of their range, 2 and 3 at the end.
    const int e = edge - 1;
    const double value = (e % 4 == 0 || e % 4 == 3) ? ranges[e][0] : ranges[e][1];
    double q1[2], q2[2];
    s9boundit(e1, e2, c1, c2, s1, s2, value, kWhich[e], tol, eb1, eb2, q1, q2, &st);
    if (st < 0) {
      *status = st;
      error_report("s9clipit", st, 0);
      return;
    }
    if (st == 2) {
      *status = 2;
      return;
    }
    clipped = true;
    if (kind == 2) {
      sb1[0] = q1[0], sb1[1] = q1[1], sb2[0] = q2[0], sb2[1] = q2[1];
    } else {
      sa1[0] = q1[0], sa1[1] = q1[1], sa2[0] = q2[0], sa2[1] = q2[1];
    }
  }
  if (!clipped) {
    *status = 0;
    return;
  }
  if (still) {
    *status = 2;
    return;
  }
  if (sa1[0] == a1[0] && sa1[1] == a1[1] && sa2[0] == a2[0] && sa2[1] == a2[1]) {
    op1[0] = sb1[0], op1[1] = sb1[1], op2[0] = sb2[0], op2[1] = sb2[1];
    std::copy(eb1, eb1 + 21, oev1);
    std::copy(eb2, eb2 + 21, oev2);
  } else {
    op1[0] = sa1[0], op1[1] = sa1[1], op2[0] = sa2[0], op2[1] = sa2[1];
    eval_block(s1, 2, op1, oev1, &st);
    if (st >= 0) eval_block(s2, 2, op2, oev2, &st);
    if (st < 0) {
      *status = st;
      error_report("s9clipit", st, 0);
      return;
    }
  }
  *status = 1;
}

namespace march_detail {

// Orientation part of the reach tests: t1 at the current point, t2 at the target, d the
// direction to the target.
bool same_orientation(const double* t1, const double* t2, const double* d) {
  const double p = vec_dot(t1, t2, 3);
  if (p > 0.0) return true;
  if (p < 0.0) return false;
  int f1 = 0, f2 = 0;
  vec_length(t1, 3, &f1);
  vec_length(t2, 3, &f2);
  if (!f2) return true;
  return !f1 && vec_dot(d, t2, 3) >= 0.0;
}

}  // namespace march_detail

double close_test_ss(const double* ev1, const double* par1, const double* ev2,
                     const double* par2, const double* sev1, const double* spar1,
                     const double* sev2, const double* spar2, const double* tangent,
                     const double* pd1, const double* pd2, double step, int* status) {
  *status = 0;
  const double q1 = (spar1[0] - par1[0]) * pd1[0] + (spar1[1] - par1[1]) * pd1[1];
  const double q2 = (spar2[0] - par2[0]) * pd2[0] + (spar2[1] - par2[1]) * pd2[1];
  if (q1 <= 0.0 || q2 <= 0.0) return 0.0;
  double d[3];
  vec_diff(sev1, ev1, 3, d);
  int flag = 0;
  const double dist = vec_length(d, 3, &flag);
  if (vec_dot(d, tangent, 3) <= 0.0 || dist <= 0.0 || dist > 2.0 * step) return dist;
  double t1[3], t2[3];
  vec_cross(ev1 + 18, ev2 + 18, t1);
  vec_cross(sev1 + 18, sev2 + 18, t2);
  if (same_orientation(t1, t2, d)) *status = 1;
  return dist;
}

// ---- Implicit helpers

namespace {

int block_der(int kind) { return kind >= 1003 && kind <= 1005 ? 3 : 2; }
int block_size(int kind) { return kind >= 1003 && kind <= 1005 ? 33 : 21; }

}  // namespace

void s9iterimp(const double* cp, const double* ev, const double* par,
               const spline_surface* surface, const double* coefs, int kind, double step,
               double tol, double* oev, double* opar, int* status) {
  const double* t = cp + 3;
  int flag = 0;
  double len = vec_length(t, 3, &flag);
  if (!flag) len = 1.0;
  double q[3];
  for (int i = 0; i < 3; ++i) q[i] = cp[i] + step * t[i] / len;
  const int der = block_der(kind), size = block_size(kind);
  const bool silhouette = der == 3;
  std::copy(ev, ev + size, oev);
  opar[0] = par[0], opar[1] = par[1];
  double prev = 0.0;
  int st = 0;
  for (int pass = 1; pass <= 100; ++pass) {
    const double *s = oev, *su = oev + 3, *sv = oev + 6;
    double qs[3], g[3], vals[6];
    vec_diff(q, s, 3, qs);
    double a = vec_dot(su, t, 3), b = vec_dot(sv, t, 3), w = vec_dot(qs, t, 3);
    scale3(a, b, w);
    s1331(oev, coefs, kind, 1, vals, g, &st);
    if (st < 0) break;
    double c = vals[1], d = vals[2], e = -vals[0];
    scale3(c, d, e);
    double jac = c * b - d * a;
    double mx = std::max({std::fabs(a), std::fabs(b), std::fabs(c), std::fabs(d)});
    if (negligible(jac, mx)) jac = 0.0;
    if (jac == 0.0 && !silhouette) {
      double x[3];
      vec_cross(g, t, x);
      c = vec_dot(su, x, 3), d = vec_dot(sv, x, 3), e = vec_dot(qs, x, 3);
      scale3(c, d, e);
      jac = c * b - d * a;
      mx = std::max({std::fabs(a), std::fabs(b), std::fabs(c), std::fabs(d)});
      if (negligible(jac, mx)) jac = 0.0;
    }
    double old[3] = {oev[0], oev[1], oev[2]};
    if (jac != 0.0) {
      opar[0] += (e * b - d * w) / jac;
      opar[1] += (c * w - e * a) / jac;
    }
    if (!std::isfinite(opar[0] + opar[1])) {
      *status = 2;
      return;
    }
    eval_block(surface, der, opar, oev, &st);
    if (st < 0) break;
    if (st == 2) {
      *status = 2;
      return;
    }
    const double r = std::fabs(s1309(oev, g, coefs, kind, &st));
    if (st < 0) break;
    if (st == 2) {
      *status = 2;
      return;
    }
    vec_diff(q, oev, 3, qs);
    const double tt = std::fabs(vec_dot(qs, t, 3)) / len;
    const double err = silhouette ? tt * 0.01 + r * tol : r + tt;
    const bool done = r == 0.0 && tt == 0.0;
    if (pass == 1) {
      if (jac == 0.0) {
        *status = 2;
        return;
      }
    } else if (err >= prev) {
      if (vec_dist(old, oev, 3) > tol) {
        *status = 2;
        return;
      }
      bool same = true;
      for (int i = 0; i < 3; ++i)
        if (std::fabs(oev[i] - ev[i]) > 1e-15 * std::max(std::fabs(oev[i]), std::fabs(ev[i])))
          same = false;
      if (jac == 0.0 || same) {
        *status = 1;
        return;
      }
      break;
    }
    prev = err;
    if (done) break;
    if (pass == 100) {
      *status = 2;
      return;
    }
  }
  if (st < 0) {
    *status = st;
    error_report("s9iterimp", st, 0);
    return;
  }
  eval_block(surface, der, opar, oev, &st);
  if (st < 0) {
    *status = st;
    error_report("s9iterimp", st, 0);
    return;
  }
  *status = 0;
}

void s9boundimp(const double* ev, const double* par, const spline_surface* surface,
                const double* coefs, int kind, double value, int which, double tol,
                double* oev, double* opar, int* status) {
  const int der = block_der(kind), size = block_size(kind);
  std::copy(ev, ev + size, oev);
  opar[0] = par[0], opar[1] = par[1];
  double prev = 0.0;
  int st = 0;
  for (int pass = 1; pass <= 100; ++pass) {
    double vals[6], g[3];
    s1331(oev, coefs, kind, 1, vals, g, &st);
    if (st < 0) break;
    if (which == 1) {
      if (vals[2] == 0.0) {
        *status = 2;
        return;
      }
      const double du = value - opar[0];
      opar[1] += (-vals[0] - du * vals[1]) / vals[2];
      opar[0] = value;
    } else {
      if (vals[1] == 0.0) {
        *status = 2;
        return;
      }
      const double dv = value - opar[1];
      opar[0] += (-vals[0] - dv * vals[2]) / vals[1];
      opar[1] = value;
    }
    if (!std::isfinite(opar[0] + opar[1])) {
      *status = 2;
      return;
    }
    eval_block(surface, der, opar, oev, &st);
    if (st < 0) break;
    if (st == 2) {
      *status = 2;
      return;
    }
    const double r = std::fabs(s1309(oev, g, coefs, kind, &st));
    if (st < 0) break;
    if (r == 0.0) {
      *status = 0;
      return;
    }
    if (pass > 1 && r >= prev) {
      const bool sil = kind >= 1003 && kind <= 1005;
      if ((kind > 1002 && !sil) || (kind <= 1002 && prev > tol) || (sil && prev > 0.01))
        *status = 2;
      else
        *status = 0;
      return;
    }
    prev = r;
  }
  if (st < 0) {
    *status = st;
    error_report("s9boundimp", st, 0);
    return;
  }
  *status = 2;
}

void s9clipimp(const double* a, const double* b, const spline_surface* surface,
               const double* coefs, int kind, const double* ur, const double* vr, double tol,
               double* oev, double* opar, int* status) {
  const int der = block_der(kind);
  double sa[2] = {a[0], a[1]}, sb[2] = {b[0], b[1]};
  double eb[33];
  bool clipped = false, still = false;
  int st = 0;
  for (int pass = 0; pass < 4; ++pass) {
    int edge = 0, kind_c = 0;
    double c[2];
    clip_param_segment(sa, sb, ur, vr, &edge, c, &kind_c);
    if (kind_c < 0) {
      *status = kind_c;
      error_report("s9clipimp", kind_c, 0);
      return;
    }
    still = false;
    if (kind_c < 2 || edge == 0) break;
    still = true;
    double e[33];
    eval_block(surface, der, c, e, &st);
    if (st < 0) break;
    const double value = (edge == 1 || edge == 4) ? (edge == 1 ? ur[0] : vr[0])
                                                  : (edge == 3 ? ur[1] : vr[1]);
    double q[2];
    s9boundimp(e, c, surface, coefs, kind, value, edge % 2 == 1 ? 1 : 2, tol, eb, q, &st);
    if (st < 0) break;
    if (st == 2) {
      *status = 2;
      return;
    }
    clipped = true;
    if (kind_c == 2) sb[0] = q[0], sb[1] = q[1];
    else sa[0] = q[0], sa[1] = q[1];
  }
  if (st < 0) {
    *status = st;
    error_report("s9clipimp", st, 0);
    return;
  }
  if (!clipped) {
    *status = 0;
    return;
  }
  if (still) {
    *status = 2;
    return;
  }
  if (sa[0] == a[0] && sa[1] == a[1]) {
    opar[0] = sb[0], opar[1] = sb[1];
    std::copy(eb, eb + block_size(kind), oev);
  } else {
    opar[0] = sa[0], opar[1] = sa[1];
    eval_block(surface, der, opar, oev, &st);
    if (st < 0) {
      *status = st;
      error_report("s9clipimp", st, 0);
      return;
    }
  }
  *status = 1;
}

double s9adsimp(const double* ev, const double* par, const double* coefs, int kind,
                const double* sev, const double* spar, const double* tangent,
                const double* pd, double step, int* status) {
  *status = 0;
  const double q = (spar[0] - par[0]) * pd[0] + (spar[1] - par[1]) * pd[1];
  if (q < 0.0) return 0.0;
  double d[3];
  vec_diff(sev, ev, 3, d);
  int flag = 0;
  const double dist = vec_length(d, 3, &flag);
  if (vec_dot(d, tangent, 3) <= 0.0 || dist <= 0.0 || dist > 2.0 * step) return dist;
  if (kind >= 1003) {
    *status = 1;
    return dist;
  }
  const int nidx = block_size(kind) - 3;
  double n1[3], n2[3], t1[3], t2[3];
  int st = 0;
  s1308(ev, 3, coefs, kind, n1, &st);
  if (st >= 0) s1308(sev, 3, coefs, kind, n2, &st);
  if (st < 0) {
    *status = st;
    error_report("s9adsimp", st, 0);
    return dist;
  }
  vec_cross(ev + nidx, n1, t1);
  vec_cross(sev + nidx, n2, t2);
  if (same_orientation(t1, t2, d)) *status = 1;
  return dist;
}

void s9simple_knot(const spline_surface* surface, int direction, double* split, int* knot_count,
                   int* status) {
  *knot_count = 0;
  if (direction < 1 || direction > 3) {
    *status = -202;
    error_report("s9simple_knot", -202, 0);
    return;
  }
  bool all = true;
  for (int d = 1; d <= 2; ++d) {
    if (!(direction & d)) continue;
    const int k = d == 1 ? surface->order1 : surface->order2;
    const int n = d == 1 ? surface->vertex_count1 : surface->vertex_count2;
    const double* t = d == 1 ? surface->knots1 : surface->knots2;
    if (k == n) {
      split[d - 1] = 0.5 * (t[0] + t[n + k - 1]);
      continue;
    }
    int left = k - 1, st = 0;
    const int m = s6knotmult(t, k, n, &left, t[k], &st);
    if (st < 0) {
      *status = st;
      error_report("s9simple_knot", st, 0);
      return;
    }
    if (k + m == n) {
      split[d - 1] = t[k];
      *knot_count += d;
    } else {
      all = false;
    }
  }
  *status = all && *knot_count != 0 ? 1 : 0;
}
