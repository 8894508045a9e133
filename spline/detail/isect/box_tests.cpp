// Monotonicity tests of one-dimensional coefficients, boxes of intersection objects
// and the box test of two objects.

#include "spline/detail/isect/box_tests.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "spline/boxes.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/records.h"
#include "spline/status.h"

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

// ---------------------------------------------------------------------------
// Boxes and the box test.

namespace {

int direction_count(int dim, int index) {
  if (index < 10 && dim == 3) return 9;
  if (index < 10 && dim == 2) return 4;
  return dim;
}

// Boxes a grid of a x b vertices into the slot's arrays.
int fill_box(const double* verts, int a, int b, int dim, int m, double e, double f,
             double* high, double* low) {
  int st = 0;
  if (m == 9)
    rotated_box_3d(verts, a, b, e, f, high, low);
  else if (m == 4)
    rotated_box_2d(verts, a, b, e, f, high, low);
  else
    axis_box(verts, a, b, dim, e, f, high, low, &st);
  return st;
}

void drop_slot(param_box* box, int slot) {
  std::free(box->slot_low[slot]);
  std::free(box->slot_high[slot]);
  box->slot_low[slot] = box->slot_high[slot] = nullptr;
  box->slot_count[slot] = 0;
}

// Shared body of the point and surface boxes; verts of a x b vertices.
int grid_box(param_box** box_field, const double* verts, int a, int b, int dim, int index,
             double tol, bool single_piece, bool is_point) {
  const int slot = index % 10;
  const int m = direction_count(dim, index);
  double e = slot > 0 ? tol / 2.0 : 0.0;
  double f = slot == 2 ? -e : e;
  if (is_point) e = f = 0.0;
  if (!*box_field) {
    *box_field = create_param_box(dim);
    if (!*box_field) return kErrMemory;
  }
  param_box* box = *box_field;
  if (box_slot_test(box, slot, tol) == 1 && box->slot_count[slot] == m) return 0;
  int st = 0;
  box_slot_alloc(box, m, slot, tol, &st);
  if (st < 0) return st;
  const int values = m == 1 ? 1 : 2 * m;
  if (is_point && slot > 0) {
    const int other = slot == 1 ? 2 : 1;
    if (box->slot_high[other] && box->slot_count[other] == m) {
      for (int i = 0; i < values; ++i) {
        box->slot_high[slot][i] = box->slot_high[other][i];
        box->slot_low[slot][i] = box->slot_low[other][i];
      }
      return 0;
    }
  }
  int result = 0;
  if (single_piece) {
    e = 0.0;
    result = 1;
  }
  st = fill_box(verts, a, b, dim, m, e, f, box->slot_high[slot], box->slot_low[slot]);
  if (st < 0) {
    drop_slot(box, slot);
    return st;
  }
  return result;
}

int object_dim(const geom_object* o) {
  switch (o->kind) {
    case 0: return o->point->dim;
    case 1: return o->curve->dim;
    case 2: return o->surface->dim;
    default: return 0;
  }
}

const param_box* object_param_box(const geom_object* o) {
  switch (o->kind) {
    case 0: return o->point->box;
    case 1: return o->curve->box;
    default: return o->surface->box;
  }
}

}  // namespace

void surface_box(spline_surface* surface, int index, double tol, int* status) {
  const bool single = surface->vertex_count1 == surface->order1 &&
                      surface->vertex_count2 == surface->order2;
  const int r = grid_box(&surface->box, surface->coefs, surface->vertex_count1,
                         surface->vertex_count2, surface->dim, index, tol, single, false);
  *status = r < 0 ? r : 0;
}

void object_box(geom_object* object, int index, double tol, int* status) {
  int r = 0;
  switch (object->kind) {
    case 0:
      r = grid_box(&object->point->box, object->point->coords, 1, 1, object->point->dim, index,
                   tol, false, true);
      break;
    case 1:
      curve_box(object->curve, index, tol, &r);
      break;
    case 2: {
      spline_surface* s = object->surface;
      const bool single = s->vertex_count1 == s->order1 && s->vertex_count2 == s->order2;
      r = grid_box(&s->box, s->coefs, s->vertex_count1, s->vertex_count2, s->dim, index, tol,
                   single, false);
      break;
    }
    default:
      r = 0;
  }
  *status = r;
}

void sh1790(geom_object* object1, geom_object* object2, int index, double epsge, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh1790", code, 0);
  };
  if (object1->kind < 0 || object1->kind > 2 || object2->kind < 0 || object2->kind > 2)
    return fail(kErrKind);
  const int dim = object_dim(object1);
  if (object_dim(object2) != dim) return fail(kErrDimensionMismatch);
  if (dim < 1) return fail(kErrDimensionNotAccepted);
  const int slot = index % 10;
  const bool has_point = object1->kind == kPointObject || object2->kind == kPointObject;
  double tdel = slot > 0 ? 2.0 * epsge : epsge;
  double tdel2 = 0.0, teps = epsge;
  int shift = 0;
  if (dim == 1) {
    if (slot > 0) tdel = 3.0 * epsge;
    tdel2 = slot > 0 ? 2.0 * epsge : epsge;
    teps = has_point ? 2.0 * epsge : epsge;
  } else {
    shift = has_point ? 1 : 0;
  }
  int nb = 0;
  for (geom_object* o : {object1, object2}) {
    int st = 0;
    object_box(o, index, teps, &st);
    if (st < 0) return fail(st);
    if (st == 1 && slot > 0) ++nb;
  }
  if (nb > 0) {
    tdel -= dim == 1 ? 2.0 * epsge : epsge;
    tdel2 = epsge;
  }
  const int m = direction_count(dim, index);
  const param_box* b1 = object_param_box(object1);
  const param_box* b2 = object_param_box(object2);
  const int gap_off = shift ? m : 0;
  bool all_small = true, touch = false;
  for (int j = 0; j < m; ++j) {
    const double gap_hi1 = b1->slot_high[slot][gap_off + j];
    const double gap_hi2 = b2->slot_high[slot][gap_off + j];
    const bool first_upper = gap_hi1 > gap_hi2;
    const param_box* up = first_upper ? b1 : b2;
    const param_box* lo = first_upper ? b2 : b1;
    const double a = up->slot_high[slot][j], c = up->slot_low[slot][j];
    const double e = lo->slot_high[slot][j], g = lo->slot_low[slot][j];
    const double b = up->slot_low[slot][gap_off + j];
    const double d = lo->slot_high[slot][gap_off + j];
    if (a - std::fmin(c, g) <= tdel) continue;
    if (dim == 1 && a - g <= tdel2 && e - c <= tdel2) continue;
    all_small = false;
    if (d < b) {
      if (b - d > tdel || shift == 0) {
        *status = kBoxesApart;
        return;
      }
      touch = true;
    }
  }
  *status = all_small ? kBoxesWithinTolerance : (touch ? kBoxTouchesPointBand : kBoxesOverlap);
}
