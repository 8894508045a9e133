#include "spline/reduce.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/edit.h"
#include "spline/detail/internal.h"
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

// Knot insertion from a knot vector to a finer one: fine vertex i = sum over j of
// a[i * k + j] * coarse vertex (first[i] + j), with 0 <= first[i] <= coarse count - k.
struct Refinement {
  std::vector<double> a;
  std::vector<int> first;
};

void refine(const double* coarse, int N, const double* fine, int n, int k, Refinement& r) {
  r.a.resize(static_cast<size_t>(n) * k);
  r.first.resize(n);
  int mu = k - 1;
  for (int i = 0; i < n; ++i) {
    while (mu < N - 1 && coarse[mu + 1] <= fine[i]) ++mu;
    int offset = 0, f = 0, l = 0, st = 0;
    refine_alpha(i, mu, k, N, &offset, &f, &l, fine, coarse, nullptr, &r.a[static_cast<size_t>(i) * k], &st);
    r.first[i] = mu - k + 1;
  }
}

// Lower band of a symmetric matrix of bandwidth band: row i holds columns i - band .. i.
struct LowerBand {
  std::vector<double> v;
  int band = 0;
  void reset(int rows, int b) {
    band = b;
    v.assign(static_cast<size_t>(rows) * (b + 1), 0.0);
  }
  double& operator()(int i, int p) { return v[static_cast<size_t>(i) * (band + 1) + (p - i + band)]; }
  double operator()(int i, int p) const { return v[static_cast<size_t>(i) * (band + 1) + (p - i + band)]; }
};

// The least-squares problem of the current result's knot vector against the input: its
// vertices re-expressed on the input knots (rows) and the normal equations of that
// basis, G = sum w_i rows_i^T rows_i and h = sum w_i rows_i^T P_i, with the input
// weights w_i = (t[i+k] - t[i]) / k.  A fit on a subset of these knots only needs the
// refinement onto this basis: its normal equations are R^T G R and R^T h.
struct Basis {
  std::vector<double> tau;
  int count = 0;
  bool identity = false;  // the input's own knots: no rows, G = diag(w), h = w P
  Refinement rows;
  LowerBand G;
  std::vector<double> h;
};

void make_basis(const spline_curve* c, const std::vector<double>& tau, Basis& basis) {
  const int k = c->order, n = c->vertex_count, dim = c->dim;
  const double* t = c->knots;
  const int N = static_cast<int>(tau.size()) - k;
  basis.tau = tau;
  basis.count = N;
  basis.identity = N == n && std::equal(tau.begin(), tau.end(), t);
  if (basis.identity) return;
  refine(tau.data(), N, t, n, k, basis.rows);
  basis.G.reset(N, k);
  basis.h.assign(static_cast<size_t>(N) * dim, 0.0);
  for (int i = 0; i < n; ++i) {
    const double wi = (t[i + k] - t[i]) / k;
    if (wi <= 0.0) continue;
    const double* row = &basis.rows.a[static_cast<size_t>(i) * k];
    const double* p = c->coefs + static_cast<size_t>(i) * dim;
    const int f = basis.rows.first[i];
    for (int j1 = 0; j1 < k; ++j1) {
      if (row[j1] == 0.0) continue;
      const double wr = wi * row[j1];
      for (int j2 = 0; j2 <= j1; ++j2) basis.G(f + j1, f + j2) += wr * row[j2];
      for (int m = 0; m < dim; ++m) basis.h[static_cast<size_t>(f + j1) * dim + m] += wr * p[m];
    }
  }
}

// Work arrays of the fit, kept across the fits of one reduction.
struct FitWork {
  Refinement R;
  LowerBand M;
  std::vector<double> rhs, y, z;
};

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

// Least-squares fit of the curve on the knot vector tau (a subset of the basis's knots):
// the vertices minimising sum w_i |(fit on the input knots)_i - P_i|^2 with the first a
// and last b vertices fixed by the end derivatives.  The maximal errors are exact when
// they are within tol; otherwise at least one of them is known to exceed it.
int fit(const spline_curve* c, const std::vector<double>& tau, int a, int b, const Basis& basis,
        const double* tol, FitWork& w, Fit& out) {
  const int k = c->order, n = c->vertex_count, dim = c->dim;
  const int N = static_cast<int>(tau.size()) - k, Nb = basis.count;
  if (N < k) return kErrInterval;
  a = std::min(a, N);
  // Both ends fix more vertices than there are: keep the stricter start.
  if (a + b > N) b = N - a;
  refine(tau.data(), N, basis.tau.data(), Nb, k, w.R);
  const Refinement& R = w.R;
  // Normal equations of all N vertices: M = R^T G R, rhs = R^T h.  M has bandwidth k - 1;
  // products that reach beyond the band cancel and are left out.
  w.M.reset(N, k);
  w.rhs.assign(static_cast<size_t>(N) * dim, 0.0);
  const double* t = c->knots;
  for (int r = 0; r < Nb; ++r) {
    const double* Rr = &R.a[static_cast<size_t>(r) * k];
    const int fr = R.first[r];
    const double wr = basis.identity ? (t[r + k] - t[r]) / k : 0.0;
    if (basis.identity && wr <= 0.0) continue;
    // G's diagonal entry: R_r^T g R_r on and below M's diagonal.
    const double gd = basis.identity ? wr : basis.G(r, r);
    for (int j1 = 0; j1 < k && gd != 0.0; ++j1) {
      if (Rr[j1] == 0.0) continue;
      const double gr = gd * Rr[j1];
      double* mi = &w.M(fr + j1, fr);
      for (int j2 = 0; j2 <= j1; ++j2) mi[j2] += gr * Rr[j2];
    }
    // G's entries (r, s), s < r, standing for (s, r) as well: both products land on the
    // same lower entry of M, twice on its diagonal.
    for (int s = basis.identity ? r : std::max(0, r - k); s < r; ++s) {
      const double g = basis.G(r, s);
      if (g == 0.0) continue;
      const double* Rs = &R.a[static_cast<size_t>(s) * k];
      const int fs = R.first[s];
      for (int j1 = 0; j1 < k; ++j1) {
        if (Rr[j1] == 0.0) continue;
        const double gr = g * Rr[j1];
        const int ca = fr + j1;
        for (int j2 = 0; j2 < k; ++j2) {
          const int cb = fs + j2;
          const int hi = std::max(ca, cb), lo = std::min(ca, cb);
          if (hi - lo > k) continue;
          const double v = gr * Rs[j2];
          w.M(hi, lo) += ca == cb ? 2 * v : v;
        }
      }
    }
    for (int m = 0; m < dim; ++m) {
      const double h = basis.identity ? wr * c->coefs[static_cast<size_t>(r) * dim + m]
                                      : basis.h[static_cast<size_t>(r) * dim + m];
      for (int j = 0; j < k; ++j) w.rhs[static_cast<size_t>(fr + j) * dim + m] += Rr[j] * h;
    }
  }
  // Fixed vertices at both ends; the free ones are lo .. hi - 1.
  std::vector<double>& q = out.q;
  q.assign(static_cast<size_t>(N) * dim, 0.0);
  std::vector<double> fs, fe;
  if (!end_vertices(c, tau, N, k, a, true, fs) || !end_vertices(c, tau, N, k, b, false, fe))
    return kErrDimensionMismatch;
  std::copy(fs.begin(), fs.end(), q.begin());
  for (int j = 0; j < b; ++j)
    std::copy(fe.begin() + j * dim, fe.begin() + (j + 1) * dim, q.begin() + (N - 1 - j) * dim);
  const int lo = a, hi = N - b, F = hi - lo, band = k;
  auto M = [&](int i, int p) -> double& { return i >= p ? w.M(i, p) : w.M(p, i); };
  for (int i = lo; i < hi; ++i)
    for (int x = std::max(0, i - band); x <= std::min(N - 1, i + band); ++x) {
      if (x >= lo && x < hi) continue;
      const double mix = M(i, x);
      for (int m = 0; m < dim; ++m) w.rhs[static_cast<size_t>(i) * dim + m] -= mix * q[x * dim + m];
    }
  // Banded Cholesky factorisation of the free block (its entry (i, p) is M(lo + i, lo + p)).
  auto L = [&](int i, int p) -> double& { return w.M(lo + i, lo + p); };
  for (int i = 0; i < F; ++i) {
    double d = L(i, i);
    for (int p = std::max(0, i - band); p < i; ++p) d -= L(i, p) * L(i, p);
    if (!(d > 0.0)) return kErrDimensionMismatch;
    const double l = std::sqrt(d);
    L(i, i) = l;
    for (int r2 = i + 1; r2 < std::min(F, i + band + 1); ++r2) {
      double s = L(r2, i);
      for (int p = std::max(0, r2 - band); p < i; ++p) s -= L(r2, p) * L(i, p);
      L(r2, i) = s / l;
    }
  }
  // Forward and back substitution, all coordinates at once.
  w.y.resize(static_cast<size_t>(F) * dim);
  double* y = w.y.data();
  for (int i = 0; i < F; ++i) {
    double* yi = y + static_cast<size_t>(i) * dim;
    for (int m = 0; m < dim; ++m) yi[m] = w.rhs[static_cast<size_t>(lo + i) * dim + m];
    for (int p = std::max(0, i - band); p < i; ++p) {
      const double l = L(i, p);
      for (int m = 0; m < dim; ++m) yi[m] -= l * y[static_cast<size_t>(p) * dim + m];
    }
    const double d = L(i, i);
    for (int m = 0; m < dim; ++m) yi[m] /= d;
  }
  for (int i = F - 1; i >= 0; --i) {
    double* yi = y + static_cast<size_t>(i) * dim;
    for (int p = i + 1; p < std::min(F, i + band + 1); ++p) {
      const double l = L(p, i);
      for (int m = 0; m < dim; ++m) yi[m] -= l * y[static_cast<size_t>(p) * dim + m];
    }
    const double d = L(i, i);
    for (int m = 0; m < dim; ++m) yi[m] /= d;
  }
  std::copy(y, y + static_cast<size_t>(F) * dim, q.begin() + static_cast<size_t>(lo) * dim);
  // Error measure: the fit re-expressed on the input knots (through the basis) against
  // the input vertices.
  w.z.assign(static_cast<size_t>(Nb) * dim, 0.0);
  for (int r = 0; r < Nb; ++r) {
    const double* Rr = &R.a[static_cast<size_t>(r) * k];
    const double* qf = &q[static_cast<size_t>(R.first[r]) * dim];
    for (int m = 0; m < dim; ++m) {
      double v = 0.0;
      for (int j = 0; j < k; ++j) v += Rr[j] * qf[j * dim + m];
      w.z[static_cast<size_t>(r) * dim + m] = v;
    }
  }
  // A fit beyond a tolerance is refused whatever its other errors: the measure stops
  // there.
  out.err.assign(dim, 0.0);
  auto beyond = [&] {
    for (int m = 0; m < dim; ++m)
      if (out.err[m] > tol[m]) return true;
    return false;
  };
  for (int i = 0; i < n; ++i) {
    const double* p = c->coefs + static_cast<size_t>(i) * dim;
    if (basis.identity) {
      const double* zi = &w.z[static_cast<size_t>(i) * dim];
      for (int m = 0; m < dim; ++m) out.err[m] = std::max(out.err[m], std::fabs(zi[m] - p[m]));
    } else {
      const double* row = &basis.rows.a[static_cast<size_t>(i) * k];
      const double* zf = &w.z[static_cast<size_t>(basis.rows.first[i]) * dim];
      for (int m = 0; m < dim; ++m) {
        double v = 0.0;
        for (int j = 0; j < k; ++j) v += row[j] * zf[j * dim + m];
        out.err[m] = std::max(out.err[m], std::fabs(v - p[m]));
      }
    }
    if ((i & 255) == 255 && beyond()) break;
  }
  out.tau = tau;
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
  FitWork fit_work;
  Basis basis;
  for (int pass = 0; pass < std::max(1, max_passes); ++pass) {
    const int N = best.count;
    if (N <= k) break;
    make_basis(work, best.tau, basis);
    auto ranks = rank_knots(best.tau, best.q, N, k, dim, tol);
    // Binary search on the number of occurrences removed in ranking order.
    int lo = 0, hi = static_cast<int>(ranks.size()) + 1;
    int mid = 0;
    for (auto& rk : ranks) mid += rk.first <= 1.0;
    mid = std::clamp(mid, 1, std::max(1, hi - 1));
    Fit found;
    bool any = false;
    std::vector<char> drop;
    std::vector<double> tau;
    Fit f;  // the trial fit; its arrays are reused from trial to trial
    while (lo + 1 < hi) {
      drop.assign(best.tau.size(), 0);
      for (int i = 0; i < mid && i < static_cast<int>(ranks.size()); ++i) drop[ranks[i].second] = 1;
      tau.clear();
      for (size_t i = 0; i < best.tau.size(); ++i)
        if (!drop[i]) tau.push_back(best.tau[i]);
      const int fst = fit(work, tau, fix_start, fix_end, basis, tol, fit_work, f);
      const bool ok = fst >= 0 && within(f, tol, dim);
      if (ok) {
        lo = mid;
        std::swap(found, f);
        any = true;
      } else {
        hi = mid;
      }
      mid = lo + (hi - lo) / 2;
    }
    if (!any || found.count >= best.count) break;
    best = std::move(found);
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
