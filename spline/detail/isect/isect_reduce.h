// Points on the parameter boundaries and reduction of the graph before the lists are
// built: the edge tables of both objects, the cleaning of kind-3 points (points found
// on edges or in coincident stretches) and the general reduction.
#pragma once

#include "spline/detail/isect/isect_records.h"

// Fills tables[0] (object 1) and tables[1] (object 2) with the points of the data on
// each edge of the object, promoting the edge points that stand for themselves and
// dropping help points whose main point already lies on an edge without a knot
// between them.  Status 0 or the negative status of the edge or knot search (reported
// as "sh6idalledg").
void sh6idalledg(geom_object* object1, geom_object* object2, isect_data* data,
                 edge_table* tables[2], int* status);

// Reduces the points of kind word 3 and calls sh6red; then demotes main end points
// that only stand for an overlap.  Null data: status 0.  Negative statuses of the
// called operations are passed on (reported as "sh6edgred").
void sh6edgred(geom_object* object1, geom_object* object2, isect_data** data, int* status);

// The general reduction: points inside constant-parameter runs, clusters of interior
// kind-3 points, dangling interior main points and odd spurs at boundary branch points.
// Status 0; -500 when a point's two neighbours are not both connected back (reported
// as "sh6red").
void sh6red(geom_object* object1, geom_object* object2, isect_data** data, int* status);
