#include "spline/implicit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/collocation.h"
#include "spline/curve_eval.h"
#include "spline/detail/internal.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

using namespace spline_detail;

namespace {

bool linear_equation(const double* M, int msize, int ndim) {
  for (int l = 0; l < ndim; ++l)
    for (int i = 0; i < msize - 1; ++i)
      for (int j = 0; j < msize - 1; ++j)
        if (M[static_cast<size_t>(l) * msize * msize + i * msize + j] != 0.0) return false;
  return true;
}

int raised_vector(const double* t, int k, int n, int dmin, int dmax, bool linear,
                  std::vector<double>& out, int* K) {
  if (k < 2 || n < k || !(t[n] > t[k - 1])) return kErrKnots;
  int KK = linear ? k - dmin : 2 * k - dmin - dmax - 1;  // dmin + dmax = d1 + d2
  if (KK < 2) KK = 2;
  const double eps = 1e-11 * (t[n] - t[k - 1]);
  out.assign(KK, t[k - 1]);
  int i = k;
  while (i < n) {
    const double value = t[i];
    if (value < t[i - 1] && i > k) return kErrKnots;
    int m = 1;
    int last = i;
    while (last + 1 < n && t[last + 1] <= value + eps) {
      if (t[last + 1] < t[last]) return kErrKnots;
      ++last;
      ++m;
    }
    int copies = std::min(KK, m + KK - k + dmax);
    if (copies == KK) {
      bool exact = true;
      for (int j = last - (k - dmax) + 1; j <= last; ++j)
        if (j >= 0 && t[j] != t[last]) exact = false;
      if (!exact) copies = KK - 1;
    }
    for (int c = 0; c < copies; ++c) out.push_back(value);
    i = last + 1;
  }
  for (int c = 0; c < KK; ++c) out.push_back(t[n]);
  *K = KK;
  return 0;
}

// Knot-average parameters (as s1890 gives them) as a vector.
int averages(const std::vector<double>& t, int k, int n, std::vector<double>& par) {
  double* p = nullptr;
  int* d = nullptr;
  int st = 0;
  s1890(t.data(), k, n, &p, &d, &st);
  if (st < 0) return st;
  par.assign(p, p + n);
  std::free(p);
  std::free(d);
  return 0;
}

double quad(const double* M, int msize, const double* v, const double* w) {
  double s = 0.0;
  for (int i = 0; i < msize; ++i)
    for (int j = 0; j < msize; ++j) s += v[i] * M[i * msize + j] * w[j];
  return s;
}

}  // namespace

void s1894(const double* t, int k, int n, int d1, int d2, const double* matrices, int msize,
           int ndim, double** knots, int* order, int* count, int* status) {
  std::vector<double> out;
  int K = 0;
  const int st = raised_vector(t, k, n, std::min(d1, d2), std::max(d1, d2),
                               linear_equation(matrices, msize, ndim), out, &K);
  if (st < 0) {
    *status = st;
    error_report("s1894", st, 0);
    return;
  }
  *knots = malloc_copy(out.data(), out.size());
  *order = K;
  *count = static_cast<int>(out.size()) - K;
  *status = 0;
}

void s1893(const spline_curve* curve, const double* matrices, int msize, int ndim, int d1, int d2,
           spline_curve** result, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1893", code, 0);
  };
  const int k = curve->order, n = curve->vertex_count, dim = curve->dim;
  if (k < 2 || n < k) return fail(kErrKnots);
  if (msize != dim && msize != dim + 1) return fail(-151);
  if (is_rational_kind(curve->kind)) return fail(kErrKind);
  std::vector<double> tau;
  int K = 0;
  int st = raised_vector(curve->knots, k, n, std::min(d1, d2), std::max(d1, d2),
                         linear_equation(matrices, msize, ndim), tau, &K);
  if (st < 0) return fail(st);
  const int N = static_cast<int>(tau.size()) - K;
  std::vector<double> par;
  if ((st = averages(tau, K, N, par)) < 0) return fail(st);
  const int dmax = std::max(d1, d2);
  std::vector<double> der(static_cast<size_t>(dmax + 1) * dim), data(static_cast<size_t>(N) * ndim);
  std::vector<double> v(msize), w(msize);
  int left = 0;
  for (int i = 0; i < N; ++i) {
    s1221(curve, dmax, par[i], &left, der.data(), &st);
    if (st < 0) return fail(st);
    for (int c = 0; c < dim; ++c) {
      v[c] = der[d1 * dim + c];
      w[c] = der[d2 * dim + c];
    }
    if (msize == dim + 1) {
      v[dim] = d1 == 0 ? 1.0 : 0.0;
      w[dim] = d2 == 0 ? 1.0 : 0.0;
    }
    for (int l = 0; l < ndim; ++l)
      data[static_cast<size_t>(i) * ndim + l] = quad(matrices + static_cast<size_t>(l) * msize * msize, msize, v.data(), w.data());
  }
  std::vector<int> zero(N, 0);
  double* verts = nullptr;
  int nv = 0;
  s1891(par.data(), data.data(), ndim, N, 1, zero.data(), 1, tau.data(), &verts, &nv, K, 0, 0, &st);
  if (st < 0) return fail(st);
  std::vector<double> vv(verts, verts + static_cast<size_t>(nv) * ndim);
  std::free(verts);
  spline_curve* c = adopt_curve(nv, K, tau, vv, 1, ndim);
  if (!c) return fail(-171);
  c->open_flag = curve->open_flag;
  *result = c;
  *status = 0;
}

void s1896(const spline_surface* s, const double* matrices, int msize, int ndim, const int* v1,
           const int* v2, const int* w1, const int* w2, spline_surface** result, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1896", code, 0);
  };
  const int k1 = s->order1, k2 = s->order2, n1 = s->vertex_count1, n2 = s->vertex_count2;
  const int dim = s->dim;
  if (k1 < 2 || k2 < 2 || n1 < k1 || n2 < k2) return fail(kErrKnots);
  if (msize != dim && msize != dim + 1) return fail(-151);
  if (is_rational_kind(s->kind)) return fail(kErrKind);
  const bool lin = linear_equation(matrices, msize, ndim);
  int minv1 = v1[0], minw1 = w1[0], minv2 = v2[0], minw2 = w2[0], top = 0;
  for (int l = 0; l < ndim; ++l) {
    minv1 = std::min(minv1, v1[l]);
    minw1 = std::min(minw1, w1[l]);
    minv2 = std::min(minv2, v2[l]);
    minw2 = std::min(minw2, w2[l]);
    top = std::max({top, v1[l] + v2[l], w1[l] + w2[l]});
  }
  std::vector<double> tau1, tau2, par1, par2;
  int K1 = 0, K2 = 0, st = 0;
  if ((st = raised_vector(s->knots1, k1, n1, std::min(minv1, minw1), std::max(minv1, minw1), lin, tau1, &K1)) < 0)
    return fail(st);
  if ((st = raised_vector(s->knots2, k2, n2, std::min(minv2, minw2), std::max(minv2, minw2), lin, tau2, &K2)) < 0)
    return fail(st);
  const int N1 = static_cast<int>(tau1.size()) - K1, N2 = static_cast<int>(tau2.size()) - K2;
  if ((st = averages(tau1, K1, N1, par1)) < 0 || (st = averages(tau2, K2, N2, par2)) < 0) return fail(st);
  const size_t tri = static_cast<size_t>(top + 1) * (top + 2) / 2;
  std::vector<double> der(tri * dim), normal(3), v(msize), w(msize);
  // grid[(j * N1 + i) * ndim + l]
  std::vector<double> grid(static_cast<size_t>(N1) * N2 * ndim);
  int l1 = 0, l2 = 0;
  for (int j = 0; j < N2; ++j)
    for (int i = 0; i < N1; ++i) {
      const double uv[2] = {par1[i], par2[j]};
      s1421(s, top, uv, &l1, &l2, der.data(), normal.data(), &st);
      if (st < 0) return fail(st);
      for (int l = 0; l < ndim; ++l) {
        const size_t pv = static_cast<size_t>(v1[l] + v2[l]) * (v1[l] + v2[l] + 1) / 2 + v2[l];
        const size_t pw = static_cast<size_t>(w1[l] + w2[l]) * (w1[l] + w2[l] + 1) / 2 + w2[l];
        for (int c = 0; c < dim; ++c) {
          v[c] = der[pv * dim + c];
          w[c] = der[pw * dim + c];
        }
        if (msize == dim + 1) {
          v[dim] = pv == 0 ? 1.0 : 0.0;
          w[dim] = pw == 0 ? 1.0 : 0.0;
        }
        grid[(static_cast<size_t>(j) * N1 + i) * ndim + l] =
            quad(matrices + static_cast<size_t>(l) * msize * msize, msize, v.data(), w.data());
      }
    }
  // Second direction: rows of N1 * ndim values.
  std::vector<int> z2(N2, 0), z1(N1, 0);
  double* a = nullptr;
  int na = 0;
  s1891(par2.data(), grid.data(), N1 * ndim, N2, 1, z2.data(), 1, tau2.data(), &a, &na, K2, 0, 0, &st);
  if (st < 0) return fail(st);
  // First direction: N2 right-hand sides of N1 conditions each.
  double* b = nullptr;
  int nb = 0;
  s1891(par1.data(), a, ndim, N1, N2, z1.data(), 1, tau1.data(), &b, &nb, K1, 0, 0, &st);
  std::free(a);
  if (st < 0) return fail(st);
  std::vector<double> verts(b, b + static_cast<size_t>(N1) * N2 * ndim);
  std::free(b);
  spline_surface* r = adopt_surface(N1, N2, K1, K2, tau1, tau2, verts, 1, ndim);
  if (!r) return fail(-171);
  *result = r;
  *status = 0;
}

void s1919(const double* t, const double* prev, const double* cur, double* deriv,
           const double* next, int n, int k, int dim, int has_prev, int has_next, double par_prev,
           double par_cur, double par_next, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1919", code, 0);
  };
  if (k < 2 || n < k) return fail(kErrKnots);
  std::vector<double> tv(t, t + n + k), par;
  int st = 0;
  if ((st = averages(tv, k, n, par)) < 0) return fail(st);
  auto sample = [&](const double* verts, std::vector<double>& out) {
    out.assign(static_cast<size_t>(n) * dim, 0.0);
    if (!verts) return 0;
    spline_curve* c = create_curve(n, k, tv.data(), const_cast<double*>(verts), 1, dim, 1);
    if (!c) return static_cast<int>(kErrMemory);
    int left = 0, s = 0;
    for (int i = 0; i < n && s >= 0; ++i) s1221(c, 0, par[i], &left, &out[static_cast<size_t>(i) * dim], &s);
    destroy_curve(c);
    return s;
  };
  std::vector<double> sp, sc, sd, sn;
  if ((st = sample(has_prev == 1 ? prev : nullptr, sp)) < 0 || (st = sample(cur, sc)) < 0 ||
      (st = sample(deriv, sd)) < 0 || (st = sample(has_next == 1 ? next : nullptr, sn)) < 0)
    return fail(st);
  const double d1 = std::fabs(par_cur - par_prev), d2 = std::fabs(par_next - par_cur);
  for (int i = 0; i < n; ++i) {
    double a = 0, b = 0, c = 0;
    for (int m = 0; m < dim; ++m) {
      const size_t p = static_cast<size_t>(i) * dim + m;
      a += (sc[p] - sp[p]) * (sc[p] - sp[p]);
      b += (sn[p] - sc[p]) * (sn[p] - sc[p]);
      c += sd[p] * sd[p];
    }
    a = std::sqrt(a), b = std::sqrt(b), c = std::sqrt(c);
    if (c == 0.0) c = 1.0;
    double f = 1.0;
    const bool hp = has_prev == 1, hn = has_next == 1;
    if (hp && hn)
      f = std::min(a / (d1 * c), b / (d2 * c));
    else if (hp)
      f = a / (d1 * c);
    else if (hn)
      f = b / (d2 * c);
    for (int m = 0; m < dim; ++m) sd[static_cast<size_t>(i) * dim + m] *= f;
  }
  std::vector<int> zero(n, 0);
  double* verts = nullptr;
  int nv = 0;
  s1891(par.data(), sd.data(), dim, n, 1, zero.data(), 1, tv.data(), &verts, &nv, k, 0, 0, &st);
  if (st < 0) return fail(st);
  for (size_t i = 0; i < static_cast<size_t>(n) * dim; ++i) deriv[i] = verts[i];
  std::free(verts);
  *status = 0;
}
