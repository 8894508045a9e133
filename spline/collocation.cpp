#include "spline/collocation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/detail/internal.h"
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

// A square system stored as a band with its last nb columns full: row r holds columns
// r - kl .. r + kl + ku (the band, with room for the fill of row exchanges) and the
// border columns n - nb .. n - 1.  Solved by Gaussian elimination with scaled partial
// pivoting, which exchanges rows only within the band.
class BorderedBand {
 public:
  // An empty system of n rows whose band entries lie within kl below and ku above the
  // diagonal, with the last nb columns full.
  void reset(int n, int nb, int kl, int ku) {
    n_ = n;
    nb_ = nb;
    edge_ = n - nb;
    kl_ = kl;
    ku_ = ku;
    w_ = 2 * kl_ + ku_ + 1;
    band_.assign(static_cast<size_t>(n) * w_, 0.0);
    border_.assign(static_cast<size_t>(n) * nb, 0.0);
    scale_.assign(n, 0.0);
  }

  // Adds v to element (r, c); rows are scaled by their largest element for pivoting.
  void add(int r, int c, double v) {
    double& e = at(r, c);
    e += v;
    scale_[r] = std::max(scale_[r], std::fabs(e));
  }

  // b: n rows of width values, replaced by the solution.  False for a singular system.
  bool solve(double* b, int width) {
    auto rhs = [b, width](int r) { return b + static_cast<size_t>(r) * width; };
    for (int c = 0; c < n_; ++c) {
      const int last = c < edge_ ? std::min(n_ - 1, c + kl_) : n_ - 1;
      int p = c;
      double best = -1.0;
      for (int r = c; r <= last; ++r) {
        const double v = scale_[r] > 0 ? std::fabs(at(r, c)) / scale_[r] : 0.0;
        if (v > best) best = v, p = r;
      }
      if (at(p, c) == 0.0) return false;
      // Band columns c .. hi of the pivot row (the rows below hold nothing further right).
      const int hi = std::min(edge_ - 1, c + kl_ + ku_);
      if (p != c) {
        double *rc = row(c), *rp = row(p);
        for (int j = c; j <= hi; ++j) std::swap(rc[j], rp[j]);
        for (int j = 0; j < nb_; ++j) std::swap(border(c, j), border(p, j));
        std::swap_ranges(rhs(c), rhs(c) + width, rhs(p));
        std::swap(scale_[c], scale_[p]);
      }
      const double pivot = at(c, c);
      const double* rc = row(c);
      const double* bc = &border(c, 0);
      for (int r = c + 1; r <= last; ++r) {
        const double f = at(r, c) / pivot;
        if (f == 0.0) continue;
        double* rr = row(r);
        for (int j = c + 1; j <= hi; ++j) rr[j] -= f * rc[j];
        double* br = &border(r, 0);
        for (int j = 0; j < nb_; ++j) br[j] -= f * bc[j];
        double* xr = rhs(r);
        const double* xc = rhs(c);
        for (int j = 0; j < width; ++j) xr[j] -= f * xc[j];
      }
    }
    for (int c = n_ - 1; c >= 0; --c) {
      double* xc = rhs(c);
      const double* rc = row(c);
      const int hi = std::min(edge_ - 1, c + kl_ + ku_);
      for (int j = c + 1; j <= hi; ++j) {
        const double u = rc[j];
        const double* xj = rhs(j);
        for (int m = 0; m < width; ++m) xc[m] -= u * xj[m];
      }
      for (int j = std::max(c + 1, edge_); j < n_; ++j) {
        const double u = border(c, j - edge_);
        const double* xj = rhs(j);
        for (int m = 0; m < width; ++m) xc[m] -= u * xj[m];
      }
      const double d = at(c, c);
      for (int m = 0; m < width; ++m) xc[m] /= d;
    }
    return true;
  }

 private:
  // Element (r, c) in the band (c < edge) or the border.
  double& at(int r, int c) {
    return c >= edge_ ? border(r, c - edge_) : band_[static_cast<size_t>(r) * w_ + (c - r + kl_)];
  }
  double& border(int r, int j) { return border_[static_cast<size_t>(r) * nb_ + j]; }
  // Row r of the band, indexed by column (valid for columns r - kl .. r + kl + ku).
  double* row(int r) { return band_.data() + static_cast<size_t>(r) * w_ + kl_ - r; }

  int n_ = 0, nb_ = 0, edge_ = 0, kl_ = 0, ku_ = 0, w_ = 1;
  std::vector<double> band_, border_, scale_;
};

}  // namespace

void s1902(const double* par, int n, int k, int nonperiodic, double** knots, int* status) {
  std::vector<double> t;
  t.reserve(static_cast<size_t>(n) + 2 * k);
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
  // The values stay on the stack for every usual order (one call per collocation row).
  double local[16];
  std::vector<double> heap;
  double* b = local;
  if (k > 16) {
    heap.resize(k);
    b = heap.data();
  }
  std::fill(b, b + k, 0.0);
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
  // A periodic system has at least k - 1 conditions (its order is at most their count + 1).
  if (periodic && n < k - 1) return fail(-160);
  const int nv = periodic ? n + k - 1 : n;
  const int width = dim * nrhs;
  // Right-hand sides gathered per condition: all blocks side by side.
  std::vector<double> b(static_cast<size_t>(n) * width);
  for (int r = 0; r < nrhs; ++r)
    for (int i = 0; i < n; ++i)
      for (int m = 0; m < dim; ++m)
        b[static_cast<size_t>(i) * width + r * dim + m] = rhs[(static_cast<size_t>(r) * n + i) * dim + m];

  // The solution replaces the right-hand sides: x holds them, row by row per vertex.
  std::vector<double>& x = b;
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
        double s = x[static_cast<size_t>(i) * width + w];
        for (int c = i + 1; c <= first[i] + k - 1 && c < n; ++c) s -= ri[c - first[i]] * x[static_cast<size_t>(c) * width + w];
        x[static_cast<size_t>(i) * width + w] = s / ri[i - first[i]];
      }
    }
  } else {
    // Periodic: the vertices u = 0 .. nv - 1 of a row stand for vertex u mod n.  Sorted by
    // their first vertex, the rows form a band once the columns of vertices 0 .. k - 2
    // (which the last rows reach again past the end) are moved behind the others; they
    // stay as full border columns.  Unwrapped vertex u >= k - 1 is column u - (k - 1),
    // vertex u < k - 1 is column n - (k - 1) + u.
    const double T = t[nv] - t[k - 1];
    std::vector<int> first(n);
    std::vector<double> wrapped(n);
    for (int i = 0; i < n; ++i) {
      if (der[i] < 0 || der[i] >= k) return fail(-160);
      double p = par[i];
      int guard = 0;
      while (p < t[k - 1] && guard++ < 100) p += T;
      while (p >= t[nv] && guard++ < 100) p -= T;
      wrapped[i] = p;
      // The last interval [t[mu], t[mu + 1]) of the range starting at or before p.
      first[i] = static_cast<int>(std::upper_bound(t + k, t + nv, p) - t) - 1 - (k - 1);
    }
    // The rows in order of their first vertex: the conditions come by parameter, so
    // this turns them (the ones moved by a period come first) unless they were given
    // out of order.
    std::vector<int> order(n);
    int start = 0;
    for (int i = 1; i < n; ++i)
      if (first[i] < first[i - 1]) {
        start = i;
        break;
      }
    for (int r = 0; r < n; ++r) order[r] = (start + r) % n;
    for (int r = 1; r < n; ++r)
      if (first[order[r]] < first[order[r - 1]]) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return first[a] < first[b]; });
        break;
      }
    auto column = [&](int u) { return u >= k - 1 ? u - (k - 1) : n - (k - 1) + u; };
    const int edge = n - (k - 1);
    int kl = 0, ku = 0;
    for (int r = 0; r < n; ++r)
      for (int j = 0; j < k; ++j) {
        const int c = column(first[order[r]] + j);
        if (c < edge) kl = std::max(kl, r - c), ku = std::max(ku, c - r);
      }
    BorderedBand sys;
    sys.reset(n, k - 1, kl, ku);  // n >= k - 1: the order is at most the condition count + 1
    std::vector<double> y(static_cast<size_t>(n) * width), vals(k);
    for (int r = 0; r < n; ++r) {
      const int i = order[r];
      int st = 0;
      s1897(t, k, wrapped[i], first[i] + k - 1, der[i], vals.data(), &st);
      if (st < 0) return fail(st);
      for (int j = 0; j < k; ++j) sys.add(r, column(first[i] + j), vals[j]);
      std::copy(b.begin() + static_cast<size_t>(i) * width, b.begin() + static_cast<size_t>(i + 1) * width,
                y.begin() + static_cast<size_t>(r) * width);
    }
    if (!sys.solve(y.data(), width)) return fail(-162);
    // Column c back to its vertex.
    for (int c = 0; c < n; ++c) {
      const int v = c < edge ? c + (k - 1) : c - edge;
      std::copy(y.begin() + static_cast<size_t>(c) * width, y.begin() + static_cast<size_t>(c + 1) * width,
                x.begin() + static_cast<size_t>(v) * width);
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
