// Straight lines, blends between curve ends, circle and conic arcs, polylines.
#pragma once

struct spline_curve;

// The straight line from start to end as a curve of order k over [t0, t0 + length].
// -102, -109, -101 (also for coinciding points: no range).
void s1602(const double* start, const double* end, int k, int dim, double t0, double* t_end,
           spline_curve** curve, int* status);

// A blend from the end of curve 1 nearer point 1 to the end of curve 2 nearer point 2.
// Blend type: 1 circle, 2 conic, other values free-form (a circle is used when the ends
// fit one).  -106 for dimensions that differ.
void s1606(const spline_curve* curve1, const spline_curve* curve2, double eps,
           const double* point1, const double* point2, int type, int dim, int order,
           spline_curve** blend, int* status);

// The blend between given ends (parameters a1, b1 of curve 1 and a2, b2 of curve 2: the
// blend leaves curve 1 at b1 and arrives at curve 2 at b2).
void s1607(const spline_curve* curve1, const spline_curve* curve2, double eps, double a1,
           double b1, double a2, double b2, int type, int dim, int order, spline_curve** blend,
           int* status);

// A circle arc, conic arc or straight line through a few points and tangents (types as
// doubles: 1, 2 point; 3 / 4 first derivative at the next / previous point).  Status 105
// when no conic fits (a line is returned then).  -104, -181.
void s1611(const double* data, int count, int dim, const double* types, int unused, int order,
           double start, double eps, double* end, spline_curve** curve, int* status);

// Cleans blend data in place (types as ints); returns the number of entries kept.
void s1614(double* data, int count, int dim, int* types, int* kept, int* status);

// Status 1 when the control polygon of the (planar) data is not convex.
void s1615(const double* data, int count, int dim, const int* types, int* status);

// Fits an implicit conic (six coefficients) to 3 (circle), 4 or 5 entries.  Status 105
// and the line through the first and last point when the fit is poor.
void s1616(const double* data, int count, int dim, const int* types, double* conic, int* status);

// Classifies the conic and finds the arc between the first and last data point: the
// middle control point and the shape factor.  Status 1 when no arc can be made.
void s1617(const double* data, int count, int dim, const int* types, const double* conic,
           double* start, double* middle, double* end, double* shape, int* status);

// Largest residual of a linear system relative to its largest element.
double conic_fit_residual(const double* matrix, const double* rhs, const double* solution, int n);

// Middle point and shape factor of the conic arc from the first to the last data point.
void conic_segment_points(const double* data, int count, const int* types, const double* conic,
                          int conic_code, double* middle, double* shape, int* status);

// A circular arc from P about the centre C by the signed angle (axis used in 3D), within
// eps, as a cubic polynomial curve.  -104, -127.
void s1303(const double* P, double eps, double angle, const double* C, const double* axis,
           int dim, spline_curve** curve, int* status);

// An arc of the unit circle from (1, 0) by the angle within the relative tolerance.
void s1301(double tol, double angle, int dim, spline_curve** curve, int* status);

// A conic segment from its three control points and shape factor, as a polynomial curve.
void S1385(const double* p0, const double* p1, const double* p2, double shape, int dim,
           double eps, spline_curve** curve, int* status);

// A polyline within eps of the curve (points: a new array of count * dim values).
void s1605(const spline_curve* curve, double eps, double** points, int* count, int* status);
