// Independent reference evaluation for the spline tests: Cox-de Boor recursion on the
// chosen knot interval, written from the textbook definitions.
#pragma once

#include <random>
#include <vector>

namespace ref {

// Interval used at x: right-hand (the last l with t[l] <= x, clamped to the range) or
// left-hand (the interval ending at x when x is a knot inside the range).
int interval(const std::vector<double>& t, int k, int n, double x, bool left_hand);

// Derivative j of B_{i,k} at x, evaluated as a polynomial on interval l.
double basis(const std::vector<double>& t, int i, int k, int l, double x, int j);

// Position and derivatives 0..d of a (possibly rational) curve: verts hold width values
// per vertex (dim + 1 homogeneous ones when rational).
std::vector<double> curve(const std::vector<double>& t, int k, int n, const std::vector<double>& verts,
                          int dim, bool rational, double x, int d, bool left_hand);

// Grid derivatives (i, j) at j * (d1 + 1) + i of a surface.
std::vector<double> surface(const std::vector<double>& t1, const std::vector<double>& t2, int k1,
                            int k2, int n1, int n2, const std::vector<double>& verts, int dim,
                            bool rational, double u, double v, int d1, int d2, bool left1 = false,
                            bool left2 = false);

// Solves the n x n system a x = b (a row by row; b holds nrhs columns, row by row, and
// is replaced by x) by Gaussian elimination with partial pivoting.
void dense_solve(std::vector<double> a, int n, std::vector<double>& b, int nrhs);

// A random knot vector of order k for n vertices: clamped or not, with interior knots of
// multiplicity up to max_mult, k-regular at both ends.
std::vector<double> random_knots(std::mt19937& rng, int k, int n, int max_mult, bool clamped);

}  // namespace ref
