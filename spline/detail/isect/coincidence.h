// Coincidence tests: do two objects stay within aepsge of each other all the way
// between two of their intersection points?  Each marches from the first point to the
// second with steps from the local curvature and checks every step.  Status 1 they
// coincide between the points, 0 they do not (or the points are the same), negative
// on error.
#pragma once

struct spline_curve;
struct spline_surface;

// A curve against a surface, both of dimension 3.  Points hold (t, u, v) when
// curve_first is 1, else (u, v, t).  -105 for another dimension.
void S1785(const spline_curve* curve, const spline_surface* surface, double aepsge,
           const double point1[3], const double point2[3], int curve_first, int* status);

// Two curves of one dimension (at most 3); points hold (t on curve 1, s on curve 2).
// Curve 2 may run the other way (s of the second point below the first's).  -105 for
// differing dimensions or a dimension above 3.
void S1786(const spline_curve* curve1, const spline_curve* curve2, double aepsge,
           const double point1[2], const double point2[2], int* status);

struct spline_point;

// A point against a surface (dimension 2 or 3, the point's): does the surface keep the
// point's position all along a path in its parameter plane from the first parameter
// pair to the second?  -105 for another dimension.
void s1789(const spline_point* point, const spline_surface* surface, double aepsge,
           const double point1[2], const double point2[2], int* status);
