// Simple-case tests of the intersection engine from direction cones: a pair of
// objects is simple when it can meet at most once (curves, curve and surface, a point
// and a curve or surface) or in at most one branch (two surfaces).
//
// A curve's cone holds the directions of its control-polygon segments, a surface's the
// normals at the corners of its control-net quadrilaterals.  Cones are built on demand
// and kept in the record's `cone` field for the record's life (a record that has one is
// never rebuilt).  Cone flags: 0 a cone with half-opening below 0.75; 3 (curves), 10 or
// 20 (surfaces) a cone that reached 0.75 or more; 1 or 2 no cone.  Every test is
// conservative: "simple" only when the cones prove it.
#pragma once

struct spline_curve;
struct spline_surface;
struct geom_object;

// Status 1 simple, 0 not shown simple; -106 dimensions differ; -101.  Sets object 1's
// `extra` to object 2 for a simple surface pair.
void s1741(geom_object* object1, geom_object* object2, double aepsge, int* status);

// Builds the curve's tangent cone when it has none.  Status 0 for a cone of flag 0;
// otherwise unchanged; -101 (nothing is left attached then).
void s1991(spline_curve* curve, double aepsge, int* status);

// Builds the surface's normal cone when it has none.  Status 0; -101 (nothing is left
// attached then).
void s1990(spline_surface* surface, double aepsge, int* status);

// Finer tests on the projections of the directions onto the plane of the two cone
// axes; phi is the angle between the axes.  Status 1 simple, 0 not; -101.
void s1796(spline_curve* curve1, spline_curve* curve2, double aepsge, double phi, int* status);
void s1795(spline_surface* surface1, spline_surface* surface2, double aepsge, double phi,
           int* status);
void cone_test_surface_curve(spline_surface* surface, spline_curve* curve, double aepsge,
                             double phi, int* status);
