// Small helpers shared by the coincidence tests and the coincidence marching.
#pragma once

#include <cmath>
#include <memory>

#include "spline/handles.h"
#include "spline/curve_eval.h"
#include "spline/isocurve.h"
#include "spline/records.h"

namespace coincidence_detail {

using PointHolder = std::unique_ptr<spline_point, decltype(&destroy_point)>;

// Largest of the first three extents of a slot-0 box (a single one in dimension 1).
inline double box_extent(const param_box* box) {
  const int m = box->slot_count[0];
  const int entries = m < 3 ? m : 3;
  double e = 0.0;
  for (int j = 0; j < entries; ++j) e = std::fmax(e, box->slot_high[0][j] - box->slot_low[0][j]);
  return e;
}

// Spatial step from the curvature of a curve at its derivative block (position and two
// derivatives, 3 * dim values).
inline int curvature_step(const double* derivs, int dim, double aepsge, double largest,
                          double* step) {
  double cv[10];
  int st = 0;
  curvature_vector(derivs, dim, cv, &st);
  if (st < 0) return st;
  *step = s1311(cv[3 * dim], aepsge, largest, &st);
  return st < 0 ? st : 0;
}

// The curve of a surface at the constant parameter value in direction d (d = 0: the
// first parameter fixed).  Empty with the status set when it cannot be made.
inline CurveHandle constant_param_curve(const spline_surface* surface, int d, double value,
                                        int* status) {
  spline_curve* raw = nullptr;
  if (d == 0)
    s1437(surface, value, &raw, status);
  else
    s1436(surface, value, &raw, status);
  return CurveHandle(raw);
}

}  // namespace coincidence_detail
