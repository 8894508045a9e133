// Elementary shape tests of the special-case step of the intersection engine: whether
// two nearby surface patches look like pieces of one plane, sphere, cylinder or torus,
// whether that shape separates them, whether two space curves lie on one circle, the
// circle through three points, and start values of a curve-curve Newton iteration.
#pragma once

struct spline_curve;
struct spline_surface;

// Shape codes of classify_surface_pair.
enum : int {
  kShapeNone = 0,      // none, or the test does not apply
  kShapePlane = 1,     // P a point of the plane, V its normal (not normalised)
  kShapeSphere = 2,    // P centre, B radius
  kShapeCylinder = 3,  // P a point on the axis, V the unit axis, B radius
  kShapeTorus = 4,     // P centre, V unit axis, A centre-circle radius, B tube radius
};

// Circle through three points of space.  Status 0; 1 degenerate points (|A - B|,
// |(A - B) x (C - B)| or |C - B| below the tolerance); or the linear solver's status.
void circle_through_points_checked(const double* a, const double* b, const double* c,
                                   double tolerance, double* centre, double* normal,
                                   double* radius, int* status);
// The same, degenerate only when |(A - B) x (C - B)| is below the tolerance.
void circle_through_points(const double* a, const double* b, const double* c,
                           double tolerance, double* centre, double* normal, double* radius,
                           int* status);

// The shape that two nearby patches appear to share (P, V three doubles each).  Both
// surfaces need a cone of flag 0 and the first its slot-2 box; otherwise code 0.  A
// negative code is an evaluation error (-101 when a point record cannot be made).
void classify_surface_pair(spline_surface* surface1, spline_surface* surface2,
                           double tolerance, double* p, double* v, double* a, double* b,
                           int* code);

// 1 when the pair may intersect (also when no shape was found), 0 when the shape's
// equation separates them; negative on an error of the steps.
void elementary_overlap_test(spline_surface* surface1, spline_surface* surface2,
                             double tolerance, int* result);

// Result 1 with centre (3 doubles) and radius when the middle points between the two
// space curves lie on one circle; 0 when the test does not apply or the points are
// degenerate; negative on error.
void curves_common_circle(spline_curve* curve1, spline_curve* curve2, double tolerance,
                          double* centre, double* radius, int* result);

// Greville values of the nearest pair of control vertices of the two curves (order at
// least 2).
void nearest_vertex_params(const spline_curve* curve1, const spline_curve* curve2,
                           double* t1, double* t2);
