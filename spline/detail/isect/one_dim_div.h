// One-dimensional subdivision: a scalar surface f(u, v) against a value c, in the case
// where the level curve f = c runs along an edge of a single polynomial piece.  Plain
// subdivision keeps finding such an edge curve in every piece; instead the linear
// factor that vanishes along the edge is divided out of f - c, the reduced surface is
// intersected with 0 through the recursive driver, and its points and connections are
// carried back into the caller's intersection data.
//
// Every routine reports through its last argument: 0 (or the result named below), or a
// negative error reported once through error_report.
#pragma once

#include "spline/detail/isect/isect_records.h"

// Division of a single-piece curve (order k equal to the vertex count n, so that the
// coefficients are Bernstein coefficients) by the linear factor that vanishes at its
// start (end_flag 0) or at its end (end_flag != 0).  The coefficient the factor makes
// zero is not read, so with s = (t - a) / (b - a) on the interval [a, b] the result q
// satisfies s q = p, respectively (1 - s) q = p, whenever p vanishes at that end.  The
// result has order k - 1 and n - 1 vertices over the same interval.  Status 0 with a
// new curve (the caller destroys it); -150 no curve, -151 order below 3, -152 order
// different from the vertex count, -121 a rational curve, -101 memory.  epsge is not
// used.
void sh_div_crv(const spline_curve* curve, int end_flag, double epsge, spline_curve** result,
                int* status);

// The same division for a surface, one direction at a time: flag1 / flag2 -1 leaves the
// direction alone, 0 divides by the factor vanishing at the direction's start, 1 by the
// one vanishing at its end.  Status 0 with a new surface; errors of sh_div_crv (the
// surface must be a single piece of order >= 3 in every divided direction), -150 no
// surface, -121 a rational surface, -101 memory.
void divide_surface_factor(const spline_surface* surface, int flag1, int flag2, double epsge,
                           spline_surface** result, int* status);

// Adds *point to the data (created when null).  Status 0 appended; 1 the record is
// already held; 2 with identify != 0, the point lies on the same level piece of the
// surface as a held point (s6identify with the given value): the new point is destroyed
// and *point names the held one; -101 memory.
void sh_1d_div_sh9idnpt(const spline_surface* surface, const spline_point* point,
                        isect_data** data, isect_point** new_point, int identify, double epsge,
                        int* status);

// The common edges found among the corner points of the edge tables.  chain1 holds the
// points along an edge of constant first parameter (sorted by the second), chain2 those
// along an edge of constant second parameter (sorted by the first); each has count
// entries (0 or 2 when found).  flag1 / flag2 are the division flags of
// divide_surface_factor (-1 none).
struct one_dim_edges {
  isect_point* chain1[2];
  int count1;
  isect_point* chain2[2];
  int count2;
  int flag1;
  int flag2;
};

// Steps of sh_1d_div before any change: status 1 when the case applies (edges filled),
// 0 when it does not (a point object of dimension other than 1, a rational surface, more
// than one piece or an order below 3 in a direction, fewer than two corner points, no
// two of them connected along a common edge, no edge tables); -150 when surface_object
// is not a surface of dimension 1; errors of the graph routines.
void sh_1d_div_edges(geom_object* surface_object, geom_object* point_object,
                     edge_table* tables[2], one_dim_edges* edges, int* status);

// The reduced surface of the case: the coefficients of surface lying within epsge of
// the level c are set to c (in place), then the factors named by the flags are divided
// out of f - c.  The level curves f = c away from the divided edges are the zero set of
// the result.  Status 0 with a new surface; errors of divide_surface_factor.
void sh_1d_div_reduce(spline_surface* surface, double level, int flag1, int flag2, double epsge,
                      spline_surface** reduced, int* status);

// Carries the result of the reduced problem back: the help points of *sub_data are
// removed (the data is destroyed and *sub_data set to null when it becomes empty); each
// other point is copied (parameters, value, kind word, own side markers) into *data,
// where a copy on the same level piece as a held point is replaced by that point; copies
// on a divided edge are put into the edge's chain between the points enclosing them;
// connections of the sub-problem are made between the copies with their marks, and a
// copy of a main point with main neighbours becomes a main point.  Status 0, negative
// on error (points inserted so far stay in the data).
void sh_1d_div_merge(geom_object* surface_object, geom_object* point_object, double epsge,
                     isect_data** sub_data, const one_dim_edges* edges, isect_data** data,
                     int* status);

// The whole case for the subdivision step: status 1 handled (also when the reduced
// surface gave no points), 0 the case does not apply, negative on error.  data is the
// caller's intersection data, tables the pair's two edge tables.  The intersection of
// the reduced surface runs through the recursive driver sh1761.
void sh_1d_div(geom_object* surface_object, geom_object* point_object, double epsge,
               isect_data** data, edge_table* tables[2], int* status);
