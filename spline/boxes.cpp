#include "spline/boxes.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "spline/records.h"
#include "spline/status.h"

namespace {

bool is_end_vertex(int idx, int a, int b) {
  if (b <= 1) return idx == 0 || idx == a - 1;
  const int i = idx % a, j = idx / a;
  return i == 0 || i == a - 1 || j == 0 || j == b - 1;
}

// The one algorithm of the three builders; project(v, r) gives the coordinate of
// vertex v along direction r.  two_boxes is false for one-dimensional axis boxes.
template <typename Project>
void build_box(const double* verts, int a, int b, int width, int m, double e, double f,
               bool two_boxes, double* high, double* low, Project project) {
  const int count = a * b;
  for (int r = 0; r < m; ++r) {
    const double p0 = project(verts, r);
    double end_min = p0, end_max = p0;
    double in_min = DBL_MAX, in_max = -DBL_MAX;
    bool any_interior = false;
    for (int v = 1; v < count; ++v) {
      const double p = project(verts + static_cast<long>(v) * width, r);
      if (is_end_vertex(v, a, b)) {
        if (p < end_min) end_min = p;
        if (p > end_max) end_max = p;
      } else {
        any_interior = true;
        if (p < in_min) in_min = p;
        if (p > in_max) in_max = p;
      }
    }
    if (!any_interior) {
      in_min = end_min;
      in_max = end_max;
    }
    low[r] = std::fmin(in_min - e, end_min - f);
    high[r] = std::fmax(end_max + f, in_max + e);
    if (two_boxes) {
      low[m + r] = std::fmin(in_min - 2 * e, end_min - 2 * f);
      high[m + r] = std::fmax(end_max + 2 * f, in_max + 2 * e);
    }
  }
}

}  // namespace

void rotated_box_3d(const double* verts, int a, int b, double e, double f, double* high,
                    double* low) {
  if (f < 0.0) f *= 0.2767326953;
  build_box(verts, a, b, 3, 9, e, f, true, high, low, [](const double* v, int r) {
    switch (r) {
      case 0: return v[0];
      case 1: return v[1];
      case 2: return v[2];
      case 3: return (v[1] - v[2]) * kBoxDiagonal;
      case 4: return (v[1] + v[2]) * kBoxDiagonal;
      case 5: return (v[0] - v[2]) * kBoxDiagonal;
      case 6: return (v[0] + v[2]) * kBoxDiagonal;
      case 7: return (v[0] - v[1]) * kBoxDiagonal;
      default: return (v[0] + v[1]) * kBoxDiagonal;
    }
  });
}

void rotated_box_2d(const double* verts, int a, int b, double e, double f, double* high,
                    double* low) {
  if (f < 0.0) f *= 0.38268343;
  build_box(verts, a, b, 2, 4, e, f, true, high, low, [](const double* v, int r) {
    switch (r) {
      case 0: return v[0];
      case 1: return v[1];
      case 2: return (v[0] - v[1]) * kBoxDiagonal;
      default: return (v[0] + v[1]) * kBoxDiagonal;
    }
  });
}

void axis_box(const double* verts, int a, int b, int dim, double e, double f, double* high,
              double* low, int* status) {
  if (f < 0.0 && dim > 1) f /= std::sqrt(static_cast<double>(dim));
  const bool two = dim != 1;
  build_box(verts, a, b, dim, dim, e, f, two, high, low,
            [](const double* v, int r) { return v[r]; });
  if (dim == 1) {
    if (std::fabs(high[0]) < 1e-13) high[0] = 0.0;
    if (std::fabs(low[0]) < 1e-13) low[0] = 0.0;
  }
  *status = 0;
}

void curve_box(spline_curve* curve, int type, double tol, int* status) {
  const int dim = curve->dim;
  int m = dim;
  if (type < 10 && dim == 3) m = 9;
  if (type < 10 && dim == 2) m = 4;
  const int slot = type % 10;
  double e = (slot == 1 || slot == 2) ? tol / 2.0 : 0.0;
  const double f = slot == 2 ? -e : e;

  if (!curve->box) {
    curve->box = create_param_box(dim);
    if (!curve->box) {
      *status = kErrMemory;
      return;
    }
  }
  param_box* box = curve->box;
  if (slot >= 0 && slot <= 2 && box_slot_test(box, slot, tol) == 1 && box->slot_count[slot] == m) {
    *status = 0;
    return;
  }
  int st = 0;
  box_slot_alloc(box, m, slot, tol, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  int result = 0;
  if (curve->vertex_count == curve->order) {
    e = 0.0;
    result = 1;
  }
  const int n = curve->vertex_count;
  if (m == 9)
    rotated_box_3d(curve->coefs, n, 1, e, f, box->slot_high[slot], box->slot_low[slot]);
  else if (m == 4)
    rotated_box_2d(curve->coefs, n, 1, e, f, box->slot_high[slot], box->slot_low[slot]);
  else {
    axis_box(curve->coefs, n, 1, dim, e, f, box->slot_high[slot], box->slot_low[slot], &st);
    if (st < 0) {
      // A failed slot counts as absent, so that a later call builds it afresh.
      std::free(box->slot_low[slot]);
      std::free(box->slot_high[slot]);
      box->slot_low[slot] = box->slot_high[slot] = nullptr;
      box->slot_count[slot] = 0;
      *status = st;
      return;
    }
  }
  *status = result;
}
