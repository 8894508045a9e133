// Local geometry of a surface's intersection with an implicit surface, the implicit
// surface's normal and distance along a direction, and the clipping of a parameter
// segment against a parameter rectangle.

#include <algorithm>
#include <cmath>

#include "spline/curve_eval.h"
#include "spline/detail/isect/implicit_forms.h"
#include "spline/detail/isect/march.h"
#include "spline/detail/isect/march_internal.h"
#include "spline/linalg.h"
#include "spline/status.h"

void s1306(const double* ev, const double* par, const double* coefs, int kind, double* space,
           double* plane, int* status) {
  double vals[6], g[3];
  int st = 0;
  s1331(ev, coefs, kind, 2, vals, g, &st);
  if (st < 0) {
    *status = st;
    error_report("s1306", st, 0);
    return;
  }
  const double fu = vals[1], fv = vals[2], fuu = vals[3], fuv = vals[4], fvv = vals[5];
  const bool small = std::fabs(fu) < 1e-6 && std::fabs(fv) < 1e-6;
  double du, dv, ddu, ddv;
  bool marked = false;
  if (!dequal_off(fu, 0.0, 1.0) || !dequal_off(fv, 0.0, 1.0)) {
    if (std::fabs(fu) <= std::fabs(fv)) {
      du = 1.0, dv = -fu / fv, ddu = 0.0;
      ddv = -(fuu + 2.0 * fuv * dv + fvv * dv * dv) / fv;
    } else {
      dv = 1.0, du = -fv / fu, ddv = 0.0;
      ddu = -(fvv + 2.0 * fuv * du + fuu * du * du) / fu;
    }
  } else {
    std::fill(space, space + 10, 0.0);
    std::fill(plane, plane + 7, 0.0);
    std::copy(ev, ev + 3, space);
    plane[0] = par[0], plane[1] = par[1];
    space[9] = -1.0, plane[6] = -1.0;
    const double det = fuv * fuv - fuu * fvv;
    const double m = std::max({std::fabs(fuu), std::fabs(fuv), std::fabs(fvv)});
    if (!dequal_off(det, 0.0, m) ||
        (dequal_off(std::fabs(fuu), 0.0, std::fabs(fuv)) &&
         dequal_off(std::fabs(fvv), 0.0, std::fabs(fuv)))) {
      *status = 2;
      return;
    }
    if (std::fabs(fuu) <= std::fabs(fvv)) du = 1.0, dv = -fuv / fvv;
    else du = -fuv / fuu, dv = 1.0;
    ddu = ddv = 0.0;
    marked = true;
  }
  double d3[9], d2[6];
  for (int i = 0; i < 3; ++i) {
    d3[i] = ev[i];
    d3[3 + i] = du * ev[3 + i] + dv * ev[6 + i];
    d3[6 + i] = ddu * ev[3 + i] + ddv * ev[6 + i] + du * du * ev[9 + i] +
                2.0 * du * dv * ev[12 + i] + dv * dv * ev[15 + i];
  }
  d2[0] = par[0], d2[1] = par[1], d2[2] = du, d2[3] = dv, d2[4] = ddu, d2[5] = ddv;
  curvature_vector(d3, 3, space, &st);
  curvature_vector(d2, 2, plane, &st);
  *status = marked ? 10 : (small ? 11 : 0);
}

void s1308(const double* x, int dim, const double* coefs, int kind, double* normal,
           int* status) {
  *status = 0;
  if (kind == 1) {
    for (int i = 0; i < dim; ++i) normal[i] = coefs[i];
  } else if (kind == 2) {
    for (int i = 0; i < dim; ++i) {
      double s = coefs[dim * (dim + 1) + i];
      for (int j = 0; j < dim; ++j) s += coefs[j * (dim + 1) + i] * x[j];
      normal[i] = s;
    }
  } else if (kind == 1001 && dim == 3) {
    const double *c = coefs, *a = coefs + 3;
    double w[3], q[3];
    vec_diff(x, c, 3, w);
    const double h = vec_dot(w, a, 3);
    for (int i = 0; i < 3; ++i) q[i] = w[i] - h * a[i];
    int flag = 0;
    vec_normalize(q, 3, q, &flag);
    for (int i = 0; i < 3; ++i) normal[i] = w[i] - coefs[6] * q[i];
    vec_normalize(normal, 3, normal, &flag);
  } else {
    *status = -175;
    error_report("s1308", -175, 0);
  }
}

double s1309(const double* p, const double* direction, const double* coefs, int kind,
             int* status) {
  *status = 0;
  double n[3];
  int flag = 0;
  vec_normalize(direction, 3, n, &flag);
  if (kind == 1) {
    const double den = vec_dot(coefs, n, 3);
    if (den == 0.0) {
      *status = 2;
      return 0.0;
    }
    return -(vec_dot(coefs, p, 3) + coefs[3]) / den;
  }
  if (kind == 2) {
    const double* m = coefs;
    double a = 0.0, b = 0.0, c = 0.0;
    const double x[4] = {p[0], p[1], p[2], 1.0};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) a += n[i] * m[i * 4 + j] * n[j];
    for (int i = 0; i < 3; ++i) {
      double r = 0.0;
      for (int j = 0; j < 4; ++j) r += m[i * 4 + j] * x[j];
      b += 2.0 * r * n[i];
    }
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) c += x[i] * m[i * 4 + j] * x[j];
    if (a == 0.0) {
      if (b == 0.0) {
        *status = 2;
        return 0.0;
      }
      return -c / b;
    }
    const double disc = b * b - 4.0 * a * c;
    if (disc < 0.0) {
      *status = 2;
      return 0.0;
    }
    const double r1 = (-b + std::sqrt(disc)) / (2.0 * a);
    const double r2 = (-b - std::sqrt(disc)) / (2.0 * a);
    return std::fabs(r1) < std::fabs(r2) ? r1 : r2;
  }
  if (kind == 1001) {
    const double *c = coefs, *a = coefs + 3;
    double w[3], q[3];
    vec_diff(p, c, 3, w);
    const double h = vec_dot(w, a, 3);
    for (int i = 0; i < 3; ++i) q[i] = w[i] - h * a[i];
    vec_normalize(q, 3, q, &flag);
    double r[3];
    for (int i = 0; i < 3; ++i) r[i] = w[i] - coefs[6] * q[i];
    return std::fabs(vec_length(r, 3, &flag) - coefs[7]);
  }
  auto clamp_asin = [](double v) { return std::asin(std::clamp(v, -1.0, 1.0)); };
  if (kind == 1003) {
    double nn[3];
    vec_normalize(p + 30, 3, nn, &flag);
    return std::fabs(clamp_asin(vec_dot(nn, coefs, 3)));
  }
  if (kind == 1004) {
    double nn[3], e[3];
    vec_normalize(p + 30, 3, nn, &flag);
    vec_diff(p, coefs, 3, e);
    vec_normalize(e, 3, e, &flag);
    return std::fabs(clamp_asin(vec_dot(nn, e, 3)));
  }
  if (kind == 1005) {
    double nn[3], e[3], x[3];
    vec_diff(p, coefs, 3, e);
    vec_cross(p + 30, e, x);
    vec_normalize(x, 3, nn, &flag);
    return std::fabs(clamp_asin(vec_dot(coefs + 3, nn, 3)));
  }
  return 0.0;
}

void clip_param_segment(const double* a, const double* b, const double* ur, const double* vr,
                        int* edge, double* crossing, int* status) {
  *edge = 0;
  const bool ain = march_detail::inside(a, ur, vr), bin = march_detail::inside(b, ur, vr);
  if (ain && bin) {
    *status = 1;
    return;
  }
  const double* ref = ain ? b : a;
  if ((a[0] == ur[0] && b[0] < ur[0]) || (a[0] == ur[1] && b[0] > ur[1]) ||
      (a[1] == vr[0] && b[1] < vr[0]) || (a[1] == vr[1] && b[1] > vr[1])) {
    *status = 4;
    return;
  }
  if ((a[0] < ur[0] && b[0] < ur[0]) || (a[0] > ur[1] && b[0] > ur[1]) ||
      (a[1] < vr[0] && b[1] < vr[0]) || (a[1] > vr[1] && b[1] > vr[1])) {
    *status = 0;
    return;
  }
  double n[2] = {-(b[1] - a[1]), b[0] - a[0]};
  const double len = std::hypot(n[0], n[1]);
  if (len == 0.0) {
    *status = ain ? 1 : 0;
    return;
  }
  n[0] /= len, n[1] /= len;
  const double cu[4] = {ur[0], ur[0], ur[1], ur[1]};
  const double cv[4] = {vr[0], vr[1], vr[1], vr[0]};
  double d[4];
  int pos = 0, neg = 0;
  for (int i = 0; i < 4; ++i) {
    d[i] = (cu[i] - a[0]) * n[0] + (cv[i] - a[1]) * n[1];
    pos += d[i] > 0.0;
    neg += d[i] < 0.0;
  }
  if (pos == 4 || neg == 4) {
    *status = 0;
    return;
  }
  bool chosen = false;
  double best = 0.0;
  for (int k = 1; k <= 4; ++k) {
    const int i = k - 1, j = k % 4;
    const double di = std::fabs(d[i]), dj = std::fabs(d[j]);
    if (d[i] * d[j] > 0.0 || di + dj == 0.0) continue;
    if ((k == 1 && a[0] == ur[0]) || (k == 2 && a[1] == vr[1]) || (k == 3 && a[0] == ur[1]) ||
        (k == 4 && a[1] == vr[0]))
      continue;
    double c[2];
    switch (k) {
      case 1: c[0] = ur[0], c[1] = (di * vr[1] + dj * vr[0]) / (di + dj); break;
      case 2: c[0] = (di * ur[1] + dj * ur[0]) / (di + dj), c[1] = vr[1]; break;
      case 3: c[0] = ur[1], c[1] = (di * vr[0] + dj * vr[1]) / (di + dj); break;
      default: c[0] = (di * ur[0] + dj * ur[1]) / (di + dj), c[1] = vr[0]; break;
    }
    const double dist = std::hypot(c[0] - ref[0], c[1] - ref[1]);
    if (!chosen || dist < best) {
      chosen = true;
      best = dist;
      crossing[0] = c[0], crossing[1] = c[1];
      *edge = k;
    }
  }
  if (ain) *status = 2;
  else *status = (bin || chosen) ? 3 : 5;
}
