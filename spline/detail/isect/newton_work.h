// Internal: pieces shared by the curve-surface and the planar curve-curve iterations:
// the block of work vectors, the cut of a step into the parameter box and the small
// linear solve with one refinement step.
#pragma once

#include <cstdlib>
#include <memory>

#include "spline/linalg.h"

namespace newton_detail {

// Width vectors of dim doubles, zeroed: on the stack up to dimension 3, else on the
// heap.  get() is null when the heap block could not be had.
template <int Width>
class WorkBlock {
 public:
  explicit WorkBlock(int dim) {
    if (dim > 3) {
      heap_.reset(static_cast<double*>(std::malloc(sizeof(double) * Width * dim)));
      mem_ = heap_.get();
    }
    if (mem_)
      for (int i = 0; i < Width * dim; ++i) mem_[i] = 0.0;
  }
  WorkBlock(const WorkBlock&) = delete;
  WorkBlock& operator=(const WorkBlock&) = delete;
  double* get() const { return mem_; }

 private:
  struct FreeDeleter {
    void operator()(double* p) const { std::free(p); }
  };
  double local_[Width * 3];
  std::unique_ptr<double, FreeDeleter> heap_;
  double* mem_ = local_;
};

// Cuts step s (n parameters) so that par + s stays in [lo, hi]; *boundary counts the
// consecutive cut steps and is reset by a step that needed no cut.
inline void clamp_step(const double* par, const double* lo, const double* hi, int n, double* s,
                       int* boundary) {
  bool cut = false;
  for (int i = 0; i < n; ++i) {
    if (par[i] + s[i] < lo[i]) {
      s[i] = lo[i] - par[i];
      cut = true;
    } else if (par[i] + s[i] > hi[i]) {
      s[i] = hi[i] - par[i];
      cut = true;
    }
  }
  *boundary = cut ? *boundary + 1 : 0;
}

// Solves the n x n system m x = b (rows of m, n at most 3) by LU with one refinement
// step whose residual is accumulated in extended precision.  Returns 1 when singular,
// else 0 or a negative status; x is complete only on 0.
inline int solve_refined(const double* m, const double* b, int n, double* x) {
  double lu[9];
  for (int i = 0; i < n * n; ++i) lu[i] = m[i];
  int piv[3];
  int st = 0;
  s6lufacp(lu, piv, n, &st);
  if (st != 0) return st < 0 ? st : 1;
  for (int i = 0; i < n; ++i) x[i] = b[i];
  s6lusolp(lu, x, piv, n, &st);
  if (st != 0) return st < 0 ? st : 1;
  double r[3];
  for (int i = 0; i < n; ++i) {
    long double s = b[i];
    for (int j = 0; j < n; ++j) s -= static_cast<long double>(m[i * n + j]) * x[j];
    r[i] = static_cast<double>(s);
  }
  s6lusolp(lu, r, piv, n, &st);
  if (st != 0) return st < 0 ? st : 1;
  for (int i = 0; i < n; ++i) x[i] += r[i];
  return 0;
}

}  // namespace newton_detail
