// Curves and surfaces put into an implicit equation, and the rescaling of lofting
// derivative curves.
//
// An equation has ndim matrices of msize x msize doubles (msize = dim, or dim + 1 on
// homogeneous coordinates); output coordinate l at a parameter is v^T M_l w, v and w
// being derivatives of the given orders (the homogeneous coordinate 1 for order 0,
// else 0).
#pragma once

struct spline_curve;
struct spline_surface;

// The ndim-dimensional curve of the equation's values along the curve.  -112, -151,
// -121 (rational input), -171.
void s1893(const spline_curve* curve, const double* matrices, int msize, int ndim, int d1, int d2,
           spline_curve** result, int* status);

// Knot vector of the result of s1893 (a new array), its order and vertex count.
void s1894(const double* t, int k, int n, int d1, int d2, const double* matrices, int msize,
           int ndim, double** knots, int* order, int* count, int* status);

// The same for a surface, with per output coordinate the derivative orders of v and w in
// the two directions.
void s1896(const spline_surface* surface, const double* matrices, int msize, int ndim,
           const int* v1, const int* v2, const int* w1, const int* w2, spline_surface** result,
           int* status);

// Rescales a lofting derivative curve (vertices changed in place) from the distances to
// the neighbouring sections.
void s1919(const double* t, const double* prev, const double* cur, double* deriv,
           const double* next, int n, int k, int dim, int has_prev, int has_next, double par_prev,
           double par_cur, double par_next, int* status);
