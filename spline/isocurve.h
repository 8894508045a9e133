// Constant-parameter curves of surfaces, end points of curves and the rational form.
#pragma once

struct spline_curve;
struct spline_point;
struct spline_surface;

// Edge curve of a surface: 0 bottom (start of v), 1 right (end of u), 2 top (end of v),
// 3 left (start of u), with its constant parameter.  -141 for another edge number.
void s1435(const spline_surface* surface, int edge, spline_curve** curve, double* parameter,
           int* status);

// The curve along the first direction at the second parameter v (right-hand at knots).
void s1436(const spline_surface* surface, double v, spline_curve** curve, int* status);

// The curve along the second direction at the first parameter u.
void s1437(const spline_surface* surface, double u, spline_curve** curve, int* status);

// Start (end 0) or end (end 1) point of a curve as a point record, with its parameter.
void s1438(const spline_curve* curve, int end, spline_point** point, double* parameter,
           int* status);

// A rational copy of a curve (weights 1 for a polynomial one); status 1 when the curve
// was rational already.  Null on error.
spline_curve* s1521(const spline_curve* curve, int* status);
