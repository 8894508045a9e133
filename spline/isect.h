// Public intersection routines of the spline toolkit: a curve against a line or plane,
// two surfaces, two curves (closest points), and the marching of intersection curves.
//
// Everything a caller outside the toolkit needs of the intersection engine is declared
// here; the engine itself lives under spline/detail/isect/ and is not to be included
// from outside the toolkit.  Every routine reports through its last argument, an int
// status: 0 done, positive a warning or a result, negative an error (reported on the
// standard error stream, see spline/status.h).  Output arrays belong to the caller:
// parameter arrays are freed with free, curve arrays with destroy_isect_curve_array
// (spline/handles.h wraps both).
#pragma once

#include "spline/records.h"

// ---- The intersection curve record

// Kinds of an isect_curve (its curve_type).  An end is special when its point is
// singular or has more than two main neighbours.
enum IsectCurveType : int {
  kIsectCurveClosed = 2,           // closed: the first point is also the last
  kIsectCurveOpen = 4,             // open, neither end special
  kIsectCurveSpecialStart = 5,     // open, special start
  kIsectCurveSpecialEnd = 6,       // open, special end
  kIsectCurveSpecialEnds = 7,      // open, both ends special
  kIsectCurveChainedList = 8,      // a list type of the chained point lists
  kIsectCurveConstParamLine = 9,   // a two-point segment along a constant-parameter line
                                   // of a surface; its geometry is that line, filled at once
};

// One output curve of an intersection: its points' parameters on both objects and, once
// a marcher has traced it, its geometry and parameter curves.
struct isect_curve {
  int point_count;
  int param_count1;
  int param_count2;
  double* params1;            // owned, point after point
  double* params2;            // owned, null when param_count2 is 0
  spline_curve* geometry;     // owned, null until a marcher fills it
  spline_curve* pcurve1;      // owned
  spline_curve* pcurve2;      // owned
  int curve_type;             // an IsectCurveType
  int word1;
  int word2;
  int word3;
  int word4;
};

// Adopts params1 and params2 (also when null is returned they stay the caller's).
isect_curve* create_isect_curve(int point_count, int param_count1, int param_count2,
                                double* params1, double* params2, int curve_type);
// Both accept null; the record's arrays and curves go with it.
void destroy_isect_curve(isect_curve* curve);
// Destroys each non-null curve from the last to the first, then frees the array.
void destroy_isect_curve_array(isect_curve** curves, int count);

// ---- A curve against a line (2D) or a plane (3D)

// Intersections of the curve with the line (dim 2) or plane (dim 3) through point
// perpendicular to normal: one curve parameter per single intersection point, and the
// stretches where the curve runs in the line or plane as intersection curves (one
// parameter per point).  -104 dim not 2 or 3, -103 dim not the curve's.  epsco is not used.
void s1850(spline_curve* curve, const double* point, const double* normal, int dim,
           double epsco, double epsge, int* point_count, double** params, int* curve_count,
           isect_curve*** curves, int* status);

// ---- Two surfaces

// s1859 statuses besides 0 (intersection curves returned) and negative errors:
// the work budget of the subdivision was spent; what was found is returned but may be
// incomplete (tangent or coincident surfaces).
constexpr int kS1859BudgetSpent = 9;
// Closed loops of the coincidence kind were found and dropped (they are neither curves
// nor single points of the output).
constexpr int kS1859LoopsDropped = 10;
// No intersection curve is returned: the surfaces do not meet, or they meet only in
// single points.  A caller that needs a curve must stop here.
constexpr int kS1859NoCurve = 11;

// Intersection points and curves of two surfaces.  Each curve is an isect_curve whose
// geometry the marcher s1310 fills later; the caller frees the two parameter arrays with
// free and the curves with destroy_isect_curve_array.  Status: 0 at least one curve
// returned; kS1859BudgetSpent the search was cut short; kS1859LoopsDropped closed loops
// were dropped; kS1859NoCurve no curve returned (the counts say what else was found);
// negative an error (reported as "s1859"; the outputs are not to be used).  When more
// than one warning applies the first of this list wins.
void s1859(spline_surface* surface1, spline_surface* surface2, double epsco, double epsge,
           int* point_count, double** params1, double** params2, int* curve_count,
           isect_curve*** curves, int* status);

// ---- Marching an intersection curve out from its points

// Upper bound of marched points of one curve; a march that reaches it ends with the
// warning status kMarchBudgetSpent and keeps what it has.
constexpr int kMarchPointBudget = 20000;
constexpr int kMarchBudgetSpent = 4;

// What a marcher stores in the curve record (its make_curve argument).
enum MarchCurves : int {
  kMarchGeometry = 1,              // the geometry curve
  kMarchGeometryAndPcurves = 2,    // also both parameter curves
};

// Marches one intersection curve of two surfaces and stores the requested curves in it
// (make_curve a MarchCurves value; graphics 0).  Status 0 done, kMarchBudgetSpent when
// the point budget ended the march, -150 null curve, -123 parameter counts, -185 fewer
// than two points and no constant-parameter line.
void s1310(const spline_surface* s1, const spline_surface* s2, isect_curve* curve, double epsge,
           double max_step, int make_curve, int graphics, int* status);

// Marches one intersection curve of a surface and an implicit surface (implicit kind
// and coefficients as in spline/detail/isect/implicit_forms.h).  Status 0 done,
// 3 singular start or the march turned back (no curve), kMarchBudgetSpent, -150, -123,
// -185.
void s1313(const spline_surface* surface, const double* coefs, int kind, double epsco,
           double epsge, double max_step, isect_curve* curve, int make_curve, int graphics,
           int* status);

// ---- Closest points and greatest extent
//
// Empty outputs are 0 and null.  epsco is accepted and not used; epsge is the tolerance
// of the extremal search, applied to squared distances in s1954 and s1955.  Outputs are
// valid only for a status >= 0.

// Parameter pairs (s on curve 1, t on curve 2) of smallest distance (where the curves
// meet: their intersections), and stretches of smallest distance with one parameter per
// point on each curve.  Curves with the same control polygon and the same knot vector
// (or its mirror, for a reversed copy) give one stretch of type kIsectCurveOpen over the
// whole ranges without a search.  -106 other dimensions.
void s1955(const spline_curve* curve1, const spline_curve* curve2, double epsco, double epsge,
           int* point_count, double** params1, double** params2, int* curve_count,
           isect_curve*** curves, int* status);

// Difference surface D(s, t) = curve1(s) - curve2(t); status 1 when the curves have the
// same control polygon, 2 when curve 2's polygon is curve 1's reversed, else 0.
// -106 other dimensions, -101.
void s1956(const spline_curve* curve1, const spline_curve* curve2, spline_surface** surface,
           int* status);

// Parameter pairs of the surface points closest to point (dim values).  -106.
void s1954(const spline_surface* surface, const double* point, int dim, double epsco,
           double epsge, int* point_count, double** params, int* curve_count,
           isect_curve*** curves, int* status);

// Parameter pairs where the scalar product of the surface with direction is greatest.
void s1921(const spline_surface* surface, const double* direction, int dim, double epsco,
           double epsge, int* point_count, double** params, int* curve_count,
           isect_curve*** curves, int* status);

// ---- Stationary points of one-dimensional curves and surfaces

// Stationary point of a curve of dimension 1 in [start, end].  Status 1 when the first
// derivative at the last evaluation is at most 1e-12 in size, else 0; -106.
void s1172(const spline_curve* curve, double start, double end, double guess, double* result,
           int* status);

// Parameter pair where the surface (dimension 1) comes closest to the point's value;
// guess is the running parameter and is updated.  Status 1 within aepsge, else 2;
// -106, -101.
void s1173(const spline_point* point, const spline_surface* surface, double aepsge,
           const double start[2], const double end[2], double guess[2], double result[2],
           int* status);

// Stationary point of a surface of dimension 1.  Status 1 when the gradient at the last
// evaluation is at most 1e-11 long (or no step was needed), else 0; -106.
void s1174(const spline_surface* surface, const double start[2], const double end[2],
           const double guess[2], double result[2], int* status);
