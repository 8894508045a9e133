#include "spline/blend.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/approx.h"
#include "spline/curve_eval.h"
#include "spline/edit.h"
#include "spline/detail/internal.h"
#include "spline/interp.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

using namespace spline_detail;

void s1602(const double* start, const double* end, int k, int dim, double t0, double* t_end,
           spline_curve** curve, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1602", code, 0);
  };
  if (dim < 1) return fail(kErrDimension);
  if (k < 2) return fail(kErrInterval);
  const double L = vec_dist(start, end, dim);
  std::vector<double> t(k, t0);
  t.insert(t.end(), k, t0 + L);
  std::vector<double> v(static_cast<size_t>(k) * dim);
  for (int j = 0; j < k; ++j)
    for (int m = 0; m < dim; ++m) v[j * dim + m] = start[m] + j * (end[m] - start[m]) / (k - 1);
  spline_curve* c = L > 0.0 ? create_curve(k, k, t.data(), v.data(), 1, dim, 1) : nullptr;
  if (!c) return fail(kErrMemory);
  *t_end = t0 + L;
  *curve = c;
  *status = 0;
}

void s1301(double tol, double angle, int dim, spline_curve** curve, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1301", code, 1);
  };
  if (tol <= 0.0) return fail(kErrNegativeTolerance);
  if (dim < 2) return fail(-103);
  const double alpha = std::min(std::fabs(angle), 2 * M_PI);
  const int m = static_cast<int>(alpha / (std::pow(tol, 1.0 / 6.0) * M_PI * 2.0496003279360524682) + 1);
  const double tau = alpha / m;
  const double c = 1.8553013976081199;
  const double B = 0.6 * c - 0.9 * std::cos(tau);
  const double W = (0.4 * c + 1.8) * std::sin(tau);
  const double K = (0.4 * c + 1) * std::cos(tau) - 0.4 * c - 1;
  const double D = (std::sqrt(W * W - 4 * B * K) - W) / (2 * B);
  const bool full = alpha >= 2 * M_PI;
  std::vector<double> pts;  // 2D vertices
  std::vector<double> t;
  auto joint = [&](double phi) {
    const double cs = std::cos(phi), sn = std::sin(phi);
    pts.insert(pts.end(), {cs + D * sn, sn - D * cs, cs - D * sn, sn + D * cs});
  };
  if (!full) {
    pts.insert(pts.end(), {1, 0, 1, D});
    for (int i = 1; i < m; ++i) joint(alpha * i / m);
    const double cs = std::cos(alpha), sn = std::sin(alpha);
    pts.insert(pts.end(), {cs + D * sn, sn - D * cs, cs, sn});
    t.assign(4, 0.0);
    for (int i = 1; i < m; ++i) t.insert(t.end(), {double(i), double(i)});
    t.insert(t.end(), 4, double(m));
  } else {
    for (int i = 0; i <= m; ++i) joint(alpha * i / m);
    t.push_back(-1);
    t.push_back(-1);
    for (int i = 0; i <= m; ++i) t.insert(t.end(), {double(i), double(i)});
    t.push_back(m + 1);
    t.push_back(m + 1);
  }
  const int n = static_cast<int>(pts.size()) / 2;
  std::vector<double> v(static_cast<size_t>(n) * dim, 0.0);
  for (int i = 0; i < n; ++i) {
    v[i * dim] = pts[2 * i];
    v[i * dim + 1] = angle < 0 ? -pts[2 * i + 1] : pts[2 * i + 1];
  }
  spline_curve* cv = create_curve(n, 4, t.data(), v.data(), 1, dim, 1);
  if (!cv) return fail(kErrMemory);
  if (full) cv->open_flag = -1;
  *curve = cv;
  *status = 0;
}

void s1303(const double* P, double eps, double angle, const double* C, const double* axis,
           int dim, spline_curve** curve, int* status) {
  auto fail = [&](int code, int pos) {
    *status = code;
    error_report("s1303", code, pos);
  };
  if (dim != 2 && dim != 3) return fail(kErrDimensionNot3, 1);
  double d[3] = {0, 0, 0};
  for (int m = 0; m < dim; ++m) d[m] = P[m] - C[m];
  if (dim == 3) {
    double a[3];
    int flag = 0;
    vec_normalize(axis, 3, a, &flag);
    const double s = vec_dot(d, a, 3);
    for (int m = 0; m < 3; ++m) d[m] -= s * a[m];
  }
  int flag = 0;
  const double r = vec_length(d, dim, &flag);
  if (!(r > 0.0)) return fail(-127, 0);
  spline_curve* arc = nullptr;
  int st = 0;
  s1301(eps / r, angle, dim, &arc, &st);
  if (st < 0) return fail(st, 0);
  const int n = arc->vertex_count;
  if (dim == 2) {
    const double u = P[0] - C[0], v = P[1] - C[1];
    for (int i = 0; i < n; ++i) {
      const double x = arc->coefs[2 * i], y = arc->coefs[2 * i + 1];
      arc->coefs[2 * i] = x * u - y * v + C[0];
      arc->coefs[2 * i + 1] = x * v + y * u + C[1];
    }
  } else {
    double M[16];
    axis_frame_matrix(C, axis, P, M, &st);
    frame_transform_points(M, arc->coefs, n, arc->coefs);
  }
  *curve = arc;
  *status = 0;
}

void S1385(const double* p0, const double* p1, const double* p2, double shape, int dim, double eps,
           spline_curve** curve, int* status) {
  if (shape >= 1.0) shape = 0.9999999;
  const double w = shape / (1.0 - shape);
  std::vector<double> hom;
  for (int m = 0; m < dim; ++m) hom.push_back(p0[m]);
  hom.push_back(1.0);
  for (int m = 0; m < dim; ++m) hom.push_back(w == 0.0 ? p1[m] : w * p1[m]);
  hom.push_back(w);
  for (int m = 0; m < dim; ++m) hom.push_back(p2[m]);
  hom.push_back(1.0);
  std::vector<double> t{0, 0, 0, 1, 1, 1};
  spline_curve* rat = create_curve(3, 3, t.data(), hom.data(), 4, dim, 1);
  if (!rat) {
    *status = kErrMemory;
    error_report("S1385", *status, 0);
    return;
  }
  const double zero[3] = {0, 0, 0};
  int st = 0;
  s1360(rat, 0.0, eps, zero, vec_dist(p0, p2, dim), dim, curve, &st);
  destroy_curve(rat);
  if (st < 0) {
    *status = st;
    error_report("S1385", st, 0);
    return;
  }
  *status = 0;
}

namespace {

// The point an entry's derivative belongs to: type 4 the previous point, 3 the next.
int owner_point(const int* types, int count, int i) {
  if (types[i] == 4) {
    for (int j = i - 1; j >= 0; --j)
      if (types[j] <= 2) return j;
  } else if (types[i] == 3) {
    for (int j = i + 1; j < count; ++j)
      if (types[j] <= 2) return j;
  }
  return i;
}

}  // namespace

void s1614(double* data, int count, int dim, int* types, int* kept, int* status) {
  std::vector<int> keep_t;
  std::vector<std::vector<double>> keep_v;
  for (int i = 0; i < count; ++i) {
    const int ty = types[i];
    if (ty < 1 || ty > 4) continue;
    if (ty == 4 && i == 0) continue;
    if (i > 0) {
      const int prev = types[i - 1];
      if ((ty == 3 && prev == 3) || (ty == 4 && (prev == 4 || prev == 3))) continue;
    }
    keep_t.push_back(ty);
    keep_v.emplace_back(data + static_cast<size_t>(i) * dim, data + static_cast<size_t>(i + 1) * dim);
  }
  if (count > 0 && types[count - 1] == 3 && !keep_t.empty()) {
    keep_t.pop_back();
    keep_v.pop_back();
  }
  if (keep_t.size() > 5) {
    if (keep_t[4] == 3) {
      keep_t[4] = keep_t[5];
      keep_v[4] = keep_v[5];
    }
    keep_t.resize(5);
    keep_v.resize(5);
  }
  const int n = static_cast<int>(keep_t.size());
  if (n >= 2 && keep_t[0] == 3) {
    std::swap(keep_v[0], keep_v[1]);
    keep_t[0] = 1;
    keep_t[1] = 4;
  }
  if (n >= 2 && keep_t[n - 1] == 4) {
    std::swap(keep_v[n - 1], keep_v[n - 2]);
    keep_t[n - 2] = 3;
    keep_t[n - 1] = 1;
  }
  int points = 0;
  for (int ty : keep_t) points += ty <= 2;
  if (points < 2) {
    *status = -181;
    error_report("s1614", *status, 0);
    return;
  }
  for (int i = 0; i < n; ++i) {
    types[i] = keep_t[i];
    for (int m = 0; m < dim; ++m) data[static_cast<size_t>(i) * dim + m] = keep_v[i][m];
  }
  *kept = n;
  *status = 0;
}

void s1615(const double* data, int count, int dim, const int* types, int* status) {
  *status = 0;
  if (count < 4) return;
  std::vector<double> poly(static_cast<size_t>(count) * 2);
  for (int i = 0; i < count; ++i) {
    const double* e = data + static_cast<size_t>(i) * dim;
    if (types[i] <= 2) {
      poly[2 * i] = e[0];
      poly[2 * i + 1] = e[1];
    } else {
      const double* p = data + static_cast<size_t>(owner_point(types, count, i)) * dim;
      const double s = types[i] == 3 ? -1.0 : 1.0;
      poly[2 * i] = p[0] + s * e[0];
      poly[2 * i + 1] = p[1] + s * e[1];
    }
  }
  bool pos = false, neg = false;
  for (int i = 0; i + 2 < count && i < 3; ++i) {
    const double ax = poly[2 * i + 2] - poly[2 * i], ay = poly[2 * i + 3] - poly[2 * i + 1];
    const double bx = poly[2 * i + 4] - poly[2 * i + 2], by = poly[2 * i + 5] - poly[2 * i + 3];
    const double cr = ax * by - ay * bx;
    pos |= cr > 0;
    neg |= cr < 0;
  }
  if (pos && neg) *status = 1;
}

double conic_fit_residual(const double* A, const double* b, const double* x, int n) {
  double worst = 0.0, big = 0.0;
  for (int i = 0; i < n; ++i) {
    double s = -b[i];
    for (int j = 0; j < n; ++j) {
      s += A[i * n + j] * x[j];
      big = std::max(big, std::fabs(A[i * n + j]));
    }
    worst = std::max(worst, std::fabs(s));
  }
  return worst / (big == 0.0 ? 1.0 : big);
}

void s1616(const double* data, int count, int dim, const int* types, double* conic, int* status) {
  const int n = count;
  auto line_through_ends = [&]() {
    const double* p0 = data;
    const double* pl = data + static_cast<size_t>(count - 1) * dim;
    for (int i = 0; i < 6; ++i) conic[i] = 0.0;
    conic[3] = (p0[1] - pl[1]) / 2;
    conic[4] = (pl[0] - p0[0]) / 2;
    conic[5] = p0[0] * pl[1] - p0[1] * pl[0];
  };
  // Rows of the homogeneous system: n + 1 unknowns (the last the constant term).
  std::vector<double> rows(static_cast<size_t>(n) * (n + 1), 0.0);
  for (int i = 0; i < n; ++i) {
    const double* e = data + static_cast<size_t>(i) * dim;
    const bool point = types[i] <= 2;
    const double* p = data + static_cast<size_t>(owner_point(types, count, i)) * dim;
    const double x = p[0], y = p[1], dx = e[0], dy = e[1];
    double* r = &rows[static_cast<size_t>(i) * (n + 1)];
    if (n == 3) {  // unknowns c3, c4, c5 and the coefficient of x^2 + y^2
      if (point) {
        r[0] = 2 * x, r[1] = 2 * y, r[2] = 1, r[3] = x * x + y * y;
      } else {
        r[0] = 2 * dx, r[1] = 2 * dy, r[2] = 0, r[3] = 2 * (dx * x + dy * y);
      }
    } else if (n == 4) {  // c0, c2, c3, c4 and the constant
      if (point) {
        r[0] = x * x, r[1] = y * y, r[2] = 2 * x, r[3] = 2 * y, r[4] = 1;
      } else {
        r[0] = 2 * dx * x, r[1] = 2 * dy * y, r[2] = 2 * dx, r[3] = 2 * dy, r[4] = 0;
      }
    } else {  // c0, c1, c2, c3, c4 and the constant
      if (point) {
        r[0] = x * x, r[1] = 2 * x * y, r[2] = y * y, r[3] = 2 * x, r[4] = 2 * y, r[5] = 1;
      } else {
        r[0] = 2 * dx * x, r[1] = 2 * dy * x + 2 * dx * y, r[2] = 2 * dy * y, r[3] = 2 * dx,
        r[4] = 2 * dy, r[5] = 0;
      }
    }
  }
  // Solve with one unknown fixed to 1 (the last for the circle; every choice in turn
  // for a conic, keeping the best residual).
  double best = 1e300;
  std::vector<double> best_u;
  const int first_v = n == 3 ? n : 0;
  for (int v = first_v; v <= n; ++v) {
    std::vector<double> A(static_cast<size_t>(n) * n), b(n), x(n);
    for (int i = 0; i < n; ++i) {
      int c = 0;
      for (int j = 0; j <= n; ++j) {
        if (j == v) continue;
        A[i * n + c++] = rows[static_cast<size_t>(i) * (n + 1) + j];
      }
      b[i] = -rows[static_cast<size_t>(i) * (n + 1) + v];
    }
    std::vector<double> lu(A);
    std::vector<int> piv(n);
    int st = 0;
    s6lufacp(lu.data(), piv.data(), n, &st);
    if (st != 0) continue;
    x = b;
    s6lusolp(lu.data(), x.data(), piv.data(), n, &st);
    if (st != 0) continue;
    const double res = conic_fit_residual(A.data(), b.data(), x.data(), n);
    if (res < best) {
      best = res;
      best_u.assign(n + 1, 0.0);
      int c = 0;
      for (int j = 0; j <= n; ++j) best_u[j] = j == v ? 1.0 : x[c++];
    }
  }
  if (best_u.empty() || best > 1e-4) {
    line_through_ends();
    *status = 105;
    return;
  }
  for (int i = 0; i < 6; ++i) conic[i] = 0.0;
  if (n == 3) {
    const double s = best_u[3];  // coefficient of x^2 + y^2
    conic[0] = conic[2] = 1.0;
    conic[3] = best_u[0] / s, conic[4] = best_u[1] / s, conic[5] = best_u[2] / s;
  } else if (n == 4) {
    conic[0] = best_u[0], conic[2] = best_u[1], conic[3] = best_u[2], conic[4] = best_u[3],
    conic[5] = best_u[4];
  } else {
    for (int i = 0; i < 6; ++i) conic[i] = best_u[i];
  }
  *status = 0;
}

void conic_segment_points(const double* data, int count, const int* types, const double* q,
                          int code, double* middle, double* shape, int* status) {
  const int dim = 2;
  const double* p0 = data;
  const double* pl = data + static_cast<size_t>(count - 1) * dim;
  auto grad = [&](const double* p, double* g) {
    g[0] = 2 * (q[0] * p[0] + q[1] * p[1] + q[3]);
    g[1] = 2 * (q[1] * p[0] + q[2] * p[1] + q[4]);
  };
  double g0[2], gl[2];
  grad(p0, g0);
  grad(pl, gl);
  const double t0[2] = {-g0[1], g0[0]}, tl[2] = {-gl[1], gl[0]};
  const double Q[2] = {(p0[0] + pl[0]) / 2, (p0[1] + pl[1]) / 2};
  const double cr = t0[0] * tl[1] - t0[1] * tl[0];
  const double sine = std::fabs(cr) / (std::hypot(t0[0], t0[1]) * std::hypot(tl[0], tl[1]));
  const bool parallel = !(sine > 1e-12);
  double M[2], dir[2];
  if (!parallel) {
    // Tangent lines p0 + a t0 and pl + b tl meet in M.
    const double a = ((pl[0] - p0[0]) * tl[1] - (pl[1] - p0[1]) * tl[0]) / cr;
    M[0] = p0[0] + a * t0[0];
    M[1] = p0[1] + a * t0[1];
    dir[0] = M[0] - Q[0], dir[1] = M[1] - Q[1];
  } else {
    dir[0] = t0[0], dir[1] = t0[1];
    M[0] = Q[0] + dir[0], M[1] = Q[1] + dir[1];
  }
  // Conic along Q + s dir: A s^2 + B s + C = 0.
  const double A = q[0] * dir[0] * dir[0] + 2 * q[1] * dir[0] * dir[1] + q[2] * dir[1] * dir[1];
  const double B = 2 * (q[0] * Q[0] * dir[0] + q[1] * (Q[0] * dir[1] + Q[1] * dir[0]) +
                        q[2] * Q[1] * dir[1] + q[3] * dir[0] + q[4] * dir[1]);
  const double C = q[0] * Q[0] * Q[0] + 2 * q[1] * Q[0] * Q[1] + q[2] * Q[1] * Q[1] +
                   2 * q[3] * Q[0] + 2 * q[4] * Q[1] + q[5];
  double s1, s2;
  if (std::fabs(A) < 1e-300) {
    if (B == 0.0) {
      *status = 1;
      return;
    }
    s1 = s2 = -C / B;
  } else {
    const double disc = B * B - 4 * A * C;
    if (disc < 0) {
      *status = 1;
      return;
    }
    s1 = (-B + std::sqrt(disc)) / (2 * A);
    s2 = (-B - std::sqrt(disc)) / (2 * A);
  }
  if (parallel) {
    // The middle point is a direction and the shape factor 0.
    middle[0] = dir[0], middle[1] = dir[1];
    *shape = 0.0;
    *status = 0;
    return;
  }
  // Ratios along Q -> M (s measured in units of M - Q already).
  const double r1 = s1, r2 = s2;
  if (r1 >= 1 && r2 >= 1) {
    *status = 1;
    return;
  }
  // Which side of the chord the data lie on.
  const double nrm[2] = {-(pl[1] - p0[1]), pl[0] - p0[0]};
  bool data_side = false, decided = false;
  for (int i = 1; i < count - 1 && !decided; ++i)
    if (types[i] <= 2) {
      const double* X = data + static_cast<size_t>(i) * dim;
      const double a = (M[0] - p0[0]) * nrm[0] + (M[1] - p0[1]) * nrm[1];
      const double b = (X[0] - p0[0]) * nrm[0] + (X[1] - p0[1]) * nrm[1];
      data_side = a * b >= 0;
      decided = true;
    }
  if (!decided) {
    if (count > 1 && types[1] == 4) {
      const double* T = data + dim;
      data_side = T[0] * (M[0] - p0[0]) + T[1] * (M[1] - p0[1]) >= 0;
    } else if (count > 2 && types[count - 2] == 3) {
      const double* T = data + static_cast<size_t>(count - 2) * dim;
      data_side = T[0] * (pl[0] - M[0]) + T[1] * (pl[1] - M[1]) >= 0;
    } else {
      *status = 1;
      return;
    }
  }
  double sh;
  if (data_side) {
    // The arc runs between the chord and M: the intersection on that side.
    if (r1 > 0 && r2 > 0) {
      sh = std::min(r1, r2);
      if (code == 2) sh = std::min(r1, r2);
    } else {
      sh = r1 >= 0 ? r1 : r2;
    }
    if (!(sh >= 0 && sh < 1)) {
      *status = 1;
      return;
    }
  } else {
    sh = r1 <= 0 ? r1 : r2;
    if (sh > 0) {
      *status = 1;
      return;
    }
  }
  middle[0] = M[0], middle[1] = M[1];
  *shape = sh;
  *status = 0;
}

void s1617(const double* data, int count, int dim, const int* types, const double* q,
           double* start, double* middle, double* end, double* shape, int* status) {
  const double delta_big = q[0] * (q[2] * q[5] - q[4] * q[4]) - q[1] * (q[1] * q[5] - q[4] * q[3]) +
                           q[3] * (q[1] * q[4] - q[2] * q[3]);
  const double delta = q[0] * q[2] - q[1] * q[1];
  if (dequal(delta_big + 1.0, 1.0)) {
    *status = 1;
    return;
  }
  int code = delta > 0 ? 2 : delta == 0 ? 3 : 4;
  if (code == 2 && delta_big * q[0] > 0) {
    *status = 1;
    return;
  }
  std::vector<double> flat(static_cast<size_t>(count) * 2);
  for (int i = 0; i < count; ++i) {
    flat[2 * i] = data[static_cast<size_t>(i) * dim];
    flat[2 * i + 1] = data[static_cast<size_t>(i) * dim + 1];
  }
  conic_segment_points(flat.data(), count, types, q, code, middle, shape, status);
  if (*status != 0) return;
  for (int m = 0; m < dim; ++m) {
    start[m] = data[m];
    end[m] = data[static_cast<size_t>(count - 1) * dim + m];
  }
  if (dim == 3) middle[2] = 0.0;
}

void s1611(const double* data_in, int count, int dim, const double* types_in, int, int order,
           double start, double eps, double* end_par, spline_curve** curve, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1611", code, 0);
  };
  if ((dim != 2 && dim != 3) || order < 3) return fail(kErrDimensionNot3);
  std::vector<double> data(data_in, data_in + static_cast<size_t>(count) * dim);
  std::vector<int> types(count);
  for (int i = 0; i < count; ++i) types[i] = static_cast<int>(types_in[i]);
  int n = 0, st = 0;
  s1614(data.data(), count, dim, types.data(), &n, &st);
  if (st < 0) return fail(st);
  const double* first = &data[0];
  const double* last = &data[static_cast<size_t>(n - 1) * dim];
  const std::vector<double> p_first(first, first + dim), p_last(last, last + dim);
  int final_status = 0;
  spline_curve* result = nullptr;
  auto straight = [&]() {
    double e = 0;
    s1602(p_first.data(), p_last.data(), order, dim, start, &e, &result, &st);
    return st;
  };
  auto finish = [&]() {
    // Move the range so that it starts at the start parameter.
    const int k = result->order, nv = result->vertex_count;
    const double shift = start - result->knots[k - 1];
    for (int i = 0; i < nv + k; ++i) result->knots[i] += shift;
    *end_par = result->knots[nv];
    *curve = result;
    *status = final_status;
  };
  if (n == 2) {
    if (straight() < 0) return fail(st);
    return finish();
  }
  // Work in the plane: 2D coordinates of every entry.
  std::vector<double> plane(static_cast<size_t>(n) * 2);
  double Mw[16] = {0}, Minv[16] = {0};
  if (dim == 3) {
    bool placed = false;
    std::vector<double> rel(static_cast<size_t>(n) * 3);
    for (int i = 0; i < n; ++i)
      for (int m = 0; m < 3; ++m)
        rel[i * 3 + m] = types[i] <= 2 ? data[i * 3 + m] - p_first[m] : data[i * 3 + m];
    const double* L = &rel[static_cast<size_t>(n - 1) * 3];
    const double origin[3] = {0, 0, 0};
    for (int i = 1; i < n - 1 && !placed; ++i) {
      if (types[i] > 2) continue;
      double ax[3];
      vec_cross(L, &rel[static_cast<size_t>(i) * 3], ax);
      int rs = 0;
      s6rotmat(origin, L, ax, Mw, &rs);
      placed = rs == 0;
    }
    if (!placed) {
      if (straight() < 0) return fail(st);
      return finish();
    }
    mat4_inverse(Mw, Minv, &st);
    for (int i = 0; i < n; ++i) {
      double out[3];
      if (types[i] <= 2) {
        mat4_transform_point(Minv, &rel[static_cast<size_t>(i) * 3], out);
      } else {
        // Directions: the linear part only.
        const double* d = &rel[static_cast<size_t>(i) * 3];
        for (int r = 0; r < 3; ++r) out[r] = Minv[r * 4] * d[0] + Minv[r * 4 + 1] * d[1] + Minv[r * 4 + 2] * d[2];
      }
      plane[2 * i] = out[0];
      plane[2 * i + 1] = out[1];
    }
  } else {
    plane = std::vector<double>(data.begin(), data.begin() + static_cast<size_t>(n) * 2);
  }
  s1615(plane.data(), n, 2, types.data(), &st);
  if (st < 0) return fail(st);
  if (st == 1) {
    if (straight() < 0) return fail(st);
    return finish();
  }
  double q[6];
  s1616(plane.data(), n, 2, types.data(), q, &st);
  if (st < 0) return fail(st);
  if (st == 105) final_status = 105;
  auto to_world = [&](const double* p2, bool point, double* out) {
    if (dim == 2) {
      out[0] = p2[0], out[1] = p2[1];
      return;
    }
    const double loc[3] = {p2[0], p2[1], 0};
    if (point) {
      mat4_transform_point(Mw, loc, out);
      for (int m = 0; m < 3; ++m) out[m] += p_first[m];
    } else {
      for (int r = 0; r < 3; ++r) out[r] = Mw[r * 4] * loc[0] + Mw[r * 4 + 1] * loc[1];
    }
  };
  if (final_status == 105) {
    if (straight() < 0) return fail(st);
    return finish();
  }
  if (n == 3) {
    // Circle: centre (-c3, -c4).
    const double c2[2] = {-q[3], -q[4]};
    double C[3] = {0, 0, 0};
    to_world(c2, true, C);
    const double* P1 = &data[0];
    const double* P2 = &data[static_cast<size_t>(2) * dim];
    const double* T1 = &data[static_cast<size_t>(1) * dim];
    double a[3] = {0, 0, 0}, b[3] = {0, 0, 0}, d12[3] = {0, 0, 0};
    for (int m = 0; m < dim; ++m) {
      a[m] = P1[m] - C[m];
      b[m] = P2[m] - C[m];
      d12[m] = P2[m] - P1[m];
    }
    int flag = 0;
    const double la = vec_length(a, dim, &flag), lb = vec_length(b, dim, &flag);
    double cosv = vec_dot(a, b, dim) / (la * lb);
    cosv = std::max(-1.0, std::min(1.0, cosv));
    double theta = std::acos(cosv);
    double axis[3] = {0, 0, 1};
    if (dim == 2) {
      if (a[0] * T1[1] - a[1] * T1[0] < 0) theta = -theta;
    } else {
      vec_cross(a, T1, axis);
    }
    if (vec_dot(T1, d12, dim) < 0) theta = theta >= 0 ? 2 * M_PI - theta : -(theta + 2 * M_PI);
    s1303(P1, eps, theta, C, axis, dim, &result, &st);
    if (st < 0) return fail(st);
    return finish();
  }
  double s[3], mid[3] = {0, 0, 0}, e[3], shape = 0;
  s1617(plane.data(), n, 2, types.data(), q, s, mid, e, &shape, &st);
  if (st < 0) return fail(st);
  if (st == 1) {
    if (straight() < 0) return fail(st);
    return finish();
  }
  double mw[3] = {0, 0, 0};
  to_world(mid, shape != 0.0, mw);
  S1385(p_first.data(), mw, p_last.data(), shape, dim, eps, &result, &st);
  if (st < 0) return fail(st);
  finish();
}

void s1607(const spline_curve* c1, const spline_curve* c2, double eps, double a1, double b1,
           double a2, double b2, int type, int dim, int order, spline_curve** blend, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1607", code, 0);
  };
  int st = 0;
  s1707(c1, &st);
  if (st < 0) return fail(st);
  s1707(c2, &st);
  if (st < 0) return fail(st);
  if (c1->dim != dim || c2->dim != dim) return fail(kErrDimensionMismatch);
  std::vector<double> d1(2 * dim), d2(2 * dim);
  int left = 0;
  if (a1 >= b1) {
    s1221(c1, 1, b1, &left, d1.data(), &st);
    for (int m = 0; m < dim; ++m) d1[dim + m] = -d1[dim + m];
  } else {
    S1227(c1, 1, b1, &left, d1.data(), &st);
  }
  if (st < 0) return fail(st);
  if (a2 >= b2) {
    s1221(c2, 1, b2, &left, d2.data(), &st);
  } else {
    S1227(c2, 1, b2, &left, d2.data(), &st);
    for (int m = 0; m < dim; ++m) d2[dim + m] = -d2[dim + m];
  }
  if (st < 0) return fail(st);
  double* P1 = d1.data();
  double* T1 = d1.data() + dim;
  double* P2 = d2.data();
  double* T2 = d2.data() + dim;
  int flag = 0;
  if (type == 2) {
    std::vector<double> t1(dim), t2(dim), A(dim), B(dim);
    vec_normalize(T1, dim, t1.data(), &flag);
    vec_normalize(T2, dim, t2.data(), &flag);
    const double d = vec_dist(P1, P2, dim);
    for (int m = 0; m < dim; ++m) {
      A[m] = P1[m] + d * t1[m];
      B[m] = P2[m] - d * t2[m];
    }
    if (eps / vec_dist(A.data(), B.data(), dim) < 1e-4) type = 0;
  }
  bool planar = dim == 2;
  double E[3] = {0, 0, 0};
  if (dim == 3) {
    vec_normalize(T1, 3, T1, &flag);
    vec_normalize(T2, 3, T2, &flag);
    double cr[3];
    vec_cross(T1, T2, cr);
    vec_normalize(cr, 3, E, &flag);
    double diff[3];
    vec_diff(P1, P2, 3, diff);
    planar = std::fabs(vec_dot(diff, E, 3)) < eps;
  }
  if (type != 1 && planar) {
    int f1 = 0, f2 = 0;
    const double l1 = vec_length(T1, dim, &f1), l2 = vec_length(T2, dim, &f2);
    double theta = 0.0;
    if (f1 && f2) theta = std::acos(std::min(1.0, vec_dot(T1, T2, dim) / (l1 * l2)));
    double chord[3] = {0, 0, 0};
    for (int m = 0; m < dim; ++m) chord[m] = P2[m] - P1[m];
    if (M_PI - theta >= 0.01 && theta > 0.01) {
      double n1[3] = {0, 0, 0}, n2[3] = {0, 0, 0};
      if (dim == 2) {
        const double a[2] = {T1[1], -T1[0]}, b[2] = {T2[1], -T2[0]};
        vec_normalize(a, 2, n1, &flag);
        vec_normalize(b, 2, n2, &flag);
      } else {
        double a[3], b[3];
        vec_cross(E, T1, a);
        vec_cross(E, T2, b);
        vec_normalize(a, 3, n1, &flag);
        vec_normalize(b, 3, n2, &flag);
      }
      double dn[3];
      vec_diff(n1, n2, dim, dn);
      if (vec_angle(dn, chord, dim) < 0.01) type = 1;
    } else if (M_PI - theta < 0.01) {
      if (std::fabs(vec_angle(chord, T1, dim) - M_PI / 2) < 0.01) type = 1;
    }
  }
  std::vector<double> data;
  data.insert(data.end(), P1, P1 + dim);
  data.insert(data.end(), T1, T1 + dim);
  data.insert(data.end(), P2, P2 + dim);
  data.insert(data.end(), T2, T2 + dim);
  const double types[4] = {1, 4, 1, 4};
  spline_curve* result = nullptr;
  if ((type == 1 || type == 2) && planar) {
    double end = 0;
    int sst = 0;
    s1611(data.data(), type == 1 ? 3 : 4, dim, types, 0, order, 0.0, eps, &end, &result, &sst);
    if (sst < 0 && sst != kErrDimensionNot3) return fail(sst);
    if (sst == 105) {
      destroy_curve(result);
      result = nullptr;
      s1611(data.data(), 3, dim, types, 0, order, 0.0, eps, &end, &result, &sst);
      if (sst < 0 && sst != kErrDimensionNot3) return fail(sst);
    }
    if (result && result->vertex_count <= result->order) {
      destroy_curve(result);
      result = nullptr;
    }
  }
  if (!result) {
    double end = 0, *par = nullptr;
    int np = 0;
    s1334(data.data(), 4, dim, types, 0, 0, 1, order, 0.0, &end, &result, &par, &np, &st);
    std::free(par);
    if (st < 0) return fail(st);
  }
  *blend = result;
  *status = 0;
}

void s1606(const spline_curve* c1, const spline_curve* c2, double eps, const double* point1,
           const double* point2, int type, int dim, int order, spline_curve** blend, int* status) {
  if (c1->dim != dim || c2->dim != dim) {
    *status = kErrDimensionMismatch;
    error_report("s1606", *status, 0);
    return;
  }
  auto ends = [dim](const spline_curve* c, const double* p, double* a, double* b) {
    const double* f = c->coefs;
    const double* l = c->coefs + static_cast<size_t>(c->vertex_count - 1) * dim;
    double df = 0, dl = 0;
    for (int m = 0; m < dim; ++m) {
      df += (p[m] - f[m]) * (p[m] - f[m]);
      dl += (p[m] - l[m]) * (p[m] - l[m]);
    }
    const double s = c->knots[c->order - 1], e = c->knots[c->vertex_count];
    if (!(df < dl)) {
      *a = s, *b = e;
    } else {
      *a = e, *b = s;
    }
  };
  double a1, b1, a2, b2;
  ends(c1, point1, &a1, &b1);
  ends(c2, point2, &a2, &b2);
  int st = 0;
  s1607(c1, c2, eps, a1, b1, a2, b2, type, dim, order, blend, &st);
  if (st < 0) {
    *status = st;
    error_report("s1606", st, 0);
    return;
  }
  *status = st;
}

void s1605(const spline_curve* c, double eps, double** points, int* count, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1605", code, 0);
  };
  const int k = c->order, n = c->vertex_count, dim = c->dim;
  if (k < 1) return fail(kErrOrder);
  if (n < k) return fail(kErrTooFewVertices);
  if (dim < 1) return fail(kErrDimension);
  std::vector<double> out;
  if (k == 1) {
    out.assign(c->coefs, c->coefs + static_cast<size_t>(n) * dim);
  } else {
    const double* t = c->knots;
    std::vector<double> par;
    int mu = k - 1;
    while (mu < n) {
      const double a = t[mu];
      int last = mu;  // last index of the interval starting at a
      while (last + 1 < n && t[last + 1] == a) ++last;
      mu = last;
      const double g = t[mu + 1];
      int mult = 0;
      for (int i = 0; i < n + k; ++i) mult += t[i] == a;
      if (par.empty() || mult >= k - 1) par.push_back(a);
      // Bound of the second derivative from the vertices of this interval.
      double M = 0.0;
      for (int l = mu - k + 3; k > 2 && l <= mu; ++l)
        for (int m = 0; m < dim; ++m) {
          auto d1 = [&](int i) {
            return (k - 1) * (c->coefs[i * dim + m] - c->coefs[(i - 1) * dim + m]) / (t[i + k - 1] - t[i]);
          };
          M = std::max(M, std::fabs((k - 2) * (d1(l) - d1(l - 1)) / (t[l + k - 2] - t[l])));
        }
      const int v = std::max(1, static_cast<int>(std::sqrt(M / (8 * eps)) * (g - a)));
      for (int q = 1; q <= v; ++q) par.push_back(a + q * (g - a) / (v + 1));
      par.push_back(g);
      ++mu;
    }
    out.resize(par.size() * dim);
    int left = 0, st = 0;
    for (size_t i = 0; i < par.size(); ++i) {
      s1221(c, 0, par[i], &left, &out[i * dim], &st);
      if (st < 0) return fail(st);
    }
  }
  *points = malloc_copy(out.data(), out.size());
  if (!*points) return fail(kErrMemory);
  *count = static_cast<int>(out.size()) / dim;
  *status = 0;
}
