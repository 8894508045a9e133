// Helpers of the connection step sh1762_s9con (declared in subdiv.h): the choice of
// special-case tests for a sub-problem with few edge points, and the coincidence tests
// that decide whether two edge points are joined by a stretch along which the objects
// run together.
#pragma once

struct geom_object;
struct isect_point;

// Runs the special-case tests that fit the pair for n (0 or 1, or more points on common
// edges of two surfaces) edge points.  Status 2 when they prove that the pair holds no
// intersection beyond its edge points, 0 when not settled, negative on error (not
// reported here).  Some tests take the objects in the order (A, B) at an even
// subdivision level and (B, A) at an odd one.
void special_case_dispatch(geom_object* A, geom_object* B, double aepsge, int n,
                           isect_point** points, int* status);

// Status 1 when the two points (count is 2) are joined by a stretch along which the
// objects coincide within aepsge (a curve with a surface or a curve, a point with a
// surface), 0 when not shown; negative on error (not reported here).
void coincident_segment_test(geom_object* A, geom_object* B, double aepsge, int count,
                             isect_point** points, int* status);

// Status 1 when every inner sample of A's parameter rectangle (30 per span and
// direction) lies within aepsge of B, else 0; negative on error.  The chain arguments
// are not used.
void surface_coincidence_test(geom_object* A, geom_object* B, double aepsge, int chain_length,
                              isect_point** chain, int* status);
