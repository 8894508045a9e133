// Special-case tests of the subdivision intersector: box tests of rotated copies of
// two objects, and the separating line or plane of two curves' control polygons.

#include "spline/detail/isect/special_cases.h"

#include <cmath>
#include <cstdlib>
#include <memory>

#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

constexpr double kHalfPi = 1.5707963267948966;
// Directions within this angle (radians) count as the same.
constexpr double kSameDirection = 0.01;

struct FreeDeleter {
  void operator()(double* p) const { std::free(p); }
};
using Doubles = std::unique_ptr<double, FreeDeleter>;
using ObjectHolder = std::unique_ptr<geom_object, decltype(&destroy_geom_object)>;

void identity(double* frame, int dim) {
  for (int r = 0; r < dim; ++r)
    for (int c = 0; c < dim; ++c) frame[r * dim + c] = r == c ? 1.0 : 0.0;
}

// count vertices of dim coordinates rotated into the frame (rows of the frame).
void rotate(const double* frame, int dim, const double* verts, int count, double* out) {
  for (int i = 0; i < count; ++i)
    for (int r = 0; r < dim; ++r) {
      double s = 0.0;
      for (int c = 0; c < dim; ++c) s += frame[r * dim + c] * verts[i * dim + c];
      out[i * dim + r] = s;
    }
}

// A copy of the object in the frame.  The copy's record shares the knot arrays of the
// object and the coefficient array *coefs made here; the caller frees the copy first
// and the array after it.  Null when memory fails.
geom_object* rotated_copy(const geom_object* object, const double* frame, int dim,
                          Doubles* coefs) {
  int count = 1;
  const double* plain = nullptr;
  const double* hom = nullptr;
  int kind = 1;
  if (object->kind == kPointObject) {
    plain = object->point->coords;
  } else if (object->kind == kCurveObject) {
    count = object->curve->vertex_count;
    plain = object->curve->coefs;
    kind = object->curve->kind;
    hom = is_rational_kind(kind) ? object->curve->hom_coefs : nullptr;
  } else {
    count = object->surface->vertex_count1 * object->surface->vertex_count2;
    plain = object->surface->coefs;
    kind = object->surface->kind;
    hom = is_rational_kind(kind) ? object->surface->hom_coefs : nullptr;
  }
  const int width = hom ? dim + 1 : dim;
  coefs->reset(static_cast<double*>(std::malloc(sizeof(double) * count * width)));
  if (!*coefs) return nullptr;
  double* out = coefs->get();
  if (hom) {
    // Homogeneous vertices: the rotated point times its weight, then the weight.
    double rotated[3];
    for (int i = 0; i < count; ++i) {
      rotate(frame, dim, plain + static_cast<long>(i) * dim, 1, rotated);
      const double w = hom[static_cast<long>(i) * (dim + 1) + dim];
      for (int r = 0; r < dim; ++r) out[static_cast<long>(i) * width + r] = rotated[r] * w;
      out[static_cast<long>(i) * width + dim] = w;
    }
  } else {
    rotate(frame, dim, plain, count, out);
  }
  geom_object* copy = create_geom_object(object->kind);
  if (!copy) return nullptr;
  copy->origin = copy;
  if (object->kind == kPointObject) {
    copy->point = create_point(out, dim, 0);
    if (!copy->point) {
      destroy_geom_object(copy);
      return nullptr;
    }
  } else if (object->kind == kCurveObject) {
    const spline_curve* c = object->curve;
    copy->curve = create_curve(c->vertex_count, c->order, c->knots, out, kind, dim, 0);
    if (!copy->curve) {
      destroy_geom_object(copy);
      return nullptr;
    }
  } else {
    const spline_surface* s = object->surface;
    copy->surface = create_surface(s->vertex_count1, s->vertex_count2, s->order1, s->order2,
                                   s->knots1, s->knots2, out, kind, dim, 0);
    if (!copy->surface) {
      destroy_geom_object(copy);
      return nullptr;
    }
  }
  return copy;
}

int sign_of(double d) { return d > 0.0 ? 1 : d < 0.0 ? -1 : 0; }

const double* surface_vertex(const spline_surface* s, int i, int j) {
  return s->coefs + (static_cast<long>(j) * s->vertex_count1 + i) * s->dim;
}

}  // namespace

void orthonormal_frame_2d(double frame[4], const double* d) {
  double u[2];
  int nonzero = 0;
  vec_normalize(d, 2, u, &nonzero);
  if (!nonzero) {
    identity(frame, 2);
    return;
  }
  frame[0] = u[0];
  frame[1] = u[1];
  frame[2] = u[1];
  frame[3] = -u[0];
}

void orthonormal_frame_3d(double frame[9], const double* d1, const double* d2) {
  double e[3];
  int nonzero = 0;
  vec_normalize(d1, 3, e, &nonzero);
  if (!nonzero) {
    identity(frame, 3);
    return;
  }
  double c[3], n[3];
  vec_cross(d1, d2, c);
  int has_normal = 0;
  vec_normalize(c, 3, n, &has_normal);
  if (has_normal && (n[1] != 0.0 || n[2] != 0.0)) {
    // For nearly parallel directions the rounded cross product is not quite
    // perpendicular to d1: take its part across d1, so that the rows stay orthonormal.
    const double along = vec_dot(n, e, 3);
    for (int i = 0; i < 3; ++i) n[i] -= along * e[i];
    vec_normalize(n, 3, n, &has_normal);
  }
  if (has_normal && (n[1] != 0.0 || n[2] != 0.0)) {
    double m[3];
    vec_cross(n, e, m);
    for (int i = 0; i < 3; ++i) {
      frame[i] = e[i];
      frame[3 + i] = m[i];
      frame[6 + i] = n[i];
    }
    return;
  }
  const double E = std::sqrt(e[0] * e[0] + e[1] * e[1]);
  if (E == 0.0) {
    identity(frame, 3);
    return;
  }
  frame[0] = e[0];
  frame[1] = e[1];
  frame[2] = e[2];
  frame[3] = -e[1] / E;
  frame[4] = e[0] / E;
  frame[5] = 0.0;
  frame[6] = -e[0] * e[2] / E;
  frame[7] = -e[1] * e[2] / E;
  frame[8] = E;
}

void sh1834(geom_object* A, geom_object* B, double aepsge, int dim, const double* d1,
            const double* d2, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh1834", code, 0);
  };
  if (dim != 2 && dim != 3) return fail(kErrDimensionNotAccepted);
  if (object_dim(A) != dim || object_dim(B) != dim) return fail(kErrDimensionMismatch);
  double frame[9];
  if (dim == 2)
    orthonormal_frame_2d(frame, d1);
  else
    orthonormal_frame_3d(frame, d1, d2);
  // The copies are released before the arrays they share.
  Doubles coefs_a, coefs_b;
  ObjectHolder copy_a(rotated_copy(A, frame, dim, &coefs_a), destroy_geom_object);
  if (!copy_a) return fail(kErrMemory);
  ObjectHolder copy_b(rotated_copy(B, frame, dim, &coefs_b), destroy_geom_object);
  if (!copy_b) return fail(kErrMemory);
  int st = 0;
  sh1790(copy_a.get(), copy_b.get(), 12, aepsge, &st);
  copy_b.reset();
  copy_a.reset();
  *status = st;
}

void sh1830(geom_object* A, geom_object* B, double aepsge, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh1830", code, 0);
  };
  const geom_object* surf = A->kind == kSurfaceObject ? A : B->kind == kSurfaceObject ? B : nullptr;
  const geom_object* crv = A->kind == kCurveObject ? A : B->kind == kCurveObject ? B : nullptr;
  if (!surf || !crv) return fail(kErrKind);
  const spline_surface* s = surf->surface;
  const spline_curve* c = crv->curve;
  if (s->dim != 3) return fail(kErrDimensionNot3);
  if (c->dim != s->dim) return fail(kErrDimensionMismatch);
  double chord[3];
  vec_diff(c->coefs + (c->vertex_count - 1) * 3, c->coefs, 3, chord);
  const int n1 = s->vertex_count1, n2 = s->vertex_count2;
  double diag1[3], diag2[3], normal[3];
  vec_diff(surface_vertex(s, n1 - 1, n2 - 1), surface_vertex(s, 0, 0), 3, diag1);
  vec_diff(surface_vertex(s, 0, n2 - 1), surface_vertex(s, n1 - 1, 0), 3, diag2);
  vec_cross(diag1, diag2, normal);
  int r = 0;
  sh1834(A, B, aepsge, 3, chord, normal, &r);
  if (r == kBoxesOverlap) sh1834(A, B, aepsge, 3, normal, chord, &r);
  if (r < 0) return fail(r);
  *status = r;
}

void sh1839_direction_pairs(const spline_surface* s, double pairs[24], int* count,
                            int* diagonals) {
  const int b = s->dim;
  const int n1 = s->vertex_count1, n2 = s->vertex_count2;
  *count = 0;
  *diagonals = 0;
  if (b < 1 || b > 3) return;
  auto dir = [&](int slot, int i1, int j1, int i0, int j0) {
    vec_diff(surface_vertex(s, i1, j1), surface_vertex(s, i0, j0), b, pairs + slot * b);
  };
  if (s->order1 <= 2 && s->order2 <= 2) {
    dir(0, n1 - 1, n2 - 1, 0, 0);
    dir(1, n1 - 1, 0, 0, n2 - 1);
    *count = 1;
    *diagonals = 1;
    return;
  }
  *diagonals = 0;
  // The two control-net edges leaving each corner.  A net of a single row (or column)
  // has no edge across it: that direction is zero, which the frames take as missing.
  const int a1 = n1 > 1 ? 1 : 0, b1 = n1 > 1 ? n1 - 2 : 0;
  const int a2 = n2 > 1 ? 1 : 0, b2 = n2 > 1 ? n2 - 2 : 0;
  dir(0, a1, 0, 0, 0);
  dir(1, 0, a2, 0, 0);
  dir(2, b1, 0, n1 - 1, 0);
  dir(3, n1 - 1, a2, n1 - 1, 0);
  dir(4, a1, n2 - 1, 0, n2 - 1);
  dir(5, 0, b2, 0, n2 - 1);
  dir(6, b1, n2 - 1, n1 - 1, n2 - 1);
  dir(7, n1 - 1, b2, n1 - 1, n2 - 1);
  int kept = 1;
  for (int p = 1; p < 4; ++p) {
    const double* first = pairs + p * 2 * b;
    const double* second = first + b;
    const bool same = vec_angle(first, pairs, b) < kSameDirection &&
                      vec_angle(second, pairs + b, b) < kSameDirection;
    if (same) continue;
    if (kept != p)
      for (int i = 0; i < 2 * b; ++i) pairs[kept * 2 * b + i] = first[i];
    ++kept;
  }
  *count = kept;
}

void sh1839(geom_object* A, geom_object* B, double aepsge, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh1839", code, 0);
  };
  if (A->kind != kSurfaceObject) return fail(-122);
  const spline_surface* s = A->surface;
  const int b = s->dim;
  int r = 1;
  if (b != 2 && b != 3) {
    const double none[3] = {0, 0, 0};
    sh1834(A, B, aepsge, b, none, none, &r);
    return fail(r);
  }
  double pairs[24];
  int count = 0, diagonals = 0;
  sh1839_direction_pairs(s, pairs, &count, &diagonals);
  if (diagonals) {
    sh1834(A, B, aepsge, b, pairs, pairs + b, &r);
    if (r == kBoxesOverlap) sh1834(A, B, aepsge, b, pairs + b, pairs, &r);
  } else {
    for (int p = 0; p < count && r == kBoxesOverlap; ++p) {
      const double* first = pairs + p * 2 * b;
      const double* second = first + b;
      sh1834(A, B, aepsge, b, first, second, &r);
      if (r != 0 && r >= 0 && std::fabs(vec_angle(first, second, b) - kHalfPi) > kSameDirection)
        sh1834(A, B, aepsge, b, second, first, &r);
    }
  }
  if (r < 0) return fail(r);
  *status = r;
}

void sh1831(const spline_curve* A, const spline_curve* B, int sign, const double* M,
            const double* N, double aepsge, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh1831", code, 0);
  };
  const int dim = A->dim;
  if (dim != 2 && dim != 3) return fail(kErrDimensionNotAccepted);
  if (B->dim != dim) return fail(kErrDimensionMismatch);
  // Walks the control polygon: 1 when it keeps to one side of the separator (vertices
  // on it allowed, inner vertices of a curve of several spans only farther than aepsge)
  // and never reaches the forbidden side; *side gets the side it keeps to (0 when all
  // its vertices lie on the separator).  A sign change through a vertex on the
  // separator is a crossing.
  auto keeps_side = [&](const spline_curve* c, int forbidden, int* side) {
    const int n = c->vertex_count;
    const bool several_spans = c->order != n;
    int kept = 0;
    for (int i = 0; i < n; ++i) {
      double diff[3];
      vec_diff(M, c->coefs + static_cast<long>(i) * dim, dim, diff);
      const double d = vec_dot(diff, N, dim);
      const int s = sign_of(d);
      if (several_spans && i != 0 && i != n - 1 && std::fabs(d) <= aepsge) return false;
      if (s * kept < 0) return false;
      if (s * forbidden > 0) return false;
      if (s != 0) kept = s;
    }
    *side = kept;
    return true;
  };
  int side_a = 0, side_b = 0;
  // Curves that run opposite ways at M lie on one side of a separator built from their
  // mean direction; one side is no separation, so only the same orientation can
  // separate them.
  if (sign < 0 || !keeps_side(A, 0, &side_a) || !keeps_side(B, side_a, &side_b)) {
    *status = 1;
    return;
  }
}
