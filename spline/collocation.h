// Interpolation knot vectors and the collocation system.
#pragma once

// Knot vector for n condition parameters, order k: n + k knots (non-periodic, flag 1)
// or n + 2k - 1 knots (periodic: par holds n + 1 values, the last the end of the
// period).  -112 for decreasing parameters, a knot repeated more than k times or all
// parameters equal; -101.
void s1902(const double* par, int n, int k, int nonperiodic, double** knots, int* status);

// Knot-average interpolation parameters of a knot vector (new arrays of n values).
void s1890(const double* t, int k, int n, double** par, int** der, int* status);

// The d-th derivatives of the k B-splines non-zero on [t[mu], t[mu+1]) at x.
void s1897(const double* t, int k, double x, int mu, int d, double* values, int* status);

// Solves the collocation system: the der[i]-th derivative of the curve at par[i] equals
// condition i, for nrhs blocks of n conditions of dim values.  Returns the vertices (a
// new array, nrhs blocks of vertex-count vectors) and the vertex count: n, or n + k - 1
// for a periodic system (flag other than 1; the last k - 1 vertices repeat the first).
// h and ce are the sizes of the periodic system (k / 2 and k - h - 1), 0 otherwise.
// -112, -160, -162 (zero pivot), -165 (conditions and knots do not interlace), -101.
void s1891(const double* par, const double* rhs, int dim, int n, int nrhs, const int* der,
           int nonperiodic, const double* t, double** verts, int* vertex_count, int k, int h,
           int ce, int* status);
