// Implicit descriptions of planes, quadrics (spheres, cylinders) and tori, objects put
// into them (a one-dimensional curve or surface of the equation's values, whose zeros
// are the intersection), and the evaluation of an implicit equation on a surface.
//
// Types: 1 plane (normal n, constant d: n.x + d), 2 quadric (4 x 4 symmetric matrix A,
// row after row: (x, 1) A (x, 1)), 1001 torus (centre, unit axis, major radius R, minor
// radius r), 1003 to 1005 silhouettes (view direction; eye point; axis point and axis
// direction), 2000 a line or plane by point and normal.  Every output array or record
// belongs to the caller (arrays freed with free, records with their destructors).
#pragma once

struct spline_curve;
struct spline_surface;

// Status of a rational object with a weight that is not positive.
constexpr int kErrNonPositiveWeight = -181;

// Sphere (circle for dim 2) matrix of (dim + 1)^2 doubles, written copies times (at
// least once).  -102 for dim below 1, -101.
void s1321(const double* centre, double radius, int dim, int copies, double** matrices,
           int* status);

// Cylinder matrix (4 x 4) written copies times.  -104 for dim other than 3, -173 for a
// zero axis, -101.
void s1322(const double* point, const double* axis, double radius, int dim, int copies,
           double** matrices, int* status);

// The one-dimensional surface of signed distances (S - point).normal (scaled for a
// rational surface).  -106, -101.
void s1329(const spline_surface* surface, const double* point, const double* normal, int dim,
           spline_surface** result, int* status);

// The surface of quadric values, one coordinate per matrix ((dim + 1)^2 doubles each).
// With rational_flag 1 a rational surface gives a rational result of the true values.
// -102, -172 (count outside 1..3), -171, errors of the composition.
void s1320(const spline_surface* surface, const double* matrices, int count, int rational_flag,
           spline_surface** result, int* status);

// The same for a curve of dimension dim (2 or 3, else -104).
void s1370(const spline_curve* curve, const double* matrices, int dim, int count,
           int rational_flag, spline_curve** result, int* status);

// Knot vector for a composition of degree 4: order 4k - 3, inner knots 4k - 4 times.
// end is the index of the last knot of the range.  -101.
void s1376(const double* knots, int end, int order, double** new_knots, int* vertex_count,
           int* new_order, int* status);

// The one-dimensional surface of torus values (type 1001).  -180, -104, -171, -101.
void s1378(const spline_surface* surface, const double* coefs, int type, int dim,
           spline_surface** result, int* status);

// f and its derivatives up to der (0, 1 or 2) on a surface from its evaluation block
// (S, Su, Sv, Suu, Suv, Svv[, Suuu, Suuv, Suvv, Svvv for 1003 to 1005], then the
// normal): values (f, fu, fv, fuu, fuv, fvv) and a direction (3 doubles).  Status 0.
void s1331(const double* block, const double* coefs, int type, int der, double* values,
           double* direction, int* status);
