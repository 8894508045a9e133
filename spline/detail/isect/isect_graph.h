// Operations on the graph of intersection points: counting and walking neighbours,
// connecting and disconnecting, adding, removing, uniting and splitting points,
// promoting and demoting between main and help points, and projecting a position onto
// an object.
//
// Every operation keeps the graph two-sided: after it returns with a status >= 0, p
// lists q exactly when q lists p.  The operations are not transactional: an error in
// the middle leaves the changes made so far.
#pragma once

#include "spline/detail/isect/isect_records.h"

// Parameter box of an intersection problem: the first object's parameter intervals,
// then the second's (a curve: [knots[order-1], knots[vertex_count]]; a surface: the
// same per direction; a point object: none).  Returns the number of parameters (at
// most 4) or -1 for a null object or an object of another kind.
int problem_param_box(const geom_object* object1, const geom_object* object2,
                      double start[4], double end[4]);

// Neighbour in a slot; null for a null point or a slot outside the used ones.
isect_point* get_neighbour(const isect_point* point, int slot);

// Numbers of main and of help neighbours.  A null slot stops the count with status -1
// (reported); the status is written only then, so the caller sets it to 0 first.
int sh6nmbmain(const isect_point* point, int* status);
int sh6nmbhelp(const isect_point* point, int* status);

// For a main point its main neighbours, for any other point all its neighbours in slot
// order: code 3 none, 1 one (a), 0 two (a, b), 2 more than two (a = b = null).
void main_neighbours(const isect_point* point, isect_point** a, isect_point** b, int* code);

// The main point a help point belongs to; null when there is none.
isect_point* sh6getmain(isect_point* point);

// Reorders points[0..n-1] in place to follow the connections from points[0]; the other
// side of points[0] is followed after the first walk ends.  count: points placed in
// chain order; code 1 closed, 0 open, 2 no second point found.
void order_point_chain(isect_point** points, int n, int* count, int* code);

// 1 when target is reached from start without stepping straight back; every visited
// point gets marker -199 (the caller clears them).
int reaches_point(isect_point* from, isect_point* start, isect_point* target);

// Status 0 connected, 1 already connected, -2 capacity inconsistent or promotion failed,
// -3 connected one-sided, -4 the same point, -101 the slot arrays could not grow.
void sh6connect(isect_point* p, isect_point* q, int* status);
// Status 0 removed, 1 not connected, -1 one-sided.
void sh6disconnect(isect_point* p, isect_point* q, int* status);
// Puts new_point between the connected a and b, keeping the marks of a-b on both new
// segments.  Status -1 when a and b are not connected.
void sh6insertpt(isect_point* a, isect_point* b, isect_point* new_point, int* status);
// Adds *new_point to the data (with merging) and puts it between a and b.  Status 1 and
// nothing else when the data already held it or an equal point.
void sh6insert(isect_data** data, isect_point* a, isect_point* b, isect_point** new_point,
               int* status);
// Adds both points with merging and connects them (already connected counts as done).
void sh6idcon(isect_data** data, isect_point** p, isect_point** q, int* status);

// Adds a point (creating the data when null).  Status 0 added, 1 already held, 2 an
// equal point was held (the new one is destroyed and *point names the held one),
// -101 allocation.
void sh6idnpt(isect_data** data, isect_point** point, int merge, int* status);

// Disconnects the point, removes it from the data and destroys it; with bridge != 0 a
// main point's help chains go first and its two main neighbours are reconnected with
// the marks of the removed segments.  Status 0, 1 the point is null or not held (it is
// destroyed anyway), -1 an inconsistent connection.  An emptied data is destroyed.
void remove_point(isect_data** data, isect_point** point, int bridge, int* status);

// Unites *p and *q into one point (the main point survives), its parameters the
// weighted mean of both with the second object's parameters projected from the first
// object's position.  On return *p is the survivor and *q null.
void sh6idunite(geom_object* object1, geom_object* object2, isect_data** data,
                isect_point** p, isect_point** q, double weight, double tolerance,
                int* status);
// The same without objects: all parameters the weighted mean.
void sh6idunite_lin(isect_data** data, isect_point** p, isect_point** q, double weight,
                    int* status);

// Gives each main neighbour beyond the one in the lowest slot its own copy of the
// point.  Status 1 for a null point.
void split_point(isect_data** data, isect_point* point, int* status);

// Help point to main point (and, recursively, every help neighbour with more than one
// neighbour).  Status 1 when not a help point, -1 null.
void sh6tomain(isect_point* point, int* status);
// Main point to help point.  Status 1 when not a main point, -1 null.
void sh6tohelp(isect_point* point, int* status);

// Parameters of the object's point nearest to position (Newton iteration from start
// within the object's parameter box); status as the iteration's (1 found).  For a point
// object status 1 when the distance is below the tolerance, else 2.  -106 for a null
// object or another kind.
void sh6ptobj(const double* position, geom_object* object, double tolerance,
              const double* start, double* result, int* status);

// Position of object1 (selector 0) or object2 (selector 1) at the point parameters
// params (object 2's parameters follow object 1's).  position gets the object's dim
// values; *status 0 or the evaluator's negative status.
void eval_object_at(geom_object* object1, geom_object* object2, const double* params,
                    double* position, int* status);

// Dimension of an object's geometry (0 for a null object or unknown kind).
int object_dim(const geom_object* object);
