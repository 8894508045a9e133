// Marching through one intersection point: the whole intersection curve through a
// point is traced by a marcher and classified by where its ends lie, and the points
// found on the edges of a sub-problem are paired by marching from one to the next.
//
// Marched-piece classification (status of s1787 and s1788), with start/end the ordered
// ends of the piece:
//   given point at an end of the piece, listed from that end:
//     11 both ends on the parameter boundary, 12 only the given end, 13 only the other
//     end, 14 neither;
//     16 closed piece and the given point is its start (start = end = piece start);
//     17 closed piece, the given point not its start (given point, piece start);
//   given point inside the piece:
//     21 both ends on the boundary (forward), 22 one end on the boundary (listed from
//     that end), 24 neither (forward), 27 closed (given point, piece start);
//   0 no piece could be marched (start = end = the given point).
#pragma once

struct spline_surface;

// The intersection curve of two surfaces of dimension 3 through the point (u, v on
// surface 1, s, t on surface 2), marched by s1310.  start and end get 4 doubles each.
// aepsge only names the tolerance of the cached boxes.
void s1788(const spline_surface* surface1, const spline_surface* surface2, double aepsge,
           const double point[4], double start[4], double end[4], int* status);

// The level curve f(u, v) = level of a surface of dimension 1 through the point (u, v),
// marched by s1313 as the intersection of the surface's graph with the plane z = level.
// start and end get 2 doubles each.  A constant surface gives 0.
void s1787(const spline_surface* surface, double level, double aepsge, const double point[2],
           double start[2], double end[2], int* status);

// Pairs up the count points (4 parameters each, u v on a then s t on b) found on the
// edges of a two-surface sub-problem by marching from every marked (non-zero mark),
// unpaired point to the other end of its piece.  *points gets a copy of the points and
// *total their number (no points are added: the pairing links existing points only);
// *links gets one int per point: 0 unpaired, else the 1-based number of its partner.
// Both arrays are allocated with malloc for the caller.  Status 1 every point was
// paired; 0 the pairing ended early (a march gave no piece, or its end is none of the
// later points); 2 the same with the first point's mark 2 (a singular point); -101.
// The work is bounded: at most count - 1 marches, each within the marcher's point
// budget.
void s9surmarch(const spline_surface* a, const spline_surface* b, const double* params,
                const int* marks, int count, double** points, int** links, int* total,
                int* status);

// The same for the level curves f(u, v) = level of a surface of dimension 1, two
// parameters per point, marching with s1787.
void s9conmarch(const spline_surface* surface, double level, const double* params,
                const int* marks, int count, double** points, int** links, int* total,
                int* status);
