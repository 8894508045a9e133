// Pairs of the intersection engine that involve a surface: the Newton settling of a
// simple pair with a surface, the side markers of points on a curve against a surface
// (and of a point against a planar surface), and the surface/surface entry points.
//
// All routines report through their last argument (see spline/status.h and subdiv.h).
#pragma once

#include "spline/detail/isect/isect_records.h"

// ---- Newton settling of simple pairs with a surface

// The part of sh1762_s9update for pairs in which at least one object is a surface: a
// point against a surface, a curve against a surface (either order) and two surfaces.
// Statuses as sh1762_s9update: 0 not settled, 1 settled with a change, 2 settled with
// nothing added; -106 dimensions differ, -121 an object of another kind, -101 memory.
// Errors are reported as "sh1762_s9update".
void sh1762_s9update_surface(geom_object* object1, geom_object* object2, double epsge,
                             isect_data** data, edge_table* tables[2], int* status);

// ---- Side markers with a surface

// A curve against a surface in three dimensions: the curve's markers at the point (on
// which side of the surface the curve runs before and after it, or 3 where the curve
// runs in the surface), with a help point where such a stretch ends.  Where the curve
// touches the surface, a side without a known neighbour point is followed along the
// surface until the curve leaves it; that side's marker is the side of the first
// separate curve point against the surface at its foot point.  Help points are not
// processed.  Status 0; -106 when the objects are not a curve and a surface of
// dimension 3; negative statuses of the evaluations, the march and the graph operations.
void mark_curve_surface_sides(geom_object* object1, geom_object* object2, double epsge,
                              isect_data** data, isect_point* point, int* added, int* status);

// A planar surface against a point: the point's markers from the orientation of the
// surface's parametrisation there; the surface's markers are cleared.  No help points.
// Status 0; -106 when the surface is not of dimension 2.
void mark_point_surface_sides(geom_object* object1, geom_object* object2, double epsge,
                              isect_data** data, isect_point* point, int* added, int* status);

// ---- Surface against surface

// Core of s1859.  Surfaces of one dimension, which must be 3 (-106 when they differ,
// -105 for another dimension).  Every count is zeroed first; on return the single
// points (two parameters per point on each surface, two arrays), their four side
// markers each, the intersection curves and the parameter tracks, all owned by the
// caller.  Status 0, kS1859BudgetSpent, or negative (reported as "sh1859").  epsco and
// the extra arguments are not used; the extra count is set to 0.
void sh1859(spline_surface* surface1, spline_surface* surface2, double epsco, double epsge,
            int extra_flag, int* extra_count, void* extra, int* point_count, double** params1,
            double** params2, int** markers, int* curve_count, isect_curve*** curves,
            int* track_count, param_track*** tracks, int* status);

// s1859 itself (with its statuses) is declared in spline/isect.h.
