// Curve evaluation: position and derivatives of a spline_curve.
//
// Derivative arrays hold (d + 1) * dim doubles: the position, then the first
// derivative, and so on.
#pragma once

struct spline_curve;

// Position and d derivatives at x, from the right at interior knots.  left is the
// interval guess in and the interval used out.
void s1221(const spline_curve* curve, int d, double x, int* left, double* derivs, int* status);

// The same from the left at interior knots (and at the end of the range).
void S1227(const spline_curve* curve, int d, double x, int* left, double* derivs, int* status);

// Derivatives of a rational curve from those of its homogeneous form ((d + 1) *
// (dim + 1) doubles in, (d + 1) * dim out).  Errors -178, -102, -179.
void s6ratder(const double* hom_derivs, int dim, int d, double* derivs, int* status);

// From position and two derivatives: position, unit tangent, curvature vector and
// radius of curvature (3 * dim + 1 doubles).  Status 1 and radius -1 for a zero
// tangent or a straight piece (radius above 10000).
void curvature_vector(const double* derivs, int dim, double* result, int* status);

// Step length from a radius of curvature r, a tolerance and a largest step h.
// Errors -177 (h < 0) and -120 (negative tolerance).
double s1311(double r, double eps, double h, int* status);
