// The work of s1902 and s1891 for the toolkit's own routines: into the caller's arrays,
// work arrays from a memory resource, statuses returned without reports.
#pragma once

#include <memory_resource>

namespace spline_detail {

// The knot vector of s1902 into t (n + k values, or n + 2k - 1 for a periodic vector).
// Returns a status.
int interpolation_knots(const double* par, int n, int k, bool periodic, double* t);

// The collocation system of s1891 solved into verts (nrhs blocks of n, or n + k - 1 for
// a periodic system, vertices), its work arrays taken from mem.  Returns a status.
int collocation_solve(const double* par, const double* rhs, int dim, int n, int nrhs,
                      const int* der, bool periodic, const double* t, int k, double* verts,
                      std::pmr::memory_resource* mem);

}  // namespace spline_detail
