// Signed area swept by a planar curve about a point.
#pragma once

struct spline_curve;

// Signed area swept by the segment from point to the curve (dim 2): for a closed curve
// the enclosed area, positive when the curve runs counter-clockwise (y axis up).
// -106 for a dimension other than 2 or an order above 6.
void s1241(const spline_curve* curve, const double* point, int dim, double eps, double* area,
           int* status);

// Integral over the whole knot vector (order k) of B_{i,k1} * B_{j,k2}.
void s1244(const double* t, int k, int k1, int k2, int n, int i, int j, double* value,
           int* status);
