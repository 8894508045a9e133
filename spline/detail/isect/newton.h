// Local iterations of the intersection engine: closest points, intersections,
// stationary points and closest values, refined from a start value inside a parameter
// box.
//
// Every routine reports through its last argument, status (see spline/status.h).
// Verdicts of the closest-point and intersection iterations: 1 the objects meet (the
// final distance is at most aepsge), 2 they do not, 3 a tangential closest pair, 9 a
// degenerate surface parametrisation at the result.  Parameter boxes are closed
// intervals [start, end] per parameter; no iteration leaves its box, so a solution
// beyond the box ends on the box's edge.  Results are written only on success.
#pragma once

#include "spline/isect.h"  // s1172, s1173 and s1174

// ---------------------------------------------------------------------------
// Two curves, a point and a curve, a point and a surface.

// Parameters s on curve 1 and t on curve 2 where the curves meet or come closest.
// Status 1 meeting, 2 not meeting; -106 different dimensions, -101 no memory.
// Planar curves go to s1770_2D, which reads *status on entry as its mode (0: the full
// iteration with the secant search; otherwise the short one) and may also return 3.
void s1770(const spline_curve* curve1, const spline_curve* curve2, double aepsge,
           double start1, double start2, double end1, double end2, double guess1,
           double guess2, double* result1, double* result2, int* status);

// Parameter of the curve point closest to the point.  *status on entry is the mode:
// 0 allows 20 iterations, any other value 10; callers set it before every call.
// Status 1 within aepsge, 2 not; -106, -101.
void s1771(const spline_point* point, const spline_curve* curve, double aepsge, double start,
           double end, double guess, double* result, int* status);

// Parameter pair of the surface point closest to the point.  Dimension >= 2: status 1
// within aepsge, 9 beyond it at a degenerate parametrisation, 2 otherwise.  Dimension
// 1: 0 when the result lies on an edge of the box, else 1 within aepsge and 3 not.
void s1773(const spline_point* point, const spline_surface* surface, double aepsge,
           const double start[2], const double end[2], const double guess[2], double result[2],
           int* status);

// Start values for s1772: the Greville parameters of the closest pair of control
// vertices (curve vertex, surface vertex).  Every order must be at least 2.
void nearest_vertex_params_curve_surface(const spline_curve* curve, const spline_surface* surface,
                                         double* curve_param, double surface_params[2]);

// ---------------------------------------------------------------------------
// Curve against surface (dimension 3) and planar curve against curve, with switching
// between first- and second-order steps and a secant search when the iteration stalls.

// Status 1 meeting; 3 not meeting with the curve tangent along the surface's tangent
// plane (a tangential closest point); 2 otherwise; -106, -101.
void s1772(const spline_curve* curve, const spline_surface* surface, double aepsge,
           double curve_start, const double surface_start[2], double curve_end,
           const double surface_end[2], double curve_guess, const double surface_guess[2],
           double* curve_result, double surface_result[2], int* status);

// Step of s1772 at one evaluation: distance |c - S| and (du, dv, dt); status 1 for a
// singular system.  second_order 0 gives the crossing of tangent plane and tangent line
// (dimension 3), otherwise Newton on the squared distance.
void s1772_s9dir(double* distance, double* diff, double step[3], const double* c,
                 const double* c1, const double* c2, const double* s, const double* su,
                 const double* sv, const double* suu, const double* suv, const double* svv,
                 int dim, int second_order, int* status);

// -1 not applicable (the difference is not along the normal), 1 the curve bends away
// from the surface here, 0 a crossing nearby is possible.
int s1772_s6local_pretop(double distance, const double* diff, const double* normal,
                         const double* c, const double* c1, const double* c2, const double* s,
                         const double* su, const double* sv, const double* suu,
                         const double* suv, const double* svv, int dim, int* status);

// Secant search along the curve for a zero of the signed distance to the surface.
// par holds (u, v, t) and is updated; curve_pos must have room for two vectors of the
// curve's dimension (the second is used as scratch).  Status 0, or 2 when the
// bracketing gave up.
void s1772_s6sekant1(const spline_curve* curve, const spline_surface* surface, double par[3],
                     double curve_step, double* distance, double aepsge, double curve_start,
                     const double surface_start[2], double curve_end,
                     const double surface_end[2], double* curve_pos, double* surface_derivs,
                     double* normal, int* status);

// Planar curve-curve iteration; *status on entry is the mode (0: up to 20 passes and
// the secant search, otherwise up to 10 and none).  Status 1 meeting; 3 not meeting
// with a common normal; 2 otherwise; -106, -101.
void s1770_2D(const spline_curve* curve1, const spline_curve* curve2, double aepsge,
              double start1, double start2, double end1, double end2, double guess1,
              double guess2, double* result1, double* result2, int* status);

// Step of s1770_2D: distance |c1 - c2|, (dt1, dt2) and the system's determinant;
// status 1 for a singular system.
void s1770_2D_s9dir(double* distance, double* diff, double step[2], const double* c1,
                    const double* c1d, const double* c1dd, const double* c2, const double* c2d,
                    const double* c2dd, int dim, int second_order, double* det, int* status);

// 1 the curves stay apart here, 0 a crossing nearby is possible; -101 when dim is not 2.
int s1770_2D_s6local_pretop(double distance, const double* diff, const double* normal2,
                            const double* c1, const double* c1d, const double* c1dd,
                            const double* c2, const double* c2d, const double* c2dd, int dim,
                            int* status);

// Secant search along curve 1 for a zero of the signed distance to curve 2; par holds
// (t1, t2) and is updated.  Status 0, or 2 when the bracketing gave up.
void s1770_2D_s6sekant1(const spline_curve* curve1, const spline_curve* curve2, double par[2],
                        double step1, double* distance, double aepsge, double start1,
                        double start2, double end1, double end2, int* status);

// ---------------------------------------------------------------------------
// One-dimensional objects.

// Local maximum of a curve of dimension 1 from the start parameter, inside the curve's
// range.  Status 2 when the value at the last trial exceeds tolerance, else 1; -106.
void S1252(const spline_curve* curve, double tolerance, double start, double* result,
           int* status);

// Step to the stationary point of the cubic Taylor polynomial (derivs: f .. f''').
void cubic_taylor_step(double* step, double parameter, const double derivs[4], double a,
                       double b);

// Limits the step to the range [knots[k-1], knots[n]] and to the current knot interval
// *left; direction is -1 / +1 by the step's sign, -2 / +2 when the parameter sits
// exactly on a knot of multiplicity at least k - 1.
void clamp_newton_step(double* step, double parameter, const double* knots, int n, int k,
                       int* left, int* direction);
