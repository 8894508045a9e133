// Marching of intersection curves: from a chain of parameter pairs the curve is traced
// point by point (a step along the tangent, pulled back onto both objects by a Newton
// iteration, checked at the middle of the new segment, cut at the parameter domain's
// boundary) and fitted with a cubic curve.
//
// Evaluation blocks: position, S_u, S_v, S_uu, S_uv, S_vv (3 doubles each) and the
// normal, 21 doubles; for the silhouette kinds 1003 to 1005 the third derivatives
// S_uuu, S_uuv, S_uvv, S_vvv come before the normal (33 doubles).
// march_point of dimension d: position, unit tangent, curvature vector (d each) and the
// radius of curvature (-1 for none): 3 d + 1 doubles.
// Parameter ranges are (start, end) pairs.
//
// Iteration statuses: 0 converged, 1 converged with a singular last system (or no
// progress), 2 no convergence; negative an error reported under the routine's name.
#pragma once

#include "spline/isect.h"  // s1310, s1313 and the march statuses

// ---- Two surfaces

// Newton iteration onto both surfaces and the plane across the curve point's tangent at
// position + step * tangent.
void s9iterate(const double* curve_point, const double* ev1, const double* ev2,
               const double* par1, const double* par2, const spline_surface* s1,
               const spline_surface* s2, double step, double tol, double* out_ev1,
               double* out_ev2, double* out_par1, double* out_par2, int* status);

// Newton iteration onto both surfaces with one parameter (1 U1, 2 V1, 3 U2, 4 V2) fixed at
// value.
void s9boundit(const double* ev1, const double* ev2, const double* par1, const double* par2,
               const spline_surface* s1, const spline_surface* s2, double value, int which,
               double tol, double* out_ev1, double* out_ev2, double* out_par1,
               double* out_par2, int* status);

// Classifies the parameter step (a1, a2) -> (b1, b2) against both rectangles: 1 inside
// both, 2 leaves from inside, 3 starts outside and ends inside, 5 starts and ends
// outside with a crossing, 4 starts on a side and leaves through it (edge 0) or starts
// inside on a side with a crossing, 0 no part inside.  edge 1..4 on the first surface
// (1 U1 = start, 2 V1 = end, 3 U1 = end, 4 V1 = start), 5..8 the same on the second.
void s1330(const double* a1, const double* a2, const double* b1, const double* b2,
           const double* urange1, const double* vrange1, const double* urange2,
           const double* vrange2, int* edge, double* out1, double* out2, int* status);

// Iterates s1330 and s9boundit to the point where the curve crosses a domain boundary
// between the two ends: 1 found, 0 nothing to clip, 2 no convergence.
void s9clipit(const double* a1, const double* a2, const double* b1, const double* b2,
              const spline_surface* s1, const spline_surface* s2, const double* urange1,
              const double* vrange1, const double* urange2, const double* vrange2, double tol,
              double* out_ev1, double* out_ev2, double* out_par1, double* out_par2,
              int* status);

// Reach test of a target point (the start point or a guide point) from the current
// point: status 1 when it lies ahead in both parameter planes and in space within two
// step lengths, with the same orientation of the normals' cross product.  Returns the
// distance (0 when a parameter-plane test fails).
double close_test_ss(const double* ev1, const double* par1, const double* ev2,
                     const double* par2, const double* start_ev1, const double* start_par1,
                     const double* start_ev2, const double* start_par2, const double* tangent,
                     const double* par_dir1, const double* par_dir2, double step, int* status);

// Local geometry of the intersection curve of two surfaces at a common point: space
// record (dimension 3) and one record per parameter plane (dimension 2).  Status 1 when
// the local geometry is degenerate.
void ss_march_point(const double* ev1, const double* ev2, const double* par1,
                    const double* par2, double* space, double* plane1, double* plane2,
                    int* status);

// Status 1 when the chain is a constant-parameter line of one surface lying on the other
// (the requested curves stored), 0 when not.
void s1310_s9constline(const spline_surface* s1, const spline_surface* s2, isect_curve* curve,
                       double epsge, int make_curve, int graphics, int* status);

// ---- A surface against an implicit surface

void s9iterimp(const double* curve_point, const double* ev, const double* par,
               const spline_surface* surface, const double* coefs, int kind, double step,
               double tol, double* out_ev, double* out_par, int* status);

void s9boundimp(const double* ev, const double* par, const spline_surface* surface,
                const double* coefs, int kind, double value, int which, double tol,
                double* out_ev, double* out_par, int* status);

void s9clipimp(const double* a, const double* b, const spline_surface* surface,
               const double* coefs, int kind, const double* urange, const double* vrange,
               double tol, double* out_ev, double* out_par, int* status);

double s9adsimp(const double* ev, const double* par, const double* coefs, int kind,
                const double* start_ev, const double* start_par, const double* tangent,
                const double* par_dir, double step, int* status);

// Local geometry of f(S(u, v)) = 0: 0 regular, 2 singular, 10 singular with the
// direction from the second derivatives, 11 a gradient below 1e-6.
void s1306(const double* ev, const double* par, const double* coefs, int kind, double* space,
           double* plane, int* status);

// Normal of an implicit surface (kinds 1, 2, 1001; else -175).
void s1308(const double* point, int dim, const double* coefs, int kind, double* normal,
           int* status);

// Signed distance from the point (first three doubles) along the direction to the
// implicit surface; status 2 when no point lies along it (kinds 1 and 2).
double s1309(const double* point, const double* direction, const double* coefs, int kind,
             int* status);

// Clips the parameter segment a -> b against the rectangle: 1 both inside, 2 leaves
// from inside, 3 starts outside with a crossing or ends inside, 4 starts on an edge
// and leaves through it, 5 both outside and no crossing, 0 cannot meet.  edge 1 u
// start, 2 v end, 3 u end, 4 v start.
void clip_param_segment(const double* a, const double* b, const double* urange,
                        const double* vrange, int* edge, double* crossing, int* status);

// Split values of a surface of one polynomial piece (the middle of the range) or of
// exactly one inner knot value (that knot) per requested direction (1 first, 2 second,
// 3 both).  Status 1 when every requested direction was found and a knot was counted,
// else 0; -202 for another direction code.
void s9simple_knot(const spline_surface* surface, int direction, double* split, int* knot_count,
                   int* status);

// Status 1 when the chain is a constant-parameter line of the surface lying on the
// implicit surface (the requested curves stored), 0 when not.
void s1313_s9constline(const spline_surface* surface, const double* coefs, int kind,
                       double epsge, isect_curve* curve, int make_curve, int graphics,
                       int* status);
