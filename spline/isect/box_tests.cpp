// Monotonicity tests of one-dimensional coefficients.

#include "spline/isect/box_tests.h"

#include <cfloat>

#include "spline/records.h"

namespace {

// Walks values[0], values[stride], ... (count of them) and widens [*lo, *hi] by every
// significant step: a run of steps of one sign whose sum reaches epsge in size.
void significant_steps(const double* values, int count, int stride, double epsge, double* lo,
                       double* hi) {
  if (count < 1) return;
  double base = values[0];
  double run = 0.0;
  for (int i = 1; i < count; ++i) {
    const double prev = values[(i - 1) * stride];
    const double cur = values[i * stride];
    const double step = cur - prev;
    if ((step > 0.0 && run < 0.0) || (step < 0.0 && run > 0.0)) base = prev;
    run = cur - base;
    if (run >= epsge || -run >= epsge) {
      if (run < *lo) *lo = run;
      if (run > *hi) *hi = run;
      base = cur;
    }
  }
}

}  // namespace

void curve_coefs_monotone(const spline_curve* curve, double epsge, int* result) {
  double lo = DBL_MAX, hi = -DBL_MAX;
  significant_steps(curve->coefs, curve->vertex_count, 1, epsge, &lo, &hi);
  const bool single_piece = curve->vertex_count == curve->order;
  const double product = lo * hi;
  *result = ((single_piece && product >= 0.0) || product > 0.0 || lo == hi) ? 1 : 0;
}

void surface_coefs_monotone(const spline_surface* surface, double epsge, int* result) {
  const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  if ((surface->order1 == 2 && n1 == 2) || (surface->order2 == 2 && n2 == 2)) {
    *result = 1;
    return;
  }
  double lo1 = DBL_MAX, hi1 = -DBL_MAX, lo2 = DBL_MAX, hi2 = -DBL_MAX;
  for (int j = 0; j < n2; ++j)
    significant_steps(surface->coefs + static_cast<long>(j) * n1, n1, 1, epsge, &lo1, &hi1);
  for (int i = 0; i < n1; ++i) significant_steps(surface->coefs + i, n2, n1, epsge, &lo2, &hi2);
  const bool single_piece = n1 == surface->order1 && n2 == surface->order2;
  const double p1 = lo1 * hi1, p2 = lo2 * hi2;
  const bool simple = lo1 > hi1 || lo2 > hi2 || (single_piece && (p1 >= 0.0 || p2 >= 0.0)) ||
                      p1 > 0.0 || p2 > 0.0 || lo1 == hi1 || lo2 == hi2;
  *result = simple ? 1 : 0;
}
