#include "spline/collocation.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/internal.h"
#include "spline/linalg.h"
#include "spline/status.h"

using namespace spline_detail;

namespace {

int check_knots(const std::vector<double>& t, int k) {
  int run = 1;
  for (size_t i = 1; i < t.size(); ++i) {
    if (t[i] < t[i - 1]) return kErrKnots;
    run = t[i] == t[i - 1] ? run + 1 : 1;
    if (run > k) return kErrKnots;
  }
  return 0;
}

}  // namespace

void s1902(const double* par, int n, int k, int nonperiodic, double** knots, int* status) {
  std::vector<double> t;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1902", code, 0);
  };
  if (n < 1 || k < 1) return fail(kErrKnots);
  const int h = k / 2;
  if (nonperiodic == 1) {
    const double t0 = par[0], tl = par[n - 1];
    if (!(tl > t0)) return fail(kErrKnots);
    int ms = 1, me = 1;
    while (ms < n && par[ms] == t0) ++ms;
    while (me < n && par[n - 1 - me] == tl) ++me;
    t.assign(k, t0);
    if (k % 2 == 0) {
      double a = (par[ms] + t0) / 2, b = (par[n - me - 1] + tl) / 2;
      if (a == b) {
        a = (par[ms] + 2 * t0) / 3;
        b = (par[n - me - 1] + 2 * tl) / 3;
      }
      for (int i = 0; i < ms - h; ++i) t.push_back(a);
      for (int i = std::max(ms, h); i <= n - std::max(me, h) - 1; ++i) t.push_back(par[i]);
      for (int i = 0; i < me - h; ++i) t.push_back(b);
    } else {
      if (ms > h)
        for (int j = 1; j <= ms - h; ++j) t.push_back(t0 + j * (par[ms] - t0) / (ms - h + 1));
      for (int i = std::max(ms, h); i <= n - std::max(me, h) - 2; ++i)
        t.push_back((par[i] + par[i + 1]) / 2);
      if (me > h) {
        const double p = par[n - me - 1];
        for (int j = 1; j <= me - h; ++j) t.push_back(p + j * (tl - p) / (me - h + 1));
      }
    }
    for (int i = 0; i < k; ++i) t.push_back(tl);
    if (static_cast<int>(t.size()) != n + k) return fail(kErrKnots);
  } else {
    const double T = par[n] - par[0];
    if (!(T > 0)) return fail(kErrKnots);
    const int count = n + 2 * k - 1;
    if (k % 2 == 0) {
      for (int j = 0; j < h; ++j) t.push_back(par[n - h + j] - T);
      for (int j = 0; j <= n; ++j) t.push_back(par[j]);
      int j = 1;
      double shift = T;
      while (static_cast<int>(t.size()) < count) {
        if (j > n) {
          j = 1;
          shift += T;
        }
        t.push_back(par[j++] + shift);
      }
    } else {
      for (int j = 0; j <= h; ++j)
        t.push_back((par[n - h - 1 + j] + par[n - h + j]) / 2 - T);
      for (int j = 0; j < n; ++j) t.push_back((par[j] + par[j + 1]) / 2);
      int j = 0;
      double shift = T;
      while (static_cast<int>(t.size()) < count) {
        if (j >= n) {
          j = 0;
          shift += T;
        }
        t.push_back((par[j] + par[j + 1]) / 2 + shift);
        ++j;
      }
    }
    t.resize(count);
  }
  if (int st = check_knots(t, k)) return fail(st);
  double* out = static_cast<double*>(std::malloc(sizeof(double) * (t.size() + 1)));
  if (!out) return fail(kErrMemory);
  for (size_t i = 0; i < t.size(); ++i) out[i] = t[i];
  *knots = out;
  *status = 0;
}

void s1890(const double* t, int k, int n, double** par_out, int** der_out, int* status) {
  if (k < 2 || n < k || t[n] <= t[k - 1]) {
    *status = kErrKnots;
    error_report("s1890", *status, 0);
    return;
  }
  auto* par = static_cast<double*>(std::malloc(sizeof(double) * n));
  auto* der = static_cast<int*>(std::calloc(n, sizeof(int)));
  if (!par || !der) {
    std::free(par);
    std::free(der);
    *status = kErrMemory;
    error_report("s1890", *status, 0);
    return;
  }
  par[0] = t[k - 1];
  par[n - 1] = t[n];
  for (int i = 1; i < n - 1; ++i) {
    double s = 0;
    for (int j = i; j <= i + k; ++j) s += t[j];
    par[i] = s / (k + 1);
  }
  int f = k;
  while (t[f] <= t[k - 1]) ++f;
  double m = (t[k - 1] + t[f]) / 2;
  int c = 0;
  while (1 + c < n - 1 && par[1 + c] <= m) ++c;
  for (int j = 1; j <= c; ++j) par[j] = t[k - 1] + j * (m - t[k - 1]) / (c + 1);
  int l = n - 1;
  while (t[l] >= t[n]) --l;
  m = (t[l] + t[n]) / 2;
  c = 0;
  while (n - 2 - c > 0 && par[n - 2 - c] >= m) ++c;
  for (int j = 1; j <= c; ++j) par[n - 1 - j] = t[n] - j * (t[n] - m) / (c + 1);
  *par_out = par;
  *der_out = der;
  *status = 0;
}

void s1897(const double* t, int k, double x, int mu, int d, double* values, int* status) {
  // Values of order k - d by the recurrence, then d difference steps.
  std::vector<double> b(k, 0.0);
  b[0] = 1.0;
  for (int j = 1; j < k; ++j) {
    // b[0..j-1] are the order-j functions B_{mu-j+1..mu}; build order j + 1.
    const bool diff = j >= k - d;
    double saved = 0.0;
    for (int s = 0; s < j; ++s) {
      const int idx = mu - j + 1 + s;
      const double span = t[idx + j] - t[idx];
      if (!(span > 0)) {
        *status = kErrKnots;
        error_report("s1897", *status, 0);
        return;
      }
      if (diff) {
        const double temp = b[s] * j / span;
        b[s] = saved - temp;
        saved = temp;
      } else {
        const double temp = b[s] / span;
        b[s] = saved + (t[idx + j] - x) * temp;
        saved = (x - t[idx]) * temp;
      }
    }
    b[j] = saved;
  }
  for (int i = 0; i < k; ++i) values[i] = b[i];
  *status = 0;
}

void s1891(const double* par, const double* rhs, int dim, int n, int nrhs, const int* der,
           int nonperiodic, const double* t, double** verts_out, int* vertex_count, int k, int h,
           int ce, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1891", code, 0);
  };
  if (k < 1 || dim < 1 || n < 1) return fail(kErrKnots);
  const bool periodic = nonperiodic != 1;
  if (!periodic && (h != 0 || ce != 0)) return fail(-160);
  const int nv = periodic ? n + k - 1 : n;
  std::vector<double> basis(k);
  const int width = dim * nrhs;
  // Right-hand sides gathered per condition: all blocks side by side.
  std::vector<double> b(static_cast<size_t>(n) * width);
  for (int r = 0; r < nrhs; ++r)
    for (int i = 0; i < n; ++i)
      for (int m = 0; m < dim; ++m)
        b[static_cast<size_t>(i) * width + r * dim + m] = rhs[(static_cast<size_t>(r) * n + i) * dim + m];

  std::vector<double> x(static_cast<size_t>(n) * width);
  if (!periodic) {
    // Banded rows: row i holds columns first[i] .. first[i] + k - 1.  Elimination
    // without row exchanges keeps the band (collocation rows are ordered).
    std::vector<double> band(static_cast<size_t>(n) * k);
    std::vector<int> first(n);
    int mu = k - 1;
    for (int i = 0; i < n; ++i) {
      if (der[i] < 0 || der[i] >= k) return fail(-160);
      while (mu < n - 1 && t[mu + 1] <= par[i]) ++mu;
      first[i] = mu - k + 1;
      if (i < first[i] || i > mu) return fail(-165);
      int st = 0;
      s1897(t, k, par[i], mu, der[i], &band[static_cast<size_t>(i) * k], &st);
      if (st < 0) return fail(st);
    }
    for (int i = 0; i < n; ++i) {
      const double* ri = &band[static_cast<size_t>(i) * k];
      const double pivot = ri[i - first[i]];
      if (pivot == 0.0) return fail(-162);
      for (int r = i + 1; r < n && first[r] <= i; ++r) {
        double* rr = &band[static_cast<size_t>(r) * k];
        const double f = rr[i - first[r]] / pivot;
        if (f == 0.0) continue;
        rr[i - first[r]] = 0.0;
        for (int c = i + 1; c <= first[i] + k - 1; ++c) rr[c - first[r]] -= f * ri[c - first[i]];
        for (int w = 0; w < width; ++w) b[static_cast<size_t>(r) * width + w] -= f * b[static_cast<size_t>(i) * width + w];
      }
    }
    for (int i = n - 1; i >= 0; --i) {
      const double* ri = &band[static_cast<size_t>(i) * k];
      for (int w = 0; w < width; ++w) {
        double s = b[static_cast<size_t>(i) * width + w];
        for (int c = i + 1; c <= first[i] + k - 1 && c < n; ++c) s -= ri[c - first[i]] * x[static_cast<size_t>(c) * width + w];
        x[static_cast<size_t>(i) * width + w] = s / ri[i - first[i]];
      }
    }
  } else {
    // Periodic: columns wrap modulo n; solved densely with pivoting.
    const double T = t[nv] - t[k - 1];
    std::vector<double> a(static_cast<size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) {
      if (der[i] < 0 || der[i] >= k) return fail(-160);
      double p = par[i];
      int guard = 0;
      while (p < t[k - 1] && guard++ < 100) p += T;
      while (p >= t[nv] && guard++ < 100) p -= T;
      int mu = k - 1;
      while (mu < nv - 1 && t[mu + 1] <= p) ++mu;
      int st = 0;
      s1897(t, k, p, mu, der[i], basis.data(), &st);
      if (st < 0) return fail(st);
      for (int j = 0; j < k; ++j) a[static_cast<size_t>(i) * n + (mu - k + 1 + j) % n] += basis[j];
    }
    std::vector<int> piv(n);
    int st = 0;
    s6lufacp(a.data(), piv.data(), n, &st);
    if (st < 0) return fail(st);
    if (st == 1) return fail(-162);
    std::vector<double> col(n);
    for (int w = 0; w < width; ++w) {
      for (int i = 0; i < n; ++i) col[i] = b[static_cast<size_t>(i) * width + w];
      s6lusolp(a.data(), col.data(), piv.data(), n, &st);
      if (st != 0) return fail(st < 0 ? st : -162);
      for (int i = 0; i < n; ++i) x[static_cast<size_t>(i) * width + w] = col[i];
    }
  }
  auto* out = static_cast<double*>(std::calloc(static_cast<size_t>(nv) * dim * nrhs + 1, sizeof(double)));
  if (!out) return fail(kErrMemory);
  for (int r = 0; r < nrhs; ++r)
    for (int i = 0; i < nv; ++i)
      for (int m = 0; m < dim; ++m)
        out[(static_cast<size_t>(r) * nv + i) * dim + m] = x[static_cast<size_t>(i % n) * width + r * dim + m];
  *verts_out = out;
  *vertex_count = nv;
  *status = 0;
}
