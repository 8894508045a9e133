// New main points of the subdivision steps.
#pragma once

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/status.h"

// A new main point at the n parameters, handed to the data.  Null with the status set
// when it cannot be made or inserted (the point is then freed).
inline isect_point* insert_new_point(isect_data** data, int n, const double* par,
                                     int* status) {
  isect_point* p = create_isect_point_geom(n, par, 0.0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  if (!p) {
    *status = kErrMemory;
    return nullptr;
  }
  int st = 0;
  sh6idnpt(data, &p, 1, &st);
  if (st < 0) {
    destroy_isect_point(p);
    *status = st;
    return nullptr;
  }
  return p;
}
