#include "spline/detail/isect/isect_subproblem.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_services.h"
#include "spline/linalg.h"
#include "spline/status.h"

namespace {

constexpr int kBadIndex = -191;

bool agree(double x, double y) {
  return std::fabs(x - y) <= 1e-12 * std::fmax(std::fabs(x), std::fabs(y));
}

// Two parameter vectors coincide when their distance d is 0 within |(d+1) - 1|.
bool coincide(const double* a, const double* b, int n) {
  double d2 = 0;
  for (int i = 0; i < n; ++i) d2 += (a[i] - b[i]) * (a[i] - b[i]);
  const double d = std::sqrt(d2);
  return std::fabs((d + 1.0) - 1.0) <= 1e-12 * std::fabs(d + 1.0);
}

struct Reporter {
  const char* name;
  int* status;
  void operator()(int st) const {
    *status = st;
    error_report(name, st, 0);
  }
};

// Position of one object at its own parameters (position only).
void position_of(geom_object* obj, const double* par, double* pos, int* status) {
  *status = 0;
  const int dim = object_dim(obj);
  if (obj->kind == kPointObject) {
    for (int i = 0; i < dim; ++i) pos[i] = obj->point->coords[i];
  } else if (obj->kind == kCurveObject) {
    int left = 0;
    isect_services().s1221(obj->curve, 0, par[0], &left, pos, status);
  } else {
    int l1 = 0, l2 = 0;
    std::vector<double> normal(dim > 0 ? dim : 1);
    isect_services().s1421(obj->surface, 0, par, &l1, &l2, pos, normal.data(), status);
  }
  if (*status > 0) *status = 0;
}

}  // namespace

void sh6idget(geom_object* object1, geom_object* object2, int idx, double value,
              isect_data* parent, isect_data** sub, double tolerance, int* status) {
  *status = 0;
  *sub = nullptr;
  if (!parent) return;
  Reporter fail{"sh6idget", status};
  const int k1 = object1->kind, k2 = object2->kind;
  const int nparams = k1 + k2;
  if (idx < 0 || idx >= nparams) {
    fail(kBadIndex);
    return;
  }
  const bool split_first = idx < k1;
  geom_object* split = split_first ? object1 : object2;
  geom_object* other = split_first ? object2 : object1;
  const int split_base = split_first ? 0 : k1;
  const int other_base = split_first ? k1 : 0;
  // The split surface's other parameter (global index), -1 for a curve.
  const int other_param = split->kind == kSurfaceObject ? (idx == split_base ? split_base + 1 : split_base)
                                           : -1;
  int st = 0;

  // 1. New points where a parent segment crosses the line.  Every parent point is
  // examined, whatever the split object.
  std::vector<double> m(nparams), pos(object_dim(split) > 0 ? object_dim(split) : 1);
  for (int i = 0; i < parent->point_count; ++i) {
    isect_point* p = parent->points[i];
    int cls = 0;
    edge_class(object1, object2, p, &cls);
    if (cls == 0) continue;
    if (cls < 0) {
      fail(cls);
      return;
    }
    for (int s = 0; s < p->neighbour_count; ++s) {
      isect_point* q = p->neighbours[s];
      edge_class(object1, object2, q, &cls);
      if (cls == 0) continue;
      if (split->kind == kSurfaceObject && !(p->segment_masks[s] & (1 << (other_param + 1)))) continue;
      const double a = std::fmin(p->params[idx], q->params[idx]);
      const double b = std::fmax(p->params[idx], q->params[idx]);
      if (!(a < value && value < b)) continue;
      for (int j = 0; j < nparams; ++j) m[j] = 0.5 * (p->params[j] + q->params[j]);
      m[idx] = value;
      position_of(split, m.data() + split_base, pos.data(), &st);
      if (st < 0) {
        fail(st);
        return;
      }
      double projected[2] = {0, 0};
      sh6ptobj(pos.data(), other, tolerance, m.data() + other_base, projected, &st);
      if (st < 0) {
        fail(st);
        return;
      }
      for (int j = 0; j < other->kind; ++j) m[other_base + j] = projected[j];
      if (st == 1) {
        isect_point* np = create_isect_point_geom(nparams, m.data(), 0.0, q->kind, 0, 0, 0, 0,
                                                  0, 0, nullptr, nullptr);
        if (!np) {
          fail(kErrMemory);
          return;
        }
        isect_data* pd = parent;
        sh6insert(&pd, p, q, &np, &st);
        if (st < 0) {
          fail(st);
          return;
        }
      }
      break;  // the first crossing segment of the point only
    }
  }

  // 2. The box of the sub-problem.
  double start[4], end[4];
  problem_param_box(object1, object2, start, end);
  start[idx] = end[idx] = value;

  // 3. Parent points on the line go down with one parameter fewer.
  std::vector<double> sp(nparams > 1 ? nparams - 1 : 1);
  for (int i = 0; i < parent->point_count; ++i) {
    isect_point* p = parent->points[i];
    bool inside = p->param_count == nparams;
    for (int j = 0; j < nparams && inside; ++j) {
      const double x = p->params[j];
      if ((x < start[j] && !agree(x, start[j])) || (x > end[j] && !agree(x, end[j])))
        inside = false;
    }
    if (!inside) continue;
    int n = 0;
    for (int j = 0; j < nparams; ++j)
      if (j != idx) sp[n++] = p->params[j];
    int a = 0, c = 0, b = 0, d = 0;
    if (p->capacity > 0) {
      a = p->top_a[0];
      c = p->top_c[0];
      b = p->top_b[0];
      d = p->top_d[0];
    }
    isect_point* np = create_isect_point_geom(
        nparams - 1, sp.data(), p->value, 1, a, c, b, d, split_first ? 0 : p->geom_size1,
        split_first ? p->geom_size2 : 0, split_first ? nullptr : p->geom1,
        split_first ? p->geom2 : nullptr);
    if (!np) {
      fail(kErrMemory);
      return;
    }
    sh6idnpt(sub, &np, 1, &st);
    if (st < 0) {
      destroy_isect_point(np);
      fail(st);
      return;
    }
  }
  *status = 0;
}

void find_param_square(isect_data* data, isect_point* points[4], int* n, int count1,
                       int count2, int* found) {
  *found = 0;
  if (!data || data->point_count <= 3 || *n < 1) return;
  if (*n == 4) {
    *found = coincide(points[0]->params + count1, points[3]->params + count1, count2);
    return;
  }
  isect_point* r = points[*n - 1];
  const bool first_object = (*n - 1) % 2 == 0;
  const int off = first_object ? 0 : count1;
  const int len = first_object ? count1 : count2;
  for (int i = 0; i < data->point_count; ++i) {
    isect_point* cand = data->points[i];
    bool taken = false;
    for (int j = 0; j < *n; ++j) taken = taken || points[j] == cand;
    if (taken || !coincide(r->params + off, cand->params + off, len)) continue;
    points[(*n)++] = cand;
    find_param_square(data, points, n, count1, count2, found);
    if (*found) return;
    --*n;
  }
}

namespace {

// Derivative of an object along its varying parameter at the reference parameters.
void varying_derivative(geom_object* obj, const double* par, int varying, double* der,
                        int* status) {
  *status = 0;
  const int dim = object_dim(obj);
  if (obj->kind == kCurveObject) {
    std::vector<double> d(2 * dim);
    int left = 0;
    isect_services().s1221(obj->curve, 1, par[0], &left, d.data(), status);
    if (*status < 0) return;
    for (int i = 0; i < dim; ++i) der[i] = d[dim + i];
    *status = 0;
    return;
  }
  std::vector<double> d(9 * dim);
  int l1 = 0, l2 = 0;
  isect_services().s1424(obj->surface, 1, 1, par, &l1, &l2, d.data(), status);
  if (*status < 0) return;
  // Grid layout for (1, 1): S, Su, Sv, Suv.
  const double* su = d.data() + dim;
  const double* sv = d.data() + 2 * dim;
  std::vector<double> t1(su, su + dim), t2(sv, sv + dim);
  int flag = 0;
  const double len = vec_length(varying == 0 ? su : sv, dim, &flag);
  if (len <= 1e-15) {
    l1 = l2 = 0;
    isect_services().s1424(obj->surface, 2, 2, par, &l1, &l2, d.data(), status);
    if (*status < 0) return;
    std::vector<double> normal(dim);
    int st = 0;
    isect_services().s6degnorm(obj->surface, 2, par, d.data(), t1.data(), t2.data(),
                               normal.data(), &st);
    if (st < 0) {
      *status = st;
      return;
    }
  }
  const std::vector<double>& t = varying == 0 ? t1 : t2;
  for (int i = 0; i < dim; ++i) der[i] = t[i];
  *status = 0;
}

}  // namespace

void resolve_param_square(geom_object* object1, geom_object* object2, isect_data** data,
                          isect_point* points[4], int n, isect_point** new_points, int count,
                          int* status) {
  *status = 0;
  if (n != 4 || object1->kind == kPointObject || object2->kind == kPointObject) return;
  geom_object* objs[2] = {object1, object2};
  int varying[2] = {0, 0};  // global index of each object's varying parameter
  int base = 0;
  for (int o = 0; o < 2; ++o) {
    if (objs[o]->kind == kSurfaceObject) {
      int common = -1;
      for (int j = 0; j < 2 && common < 0; ++j) {
        bool all = true;
        for (int k = 1; k < 4 && all; ++k)
          all = agree(points[k]->params[base + j], points[0]->params[base + j]);
        if (all) common = j;
      }
      if (common < 0) return;
      varying[o] = base + (1 - common);
    } else {
      varying[o] = base;
    }
    base += objs[o]->kind;
  }
  // The reference point: the smallest parameter vector.
  isect_point* ref = points[0];
  double best = INFINITY;
  for (int k = 0; k < 4; ++k) {
    double l2 = 0;
    for (int j = 0; j < points[k]->param_count; ++j) l2 += points[k]->params[j] * points[k]->params[j];
    if (l2 < best) {
      best = l2;
      ref = points[k];
    }
  }
  const int dim = object_dim(object1);
  if (dim != object_dim(object2) || dim < 1) return;
  std::vector<double> d1(dim), d2(dim);
  int st = 0;
  varying_derivative(object1, ref->params, varying[0], d1.data(), &st);
  if (st >= 0)
    varying_derivative(object2, ref->params + object1->kind, varying[1] - object1->kind,
                       d2.data(), &st);
  if (st < 0) {
    *status = st;
    error_report("resolve_param_square", st, 0);
    return;
  }
  int f1 = 0, f2 = 0;
  const double len1 = vec_length(d1.data(), dim, &f1);
  const double len2 = vec_length(d2.data(), dim, &f2);
  const bool parallel =
      vec_angle(d1.data(), d2.data(), dim) <= 0.01 || (len1 < 1e-15 && len2 < 1e-15);
  if (!parallel) return;
  const bool same_way = vec_dot(d1.data(), d2.data(), dim) >= 0;
  for (int a = 0; a < 4; ++a)
    for (int b = 1; b < 4; ++b) {
      const double x1 = points[a]->params[varying[0]], y1 = points[b]->params[varying[0]];
      const double x2 = points[a]->params[varying[1]], y2 = points[b]->params[varying[1]];
      if (agree(x1, y1) || agree(x2, y2)) continue;
      const double prod = (y1 - x1) * (y2 - x2);
      if (!(same_way ? prod < 0 : prod > 0)) continue;
      isect_point* pa = points[a];
      isect_point* pb = points[b];
      for (int i = 0; i < count; ++i)
        if (new_points && (new_points[i] == pa || new_points[i] == pb)) new_points[i] = nullptr;
      remove_point(data, &pa, 1, &st);
      if (st < 0) {
        *status = st;
        error_report("resolve_param_square", st, 0);
        return;
      }
      remove_point(data, &pb, 1, &st);
      if (st < 0) {
        *status = st;
        error_report("resolve_param_square", st, 0);
        return;
      }
      *status = 1;
      return;
    }
}

void sh6idput(geom_object* object1, geom_object* object2, isect_data** parent,
              isect_data* sub, int idx, double value, isect_point*** new_points, int* count,
              int* status) {
  *status = 0;
  *new_points = nullptr;
  *count = 0;
  if (!sub) return;
  Reporter fail{"sh6idput", status};
  const int n = sub->point_count;
  const int sub_params = n > 0 ? sub->points[0]->param_count : 0;
  if (idx < 0 || idx > sub_params) {
    fail(kBadIndex);
    return;
  }
  if (n <= 0) return;
  auto** arr = static_cast<isect_point**>(calloc(n, sizeof(isect_point*)));
  if (!arr) {
    fail(kErrMemory);
    return;
  }
  *new_points = arr;
  *count = n;
  const bool split_first = idx < object1->kind;
  int st = 0;
  // 2-3. Parent points, merged with held ones.
  std::vector<double> par(sub_params + 1);
  for (int k = 0; k < n; ++k) {
    const isect_point* s = sub->points[k];
    for (int j = 0, i = 0; j <= sub_params; ++j) par[j] = j == idx ? value : s->params[i++];
    int a = 0, c = 0, b = 0, d = 0;
    if (s->capacity > 0) {
      a = s->top_a[0];
      c = s->top_c[0];
      b = s->top_b[0];
      d = s->top_d[0];
    }
    isect_point* np = create_isect_point_geom(
        sub_params + 1, par.data(), s->value, s->kind, a, c, b, d,
        split_first ? 0 : s->geom_size1, split_first ? s->geom_size2 : 0,
        split_first ? nullptr : s->geom1, split_first ? s->geom2 : nullptr);
    if (!np) {
      fail(kErrMemory);
      return;
    }
    sh6idnpt(parent, &np, 1, &st);
    if (st < 0) {
      destroy_isect_point(np);
      fail(st);
      return;
    }
    arr[k] = np;
  }
  // 4. Connections of the sub-problem.
  for (int k = 0; k < n; ++k) {
    for (int l = k + 1; l < n; ++l) {
      if (neighbour_index(sub->points[k], sub->points[l]) < 0) continue;
      if (arr[k] == arr[l]) continue;
      sh6idcon(parent, &arr[k], &arr[l], &st);
      if (st < 0) {
        fail(st);
        return;
      }
    }
    int s_st = 0;
    if (is_main_point(sub->points[k]) && sh6nmbmain(sub->points[k], &s_st) >= 1) {
      sh6tomain(arr[k], &st);
      if (st < 0) {
        fail(st);
        return;
      }
    }
  }
  // 5. Parameter squares where iso-lines of both objects run along each other.
  if (object1->kind > 0 && object2->kind > 0) {
    int cnt = n;
    for (int l = 0; l < cnt;) {
      isect_point* sq[4] = {arr[l], nullptr, nullptr, nullptr};
      int m = 1, found = 0;
      if (sq[0]) find_param_square(*parent, sq, &m, object1->kind, object2->kind, &found);
      if (found) {
        resolve_param_square(object1, object2, parent, sq, m, arr, cnt, &st);
        if (st < 0) {
          *count = cnt;
          fail(st);
          return;
        }
        if (st == 1) {
          for (int i = 0; i < cnt;) {
            if (arr[i]) {
              ++i;
              continue;
            }
            arr[i] = arr[cnt - 1];
            arr[cnt - 1] = nullptr;
            --cnt;
          }
          continue;  // the same position again
        }
      }
      ++l;
    }
    *count = cnt;
  }
  *status = 0;
}
