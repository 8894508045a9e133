// Knot vectors and the B-spline basis.
//
// A knot vector of order k for n vertices has n + k non-decreasing knots; the
// parameter range is [t[k-1], t[n]].  An interval index l (k - 1 <= l <= n - 1) names
// the interval [t[l], t[l+1]); callers keep it between calls as a guess.
#pragma once

// Code of a parameter that is not a finite number.
inline constexpr int kErrNotFinite = -114;

// Interval of x: t[left] <= x < t[left+1], right-hand at interior knots; parameters
// at or beyond the last interval take it, those at or before the first take that one.
// Errors: -110 k < 1, -111 n < k, -112 ends not k-regular (or a knot vector that is
// not non-decreasing), -114 x not finite.  left is written on success only.
void s1219(const double* t, int k, int n, int* left, double x, int* status);

// Values and d derivatives of the k B-splines non-zero on the interval of x:
// derivative j of B[left-k+1+i] at basis[i * (d + 1) + j].  Errors: -178 d < 0,
// those of s1219, -112 for an empty knot difference.
void s1220(const double* t, int k, int n, int* left, double x, int d, double* basis,
           int* status);

// Number of knots equal to x (the end parameter counts its clamped end knots).
int s6knotmult(const double* t, int k, int n, int* left, double x, int* status);

// Status 1 (and left at that knot) when a knot of multiplicity above m lies strictly
// inside [start, end) and before t[n]; status 0 otherwise.
void s6fndintvl(const double* t, int k, int n, int* left, double start, double end, int m,
                int* status);

// Status 2 when the knot vector is cyclic with enough vertices, 1 when cyclic but
// n < k + p, 0 when not cyclic.
void test_cyclic_knots(const double* t, int n, int k, int* status);
