// Final refinement of a crossing of two curves found by an iteration that stops once the
// curves are within the tolerance: Gauss-Newton steps on C1(s) - C2(t) inside the
// parameter ranges, each kept only when it brings the curve points closer.
#pragma once

struct spline_curve;

// Refines (*s, *t) in place; at most 8 steps.  Status 0, or the negative status of a
// curve evaluation (nothing reported, the parameters are then left as they were).
void polish_curve_crossing(const spline_curve* curve1, const spline_curve* curve2,
                           double start1, double end1, double start2, double end2, double* s,
                           double* t, int* status);
