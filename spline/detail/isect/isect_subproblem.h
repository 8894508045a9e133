// Points across a subdivision line: handing the parent points on a cutting line down to
// the lower-dimensional sub-problem, and bringing the sub-problem's points and
// connections back up with the cut parameter re-inserted.
#pragma once

#include "spline/detail/isect/isect_records.h"

// Prepares the sub-problem on the line where parameter idx has the value: a parent
// segment that crosses the line gets a new point on it (when the position lies on the
// other object within the tolerance), and every parent point on the line gets a sub
// point with one parameter fewer in *sub (created on the first point; null when there
// is none).  Status 0; -101; callee errors reported as "sh6idget".  A null parent gives
// status 0 and no sub data.
void sh6idget(geom_object* object1, geom_object* object2, int idx, double value,
              isect_data* parent, isect_data** sub, double tolerance, int* status);

// Brings the sub points back with the value inserted at idx, merging with held points,
// connecting what was connected, and removing the diagonal pair of parameter squares.
// *new_points (malloc, the caller frees) gets one entry per sub point still standing
// (*count).  Status 0; -191 for idx outside 0 .. the sub points' parameter count;
// -101; callee errors; all reported as "sh6idput".  Null sub data: status 0.
void sh6idput(geom_object* object1, geom_object* object2, isect_data** parent,
              isect_data* sub, int idx, double value, isect_point*** new_points, int* count,
              int* status);

// Searches a cycle of four points P0..P3 of the data with P0, P1 sharing the first
// object's parameters, P1, P2 the second's, P2, P3 the first's and P3, P0 the second's,
// starting from points[0 .. *n - 1].  *found 1 when points holds a complete square.
void find_param_square(isect_data* data, isect_point* points[4], int* n, int count1,
                       int count2, int* found);

// Removes one diagonal pair of a square when the iso-parameter lines of the two
// objects are parallel there.  Entries of the removed points in new_points become null.
// Status 1 two points removed, 0 nothing changed, negative on an evaluation error.
void resolve_param_square(geom_object* object1, geom_object* object2, isect_data** data,
                          isect_point* points[4], int n, isect_point** new_points, int count,
                          int* status);
