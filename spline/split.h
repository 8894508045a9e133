// Knot insertion, splitting curves and surfaces, and sub-surfaces.
//
// Results are new records (copy mode 2) that the caller frees with destroy_curve or
// destroy_surface.  Rational input is handled on its homogeneous vertices and gives
// kind 2.
#pragma once

struct spline_curve;
struct spline_surface;

// Coefficients of new vertex imy after inserting x h times into the knots t (order k,
// n vertices): new vertex = sum over i = first .. last of coefs[offset + i] * old
// vertex i.  -152 when h >= k.  coefs holds k doubles.
void s1700(int imy, int k, int n, int h, int* offset, int* first, int* last, const double* t,
           double x, double* coefs, int* status);

// The same for new vertex imy of a refined knot vector tau of the old knots t (n old
// vertices); mu is the old interval with t[mu] <= tau[imy] < t[mu+1].  work is not
// needed and may be null.
void refine_alpha(int imy, int mu, int k, int n, int* offset, int* first, int* last,
                  const double* tau, const double* t, double* work, double* coefs, int* status);

// Splits a curve at x into two pieces (outputs set to null first).  Status 5 when the
// split lies at an end and only one piece (a copy) exists; a periodic curve is opened
// at x instead: one closed curve in the first output, status 2.  -150, -158, -154, -101.
void s1710(const spline_curve* curve, double x, spline_curve** first, spline_curve** second,
           int* status);

// As s1710 strictly inside the range: both pieces are required.
void s1231(const spline_curve* curve, double x, spline_curve** first, spline_curve** second,
           int* status);

// Splits a surface at x in direction 1 (direction 1) or 2 (any other value).
void s1711(const spline_surface* surface, int direction, double x, spline_surface** first,
           spline_surface** second, int* status);

// The part of a surface inside [u0, u1] x [v0, v1]; a periodic direction may be cut
// across its seam.
void s1001(const spline_surface* surface, double u0, double v0, double u1, double v1,
           spline_surface** result, int* status);

// Rewrites a polynomial curve in place on a knot vector that is periodic at both ends
// with continuity c (c above k - 2 is taken as k - 2; c < 0 changes nothing); the curve
// keeps its shape on its range and gets open flag -1.  Unchanged on an error.
void make_cv_cyclic(spline_curve* curve, int c, int* status);
