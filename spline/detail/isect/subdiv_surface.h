// Surface paths of the subdivision intersector: connection directions and boundary
// marks of edge points brought up from a sub-problem, the small-area simple case of
// two surfaces, the micro case of a surface against a point, and the cutting of
// surfaces (cut values, the taboo test and the sub-problems on the dividing lines).
//
// All routines report through their last argument (0 or a result, negative errors).
#pragma once

#include "spline/detail/isect/isect_records.h"

// Directions and constant-parameter marks of the connections among the points that a
// sub-problem on an edge (constant parameter `index` among all parameters of the pair)
// added to the data.  Statuses 0, -104, -106 or a callee's; nothing is reported here.
void edge_dirs_point_surface(geom_object* object1, geom_object* object2, double epsge,
                             isect_data** data, isect_point** points, int count, int index,
                             int* status);
void edge_dirs_curve_surface(geom_object* object1, geom_object* object2, double epsge,
                             isect_data** data, isect_point** points, int count, int index,
                             int* status);
void edge_dirs_surface_surface(geom_object* object1, geom_object* object2, double epsge,
                               isect_data** data, isect_point** points, int count, int index,
                               int* status);

// Two surfaces whose simple-case test failed but whose edge tables hold points: status
// 1 when the pieces are small against their origins (area ratio 1e-4 with one edge
// point, 1/256 with more), else 0; -106 for different dimensions.
void sh1762_s9simple(geom_object* object1, geom_object* object2, edge_table* tables[2],
                     int* status);

// Micro case of a surface against a point of dimension at most 2 (or any pair whose
// non-point object is a surface): every point of the data inside or on the boundary of
// the two domains becomes a main point of kind word 3.  Status 1, or a callee's
// negative status.
void s9mic_surface_points(geom_object* object1, geom_object* object2, isect_data* data,
                          int* status);

// 1 when dividing the surface at the point's value of `direction` (1 or 2) would make
// the dividing line run along the intersection curve through the point.  other is the
// second surface of a surface pair (its parameters follow the first's in the point), or
// null for a one-dimensional surface against a value.  On success the status is left
// as it was; -104, -105 or an evaluation error otherwise (reported).
int sh1762_is_taboo(geom_object* surface, geom_object* other, isect_point* point, int direction,
                    int* status);

// Cut values of a dividing surface (values[0] first direction, values[1] second) and the
// fixed flag; called by sh1762_s9subdivpt for a surface.
void s9subdivpt_surface(geom_object* object1, geom_object* object2, double epsge, int which,
                        int code, edge_table* tables[2], isect_data** data, int* fixed,
                        isect_point** found, double values[2], int* status);

// Division of a surface (codes 1, 2 and 3) with the sub-problems on the dividing lines;
// called by sh1762_s9div for a surface.  Reports its own failures.
void s9div_surface(geom_object* object1, geom_object* object2, double epsge, int which,
                   int code, geom_object* pieces[4], edge_table* tables[2], isect_data** data,
                   int* status);

// Cut value of a curve against a surface when the curve has no inner point to cut at: a
// Newton iteration for the closest point inside a single polynomial piece.  *usable 0
// when the result cannot serve (the surface parameters outside the inner box).
void s9subdivpt_curve_on_surface(geom_object* curve, geom_object* surface, double epsge,
                                 double s, double e, double* u, int* usable, int* status);

// The sub-problem on the dividing point of a curve cut against a curve or a surface:
// the points of the data at the cut are collected, the point is intersected with the
// other object and the points found are brought back (status 1), with the union of the
// found point used for the cut when every point was new.
void s9div_curve_point(geom_object* object1, geom_object* object2, double epsge, int which,
                       double u, isect_point* found, geom_object* cut, edge_table* tables[2],
                       isect_data** data, int* status);
