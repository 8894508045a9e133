// Small helpers shared by the marching routines.
#pragma once

struct spline_surface;

namespace march_detail {

// J counts as zero against the magnitude m.
bool negligible(double j, double m);

// Surface evaluation with der (2 or 3) derivatives into a block: derivatives in the
// triangular layout followed by the normal.
void eval_block(const spline_surface* s, int der, const double* uv, double* block, int* status);

// Inclusive test of a parameter pair against a rectangle.
bool inside(const double* p, const double* urange, const double* vrange);

// Orientation test of the reach tests (t1 at the current point, t2 at the target, d the
// direction to the target).
bool same_orientation(const double* t1, const double* t2, const double* d);

}  // namespace march_detail
