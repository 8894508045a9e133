#include "spline/linalg.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "spline/status.h"

bool dequal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

bool dequal_off(double a, double b, double c) { return dequal(a + c, b + c); }

double vec_dot(const double* a, const double* b, int d) {
  double s = 0.0;
  for (int i = 0; i < d; ++i) s += a[i] * b[i];
  return s;
}

void vec_diff(const double* a, const double* b, int d, double* out) {
  for (int i = 0; i < d; ++i) out[i] = a[i] - b[i];
}

double vec_dist(const double* a, const double* b, int d) {
  double s = 0.0;
  for (int i = 0; i < d; ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(s);
}

void vec_cross(const double* a, const double* b, double* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

double vec_length(const double* v, int d, int* flag) {
  double len = d == 1 ? std::fabs(v[0]) : std::sqrt(vec_dot(v, v, d));
  *flag = len != 0.0 ? 1 : 0;
  return len;
}

double vec_normalize(const double* v, int d, double* out, int* flag) {
  int nonzero = 0;
  const double len = vec_length(v, d, &nonzero);
  if (nonzero) {
    for (int i = 0; i < d; ++i) out[i] = v[i] / len;
    *flag = 1;
  } else {
    for (int i = 0; i < d; ++i) out[i] = 0.0;
    *flag = 0;
  }
  return len;
}

double vec_angle(const double* a, const double* b, int d) {
  int fa = 0, fb = 0;
  const double la = vec_length(a, d, &fa);
  const double lb = vec_length(b, d, &fb);
  if (!fa || !fb) return 0.0;
  return std::acos(std::fmin(1.0, std::fabs(vec_dot(a, b, d) / (la * lb))));
}

void s6lufacp(double* a, int* piv, int n, int* status) {
  auto* scale = static_cast<double*>(std::calloc(n > 0 ? n : 1, sizeof(double)));
  if (!scale) {
    *status = kErrMemory;
    error_report("s6lufacp", *status, 0);
    return;
  }
  for (int i = 0; i < n; ++i) {
    piv[i] = i;
    double m = 0.0;
    for (int j = 0; j < n; ++j) m = std::fmax(m, std::fabs(a[i * n + j]));
    scale[i] = m;
  }
  for (int i = 0; i < n - 1; ++i) {
    int best = -1;
    double best_ratio = -1.0;
    for (int j = i; j < n; ++j) {
      const int row = piv[j];
      if (scale[row] == 0.0) {
        std::free(scale);
        *status = 1;
        return;
      }
      const double ratio = std::fabs(a[row * n + i]) / scale[row];
      if (ratio > best_ratio) {
        best_ratio = ratio;
        best = j;
      }
    }
    const int tmp = piv[i];
    piv[i] = piv[best];
    piv[best] = tmp;
    const int r = piv[i];
    const double pivot = a[r * n + i];
    for (int j = i + 1; j < n; ++j) {
      if (pivot == 0.0) {
        std::free(scale);
        *status = 1;
        return;
      }
      const int s = piv[j];
      const double f = a[s * n + i] / pivot;
      a[s * n + i] = f;
      for (int k = i + 1; k < n; ++k) a[s * n + k] -= f * a[r * n + k];
    }
  }
  std::free(scale);
  // The last pivot is not used for elimination, but a zero there makes the matrix
  // singular all the same.
  *status = (n > 0 && a[piv[n - 1] * n + n - 1] == 0.0) ? 1 : 0;
}

void s6lusolp(const double* a, double* b, const int* piv, int n, int* status) {
  auto* x = static_cast<double*>(std::malloc(sizeof(double) * (n > 0 ? n : 1)));
  if (!x) {
    *status = kErrMemory;
    error_report("s6lusolp", *status, 0);
    return;
  }
  for (int i = 0; i < n - 1; ++i)
    for (int j = i + 1; j < n; ++j) b[piv[j]] -= b[piv[i]] * a[piv[j] * n + i];
  for (int i = n - 1; i >= 0; --i) {
    const int r = piv[i];
    double s = b[r];
    for (int j = i + 1; j < n; ++j) s -= x[j] * a[r * n + j];
    b[r] = s;
    const double diag = a[r * n + i];
    if (diag == 0.0) {
      std::free(x);
      *status = 1;
      return;
    }
    x[i] = s / diag;
  }
  for (int i = 0; i < n; ++i) b[i] = x[i];
  std::free(x);
  *status = 0;
}

void s6decomp(const double* v, double* coords, const double* b1, const double* b2,
              const double* b3, int* status) {
  double m[9];
  int piv[3];
  for (int i = 0; i < 3; ++i) {
    m[i] = b1[i];
    m[3 + i] = b2[i];
    m[6 + i] = b3[i];
  }
  int st = 0;
  s6lufacp(m, piv, 3, &st);
  if (st < 0) {
    *status = st;
    error_report("s6decomp", st, 0);
    return;
  }
  if (st == 1) {
    *status = 1;
    return;
  }
  for (int i = 0; i < 3; ++i) {
    double e[3] = {0.0, 0.0, 0.0};
    e[i] = 1.0;
    s6lusolp(m, e, piv, 3, &st);
    if (st < 0) {
      *status = st;
      error_report("s6decomp", st, 1);
      return;
    }
    if (st == 1) {
      *status = 1;
      return;
    }
    coords[i] = vec_dot(v, e, 3);
  }
  *status = 0;
}

void lsq_two_unknowns(const double* p, const double* q, const double* n, const double* r, int d,
                      int c, double* x, double* y, double* residual, int* status) {
  *x = *y = 0.0;
  *status = 0;
  const double pp = vec_dot(p, p, d), pq = vec_dot(p, q, d), qq = vec_dot(q, q, d);
  const double pr = c * vec_dot(p, r, d), qr = c * vec_dot(q, r, d);
  const double det = pq * pq - pp * qq;
  if (det != 0.0) {
    *x = (qr * pq - pr * qq) / det;
    *y = (pr * pq - qr * pp) / det;
    double s2 = 0.0, sn = 0.0, nn = 0.0;
    for (int i = 0; i < d; ++i) {
      const double s = c * r[i] - *x * p[i] - *y * q[i];
      s2 += s * s;
      sn += s * n[i];
      nn += n[i] * n[i];
    }
    // A zero reference vector would divide by zero: the plain length is given then.
    double res = nn > 0.0 ? std::sqrt(s2) / std::sqrt(nn) : std::sqrt(s2);
    *residual = sn < 0.0 ? -res : res;
    return;
  }
  if (pp == 0.0 && qq == 0.0) return;
  int flag = 0;
  const double rl = vec_length(r, d, &flag);
  if (pp != 0.0)
    *x = rl / std::sqrt(pp);
  else
    *y = rl / std::sqrt(qq);
}

void s6twonorm(const double* v, double* e1, double* e2, int* status) {
  double u[3];
  int flag = 0;
  vec_normalize(v, 3, u, &flag);
  if (!flag) {
    *status = -174;
    error_report("s6twonorm", *status, 0);
    return;
  }
  const double ax = std::fabs(u[0]), ay = std::fabs(u[1]), az = std::fabs(u[2]);
  double e[3] = {0.0, 0.0, 0.0};
  if (ax < ay && ax < az)
    e[0] = 1.0;
  else if (ay >= az)
    e[2] = 1.0;
  else
    e[1] = 1.0;
  double t[3];
  vec_cross(u, e, t);
  vec_normalize(t, 3, e1, &flag);
  vec_cross(u, e1, t);
  vec_normalize(t, 3, e2, &flag);
  *status = 0;
}

void s6rotmat(const double* p0, const double* p1, const double* axis, double* m, int* status) {
  double d[3], nv[3];
  vec_diff(p1, p0, 3, d);
  vec_cross(axis, d, nv);
  int flag = 0;
  const double ld = vec_length(d, 3, &flag);
  const double ln = vec_length(nv, 3, &flag);
  const double lp = vec_length(axis, 3, &flag);
  if (ld < 1e-6 || ln < 1e-6 || lp < 1e-6) {
    *status = -166;
    error_report("s6rotmat", *status, 0);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    m[i * 4 + 0] = d[i] / ld;
    m[i * 4 + 1] = nv[i] / ln;
    m[i * 4 + 2] = axis[i] / lp;
    m[i * 4 + 3] = p0[i];
  }
  m[12] = m[13] = m[14] = 0.0;
  m[15] = 1.0;
  *status = 0;
}

namespace {

double det3(const double* m, int r0, int r1, int r2, int c0, int c1, int c2) {
  auto e = [m](int r, int c) { return m[r * 4 + c]; };
  return e(r0, c0) * (e(r1, c1) * e(r2, c2) - e(r1, c2) * e(r2, c1)) -
         e(r0, c1) * (e(r1, c0) * e(r2, c2) - e(r1, c2) * e(r2, c0)) +
         e(r0, c2) * (e(r1, c0) * e(r2, c1) - e(r1, c1) * e(r2, c0));
}

}  // namespace

void mat4_inverse(const double* m, double* inv, int* status) {
  double cof[16];
  for (int i = 0; i < 4; ++i) {
    int rows[3], k = 0;
    for (int r = 0; r < 4; ++r)
      if (r != i) rows[k++] = r;
    for (int j = 0; j < 4; ++j) {
      int cols[3], l = 0;
      for (int c = 0; c < 4; ++c)
        if (c != j) cols[l++] = c;
      const double minor = det3(m, rows[0], rows[1], rows[2], cols[0], cols[1], cols[2]);
      cof[i * 4 + j] = ((i + j) % 2 == 0) ? minor : -minor;
    }
  }
  double det = 0.0;
  for (int j = 0; j < 4; ++j) det += m[j] * cof[j];
  if (det == 0.0) {
    for (int i = 0; i < 16; ++i) inv[i] = 0.0;
    *status = 1;
    return;
  }
  // Inverse = adjugate / det, the adjugate being the transposed cofactor matrix.
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) inv[i * 4 + j] = cof[j * 4 + i] / det;
  *status = 0;
}

void mat4_transform_point(const double* m, const double* x, double* out) {
  double r[3];
  for (int i = 0; i < 3; ++i)
    r[i] = m[i * 4] * x[0] + m[i * 4 + 1] * x[1] + m[i * 4 + 2] * x[2] + m[i * 4 + 3];
  for (int i = 0; i < 3; ++i) out[i] = r[i];
}

void axis_frame_matrix(const double* p0, const double* axis, const double* p1, double* m,
                       int* status) {
  double q[3], d[3], r[3], w[3], f[3], tmp[3];
  int flag = 0;
  vec_normalize(axis, 3, q, &flag);
  vec_diff(p1, p0, 3, d);
  const double t = vec_dot(d, q, 3);
  for (int i = 0; i < 3; ++i) {
    f[i] = p0[i] + t * q[i];
    tmp[i] = d[i] - t * q[i];
  }
  const double s = vec_normalize(tmp, 3, r, &flag);
  vec_cross(q, r, tmp);
  vec_normalize(tmp, 3, w, &flag);
  for (int i = 0; i < 3; ++i) {
    m[0 + i] = s * r[i];
    m[4 + i] = s * w[i];
    m[8 + i] = s * q[i];
    m[12 + i] = f[i];
  }
  m[3] = m[7] = m[11] = 0.0;
  m[15] = 1.0;
  *status = 0;
}

void frame_transform_points(const double* m, const double* points, int count, double* out) {
  for (int p = 0; p < count; ++p) {
    const double* x = points + 3 * p;
    double r[3];
    for (int i = 0; i < 3; ++i) r[i] = m[i] * x[0] + m[4 + i] * x[1] + m[8 + i] * x[2] + m[12 + i];
    for (int i = 0; i < 3; ++i) out[3 * p + i] = r[i];
  }
}
