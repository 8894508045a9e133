// Bounding boxes of control vertices, kept in an object's param_box.
//
// A slot holds two boxes: values 0 .. m-1 built with the expansions e (interior
// vertices) and f (end vertices), values m .. 2m-1 with 2e and 2f (dim 1: one box).
// Slot 0: no expansion; slot 1: e = f = tol/2; slot 2: e = tol/2, f = -tol/2 scaled
// (the box is pulled in around the end vertices).  Directions: 9 in 3D (x, y, z and
// the six diagonals), 4 in 2D, or the axes only.
#pragma once

struct spline_curve;

// Factor of the diagonal directions (1/sqrt 2).
inline constexpr double kBoxDiagonal = 0.7071067811865476;

// The box of the curve in slot type mod 10; types from 10 on ask for the axis-aligned
// directions only.  The stored box is reused while its tolerance (and number of
// directions) is the same.  Status 1 for a single-segment curve (its interior vertices
// are not expanded); -101, -126.
void curve_box(spline_curve* curve, int type, double tol, int* status);

// Box builders for a grid of a x b vertices (a running fastest; b = 1 for a curve).
void rotated_box_3d(const double* verts, int a, int b, double e, double f, double* high,
                    double* low);
void rotated_box_2d(const double* verts, int a, int b, double e, double f, double* high,
                    double* low);
void axis_box(const double* verts, int a, int b, int dim, double e, double f, double* high,
              double* low, int* status);
