#include "spline/detail/isect/isect_degen.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_services.h"
#include "spline/linalg.h"
#include "spline/status.h"

namespace {

constexpr int kUnsupported = -200;
constexpr double kTangentAngle = 1e-11;

double distance(const double* a, const double* b, int dim) {
  double d2 = 0;
  for (int i = 0; i < dim; ++i) d2 += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(d2);
}

// The next point along a chain, or null.
isect_point* chain_step(isect_point* cur, isect_point* prev, int* status) {
  isect_point* next = nullptr;
  int st = 0;
  sh6getother(cur, prev, &next, &st);
  if (st < 0) *status = st;
  return next;
}

}  // namespace

void sh6degen(geom_object* object1, geom_object* object2, isect_data** data,
              double tolerance, int* status) {
  *status = 0;
  if (!data || !*data) return;
  isect_data* d = *data;
  if (d->point_count == 0 && d->list_count == 0) return;
  auto fail = [&](int st) {
    *status = st;
    error_report("sh6degen", st, 0);
  };
  const int dim = object_dim(object1);
  geom_object* empty = nullptr;
  geom_object* second = object2;
  if (d->point_count > 0 && d->points[0]->param_count == object1->kind) {
    empty = create_geom_object(kPointObject);
    if (!empty) {
      fail(kErrMemory);
      return;
    }
    second = empty;
  }
  // The stand-in second object lives until the routine returns.
  std::unique_ptr<geom_object, decltype(&destroy_geom_object)> empty_holder(empty,
                                                                            destroy_geom_object);
  std::vector<double> p0(dim > 0 ? dim : 1), pos(dim > 0 ? dim : 1), pos2(dim > 0 ? dim : 1);
  auto eval1 = [&](const isect_point* pt, double* out) {
    int st = 0;
    eval_object_at(object1, second, pt->params, out, &st);
    return st;
  };

  // 2. Degenerate lists.
  for (int li = 0; li < d->list_count; ++li) {
    isect_list* list = d->lists[li];
    if (!list || !list->first || list->first->kind == 3) continue;
    int st = eval1(list->first, p0.data());
    if (st < 0) {
      fail(st);
      return;
    }
    bool degenerate = true;
    isect_point* prev = list->first;
    isect_point* cur = get_neighbour(list->first, list->first_slot);
    for (int step = 0; cur && cur != list->last && step < list->point_count; ++step) {
      st = eval1(cur, pos.data());
      if (st < 0) {
        fail(st);
        return;
      }
      if (distance(pos.data(), p0.data(), dim) > tolerance) {
        degenerate = false;
        break;
      }
      isect_point* next = chain_step(cur, prev, &st);
      if (st < 0) {
        fail(st);
        return;
      }
      prev = cur;
      cur = next;
    }
    if (degenerate) {
      st = eval1(list->last, pos.data());
      if (st < 0) {
        fail(st);
        return;
      }
      degenerate = distance(pos.data(), p0.data(), dim) <= tolerance;
    }
    if (degenerate && list->point_count == 2) {
      // A small loop: the ends coincide but the middle of the segment may not.
      const isect_point* f = list->first;
      const isect_point* l = list->last;
      const int n = f->param_count;
      std::vector<double> mid(n > 0 ? n : 1);
      for (int i = 0; i < n; ++i) mid[i] = 0.5 * (f->params[i] + l->params[i]);
      const int mask = list->first_slot >= 0 && list->first_slot < f->neighbour_count
                           ? f->segment_masks[list->first_slot]
                           : 0;
      int highest = -1;
      for (int i = 0; i < 4; ++i)
        if (mask & (1 << (i + 1))) highest = i;
      int selector = (highest >= object1->kind) ? 1 : 0;
      if (second == empty) selector = 0;
      st = selector;
      eval_object_at(object1, second, mid.data(), pos2.data(), &st);
      if (st < 0) {
        fail(st);
        return;
      }
      if (distance(pos2.data(), p0.data(), dim) > tolerance ||
          distance(pos2.data(), pos.data(), dim) > tolerance)
        degenerate = false;
    }
    if (!degenerate) continue;
    isect_point* first = list->first;
    const int kept_marker = first->marker;
    prev = nullptr;
    cur = first;
    for (int i = 0; i < list->point_count && cur; ++i) {
      cur->marker = kPointConsumed;
      isect_point* next = nullptr;
      if (i == 0) {
        next = get_neighbour(first, list->first_slot);
      } else {
        st = 0;
        next = chain_step(cur, prev, &st);
        if (st < 0) {
          fail(st);
          return;
        }
      }
      prev = cur;
      cur = next;
    }
    destroy_isect_list(list);
    d->lists[li] = nullptr;
    bool occupied = false;
    for (int i = 0; i < d->point_count && !occupied; ++i) {
      const isect_point* other = d->points[i];
      if (other == first || other->marker == kPointConsumed) continue;
      st = eval1(other, pos.data());
      if (st < 0) {
        fail(st);
        return;
      }
      occupied = distance(pos.data(), p0.data(), dim) <= tolerance;
    }
    if (!occupied) first->marker = kept_marker;
  }
  // 3. Compact the lists.
  int kept = 0;
  for (int li = 0; li < d->list_count; ++li)
    if (d->lists[li]) d->lists[kept++] = d->lists[li];
  for (int li = kept; li < d->list_count; ++li) d->lists[li] = nullptr;
  d->list_count = kept;
  // 4. Remove the marked points.
  for (int i = 0; *data && i < (*data)->point_count;) {
    isect_point* pt = (*data)->points[i];
    if (pt->marker != kPointConsumed) {
      ++i;
      continue;
    }
    int st = 0;
    remove_point(data, &pt, 0, &st);
    if (st < 0) {
      fail(st);
      return;
    }
  }
  *status = 0;
}

void point_object_geom(geom_object* object, int which, isect_point* point, double** block,
                       double** normal, double tolerance, int* status) {
  *status = 0;
  *block = nullptr;
  *normal = nullptr;
  if (!object || !point) {
    *status = kUnsupported;
    return;
  }
  const int dim = object_dim(object);
  int& size = which == 1 ? point->geom_size1 : point->geom_size2;
  double*& cache = which == 1 ? point->geom1 : point->geom2;
  const double* par =
      which == 1 ? point->params : point->params + (point->param_count - object->kind);
  if (object->kind == kPointObject) {
    *block = object->point->coords;
    return;
  }
  if (!cache || size <= 0) {
    int st = 0;
    if (object->kind == kCurveObject) {
      auto* b = static_cast<double*>(malloc(sizeof(double) * 2 * dim));
      if (!b) {
        *status = kErrMemory;
        return;
      }
      int left = 0;
      isect_services().eval_curve_levelled(object->curve, 1, par[0], tolerance, &left, b, &st);
      if (st < 0) {
        free(b);
        *status = st;
        return;
      }
      free(cache);
      cache = b;
      size = 2 * dim;
    } else {
      auto* b = static_cast<double*>(calloc(7 * dim, sizeof(double)));
      if (!b) {
        *status = kErrMemory;
        return;
      }
      int l1 = 0, l2 = 0;
      isect_services().s1421(object->surface, 2, par, &l1, &l2, b, b + 6 * dim, &st);
      if (st < 0) {
        free(b);
        *status = st;
        return;
      }
      free(cache);
      cache = b;
      size = dim == 3 ? 7 * dim : 6 * dim;
    }
  }
  *block = cache;
  // Only a three-dimensional surface has a normal; in other dimensions the last values
  // of the block are second derivatives, not a normal.
  if (object->kind == kSurfaceObject && dim == 3) *normal = cache + 6 * dim;
}

void shevalint(geom_object* object1, geom_object* object2, const double* coefs, int type,
               isect_point* point, double tolerance, double** curve_geom, double** surf_geom1,
               double** surf_geom2, int* status) {
  auto fail = [&](int st, int position) {
    *status = st;
    error_report("shevalint", st, position);
  };
  const int dim1 = object_dim(object1);
  if (!object1 || (object1->kind != kCurveObject && object1->kind != kSurfaceObject) || dim1 < 1 || dim1 > 3 ||
      !point || type < 0) {
    fail(kUnsupported, 0);
    return;
  }
  *curve_geom = point->curve_geom;
  *surf_geom1 = point->surf_geom1;
  *surf_geom2 = point->surf_geom2;
  *status = 0;
  if (point->evaluated == 1) return;
  int st = 0;
  double *b1 = nullptr, *n1 = nullptr, *b2 = nullptr, *n2 = nullptr;

  if (type == 0) {
    if (object2 && object2->kind == kCurveObject) {
      if (object_dim(object2) > 3) {
        fail(kUnsupported, 2);
        return;
      }
      point_object_geom(object1, 1, point, &b1, &n1, tolerance, &st);
      if (st >= 0) point_object_geom(object2, 2, point, &b2, &n2, tolerance, &st);
      if (st < 0) {
        fail(st, 2);
        return;
      }
      const int n = point->geom_size2 < 10 ? point->geom_size2 : 10;
      memcpy(point->curve_geom, point->geom2, sizeof(double) * n);
    } else if (object2 && object2->kind == kSurfaceObject && object_dim(object2) == 3 &&
               object1->kind == kSurfaceObject && dim1 == 3) {
      point_object_geom(object1, 1, point, &b1, &n1, tolerance, &st);
      if (st >= 0) point_object_geom(object2, 2, point, &b2, &n2, tolerance, &st);
      if (st < 0) {
        fail(st, 3);
        return;
      }
      if (vec_angle(n1, n2, 3) < kTangentAngle && point->kind == kOrdinaryPoint) point->kind = kSingularPoint;
      isect_services().surf_pair_curve_geom(b1, b2, point->params, point->params + 2,
                                            point->curve_geom, point->surf_geom1,
                                            point->surf_geom2, &st);
      if (st < 0) {
        fail(st, 3);
        return;
      }
      double cross[3];
      vec_cross(n1, n2, cross);
      if (vec_dot(point->curve_geom + 3, cross, 3) < 0) {
        for (int i = 3; i < 6; ++i) point->curve_geom[i] = -point->curve_geom[i];
        for (int i = 2; i < 4; ++i) {
          point->surf_geom1[i] = -point->surf_geom1[i];
          point->surf_geom2[i] = -point->surf_geom2[i];
        }
      }
    } else {
      fail(kUnsupported, 3);
      return;
    }
  } else if (type == 2000) {
    free(point->geom1);
    free(point->geom2);
    point->geom1 = point->geom2 = nullptr;
    point->geom_size1 = point->geom_size2 = 0;
    point_object_geom(object1, 1, point, &b1, &n1, tolerance, &st);
    if (st < 0) {
      fail(st, 1);
      return;
    }
    const double unit[3] = {1, 0, 0};
    for (int i = 0; i < dim1; ++i) {
      point->curve_geom[i] = b1[i];
      point->curve_geom[dim1 + i] = unit[i];
    }
  } else {
    const bool silhouette = type >= 1003 && type <= 1005;
    const int position = silhouette ? 3 : 4;
    if (object1->kind != kSurfaceObject || dim1 != 3) {
      fail(kUnsupported, position);
      return;
    }
    const int size = silhouette ? 33 : 21;
    if (point->geom_size1 != size || !point->geom1) {
      free(point->geom1);
      free(point->geom2);
      point->geom1 = point->geom2 = nullptr;
      point->geom_size1 = point->geom_size2 = 0;
      auto* b = static_cast<double*>(calloc(size, sizeof(double)));
      if (!b) {
        fail(kErrMemory, position);
        return;
      }
      int l1 = 0, l2 = 0;
      isect_services().s1422(object1->surface, silhouette ? 3 : 2, point->eval_side1,
                             point->eval_side2, point->params, &l1, &l2, b, b + size - 3, &st);
      if (st < 0) {
        free(b);
        fail(st, position);
        return;
      }
      point->geom1 = b;
      point->geom_size1 = size;
    }
    const double* block = point->geom1;
    const double* normal = block + size - 3;
    double values[6] = {0}, gradient[3] = {0};
    isect_services().s1331(block, coefs, type, silhouette ? 1 : 0, values, gradient, &st);
    if (st < 0) {
      fail(st, position);
      return;
    }
    double angle = 1.5;
    double reference[3];
    if (silhouette) {
      for (int i = 0; i < 3; ++i) reference[i] = -gradient[i];
    } else {
      angle = vec_angle(normal, gradient, 3);
      vec_cross(normal, gradient, reference);
    }
    isect_services().s1306(block, point->params, coefs, type, point->curve_geom,
                           point->surf_geom1, &st);
    if (st < 0) {
      fail(st, position);
      return;
    }
    if (st == 2) {
      if (point->kind == kOrdinaryPoint) point->kind = kSingularPoint;
    } else if (st == 10) {
      if (point->kind == kOrdinaryPoint || point->kind == kSingularPoint) point->kind = kTouchingPoint;
    } else if (angle >= kTangentAngle) {
      if (vec_dot(point->curve_geom + 3, reference, 3) < 0) {
        for (int i = 3; i < 6; ++i) point->curve_geom[i] = -point->curve_geom[i];
        point->surf_geom1[2] = -point->surf_geom1[2];
        point->surf_geom1[3] = -point->surf_geom1[3];
      }
    } else if (point->kind == kOrdinaryPoint) {
      point->kind = kSingularPoint;
    }
  }
  point->evaluated = 1;
  *status = 0;
}
