// Helpers shared by the toolkit's sources; not part of the public interface.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory_resource>
#include <new>
#include <vector>

#include "spline/records.h"

namespace spline_detail {

// A work array of size doubles: on the stack up to N, on the heap beyond.
template <size_t N>
class SmallWork {
 public:
  explicit SmallWork(size_t size) {
    if (size > N) {
      heap_.resize(size);
      ptr_ = heap_.data();
    } else {
      ptr_ = stack_;
    }
  }
  SmallWork(const SmallWork&) = delete;
  SmallWork& operator=(const SmallWork&) = delete;
  double* get() { return ptr_; }

 private:
  double stack_[N];
  std::vector<double> heap_;
  double* ptr_;
};

// An uninitialised work array of count T from a memory resource (an arena for the
// whole of a routine, or the heap), given back when it goes; null when the memory
// could not be had.
template <typename T>
class WorkArray {
 public:
  WorkArray(std::pmr::memory_resource* mem, size_t count)
      : mem_(mem), bytes_(sizeof(T) * std::max<size_t>(count, 1)) {
    try {
      ptr_ = static_cast<T*>(mem_->allocate(bytes_, alignof(T)));
    } catch (const std::bad_alloc&) {
      ptr_ = nullptr;
    }
  }
  ~WorkArray() {
    if (ptr_) mem_->deallocate(ptr_, bytes_, alignof(T));
  }
  WorkArray(const WorkArray&) = delete;
  WorkArray& operator=(const WorkArray&) = delete;
  T* get() const { return ptr_; }
  T& operator[](size_t i) const { return ptr_[i]; }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  std::pmr::memory_resource* mem_;
  size_t bytes_;
  T* ptr_ = nullptr;
};

// A malloc'd copy of a vector (null for an empty one or on failure).
inline double* malloc_copy(const double* v, size_t count) {
  if (count == 0) return nullptr;
  auto* p = static_cast<double*>(std::malloc(sizeof(double) * count));
  if (p) std::memcpy(p, v, sizeof(double) * count);
  return p;
}

// A curve that adopts copies of the given arrays (copy mode 2); null on failure or when
// the knots collapse, in which case nothing is leaked.
inline spline_curve* adopt_curve(int n, int k, const std::vector<double>& t,
                                 const std::vector<double>& v, int kind, int dim) {
  if (n < 1) return nullptr;
  double* kt = malloc_copy(t.data(), static_cast<size_t>(n) + k);
  const int w = is_rational_kind(kind) ? dim + 1 : dim;
  double* kv = malloc_copy(v.data(), static_cast<size_t>(n) * w);
  spline_curve* c = (kt && kv) ? create_curve(n, k, kt, kv, kind, dim, 2) : nullptr;
  if (!c) {
    std::free(kt);
    std::free(kv);
  }
  return c;
}

inline spline_surface* adopt_surface(int n1, int n2, int k1, int k2, const std::vector<double>& t1,
                                     const std::vector<double>& t2, const std::vector<double>& v,
                                     int kind, int dim) {
  double* a = malloc_copy(t1.data(), static_cast<size_t>(n1) + k1);
  double* b = malloc_copy(t2.data(), static_cast<size_t>(n2) + k2);
  const int w = is_rational_kind(kind) ? dim + 1 : dim;
  double* c = malloc_copy(v.data(), static_cast<size_t>(n1) * n2 * w);
  spline_surface* s = (a && b && c) ? create_surface(n1, n2, k1, k2, a, b, c, kind, dim, 2) : nullptr;
  if (!s) {
    std::free(a);
    std::free(b);
    std::free(c);
  }
  return s;
}

// The vertices a routine works on: homogeneous for the rational kinds.
inline const double* work_vertices(const spline_curve* c) {
  return is_rational_kind(c->kind) ? c->hom_coefs : c->coefs;
}
inline int work_width(const spline_curve* c) {
  return is_rational_kind(c->kind) ? c->dim + 1 : c->dim;
}
// Kind of a result made from a curve's working vertices.
inline int result_kind(int kind) { return is_rational_kind(kind) ? 2 : 1; }

// Inserts x into the knot vector t (order k, n vertices of width w) until it has
// multiplicity k.  On return t and v hold the refined vectors and the index of the
// first knot equal to x is returned.  x must lie in [t[k-1], t[n]].
int insert_to_full(std::vector<double>& t, std::vector<double>& v, int k, int w, double x);

// Vertices (n of width w) on the knot vector e of the curve with knots t and the given
// vertices, both of order k and n vertices with the same knots inside the range; the
// curve is unchanged on its range.  Returns a status.
int reexpress(const double* t, int n, int k, const double* verts, int w, const double* e,
              double* out);

// The knot vector t (order k, n vertices) with c + 1 knots at each end replaced by a
// periodic continuation of the spacing at the other end.
std::vector<double> cyclic_knots(const double* t, int n, int k, int c);

}  // namespace spline_detail
