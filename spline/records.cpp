#include "spline/records.h"

#include <cstdlib>
#include <cstring>

#include "spline/status.h"

namespace {

template <typename T>
T* alloc_array(long count) {
  if (count <= 0) return nullptr;
  return static_cast<T*>(std::malloc(sizeof(T) * static_cast<size_t>(count)));
}

bool rel_equal(double a, double b) {
  double fa = a < 0 ? -a : a, fb = b < 0 ? -b : b;
  double m = fa > fb ? fa : fb;
  double d = a - b;
  if (d < 0) d = -d;
  return d <= 1e-12 * m;
}

// Number of leading vertices whose knots t[k + j] do not pass t[k - 1], and of
// trailing ones whose t[n - 1 - j] do not fall below t[n].
void count_surplus(const double* t, int n, int k, int* lead, int* trail) {
  int i = 0;
  while (i < n && t[k + i] <= t[k - 1]) ++i;
  int j = 0;
  while (j < n && t[n - 1 - j] >= t[n]) ++j;
  *lead = i;
  *trail = j;
}

// Euclidean coordinates of n homogeneous vertices.
double* dehomogenize(const double* hom, long n, int dim) {
  double* out = alloc_array<double>(n * dim);
  if (!out) return nullptr;
  for (long i = 0; i < n; ++i) {
    const double* h = hom + i * (dim + 1);
    double w = h[dim];
    for (int d = 0; d < dim; ++d) out[i * dim + d] = h[d] / w;
  }
  return out;
}

double* copy_doubles(const double* src, long count) {
  double* out = alloc_array<double>(count);
  if (out) std::memcpy(out, src, sizeof(double) * static_cast<size_t>(count));
  return out;
}

int box_value_count(int dim) { return dim == 3 ? 12 : dim == 2 ? 4 : dim; }

}  // namespace

spline_curve* create_curve(int n, int k, double* knots, double* vertices, int kind, int dim,
                           int copy_mode) {
  if (n < 1 || k < 1 || dim < 1 || !knots || !vertices) return nullptr;
  auto* curve = static_cast<spline_curve*>(std::malloc(sizeof(spline_curve)));
  if (!curve) return nullptr;
  const bool rational = is_rational_kind(kind);
  const int width = rational ? dim + 1 : dim;

  int lead = 0, trail = 0;
  count_surplus(knots, n, k, &lead, &trail);
  const int remaining = n - lead - trail;
  if (remaining < k) {
    std::free(curve);
    return nullptr;
  }

  double* t = knots;
  double* v = vertices;
  if (copy_mode == 1) {
    // Trim the copies only; the caller's arrays stay as they were given.
    t = copy_doubles(knots + lead, remaining + k);
    v = copy_doubles(vertices + static_cast<long>(lead) * width,
                     static_cast<long>(remaining) * width);
    if (!t || !v) {
      std::free(t);
      std::free(v);
      std::free(curve);
      return nullptr;
    }
  } else if (lead > 0) {
    std::memmove(vertices, vertices + static_cast<long>(lead) * width,
                 sizeof(double) * static_cast<size_t>(n - lead) * width);
    std::memmove(knots, knots + lead, sizeof(double) * static_cast<size_t>(n + k - lead));
  }

  curve->order = k;
  curve->vertex_count = remaining;
  curve->knots = t;
  curve->kind = kind;
  curve->dim = dim;
  curve->copy_mode = copy_mode;
  curve->cone = nullptr;
  curve->box = nullptr;
  curve->open_flag = 1;
  if (rational) {
    curve->hom_coefs = v;
    curve->coefs = dehomogenize(v, remaining, dim);
    if (!curve->coefs) {
      if (copy_mode == 1) {
        std::free(t);
        std::free(v);
      }
      std::free(curve);
      return nullptr;
    }
  } else {
    curve->coefs = v;
    curve->hom_coefs = nullptr;
  }
  return curve;
}

void transpose_coefs(const double* src, int fast, int slow, int width, double* dst) {
  for (int j = 0; j < slow; ++j)
    for (int i = 0; i < fast; ++i)
      for (int w = 0; w < width; ++w)
        dst[(static_cast<long>(i) * slow + j) * width + w] =
            src[(static_cast<long>(j) * fast + i) * width + w];
}

spline_surface* create_surface(int n1, int n2, int k1, int k2, double* knots1, double* knots2,
                               double* vertices, int kind, int dim, int copy_mode) {
  if (n1 < 1 || n2 < 1 || k1 < 1 || k2 < 1 || dim < 1 || !knots1 || !knots2 || !vertices)
    return nullptr;
  const bool rational = is_rational_kind(kind);
  const int width = rational ? dim + 1 : dim;

  int lead1 = 0, trail1 = 0, lead2 = 0, trail2 = 0;
  count_surplus(knots1, n1, k1, &lead1, &trail1);
  count_surplus(knots2, n2, k2, &lead2, &trail2);
  const int m1 = n1 - lead1 - trail1;
  const int m2 = n2 - lead2 - trail2;
  if (m1 < k1 || m2 < k2) return nullptr;

  auto* surf = static_cast<spline_surface*>(std::malloc(sizeof(spline_surface)));
  if (!surf) return nullptr;

  double *t1 = knots1, *t2 = knots2, *v = vertices;
  if (copy_mode == 1) {
    // Copy the kept block of vertices: rows lead2 .. lead2 + m2 - 1, and in each row
    // the vertices lead1 .. lead1 + m1 - 1.
    t1 = copy_doubles(knots1 + lead1, m1 + k1);
    t2 = copy_doubles(knots2 + lead2, m2 + k2);
    v = alloc_array<double>(static_cast<long>(m1) * m2 * width);
    if (!t1 || !t2 || !v) {
      std::free(t1);
      std::free(t2);
      std::free(v);
      std::free(surf);
      return nullptr;
    }
    for (int j = 0; j < m2; ++j)
      std::memcpy(v + static_cast<long>(j) * m1 * width,
                  vertices + (static_cast<long>(j + lead2) * n1 + lead1) * width,
                  sizeof(double) * static_cast<size_t>(m1) * width);
  } else {
    if (lead1 > 0 || trail1 > 0) {
      // Compact each row in place (rows only shrink, so a forward walk is safe).
      for (int j = 0; j < n2; ++j)
        std::memmove(vertices + static_cast<long>(j) * m1 * width,
                     vertices + (static_cast<long>(j) * n1 + lead1) * width,
                     sizeof(double) * static_cast<size_t>(m1) * width);
      std::memmove(knots1, knots1 + lead1, sizeof(double) * static_cast<size_t>(n1 + k1 - lead1));
    }
    if (lead2 > 0) {
      std::memmove(vertices, vertices + static_cast<long>(lead2) * m1 * width,
                   sizeof(double) * static_cast<size_t>(n2 - lead2) * m1 * width);
      std::memmove(knots2, knots2 + lead2, sizeof(double) * static_cast<size_t>(n2 + k2 - lead2));
    }
  }

  surf->order1 = k1;
  surf->order2 = k2;
  surf->vertex_count1 = m1;
  surf->vertex_count2 = m2;
  surf->knots1 = t1;
  surf->knots2 = t2;
  surf->kind = kind;
  surf->dim = dim;
  surf->copy_mode = copy_mode;
  surf->cone = nullptr;
  surf->box = nullptr;
  surf->open_flag1 = 1;
  surf->open_flag2 = 1;
  if (rational) {
    surf->hom_coefs = v;
    surf->coefs = dehomogenize(v, static_cast<long>(m1) * m2, dim);
    if (!surf->coefs) {
      if (copy_mode == 1) {
        std::free(t1);
        std::free(t2);
        std::free(v);
      }
      std::free(surf);
      return nullptr;
    }
  } else {
    surf->coefs = v;
    surf->hom_coefs = nullptr;
  }
  return surf;
}

spline_point* create_point(double* coords, int dim, int copy_mode) {
  if (dim < 1 || !coords) return nullptr;
  auto* p = static_cast<spline_point*>(std::malloc(sizeof(spline_point)));
  if (!p) return nullptr;
  p->inline_coords[0] = p->inline_coords[1] = p->inline_coords[2] = 0.0;
  p->dim = dim;
  p->copy_mode = copy_mode;
  p->box = nullptr;
  if (copy_mode == 1) {
    if (dim <= 3) {
      std::memcpy(p->inline_coords, coords, sizeof(double) * static_cast<size_t>(dim));
      p->coords = p->inline_coords;
    } else {
      p->coords = copy_doubles(coords, dim);
      if (!p->coords) {
        std::free(p);
        return nullptr;
      }
    }
  } else {
    p->coords = coords;
  }
  return p;
}

param_box* create_param_box(int dim) {
  const int m = box_value_count(dim);
  if (m < 1) return nullptr;
  auto* box = static_cast<param_box*>(std::malloc(sizeof(param_box)));
  if (!box) return nullptr;
  box->ext_values1 = alloc_array<double>(m);
  box->ext_values2 = alloc_array<double>(m);
  if (!box->ext_values1 || !box->ext_values2) {
    std::free(box->ext_values1);
    std::free(box->ext_values2);
    std::free(box);
    return nullptr;
  }
  for (int i = 0; i < m; ++i) box->ext_values1[i] = box->ext_values2[i] = 0.0;
  box->ext_index1 = box->ext_index2 = 0;
  for (int s = 0; s < 3; ++s) {
    box->slot_high[s] = nullptr;
    box->slot_low[s] = nullptr;
    box->slot_tol[s] = 0.0;
    box->slot_count[s] = 0;
  }
  return box;
}

dir_cone* create_dir_cone(int dim) {
  if (dim < 1) return nullptr;
  auto* cone = static_cast<dir_cone*>(std::malloc(sizeof(dir_cone)));
  if (!cone) return nullptr;
  cone->axis = alloc_array<double>(dim);
  if (!cone->axis) {
    std::free(cone);
    return nullptr;
  }
  for (int i = 0; i < dim; ++i) cone->axis[i] = 0.0;
  cone->flag = 0;
  cone->angle = 0.0;
  cone->polygon = nullptr;
  return cone;
}

void destroy_param_box(param_box* box) {
  if (!box) return;
  std::free(box->ext_values1);
  std::free(box->ext_values2);
  for (int s = 0; s < 3; ++s) {
    std::free(box->slot_high[s]);
    std::free(box->slot_low[s]);
  }
  std::free(box);
}

void destroy_dir_cone(dir_cone* cone) {
  if (!cone) return;
  std::free(cone->axis);
  std::free(cone->polygon);
  std::free(cone);
}

void destroy_curve(spline_curve* curve) {
  if (!curve) return;
  if (curve->copy_mode == 1 || curve->copy_mode == 2) {
    std::free(curve->knots);
    std::free(curve->coefs);
    std::free(curve->hom_coefs);
  } else if (curve->hom_coefs) {
    // Shared arrays: only the Euclidean array computed by the constructor is ours.
    std::free(curve->coefs);
  }
  destroy_dir_cone(curve->cone);
  destroy_param_box(curve->box);
  std::free(curve);
}

void destroy_surface(spline_surface* surface) {
  if (!surface) return;
  if (surface->copy_mode == 1 || surface->copy_mode == 2) {
    std::free(surface->knots1);
    std::free(surface->knots2);
    std::free(surface->coefs);
    std::free(surface->hom_coefs);
  } else if (surface->hom_coefs) {
    std::free(surface->coefs);
  }
  destroy_dir_cone(surface->cone);
  destroy_param_box(surface->box);
  std::free(surface);
}

void destroy_point(spline_point* point) {
  if (!point) return;
  destroy_param_box(point->box);
  // Free only the copy the constructor made; shared coordinates stay the caller's.
  if (point->copy_mode == 1 && point->coords != point->inline_coords) std::free(point->coords);
  std::free(point);
}

void box_slot_alloc(param_box* box, int m, int slot, double tol, int* status) {
  if (slot < 0 || slot > 2) {
    *status = kErrBoxSlot;
    return;
  }
  if (m < 1) m = 1;
  if (box->slot_low[slot] && box->slot_count[slot] != m) {
    // Sized for another number of directions: allocate afresh, so that the two boxes
    // of the slot always sit at 0 .. m - 1 and m .. 2m - 1.
    std::free(box->slot_low[slot]);
    std::free(box->slot_high[slot]);
    box->slot_low[slot] = box->slot_high[slot] = nullptr;
    box->slot_count[slot] = 0;
  }
  if (!box->slot_low[slot]) {
    const int size = m == 1 ? 1 : 2 * m;
    box->slot_low[slot] = alloc_array<double>(size);
    if (!box->slot_low[slot]) {
      *status = kErrMemory;
      return;
    }
    box->slot_high[slot] = alloc_array<double>(size);
    if (!box->slot_high[slot]) {
      std::free(box->slot_low[slot]);
      box->slot_low[slot] = nullptr;
      *status = kErrMemory;
      return;
    }
    for (int i = 0; i < size; ++i) box->slot_low[slot][i] = box->slot_high[slot][i] = 0.0;
    box->slot_count[slot] = m;
  }
  if (slot > 0) box->slot_tol[slot] = tol;
  *status = 0;
}

int box_slot_test(const param_box* box, int slot, double tol) {
  if (!box || slot < 0 || slot > 2 || !box->slot_low[slot]) return 0;
  if (slot == 0) return 1;
  return rel_equal(box->slot_tol[slot], tol) ? 1 : -1;
}

namespace {

// Deep copy of a box of an object of dimension dim; null on failure.
param_box* copy_param_box(const param_box* src, int dim) {
  param_box* box = create_param_box(dim);
  if (!box) return nullptr;
  const int m = box_value_count(dim);
  std::memcpy(box->ext_values1, src->ext_values1, sizeof(double) * static_cast<size_t>(m));
  std::memcpy(box->ext_values2, src->ext_values2, sizeof(double) * static_cast<size_t>(m));
  box->ext_index1 = src->ext_index1;
  box->ext_index2 = src->ext_index2;
  for (int s = 0; s < 3; ++s) {
    box->slot_tol[s] = src->slot_tol[s];
    if (!src->slot_low[s]) continue;
    const int count = src->slot_count[s] > 0 ? src->slot_count[s] : 1;
    int status = 0;
    box_slot_alloc(box, count, s, src->slot_tol[s], &status);
    if (status < 0) {
      destroy_param_box(box);
      return nullptr;
    }
    const size_t size = count == 1 ? 1 : 2 * static_cast<size_t>(count);
    std::memcpy(box->slot_low[s], src->slot_low[s], sizeof(double) * size);
    std::memcpy(box->slot_high[s], src->slot_high[s], sizeof(double) * size);
  }
  return box;
}

dir_cone* copy_dir_cone(const dir_cone* src, int dim, long polygon_size) {
  dir_cone* cone = create_dir_cone(dim);
  if (!cone) return nullptr;
  cone->flag = src->flag;
  cone->angle = src->angle;
  std::memcpy(cone->axis, src->axis, sizeof(double) * static_cast<size_t>(dim));
  if (src->polygon) {
    cone->polygon = copy_doubles(src->polygon, polygon_size);
    if (!cone->polygon) {
      destroy_dir_cone(cone);
      return nullptr;
    }
  }
  return cone;
}

}  // namespace

spline_curve* copy_curve(const spline_curve* src) {
  if (!src) return nullptr;
  const bool rational = is_rational_kind(src->kind) && src->hom_coefs;
  spline_curve* c = create_curve(src->vertex_count, src->order, src->knots,
                                 rational ? src->hom_coefs : src->coefs, src->kind, src->dim, 1);
  if (!c) return nullptr;
  c->open_flag = src->open_flag;
  if (src->box) {
    c->box = copy_param_box(src->box, src->dim);
    if (!c->box) {
      destroy_curve(c);
      return nullptr;
    }
  }
  if (src->cone) {
    c->cone = copy_dir_cone(src->cone, src->dim, static_cast<long>(src->vertex_count) * src->dim);
    if (!c->cone) {
      destroy_curve(c);
      return nullptr;
    }
  }
  return c;
}

spline_surface* copy_surface(const spline_surface* src) {
  if (!src) return nullptr;
  const bool rational = is_rational_kind(src->kind) && src->hom_coefs;
  spline_surface* s =
      create_surface(src->vertex_count1, src->vertex_count2, src->order1, src->order2, src->knots1,
                     src->knots2, rational ? src->hom_coefs : src->coefs, src->kind, src->dim, 1);
  if (!s) return nullptr;
  s->open_flag1 = src->open_flag1;
  s->open_flag2 = src->open_flag2;
  if (src->box) {
    s->box = copy_param_box(src->box, src->dim);
    if (!s->box) {
      destroy_surface(s);
      return nullptr;
    }
  }
  if (src->cone) {
    s->cone = copy_dir_cone(src->cone, src->dim,
                            static_cast<long>(src->vertex_count1) * src->vertex_count2 * src->dim);
    if (!s->cone) {
      destroy_surface(s);
      return nullptr;
    }
  }
  return s;
}
