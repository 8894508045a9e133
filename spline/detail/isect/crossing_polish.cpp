// Gauss-Newton polishing of a curve/curve crossing.
#include "spline/detail/isect/crossing_polish.h"

#include <cmath>

#include "spline/curve_eval.h"
#include "spline/records.h"

namespace {

// Difference C1(s) - C2(t) with both first derivatives; returns |C1 - C2|.
double difference(const spline_curve* c1, const spline_curve* c2, double s, double t,
                  int* left1, int* left2, double* d, double* d1, double* d2, int* status) {
  const int dim = c1->dim;
  double e1[6], e2[6];
  s1221(c1, 1, s, left1, e1, status);
  if (*status < 0) return 0;
  s1221(c2, 1, t, left2, e2, status);
  if (*status < 0) return 0;
  double len = 0;
  for (int i = 0; i < dim; ++i) {
    d[i] = e1[i] - e2[i];
    d1[i] = e1[dim + i];
    d2[i] = e2[dim + i];
    len += d[i] * d[i];
  }
  return std::sqrt(len);
}

}  // namespace

void polish_curve_crossing(const spline_curve* curve1, const spline_curve* curve2,
                           double start1, double end1, double start2, double end2, double* s,
                           double* t, int* status) {
  *status = 0;
  const int dim = curve1->dim;
  if (dim != curve2->dim || dim < 1 || dim > 3) return;
  int left1 = 0, left2 = 0, st = 0;
  double d[3], a[3], b[3];
  double dist = difference(curve1, curve2, *s, *t, &left1, &left2, d, a, b, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  for (int it = 0; it < 8 && dist > 0; ++it) {
    // Least squares of a ds - b dt = -d.
    double aa = 0, ab = 0, bb = 0, ad = 0, bd = 0;
    for (int i = 0; i < dim; ++i) {
      aa += a[i] * a[i];
      ab += a[i] * b[i];
      bb += b[i] * b[i];
      ad += a[i] * d[i];
      bd += b[i] * d[i];
    }
    const double det = aa * bb - ab * ab;
    if (!(std::fabs(det) > 1e-14 * aa * bb)) return;
    const double ds = (-ad * bb + bd * ab) / det;
    const double dt = (aa * bd - ab * ad) / det;
    const double ns = std::fmin(std::fmax(*s + ds, start1), end1);
    const double nt = std::fmin(std::fmax(*t + dt, start2), end2);
    double nd[3], na[3], nb[3];
    const double ndist = difference(curve1, curve2, ns, nt, &left1, &left2, nd, na, nb, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    if (!(ndist < dist)) return;
    *s = ns;
    *t = nt;
    dist = ndist;
    for (int i = 0; i < dim; ++i) {
      d[i] = nd[i];
      a[i] = na[i];
      b[i] = nb[i];
    }
  }
}
