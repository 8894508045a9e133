// Marks on the intersection graph: direction and constant-parameter bits of each
// connection, the four top codes of each neighbour slot, the position of a point
// against the parameter boundaries of the two objects, the common-boundary test of a
// connection, and the two collections over boundary points.
#pragma once

#include "spline/detail/isect/isect_records.h"

// Marks the connection as directed from `from` to `to`.  Status -1 not connected,
// -2 one-sided (both reported; nothing changed).
void sh6setdir(isect_point* from, isect_point* to, int* status);

// Marks parameter 0..3 as constant along the connection p-q (bit parameter+1 on both
// sides).  Status -3 bad parameter, -2 one-sided, -1 not connected (reported).
void sh6setcnsdir(isect_point* p, isect_point* q, int parameter, int* status);

// Top codes of a slot in the order a, c, b, d.  Slot -1, or slot 0 of a point without
// neighbours, is the point's own entry 0.  Status -2 null point, -1 bad slot (reported).
void sh6gettop(const isect_point* point, int slot, int* a, int* c, int* b, int* d,
               int* status);
void sh6settop(isect_point* point, int slot, int a, int c, int b, int d, int* status);

// Merges the own codes (order a, c, b, d) of every help point of the help chain that
// starts at point into codes[4]; visited help points get marker -10, which the caller
// resets.  mode != 0: 1 wins over 2; mode 0: entries 0 or 3 take any code but 0 and 3.
// Status -2 for a null point (reported).
void sh6gettophlp(isect_point* point, int codes[4], int mode, int* status);

// Position of the point in the problem's parameter box: 0 outside, 1 inside on no
// boundary, 2 on a boundary, 3 and 4 at a corner of one or both surfaces, 5 on a
// boundary of both surfaces; -108 null point, -106 wrong parameter count.
void edge_class(const geom_object* object1, const geom_object* object2,
                const isect_point* point, int* cls);

// Whether the connection p-q runs along a common boundary: 0 no, 1 of the first
// object, 2 of the second, 3 both; -108 null point, -106 one-sided connection.
void sh6comedg(const geom_object* object1, const geom_object* object2, isect_point* p,
               isect_point* q, int* result);

// The distinct points of both edge tables (tables[0] first), without help points whose
// main point is among them.  The caller frees *points.  Count 0 and no array when the
// tables hold no node; -101 when the array cannot be allocated.
void sh6edgpoint(edge_table* tables[2], isect_point*** points, int* count, int* status);

// Appends every point of kind word 3 connected to point through points of kind word 3
// (marker -90 while collecting).  The outermost call (entered with *capacity 0)
// allocates the array and resets the markers of the collected points.  The caller
// frees the array.
void collect_edge_group(isect_point* point, isect_point*** array, int* count, int* capacity);
