// Vector and linear-algebra utilities of the spline toolkit.
//
// Vectors are plain arrays of doubles with their dimension passed beside them; square
// matrices are stored row by row.  No routine allocates a result for the caller.
#pragma once

// The toolkit's equality of doubles: |a - b| <= 1e-12 * max(|a|, |b|), so a comparison
// with 0 holds for 0 only.
bool dequal(double a, double b);
// The same test on a + c and b + c (an offset makes values near 0 comparable).
bool dequal_off(double a, double b, double c);

double vec_dot(const double* a, const double* b, int d);
void vec_diff(const double* a, const double* b, int d, double* out);  // out = a - b
double vec_dist(const double* a, const double* b, int d);
void vec_cross(const double* a, const double* b, double* out);  // 3D; out may not alias
// Euclidean length; flag 1 when it is not zero, else 0.
double vec_length(const double* v, int d, int* flag);
// Returns the length of v; out = v / length and flag 1, or zeros and flag 0 for a zero
// vector.  out may be v.
double vec_normalize(const double* v, int d, double* out, int* flag);
// Angle in [0, pi/2] between the lines spanned by a and b; 0 for a zero vector.
double vec_angle(const double* a, const double* b, int d);

// LU factors of the n x n matrix a in place, scaled partial pivoting; rows are never
// moved, piv records their order.  Status 1 for a singular matrix (no report), -101.
void s6lufacp(double* a, int* piv, int n, int* status);
// Solves with the factors of s6lufacp; b is overwritten by the solution.  Status 1 for
// a zero pivot (no report), -101.
void s6lusolp(const double* a, double* b, const int* piv, int n, int* status);
// Coordinates of v (3D) in the basis b1, b2, b3.  Status 1 for a dependent basis.
void s6decomp(const double* v, double* coords, const double* b1, const double* b2,
              const double* b3, int* status);
// Least-squares x, y minimising |c r - x p - y q|; residual is |s| / |n| signed by s.n
// for the residual vector s (|s| when n is zero).
void lsq_two_unknowns(const double* p, const double* q, const double* n, const double* r, int d,
                      int c, double* x, double* y, double* residual, int* status);
// Two unit vectors completing v (3D) to an orthonormal frame; -174 for a zero vector.
void s6twonorm(const double* v, double* e1, double* e2, int* status);

// 4 x 4 matrices: 16 doubles, element (i, j) at i * 4 + j.
// Placement matrix for column vectors: columns the unit direction P0->P1, the unit
// normal axis x (P1 - P0), the unit axis and the origin P0.  -166 when degenerate.
void s6rotmat(const double* p0, const double* p1, const double* axis, double* m, int* status);
// Inverse by cofactors.  Status 1 (inverse zero) for a singular matrix.
void mat4_inverse(const double* m, double* inv, int* status);
// Column-vector convention: out_i = sum_j m(i, j) x_j + m(i, 3).
void mat4_transform_point(const double* m, const double* x, double* out);
// Row-vector similarity frame: rows (s r, 0), (s w, 0), (s q, 0), (F, 1), see the source.
void axis_frame_matrix(const double* p0, const double* axis, const double* p1, double* m,
                       int* status);
// Row-vector convention: out_i = sum_j m(j, i) x_j + m(3, i), for count 3D points.
void frame_transform_points(const double* m, const double* points, int count, double* out);
