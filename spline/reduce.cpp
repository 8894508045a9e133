#include "spline/reduce.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/edit.h"
#include "spline/internal.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/split.h"
#include "spline/status.h"

using namespace spline_detail;

namespace {

struct Fit {
  std::vector<double> tau, q;  // knots and vertices of the fitted curve
  std::vector<double> err;     // maximal error per coordinate
  int count = 0;
};

// Row i of the refinement: input vertex i = sum over j of a[i][j] * new vertex (first[i] + j).
struct Refinement {
  std::vector<double> a;
  std::vector<int> first;
};

Refinement refinement(const std::vector<double>& tau, int N, const std::vector<double>& t, int n,
                      int k) {
  Refinement r;
  r.a.assign(static_cast<size_t>(n) * k, 0.0);
  r.first.assign(n, 0);
  std::vector<double> coefs(k);
  int mu = k - 1;
  for (int i = 0; i < n; ++i) {
    while (mu < N - 1 && tau[mu + 1] <= t[i]) ++mu;
    int offset = 0, f = 0, l = 0, st = 0;
    refine_alpha(i, mu, k, N, &offset, &f, &l, t.data(), tau.data(), nullptr, coefs.data(), &st);
    r.first[i] = mu - k + 1;
    for (int j = 0; j < k; ++j) r.a[static_cast<size_t>(i) * k + j] = coefs[j];
  }
  return r;
}

// Vertices of the end derivatives 0 .. a-1 at the start (or end) of the new knots that
// reproduce the input curve's derivatives there.
bool end_vertices(const spline_curve* c, const std::vector<double>& tau, int N, int k, int a,
                  bool at_start, std::vector<double>& out) {
  const int dim = c->dim;
  out.assign(static_cast<size_t>(a) * dim, 0.0);
  if (a <= 0) return true;
  const double x = at_start ? tau[k - 1] : tau[N];
  std::vector<double> der(static_cast<size_t>(a) * dim), basis(static_cast<size_t>(k) * a);
  int left = 0, st = 0;
  if (at_start)
    s1221(c, a - 1, x, &left, der.data(), &st);
  else
    S1227(c, a - 1, x, &left, der.data(), &st);
  if (st < 0) return false;
  // Basis of the new knots at x (the end interval).
  int l = at_start ? k - 1 : N - 1;
  s1220(tau.data(), k, N, &l, x, a - 1, basis.data(), &st);
  if (st < 0) return false;
  // Derivative d at the start uses vertices 0 .. d (a triangular system); at the end the
  // vertices N-1 .. N-1-d.
  for (int d = 0; d < a; ++d)
    for (int m = 0; m < dim; ++m) {
      double s = der[d * dim + m];
      double diag = 0.0;
      for (int j = 0; j <= d; ++j) {
        const int col = at_start ? j : k - 1 - j;  // basis index on the end interval
        const double b = basis[col * a + d];
        if (j == d)
          diag = b;
        else
          s -= b * out[j * dim + m];
      }
      if (diag == 0.0) return false;
      out[d * dim + m] = s / diag;
    }
  return true;
}

// Least-squares fit of the curve on the knot vector tau (a subset of its knots).
int fit(const spline_curve* c, const std::vector<double>& tau, int a, int b, Fit& out) {
  const int k = c->order, n = c->vertex_count, dim = c->dim;
  const std::vector<double> t(c->knots, c->knots + n + k);
  const int N = static_cast<int>(tau.size()) - k;
  if (N < k) return kErrInterval;
  if (a + b > N) {
    // Both ends fix more vertices than there are: keep the stricter start.
    b = std::max(0, N - a);
  }
  Refinement r = refinement(tau, N, t, n, k);
  std::vector<double> q(static_cast<size_t>(N) * dim, 0.0);
  std::vector<bool> fixed(N, false);
  std::vector<double> fs, fe;
  if (!end_vertices(c, tau, N, k, a, true, fs) || !end_vertices(c, tau, N, k, b, false, fe))
    return kErrDimensionMismatch;
  for (int j = 0; j < a; ++j) {
    fixed[j] = true;
    for (int m = 0; m < dim; ++m) q[j * dim + m] = fs[j * dim + m];
  }
  for (int j = 0; j < b; ++j) {
    const int col = N - 1 - j;
    for (int m = 0; m < dim; ++m)
      q[col * dim + m] = fixed[col] ? 0.5 * (q[col * dim + m] + fe[j * dim + m]) : fe[j * dim + m];
    fixed[col] = true;
  }
  // Free vertices and their numbering.
  std::vector<int> index(N, -1);
  int F = 0;
  for (int j = 0; j < N; ++j)
    if (!fixed[j]) index[j] = F++;
  if (F > 0) {
    std::vector<double> M(static_cast<size_t>(F) * F, 0.0), rhs(static_cast<size_t>(F) * dim, 0.0);
    for (int i = 0; i < n; ++i) {
      const double w = (t[i + k] - t[i]) / k;
      if (w <= 0.0) continue;
      const double* row = &r.a[static_cast<size_t>(i) * k];
      std::vector<double> target(c->coefs + static_cast<size_t>(i) * dim, c->coefs + static_cast<size_t>(i + 1) * dim);
      for (int j = 0; j < k; ++j) {
        const int col = r.first[i] + j;
        if (col < 0 || col >= N || row[j] == 0.0 || !fixed[col]) continue;
        for (int m = 0; m < dim; ++m) target[m] -= row[j] * q[col * dim + m];
      }
      for (int j1 = 0; j1 < k; ++j1) {
        const int c1 = r.first[i] + j1;
        if (c1 < 0 || c1 >= N || index[c1] < 0 || row[j1] == 0.0) continue;
        for (int j2 = 0; j2 < k; ++j2) {
          const int c2 = r.first[i] + j2;
          if (c2 < 0 || c2 >= N || index[c2] < 0) continue;
          M[static_cast<size_t>(index[c1]) * F + index[c2]] += w * row[j1] * row[j2];
        }
        for (int m = 0; m < dim; ++m) rhs[static_cast<size_t>(index[c1]) * dim + m] += w * row[j1] * target[m];
      }
    }
    // Cholesky factorisation within the band (the normal matrix is banded).
    const int band = k;
    for (int i = 0; i < F; ++i) {
      const int j0 = std::max(0, i - band);
      double d = M[static_cast<size_t>(i) * F + i];
      for (int p = j0; p < i; ++p) d -= M[static_cast<size_t>(i) * F + p] * M[static_cast<size_t>(i) * F + p];
      if (!(d > 0.0)) return kErrDimensionMismatch;
      const double l = std::sqrt(d);
      M[static_cast<size_t>(i) * F + i] = l;
      for (int r2 = i + 1; r2 < std::min(F, i + band + 1); ++r2) {
        double s = M[static_cast<size_t>(r2) * F + i];
        for (int p = std::max(0, r2 - band); p < i; ++p)
          s -= M[static_cast<size_t>(r2) * F + p] * M[static_cast<size_t>(i) * F + p];
        M[static_cast<size_t>(r2) * F + i] = s / l;
      }
    }
    for (int m = 0; m < dim; ++m) {
      std::vector<double> y(F);
      for (int i = 0; i < F; ++i) {
        double s = rhs[static_cast<size_t>(i) * dim + m];
        for (int p = std::max(0, i - band); p < i; ++p) s -= M[static_cast<size_t>(i) * F + p] * y[p];
        y[i] = s / M[static_cast<size_t>(i) * F + i];
      }
      for (int i = F - 1; i >= 0; --i) {
        double s = y[i];
        for (int p = i + 1; p < std::min(F, i + band + 1); ++p) s -= M[static_cast<size_t>(p) * F + i] * y[p];
        y[i] = s / M[static_cast<size_t>(i) * F + i];
      }
      for (int j = 0; j < N; ++j)
        if (index[j] >= 0) q[j * dim + m] = y[index[j]];
    }
  }
  // Error measure: the fit re-expressed on the input knots against the input vertices.
  out.err.assign(dim, 0.0);
  for (int i = 0; i < n; ++i)
    for (int m = 0; m < dim; ++m) {
      double v = 0.0;
      for (int j = 0; j < k; ++j) {
        const int col = r.first[i] + j;
        if (col >= 0 && col < N) v += r.a[static_cast<size_t>(i) * k + j] * q[col * dim + m];
      }
      out.err[m] = std::max(out.err[m], std::fabs(v - c->coefs[i * dim + m]));
    }
  out.tau = tau;
  out.q = q;
  out.count = N;
  return 0;
}

// Estimated error of removing each interior knot occurrence of the curve once (knot
// removal from both sides), as a multiple of the tolerance; larger means harder.
std::vector<std::pair<double, int>> rank_knots(const std::vector<double>& t, const std::vector<double>& p,
                                               int n, int k, int dim, const double* tol) {
  std::vector<std::pair<double, int>> ranks;  // (score, occurrence index k + i)
  const int deg = k - 1;
  int r = k;
  while (r < n) {
    int e = r;
    while (e + 1 < n && t[e + 1] == t[r]) ++e;
    const int s = e - r + 1;  // multiplicity
    const double u = t[r];
    double score = 0.0;
    const int first = e - deg, last = e - s;
    if (first >= 1 && last + 1 < n) {
      std::vector<double> temp(static_cast<size_t>(last - first + 3) * dim);
      auto T = [&](int idx) { return &temp[static_cast<size_t>(idx) * dim]; };
      for (int m = 0; m < dim; ++m) {
        T(0)[m] = p[(first - 1) * dim + m];
        T(last - first + 2)[m] = p[(last + 1) * dim + m];
      }
      int i = first, j = last, ii = 1, jj = last - first + 1;
      bool bad = false;
      while (j - i > 0) {
        const double ai = (u - t[i]) / (t[i + deg + 1] - t[i]);
        const double aj = (u - t[j]) / (t[j + deg + 1] - t[j]);
        if (ai == 0.0 || aj == 1.0) {
          bad = true;
          break;
        }
        for (int m = 0; m < dim; ++m) {
          T(ii)[m] = (p[i * dim + m] - (1 - ai) * T(ii - 1)[m]) / ai;
          T(jj)[m] = (p[j * dim + m] - aj * T(jj + 1)[m]) / (1 - aj);
        }
        ++i, ++ii, --j, --jj;
      }
      for (int m = 0; m < dim && !bad; ++m) {
        double d;
        if (j - i < 0) {
          d = std::fabs(T(ii - 1)[m] - T(jj + 1)[m]);
        } else {
          const double ai = (u - t[i]) / (t[i + deg + 1] - t[i]);
          d = std::fabs(p[i * dim + m] - (ai * T(ii + 1)[m] + (1 - ai) * T(ii - 1)[m]));
        }
        score = std::max(score, d / std::max(tol[m], 1e-300));
      }
      if (bad) score = 1e300;
    } else {
      score = 1e300;
    }
    for (int q = 0; q < s; ++q) ranks.push_back({score * (q + 1), r + q});
    r = e + 1;
  }
  std::stable_sort(ranks.begin(), ranks.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  return ranks;
}

bool within(const Fit& f, const double* tol, int dim) {
  for (int m = 0; m < dim; ++m)
    if (f.err[m] > tol[m]) return false;
  return true;
}

}  // namespace

void s1940(const spline_curve* curve, const double* tol, int fix_start, int fix_end,
           int open_request, int max_passes, spline_curve** result, double* errors, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1940", code, 0);
  };
  const int dim = curve->dim, k = curve->order;
  for (int m = 0; m < dim; ++m) errors[m] = 0.0;
  if (is_rational_kind(curve->kind)) return fail(kErrKind);
  if (curve->vertex_count == k) {
    spline_curve* c = copy_curve(curve);
    if (!c) return fail(kErrMemory);
    *result = c;
    *status = 0;
    return;
  }
  int st = 0;
  spline_curve* work = nullptr;
  if (curve->open_flag == -1) {
    make_cv_kreg(curve, &work, &st);
    if (st < 0) return fail(st);
  } else {
    work = copy_curve(curve);
    if (!work) return fail(kErrMemory);
  }
  const int n = work->vertex_count;
  const std::vector<double> t(work->knots, work->knots + n + k);

  // The current best: the work curve itself (no knot removed).
  Fit best;
  best.tau = t;
  best.q.assign(work->coefs, work->coefs + static_cast<size_t>(n) * dim);
  best.err.assign(dim, 0.0);
  best.count = n;
  (void)open_request;
  for (int pass = 0; pass < std::max(1, max_passes); ++pass) {
    const int N = best.count;
    if (N <= k) break;
    auto ranks = rank_knots(best.tau, best.q, N, k, dim, tol);
    // Binary search on the number of occurrences removed in ranking order.
    int lo = 0, hi = static_cast<int>(ranks.size()) + 1;
    int mid = 0;
    for (auto& rk : ranks) mid += rk.first <= 1.0;
    mid = std::clamp(mid, 1, std::max(1, hi - 1));
    Fit found;
    bool any = false;
    while (lo + 1 < hi) {
      std::vector<bool> drop(best.tau.size(), false);
      for (int i = 0; i < mid && i < static_cast<int>(ranks.size()); ++i) drop[ranks[i].second] = true;
      std::vector<double> tau;
      for (size_t i = 0; i < best.tau.size(); ++i)
        if (!drop[i]) tau.push_back(best.tau[i]);
      Fit f;
      const int fst = fit(work, tau, fix_start, fix_end, f);
      const bool ok = fst >= 0 && within(f, tol, dim);
      if (ok) {
        lo = mid;
        found = f;
        any = true;
      } else {
        hi = mid;
      }
      mid = lo + (hi - lo) / 2;
    }
    if (!any || found.count >= best.count) break;
    best = found;
  }
  destroy_curve(work);
  spline_curve* c = adopt_curve(best.count, k, best.tau, best.q, 1, dim);
  if (!c) return fail(kErrMemory);
  c->open_flag = curve->open_flag == -1 ? 0 : curve->open_flag;
  for (int m = 0; m < dim; ++m) errors[m] = best.err[m];
  *result = c;
  *status = 0;
}

void s1941(spline_curve* curve, int c, int* status) {
  int st = 0;
  make_cv_cyclic(curve, c, &st);
  if (st < 0) {
    *status = st;
    error_report("s1941", st, 0);
    return;
  }
  *status = 0;
}
