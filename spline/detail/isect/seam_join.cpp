// Joining of intersection results across the seams of closed periodic objects: two
// pieces of one intersection curve cut by the seam become one list, seam segments
// found twice are kept once, and isolated points found twice (on both sides of a
// seam) are kept once.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "spline/detail/isect/isect_degen.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/status.h"

namespace {

double space_distance(const isect_point* a, const isect_point* b, int dim) {
  double d = 0;
  for (int i = 0; i < dim; ++i) {
    const double e = a->curve_geom[i] - b->curve_geom[i];
    d += e * e;
  }
  return std::sqrt(d);
}

int first_mask(const isect_list* list) {
  const isect_point* p = list->first;
  if (!p || list->first_slot < 0 || list->first_slot >= p->neighbour_count) return 0;
  return std::abs(p->segment_masks[list->first_slot]) & 30;
}

void remove_list(isect_data* data, int index) {
  destroy_isect_list(data->lists[index]);
  data->lists[index] = data->lists[data->list_count - 1];
  data->lists[data->list_count - 1] = nullptr;
  --data->list_count;
}

}  // namespace

void int_join_per(isect_data** data, geom_object* object1, geom_object* object2,
                  const double* coefs, int type, double epsge, int* status) {
  auto fail = [&](int s, int pos) {
    *status = s;
    error_report("int_join_per", s, pos);
  };
  isect_data* d = *data;
  if (!d || d->point_count < 2) return;
  if (object1->kind != kCurveObject && object1->kind != kSurfaceObject) return fail(-200, 0);
  const int dim = object1->kind == kCurveObject ? object1->curve->dim : object1->surface->dim;
  if (dim == 3 && object2->kind == kPointObject) return;

  // Parameter ranges; a closed periodic direction is unbounded.
  double lo[4], hi[4];
  int np = 0;
  for (const geom_object* o : {object1, object2}) {
    if (o->kind == kCurveObject) {
      const spline_curve* c = o->curve;
      const bool per = c->open_flag == -1;
      lo[np] = per ? -DBL_MAX : c->knots[c->order - 1];
      hi[np] = per ? DBL_MAX : c->knots[c->vertex_count];
      ++np;
    } else if (o->kind == kSurfaceObject) {
      const spline_surface* s = o->surface;
      const bool p1 = s->open_flag1 == -1, p2 = s->open_flag2 == -1;
      lo[np] = p1 ? -DBL_MAX : s->knots1[s->order1 - 1];
      hi[np] = p1 ? DBL_MAX : s->knots1[s->vertex_count1];
      lo[np + 1] = p2 ? -DBL_MAX : s->knots2[s->order2 - 1];
      hi[np + 1] = p2 ? DBL_MAX : s->knots2[s->vertex_count2];
      np += 2;
    }
  }
  for (int i = 0; i < d->point_count; ++i)
    if (d->points[i]->param_count > 4) return fail(-200, 0);

  const int mode = (object1->kind == kSurfaceObject && object2->kind == kSurfaceObject && type == 0)   ? 1
                   : (object1->kind == kSurfaceObject && type != 0 && type != 2000) ? 2
                                                                       : 0;
  const bool shift_planes = object1->kind == kSurfaceObject && type != 2000;

  // Evaluate every point.
  for (int i = 0; i < d->point_count; ++i) {
    double *cg, *s1, *s2;
    int st = 0;
    shevalint(object1, object2, coefs, type, d->points[i], epsge, &cg, &s1, &s2, &st);
    if (st < 0) return fail(st, 0);
  }
  // Mode 2 (a surface against an implicit object) would orient its two-point
  // constant-parameter segments here; neither entry core runs in that mode.

  // Duplicate seam segments.
  bool again = true;
  while (again) {
    again = false;
    for (int a = 0; a < d->list_count && !again; ++a) {
      isect_list* A = d->lists[a];
      if (A->first == A->last || A->point_count != 2) continue;
      const int ma = first_mask(A);
      if (!ma) continue;
      for (int b = 0; b < d->list_count && !again; ++b) {
        if (b == a) continue;
        isect_list* B = d->lists[b];
        if (B->first == B->last || B->point_count != 2) continue;
        const int mb = first_mask(B);
        if (!mb || !(((ma >> 1) & (mb >> 1)) & 15)) continue;
        const bool same =
            (space_distance(A->last, B->first, dim) <= epsge &&
             space_distance(A->first, B->last, dim) <= epsge) ||
            (space_distance(A->last, B->last, dim) <= epsge &&
             space_distance(A->first, B->first, dim) <= epsge);
        if (!same) continue;
        isect_point* p = B->first;
        isect_point* q = B->last;
        int st = 0;
        remove_point(data, &p, 0, &st);
        if (st < 0) return fail(st, 0);
        st = 0;
        remove_point(data, &q, 0, &st);
        if (st < 0) return fail(st, 0);
        remove_list(d, b);
        again = true;
      }
    }
  }

  // Joining across a seam.
  again = true;
  while (again) {
    again = false;
    for (int a = 0; a < d->list_count && !again; ++a) {
      isect_list* A = d->lists[a];
      if (A->first == A->last) continue;
      isect_point* F = A->last;
      for (int b = 0; b < d->list_count && !again; ++b) {
        if (b == a) continue;
        isect_list* B = d->lists[b];
        isect_point* H = B->first;
        isect_point* I = B->last;
        if (F == H) continue;
        const auto special = [](const isect_point* p) {
          return p->kind == kSingularPoint || p->kind == kEdgePoint || p->kind == kTouchingPoint;
        };
        if (special(F) || special(H)) continue;
        if (space_distance(F, H, dim) > epsge) continue;
        const double* tf = F->curve_geom + dim;
        const double* th = H->curve_geom + dim;
        double dot = 0, nf = 0, nh = 0;
        for (int i = 0; i < dim; ++i) {
          dot += tf[i] * th[i];
          nf += tf[i] * tf[i];
          nh += th[i] * th[i];
        }
        if (dot <= 0) continue;
        const double cosang = dot / std::sqrt(nf * nh);
        if (std::acos(std::fmin(1.0, cosang)) >= 0.01) continue;
        const int nparam = F->param_count < H->param_count ? F->param_count : H->param_count;
        double shift[4] = {0, 0, 0, 0};
        for (int i = 0; i < nparam; ++i) shift[i] = F->params[i] - H->params[i];
        // Walk B after H and check the shifted parameters.
        bool fits = true;
        isect_point* prev = H;
        isect_point* cur = get_neighbour(H, B->first_slot);
        int steps = 0;
        while (cur && fits) {
          for (int i = 0; i < cur->param_count && i < np; ++i) {
            const double x = cur->params[i] + shift[i];
            const bool lo_ok = x >= lo[i] || std::fabs(x - lo[i]) <= 1e-12 * std::fmax(std::fabs(x), std::fabs(lo[i]));
            const bool hi_ok = x <= hi[i] || std::fabs(x - hi[i]) <= 1e-12 * std::fmax(std::fabs(x), std::fabs(hi[i]));
            if (!lo_ok || !hi_ok) fits = false;
          }
          if (cur == I || ++steps > d->point_count) break;
          isect_point* next = nullptr;
          int st = 0;
          sh6getother(cur, prev, &next, &st);
          if (st != 0) {
            cur = nullptr;
            break;
          }
          prev = cur;
          cur = next;
        }
        if (!cur && fits) return fail(-500, 0);
        if (!fits) continue;
        // Shift B's points after H.
        prev = H;
        cur = get_neighbour(H, B->first_slot);
        while (cur) {
          for (int i = 0; i < cur->param_count && i < 4; ++i) cur->params[i] += shift[i];
          if (shift_planes) {
            cur->surf_geom1[0] += shift[0];
            cur->surf_geom1[1] += shift[1];
            if (mode == 1) {
              cur->surf_geom2[0] += shift[2];
              cur->surf_geom2[1] += shift[3];
            }
          }
          if (cur == I) break;
          isect_point* next = nullptr;
          int st = 0;
          sh6getother(cur, prev, &next, &st);
          prev = cur;
          cur = next;
        }
        const bool both_const = A->point_count == 2 && B->point_count == 2 && first_mask(A) &&
                                first_mask(B);
        int st = 0;
        sh6connect(F, H, &st);
        if (st < 0) return fail(st, 0);
        isect_point* h = H;
        st = 0;
        remove_point(data, &h, 1, &st);
        if (st < 0) return fail(st, 0);
        if (both_const) {
          isect_point* f = F;
          st = 0;
          remove_point(data, &f, 1, &st);
          if (st < 0) return fail(st, 0);
          int s1 = -1, s2 = -1;
          st = 0;
          sh6getlist(A->first, I, &s1, &s2, &st);
          if (st != 0) return fail(-500, 111);
          A->last = I;
          A->first_slot = s1;
          A->last_slot = s2;
          A->point_count = 2;
        } else {
          A->point_count += B->point_count - 1;
          A->last = I;
          A->last_slot = B->last_slot;
        }
        remove_list(d, b);
        again = true;
      }
    }
  }

  // Duplicate isolated points.
  for (int i = 0; i < d->point_count;) {
    isect_point* p = d->points[i];
    bool removed = false;
    if (is_main_point(p)) {
      int st = 0;
      const int mains = sh6nmbmain(p, &st);
      if (mains == 0) {
        for (int j = 0; j < d->point_count; ++j) {
          isect_point* q = d->points[j];
          if (q == p || !is_main_point(q)) continue;
          if (space_distance(p, q, dim) <= epsge) {
            st = 0;
            remove_point(data, &p, 0, &st);
            if (st < 0) return fail(st, 0);
            removed = true;
            break;
          }
        }
      }
    }
    if (!removed) ++i;
  }
  *status = 0;
}
