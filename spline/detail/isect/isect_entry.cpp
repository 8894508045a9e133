// Curve against a line (2D) or a plane (3D): the signed distances of the curve's
// vertices form a one-dimensional curve whose zeros are the intersections.  With it
// the output step that turns an intersection data into the caller's points and
// intersection curves, and the geometry of a segment along a constant-parameter line
// of a surface.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spline/edit.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/isocurve.h"
#include "spline/status.h"

namespace {

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

bool special_end(const isect_point* p) {
  if (p->kind == kSingularPoint) return true;
  int st = 0;
  return sh6nmbmain(p, &st) > 2;
}

// Shrinks an array to count elements (freed and null when count is 0).
template <typename T>
T* cut_to(T* array, long count) {
  if (count <= 0) {
    free(array);
    return nullptr;
  }
  T* r = static_cast<T*>(realloc(array, sizeof(T) * count));
  return r ? r : array;
}

spline_curve* straight_line(const double* a, const double* b, double start, int* status) {
  double knots[4] = {start, start, start + 1.0, start + 1.0};
  double coefs[4] = {a[0], a[1], b[0], b[1]};
  spline_curve* c = create_curve(2, 2, knots, coefs, 1, 2, 1);
  if (!c) *status = kErrMemory;
  return c;
}

}  // namespace

void pick_crv_sf(geom_object* object1, geom_object* object2, int index, isect_point* first,
                 isect_point* last, spline_curve** curve, int* status) {
  *curve = nullptr;
  const int k1 = object1 ? object1->kind : 0;
  const int k2 = object2 ? object2->kind : 0;
  geom_object* owner = nullptr;
  int local = -1;
  if (index >= 0 && index < k1) {
    owner = object1;
    local = index;
  } else if (index >= k1 && index < k1 + k2) {
    owner = object2;
    local = index - k1;
  }
  if (!owner || owner->kind != kSurfaceObject) {
    *status = -1;
    error_report("pick_crv_sf", *status, 0);
    return;
  }
  const int base = owner == object1 ? 0 : k1;
  const int running = base + (local == 0 ? 1 : 0);
  spline_curve* line = nullptr;
  int st = 0;
  if (local == 0)
    s1437(owner->surface, first->params[base], &line, &st);
  else
    s1436(owner->surface, first->params[base + 1], &line, &st);
  if (st < 0) {
    *status = st;
    error_report("pick_crv_sf", st, 0);
    return;
  }
  const double P1 = first->params[running];
  const double P2 = last->params[running];
  const double a = line->knots[line->order - 1];
  const double b = line->knots[line->vertex_count];
  if (rel_equal(P1, a) && rel_equal(P2, b)) {
    *curve = line;
  } else if (rel_equal(P1, b) && rel_equal(P2, a)) {
    reverse_curve(line);
    *curve = line;
  } else {
    spline_curve* part = nullptr;
    st = 0;
    if (line->open_flag == -1)
      s1713(line, std::fmin(P1, P2), std::fmax(P1, P2), &part, &st);
    else
      s1712(line, std::fmin(P1, P2), std::fmax(P1, P2), &part, &st);
    destroy_curve(line);
    if (st < 0) {
      *status = st;
      error_report("pick_crv_sf", st, 0);
      return;
    }
    if (P1 > P2) reverse_curve(part);
    *curve = part;
  }
  *status = 0;
}

void hp_s1880(geom_object* object1, geom_object* object2, int type, int param_count1,
              int param_count2, isect_data* data, int* point_count, double** params1,
              double** params2, int** markers, int* curve_count, isect_curve*** curves,
              int* track_count, param_track*** tracks, int* status) {
  *point_count = *curve_count = *track_count = 0;
  *params1 = *params2 = nullptr;
  *markers = nullptr;
  *curves = nullptr;
  *tracks = nullptr;
  *status = 0;
  geom_object* empty = nullptr;
  geom_object* second = nullptr;
  auto fail = [&](int s) {
    *status = s;
    error_report("hp_s1880", s, 0);
    destroy_geom_object(empty);
  };
  if (!data) return;
  if (object1->kind == kSurfaceObject && type != 0) {
    empty = create_geom_object(kPointObject);
    if (!empty) return fail(kErrMemory);
    second = empty;
  } else if (object1->kind == kSurfaceObject && object2->kind == kSurfaceObject && type == 0) {
    second = object2;
  }
  const int nl = data->list_count;
  if (nl > 0) {
    *curves = static_cast<isect_curve**>(calloc(nl, sizeof(isect_curve*)));
    *tracks = static_cast<param_track**>(calloc(nl, sizeof(param_track*)));
    if (!*curves || !*tracks) return fail(kErrMemory);
  }
  int used = 0;
  for (int l = 0; l < nl; ++l) {
    isect_list* list = data->lists[l];
    if (!list || list->point_count <= 0 || !list->first) return fail(-137);
    if (list->first->kind == 3 && list->first == list->last) {
      param_track* t = make_param_track(list);
      if (t) {
        (*tracks)[(*track_count)++] = t;
        used += list->point_count - 1;
      }
      continue;
    }
    const bool sflag = special_end(list->first);
    const bool eflag = special_end(list->last);
    const int cap = list->point_count;
    double* p1 = param_count1 > 0 ? static_cast<double*>(malloc(sizeof(double) * cap * param_count1))
                                  : nullptr;
    double* p2 = param_count2 > 0 ? static_cast<double*>(malloc(sizeof(double) * cap * param_count2))
                                  : nullptr;
    if ((param_count1 > 0 && !p1) || (param_count2 > 0 && !p2)) {
      free(p1);
      free(p2);
      return fail(kErrMemory);
    }
    int walked = 0;
    isect_point* prev = nullptr;
    isect_point* cur = list->first;
    while (cur && walked < cap) {
      for (int i = 0; i < param_count1; ++i) p1[walked * param_count1 + i] = cur->params[i];
      for (int i = 0; i < param_count2; ++i)
        p2[walked * param_count2 + i] = cur->params[param_count1 + i];
      if (cur->marker != kPointConsumed) {
        cur->marker = kPointConsumed;
        ++used;
      }
      ++walked;
      isect_point* next = nullptr;
      if (!prev) {
        next = get_neighbour(cur, list->first_slot);
      } else {
        int st = 0;
        sh6getother(cur, prev, &next, &st);
        if (st != 0) next = nullptr;
      }
      prev = cur;
      cur = next;
    }
    int ctype = (sflag && eflag)                 ? kIsectCurveSpecialEnds
                : list->first == list->last ? kIsectCurveClosed
                : sflag                     ? kIsectCurveSpecialStart
                : eflag                     ? kIsectCurveSpecialEnd
                                            : kIsectCurveOpen;
    int const1 = -1, const2 = -1;
    if (second && walked == 2) {
      const int mask = std::abs(list->first->segment_masks[list->first_slot]) & 30;
      if (mask) {
        for (int i = 0; i < list->first->param_count; ++i) {
          if (!(mask & (1 << (i + 1)))) continue;
          ctype = kIsectCurveConstParamLine;
          if (i < object1->kind)
            const1 = i;
          else
            const2 = i;
        }
      }
    }
    isect_curve* ic = create_isect_curve(walked, param_count1, param_count2, p1, p2, ctype);
    if (!ic) {
      free(p1);
      free(p2);
      return fail(kErrMemory);
    }
    (*curves)[(*curve_count)++] = ic;
    ic->word1 = list->word1;
    ic->word2 = list->word2;
    ic->word3 = list->word3;
    ic->word4 = list->word4;
    if (ctype == kIsectCurveConstParamLine) {
      int st = 0;
      pick_crv_sf(object1, second, const1 >= 0 ? const1 : const2, list->first, list->last,
                  &ic->geometry, &st);
      if (st < 0) return fail(st);
      const double start = ic->geometry->knots[ic->geometry->order - 1];
      if (const2 >= 0) {
        ic->pcurve2 = straight_line(list->first->params + object1->kind,
                                    list->last->params + object1->kind, start, &st);
        if (st < 0) return fail(st);
      }
      if (const1 >= 0) {
        ic->pcurve1 = straight_line(list->first->params, list->last->params, start, &st);
        if (st < 0) return fail(st);
      }
    }
  }
  const int singles = data->point_count - used;
  if (singles < 0) return fail(-137);
  if (singles > 0) {
    if (param_count1 > 0)
      *params1 = static_cast<double*>(malloc(sizeof(double) * singles * param_count1));
    if (param_count2 > 0)
      *params2 = static_cast<double*>(malloc(sizeof(double) * singles * param_count2));
    *markers = static_cast<int*>(malloc(sizeof(int) * singles * 4));
    if ((param_count1 > 0 && !*params1) || (param_count2 > 0 && !*params2) || !*markers)
      return fail(kErrMemory);
  }
  // Only main points are written, and the count is the number written: help points
  // that are not part of a curve stay behind and must not leave unwritten entries.
  int n = 0;
  for (int i = 0; i < data->point_count && n < singles; ++i) {
    isect_point* p = data->points[i];
    if (!is_main_point(p) || p->marker == kPointConsumed) continue;
    for (int j = 0; j < param_count1; ++j) (*params1)[n * param_count1 + j] = p->params[j];
    for (int j = 0; j < param_count2; ++j)
      (*params2)[n * param_count2 + j] = p->params[param_count1 + j];
    int* m = *markers + 4 * n;
    m[0] = p->top_a ? p->top_a[0] : 0;
    m[1] = p->top_c ? p->top_c[0] : 0;
    m[2] = p->top_b ? p->top_b[0] : 0;
    m[3] = p->top_d ? p->top_d[0] : 0;
    ++n;
  }
  *point_count = n;
  *params1 = cut_to(*params1, static_cast<long>(n) * param_count1);
  *params2 = cut_to(*params2, static_cast<long>(n) * param_count2);
  *markers = cut_to(*markers, 4L * n);
  *curves = cut_to(*curves, *curve_count);
  *tracks = cut_to(*tracks, *track_count);
  destroy_geom_object(empty);
}

void sh1850(spline_curve* curve, const double* point, const double* normal, int dim,
            double /*epsco*/, double epsge, int /*extra_flag*/, int* extra_count,
            void* /*extra*/, int* point_count, double** params, int** markers,
            int* curve_count, isect_curve*** curves, int* status) {
  *point_count = 0;
  *curve_count = 0;
  if (extra_count) *extra_count = 0;
  *params = nullptr;
  *markers = nullptr;
  *curves = nullptr;
  geom_object* cobj = nullptr;
  geom_object* sobj = nullptr;
  geom_object* pobj = nullptr;
  isect_data* data = nullptr;
  double* coefs = nullptr;
  auto cleanup = [&]() {
    if (cobj) cobj->curve = nullptr;  // the caller's curve
    destroy_geom_object(cobj);
    destroy_geom_object(sobj);  // the distance curve shares knots and coefficients
    free(coefs);
    destroy_geom_object(pobj);
    destroy_isect_data(data);
  };
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1850", s, 0);
    cleanup();
  };
  cobj = create_geom_object(kCurveObject);
  if (!cobj) return fail(kErrMemory);
  cobj->curve = curve;
  if (dim != 2 && dim != 3) return fail(-104);
  if (dim != curve->dim) return fail(-103);

  const int n = curve->vertex_count;
  coefs = static_cast<double*>(malloc(sizeof(double) * n));
  if (!coefs) return fail(kErrMemory);
  const bool rational = is_rational_kind(curve->kind) && curve->hom_coefs;
  if (rational) {
    const double* h = curve->hom_coefs;
    double wmin = h[dim], wmax = h[dim];
    for (int i = 0; i < n; ++i) {
      const double w = h[i * (dim + 1) + dim];
      wmin = std::fmin(wmin, w);
      wmax = std::fmax(wmax, w);
    }
    // A valid rational curve has positive weights only.
    if (!(wmin > 0) || !std::isfinite(wmax)) return fail(-151);
    const double scale = 1.0 / std::sqrt(wmin * wmax);
    for (int i = 0; i < n; ++i) {
      const double* v = h + i * (dim + 1);
      const double w = v[dim] * scale;
      double s = 0;
      for (int j = 0; j < dim; ++j) s += (v[j] * scale - w * point[j]) * normal[j];
      coefs[i] = s;
    }
  } else {
    for (int i = 0; i < n; ++i) {
      double s = 0;
      for (int j = 0; j < dim; ++j) s += (curve->coefs[i * dim + j] - point[j]) * normal[j];
      coefs[i] = s;
    }
  }
  spline_curve* dist =
      create_curve(n, curve->order, curve->knots, coefs, rational ? curve->kind - 1 : curve->kind,
                   1, 0);
  if (!dist) return fail(kErrMemory);
  // The distance curve shares the caller's knots and owns its coefficients.
  dist->copy_mode = 0;
  dist->open_flag = curve->open_flag;
  sobj = create_geom_object(kCurveObject);
  if (!sobj) {
    destroy_curve(dist);
    return fail(kErrMemory);
  }
  sobj->curve = dist;
  sobj->origin = sobj;

  pobj = create_geom_object(kPointObject);
  double zero = 0.0;
  if (!pobj || !(pobj->point = create_point(&zero, 1, 1))) return fail(kErrMemory);

  int st = 0;
  sh1761(sobj, pobj, epsge, &data, &st);
  if (st < 0) return fail(st);
  st = 0;
  int_join_per(&data, cobj, cobj, nullptr, 2000, epsge, &st);
  if (st < 0) return fail(st);
  if (data) {
    double* second = nullptr;
    int tracks = 0;
    param_track** track_array = nullptr;
    st = 0;
    hp_s1880(cobj, cobj, 2000, 1, 0, data, point_count, params, &second, markers, curve_count,
             curves, &tracks, &track_array, &st);
    free(second);
    for (int i = 0; i < tracks; ++i) destroy_param_track(track_array[i]);
    free(track_array);
    if (st < 0) return fail(st);
  }
  *status = isect_budget_exceeded() ? kSubdivBudgetWarning : 0;
  cleanup();
}

void s1850(spline_curve* curve, const double* point, const double* normal, int dim,
           double epsco, double epsge, int* point_count, double** params, int* curve_count,
           isect_curve*** curves, int* status) {
  int* markers = nullptr;
  int extra = 0;
  int st = 0;
  sh1850(curve, point, normal, dim, epsco, epsge, 0, &extra, nullptr, point_count, params,
         &markers, curve_count, curves, &st);
  if (st < 0) {
    *status = st;
    error_report("s1850", st, 0);
    return;
  }
  free(markers);
  *status = 0;
}
