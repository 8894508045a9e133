#include "spline/frames.h"

#include <cstddef>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

void frame_from_derivatives(const double* derivs, int dim, double* position, double* tangent,
                            double* normal, double* binormal, int* status) {
  double p[3], d1[3], d2[3];
  if (dim == 1) {
    p[0] = 0, p[1] = derivs[0], p[2] = 0;
    d1[0] = 1, d1[1] = derivs[1], d1[2] = 0;
    d2[0] = 0, d2[1] = derivs[2], d2[2] = 0;
  } else if (dim == 2) {
    p[0] = derivs[0], p[1] = derivs[1], p[2] = 0;
    d1[0] = derivs[2], d1[1] = derivs[3], d1[2] = 0;
    d2[0] = derivs[4], d2[1] = derivs[5], d2[2] = 0;
  } else {
    for (int i = 0; i < 3; ++i) {
      p[i] = derivs[i];
      d1[i] = derivs[dim + i];
      d2[i] = derivs[2 * dim + i];
    }
  }
  for (int i = 0; i < 3; ++i) position[i] = p[i];
  int flag = 0;
  vec_normalize(d1, 3, tangent, &flag);  // a zero derivative gives a zero tangent, no NaN
  double b[3];
  vec_cross(d1, d2, b);
  int bflag = 0;
  vec_normalize(b, 3, binormal, &bflag);
  if (flag && bflag) {
    vec_cross(binormal, tangent, normal);
    *status = 0;
  } else {
    for (int i = 0; i < 3; ++i) normal[i] = binormal[i] = 0.0;
    *status = 2;
  }
}

void s2560(const spline_curve* curve, double x, int* left, double* work, double* position,
           double* tangent, double* normal, double* binormal, int* status) {
  int st = 0;
  s1221(curve, 2, x, left, work, &st);
  if (st < 0) {
    *status = st;
    error_report("s2560", st, 0);
    return;
  }
  frame_from_derivatives(work, curve->dim, position, tangent, normal, binormal, status);
}

void s2559(const spline_curve* curve, const double* params, int m, double* positions,
           double* tangents, double* normals, double* binormals, int* status) {
  std::vector<double> work(3 * static_cast<size_t>(curve->dim > 0 ? curve->dim : 1));
  int left = 0;
  for (int i = 0; i < m; ++i) {
    int st = 0;
    s2560(curve, params[i], &left, work.data(), positions + 3 * i, tangents + 3 * i,
          normals + 3 * i, binormals + 3 * i, &st);
    if (st < 0) {
      *status = st;
      error_report("s2559", st, 0);
      return;
    }
  }
  *status = 0;
}
