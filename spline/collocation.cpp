#include "spline/collocation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory_resource>
#include <vector>

#include "spline/detail/collocation.h"
#include "spline/detail/internal.h"
#include "spline/status.h"

using namespace spline_detail;

namespace {

int check_knots(const double* t, int count, int k) {
  int run = 1;
  for (int i = 1; i < count; ++i) {
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

// The d-th derivatives of the k B-splines non-zero on [t[mu], t[mu + 1]) at x, into
// b[0 .. k - 1]: values of order k - d by the recurrence, then d difference steps.  False
// for an empty knot interval on the way.  K, when not 0, fixes k at compile time.
template <int K>
bool bspline_values(const double* t, int k_given, double x, int mu, int d, double* b) {
  const int k = K > 0 ? K : k_given;
  b[0] = 1.0;
  for (int j = 1; j < k; ++j) {
    // b[0..j-1] are the order-j functions B_{mu-j+1..mu}; build order j + 1.
    const bool diff = j >= k - d;
    double saved = 0.0;
    for (int s = 0; s < j; ++s) {
      const int idx = mu - j + 1 + s;
      const double span = t[idx + j] - t[idx];
      if (!(span > 0)) return false;
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
  return true;
}

}  // namespace

namespace spline_detail {

int interpolation_knots(const double* par, int n, int k, bool periodic, double* t) {
  if (n < 1 || k < 1) return kErrKnots;
  const int count = periodic ? n + 2 * k - 1 : n + k;
  // Knots are appended up to the count; more are counted, not stored.
  int size = 0;
  auto push = [&](double v) {
    if (size < count) t[size] = v;
    ++size;
  };
  const int h = k / 2;
  if (!periodic) {
    const double t0 = par[0], tl = par[n - 1];
    if (!(tl > t0)) return kErrKnots;
    int ms = 1, me = 1;
    while (ms < n && par[ms] == t0) ++ms;
    while (me < n && par[n - 1 - me] == tl) ++me;
    for (int i = 0; i < k; ++i) push(t0);
    if (k % 2 == 0) {
      double a = (par[ms] + t0) / 2, b = (par[n - me - 1] + tl) / 2;
      if (a == b) {
        a = (par[ms] + 2 * t0) / 3;
        b = (par[n - me - 1] + 2 * tl) / 3;
      }
      for (int i = 0; i < ms - h; ++i) push(a);
      for (int i = std::max(ms, h); i <= n - std::max(me, h) - 1; ++i) push(par[i]);
      for (int i = 0; i < me - h; ++i) push(b);
    } else {
      if (ms > h)
        for (int j = 1; j <= ms - h; ++j) push(t0 + j * (par[ms] - t0) / (ms - h + 1));
      for (int i = std::max(ms, h); i <= n - std::max(me, h) - 2; ++i)
        push((par[i] + par[i + 1]) / 2);
      if (me > h) {
        const double p = par[n - me - 1];
        for (int j = 1; j <= me - h; ++j) push(p + j * (tl - p) / (me - h + 1));
      }
    }
    for (int i = 0; i < k; ++i) push(tl);
    if (size != count) return kErrKnots;
  } else {
    const double T = par[n] - par[0];
    if (!(T > 0)) return kErrKnots;
    if (k % 2 == 0) {
      for (int j = 0; j < h; ++j) push(par[n - h + j] - T);
      for (int j = 0; j <= n; ++j) push(par[j]);
      int j = 1;
      double shift = T;
      while (size < count) {
        if (j > n) {
          j = 1;
          shift += T;
        }
        push(par[j++] + shift);
      }
    } else {
      for (int j = 0; j <= h; ++j) push((par[n - h - 1 + j] + par[n - h + j]) / 2 - T);
      for (int j = 0; j < n; ++j) push((par[j] + par[j + 1]) / 2);
      int j = 0;
      double shift = T;
      while (size < count) {
        if (j >= n) {
          j = 0;
          shift += T;
        }
        push((par[j] + par[j + 1]) / 2 + shift);
        ++j;
      }
    }
  }
  return check_knots(t, count, k);
}

}  // namespace spline_detail

void s1902(const double* par, int n, int k, int nonperiodic, double** knots, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1902", code, 0);
  };
  if (n < 1 || k < 1) return fail(kErrKnots);
  const bool periodic = nonperiodic != 1;
  const size_t count = static_cast<size_t>(n) + (periodic ? 2 * k - 1 : k);
  auto* out = static_cast<double*>(std::malloc(sizeof(double) * (count + 1)));
  if (!out) return fail(kErrMemory);
  if (int st = interpolation_knots(par, n, k, periodic, out)) {
    std::free(out);
    return fail(st);
  }
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
  if (!bspline_values<0>(t, k, x, mu, d, values)) {
    *status = kErrKnots;
    error_report("s1897", *status, 0);
    return;
  }
  *status = 0;
}

namespace {

// Gaussian elimination with partial pivoting of the small dense system a x = y (m x m,
// row by row; y: m rows of width values, replaced by x).  False for a zero pivot.
bool solve_dense(double* a, int m, double* y, int width) {
  for (int c = 0; c < m; ++c) {
    int p = c;
    for (int r = c + 1; r < m; ++r)
      if (std::fabs(a[r * m + c]) > std::fabs(a[p * m + c])) p = r;
    if (a[p * m + c] == 0.0) return false;
    if (p != c) {
      std::swap_ranges(a + c * m, a + (c + 1) * m, a + p * m);
      std::swap_ranges(y + static_cast<size_t>(c) * width, y + static_cast<size_t>(c + 1) * width,
                       y + static_cast<size_t>(p) * width);
    }
    for (int r = c + 1; r < m; ++r) {
      const double l = a[r * m + c] / a[c * m + c];
      if (l == 0.0) continue;
      for (int j = c + 1; j < m; ++j) a[r * m + j] -= l * a[c * m + j];
      for (int w = 0; w < width; ++w) y[static_cast<size_t>(r) * width + w] -= l * y[static_cast<size_t>(c) * width + w];
    }
  }
  for (int c = m - 1; c >= 0; --c) {
    double* yc = y + static_cast<size_t>(c) * width;
    for (int j = c + 1; j < m; ++j)
      for (int w = 0; w < width; ++w) yc[w] -= a[c * m + j] * y[static_cast<size_t>(j) * width + w];
    for (int w = 0; w < width; ++w) yc[w] /= a[c * m + c];
  }
  return true;
}

// The largest order solved as a cyclic band (higher orders take row exchanges).
constexpr int kCyclicMaxOrder = 8;

// The periodic collocation system as a cyclic band, solved without row exchanges.  Row
// r is the condition row_of[r], whose k B-splines start at vertex r; column c is vertex
// c + d (mod n), d = (k - 1) / 2, so that the largest B-spline of a row is on the
// diagonal and row r holds columns r - d .. r + k - 1 - d (mod n).  The first n - (k - 1)
// columns stay in the band; the last k - 1 columns (which the first rows reach across
// the corner) and the last k - 1 rows (which reach the first columns) are kept full
// beside it, and the (k - 1) x (k - 1) block left at the end is solved with pivoting.
// Returns 1 when solved (x: n vertices of width values), 0 when an element below a pivot
// is larger than the pivot, where partial pivoting would exchange rows (or a pivot is
// zero): the caller then solves with row exchanges; a status below 0 on an error.
// mem: n (2k + width - 1) doubles.  n >= 2k, k <= kCyclicMaxOrder.  K and W, when
// not 0, fix k and width at compile time (the usual orders and dimensions).
template <int K, int W>
int solve_cyclic(const double* t, int n, int k_given, const int* der, const double* wrapped,
                 const int* row_of, const double* b, int width_given, double* x, double* mem) {
  const int k = K > 0 ? K : k_given, width = W > 0 ? W : width_given;
  const int d = (k - 1) / 2, m = k - 1, ku = m - d, n1 = n - m;
  if (n < 2 * k || k > kCyclicMaxOrder) return 0;
  double* a = mem;                                  // row r, value j: column r + j - d
  double* y = a + static_cast<size_t>(n) * k;       // right-hand sides, then the solution
  double* e = y + static_cast<size_t>(n) * width;  // rows 0 .. n1 - 1, last m columns
  auto row = [a, k](int r) { return a + static_cast<size_t>(r) * k; };
  auto yrow = [y, width](int r) { return y + static_cast<size_t>(r) * width; };
  for (int r = 0; r < n; ++r) {
    const int i = row_of[r];
    if (!bspline_values<K>(t, k, wrapped[i], r + k - 1, der[i], row(r))) return kErrKnots;
    std::copy(b + static_cast<size_t>(i) * width, b + static_cast<size_t>(i + 1) * width, yrow(r));
  }
  // The columns past the band: across the corner in the first d rows, the last m
  // columns in the rows before n1.
  std::fill(e, e + static_cast<size_t>(n1) * m, 0.0);
  for (int r = 0; r < n1; ++r) {
    if (r == d) r = std::max(d, n1 - ku);
    for (int j = 0; j < k; ++j) {
      int c = r + j - d;
      if (c < 0) c += n;
      if (c >= n1) {
        e[static_cast<size_t>(r) * m + c - n1] = row(r)[j];
        row(r)[j] = 0.0;
      }
    }
  }
  // The last m rows are carried through the sweep in locals: their values in columns
  // c .. c + ku (the fill moves along with the sweep; further right they are still the
  // rows' own values), in the last m columns and, for a fixed width, their right-hand
  // sides.  Last row s holds its own values at the columns n1 + s + j - d (mod n).
  auto own = [&](int s, int c) {
    int j = c - (n1 + s - d);
    if (j < 0) j += n;
    return j < k ? row(n1 + s)[j] : 0.0;
  };
  const int span = ku + 1;
  double win[kCyclicMaxOrder * kCyclicMaxOrder], last[kCyclicMaxOrder * kCyclicMaxOrder];
  double ylocal[W > 0 ? kCyclicMaxOrder * W : 1];
  double* ys = W > 0 ? ylocal : yrow(n1);
  for (int s = 0; s < m; ++s) {
    for (int j = 0; j < span; ++j) win[s * span + j] = own(s, j);
    for (int j = 0; j < m; ++j) last[s * m + j] = own(s, n1 + j);
  }
  if (W > 0) std::copy(yrow(n1), yrow(n1) + m * width, ylocal);
  // Column c with below rows of the band under the pivot and right columns of the band
  // beside it.
  auto eliminate = [&](int c, int below, int right) {
    double* rc = row(c) + d;  // rc[j]: column c + j
    const double pivot = rc[0], size = std::fabs(pivot);
    for (int i = 1; i <= below; ++i)
      if (std::fabs(row(c + i)[d - i]) > size) return false;
    for (int s = 0; s < m; ++s)
      if (std::fabs(win[s * span]) > size) return false;
    if (pivot == 0.0) return false;
    // The back substitution takes the inverse from the diagonal.
    const double inv = 1.0 / pivot;
    rc[0] = inv;
    const double* ec = e + static_cast<size_t>(c) * m;
    const double* yc = yrow(c);
    for (int i = 1; i <= below; ++i) {
      double* rr = row(c + i) + d - i;  // rr[j]: column c + j
      const double l = rr[0] * inv;
      for (int j = 1; j <= right; ++j) rr[j] -= l * rc[j];
      double* er = e + static_cast<size_t>(c + i) * m;
      for (int j = 0; j < m; ++j) er[j] -= l * ec[j];
      double* yr = yrow(c + i);
      for (int w = 0; w < width; ++w) yr[w] -= l * yc[w];
    }
    const int next = c + span;  // the column entering the window
    for (int s = 0; s < m; ++s) {
      double* ws = win + s * span;
      const double l = ws[0] * inv;
      for (int j = 1; j <= right; ++j) ws[j - 1] = ws[j] - l * rc[j];
      for (int j = right + 1; j < span; ++j) ws[j - 1] = ws[j];
      ws[span - 1] = next < n1 ? own(s, next) : 0.0;
      for (int j = 0; j < m; ++j) last[s * m + j] -= l * ec[j];
      for (int w = 0; w < width; ++w) ys[s * width + w] -= l * yc[w];
    }
    return true;
  };
  // Away from the end the band is whole (constant extents for the compiler).
  const int whole = n1 - k;
  for (int c = 0; c < whole; ++c)
    if (!eliminate(c, d, ku)) return 0;
  for (int c = std::max(whole, 0); c < n1; ++c)
    if (!eliminate(c, std::min(d, n1 - 1 - c), std::min(ku, n1 - 1 - c))) return 0;
  if (W > 0) std::copy(ylocal, ylocal + m * width, yrow(n1));
  if (!solve_dense(last, m, yrow(n1), width)) return 0;
  auto substitute = [&](int c, int right) {
    const double* rc = row(c) + d;
    const double* ec = e + static_cast<size_t>(c) * m;
    double* yc = yrow(c);
    for (int j = 1; j <= right; ++j)
      for (int w = 0; w < width; ++w) yc[w] -= rc[j] * yrow(c + j)[w];
    for (int j = 0; j < m; ++j)
      for (int w = 0; w < width; ++w) yc[w] -= ec[j] * yrow(n1 + j)[w];
    for (int w = 0; w < width; ++w) yc[w] *= rc[0];
  };
  for (int c = n1 - 1; c >= std::max(whole, 0); --c) substitute(c, std::min(ku, n1 - 1 - c));
  for (int c = whole - 1; c >= 0; --c) substitute(c, ku);
  // Column c back to vertex c + d.
  for (int c = 0; c < n; ++c)
    std::copy(yrow(c), yrow(c) + width, x + static_cast<size_t>(c + d < n ? c + d : c + d - n) * width);
  return 1;
}

// The non-periodic collocation system, banded: row i holds columns first[i] ..
// first[i] + k - 1.  Elimination without row exchanges keeps the band (collocation
// rows are ordered).  x: n rows of width right-hand sides, replaced by the solution.
int solve_open(const double* par, int n, int k, const int* der, const double* t, double* x,
               int width, std::pmr::memory_resource* mem) {
  WorkArray<double> band(mem, static_cast<size_t>(n) * k);
  WorkArray<int> first(mem, n);
  if (!band || !first) return kErrMemory;
  int mu = k - 1;
  for (int i = 0; i < n; ++i) {
    if (der[i] < 0 || der[i] >= k) return -160;
    while (mu < n - 1 && t[mu + 1] <= par[i]) ++mu;
    first[i] = mu - k + 1;
    if (i < first[i] || i > mu) return -165;
    int st = 0;
    s1897(t, k, par[i], mu, der[i], &band[static_cast<size_t>(i) * k], &st);
    if (st < 0) return st;
  }
  auto xrow = [x, width](int i) { return x + static_cast<size_t>(i) * width; };
  for (int i = 0; i < n; ++i) {
    const double* ri = &band[static_cast<size_t>(i) * k];
    const double pivot = ri[i - first[i]];
    if (pivot == 0.0) return -162;
    for (int r = i + 1; r < n && first[r] <= i; ++r) {
      double* rr = &band[static_cast<size_t>(r) * k];
      const double f = rr[i - first[r]] / pivot;
      if (f == 0.0) continue;
      rr[i - first[r]] = 0.0;
      for (int c = i + 1; c <= first[i] + k - 1; ++c) rr[c - first[r]] -= f * ri[c - first[i]];
      for (int w = 0; w < width; ++w) xrow(r)[w] -= f * xrow(i)[w];
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    const double* ri = &band[static_cast<size_t>(i) * k];
    double* xi = xrow(i);
    for (int w = 0; w < width; ++w) {
      double s = xi[w];
      for (int c = i + 1; c <= first[i] + k - 1 && c < n; ++c) s -= ri[c - first[i]] * xrow(c)[w];
      xi[w] = s / ri[i - first[i]];
    }
  }
  return 0;
}

// The periodic system with row exchanges.  The vertices u = 0 .. n + k - 2 of a row
// stand for vertex u mod n.  Sorted by their first vertex, the rows form a band once the
// columns of vertices 0 .. k - 2 (which the last rows reach again past the end) are
// moved behind the others; they stay as full border columns.  Unwrapped vertex u >= k - 1
// is column u - (k - 1), vertex u < k - 1 is column n - (k - 1) + u.  b: the right-hand
// sides per condition; x: the solution per vertex (n rows of width values).
int solve_periodic_pivoting(const double* wrapped, const int* first, int n, int k,
                            const int* der, const double* t, const double* b, double* x,
                            int width) {
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
      std::stable_sort(order.begin(), order.end(), [&](int a, int c) { return first[a] < first[c]; });
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
    if (st < 0) return st;
    for (int j = 0; j < k; ++j) sys.add(r, column(first[i] + j), vals[j]);
    std::copy(b + static_cast<size_t>(i) * width, b + static_cast<size_t>(i + 1) * width,
              y.begin() + static_cast<size_t>(r) * width);
  }
  if (!sys.solve(y.data(), width)) return -162;
  // Column c back to its vertex.
  for (int c = 0; c < n; ++c) {
    const int v = c < edge ? c + (k - 1) : c - edge;
    std::copy(y.begin() + static_cast<size_t>(c) * width, y.begin() + static_cast<size_t>(c + 1) * width,
              x + static_cast<size_t>(v) * width);
  }
  return 0;
}

// The periodic collocation system (n conditions, nv = n + k - 1 vertices of which the
// last k - 1 repeat the first).  When every condition falls in its own knot interval
// the rows form a cyclic band with the largest B-spline of each row on the diagonal,
// solved without row exchanges where partial pivoting would not exchange rows either;
// otherwise, or when it would, with row exchanges.  b: the right-hand sides per
// condition; x: the solution per vertex (n rows of width values).
int solve_periodic(const double* par, int n, int k, const int* der, const double* t,
                   const double* b, double* x, int width, std::pmr::memory_resource* mem) {
  const int nv = n + k - 1;
  const double T = t[nv] - t[k - 1];
  // The cyclic solve's block behind the moved parameters.
  const bool cyclic_size = n >= 2 * k && k <= kCyclicMaxOrder;
  const size_t block = cyclic_size ? static_cast<size_t>(n) * (2 * k + width - 1) : 0;
  WorkArray<double> wrapped(mem, n + block);
  WorkArray<int> ints(mem, 2 * static_cast<size_t>(n));
  if (!wrapped || !ints) return kErrMemory;
  int* first = ints.get();
  int* row_of = first + n;  // the condition in the row of each first vertex, or -1
  std::fill(row_of, row_of + n, -1);
  bool cyclic = cyclic_size;
  int mu = k - 1;
  for (int i = 0; i < n; ++i) {
    if (der[i] < 0 || der[i] >= k) return -160;
    double p = par[i];
    int guard = 0;
    while (p < t[k - 1] && guard++ < 100) p += T;
    while (p >= t[nv] && guard++ < 100) p -= T;
    wrapped[i] = p;
    // The last interval [t[mu], t[mu + 1]) of the range starting at or before p; the
    // conditions come by parameter, so the one of the previous condition or the next.
    if (mu + 1 < nv && t[mu + 1] <= p) ++mu;
    if (!(t[mu] <= p && (mu + 1 >= nv || p < t[mu + 1])))
      mu = static_cast<int>(std::upper_bound(t + k, t + nv, p) - t) - 1;
    while (mu + 1 < nv && t[mu + 1] <= p) ++mu;
    first[i] = mu - (k - 1);
    if (row_of[first[i]] >= 0) cyclic = false;
    row_of[first[i]] = i;
  }
  if (cyclic) {
    const double* w = wrapped.get();
    double* work = wrapped.get() + n;
    const int st =
        k == 3 && width == 2   ? solve_cyclic<3, 2>(t, n, k, der, w, row_of, b, width, x, work)
        : k == 3 && width == 3 ? solve_cyclic<3, 3>(t, n, k, der, w, row_of, b, width, x, work)
        : k == 4 && width == 2 ? solve_cyclic<4, 2>(t, n, k, der, w, row_of, b, width, x, work)
        : k == 4 && width == 3 ? solve_cyclic<4, 3>(t, n, k, der, w, row_of, b, width, x, work)
                               : solve_cyclic<0, 0>(t, n, k, der, w, row_of, b, width, x, work);
    if (st != 0) return st < 0 ? st : 0;
  }
  return solve_periodic_pivoting(wrapped.get(), first, n, k, der, t, b, x, width);
}

}  // namespace

namespace spline_detail {

int collocation_solve(const double* par, const double* rhs, int dim, int n, int nrhs,
                      const int* der, bool periodic, const double* t, int k, double* verts,
                      std::pmr::memory_resource* mem) {
  if (k < 1 || dim < 1 || n < 1) return kErrKnots;
  // A periodic system has at least k - 1 conditions (its order is at most their count + 1).
  if (periodic && n < k - 1) return -160;
  const int nv = periodic ? n + k - 1 : n;
  const int width = dim * nrhs;
  const size_t values = static_cast<size_t>(nv) * width;
  // The right-hand sides per condition, all blocks side by side; one block is already so.
  WorkArray<double> gathered(mem, nrhs > 1 ? static_cast<size_t>(n) * width : 0);
  // The solution per vertex, all blocks side by side: in place in the result for one
  // block, else beside it.
  WorkArray<double> beside(mem, nrhs > 1 ? static_cast<size_t>(n) * width : 0);
  if (!gathered || !beside) return kErrMemory;
  const double* b = rhs;
  double* x = verts;
  if (nrhs > 1) {
    for (int r = 0; r < nrhs; ++r)
      for (int i = 0; i < n; ++i)
        for (int m = 0; m < dim; ++m)
          gathered[static_cast<size_t>(i) * width + r * dim + m] = rhs[(static_cast<size_t>(r) * n + i) * dim + m];
    b = gathered.get();
    x = beside.get();
  }
  int st = 0;
  if (periodic) {
    st = solve_periodic(par, n, k, der, t, b, x, width, mem);
  } else {
    std::copy(b, b + static_cast<size_t>(n) * width, x);
    st = solve_open(par, n, k, der, t, x, width, mem);
  }
  if (st < 0) return st;
  if (nrhs == 1) {
    // The last k - 1 vertices of a periodic curve repeat the first.
    for (size_t v = static_cast<size_t>(n) * width; v < values; ++v) verts[v] = verts[v - static_cast<size_t>(n) * width];
  } else {
    for (int r = 0; r < nrhs; ++r)
      for (int i = 0; i < nv; ++i)
        for (int m = 0; m < dim; ++m)
          verts[(static_cast<size_t>(r) * nv + i) * dim + m] = x[static_cast<size_t>(i % n) * width + r * dim + m];
  }
  return 0;
}

}  // namespace spline_detail

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
  if (periodic && n < k - 1) return fail(-160);
  const int nv = periodic ? n + k - 1 : n;
  auto* out = static_cast<double*>(std::malloc(sizeof(double) * (static_cast<size_t>(nv) * dim * nrhs + 1)));
  if (!out) return fail(kErrMemory);
  if (int st = collocation_solve(par, rhs, dim, n, nrhs, der, periodic, t, k, out,
                                 std::pmr::new_delete_resource())) {
    std::free(out);
    return fail(st);
  }
  *verts_out = out;
  *vertex_count = nv;
  *status = 0;
}
