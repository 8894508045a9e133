// Coincidence marching: how far do two curves, or a curve and a surface, stay within
// the tolerance of each other from a common point?  The marches step along the objects
// in a given direction, with steps from the curvature and the knots, and report the
// last parameters at which the objects still coincided and the first at which they did
// not, or that an end was reached.
//
// The marches are bounded: a march that makes no progress in floating point, or that
// takes kCoincidenceMarchStepLimit steps, stops with its own status (below) and reports
// the parameters it reached as both the last coincident and the first separate ones.
//
// Statuses through the last argument; negative errors are reported once through
// error_report with the routine's name.
#pragma once

struct spline_curve;
struct spline_surface;

// Steps a march takes at most.
constexpr int kCoincidenceMarchStepLimit = 10000;
// sh1783: the march stopped short of both ends without the curves separating.
constexpr int kCurvePairMarchStopped = 4;
// sh1784: the march stopped short of the curve's end without leaving the surface.
constexpr int kCurveSurfaceMarchStopped = 3;

// A curve evaluator with the signature of s1221 and S1227: (curve, derivatives, x,
// interval index in/out, derivative array, status).
using curve_evaluator = void (*)(const spline_curve*, int, double, int*, double*, int*);

// Two curves of the same dimension (1 to 3) marched from the common point start (t on
// curve 1, s on curve 2), direction dir1 on curve 1 and dir2 on curve 2 (+1 towards
// larger parameters, -1 towards smaller ones).  Status 0 the curves separate: last holds
// the last coincident pair and first_separate the first pair found apart; 1 curve 1
// reached its end, 2 curve 2 did, 3 both did (last holds the ends reached, and so does
// first_separate); kCurvePairMarchStopped; -105 differing dimensions or one above 3.
// The curves' slot-0 boxes are built and stay cached.
void sh1783(const spline_curve* curve1, const spline_curve* curve2, double epsge,
            const double start[2], int dir1, int dir2, double last[2], double first_separate[2],
            int* status);

// Evaluates curve a at par_a (der derivatives, into derivs_a), finds the nearest point
// of curve b by Newton iteration from start_b within b's parameter interval (par_b) and
// evaluates curve b there (into derivs_b).  Status 0, or the negative status of an
// evaluation or of the iteration (-101 when the point cannot be made); nothing reported.
void eval_project_curve(curve_evaluator eval_a, curve_evaluator eval_b, const spline_curve* a,
                        const spline_curve* b, int der, double epsge, double par_a, int* left_a,
                        double* derivs_a, double start_b, double* par_b, int* left_b,
                        double* derivs_b, int* status);

// A curve lying in a surface, both of dimension 3, marched from the common point start
// along the curve in direction dir.  Parameter triples are (t, u, v) when curve_place is
// 1, else (u, v, t), for start and for the outputs.  Status 0 the curve leaves the
// surface (a distance above epsge), 1 the curve reached its end, 2 the curve's
// projection reaches the boundary of the surface's parameter rectangle; last holds the
// triple from which the last step started and first_separate (statuses 0 and 2) the
// triple where the test failed (status 1: first_separate = last);
// kCurveSurfaceMarchStopped; -105 another dimension.
void sh1784(const spline_curve* curve, const spline_surface* surface, double epsge,
            const double start[3], int curve_place, int dir, double last[3],
            double first_separate[3], int* status);
