// Routines of other parts of the toolkit that the intersection topology calls (curve and
// surface evaluation, the knot search, the point-curve and point-surface Newton
// iterations, the edge search of the chained point lists, the top-code service, the
// point evaluators and the implicit forms), reached through one table so that a test
// can replace any of them with a fake.
#pragma once

struct spline_curve;
struct spline_surface;
struct spline_point;
struct geom_object;
struct isect_data;
struct isect_point;
struct edge_node;

struct isect_service_table {
  // Curve position and derivatives, right-hand at knots: (der + 1) * dim doubles.
  void (*s1221)(const spline_curve* curve, int der, double x, int* left, double* derivs,
                int* status);
  // Surface position and derivatives, triangular layout, with the normal (dim 3).
  void (*s1421)(const spline_surface* surface, int der, const double* par, int* left1,
                int* left2, double* derivs, double* normal, int* status);
  // The same with a side choice per direction (negative: left-hand at knots).
  void (*s1422)(const spline_surface* surface, int der, int side1, int side2, const double* par,
                int* left1, int* left2, double* derivs, double* normal, int* status);
  // Surface derivatives in the grid layout (u fastest).
  void (*s1424)(const spline_surface* surface, int der1, int der2, const double* par, int* left1,
                int* left2, double* derivs, int* status);
  // Tangents and normal at a degenerate point from 3 x 3 grid derivatives.
  void (*s6degnorm)(const spline_surface* surface, int der, const double* par,
                    const double* derivs, double* tangent1, double* tangent2,
                    double* normal, int* status);
  // Closest point on a curve to a point within [start, end] (status 1 found, 2 not).
  void (*s1771)(spline_point* point, spline_curve* curve, double tol, double start,
                double end, double guess, double* result, int* status);
  // Closest point on a surface to a point within a parameter rectangle.
  void (*s1773)(spline_point* point, spline_surface* surface, double tol,
                const double* low, const double* high, const double* guess,
                double* result, int* status);
  // Appends to *head a node for every point of data on the edge of object `which` (1 or
  // 2) where parameter direction `direction` (1 or 2) has the value `value`, counting
  // the nodes in *count.
  void (*s6idedg)(geom_object* object1, geom_object* object2, int which, int direction,
                  double value, isect_data* data, edge_node** head, int* count,
                  int* status);
  // Status 1 when a knot of multiplicity above max_mult lies strictly inside
  // (start, end), else 0.
  void (*s6fndintvl)(const double* knots, int order, int vertex_count, int* left,
                     double start, double end, int max_mult, int* status);
  // Own top codes of every point of the data from the local geometry (slot 0).
  void (*set_point_tops)(geom_object* object1, geom_object* object2, isect_data* data,
                         int* status);
  // Curve evaluation with levelled one-dimensional coefficients.
  void (*eval_curve_levelled)(const spline_curve* curve, int der, double x, double level_tol,
                              int* left, double* derivs, int* status);
  // Intersection-curve caches of a point of two 3D surfaces from their blocks.
  void (*surf_pair_curve_geom)(const double* block1, const double* block2,
                               const double* par1, const double* par2, double* curve_geom,
                               double* surf_geom1, double* surf_geom2, int* status);
  // The same caches for a surface against an implicit object.
  void (*s1306)(const double* block, const double* par, const double* coefs, int type,
                double* curve_geom, double* surf_geom, int* status);
  // Value of the implicit equation at a surface point with derivatives and gradient.
  void (*s1331)(const double* block, const double* coefs, int type, int der,
                double* values, double* gradient, int* status);
  // One-dimensional surface of signed distances from the plane through point.
  void (*s1329)(spline_surface* surface, const double* point, const double* normal, int dim,
                spline_surface** result, int* status);
  // Sphere and cylinder matrices ((dim + 1)^2 doubles each, copies of them; malloc).
  void (*s1321)(const double* centre, double radius, int dim, int copies, double** matrices,
                int* status);
  void (*s1322)(const double* point, const double* axis, double radius, int dim, int copies,
                double** matrices, int* status);
  // The surface of quadric values.
  void (*s1320)(spline_surface* surface, const double* matrices, int count, int rational,
                spline_surface** result, int* status);
  // The one-dimensional surface of torus values (coefs: centre, axis, R, r).
  void (*s1378)(spline_surface* surface, const double* coefs, int type, int dim,
                spline_surface** result, int* status);
  // Box of a surface in slot (code mod 10) with the tolerance.
  void (*surface_box)(spline_surface* surface, int code, double tol, int* status);
};

// The table in use (the defaults unless a test replaced entries).
isect_service_table& isect_services();

// The table the toolkit starts with.
isect_service_table isect_default_services();
