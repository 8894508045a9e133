// Raising the order of a curve.
#pragma once

struct spline_curve;

// The same curve represented with order K >= its order.  -112, -101, -171.
void s1750(const spline_curve* curve, int K, spline_curve** result, int* status);

// The raised knot vector for order K (a new malloc'd array of N + K doubles).
void s1754(const double* t, int n, int k, int K, double** new_knots, int* new_count,
           int* status);

// The raised knot vector for order k + 1, written into the caller's array (room for
// 2 (n + k) doubles).
void s1755(const double* t, int n, int k, double* new_knots, int* new_count, int* status);

// Vertices of the curve raised by one order, on the raised knots u (order k + 1, N
// vertices).  The two work arrays are not needed and may be null.
void s1753(const double* t, const double* verts, int n, int k, int width, const double* u,
           double* new_verts, int N, double* work1, double* work2, int* status);
