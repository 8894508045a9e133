#include "spline/area.h"

#include <cmath>
#include <vector>

#include "spline/approx.h"
#include "spline/edit.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

// Gauss-Legendre nodes and weights on [-1, 1] for 2 to 5 nodes, in full precision.
const double kNodes[4][5] = {
    {-0.57735026918962576, 0.57735026918962576},
    {-0.77459666924148338, 0.0, 0.77459666924148338},
    {-0.86113631159405258, -0.33998104358485626, 0.33998104358485626, 0.86113631159405258},
    {-0.90617984593866399, -0.53846931010568309, 0.0, 0.53846931010568309, 0.90617984593866399}};
const double kWeights[4][5] = {
    {1.0, 1.0},
    {0.55555555555555556, 0.88888888888888889, 0.55555555555555556},
    {0.34785484513745386, 0.65214515486254614, 0.65214515486254614, 0.34785484513745386},
    {0.23692688505618909, 0.47862867049936647, 0.56888888888888889, 0.47862867049936647,
     0.23692688505618909}};

// Value of B_{i,kk} at tau in [t[l], t[l+1]), by the triangular recursion on the
// knots around interval l (B_{i,kk} lives on t[i .. i+kk]).
double basis_value(const double* t, int kk, int l, int i, double tau) {
  if (i < l - kk + 1 || i > l) return 0.0;
  double b[8] = {1.0};
  for (int r = 1; r < kk; ++r) {
    // b[0..r-1] hold B_{l-r+1 .. l, r}; build B_{l-r .. l, r+1}.
    double saved = 0.0;
    for (int s = 0; s < r; ++s) {
      const int idx = l - r + 1 + s;
      const double right = t[idx + r] - tau, left = tau - t[idx];
      const double temp = b[s] / (t[idx + r] - t[idx]);
      b[s] = saved + right * temp;
      saved = left * temp;
    }
    b[r] = saved;
  }
  return b[i - (l - kk + 1)];
}

}  // namespace

void s1244(const double* t, int k, int k1, int k2, int n, int i, int j, double* value,
           int* status) {
  *value = 0.0;
  if (k - k1 < 0 || k - k2 < 0) {
    *status = kErrDimensionMismatch;
    error_report("s1244", *status, 0);
    return;
  }
  const int lo = i > j ? i : j;
  const int hi = (i + k1 < j + k2 ? i + k1 : j + k2) - 1;
  *status = 0;
  if (lo > hi) return;
  int m = (k1 + k2) / 2;  // ceil((k1 + k2 - 1) / 2)
  if (m < 2) m = 2;
  if (m > 5) {
    *status = kErrDimensionMismatch;
    error_report("s1244", *status, 0);
    return;
  }
  double sum = 0.0;
  for (int l = lo; l <= hi; ++l) {
    const double len = t[l + 1] - t[l];
    if (len < 1e-15) continue;
    const double h = len / 2.0;
    for (int g = 0; g < m; ++g) {
      const double tau = (kNodes[m - 2][g] + 1.0) * h + t[l];
      const double b1 = basis_value(t, k1, l, i, tau);
      const double b2 = basis_value(t, k2, l, j, tau);
      sum += kWeights[m - 2][g] * b1 * b2 * h;
    }
  }
  *value = sum;
}

void s1241(const spline_curve* curve, const double* point, int dim, double eps, double* area,
           int* status) {
  if (curve->dim != 2 || dim != 2) {
    *status = kErrDimensionMismatch;
    error_report("s1241", *status, 0);
    return;
  }
  const spline_curve* c = curve;
  spline_curve* approx = nullptr;
  spline_curve* opened = nullptr;
  int st = 0;
  auto cleanup = [&]() {
    destroy_curve(approx);
    destroy_curve(opened);
  };
  if (is_rational_kind(c->kind)) {
    double L = 0.0;
    for (int i = 1; i < c->vertex_count; ++i)
      L += std::hypot(c->coefs[2 * i] - c->coefs[2 * i - 2], c->coefs[2 * i + 1] - c->coefs[2 * i - 1]);
    if (L < 1e-15) {
      *status = kErrDimensionMismatch;
      error_report("s1241", *status, 0);
      return;
    }
    s1360(c, 0.0, eps / L, nullptr, 0.0, 2, &approx, &st);
    if (st < 0) {
      *status = st;
      error_report("s1241", st, 0);
      return;
    }
    c = approx;
  }
  if (c->open_flag == -1) {
    s1712(c, c->knots[c->order - 1], c->knots[c->vertex_count], &opened, &st);
    if (st < 0) {
      cleanup();
      *status = st;
      error_report("s1241", st, 0);
      return;
    }
    c = opened;
  }
  const int k = c->order, n = c->vertex_count;
  const double* t = c->knots;
  std::vector<double> x(n), y(n);
  for (int i = 0; i < n; ++i) {
    x[i] = c->coefs[2 * i] - point[0];
    y[i] = c->coefs[2 * i + 1] - point[1];
  }
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const int j0 = i - k + 1 > 0 ? i - k + 1 : 0;
    const int j1 = (i + k < n ? i + k : n) - 1;
    for (int j = j0; j <= j1; ++j) {
      double a = 0.0, b = 0.0, v = 0.0;
      const double da = t[j + k - 1] - t[j];
      if (j != 0 && da > 1e-15) {
        s1244(t, k, k, k - 1, n, i, j, &v, &st);
        if (st < 0) break;
        a = (k - 1) / da * v;
      }
      const double db = t[j + k] - t[j + 1];
      if (j < n - 1 && db > 1e-15) {
        s1244(t, k, k, k - 1, n, i, j + 1, &v, &st);
        if (st < 0) break;
        b = (k - 1) / db * v;
      }
      sum += (a - b) * x[i] * y[j];
    }
    if (st < 0) break;
  }
  if (st < 0) {
    cleanup();
    *status = st;
    error_report("s1241", st, 0);
    return;
  }
  sum += 0.5 * (x[0] * y[0] - x[n - 1] * y[n - 1]);
  cleanup();
  *area = sum;
  *status = 0;
}
