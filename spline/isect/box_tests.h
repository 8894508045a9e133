// Cheap tests of the intersection engine on one-dimensional objects: whether the
// coefficients of a curve or surface change monotonically (so that the function can
// cross a value at most once).
#pragma once

struct spline_curve;
struct spline_surface;

// *result 1 when the walk over the coefficients shows one sign of significant steps
// (steps of at least epsge), else 0.  No status: the tests cannot fail.
void curve_coefs_monotone(const spline_curve* curve, double epsge, int* result);

// The same per row and per column of a surface's coefficients; 1 when either
// direction is monotone (or constant), or a direction is linear with two vertices.
void surface_coefs_monotone(const spline_surface* surface, double epsge, int* result);
