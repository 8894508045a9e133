#include "spline/reference_testutil.h"

#include <algorithm>
#include <cmath>

namespace ref {

int interval(const std::vector<double>& t, int k, int n, double x, bool left_hand) {
  if (left_hand && x <= t[n]) {
    for (int l = k - 1; l <= n - 1; ++l)
      if (t[l] < x && x <= t[l + 1]) return l;
    return k - 1;
  }
  int best = k - 1;
  for (int l = k - 1; l <= n - 1; ++l)
    if (t[l] <= x && t[l] < t[l + 1]) best = l;
  return best;
}

double basis(const std::vector<double>& t, int i, int k, int l, double x, int j) {
  if (k == 1) return (j == 0 && i == l) ? 1.0 : 0.0;
  const double d1 = t[i + k - 1] - t[i];
  const double d2 = t[i + k] - t[i + 1];
  if (j == 0) {
    double a = d1 > 0 ? (x - t[i]) / d1 * basis(t, i, k - 1, l, x, 0) : 0.0;
    double b = d2 > 0 ? (t[i + k] - x) / d2 * basis(t, i + 1, k - 1, l, x, 0) : 0.0;
    return a + b;
  }
  double a = d1 > 0 ? basis(t, i, k - 1, l, x, j - 1) / d1 : 0.0;
  double b = d2 > 0 ? basis(t, i + 1, k - 1, l, x, j - 1) / d2 : 0.0;
  return (k - 1) * (a - b);
}

namespace {

double binom(int n, int r) {
  double c = 1;
  for (int i = 1; i <= r; ++i) c = c * (n - r + i) / i;
  return c;
}

}  // namespace

std::vector<double> curve(const std::vector<double>& t, int k, int n, const std::vector<double>& verts,
                          int dim, bool rational, double x, int d, bool left_hand) {
  const int w = rational ? dim + 1 : dim;
  const int l = interval(t, k, n, x, left_hand);
  std::vector<double> h((d + 1) * w, 0.0);
  for (int j = 0; j <= d; ++j)
    for (int i = l - k + 1; i <= l; ++i) {
      const double b = basis(t, i, k, l, x, j);
      for (int m = 0; m < w; ++m) h[j * w + m] += b * verts[i * w + m];
    }
  if (!rational) return h;
  // Quotient rule: A = w C, so C^(j) = (A^(j) - sum_{i>=1} C(j,i) w^(i) C^(j-i)) / w.
  std::vector<double> c((d + 1) * dim, 0.0);
  for (int j = 0; j <= d; ++j)
    for (int m = 0; m < dim; ++m) {
      double s = h[j * w + m];
      for (int i = 1; i <= j; ++i) s -= binom(j, i) * h[i * w + dim] * c[(j - i) * dim + m];
      c[j * dim + m] = s / h[dim];
    }
  return c;
}

std::vector<double> surface(const std::vector<double>& t1, const std::vector<double>& t2, int k1,
                            int k2, int n1, int n2, const std::vector<double>& verts, int dim,
                            bool rational, double u, double v, int d1, int d2, bool left1,
                            bool left2) {
  const int w = rational ? dim + 1 : dim;
  const int l1 = interval(t1, k1, n1, u, left1);
  const int l2 = interval(t2, k2, n2, v, left2);
  std::vector<double> h((d1 + 1) * (d2 + 1) * w, 0.0);
  for (int a = 0; a <= d1; ++a)
    for (int b = 0; b <= d2; ++b)
      for (int j = l2 - k2 + 1; j <= l2; ++j) {
        const double bv = basis(t2, j, k2, l2, v, b);
        for (int i = l1 - k1 + 1; i <= l1; ++i) {
          const double bu = basis(t1, i, k1, l1, u, a);
          for (int m = 0; m < w; ++m)
            h[(b * (d1 + 1) + a) * w + m] += bu * bv * verts[(j * n1 + i) * w + m];
        }
      }
  if (!rational) return h;
  std::vector<double> c((d1 + 1) * (d2 + 1) * dim, 0.0);
  auto idx = [d1](int a, int b) { return b * (d1 + 1) + a; };
  for (int tot = 0; tot <= d1 + d2; ++tot)
    for (int b = 0; b <= tot; ++b) {
      const int a = tot - b;
      if (a > d1 || b > d2) continue;
      for (int m = 0; m < dim; ++m) {
        double s = h[idx(a, b) * w + m];
        for (int p = 0; p <= a; ++p)
          for (int q = 0; q <= b; ++q) {
            if (p == 0 && q == 0) continue;
            s -= binom(a, p) * binom(b, q) * h[idx(p, q) * w + dim] * c[idx(a - p, b - q) * dim + m];
          }
        c[idx(a, b) * dim + m] = s / h[dim];
      }
    }
  return c;
}

std::vector<double> random_knots(std::mt19937& rng, int k, int n, int max_mult, bool clamped) {
  std::uniform_real_distribution<double> step(0.2, 1.5);
  std::uniform_int_distribution<int> mult(1, std::max(1, max_mult));
  std::vector<double> t;
  double x = 0.0;
  if (clamped) {
    for (int i = 0; i < k; ++i) t.push_back(x);
  } else {
    for (int i = 0; i < k; ++i) {
      t.push_back(x);
      x += step(rng);
    }
    x = t.back();
  }
  // Interior knots: n - k of them, after t[k-1].
  while (static_cast<int>(t.size()) < n) {
    x += step(rng);
    int m = std::min(mult(rng), n - static_cast<int>(t.size()));
    for (int i = 0; i < m; ++i) t.push_back(x);
  }
  x += step(rng);
  if (clamped) {
    for (int i = 0; i < k; ++i) t.push_back(x);
  } else {
    for (int i = 0; i < k; ++i) {
      t.push_back(x);
      x += step(rng);
    }
  }
  return t;
}

void dense_solve(std::vector<double> a, int n, std::vector<double>& b, int nrhs) {
  for (int c = 0; c < n; ++c) {
    int piv = c;
    for (int r = c + 1; r < n; ++r)
      if (std::fabs(a[r * n + c]) > std::fabs(a[piv * n + c])) piv = r;
    for (int j = 0; j < n; ++j) std::swap(a[c * n + j], a[piv * n + j]);
    for (int j = 0; j < nrhs; ++j) std::swap(b[c * nrhs + j], b[piv * nrhs + j]);
    for (int r = c + 1; r < n; ++r) {
      const double f = a[r * n + c] / a[c * n + c];
      if (f == 0.0) continue;
      for (int j = c; j < n; ++j) a[r * n + j] -= f * a[c * n + j];
      for (int j = 0; j < nrhs; ++j) b[r * nrhs + j] -= f * b[c * nrhs + j];
    }
  }
  for (int c = n - 1; c >= 0; --c)
    for (int j = 0; j < nrhs; ++j) {
      double s = b[c * nrhs + j];
      for (int i = c + 1; i < n; ++i) s -= a[c * n + i] * b[i * nrhs + j];
      b[c * nrhs + j] = s / a[c * n + c];
    }
}

}  // namespace ref
