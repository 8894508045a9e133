// Curves on a common basis, surface interpolation through a grid, and lofting.
#pragma once

struct spline_curve;
struct spline_surface;

// The curves (polynomial, one dimension) on one knot vector and order: the common knots,
// every curve's vertices one after the other, the vertex count and the order (new arrays
// the caller frees).  The caller's curves are not changed.  -179, -170, -151, -124, -112,
// -121 (a rational curve).
void s1931(int count, spline_curve* const* curves, double** knots, double** verts, int* n, int* k,
           int* status);

// Moves a knot vector onto [a, b] in place.  -112, -124.
void s1934(double* t, int n, int k, double a, double b, int* status);

// The union of two knot vectors of order k (a new array); merged vertex count.
void s1935(const double* t1, int n1, const double* t2, int n2, double** merged, int* n, int k,
           int* status);

// The vertices of a curve on a refined knot vector (out: refined n * dim values).
void s1936(const spline_curve* curve, const double* refined, int refined_n, double* verts,
           int* status);

// Grid parameters: one value per line (plus the closing value for a closed direction);
// type 1 chord length, 2 uniform.
void s1531(int dim, int n1, int n2, const double* points, int type, int open1, int open2,
           double** par1, double** par2, int* status);

// Interpolating surface through a grid at the given parameters.
void s1537(const double* points, int n1, int n2, int dim, const double* par1, const double* par2,
           int start2, int end2, int start1, int end1, int k1, int k2, int open1, int open2,
           spline_surface** surface, int* status);

// Interpolating surface through a grid with automatic parameters (type 1 or 2; -102
// otherwise).
void s1536(const double* points, int n1, int n2, int dim, int type, int start2, int end2,
           int start1, int end1, int k1, int k2, int open1, int open2, spline_surface** surface,
           int* status);

// Lofted surface through the curves (types as the point types of interpolation; the
// types array is updated in place).  Cross parameters: a new array, one per position
// curve plus the closing value for a closed loft (a previous array in *params is freed).
void s1538(int count, spline_curve* const* curves, int* types, double start, int open_flag,
           int order, int adjust, spline_surface** surface, double** params, int* status);

// Smallest seam continuity of the curves (-1 when a curve is clamped at an end).
void s1333_count(int count, spline_curve* const* curves, int* continuity, int* status);

// Makes the first direction of a surface periodic with continuity c, in place.
void s1333_cyclic(spline_surface* surface, int c, int* status);

// Knot-insertion coefficients of new vertex j (given counted from 1, as j + 1) of the
// refined knots over the old vertices mu - k .. mu - 1, with t[mu - 1] <= the new
// vertex's knot < t[mu]: coefs[i - (mu - k)] belongs to old vertex i.
void refinement_alpha(const double* t, int k, int j1, int mu, double* coefs, const double* refined);
