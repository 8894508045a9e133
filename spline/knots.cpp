#include "spline/knots.h"

#include <cmath>
#include <vector>

#include "spline/linalg.h"
#include "spline/status.h"

void s1219(const double* t, int k, int n, int* left, double x, int* status) {
  int code = 0;
  if (k < 1)
    code = kErrOrder;
  else if (n < k)
    code = kErrTooFewVertices;
  else if (t[k - 1] == t[k] || t[n - 1] == t[n])
    code = kErrKnots;
  else if (!std::isfinite(x))
    code = kErrNotFinite;
  if (code) {
    *status = code;
    error_report("s1219", code, 0);
    return;
  }
  int l = *left;
  if (l < k - 1) l = k - 1;
  if (l > n - 1) l = n - 1;
  if (t[l] <= x && x < t[l + 1]) {
  } else if (x >= t[n - 1]) {
    l = n - 1;
  } else if (x <= t[k - 1]) {
    l = k - 1;
  } else if (l + 2 <= n && t[l + 1] <= x && x < t[l + 2]) {
    l = l + 1;
  } else if (l >= 1 && t[l - 1] <= x && x < t[l]) {
    l = l - 1;
  } else {
    // Bisection keeping t[lo] <= x < t[hi]; bounded so that knots that are not
    // numbers cannot keep it going for ever.
    int lo = k - 1, hi = n - 1;
    int mid = (lo + hi) / 2;
    int steps = 0;
    while (!(t[mid] <= x && x < t[mid + 1])) {
      if (++steps > 2 * n + 64) {
        *status = kErrKnots;
        error_report("s1219", kErrKnots, 1);
        return;
      }
      if (x < t[mid])
        hi = mid;
      else
        lo = mid;
      mid = (lo + hi) / 2;
    }
    l = mid;
  }
  *left = l;
  *status = 0;
}

namespace {

// Basis values and derivatives on interval l (knot differences already known > 0 on
// the valid paths); returns false when a knot difference is not positive.
bool basis_on_interval(const double* t, int k, int l, double x, int d, int e, double* out) {
  const int p = k - 1;
  // ndu: values of all lower-order B-splines (upper triangle) and knot differences
  // (lower triangle), as in the usual triangular scheme.
  constexpr int kStack = 16;
  double ndu_s[kStack * kStack], a_s[2 * kStack], left_s[kStack], right_s[kStack];
  std::vector<double> heap;
  double *ndu = ndu_s, *a = a_s, *lf = left_s, *rt = right_s;
  if (k > kStack) {
    heap.resize(static_cast<size_t>(k) * k + 4 * static_cast<size_t>(k));
    ndu = heap.data();
    a = ndu + k * k;
    lf = a + 2 * k;
    rt = lf + k;
  }
  ndu[0] = 1.0;
  for (int j = 1; j <= p; ++j) {
    lf[j] = x - t[l + 1 - j];
    rt[j] = t[l + j] - x;
    double saved = 0.0;
    for (int r = 0; r < j; ++r) {
      const double diff = rt[r + 1] + lf[j - r];  // t[l + r + 1] - t[l + 1 - j + r]
      if (!(diff > 0.0)) return false;
      ndu[j * k + r] = diff;
      const double temp = ndu[r * k + (j - 1)] / diff;
      ndu[r * k + j] = saved + rt[r + 1] * temp;
      saved = lf[j - r] * temp;
    }
    ndu[j * k + j] = saved;
  }
  const int stride = d + 1;
  for (int r = 0; r <= p; ++r) {
    out[r * stride] = ndu[r * k + p];
    for (int j = 1; j <= d; ++j) out[r * stride + j] = 0.0;
  }
  if (e <= 0) return true;
  for (int r = 0; r <= p; ++r) {
    double* a0 = a;
    double* a1 = a + k;
    a0[0] = 1.0;
    for (int q = 1; q <= e; ++q) {
      double dsum = 0.0;
      const int rk = r - q, pk = p - q;
      if (r >= q) {
        a1[0] = a0[0] / ndu[(pk + 1) * k + rk];
        dsum = a1[0] * ndu[rk * k + pk];
      }
      const int j1 = rk >= -1 ? 1 : -rk;
      const int j2 = (r - 1 <= pk) ? q - 1 : p - r;
      for (int j = j1; j <= j2; ++j) {
        a1[j] = (a0[j] - a0[j - 1]) / ndu[(pk + 1) * k + rk + j];
        dsum += a1[j] * ndu[(rk + j) * k + pk];
      }
      if (r <= pk) {
        a1[q] = -a0[q - 1] / ndu[(pk + 1) * k + r];
        dsum += a1[q] * ndu[r * k + pk];
      }
      out[r * stride + q] = dsum;
      double* sw = a0;
      a0 = a1;
      a1 = sw;
    }
  }
  double factor = p;
  for (int q = 1; q <= e; ++q) {
    for (int r = 0; r <= p; ++r) out[r * stride + q] *= factor;
    factor *= (p - q);
  }
  return true;
}

}  // namespace

void s1220(const double* t, int k, int n, int* left, double x, int d, double* basis,
           int* status) {
  if (d < 0) {
    *status = kErrDerivativeCount;
    error_report("s1220", *status, 0);
    return;
  }
  int st = 0;
  s1219(t, k, n, left, x, &st);
  if (st < 0) {
    *status = st;
    error_report("s1220", st, 0);
    return;
  }
  const int e = d < k - 1 ? d : k - 1;
  if (!basis_on_interval(t, k, *left, x, d, e, basis)) {
    *status = kErrKnots;
    error_report("s1220", kErrKnots, 0);
    return;
  }
  *status = 0;
}

int s6knotmult(const double* t, int k, int n, int* left, double x, int* status) {
  int st = 0;
  s1219(t, k, n, left, x, &st);
  if (st < 0) {
    *status = st;
    error_report("s6knotmult", st, 0);
    return 0;
  }
  int m = 0;
  const int l = *left;
  if (t[l] == x)
    for (int i = l; i >= 0 && t[i] == x; --i) ++m;
  if (t[n] == x)
    for (int i = n; i < n + k && t[i] == x; ++i) ++m;
  *status = 0;
  return m;
}

void s6fndintvl(const double* t, int k, int n, int* left, double start, double end, int m,
                int* status) {
  *status = 0;
  if (start > end) {
    const double s = start;
    start = end;
    end = s;
  }
  int st = 0;
  int l = *left;
  s1219(t, k, n, &l, start, &st);
  if (st < 0) {
    *status = st;
    error_report("s6fndintvl", st, 0);
    return;
  }
  double g = t[l + 1];
  int guard = n + k;
  while (g < end && g < t[n] && guard-- > 0) {
    int lm = l;
    const int mult = s6knotmult(t, k, n, &lm, g, &st);
    if (st < 0) {
      *status = st;
      error_report("s6fndintvl", st, 1);
      return;
    }
    if (mult > m) {
      *left = lm;
      *status = 1;
      return;
    }
    l = lm;
    g = t[l + 1];
  }
}

void test_cyclic_knots(const double* t, int n, int k, int* status) {
  int st = 0;
  int l1 = k - 1, l2 = n;
  const int m1 = s6knotmult(t, k, n, &l1, t[k - 1], &st);
  if (st < 0) {
    *status = st;
    error_report("test_cyclic_knots", st, 1);
    return;
  }
  const int m2 = s6knotmult(t, k, n, &l2, t[n], &st);
  if (st < 0) {
    *status = st;
    error_report("test_cyclic_knots", st, 1);
    return;
  }
  *status = 0;
  if (m1 != m2 || m1 >= k) return;
  const int p = k - m1;
  const double period = t[n] - t[k - 1];
  for (int i = 0; i < p; ++i) {
    if (!dequal(t[i] + period, t[n - p + i])) return;
    if (!dequal(t[k + i] + period, t[n + m1 + i])) return;
  }
  *status = n >= k + p ? 2 : 1;
}
