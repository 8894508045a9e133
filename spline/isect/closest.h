// Closest points between two curves, closest points of a surface to a point, and the
// greatest extent of a surface in a direction, by the extremal search of extremal.h.
//
// Outputs belong to the caller: parameter arrays are freed with free, the isect_curve
// array with destroy_isect_curve_array.  Empty outputs are 0 and null.  epsco is
// accepted and not used; epsge is the tolerance of the extremal search, applied to
// squared distances in s1954 and s1955.  Outputs are valid only for a status >= 0.
#pragma once

struct spline_curve;
struct spline_surface;
struct isect_curve;

// Parameter pairs (s on curve 1, t on curve 2) of smallest distance, and stretches of
// smallest distance with one parameter per point on each curve.  Curves with the same
// control polygon and the same knot vector (or its mirror, for a reversed copy) give one
// stretch of type 4 over the whole ranges without a search.  -106 other dimensions.
void s1955(const spline_curve* curve1, const spline_curve* curve2, double epsco, double epsge,
           int* point_count, double** params1, double** params2, int* curve_count,
           isect_curve*** curves, int* status);

// Difference surface D(s, t) = curve1(s) - curve2(t); status 1 when the curves have the
// same control polygon, 2 when curve 2's polygon is curve 1's reversed, else 0.
// -106 other dimensions, -101.
void s1956(const spline_curve* curve1, const spline_curve* curve2, spline_surface** surface,
           int* status);

// Parameter pairs of the surface points closest to point (dim values).  -106.
void s1954(const spline_surface* surface, const double* point, int dim, double epsco,
           double epsge, int* point_count, double** params, int* curve_count,
           isect_curve*** curves, int* status);

// Parameter pairs where the scalar product of the surface with direction is greatest.
void s1921(const spline_surface* surface, const double* direction, int dim, double epsco,
           double epsge, int* point_count, double** params, int* curve_count,
           isect_curve*** curves, int* status);
