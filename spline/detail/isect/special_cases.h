// Special-case tests of the subdivision intersector: proofs that a sub-problem holds
// no intersection beyond the points already found on its edges.
//
// sh1834, sh1830 and sh1839 rotate copies of two objects into an orthonormal frame
// built from directions of the objects themselves and run the ordinary box test
// (sh1790, axis boxes of slot 2) there: boxes apart in some frame keep the objects
// apart.  sh1831 looks for a line (plane) through a given point that separates the
// control polygons of two curves.  None of them changes the objects passed in.
//
// Results of the frame tests are the box test's: 0 apart, 1 the boxes overlap, 3 or 5
// its other verdicts; negative errors.
#pragma once

struct geom_object;
struct spline_curve;
struct spline_surface;

// Rows (c, s) and (s, -c) from the unit direction (c, s) of d; the identity for a zero
// direction.  frame holds 4 doubles, row after row.
void orthonormal_frame_2d(double frame[4], const double* d);

// Rows d1^, n x d1^, n with n the unit normal of d1 and d2 when that normal has a
// non-zero second or third component; otherwise a frame about d1^ alone (second row
// perpendicular to d1^ in the xy-plane); the identity when d1 is zero or lies along the
// z axis in that case.  frame holds 9 doubles, row after row.
void orthonormal_frame_3d(double frame[9], const double* d1, const double* d2);

// Box test of rotated copies of A and B in the frame of d1 (and d2 in three
// dimensions).  dim must be 2 or 3 (-105); an object of another dimension gives -106;
// -101 when a copy cannot be made.
void sh1834(geom_object* A, geom_object* B, double aepsge, int dim, const double* d1,
            const double* d2, int* status);

// A surface and a curve (either order, both of dimension 3): frames of the curve's
// chord and the normal of the surface's control-net diagonals.  -121 other kinds, -104
// a surface not of dimension 3, -106 a curve of another dimension.
void sh1830(geom_object* A, geom_object* B, double aepsge, int* status);

// A surface A against any object B: frames of A's net diagonals (at most bilinear
// pieces) or of the control-net edges at A's corners.  -122 when A is not a surface.
void sh1839(geom_object* A, geom_object* B, double aepsge, int* status);

// Direction pairs that sh1839 tries, in order, with the dimension b of the surface:
// the two diagonals (count 1) or up to four corner pairs, a pair after the first being
// dropped when both its directions lie within 0.01 rad of the first pair's.  pairs
// holds 4 pairs of two directions of b doubles (24 doubles); *count gets the number of
// pairs kept (0 for a surface of a dimension above 3).  *diagonals is 1 for the
// diagonal pair.
void sh1839_direction_pairs(const spline_surface* surface, double pairs[24], int* count,
                            int* diagonals);

// Separating line (2D) or plane (3D) through M with unit normal N of the control
// polygons of the curves A and B.  sign is +1 when the curves run the same way at the
// place that chose M and N, else -1.  Status 1 when no separation is shown; left as the
// caller set it when the curves are separated; -105 a dimension other than 2 or 3,
// -106 different dimensions.
void sh1831(const spline_curve* A, const spline_curve* B, int sign, const double* M,
            const double* N, double aepsge, int* status);
