#include "spline/isocurve.h"

#include <vector>

#include "spline/curve_eval.h"
#include "spline/detail/internal.h"
#include "spline/records.h"
#include "spline/status.h"

using namespace spline_detail;

namespace {

// Evaluates the long-vertex curve (n vertices of width, order k, knots t) at x.
int long_eval(const double* t, int n, int k, double* verts, int width, double x,
              std::vector<double>& out) {
  spline_curve* tmp = create_curve(n, k, const_cast<double*>(t), verts, 1, width, 0);
  if (!tmp) return kErrMemory;
  out.resize(width);
  int left = 0, st = 0;
  s1221(tmp, 0, x, &left, out.data(), &st);
  destroy_curve(tmp);
  return st;
}

void iso_curve(const spline_surface* s, int along, double x, spline_curve** curve,
               const char* name, int* status) {
  const bool rational = is_rational_kind(s->kind);
  const int w = rational ? s->dim + 1 : s->dim;
  const double* src = rational ? s->hom_coefs : s->coefs;
  const int n1 = s->vertex_count1, n2 = s->vertex_count2;
  std::vector<double> verts, out;
  int st = 0;
  if (along == 1) {
    // Over the second direction: each vertex a row of n1 vertices.
    verts.assign(src, src + static_cast<size_t>(n1) * n2 * w);
    st = long_eval(s->knots2, n2, s->order2, verts.data(), n1 * w, x, out);
  } else {
    verts.resize(static_cast<size_t>(n1) * n2 * w);
    transpose_coefs(src, n1, n2, w, verts.data());
    st = long_eval(s->knots1, n1, s->order1, verts.data(), n2 * w, x, out);
  }
  if (st < 0) {
    *status = st;
    error_report(name, st, 0);
    return;
  }
  const int n = along == 1 ? n1 : n2;
  const int k = along == 1 ? s->order1 : s->order2;
  const double* t = along == 1 ? s->knots1 : s->knots2;
  spline_curve* c = create_curve(n, k, const_cast<double*>(t), out.data(), s->kind, s->dim, 1);
  if (!c) {
    *status = kErrMemory;
    error_report(name, *status, 0);
    return;
  }
  c->open_flag = along == 1 ? s->open_flag1 : s->open_flag2;
  *curve = c;
  *status = 0;
}

}  // namespace

void s1436(const spline_surface* surface, double v, spline_curve** curve, int* status) {
  iso_curve(surface, 1, v, curve, "s1436", status);
}

void s1437(const spline_surface* surface, double u, spline_curve** curve, int* status) {
  iso_curve(surface, 2, u, curve, "s1437", status);
}

void s1435(const spline_surface* s, int edge, spline_curve** curve, double* parameter,
           int* status) {
  int st = 0;
  switch (edge) {
    case 0:
      *parameter = s->knots2[s->order2 - 1];
      s1436(s, *parameter, curve, &st);
      break;
    case 1:
      *parameter = s->knots1[s->vertex_count1];
      s1437(s, *parameter, curve, &st);
      break;
    case 2:
      *parameter = s->knots2[s->vertex_count2];
      s1436(s, *parameter, curve, &st);
      break;
    case 3:
      *parameter = s->knots1[s->order1 - 1];
      s1437(s, *parameter, curve, &st);
      break;
    default:
      // An edge that does not exist is a failure, not a success without a curve.
      *status = -141;
      error_report("s1435", *status, 0);
      return;
  }
  if (st < 0) {
    *status = st;
    error_report("s1435", st, 0);
    return;
  }
  *status = 0;
}

void s1438(const spline_curve* c, int end, spline_point** point, double* parameter,
           int* status) {
  if (end != 0 && end != 1) {
    *status = -141;
    error_report("s1438", *status, 0);
    return;
  }
  const int k = c->order, n = c->vertex_count;
  const double x = end == 0 ? c->knots[k - 1] : c->knots[n];
  // The curve's own end point (equal to the end vertex for a k-regular curve).
  std::vector<double> p(c->dim);
  int left = 0, st = 0;
  if (end == 0)
    s1221(c, 0, x, &left, p.data(), &st);
  else
    S1227(c, 0, x, &left, p.data(), &st);
  if (st < 0) {
    *status = st;
    error_report("s1438", st, 0);
    return;
  }
  spline_point* pt = create_point(p.data(), c->dim, 1);
  if (!pt) {
    *status = kErrMemory;
    error_report("s1438", *status, 0);
    return;
  }
  *point = pt;
  *parameter = x;
  *status = 0;
}

spline_curve* s1521(const spline_curve* c, int* status) {
  const int n = c->vertex_count, k = c->order, dim = c->dim;
  spline_curve* r = nullptr;
  if (is_rational_kind(c->kind)) {
    r = create_curve(n, k, c->knots, c->hom_coefs, c->kind, dim, 1);
    *status = 1;
  } else {
    std::vector<double> hom(static_cast<size_t>(n) * (dim + 1));
    for (int i = 0; i < n; ++i) {
      for (int m = 0; m < dim; ++m) hom[i * (dim + 1) + m] = c->coefs[i * dim + m];
      hom[i * (dim + 1) + dim] = 1.0;
    }
    r = create_curve(n, k, c->knots, hom.data(), c->kind + 1, dim, 1);
    *status = 0;
  }
  if (!r) {
    *status = kErrMemory;
    error_report("s1521", *status, 0);
  }
  return r;
}
