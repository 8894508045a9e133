// Two services on a finished intersection graph: removal of lists that are in fact a
// single point, and the evaluation of the intersection curve at a point of the graph
// (cached in the point), with the derivative blocks of the objects behind it.
#pragma once

#include "spline/detail/isect/isect_records.h"

// Dissolves every list whose points lie in space within the tolerance of its first
// point; the first point survives as an isolated point unless another point already
// stands there.  Lists whose first point has kind word 3 are kept.  Status 0; -101;
// negative statuses of the evaluations and chain steps (all reported as "sh6degen").
void sh6degen(geom_object* object1, geom_object* object2, isect_data** data,
              double tolerance, int* status);

// The derivative block of object `which` (1 or 2) at the point, computed once and
// cached in the point: a curve's position and first derivative (2 dim doubles), a
// surface's position, first and second derivatives (6 dim doubles) followed, for
// dimension 3, by its normal; a point object's coordinates (not cached).  *normal
// points at the normal of a three-dimensional surface and is null otherwise.
void point_object_geom(geom_object* object, int which, isect_point* point, double** block,
                       double** normal, double tolerance, int* status);

// Evaluates the intersection curve at the point and caches it (curve_geom, surf_geom1,
// surf_geom2, evaluated); the three outputs point into those caches.  type 0: two
// parametric objects; 2000: the curve-against-line mode of the seam joining; other
// types: object 2 given implicitly by coefs.  Marks tangential points (kind word 2 or
// 4).  Status 0; -200 for an unsupported configuration; -101; evaluator errors (all
// reported as "shevalint" with the position word of the case).
void shevalint(geom_object* object1, geom_object* object2, const double* coefs, int type,
               isect_point* point, double tolerance, double** curve_geom, double** surf_geom1,
               double** surf_geom2, int* status);
