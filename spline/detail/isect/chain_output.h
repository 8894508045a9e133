// Output of chained intersection data as single parameter points and isect_curve
// records, and the k-regular copy of a surface.
#pragma once

struct spline_surface;
struct isect_point;
struct isect_list;
struct isect_curve;

// Turns the chained lists into curves (list types 0..5 give curve types 4, 2, 5, 6, 7,
// 8) with param_count1 + param_count2 parameters per point, and every point on no list
// into a single point.  All points are freed and *point_count becomes 0; the lists stay
// with the caller but no longer name any point (first and last are null).  Arrays that
// would be empty are null; the single point count is the number of points written.
// -101, -137 a list of no points, -146 an unknown list type.
void s1880(int param_count1, int param_count2, int* point_count, isect_point** points,
           int* list_count, isect_list** lists, int* single_count, double** params1,
           double** params2, int* curve_count, isect_curve*** curves, int* status);

// A copy of the surface over its full parameter rectangle with end knots of full
// multiplicity (a periodic direction becomes closed, open flag 0).
void make_sf_kreg(const spline_surface* surface, spline_surface** result, int* status);
