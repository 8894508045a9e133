// Cheap tests of the intersection engine: whether the coefficients of a
// one-dimensional curve or surface change monotonically (so that the function can
// cross a value at most once), and whether the boxes of two objects keep them apart.
#pragma once

struct spline_curve;
struct spline_surface;

// *result 1 when the walk over the coefficients shows one sign of significant steps
// (steps of at least epsge), else 0.  No status: the tests cannot fail.
void curve_coefs_monotone(const spline_curve* curve, double epsge, int* result);

// The same per row and per column of a surface's coefficients; 1 when either
// direction is monotone (or constant), or a direction is linear with two vertices.
void surface_coefs_monotone(const spline_surface* surface, double epsge, int* result);

struct geom_object;

// Builds (or finds cached) the box of slot index mod 10 of the object's point, curve or
// surface for the tolerance: offsets tol/2 outwards, the boundary vertices' inwards in
// slot 2, none in slot 0 or for a point; indices below 10 give 9 directions in 3D and
// 4 in 2D, others the axes.  Status 1 when it has just built the box of a single
// polynomial piece, else 0; -101.
void object_box(geom_object* object, int index, double tol, int* status);

// The same for a surface record; status 0 or negative.
void surface_box(spline_surface* surface, int index, double tol, int* status);

// Results of the box test sh1790.
enum BoxTestResult : int {
  kBoxesApart = 0,            // the boxes do not meet
  kBoxesOverlap = 1,          // the boxes overlap
  kBoxesWithinTolerance = 3,  // both objects lie within the tolerance together
  kBoxTouchesPointBand = 5,   // a point touches the other object's tolerance band
};

// Box test of two objects with the box slot index mod 10: status a BoxTestResult;
// -121 kind, -106 dimensions differ, -105 dimension below 1, box errors.
void sh1790(geom_object* object1, geom_object* object2, int index, double epsge, int* status);
