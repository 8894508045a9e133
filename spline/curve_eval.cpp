#include "spline/curve_eval.h"

#include <cmath>
#include <vector>

#include "spline/detail/internal.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

// Small work arrays live on the stack; larger ones on the heap.
using Work = spline_detail::SmallWork<64>;

// Shared body of the two evaluators once the vertex count n (possibly shortened for
// left-hand evaluation) is known.
void eval_curve(const spline_curve* c, int n, int d, double x, int* left, double* derivs,
                const char* name, int* status) {
  const int k = c->order;
  const double* t = c->knots;
  const bool rational = is_rational_kind(c->kind);
  const int dim = c->dim;
  const int w = rational ? dim + 1 : dim;
  const double* verts = rational ? c->hom_coefs : c->coefs;

  if (t[k - 1] == t[k] || t[n - 1] == t[n]) {
    *status = kErrKnots;
    error_report(name, *status, 0);
    return;
  }
  if (d < 0) {
    *status = kErrDerivativeCount;
    error_report(name, *status, 0);
    return;
  }
  const int e = rational ? d : (d < k - 1 ? d : k - 1);
  Work basis_work(static_cast<size_t>(k) * (e + 1));
  Work hom_work(rational ? static_cast<size_t>(d + 1) * w : 0);
  double* basis = basis_work.get();
  double* out = rational ? hom_work.get() : derivs;
  for (int i = 0; i < (d + 1) * w; ++i) out[i] = 0.0;

  int st = 0;
  s1220(t, k, n, left, x, e, basis, &st);
  if (st < 0) {
    *status = st;
    error_report(name, st, 0);
    return;
  }
  const int l = *left;
  for (int i = 0; i < k; ++i) {
    const double* v = verts + static_cast<long>(l - k + 1 + i) * w;
    for (int j = 0; j <= e; ++j) {
      const double b = basis[i * (e + 1) + j];
      double* o = out + j * w;
      for (int m = 0; m < w; ++m) o[m] += b * v[m];
    }
  }
  if (rational) {
    s6ratder(out, dim, d, derivs, &st);
    if (st < 0) {
      *status = st;
      error_report(name, st, 0);
      return;
    }
  }
  *status = 0;
}

int check_curve(const spline_curve* c, const char* name) {
  const int w = is_rational_kind(c->kind) ? c->dim + 1 : c->dim;
  int code = 0;
  if (w < 1)
    code = kErrDimension;
  else if (c->order < 1)
    code = kErrOrder;
  else if (c->vertex_count < c->order)
    code = kErrTooFewVertices;
  if (code) error_report(name, code, 0);
  return code;
}

}  // namespace

void s1221(const spline_curve* curve, int d, double x, int* left, double* derivs, int* status) {
  if (int code = check_curve(curve, "s1221")) {
    *status = code;
    return;
  }
  eval_curve(curve, curve->vertex_count, d, x, left, derivs, "s1221", status);
}

void S1227(const spline_curve* curve, int d, double x, int* left, double* derivs, int* status) {
  if (int code = check_curve(curve, "S1227")) {
    *status = code;
    return;
  }
  const int k = curve->order;
  const int n = curve->vertex_count;
  const double* t = curve->knots;
  int st = 0;
  int l = 0;
  s1219(t, k, n, &l, x, &st);
  if (st < 0) {
    *status = st;
    error_report("S1227", st, 0);
    return;
  }
  int lm = l;
  const int mult = s6knotmult(t, k, n, &lm, x, &st);
  if (st < 0) {
    *status = st;
    error_report("S1227", st, 0);
    return;
  }
  const int n_used = (x == t[l] && l > k - 1) ? l - mult + 1 : n;
  eval_curve(curve, n_used, d, x, left, derivs, "S1227", status);
}

void s6ratder(const double* hom, int dim, int d, double* derivs, int* status) {
  if (d < 0) {
    *status = kErrDerivativeCount;
    error_report("s6ratder", *status, 0);
    return;
  }
  if (dim < 1) {
    *status = kErrDimension;
    error_report("s6ratder", *status, 0);
    return;
  }
  const int w = dim + 1;
  double weight = hom[dim];
  if (weight == 0.0) weight = 1.0;
  std::vector<long> binom(static_cast<size_t>(d) + 1, 0);
  binom[0] = 1;
  for (int m = 0; m < dim; ++m) derivs[m] = hom[m] / weight;
  for (int j = 1; j <= d; ++j) {
    // Row j of Pascal's triangle.
    for (int i = j; i >= 1; --i) binom[i] += binom[i - 1];
    for (int m = 0; m < dim; ++m) {
      double s = hom[j * w + m];
      for (int i = 1; i <= j; ++i)
        s -= static_cast<double>(binom[i]) * hom[i * w + dim] * derivs[(j - i) * dim + m];
      derivs[j * dim + m] = s / weight;
    }
  }
  *status = 0;
}

void curvature_vector(const double* derivs, int dim, double* result, int* status) {
  const double* pos = derivs;
  const double* d1 = derivs + dim;
  const double* d2 = derivs + 2 * dim;
  double* tan = result + dim;
  double* curv = result + 2 * dim;
  for (int i = 0; i < dim; ++i) result[i] = pos[i];
  int flag = 0;
  const double s = vec_normalize(d1, dim, tan, &flag);
  if (!flag) {
    for (int i = 0; i < dim; ++i) curv[i] = 0.0;
    result[3 * dim] = -1.0;
    *status = 1;
    return;
  }
  const double proj = vec_dot(d2, tan, dim);
  for (int i = 0; i < dim; ++i) curv[i] = (d2[i] - proj * tan[i]) / (s * s);
  const double kappa = vec_length(curv, dim, &flag);
  if (flag && 1.0 / kappa <= 10000.0) {
    result[3 * dim] = 1.0 / kappa;
    *status = 0;
  } else {
    result[3 * dim] = -1.0;
    *status = 1;
  }
}

double s1311(double r, double eps, double h, int* status) {
  if (h < 0.0) {
    *status = -177;
    error_report("s1311", *status, 1);
    return 0.0;
  }
  if (eps < 0.0) {
    *status = kErrNegativeTolerance;
    error_report("s1311", *status, 1);
    return 0.0;
  }
  const double c = M_PI * 2.0496003279360524682;
  double step;
  if (r > 0.0)
    step = std::fmin(std::fabs(r * c * std::pow(eps / r, 1.0 / 6.0)), std::fabs(0.5 * r));
  else if (r == 0.0)
    step = 100.0 * eps;
  else
    step = h;
  if (h > 0.0 && step > h) step = std::fmax(h, eps);
  if (step < eps) step = eps;
  *status = 0;
  return step;
}
