// The recursive subdivision intersector: the driver that handles the edges of two
// objects and recurses into their interiors, the subdivision step with its box,
// micro and simple-case decisions, the cutting of curves, the Newton settling of
// simple pairs, the side markers of the points found and the marking of points at
// curve ends for the list builder.
//
// Points and curves in any pairing are handled here; the surface paths are declared in
// subdiv_surface.h.
//
// All routines report through their last argument.  Statuses: 0 nothing found, 1
// found, negative errors (reported once through error_report).
#pragma once

#include "spline/detail/isect/isect_records.h"

// Warning of a subdivision that was cut short by the work budget.
constexpr int kSubdivBudgetWarning = 9;

// Number of sh1762 calls now active and the largest level reached.
extern int isect_recursion_level;
extern int isect_recursion_max;

// Work budget of one top-level intersection (calls of sh1762, each charged 1 plus a
// sixteenth of its data's point count); a pair that would be cut beyond it is given up
// and the budget flag is set.  The outermost sh1761 call
// starts a fresh budget (isect_budget_reset).
extern long isect_work_budget;
void isect_budget_reset();
bool isect_budget_exceeded();

// ---- Helpers shared by the subdivision routines

// 1 when the middle of [t[k-1], t[n]] differs from both ends (relative 1e-12).
int interval_divisible(const double* knots, int order, int vertex_count);
// t[(k+n)/2] when it is an inner knot, else the middle of the range.
double middle_knot_value(const double* knots, int order, int vertex_count);
// The point of the data nearest the given one over its parameters (itself skipped).
isect_point* closest_isect_point(isect_data* data, isect_point* point);

// ---- Driver and subdivision

void sh1761(geom_object* object1, geom_object* object2, double epsge, isect_data** data,
            int* status);

void sh1762(geom_object* object1, geom_object* object2, double epsge, isect_data** data,
            edge_table* tables[2], int* status);

void sh1762_s9num(geom_object* object, geom_object* other, int* directions, int* status);
// Length of the surface's middle parameter line in direction 1 or 2 (2 to 4 samples).
double sh1762_sflength(const spline_surface* surface, int direction, int* status);

void sh1762_s9mic(geom_object* object1, geom_object* object2, isect_data** data,
                  edge_table* tables[2], int* status);

void point_near_curve_end(geom_object* object1, geom_object* object2, double epsge,
                          isect_data** data, edge_table* tables[2], int* status);

void put_edge_points(geom_object* object1, geom_object* object2, double epsge, isect_data* sub,
                     int index, double value, isect_data** data, int* status);

void sh1762_s9div(geom_object* object1, geom_object* object2, double epsge, int which,
                  int code, geom_object* pieces[4], edge_table* tables[2], isect_data** data,
                  int* status);

void sh1762_s9subdivpt(geom_object* object1, geom_object* object2, double epsge, int which,
                       int code, edge_table* tables[2], isect_data** data, int* fixed,
                       isect_point** found, double values[2], int* status);

void sh1762_s9update(geom_object* object1, geom_object* object2, double epsge,
                     isect_data** data, edge_table* tables[2], int* status);

void sh1762_s9con(geom_object* object1, geom_object* object2, double epsge, isect_data** data,
                  edge_table* tables[2], int* status);

// ---- Side markers

void mark_point_sides(geom_object* object1, geom_object* object2, double epsge,
                      isect_data** data, edge_table* tables[2], int* added, int* status);
void mark_point_curve_sides(geom_object* object1, geom_object* object2, double epsge,
                            isect_data** data, isect_point* point, int* added, int* status);
void stationary_curve_help_points(geom_object* object1, geom_object* object2, double epsge,
                                  isect_data** data, isect_point* point, int* added,
                                  int* status);
// Two curves: the sides of each curve against the other, left and right of the point,
// from the sign of the cross product of the tangents where they cross.
void mark_curve_curve_sides(geom_object* object1, geom_object* object2, double epsge,
                            isect_data** data, isect_point* point, int* added, int* status);

// Curve evaluation with the one-dimensional coefficients levelled within tolerance.
void flat_curve_eval(const spline_curve* curve, int der, double x, double tolerance, int* left,
                     double* derivs, int* status);

// Marker 4 at the curve ends of every main point (the list builder's top codes).
void mark_param_ends(geom_object* object1, geom_object* object2, isect_data* data,
                     int* status);

// ---- Seam joining and output

void int_join_per(isect_data** data, geom_object* object1, geom_object* object2,
                  const double* coefs, int type, double epsge, int* status);

void hp_s1880(geom_object* object1, geom_object* object2, int type, int param_count1,
              int param_count2, isect_data* data, int* point_count, double** params1,
              double** params2, int** markers, int* curve_count, isect_curve*** curves,
              int* track_count, param_track*** tracks, int* status);

void pick_crv_sf(geom_object* object1, geom_object* object2, int index, isect_point* first,
                 isect_point* last, spline_curve** curve, int* status);

// ---- Curve against line (2D) or plane (3D)

void sh1850(spline_curve* curve, const double* point, const double* normal, int dim,
            double epsco, double epsge, int extra_flag, int* extra_count, void* extra,
            int* point_count, double** params, int** markers, int* curve_count,
            isect_curve*** curves, int* status);

// s1850 itself is declared in spline/isect.h.
