// Curve approximation with data reduction (knot removal within a tolerance).
#pragma once

struct spline_curve;

// A curve with as few knots as possible that stays within tol[c] of the curve in every
// coordinate c (measured on the input knots, vertex by vertex).  The first fix_start
// and last fix_end derivatives (from the 0th) at the ends are kept exactly.  At most
// max_passes passes of ranking and removal run.  The maximal errors per coordinate are
// written to errors.  The result keeps the curve's open state (the removal never closes
// a curve).  Polynomial curves only (-121 for a rational one).
void s1940(const spline_curve* curve, const double* tol, int fix_start, int fix_end,
           int open_request, int max_passes, spline_curve** result, double* errors, int* status);

// Rewrites a curve in place on a periodic knot vector with continuity c (the closing step
// of the reduction; the same as make_cv_cyclic, reporting as "s1941").
void s1941(spline_curve* curve, int c, int* status);
