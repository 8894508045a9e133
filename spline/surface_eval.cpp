#include "spline/surface_eval.h"

#include <cmath>
#include <vector>

#include "spline/detail/internal.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

// Work array on the stack while small.
template <size_t N>
using Work = spline_detail::SmallWork<N>;

int check_surface(const spline_surface* s, int d1, int d2) {
  const int w = is_rational_kind(s->kind) ? s->dim + 1 : s->dim;
  if (w < 1) return kErrDimension;
  if (s->order1 < 1 || s->order2 < 1) return kErrSurfaceOrder;
  if (s->vertex_count1 < s->order1 || s->vertex_count2 < s->order2)
    return kErrSurfaceTooFewVertices;
  if (d1 < 0 || d2 < 0) return kErrDerivativeCount;
  const double* t1 = s->knots1;
  const double* t2 = s->knots2;
  const int k1 = s->order1, k2 = s->order2, n1 = s->vertex_count1, n2 = s->vertex_count2;
  if (t1[k1 - 1] == t1[k1] || t1[n1 - 1] == t1[n1] || t2[k2 - 1] == t2[k2] ||
      t2[n2 - 1] == t2[n2])
    return kErrSurfaceKnots;
  return 0;
}

// Basis of one direction with e derivatives at x, honouring the side choice; writes
// the interval into *left.  Returns a status.
int direction_basis(const double* t, int k, int n, int side, int* left, double x, int e,
                    double* basis) {
  int st = 0;
  if (side >= 0) {
    s1220(t, k, n, left, x, e, basis, &st);
    return st;
  }
  int l = *left;
  s1219(t, k, n, &l, x, &st);
  if (st < 0) return st;
  int lm = l;
  int mult = s6knotmult(t, k, n, &lm, x, &st);
  if (st < 0) return st;
  if (x == t[n]) mult = 0;
  int l2 = l - mult;
  if (l2 < k - 1) l2 = k - 1;
  s1220(t, k, l2 + 1, &l2, x, e, basis, &st);
  if (st < 0) return st;
  *left = l2;
  return 0;
}

// Grid evaluation (entry (i, j) at j * (d1 + 1) + i) of the homogeneous or plain
// vertices into out, w values per entry.
int eval_grid(const spline_surface* s, int d1, int d2, int side1, int side2, const double* uv,
              int* left1, int* left2, double* out) {
  const bool rational = is_rational_kind(s->kind);
  const int w = rational ? s->dim + 1 : s->dim;
  const int k1 = s->order1, k2 = s->order2, n1 = s->vertex_count1, n2 = s->vertex_count2;
  const int e1 = rational ? d1 : (d1 < k1 - 1 ? d1 : k1 - 1);
  const int e2 = rational ? d2 : (d2 < k2 - 1 ? d2 : k2 - 1);
  const double* verts = rational ? s->hom_coefs : s->coefs;

  Work<50> b1w(static_cast<size_t>(k1) * (e1 + 1));
  Work<50> b2w(static_cast<size_t>(k2) * (e2 + 1));
  Work<148> midw(static_cast<size_t>(e2 + 1) * k1 * w);
  double* basis1 = b1w.get();
  double* basis2 = b2w.get();
  double* mid = midw.get();

  int st = direction_basis(s->knots2, k2, n2, side2, left2, uv[1], e2, basis2);
  if (st < 0) return st;
  st = direction_basis(s->knots1, k1, n1, side1, left1, uv[0], e1, basis1);
  if (st < 0) return st;
  const int l1 = *left1, l2 = *left2;

  // Second direction first: mid[(j * k1 + c) * w + m].
  for (int i = 0; i < (e2 + 1) * k1 * w; ++i) mid[i] = 0.0;
  for (int r = 0; r < k2; ++r) {
    const double* row = verts + (static_cast<long>(l2 - k2 + 1 + r) * n1 + (l1 - k1 + 1)) * w;
    for (int j = 0; j <= e2; ++j) {
      const double b = basis2[r * (e2 + 1) + j];
      if (b == 0.0) continue;
      double* o = mid + static_cast<long>(j) * k1 * w;
      for (int c = 0; c < k1 * w; ++c) o[c] += b * row[c];
    }
  }
  const int stride = d1 + 1;
  for (int i = 0; i < (d1 + 1) * (d2 + 1) * w; ++i) out[i] = 0.0;
  for (int j = 0; j <= e2; ++j)
    for (int c = 0; c < k1; ++c) {
      const double* v = mid + (static_cast<long>(j) * k1 + c) * w;
      for (int i = 0; i <= e1; ++i) {
        const double b = basis1[c * (e1 + 1) + i];
        double* o = out + static_cast<long>(j * stride + i) * w;
        for (int m = 0; m < w; ++m) o[m] += b * v[m];
      }
    }
  return 0;
}

// Grid evaluation with conversion of rational derivatives, reporting under name.
void grid_eval_report(const spline_surface* s, int d1, int d2, int side1, int side2,
                      const double* uv, int* left1, int* left2, double* derivs, const char* name,
                      int* status) {
  if (int code = check_surface(s, d1, d2)) {
    *status = code;
    error_report(name, code, 0);
    return;
  }
  const bool rational = is_rational_kind(s->kind);
  const int w = s->dim + 1;
  Work<64> hw(rational ? static_cast<size_t>(d1 + 1) * (d2 + 1) * w : 0);
  double* target = rational ? hw.get() : derivs;
  int st = eval_grid(s, d1, d2, side1, side2, uv, left1, left2, target);
  if (st >= 0 && rational) s6ratder_surf(target, s->dim, d1, d2, derivs, &st);
  if (st < 0) {
    *status = st;
    error_report(name, st, 0);
    return;
  }
  *status = 0;
}

// The normal of the triangular derivatives and its status.
int triangular_normal(const double* derivs, int dim, int d, double* normal) {
  if (d < 1 || dim != 3) return 0;
  const double* su = derivs + 3;
  const double* sv = derivs + 6;
  vec_cross(su, sv, normal);
  int fu = 0, fv = 0, fn = 0;
  const double lu = vec_length(su, 3, &fu);
  const double lv = vec_length(sv, 3, &fv);
  const double ln = vec_length(normal, 3, &fn);
  const double sine = (fu && fv && fn) ? ln / (lu * lv) : 0.0;
  if (sine == 0.0) return 2;
  return sine <= 0.01 ? 1 : 0;
}

void tri_eval(const spline_surface* s, int d, int side1, int side2, const double* uv, int* left1,
              int* left2, double* derivs, double* normal, const char* name, int* status) {
  if (int code = check_surface(s, d, d)) {
    *status = code;
    error_report(name, code, 0);
    return;
  }
  const int dim = s->dim;
  const size_t grid_size = static_cast<size_t>(d + 1) * (d + 1) * dim;
  Work<48> gw(grid_size);
  double* grid = gw.get();
  int st = 0;
  grid_eval_report(s, d, d, side1, side2, uv, left1, left2, grid, name, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  for (int t = 0; t <= d; ++t)
    for (int j = 0; j <= t; ++j) {
      const int i = t - j;
      const double* src = grid + static_cast<long>(j * (d + 1) + i) * dim;
      double* dst = derivs + static_cast<long>(t * (t + 1) / 2 + j) * dim;
      for (int m = 0; m < dim; ++m) dst[m] = src[m];
    }
  *status = triangular_normal(derivs, dim, d, normal);
}

}  // namespace

void s1424(const spline_surface* surface, int d1, int d2, const double* uv, int* left1,
           int* left2, double* derivs, int* status) {
  grid_eval_report(surface, d1, d2, 0, 0, uv, left1, left2, derivs, "s1424", status);
}

void s1425(const spline_surface* surface, int d1, int d2, int side1, int side2, const double* uv,
           int* left1, int* left2, double* derivs, int* status) {
  grid_eval_report(surface, d1, d2, side1, side2, uv, left1, left2, derivs, "s1425", status);
}

void s1421(const spline_surface* surface, int d, const double* uv, int* left1, int* left2,
           double* derivs, double* normal, int* status) {
  tri_eval(surface, d, 0, 0, uv, left1, left2, derivs, normal, "s1421", status);
}

void s1422(const spline_surface* surface, int d, int side1, int side2, const double* uv,
           int* left1, int* left2, double* derivs, double* normal, int* status) {
  tri_eval(surface, d, side1, side2, uv, left1, left2, derivs, normal, "s1422", status);
}

namespace {

// Leibniz rule in two variables; entry(i, j) gives the index of vector (i, j).
template <typename Index>
void rational_2d(const double* hom, int dim, int d1, int d2, bool triangular, double* derivs,
                 Index index) {
  const int w = dim + 1;
  const int dmax = d1 > d2 ? d1 : d2;
  std::vector<double> binom(static_cast<size_t>(dmax + 1) * (dmax + 1), 0.0);
  for (int n = 0; n <= dmax; ++n) {
    binom[n * (dmax + 1)] = 1.0;
    for (int r = 1; r <= n; ++r)
      binom[n * (dmax + 1) + r] =
          binom[(n - 1) * (dmax + 1) + r - 1] + (r <= n - 1 ? binom[(n - 1) * (dmax + 1) + r] : 0.0);
  }
  auto C = [&](int n, int r) { return binom[n * (dmax + 1) + r]; };
  double weight = hom[dim];
  if (weight == 0.0) weight = 1.0;
  // Entries in increasing total order, so that every entry used is already known.
  const int tmax = d1 + d2;
  for (int t = 0; t <= tmax; ++t)
    for (int j = 0; j <= t; ++j) {
      const int i = t - j;
      if (i > d1 || j > d2) continue;
      if (triangular && t > d1) continue;
      const long out = index(i, j);
      for (int m = 0; m < dim; ++m) {
        double s = hom[out * w + m];
        for (int a = 0; a <= i; ++a)
          for (int b = 0; b <= j; ++b) {
            if (a == 0 && b == 0) continue;
            s -= C(i, a) * C(j, b) * hom[index(a, b) * w + dim] *
                 derivs[index(i - a, j - b) * dim + m];
          }
        derivs[out * dim + m] = s / weight;
      }
    }
}

}  // namespace

void s6ratder_surf(const double* hom, int dim, int d1, int d2, double* derivs, int* status) {
  if (d1 < 0 || d2 < 0) {
    *status = kErrDerivativeCount;
    error_report("s6ratder", *status, 0);
    return;
  }
  if (dim < 1) {
    *status = kErrDimension;
    error_report("s6ratder", *status, 0);
    return;
  }
  rational_2d(hom, dim, d1, d2, false, derivs,
              [d1](int i, int j) { return static_cast<long>(j) * (d1 + 1) + i; });
  *status = 0;
}

void s6strider(const double* hom, int dim, int d, double* derivs, int* status) {
  if (d < 0) {
    *status = kErrDerivativeCount;
    error_report("s6strider", *status, 0);
    return;
  }
  if (dim < 1) {
    *status = kErrDimension;
    error_report("s6strider", *status, 0);
    return;
  }
  rational_2d(hom, dim, d, d, true, derivs,
              [](int i, int j) { return static_cast<long>(i + j) * (i + j + 1) / 2 + j; });
  *status = 0;
}

void s6degnorm(const spline_surface* surface, int d, const double* uv, const double* derivs,
               double* tangent1, double* tangent2, double* normal, int* status) {
  if (surface->dim != 3 || d < 2) {
    *status = kErrMemory;
    error_report("s6degnorm", *status, 0);
    return;
  }
  const int k1 = surface->order1, k2 = surface->order2;
  const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  int f = 0, g = 0;
  double du = 0.0, dv = 0.0;
  if (uv[0] == surface->knots1[k1 - 1]) {
    f = 1;
    du = 1.0;
  } else if (uv[0] == surface->knots1[n1]) {
    f = 1;
    du = -1.0;
  }
  if (uv[1] == surface->knots2[k2 - 1]) {
    g = 1;
    dv = 1.0;
  } else if (uv[1] == surface->knots2[n2]) {
    g = 1;
    dv = -1.0;
  }
  if (!f && !g) {
    *status = kErrMemory;
    error_report("s6degnorm", *status, 1);
    return;
  }
  // 3 x 3 grid: (i, j) at j * 3 + i.
  const double* su = derivs + 3 * 1;
  const double* suu = derivs + 3 * 2;
  const double* sv = derivs + 3 * 3;
  const double* suv = derivs + 3 * 4;
  const double* svv = derivs + 3 * 6;
  int flag = 0;
  auto nonzero = [&](const double* v) { return vec_length(v, 3, &flag) != 0.0; };
  const bool zu = !nonzero(su), zv = !nonzero(sv), zuu = !nonzero(suu), zuv = !nonzero(suv),
             zvv = !nonzero(svv);

  auto scaled_unit = [&](const double* v, double factor, double* out) {
    double tmp[3] = {factor * v[0], factor * v[1], factor * v[2]};
    vec_normalize(tmp, 3, out, &flag);
  };
  bool have1 = true, have2 = true;
  if (!zu)
    scaled_unit(su, 1.0, tangent1);
  else if (f && !zuu)
    scaled_unit(suu, du, tangent1);
  else if (g && !zuv)
    scaled_unit(suv, dv, tangent1);
  else {
    tangent1[0] = tangent1[1] = tangent1[2] = 0.0;
    have1 = false;
  }
  if (!zv)
    scaled_unit(sv, 1.0, tangent2);
  else if (f && !zuv)
    scaled_unit(suv, du, tangent2);
  else if (g && !zvv)
    scaled_unit(svv, dv, tangent2);
  else {
    tangent2[0] = tangent2[1] = tangent2[2] = 0.0;
    have2 = false;
  }

  // Try the candidates in turn; the first with a non-zero normalised length wins.
  auto try_candidate = [&](const double* cand, double factor) {
    double tmp[3] = {factor * cand[0], factor * cand[1], factor * cand[2]};
    int nz = 0;
    vec_normalize(tmp, 3, normal, &nz);
    return nz != 0;
  };
  auto cross_sum = [](const double* a, const double* b, const double* c, const double* e,
                      double* out) {
    double x[3], y[3];
    vec_cross(a, b, x);
    vec_cross(c, e, y);
    for (int i = 0; i < 3; ++i) out[i] = x[i] + y[i];
  };
  double cand[3];
  bool found = false;
  if (!zu && !zv) {
    if (f && (!zuu || !zuv)) {
      cross_sum(suu, sv, su, suv, cand);
      found = try_candidate(cand, du);
    }
    if (!found && g && (!zuv || !zvv)) {
      cross_sum(suv, sv, su, svv, cand);
      found = try_candidate(cand, dv);
    }
  } else if (!zu && zv) {
    if (f && !zuv) {
      vec_cross(su, suv, cand);
      found = try_candidate(cand, du);
    }
    // On an edge of v, Sv(v0 + h) is about h Svv, so the limit normal is Su x Svv.
    if (!found && g && !zvv) {
      vec_cross(su, svv, cand);
      found = try_candidate(cand, dv);
    }
  } else if (zu && !zv) {
    if (f && !zuu) {
      vec_cross(suu, sv, cand);
      found = try_candidate(cand, du);
    }
    if (!found && g && !zuv) {
      vec_cross(suv, sv, cand);
      found = try_candidate(cand, dv);
    }
  } else {
    if (f && !zuu && !zuv) {
      vec_cross(suu, suv, cand);
      found = try_candidate(cand, 1.0);
    }
    if (!found && g && !zuv && !zvv) {
      vec_cross(suv, svv, cand);
      found = try_candidate(cand, 1.0);
    }
    if (!found && f && g && !zuu && !zvv) {
      vec_cross(suu, svv, cand);
      found = try_candidate(cand, du * dv);
    }
  }
  if (found) {
    *status = 0;
    return;
  }
  normal[0] = normal[1] = normal[2] = 0.0;
  *status = have1 && have2 ? 1 : have1 ? 2 : have2 ? 3 : 4;
}

void surf_segment_bezier(const spline_surface* surface, const double* start, const double* end,
                         int dim, double* coefs, int* status) {
  if (start[0] == end[0] && start[1] == end[1]) {
    *status = kErrInterval;
    error_report("surf_segment_bezier", *status, 0);
    return;
  }
  if (dim != surface->dim) {
    *status = kErrDimensionMismatch;
    error_report("surf_segment_bezier", *status, 0);
    return;
  }
  const double du = end[0] - start[0], dv = end[1] - start[1];
  Work<12> gw(static_cast<size_t>(4) * dim);
  double* g = gw.get();
  int l1 = 0, l2 = 0, st = 0;
  const double* pts[2] = {start, end};
  for (int e = 0; e < 2; ++e) {
    s1424(surface, 1, 1, pts[e], &l1, &l2, g, &st);
    if (st < 0) {
      *status = st;
      error_report("surf_segment_bezier", st, 0);
      return;
    }
    const double* s = g;
    const double* su = g + dim;
    const double* sv = g + 2 * dim;
    double* at = coefs + (e == 0 ? 0 : 3 * dim);
    double* inner = coefs + (e == 0 ? dim : 2 * dim);
    const double sign = e == 0 ? 1.0 : -1.0;
    for (int m = 0; m < dim; ++m) {
      at[m] = s[m];
      inner[m] = s[m] + sign * (du * su[m] + dv * sv[m]) / 3.0;
    }
  }
  *status = 0;
}

void bezier_subdivide(const double* c, double a, double b, double x, int m, double* result,
                      int* status) {
  *status = 1;
  if (a > b || dequal(a, b)) {
    *status = kErrInterval;
    error_report("bezier_subdivide", *status, 0);
    return;
  }
  Work<25> tw(static_cast<size_t>(m) * m);
  double* tri = tw.get();
  const double s = (b - x) / (b - a);
  for (int j = 0; j < m; ++j) tri[j] = c[j];
  for (int i = 1; i < m; ++i)
    for (int j = i; j < m; ++j)
      tri[i * m + j] = s * tri[(i - 1) * m + j - 1] + (1.0 - s) * tri[(i - 1) * m + j];
  for (int i = 0; i < m; ++i) {
    result[i] = tri[i * m + i];
    result[m + i] = tri[(m - 1 - i) * m + (m - 1)];
  }
}
