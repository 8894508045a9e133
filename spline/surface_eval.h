// Surface evaluation: position, partial derivatives and normal of a spline_surface.
//
// Triangular layout (s1421, s1422, s6strider): for d derivatives, (d+1)(d+2)/2 vectors
// ordered by total order and, within it, by the order in v: S, Su, Sv, Suu, Suv, Svv,
// ...; the entry with i derivatives in u and j in v is vector t(t+1)/2 + j, t = i + j.
// Grid layout (s1424, s1425, s6ratder_surf): entry (i, j) is vector j(d1+1) + i.
// A side choice below 0 uses the interval to the left of an interior knot.
#pragma once

struct spline_surface;

// Statuses of s1421 and s1422 besides 0 and errors: the first derivatives are nearly
// parallel (the sine of their angle at most 0.01), or parallel (or one is zero), so that
// the normal is of no use.
constexpr int kSurfaceNormalWeak = 1;
constexpr int kSurfaceNormalDegenerate = 2;

// Right-hand evaluation with d derivatives in total and, for dim 3 and d > 0, the
// normal Su x Sv.  Status kSurfaceNormalDegenerate when the first derivatives are
// parallel (or one is zero), kSurfaceNormalWeak when the sine of their angle is at most
// 0.01, else 0; all outputs are written.
void s1421(const spline_surface* surface, int d, const double* uv, int* left1, int* left2,
           double* derivs, double* normal, int* status);

// As s1421 with a side choice per direction.
void s1422(const spline_surface* surface, int d, int side1, int side2, const double* uv,
           int* left1, int* left2, double* derivs, double* normal, int* status);

// Right-hand evaluation, d1 derivatives in u and d2 in v, grid layout.
void s1424(const spline_surface* surface, int d1, int d2, const double* uv, int* left1,
           int* left2, double* derivs, int* status);

// As s1424 with a side choice per direction.
void s1425(const spline_surface* surface, int d1, int d2, int side1, int side2, const double* uv,
           int* left1, int* left2, double* derivs, int* status);

// Euclidean derivatives of a rational surface from the homogeneous ones, grid layout.
void s6ratder_surf(const double* hom, int dim, int d1, int d2, double* derivs, int* status);

// The same in the triangular layout.
void s6strider(const double* hom, int dim, int d, double* derivs, int* status);

// Tangents and normal at a point on an edge of the parameter domain where the first
// derivatives vanish or are parallel; derivs in the 3 x 3 grid layout of s1424.
// Status 0 with a normal; else 1 both tangents, 2 only tangent 1, 3 only tangent 2,
// 4 neither.  -101 for dim other than 3, fewer than 2 derivatives or an inner point.
void s6degnorm(const spline_surface* surface, int d, const double* uv, const double* derivs,
               double* tangent1, double* tangent2, double* normal, int* status);

// Cubic Bezier coefficients (4 * dim doubles) of the image of the parameter segment
// from start to end.  -109 for coinciding ends, -106 for a dim other than the surface's.
void surf_segment_bezier(const spline_surface* surface, const double* start, const double* end,
                         int dim, double* coefs, int* status);

// Splits a one-dimensional Bezier segment of m coefficients over [a, b] at x; result
// holds the segment over [a, x] and then the one over [x, b].  Status 1 on success.
void bezier_subdivide(const double* c, double a, double b, double x, int m, double* result,
                      int* status);
