#include "spline/raise.h"

#include <cstdlib>
#include <vector>

#include "spline/detail/internal.h"
#include "spline/records.h"
#include "spline/status.h"

using namespace spline_detail;

namespace {

// Raised knot vector as a std::vector; returns a status.
int raised_knots(const double* t, int n, int k, int K, std::vector<double>& out) {
  if (k < 1 || K < k || n < k || t[n] <= t[k - 1]) return kErrKnots;
  std::vector<double> all;
  double prev = t[0] - 1.0;
  for (int i = 0; i < n + k; ++i) {
    if (t[i] < prev) return kErrKnots;
    if (t[i] != prev)
      for (int r = 0; r < K - k; ++r) all.push_back(t[i]);
    all.push_back(t[i]);
    prev = t[i];
  }
  // Start K knots before the first knot above t[k-1]; end K knots after the last knot
  // below t[n].
  int first_above = 0;
  while (all[first_above] <= t[k - 1]) ++first_above;
  int last_below = static_cast<int>(all.size()) - 1;
  while (all[last_below] >= t[n]) --last_below;
  const int start = first_above - K;
  const int end = last_below + K;  // inclusive
  out.assign(all.begin() + start, all.begin() + end + 1);
  return 0;
}

// Blossom of the polynomial piece on old interval mu at the k - 1 values y.
void blossom(const double* t, const double* v, int k, int w, int mu, const double* y,
             double* out, double* scratch) {
  for (int i = 0; i < k; ++i)
    for (int c = 0; c < w; ++c) scratch[i * w + c] = v[(mu - k + 1 + i) * w + c];
  const int p = k - 1;
  for (int r = 1; r <= p; ++r)
    for (int i = p; i >= r; --i) {
      const int j = mu - p + i;  // knot index of scratch entry i
      const double a = (y[r - 1] - t[j]) / (t[j + p + 1 - r] - t[j]);
      for (int c = 0; c < w; ++c)
        scratch[i * w + c] = (1.0 - a) * scratch[(i - 1) * w + c] + a * scratch[i * w + c];
    }
  for (int c = 0; c < w; ++c) out[c] = scratch[p * w + c];
}

}  // namespace

namespace spline_detail {

int reexpress(const double* t, int n, int k, const double* verts, int w, const double* e,
              double* out) {
  // New vertex j: the blossom of the old piece at e[j+1 .. j+k-1], on an interval of the
  // old range inside the support of new B-spline j.
  std::vector<double> scratch(static_cast<size_t>(k) * w), y(k > 1 ? k - 1 : 1);
  for (int j = 0; j < n; ++j) {
    double lo = e[j] > t[k - 1] ? e[j] : t[k - 1];
    double hi = e[j + k] < t[n] ? e[j + k] : t[n];
    if (!(hi > lo)) return kErrKnots;
    const double mid = 0.5 * (lo + hi);
    int mu = k - 1;
    while (mu + 1 <= n - 1 && t[mu + 1] <= mid) ++mu;
    for (int i = 0; i < k - 1; ++i) y[i] = e[j + 1 + i];
    blossom(t, verts, k, w, mu, y.data(), out + static_cast<size_t>(j) * w, scratch.data());
  }
  return 0;
}

}  // namespace spline_detail

void s1754(const double* t, int n, int k, int K, double** new_knots, int* new_count,
           int* status) {
  std::vector<double> out;
  int st = raised_knots(t, n, k, K, out);
  if (st < 0) {
    *status = st;
    error_report("s1754", st, 0);
    return;
  }
  double* a = malloc_copy(out.data(), out.size());
  if (!a) {
    *status = kErrMemory;
    error_report("s1754", *status, 0);
    return;
  }
  *new_knots = a;
  *new_count = static_cast<int>(out.size()) - K;
  *status = 0;
}

void s1755(const double* t, int n, int k, double* new_knots, int* new_count, int* status) {
  std::vector<double> out;
  int st = raised_knots(t, n, k, k + 1, out);
  if (st < 0) {
    *status = st;
    error_report("s1755", st, 0);
    return;
  }
  for (size_t i = 0; i < out.size(); ++i) new_knots[i] = out[i];
  *new_count = static_cast<int>(out.size()) - (k + 1);
  *status = 0;
}

void s1753(const double* t, const double* verts, int n, int k, int width, const double* u,
           double* new_verts, int N, double*, double*, int* status) {
  if (k < 1 || n < k || N < k + 1) {
    *status = kErrKnots;
    error_report("s1753", *status, 0);
    return;
  }
  const int K = k + 1;
  std::vector<double> scratch(static_cast<size_t>(k) * width), val(width), y(k > 1 ? k - 1 : 1);
  for (int J = 0; J < N; ++J) {
    // A non-empty interval of the raised knots inside both the support of vertex J and
    // the parameter range; the old piece there is the polynomial to raise.
    int nu = -1;
    for (int c = J; c <= J + K - 1; ++c)
      if (c >= K - 1 && c <= N - 1 && u[c] < u[c + 1]) {
        nu = c;
        break;
      }
    if (nu < 0) {
      *status = kErrKnots;
      error_report("s1753", *status, 1);
      return;
    }
    const double mid = 0.5 * (u[nu] + u[nu + 1]);
    int mu = k - 1;
    while (mu + 1 <= n - 1 && t[mu + 1] <= mid) ++mu;
    // Raised vertex = mean over i of the blossom at u[J+1..J+K-1] without u[J+1+i].
    double* out = new_verts + static_cast<size_t>(J) * width;
    for (int c = 0; c < width; ++c) out[c] = 0.0;
    for (int skip = 0; skip < K - 1; ++skip) {
      int m = 0;
      for (int i = 0; i < K - 1; ++i)
        if (i != skip) y[m++] = u[J + 1 + i];
      blossom(t, verts, k, width, mu, y.data(), val.data(), scratch.data());
      for (int c = 0; c < width; ++c) out[c] += val[c];
    }
    for (int c = 0; c < width; ++c) out[c] /= (K - 1);
  }
  *status = 0;
}

void s1750(const spline_curve* curve, int K, spline_curve** result, int* status) {
  const int k = curve->order, n = curve->vertex_count;
  if (k < 1 || K < k || n < k) {
    *status = kErrKnots;
    error_report("s1750", *status, 0);
    return;
  }
  const int w = work_width(curve);
  const double* src = work_vertices(curve);
  if (K == k) {
    spline_curve* c = create_curve(n, k, curve->knots, const_cast<double*>(src), curve->kind,
                                   curve->dim, 1);
    if (!c) {
      *status = -171;
      error_report("s1750", *status, 0);
      return;
    }
    c->open_flag = curve->open_flag;
    *result = c;
    *status = 0;
    return;
  }
  std::vector<double> t(curve->knots, curve->knots + n + k);
  std::vector<double> v(src, src + static_cast<size_t>(n) * w);
  int order = k, count = n, st = 0;
  while (order < K) {
    std::vector<double> u;
    st = raised_knots(t.data(), count, order, order + 1, u);
    if (st < 0) break;
    const int N = static_cast<int>(u.size()) - (order + 1);
    std::vector<double> nv(static_cast<size_t>(N) * w);
    s1753(t.data(), v.data(), count, order, w, u.data(), nv.data(), N, nullptr, nullptr, &st);
    if (st < 0) break;
    t.swap(u);
    v.swap(nv);
    count = N;
    ++order;
  }
  if (st < 0) {
    *status = st;
    error_report("s1750", st, 0);
    return;
  }
  spline_curve* c = adopt_curve(count, K, t, v, curve->kind, curve->dim);
  if (!c) {
    *status = -171;
    error_report("s1750", *status, 0);
    return;
  }
  c->open_flag = curve->open_flag;
  *result = c;
  *status = 0;
}
