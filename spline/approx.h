// Hermite curves, tangent-continuous cubic curves through curve samples, and the
// approximation of curves and offset curves within a tolerance.
//
// A curve sample is the curvature array of curvature_vector: position, unit tangent,
// curvature vector and radius of curvature (3 * dim + 1 doubles; radius -1 for a
// straight piece).
#pragma once

struct spline_curve;

// Cubic Hermite curve through count points with first derivatives at the parameters;
// every parameter becomes a double knot.  -181, -102, -101.
void s1379(const double* points, const double* derivs, const double* params, int count, int dim,
           spline_curve** curve, int* status);

// Tangent-continuous cubic through count samples (dim 2 or 3); with flag 0 the
// parameters are computed and written to params, else read from it.  -105, -181, -101.
void s1359(const double* samples, double tol, int dim, int count, int flag, double* params,
           spline_curve** curve, int* status);

// Cubic approximation of the curve, or of its offset at distance d, within tol; normal
// is used in 3D.  max_step 0 means no limit.  -105, -184, -179, -1 (a point curve).
void s1360(const spline_curve* curve, double d, double tol, const double* normal, double max_step,
           int dim, spline_curve** result, int* status);

// Position and derivatives (0 to 2) of the offset curve at x.
void s1362(const spline_curve* curve, double d, const double* normal, int dim, int derivs,
           double x, int* left, double* result, int* status);

// Tangent length of a cubic Bezier segment that follows a circular arc of radius x
// turning by the angle a.
double tangent_length(double x, double a);

// Midpoint and unit mid tangent of the candidate segment between two samples;
// acceptable is 1 when its control polygon is acceptable.
void segment_tangent_angle(const double* sample1, const double* sample2, int dim, double* mid,
                           double* mid_tangent, int* acceptable);

// Removes repeated vertices at knots of full multiplicity from a curve that owns its
// arrays; status 1 when vertices were removed.
void remove_double_vertices(spline_curve* curve, int* status);
