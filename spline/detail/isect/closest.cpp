#include "spline/isect.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spline/edit.h"
#include "spline/handles.h"
#include "spline/detail/isect/chain_output.h"
#include "spline/detail/isect/extremal.h"
#include "spline/detail/isect/implicit_forms.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/isocurve.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

// Removes the pairs whose parameter in a periodic direction is exactly that direction's
// end; a removed pair is replaced by the last one, which is examined in its place.
void drop_seam_duplicates(double* pairs, int* count, const bool periodic[2], const double end[2]) {
  int i = 0;
  while (i < *count) {
    bool seam = false;
    for (int dir = 0; dir < 2; ++dir)
      if (periodic[dir] && pairs[2 * i + dir] == end[dir]) seam = true;
    if (seam) {
      pairs[2 * i] = pairs[2 * (*count - 1)];
      pairs[2 * i + 1] = pairs[2 * (*count - 1) + 1];
      --*count;
    } else {
      ++i;
    }
  }
}

// The surface whose extremal values s1921 and s1954 search, after zeroing their outputs:
// for a surface periodic in either direction a k-regular copy (held by `kreg`), else the
// surface itself.  Null on an error (a failed copy, or dim not the surface's), which is
// then in *status and reported under `routine`.
const spline_surface* searched_surface(const spline_surface* surface, int dim, const char* routine,
                                       SurfaceHandle& kreg, int* point_count, double** params,
                                       int* curve_count, isect_curve*** curves, int* status) {
  *status = 0;
  *point_count = 0;
  *params = nullptr;
  *curve_count = 0;
  *curves = nullptr;
  auto fail = [&](int code) -> const spline_surface* {
    *status = code;
    error_report(routine, code, 0);
    return nullptr;
  };
  if (surface->open_flag1 == -1 || surface->open_flag2 == -1) {
    spline_surface* copy = nullptr;
    int st = 0;
    make_sf_kreg(surface, &copy, &st);
    kreg.reset(copy);
    if (st < 0) return fail(st);
  }
  const spline_surface* s = kreg ? kreg.get() : surface;
  if (dim != s->dim) return fail(kErrDimensionMismatch);
  return s;
}

// A found point on the seam of a periodic direction is also found at the seam's other
// side: keeps one of each such pair.
void drop_seam_duplicates(const spline_surface* surface, int dim, double* pairs, int* count) {
  const bool periodic[2] = {surface->open_flag1 == -1, surface->open_flag2 == -1};
  if (*count > 1 && dim > 1 && (periodic[0] || periodic[1])) {
    const double end[2] = {surface->knots1[surface->vertex_count1],
                           surface->knots2[surface->vertex_count2]};
    drop_seam_duplicates(pairs, count, periodic, end);
  }
}

// Knot vectors of the same shape: equal after mapping both ranges onto [0, 1]; with
// mirror set, the second is compared reversed.
bool same_knot_shape(const spline_curve* a, const spline_curve* b, bool mirror) {
  const int k = a->order, n = a->vertex_count;
  const double a0 = a->knots[k - 1], a1 = a->knots[n];
  const double b0 = b->knots[k - 1], b1 = b->knots[n];
  if (a1 <= a0 || b1 <= b0) return false;
  for (int i = 0; i < n + k; ++i) {
    const double x = (a->knots[i] - a0) / (a1 - a0);
    const double y = mirror ? (b1 - b->knots[n + k - 1 - i]) / (b1 - b0)
                            : (b->knots[i] - b0) / (b1 - b0);
    if (std::fabs(x - y) > 1e-12) return false;
  }
  return true;
}

}  // namespace

void s1921(const spline_surface* surface, const double* direction, int dim, double /*epsco*/,
           double epsge, int* point_count, double** params, int* curve_count,
           isect_curve*** curves, int* status) {
  SurfaceHandle kreg;
  const spline_surface* s = searched_surface(surface, dim, "s1921", kreg, point_count, params,
                                             curve_count, curves, status);
  if (!s) return;
  int st = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1921", code, 0);
  };
  const int n = s->vertex_count1 * s->vertex_count2;
  const bool rational = is_rational_kind(s->kind);
  std::vector<double> c(static_cast<size_t>(n) * (rational ? 2 : 1));
  for (int i = 0; i < n; ++i) {
    if (rational) {
      const double* h = s->hom_coefs + static_cast<size_t>(i) * (dim + 1);
      c[2 * static_cast<size_t>(i)] = vec_dot(h, direction, dim);
      c[2 * static_cast<size_t>(i) + 1] = h[dim];
    } else {
      c[static_cast<size_t>(i)] = vec_dot(s->coefs + static_cast<size_t>(i) * dim, direction, dim);
    }
  }
  spline_surface* scalar = create_surface(s->vertex_count1, s->vertex_count2, s->order1,
                                          s->order2, s->knots1, s->knots2, c.data(), s->kind, 1, 1);
  geom_object* object = scalar ? create_geom_object(kSurfaceObject) : nullptr;
  if (!object) {
    destroy_surface(scalar);
    return fail(kErrMemory);
  }
  object->surface = scalar;
  double running = -DBL_MAX;
  isect_data* data = nullptr;
  s1161(object, &running, epsge, &data, &st);
  destroy_geom_object(object);
  kreg.reset();
  if (st < 0) {
    destroy_isect_data(data);
    return fail(st);
  }
  if (data) {
    double* second = nullptr;
    s1880(2, 0, &data->point_count, data->points, &data->list_count, data->lists, point_count,
          params, &second, curve_count, curves, &st);
    std::free(second);
    destroy_isect_data(data);
    if (st < 0) return fail(st);
  }
  drop_seam_duplicates(surface, dim, *params, point_count);
}

void s1954(const spline_surface* surface, const double* point, int dim, double epsco,
           double epsge, int* point_count, double** params, int* curve_count,
           isect_curve*** curves, int* status) {
  SurfaceHandle kreg;
  const spline_surface* s = searched_surface(surface, dim, "s1954", kreg, point_count, params,
                                             curve_count, curves, status);
  if (!s) return;
  int st = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1954", code, 0);
  };
  // The squared distance to the point as a one-dimensional surface: the sphere of
  // radius 0 about the point put into the surface.
  double* sphere = nullptr;
  s1321(point, 0.0, dim, 1, &sphere, &st);
  if (st < 0) return fail(st);
  spline_surface* f = nullptr;
  s1320(s, sphere, 1, is_rational_kind(s->kind) ? 1 : 0, &f, &st);
  std::free(sphere);
  kreg.reset();
  if (st < 0) return fail(st);
  const double down = -1.0;
  s1921(f, &down, 1, epsco, epsge, point_count, params, curve_count, curves, &st);
  destroy_surface(f);
  if (st < 0) return fail(st);
  drop_seam_duplicates(surface, dim, *params, point_count);
}

void s1956(const spline_curve* curve1, const spline_curve* curve2, spline_surface** surface,
           int* status) {
  *status = 0;
  *surface = nullptr;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1956", code, 0);
  };
  if (curve1->dim != curve2->dim) return fail(kErrDimensionMismatch);
  const int d = curve1->dim;
  const int n1 = curve1->vertex_count, n2 = curve2->vertex_count;
  const bool rational = is_rational_kind(curve1->kind) || is_rational_kind(curve2->kind);
  spline_curve* r1 = nullptr;
  spline_curve* r2 = nullptr;
  int st = 0;
  if (rational) {
    r1 = is_rational_kind(curve1->kind) ? nullptr : s1521(curve1, &st);
    if (st < 0) return fail(st);
    r2 = is_rational_kind(curve2->kind) ? nullptr : s1521(curve2, &st);
    if (st < 0) {
      destroy_curve(r1);
      return fail(st);
    }
  }
  const spline_curve* c1 = r1 ? r1 : curve1;
  const spline_curve* c2 = r2 ? r2 : curve2;
  const int w = rational ? d + 1 : d;
  const double* v1 = rational ? c1->hom_coefs : c1->coefs;
  const double* v2 = rational ? c2->hom_coefs : c2->coefs;
  std::vector<double> coefs(static_cast<size_t>(n1) * n2 * w);
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i) {
      double* out = coefs.data() + (static_cast<size_t>(j) * n1 + i) * w;
      const double* p1 = v1 + static_cast<size_t>(i) * w;
      const double* p2 = v2 + static_cast<size_t>(j) * w;
      if (rational) {
        const double w1 = p1[d], w2 = p2[d];
        for (int l = 0; l < d; ++l) out[l] = w2 * p1[l] - w1 * p2[l];
        out[d] = w1 * w2;
      } else {
        for (int l = 0; l < d; ++l) out[l] = p1[l] - p2[l];
      }
    }
  spline_surface* s = create_surface(n1, n2, c1->order, c2->order, c1->knots, c2->knots,
                                     coefs.data(), rational ? 2 : 1, d, 1);
  int code = 0;
  if (s && n1 == n2 && c1->order == c2->order) {
    auto all_zero = [&](bool reversed) {
      for (int i = 0; i < n1; ++i) {
        const int j = reversed ? n1 - 1 - i : i;
        if (vec_dist(v1 + static_cast<size_t>(i) * w, v2 + static_cast<size_t>(j) * w, w) != 0.0)
          return false;
      }
      return true;
    };
    code = all_zero(false) ? 1 : all_zero(true) ? 2 : 0;
  }
  destroy_curve(r1);
  destroy_curve(r2);
  if (!s) return fail(kErrMemory);
  *surface = s;
  *status = code;
}

void s1955(const spline_curve* curve1, const spline_curve* curve2, double epsco, double epsge,
           int* point_count, double** params1, double** params2, int* curve_count,
           isect_curve*** curves, int* status) {
  *status = 0;
  *point_count = 0;
  *params1 = *params2 = nullptr;
  *curve_count = 0;
  *curves = nullptr;
  int st = 0;
  spline_curve* k1 = nullptr;
  spline_curve* k2 = nullptr;
  spline_surface* diff = nullptr;
  double* pairs = nullptr;
  auto cleanup = [&]() {
    destroy_curve(k1);
    destroy_curve(k2);
    destroy_surface(diff);
    std::free(pairs);
  };
  auto fail = [&](int code) {
    cleanup();
    std::free(*params1);
    std::free(*params2);
    *params1 = *params2 = nullptr;
    *point_count = 0;
    destroy_isect_curve_array(*curves, *curve_count);
    *curves = nullptr;
    *curve_count = 0;
    *status = code;
    error_report("s1955", code, 0);
  };
  const bool periodic1 = curve1->open_flag == -1, periodic2 = curve2->open_flag == -1;
  if (periodic1) {
    make_cv_kreg(curve1, &k1, &st);
    if (st < 0) return fail(st);
  }
  if (periodic2) {
    make_cv_kreg(curve2, &k2, &st);
    if (st < 0) return fail(st);
  }
  const spline_curve* c1 = k1 ? k1 : curve1;
  const spline_curve* c2 = k2 ? k2 : curve2;
  if (c1->dim != c2->dim) return fail(kErrDimensionMismatch);
  const int d = c1->dim;
  int code = 0;
  s1956(c1, c2, &diff, &code);
  if (code < 0) return fail(code);
  // The same polygon on differently spaced knots is another curve: search it.
  if (code != 0 && !same_knot_shape(c1, c2, code == 2)) code = 0;
  const double a1 = c1->knots[c1->order - 1], b1 = c1->knots[c1->vertex_count];
  const double a2 = c2->knots[c2->order - 1], b2 = c2->knots[c2->vertex_count];
  if (code == 1 || code == 2) {
    auto* p = static_cast<double*>(std::malloc(2 * sizeof(double)));
    auto* q = static_cast<double*>(std::malloc(2 * sizeof(double)));
    auto** arr = static_cast<isect_curve**>(std::malloc(sizeof(isect_curve*)));
    isect_curve* c = (p && q && arr) ? create_isect_curve(2, 1, 1, p, q, kIsectCurveOpen) : nullptr;
    if (!c) {
      std::free(p);
      std::free(q);
      std::free(arr);
      return fail(kErrMemory);
    }
    p[0] = a1;
    p[1] = b1;
    q[0] = code == 1 ? a2 : b2;
    q[1] = code == 1 ? b2 : a2;
    arr[0] = c;
    *curves = arr;
    *curve_count = 1;
    cleanup();
    return;
  }
  std::vector<double> zero(static_cast<size_t>(d), 0.0);
  int count = 0;
  s1954(diff, zero.data(), d, epsco, epsge, &count, &pairs, curve_count, curves, &st);
  if (st < 0) return fail(st);
  if (count > 1 && d > 1 && (periodic1 || periodic2)) {
    const bool periodic[2] = {periodic1, periodic2};
    const double end[2] = {curve1->knots[curve1->vertex_count],
                           curve2->knots[curve2->vertex_count]};
    drop_seam_duplicates(pairs, &count, periodic, end);
  }
  if (count > 0) {
    *params1 = static_cast<double*>(std::malloc(sizeof(double) * static_cast<size_t>(count)));
    *params2 = static_cast<double*>(std::malloc(sizeof(double) * static_cast<size_t>(count)));
    if (!*params1 || !*params2) return fail(kErrMemory);
    for (int i = 0; i < count; ++i) {
      (*params1)[i] = pairs[2 * i];
      (*params2)[i] = pairs[2 * i + 1];
    }
    *point_count = count;
  }
  for (int i = 0; i < *curve_count; ++i) {
    isect_curve* c = (*curves)[i];
    const int m = c->point_count;
    auto* s = static_cast<double*>(std::malloc(sizeof(double) * static_cast<size_t>(m)));
    auto* t = static_cast<double*>(std::malloc(sizeof(double) * static_cast<size_t>(m)));
    if (!s || !t) {
      std::free(s);
      std::free(t);
      return fail(kErrMemory);
    }
    for (int j = 0; j < m; ++j) {
      s[j] = c->params1[2 * j];
      t[j] = c->params1[2 * j + 1];
    }
    std::free(c->params1);
    std::free(c->params2);
    c->params1 = s;
    c->params2 = t;
    c->param_count1 = 1;
    c->param_count2 = 1;
  }
  cleanup();
}
