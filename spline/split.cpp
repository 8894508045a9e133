#include "spline/split.h"

#include <cmath>
#include <vector>

#include "spline/edit.h"
#include "spline/detail/internal.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

using namespace spline_detail;

namespace spline_detail {

int insert_to_full(std::vector<double>& t, std::vector<double>& v, int k, int w, double x) {
  const int n0 = static_cast<int>(t.size()) - k;
  int mult = 0;
  for (double knot : t)
    if (knot == x) ++mult;
  // Insert x once per step (Boehm), k - mult times.
  for (int step = mult; step < k; ++step) {
    const int n = static_cast<int>(t.size()) - k;
    int l = 0;  // last index with t[l] <= x, not beyond the last usable interval
    while (l + 1 < n + k - 1 && t[l + 1] <= x) ++l;
    int m = 0;
    for (int i = l; i >= 0 && t[i] == x; --i) ++m;
    std::vector<double> nv(static_cast<size_t>(n + 1) * w);
    for (int i = 0; i <= n; ++i) {
      double* q = &nv[static_cast<size_t>(i) * w];
      if (i <= l - k + 1) {
        for (int c = 0; c < w; ++c) q[c] = v[static_cast<size_t>(i) * w + c];
      } else if (i <= l - m) {
        const double a = (x - t[i]) / (t[i + k - 1] - t[i]);
        for (int c = 0; c < w; ++c)
          q[c] = (1.0 - a) * v[static_cast<size_t>(i - 1) * w + c] + a * v[static_cast<size_t>(i) * w + c];
      } else {
        for (int c = 0; c < w; ++c) q[c] = v[static_cast<size_t>(i - 1) * w + c];
      }
    }
    v.swap(nv);
    t.insert(t.begin() + l + 1, x);
  }
  (void)n0;
  int s = 0;
  while (t[s] != x) ++s;
  return s;
}

}  // namespace spline_detail

namespace {

// The product of the knot-insertion matrices R_1(tau[i+1]) ... R_{k-1}(tau[i+k-1]) on
// old interval mu: coefficients of new vertex i over old vertices mu-k+1 .. mu.
// alpha[s] belongs to old vertex mu - k + 1 + s; row r of the recurrence fills
// s = k-1-r .. k-1 upward, each from the previous row's entries s and s + 1.
void oslo(const double* t, int k, int mu, const double* tau_next, double* alpha) {
  const int base = mu - k + 1;
  // Weight of the previous entry j in entry j (left) and of the previous entry j + 1 in
  // entry j (right); 0 over an empty knot span.
  auto left = [t](int j, int r, double x) {
    const double d = t[j + r] - t[j];
    return d > 0 ? (x - t[j]) / d : 0.0;
  };
  auto right = [t](int j, int r, double x) {
    const double d = t[j + r + 1] - t[j + 1];
    return d > 0 ? (t[j + r + 1] - x) / d : 0.0;
  };
  alpha[k - 1] = 1.0;
  for (int r = 1; r < k; ++r) {
    const double x = tau_next[r - 1];
    const int s0 = k - 1 - r;
    alpha[s0] = 0.0 + right(base + s0, r, x) * alpha[s0 + 1];
    for (int s = s0 + 1; s < k - 1; ++s) {
      const int j = base + s;
      alpha[s] = (0.0 + left(j, r, x) * alpha[s]) + right(j, r, x) * alpha[s + 1];
    }
    alpha[k - 1] = 0.0 + left(mu, r, x) * alpha[k - 1];
  }
}

}  // namespace

void refine_alpha(int imy, int mu, int k, int n, int* offset, int* first, int* last,
                  const double* tau, const double* t, double* /*work*/, double* coefs,
                  int* status) {
  oslo(t, k, mu, tau + imy + 1, coefs);
  *offset = k - 1 - mu;
  *first = mu - k + 1 < 0 ? 0 : mu - k + 1;
  *last = mu > n - 1 ? n - 1 : mu;
  *status = 0;
}

void s1700(int imy, int k, int n, int h, int* offset, int* first, int* last, const double* t,
           double x, double* coefs, int* status) {
  if (h >= k) {
    *status = -152;
    error_report("s1700", *status, 0);
    return;
  }
  // The refined vector: t with x inserted h times.
  std::vector<double> tau(t, t + n + k);
  int pos = 0;
  while (pos < n + k && tau[pos] <= x) ++pos;
  tau.insert(tau.begin() + pos, static_cast<size_t>(h), x);
  int mu = k - 1;
  while (mu + 1 <= n - 1 && t[mu + 1] <= tau[imy]) ++mu;
  refine_alpha(imy, mu, k, n, offset, first, last, tau.data(), t, nullptr, coefs, status);
}

namespace {

// Splits the working vertices of a curve at x (inside the range) into pieces; the
// null pointers stand for pieces without a span.
void split_open(const spline_curve* c, double x, spline_curve** a, spline_curve** b) {
  const int k = c->order, n = c->vertex_count, w = work_width(c);
  std::vector<double> t(c->knots, c->knots + n + k);
  std::vector<double> v(work_vertices(c), work_vertices(c) + static_cast<size_t>(n) * w);
  const int s = insert_to_full(t, v, k, w, x);
  const int total = static_cast<int>(t.size()) - k;
  const int kind = result_kind(c->kind);
  if (s >= 1) {
    std::vector<double> t1(t.begin(), t.begin() + s + k);
    std::vector<double> v1(v.begin(), v.begin() + static_cast<size_t>(s) * w);
    *a = adopt_curve(s, k, t1, v1, kind, c->dim);
  }
  if (total - s >= 1) {
    std::vector<double> t2(t.begin() + s, t.end());
    std::vector<double> v2(v.begin() + static_cast<size_t>(s) * w, v.end());
    *b = adopt_curve(total - s, k, t2, v2, kind, c->dim);
  }
}

// Moves x onto a knot equal to it by the relative test.
double snap_to_knot(const double* t, int count, double x) {
  for (int i = 0; i < count; ++i)
    if (dequal(t[i], x)) return t[i];
  return x;
}

// The curve extended by one more period, as the periodic splitting needs it.
spline_curve* extend_period(const spline_curve* c, int m) {
  const int k = c->order, n = c->vertex_count, w = work_width(c);
  const int extra = n - k + m;
  const double* t = c->knots;
  std::vector<double> kt(t, t + n + k);
  for (int i = 0; i < extra; ++i)
    kt.push_back(kt.back() + (t[2 * k - m + i] - t[2 * k - m + i - 1]));
  const double* src = work_vertices(c);
  std::vector<double> v(src, src + static_cast<size_t>(n) * w);
  v.insert(v.end(), src + static_cast<size_t>(k - m) * w, src + static_cast<size_t>(n) * w);
  return adopt_curve(n + extra, k, kt, v, result_kind(c->kind), c->dim);
}

// Opens a periodic curve at x: one closed curve from x to x + period.
void open_periodic(const spline_curve* c, double x, bool relative, spline_curve** out,
                   const char* name, bool report, int* status) {
  const int k = c->order, n = c->vertex_count;
  const double* t = c->knots;
  const double p = t[n] - t[k - 1];
  const bool below = relative ? (x < t[0] && !dequal(x, t[0])) : x < t[0];
  const bool above = relative ? (x > t[n + k - 1] && !dequal(x, t[n + k - 1])) : x > t[n + k - 1];
  if (below || above) {
    *status = -158;
    error_report(name, *status, 0);
    return;
  }
  if (relative) {
    if (x < t[k - 1] && !dequal(x, t[k - 1])) x += p;
    if (x > t[n] || dequal(x, t[n])) x -= p;
  } else {
    if (x < t[k - 1]) x += p;
    if (x > t[n]) x -= p;
  }
  int st = 0, left = k - 1;
  const int m = s6knotmult(t, k, n, &left, t[k - 1], &st);
  if (st < 0 || m >= k) {
    *status = st < 0 ? st : -154;
    if (report) error_report(name, *status, 0);
    return;
  }
  spline_curve* ext = extend_period(c, m);
  if (!ext) {
    *status = kErrMemory;
    error_report(name, *status, 0);
    return;
  }
  spline_curve* piece = nullptr;
  s1712(ext, x, x + p, &piece, &st);
  destroy_curve(ext);
  if (st < 0) {
    *status = st;
    if (report) error_report(name, st, 0);
    return;
  }
  piece->open_flag = 0;
  *out = piece;
  *status = 2;
}

}  // namespace

void s1710(const spline_curve* curve, double x, spline_curve** first, spline_curve** second,
           int* status) {
  *first = *second = nullptr;
  if (!curve) {
    *status = -150;
    error_report("s1710", *status, 0);
    return;
  }
  if (curve->open_flag == -1) {
    open_periodic(curve, x, true, first, "s1710", true, status);
    return;
  }
  const int k = curve->order, n = curve->vertex_count;
  const double* t = curve->knots;
  const bool inside = (x >= t[k - 1] || dequal(x, t[k - 1])) && (x <= t[n] || dequal(x, t[n]));
  if (!inside) {
    *status = -158;
    error_report("s1710", *status, 0);
    return;
  }
  x = snap_to_knot(t, n + k, x);
  if (x < t[k - 1]) x = t[k - 1];
  if (x > t[n]) x = t[n];
  split_open(curve, x, first, second);
  if (*first && *second)
    *status = 0;
  else if (*first || *second)
    *status = 5;
  else {
    *status = kErrMemory;
    error_report("s1710", *status, 0);
  }
}

void s1231(const spline_curve* curve, double x, spline_curve** first, spline_curve** second,
           int* status) {
  *first = *second = nullptr;
  if (!curve) {
    *status = -150;
    error_report("s1231", *status, 0);
    return;
  }
  if (curve->open_flag == -1) {
    open_periodic(curve, x, false, first, "s1231", false, status);
    return;
  }
  const int k = curve->order, n = curve->vertex_count;
  const double* t = curve->knots;
  if (!(x > t[k - 1] && x < t[n])) {
    *status = -158;
    error_report("s1231", *status, 0);
    return;
  }
  x = snap_to_knot(t, n + k, x);
  split_open(curve, x, first, second);
  if (!*first || !*second) {
    destroy_curve(*first);
    destroy_curve(*second);
    *first = *second = nullptr;
    *status = kErrMemory;
    error_report("s1231", *status, 0);
    return;
  }
  *status = 0;
}

namespace {

// A surface's working vertices seen as a curve along direction 1 (each vertex holding
// the n2 vertices of its column) or direction 2 (each vertex a row of n1 vertices).
struct LongCurve {
  std::vector<double> t, v;
  int k, n, width;
};

LongCurve long_curve(const spline_surface* s, int direction) {
  const bool rational = is_rational_kind(s->kind);
  const int w = rational ? s->dim + 1 : s->dim;
  const double* src = rational ? s->hom_coefs : s->coefs;
  const int n1 = s->vertex_count1, n2 = s->vertex_count2;
  LongCurve lc;
  if (direction == 1) {
    lc.k = s->order1;
    lc.n = n1;
    lc.width = n2 * w;
    lc.t.assign(s->knots1, s->knots1 + n1 + s->order1);
    lc.v.resize(static_cast<size_t>(n1) * n2 * w);
    transpose_coefs(src, n1, n2, w, lc.v.data());
  } else {
    lc.k = s->order2;
    lc.n = n2;
    lc.width = n1 * w;
    lc.t.assign(s->knots2, s->knots2 + n2 + s->order2);
    lc.v.assign(src, src + static_cast<size_t>(n1) * n2 * w);
  }
  return lc;
}

// The surface vertex array from a long curve's vertices in the given direction.
std::vector<double> surface_vertices(const std::vector<double>& v, int direction, int count,
                                     int other, int w) {
  if (direction != 1) return v;
  std::vector<double> out(v.size());
  transpose_coefs(v.data(), other, count, w, out.data());
  return out;
}

}  // namespace

void s1711(const spline_surface* surface, int direction, double x, spline_surface** first,
           spline_surface** second, int* status) {
  *first = *second = nullptr;
  if (!surface) {
    *status = -150;
    error_report("s1711", *status, 0);
    return;
  }
  const int dir = direction == 1 ? 1 : 2;
  LongCurve lc = long_curve(surface, dir);
  const double lo = lc.t[lc.k - 1], hi = lc.t[lc.n];
  if (!((x >= lo || dequal(x, lo)) && (x <= hi || dequal(x, hi)))) {
    *status = -158;
    error_report("s1711", *status, 0);
    return;
  }
  x = snap_to_knot(lc.t.data(), lc.n + lc.k, x);
  x = x < lo ? lo : x > hi ? hi : x;
  const int s = insert_to_full(lc.t, lc.v, lc.k, lc.width, x);
  const int total = static_cast<int>(lc.t.size()) - lc.k;
  const bool rational = is_rational_kind(surface->kind);
  const int w = rational ? surface->dim + 1 : surface->dim;
  const int kind = rational ? 2 : 1;
  const int other = dir == 1 ? surface->vertex_count2 : surface->vertex_count1;
  if (s >= 1 && total - s >= 1) {
    std::vector<double> ta(lc.t.begin(), lc.t.begin() + s + lc.k), tb(lc.t.begin() + s, lc.t.end());
    std::vector<double> va(lc.v.begin(), lc.v.begin() + static_cast<size_t>(s) * lc.width);
    std::vector<double> vb(lc.v.begin() + static_cast<size_t>(s) * lc.width, lc.v.end());
    va = surface_vertices(va, dir, s, other, w);
    vb = surface_vertices(vb, dir, total - s, other, w);
    if (dir == 1) {
      std::vector<double> t2(surface->knots2, surface->knots2 + surface->vertex_count2 + surface->order2);
      *first = adopt_surface(s, other, lc.k, surface->order2, ta, t2, va, kind, surface->dim);
      *second = adopt_surface(total - s, other, lc.k, surface->order2, tb, t2, vb, kind, surface->dim);
    } else {
      std::vector<double> t1(surface->knots1, surface->knots1 + surface->vertex_count1 + surface->order1);
      *first = adopt_surface(other, s, surface->order1, lc.k, t1, ta, va, kind, surface->dim);
      *second = adopt_surface(other, total - s, surface->order1, lc.k, t1, tb, vb, kind, surface->dim);
    }
  }
  if (!*first || !*second) {
    destroy_surface(*first);
    destroy_surface(*second);
    *first = *second = nullptr;
    *status = kErrMemory;
    error_report("s1711", *status, 0);
    return;
  }
  (*first)->open_flag1 = (*second)->open_flag1 = dir == 1 ? 1 : surface->open_flag1;
  (*first)->open_flag2 = (*second)->open_flag2 = dir == 2 ? 1 : surface->open_flag2;
  *status = 0;
}

void s1001(const spline_surface* surface, double u0, double v0, double u1, double v1,
           spline_surface** result, int* status) {
  *result = nullptr;
  const bool rational = is_rational_kind(surface->kind);
  const int w = rational ? surface->dim + 1 : surface->dim;
  int n[2] = {surface->vertex_count1, surface->vertex_count2};
  const int k[2] = {surface->order1, surface->order2};
  std::vector<double> knots[2] = {
      std::vector<double>(surface->knots1, surface->knots1 + n[0] + k[0]),
      std::vector<double>(surface->knots2, surface->knots2 + n[1] + k[1])};
  int flags[2] = {surface->open_flag1, surface->open_flag2};
  const double lows[2] = {u0, v0}, highs[2] = {u1, v1};
  const double* src = rational ? surface->hom_coefs : surface->coefs;
  std::vector<double> verts(src, src + static_cast<size_t>(n[0]) * n[1] * w);

  for (int d = 0; d < 2; ++d) {
    const std::vector<double>& t = knots[d];
    const int kk = k[d], nn = n[d];
    int m_lo = 0, m_hi = 0;
    for (int i = 0; i < nn + kk; ++i) {
      if (t[i] == t[kk - 1]) ++m_lo;
      if (t[i] == t[nn]) ++m_hi;
    }
    const bool whole = lows[d] == t[kk - 1] && highs[d] == t[nn];
    if (whole && m_lo == kk && m_hi == kk) continue;
    // The direction as a curve of long vertices (direction 1: columns).
    const int other = n[1 - d];
    std::vector<double> long_v(verts.size());
    if (d == 0)
      transpose_coefs(verts.data(), n[0], n[1], w, long_v.data());
    else
      long_v = verts;
    spline_curve* tmp = create_curve(nn, kk, knots[d].data(), long_v.data(), 1, other * w, 0);
    if (!tmp) {
      *status = kErrMemory;
      error_report("s1001", *status, 0);
      return;
    }
    tmp->open_flag = flags[d];
    spline_curve* piece = nullptr;
    int st = 0;
    s1713(tmp, lows[d], highs[d], &piece, &st);
    destroy_curve(tmp);
    if (st < 0) {
      *status = st;
      error_report("s1001", st, 0);
      return;
    }
    n[d] = piece->vertex_count;
    knots[d].assign(piece->knots, piece->knots + piece->vertex_count + kk);
    flags[d] = (whole && flags[d] == -1) ? 0 : piece->open_flag;
    if (d == 0) {
      verts.resize(static_cast<size_t>(n[0]) * n[1] * w);
      transpose_coefs(piece->coefs, n[1], n[0], w, verts.data());
    } else {
      verts.assign(piece->coefs, piece->coefs + static_cast<size_t>(n[0]) * n[1] * w);
    }
    destroy_curve(piece);
  }
  spline_surface* s = create_surface(n[0], n[1], k[0], k[1], knots[0].data(), knots[1].data(),
                                     verts.data(), surface->kind, surface->dim, 1);
  if (!s) {
    *status = kErrMemory;
    error_report("s1001", *status, 0);
    return;
  }
  s->open_flag1 = flags[0];
  s->open_flag2 = flags[1];
  *result = s;
  *status = 0;
}

namespace spline_detail {

// The periodic end extension of a knot vector for continuity c (as make_cv_cyclic).
std::vector<double> cyclic_knots(const double* t, int n, int k, int c) {
  std::vector<double> e(t, t + n + k);
  const int m = k - c - 1;
  for (int i = c; i >= 0; --i) e[i] = e[k - 1] - (e[n] - e[n - c - 1 + i]);
  for (int j = m; j <= k - 1; ++j) e[n + j] = e[j + c + 1] - e[k - 1] + e[n];
  return e;
}

}  // namespace spline_detail

void make_cv_cyclic(spline_curve* curve, int c, int* status) {
  *status = 0;
  if (c < 0) return;
  const int k = curve->order, n = curve->vertex_count, dim = curve->dim;
  if (c > k - 2) c = k - 2;
  if (c < 0) return;
  std::vector<double> e = cyclic_knots(curve->knots, n, k, c);
  std::vector<double> v(static_cast<size_t>(n) * dim);
  const int st = reexpress(curve->knots, n, k, curve->coefs, dim, e.data(), v.data());
  if (st < 0) {
    *status = st;
    error_report("make_cv_cyclic", st, 0);
    return;
  }
  for (int i = 0; i < n + k; ++i) curve->knots[i] = e[i];
  for (size_t i = 0; i < v.size(); ++i) curve->coefs[i] = v[i];
  curve->open_flag = -1;
}
