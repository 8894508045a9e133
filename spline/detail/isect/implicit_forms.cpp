// Implicit forms: the matrices of spheres and cylinders, compositions of curves and
// surfaces with planes, quadrics and tori, and the evaluation of implicit equations on a
// surface.

#include "spline/detail/isect/implicit_forms.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "spline/handles.h"
#include "spline/collocation.h"
#include "spline/implicit.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

constexpr int kErrNoRecord = -171;
constexpr int kErrMatrixCount = -172;
constexpr int kErrZeroAxis = -173;
constexpr int kErrNotTorus = -180;

double* alloc_doubles(size_t count) {
  return static_cast<double*>(std::malloc(sizeof(double) * (count > 0 ? count : 1)));
}

// Scale 1/sqrt(smallest weight * largest weight) of count homogeneous vectors of width
// w, or 0 when a weight is not positive.
double weight_scale(const double* hom, long count, int w) {
  double lo = 0.0, hi = 0.0;
  for (long i = 0; i < count; ++i) {
    const double wt = hom[i * w + w - 1];
    if (!(wt > 0.0)) return 0.0;
    if (i == 0 || wt < lo) lo = wt;
    if (i == 0 || wt > hi) hi = wt;
  }
  return 1.0 / std::sqrt(lo * hi);
}

void cross(const double* a, const double* b, double* out) { vec_cross(a, b, out); }

// The count matrices of msize x msize, followed, where ndim exceeds count, by a zero
// matrix whose last entry is 1 (the row that carries the weight along).
std::vector<double> stacked_matrices(const double* matrices, int count, int msize, int ndim) {
  std::vector<double> mats(static_cast<size_t>(ndim) * msize * msize, 0.0);
  std::memcpy(mats.data(), matrices, sizeof(double) * count * msize * msize);
  if (ndim > count) mats[static_cast<size_t>(ndim) * msize * msize - 1] = 1.0;
  return mats;
}

}  // namespace

void s1321(const double* centre, double radius, int dim, int copies, double** matrices,
           int* status) {
  if (dim < 1) {
    *status = kErrDimension;
    error_report("s1321", *status, 0);
    return;
  }
  if (copies < 1) copies = 1;
  const int m = dim + 1;
  double* out = alloc_doubles(static_cast<size_t>(m) * m * copies);
  if (!out) {
    *status = kErrMemory;
    error_report("s1321", *status, 0);
    return;
  }
  double* a = out;
  for (int i = 0; i < m * m; ++i) a[i] = 0.0;
  double cc = 0.0;
  for (int i = 0; i < dim; ++i) {
    a[i * m + i] = 1.0;
    a[i * m + dim] = a[dim * m + i] = -centre[i];
    cc += centre[i] * centre[i];
  }
  a[dim * m + dim] = cc - radius * radius;
  for (int c = 1; c < copies; ++c) std::memcpy(out + c * m * m, a, sizeof(double) * m * m);
  *matrices = out;
  *status = 0;
}

void s1322(const double* point, const double* axis, double radius, int dim, int copies,
           double** matrices, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1322", code, 0);
  };
  if (dim != 3) return fail(kErrDimensionNot3);
  double a[3];
  int nonzero = 0;
  vec_normalize(axis, 3, a, &nonzero);
  if (!nonzero) return fail(kErrZeroAxis);
  if (copies < 1) copies = 1;
  double* out = alloc_doubles(16 * static_cast<size_t>(copies));
  if (!out) return fail(kErrMemory);
  // f(x) = (x - P)^T (I - a a^T) (x - P) - r^2.
  double proj[9], pp[3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) proj[i * 3 + j] = (i == j ? 1.0 : 0.0) - a[i] * a[j];
  for (int i = 0; i < 3; ++i) pp[i] = vec_dot(proj + i * 3, point, 3);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) out[i * 4 + j] = proj[i * 3 + j];
    out[i * 4 + 3] = out[3 * 4 + i] = -pp[i];
  }
  out[15] = vec_dot(point, pp, 3) - radius * radius;
  for (int c = 1; c < copies; ++c) std::memcpy(out + c * 16, out, sizeof(double) * 16);
  *matrices = out;
  *status = 0;
}

void s1329(const spline_surface* surface, const double* point, const double* normal, int dim,
           spline_surface** result, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1329", code, 0);
  };
  if (dim != surface->dim) return fail(kErrDimensionMismatch);
  const long count = static_cast<long>(surface->vertex_count1) * surface->vertex_count2;
  std::vector<double> values(count);
  if (is_rational_kind(surface->kind)) {
    const int w = dim + 1;
    const double scale = weight_scale(surface->hom_coefs, count, w);
    if (scale == 0.0) return fail(kErrNonPositiveWeight);
    for (long i = 0; i < count; ++i) {
      const double* h = surface->hom_coefs + i * w;
      double v = 0.0;
      for (int m = 0; m < dim; ++m) v += (h[m] * scale - h[dim] * scale * point[m]) * normal[m];
      values[i] = v;
    }
  } else {
    for (long i = 0; i < count; ++i) {
      const double* p = surface->coefs + i * dim;
      double v = 0.0;
      for (int m = 0; m < dim; ++m) v += (p[m] - point[m]) * normal[m];
      values[i] = v;
    }
  }
  spline_surface* s = create_surface(surface->vertex_count1, surface->vertex_count2,
                                     surface->order1, surface->order2, surface->knots1,
                                     surface->knots2, values.data(), 1, 1, 1);
  if (!s) return fail(kErrMemory);
  s->open_flag1 = surface->open_flag1;
  s->open_flag2 = surface->open_flag2;
  *result = s;
  *status = 0;
}

void s1320(const spline_surface* surface, const double* matrices, int count, int rational_flag,
           spline_surface** result, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1320", code, 0);
  };
  const int dim = surface->dim;
  if (dim < 1) return fail(kErrDimension);
  if (count < 1 || count > 3) return fail(kErrMatrixCount);
  const bool rational = is_rational_kind(surface->kind);
  const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  const long vcount = static_cast<long>(n1) * n2;
  const int msize = dim + 1;
  SurfaceHandle copy(nullptr);
  const spline_surface* base = surface;
  if (rational) {
    const double scale = weight_scale(surface->hom_coefs, vcount, dim + 1);
    if (scale == 0.0) return fail(kErrNonPositiveWeight);
    std::vector<double> hom(surface->hom_coefs, surface->hom_coefs + vcount * (dim + 1));
    for (double& x : hom) x *= scale;
    copy.reset(create_surface(n1, n2, surface->order1, surface->order2, surface->knots1,
                              surface->knots2, hom.data(), 1, dim + 1, 1));
    if (!copy) return fail(kErrNoRecord);
    base = copy.get();
  }
  const bool weight_row = rational && rational_flag == 1;
  const int ndim = count + (weight_row ? 1 : 0);
  const std::vector<double> mats = stacked_matrices(matrices, count, msize, ndim);
  const std::vector<int> zeros(ndim, 0);
  spline_surface* composed = nullptr;
  int st = 0;
  s1896(base, mats.data(), msize, ndim, zeros.data(), zeros.data(), zeros.data(), zeros.data(),
        &composed, &st);
  if (st < 0) return fail(st);
  if (!composed) return fail(kErrNoRecord);
  if (weight_row) {
    spline_surface* r = create_surface(composed->vertex_count1, composed->vertex_count2,
                                       composed->order1, composed->order2, composed->knots1,
                                       composed->knots2, composed->coefs, 2, count, 1);
    destroy_surface(composed);
    if (!r) return fail(kErrNoRecord);
    composed = r;
  }
  composed->open_flag1 = surface->open_flag1;
  composed->open_flag2 = surface->open_flag2;
  *result = composed;
  *status = 0;
}

void s1370(const spline_curve* curve, const double* matrices, int dim, int count,
           int rational_flag, spline_curve** result, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1370", code, 0);
  };
  if (dim != curve->dim || (dim != 2 && dim != 3)) return fail(kErrDimensionNot3);
  if (count < 1 || count > 3) return fail(kErrMatrixCount);
  const bool rational = is_rational_kind(curve->kind);
  const int n = curve->vertex_count;
  const int msize = dim + 1;
  CurveHandle copy(nullptr);
  const spline_curve* base = curve;
  if (rational) {
    const double scale = weight_scale(curve->hom_coefs, n, dim + 1);
    if (scale == 0.0) return fail(kErrNonPositiveWeight);
    std::vector<double> hom(curve->hom_coefs, curve->hom_coefs + static_cast<long>(n) * (dim + 1));
    for (double& x : hom) x *= scale;
    copy.reset(create_curve(n, curve->order, curve->knots, hom.data(), 1, dim + 1, 1));
    if (!copy) return fail(kErrNoRecord);
    copy->open_flag = curve->open_flag;
    base = copy.get();
  }
  const bool weight_row = rational && rational_flag == 1;
  const int ndim = count + (weight_row ? 1 : 0);
  const std::vector<double> mats = stacked_matrices(matrices, count, msize, ndim);
  spline_curve* composed = nullptr;
  int st = 0;
  s1893(base, mats.data(), msize, ndim, 0, 0, &composed, &st);
  if (st < 0) return fail(st);
  if (!composed) return fail(kErrNoRecord);
  if (weight_row) {
    spline_curve* r = create_curve(composed->vertex_count, composed->order, composed->knots,
                                   composed->coefs, 2, count, 1);
    destroy_curve(composed);
    if (!r) return fail(kErrNoRecord);
    composed = r;
  }
  composed->open_flag = curve->open_flag;
  *result = composed;
  *status = 0;
}

void s1376(const double* knots, int end, int order, double** new_knots, int* vertex_count,
           int* new_order, int* status) {
  const int k = order;
  const int kk = 4 * k - 3;
  std::vector<double> out;
  const double first = knots[k - 1];
  for (int i = 0; i < kk; ++i) out.push_back(first);
  int increases = 0;
  double prev = first;
  for (int i = k; i <= end; ++i) {
    if (knots[i] > prev) {
      for (int m = 0; m < kk - 1; ++m) out.push_back(knots[i]);
      prev = knots[i];
      ++increases;
    }
  }
  out.push_back(prev);
  double* arr = alloc_doubles(out.size());
  if (!arr) {
    *status = kErrMemory;
    error_report("s1376", *status, 0);
    return;
  }
  std::memcpy(arr, out.data(), sizeof(double) * out.size());
  *new_knots = arr;
  *new_order = kk;
  *vertex_count = (kk - 1) * (increases - 1) + kk;
  *status = 0;
}

void s1378(const spline_surface* surface, const double* coefs, int type, int dim,
           spline_surface** result, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1378", code, 0);
  };
  if (type != 1001) return fail(kErrNotTorus);
  if (dim != 3 || surface->dim != 3) return fail(kErrDimensionNot3);
  const bool rational = is_rational_kind(surface->kind);
  const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  SurfaceHandle copy(nullptr);
  const spline_surface* base = surface;
  if (rational) {
    const double scale = weight_scale(surface->hom_coefs, static_cast<long>(n1) * n2, 4);
    if (scale == 0.0) return fail(kErrNonPositiveWeight);
    copy.reset(create_surface(n1, n2, surface->order1, surface->order2, surface->knots1,
                              surface->knots2, surface->hom_coefs, 1, 4, 0));
    if (!copy) return fail(kErrNoRecord);
    base = copy.get();
  }
  using Array = std::unique_ptr<double, decltype(&std::free)>;
  double *t1 = nullptr, *t2 = nullptr;
  int N1 = 0, N2 = 0, K1 = 0, K2 = 0, st = 0;
  s1376(surface->knots1, n1, surface->order1, &t1, &N1, &K1, &st);
  if (st < 0) return fail(st);
  Array knots1(t1, std::free);
  s1376(surface->knots2, n2, surface->order2, &t2, &N2, &K2, &st);
  if (st < 0) return fail(st);
  Array knots2(t2, std::free);
  double *p1 = nullptr, *p2 = nullptr;
  int *d1 = nullptr, *d2 = nullptr;
  s1890(t1, K1, N1, &p1, &d1, &st);
  if (st < 0) return fail(st);
  Array par1(p1, std::free);
  std::unique_ptr<int, decltype(&std::free)> der1(d1, std::free);
  s1890(t2, K2, N2, &p2, &d2, &st);
  if (st < 0) return fail(st);
  Array par2(p2, std::free);
  std::unique_ptr<int, decltype(&std::free)> der2(d2, std::free);

  const double* c = coefs;
  const double* a = coefs + 3;
  const double big = coefs[6], small = coefs[7];
  const double rr = big * big - small * small;
  // values[j * N1 + i]
  std::vector<double> values(static_cast<size_t>(N1) * N2);
  const int w = rational ? 4 : 3;
  double pos[4];
  int l1 = 0, l2 = 0;
  for (int j = 0; j < N2; ++j)
    for (int i = 0; i < N1; ++i) {
      const double uv[2] = {p1[i], p2[j]};
      s1424(base, 0, 0, uv, &l1, &l2, pos, &st);
      if (st < 0) return fail(st);
      const double wt = rational ? pos[3] : 1.0;
      double q[3];
      for (int m = 0; m < 3; ++m) q[m] = pos[m] - wt * c[m];
      const double h = vec_dot(q, a, 3);
      const double e = vec_dot(q, q, 3);
      double g = 0.0;
      for (int m = 0; m < 3; ++m) g += (q[m] - h * a[m]) * (q[m] - h * a[m]);
      const double w2 = wt * wt;
      values[static_cast<size_t>(j) * N1 + i] =
          rr * (2.0 * w2 * e + w2 * w2 * rr) + e * e - 4.0 * w2 * big * big * g;
    }
  (void)w;
  // Interpolate along the first direction (one system per row), then the second.
  double* rows = nullptr;
  int count = 0;
  s1891(p1, values.data(), 1, N1, N2, d1, 1, t1, &rows, &count, K1, 0, 0, &st);
  if (st < 0) return fail(st);
  Array row_coefs(rows, std::free);
  std::vector<double> columns(static_cast<size_t>(N1) * N2);
  for (int j = 0; j < N2; ++j)
    for (int i = 0; i < N1; ++i)
      columns[static_cast<size_t>(i) * N2 + j] = rows[static_cast<size_t>(j) * N1 + i];
  double* cols = nullptr;
  s1891(p2, columns.data(), 1, N2, N1, d2, 1, t2, &cols, &count, K2, 0, 0, &st);
  if (st < 0) return fail(st);
  Array col_coefs(cols, std::free);
  std::vector<double> net(static_cast<size_t>(N1) * N2);
  for (int i = 0; i < N1; ++i)
    for (int j = 0; j < N2; ++j)
      net[static_cast<size_t>(j) * N1 + i] = cols[static_cast<size_t>(i) * N2 + j];
  spline_surface* s = create_surface(N1, N2, K1, K2, t1, t2, net.data(), 1, 1, 1);
  if (!s) return fail(kErrNoRecord);
  s->open_flag1 = surface->open_flag1;
  s->open_flag2 = surface->open_flag2;
  *result = s;
  *status = 0;
}

void s1331(const double* block, const double* coefs, int type, int der, double* values,
           double* direction, int* status) {
  *status = 0;
  const double* s = block;
  const double* su = block + 3;
  const double* sv = block + 6;
  const double* suu = block + 9;
  const double* suv = block + 12;
  const double* svv = block + 15;
  for (int i = 0; i < 6; ++i) values[i] = 0.0;
  if (type == 1) {
    const double* n = coefs;
    values[0] = vec_dot(n, s, 3) + coefs[3];
    values[1] = vec_dot(n, su, 3);
    values[2] = vec_dot(n, sv, 3);
    values[3] = vec_dot(n, suu, 3);
    values[4] = vec_dot(n, suv, 3);
    values[5] = vec_dot(n, svv, 3);
    for (int i = 0; i < 3; ++i) direction[i] = n[i];
    return;
  }
  if (type == 2) {
    const double* a = coefs;
    double g[4];
    for (int i = 0; i < 4; ++i) g[i] = a[3 * 4 + i] + s[0] * a[i] + s[1] * a[4 + i] + s[2] * a[8 + i];
    values[0] = vec_dot(g, s, 3) + g[3];
    values[1] = 2.0 * vec_dot(g, su, 3);
    values[2] = 2.0 * vec_dot(g, sv, 3);
    auto form = [&](const double* x, const double* y) {
      double r = 0.0;
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r += x[j] * a[j * 4 + i] * y[i];
      return r;
    };
    values[3] = 2.0 * (vec_dot(g, suu, 3) + form(su, su));
    values[4] = 2.0 * (vec_dot(g, suv, 3) + form(su, sv));
    values[5] = 2.0 * (vec_dot(g, svv, 3) + form(sv, sv));
    for (int i = 0; i < 3; ++i) direction[i] = g[i];
    return;
  }
  if (type == 1001) {
    const double* c = coefs;
    const double* ax = coefs + 3;
    const double big = coefs[6], small = coefs[7];
    auto project = [&](const double* x, double* out) {
      const double h = vec_dot(x, ax, 3);
      for (int i = 0; i < 3; ++i) out[i] = x[i] - h * ax[i];
    };
    double w[3], q[3], qu[3], qv[3], quu[3], quv[3], qvv[3];
    for (int i = 0; i < 3; ++i) w[i] = s[i] - c[i];
    project(w, q);
    project(su, qu);
    project(sv, qv);
    project(suu, quu);
    project(suv, quv);
    project(svv, qvv);
    double rho = std::sqrt(vec_dot(q, q, 3));
    if (dequal(rho, 0.0) || rho <= 1e-12) rho = 1.0;
    double nh[3], big_q[3];
    for (int i = 0; i < 3; ++i) nh[i] = q[i] / rho;
    for (int i = 0; i < 3; ++i) big_q[i] = w[i] - big * nh[i];
    values[0] = vec_dot(big_q, big_q, 3) - small * small;
    for (int i = 0; i < 3; ++i) direction[i] = big_q[i];
    // Derivatives of the unit vector n = q / |q|: n_x = (q_x - n (n.q_x)) / |q|.
    auto dn = [&](const double* qx, double* out) {
      const double p = vec_dot(nh, qx, 3);
      for (int i = 0; i < 3; ++i) out[i] = (qx[i] - nh[i] * p) / rho;
    };
    double nu[3], nv[3], qu_big[3], qv_big[3];
    dn(qu, nu);
    dn(qv, nv);
    for (int i = 0; i < 3; ++i) {
      qu_big[i] = su[i] - big * nu[i];
      qv_big[i] = sv[i] - big * nv[i];
    }
    values[1] = 2.0 * vec_dot(big_q, qu_big, 3);
    values[2] = 2.0 * vec_dot(big_q, qv_big, 3);
    if (der < 2) return;
    // n_xy = ((q_xy - n_y (n.q_x) - n (n_y.q_x + n.q_xy)) - n_x (n.q_y)) / |q|.
    auto dnn = [&](const double* qx, const double* qy, const double* qxy, const double* nx,
                   const double* ny, double* out) {
      const double px = vec_dot(nh, qx, 3);
      const double py = vec_dot(nh, qy, 3);
      const double pxy = vec_dot(ny, qx, 3) + vec_dot(nh, qxy, 3);
      for (int i = 0; i < 3; ++i)
        out[i] = (qxy[i] - ny[i] * px - nh[i] * pxy - nx[i] * py) / rho;
    };
    double nuu[3], nuv[3], nvv[3];
    dnn(qu, qu, quu, nu, nu, nuu);
    dnn(qu, qv, quv, nu, nv, nuv);
    dnn(qv, qv, qvv, nv, nv, nvv);
    double quu_big[3], quv_big[3], qvv_big[3];
    for (int i = 0; i < 3; ++i) {
      quu_big[i] = suu[i] - big * nuu[i];
      quv_big[i] = suv[i] - big * nuv[i];
      qvv_big[i] = svv[i] - big * nvv[i];
    }
    values[3] = 2.0 * (vec_dot(qu_big, qu_big, 3) + vec_dot(big_q, quu_big, 3));
    values[4] = 2.0 * (vec_dot(qu_big, qv_big, 3) + vec_dot(big_q, quv_big, 3));
    values[5] = 2.0 * (vec_dot(qv_big, qv_big, 3) + vec_dot(big_q, qvv_big, 3));
    return;
  }
  if (type < 1003 || type > 1005) return;
  if (der < 1) der = 1;
  const double* suuu = block + 18;
  const double* suuv = block + 21;
  const double* suvv = block + 24;
  const double* svvv = block + 27;
  double n[3], nu[3], nv[3], t1[3], t2[3];
  cross(su, sv, n);
  cross(suu, sv, t1);
  cross(su, suv, t2);
  for (int i = 0; i < 3; ++i) nu[i] = t1[i] + t2[i];
  cross(suv, sv, t1);
  cross(su, svv, t2);
  for (int i = 0; i < 3; ++i) nv[i] = t1[i] + t2[i];
  double nuu[3], nuv[3], nvv[3], t3[3];
  cross(suuu, sv, t1);
  cross(suu, suv, t2);
  cross(su, suuv, t3);
  for (int i = 0; i < 3; ++i) nuu[i] = t1[i] + 2.0 * t2[i] + t3[i];
  cross(suuv, sv, t1);
  cross(suu, svv, t2);
  cross(su, suvv, t3);
  for (int i = 0; i < 3; ++i) nuv[i] = t1[i] + t2[i] + t3[i];
  cross(suvv, sv, t1);
  cross(suv, svv, t2);
  cross(su, svvv, t3);
  for (int i = 0; i < 3; ++i) nvv[i] = t1[i] + 2.0 * t2[i] + t3[i];
  if (type == 1003) {
    const double* d = coefs;
    values[0] = vec_dot(n, d, 3);
    values[1] = vec_dot(nu, d, 3);
    values[2] = vec_dot(nv, d, 3);
    values[3] = vec_dot(nuu, d, 3);
    values[4] = vec_dot(nuv, d, 3);
    values[5] = vec_dot(nvv, d, 3);
  } else if (type == 1004) {
    double g[3];
    for (int i = 0; i < 3; ++i) g[i] = s[i] - coefs[i];
    values[0] = vec_dot(n, g, 3);
    values[1] = vec_dot(nu, g, 3) + vec_dot(n, su, 3);
    values[2] = vec_dot(nv, g, 3) + vec_dot(n, sv, 3);
    values[3] = vec_dot(nuu, g, 3) + 2.0 * vec_dot(nu, su, 3) + vec_dot(n, suu, 3);
    values[4] = vec_dot(nuv, g, 3) + vec_dot(nu, sv, 3) + vec_dot(nv, su, 3) + vec_dot(n, suv, 3);
    values[5] = vec_dot(nvv, g, 3) + 2.0 * vec_dot(nv, sv, 3) + vec_dot(n, svv, 3);
  } else {
    const double* a = coefs + 3;
    double g[3];
    for (int i = 0; i < 3; ++i) g[i] = s[i] - coefs[i];
    auto triple = [&](const double* x, const double* y) {
      double r[3];
      cross(x, y, r);
      return vec_dot(r, a, 3);
    };
    values[0] = triple(n, g);
    values[1] = triple(nu, g) + triple(n, su);
    values[2] = triple(nv, g) + triple(n, sv);
    values[3] = triple(nuu, g) + 2.0 * triple(nu, su) + triple(n, suu);
    values[4] = triple(nuv, g) + triple(nu, sv) + triple(nv, su) + triple(n, suv);
    values[5] = triple(nvv, g) + 2.0 * triple(nv, sv) + triple(n, svv);
  }
  double dir[3];
  for (int i = 0; i < 3; ++i) dir[i] = values[2] * su[i] - values[1] * sv[i];
  int nonzero = 0;
  vec_normalize(dir, 3, direction, &nonzero);
}
