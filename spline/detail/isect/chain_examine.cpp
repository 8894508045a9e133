#include "spline/detail/isect/chain_examine.h"

#include <cmath>
#include <vector>

#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/march_through.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

void march_s1788(spline_surface* surface1, spline_surface* surface2, double aepsge,
                 const double* point, double* start, double* end, int* status) {
  s1788(surface1, surface2, aepsge, point, start, end, status);
}
void march_s1787(spline_surface* surface, double level, double aepsge, const double* point,
                 double* start, double* end, int* status) {
  s1787(surface, level, aepsge, point, start, end, status);
}

struct examiner {
  spline_surface* s1;
  spline_surface* s2;  // null for the level problem
  double level;
  std::vector<double> bounds;  // start, end of each parameter
  int npar;

  bool on_bound(const isect_point* p, int j) const {
    return dequal(p->params[j / 2], bounds[static_cast<size_t>(j)]);
  }
  bool on_any_bound(const isect_point* p) const {
    for (int j = 0; j < 2 * npar; ++j)
      if (on_bound(p, j)) return true;
    return false;
  }
  // Evaluation with first derivatives (and the normal in 3D); status of the evaluator.
  int eval(const spline_surface* s, const double* uv, double* der, double* normal) const {
    int l1 = 0, l2 = 0, st = 0;
    s1421(s, 1, uv, &l1, &l2, der, normal, &st);
    return st;
  }
  // Special end of a list: on a bound, or a degenerate local geometry.
  int special(const isect_point* p, bool* result) const {
    *result = true;
    if (on_any_bound(p)) return 0;
    double d1[9], n1[3], d2[9], n2[3];
    int st = eval(s1, p->params, d1, n1);
    if (st < 0) return st;
    if (st > 0) return 0;
    if (s2) {
      st = eval(s2, p->params + 2, d2, n2);
      if (st < 0) return st;
      if (st > 0) return 0;
      *result = vec_angle(n1, n2, 3) < 0.01;
    } else {
      *result = std::hypot(d1[1], d1[2]) < 1e-11;
    }
    return 0;
  }
};

bool list_present(const isect_data* d, const isect_list* l) {
  if (!d) return false;
  for (int i = 0; i < d->list_count; ++i)
    if (d->lists[i] == l) return true;
  return false;
}

bool point_present(const isect_data* d, const isect_point* p) {
  if (!d) return false;
  for (int i = 0; i < d->point_count; ++i)
    if (d->points[i] == p) return true;
  return false;
}

bool has_predecessor(const isect_data* d, const isect_point* p) {
  for (int i = 0; i < d->point_count; ++i)
    if (d->points[i]->link == p) return true;
  return false;
}

double param_distance(const isect_point* a, const isect_point* b, int n) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += (a->params[i] - b->params[i]) * (a->params[i] - b->params[i]);
  return std::sqrt(s);
}

// Sign of one bound of an isolated point, or 0 when undecided.
int bound_sign_level(const double* der, int j) {
  const double fu = der[1], fv = der[2];
  const double g = std::hypot(fu, fv);
  const double comp = (j % 2 == 0) ? fu : fv;
  if (std::fabs(comp) / g < 1e-11) return 0;
  const int s = comp > 0.0 ? 1 : -1;
  return j < 2 ? s : -s;
}

void examine(examiner& ex, isect_data** data, const char* name, int* status) {
  *status = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report(name, code, 0);
  };
  if (!*data) return;
  const int np = ex.npar;
  std::vector<isect_list*> work;
  for (int i = 0; i < (*data)->list_count; ++i)
    if ((*data)->lists[i]->list_type != 1) work.push_back((*data)->lists[i]);

  // Lists with both ends special stay as they are.
  std::vector<isect_list*> keep;
  for (isect_list* l : work) {
    bool a = false, b = false;
    int st = ex.special(l->first, &a);
    if (st >= 0) st = ex.special(l->last, &b);
    if (st < 0) return fail(st);
    if (!(a && b)) keep.push_back(l);
  }
  work.swap(keep);

  std::vector<isect_list*> survivors;
  for (isect_list* l : work) {
    if (!*data) return;
    // Reduce to one point: the first when it is not on a bound, else the last.
    std::vector<isect_point*> chain;
    for (isect_point* p = l->first; p; p = p->link) {
      chain.push_back(p);
      if (p == l->last || static_cast<int>(chain.size()) > (*data)->point_count) break;
    }
    const bool keep_first = !ex.on_any_bound(l->first);
    isect_point* kept = keep_first ? l->first : l->last;
    int st = 0;
    for (isect_point* p : chain) {
      if (p == kept) continue;
      isect_point* victim = p;
      remove_chain_point(data, &victim, nullptr, nullptr, &st);
    }
    kept->link = nullptr;
    l->first = l->last = kept;
    l->point_count = 1;

    double start[4] = {0, 0, 0, 0}, end[4] = {0, 0, 0, 0};
    if (ex.s2)
      chain_tangency().s1788(ex.s1, ex.s2, 0.001, kept->params, start, end, &st);
    else
      chain_tangency().s1787(ex.s1, ex.level, 0.001, kept->params, start, end, &st);
    if (st < 0) return fail(st);
    if (st == 0) {
      s6idklist(data, l, &st);
      continue;
    }
    if (st == 11 || st == 12 || st == 13 || st == 14 || st == 21 || st == 22 || st == 24) {
      isect_point* a = create_isect_point(np, start, kept->value);
      isect_point* b = create_isect_point(np, end, kept->value);
      int s1 = 0, s2 = 0;
      if (a) s6idnpt(data, &a, 0, &s1);
      if (b) s6idnpt(data, &b, 0, &s2);
      if (!a || !b || s1 < 0 || s2 < 0) return fail(kErrMemory);
      a->link = kept;
      kept->link = b;
      l->first = a;
      l->last = b;
      l->point_count = 3;
      l->list_type = 4;
    } else if (st == 16 || st == 17 || st == 26 || st == 27) {
      kept->link = kept;
      l->list_type = 1;
    }
    survivors.push_back(l);
  }

  // Duplicate lists: the later of two with coinciding ends goes.
  for (size_t i = 0; i < survivors.size(); ++i)
    for (size_t j = i + 1; j < survivors.size(); ++j) {
      isect_list* a = survivors[i];
      isect_list* b = survivors[j];
      if (!list_present(*data, a) || !list_present(*data, b)) continue;
      const bool same = (param_distance(a->first, b->first, np) < 1e-15 &&
                         param_distance(a->last, b->last, np) < 1e-15) ||
                        (param_distance(a->first, b->last, np) < 1e-15 &&
                         param_distance(a->last, b->first, np) < 1e-15);
      int st = 0;
      if (same) s6idklist(data, b, &st);
    }

  // Isolated points.
  if (!*data) return;
  std::vector<isect_point*> isolated;
  for (int i = 0; i < (*data)->point_count; ++i) {
    isect_point* p = (*data)->points[i];
    if (p->link || has_predecessor(*data, p)) continue;
    // A list reduced to this point (and left as it was by the classification) keeps it.
    bool listed = false;
    for (int l = 0; l < (*data)->list_count; ++l)
      listed = listed || (*data)->lists[l]->first == p || (*data)->lists[l]->last == p;
    if (!listed) isolated.push_back(p);
  }
  for (isect_point* p : isolated) {
    if (!*data) return;
    if (!point_present(*data, p)) continue;
    double d1[9], n1[3], d2[9], n2[3];
    int st = ex.eval(ex.s1, p->params, d1, n1);
    if (st < 0) return fail(st);
    if (st > 0) continue;
    double c1[3] = {0, 0, 0}, c2[3] = {0, 0, 0}, t[3] = {0, 0, 0};
    if (ex.s2) {
      st = ex.eval(ex.s2, p->params + 2, d2, n2);
      if (st < 0) return fail(st);
      if (st > 0) continue;
      int f1 = 0, f2 = 0;
      if (vec_length(n1, 3, &f1) <= 1e-15 || vec_length(n2, 3, &f2) <= 1e-15) continue;
      if (vec_angle(n1, n2, 3) < 0.01) continue;
      vec_cross(n1, n2, t);
      int s1 = 0, s2 = 0;
      s6decomp(t, c1, d1 + 3, d1 + 6, n1, &s1);
      s6decomp(t, c2, d2 + 3, d2 + 6, n2, &s2);
      if (s1 != 0 || s2 != 0) continue;
    } else {
      if (std::hypot(d1[1], d1[2]) < 1e-11) continue;
    }
    int mask_count = 0, sign = 0;
    bool undecided = false;
    for (int j = 0; j < 2 * np; ++j) {
      if (!ex.on_bound(p, j)) continue;
      ++mask_count;
      int s = 0;
      if (ex.s2) {
        const double* der = j < 4 ? d1 : d2;
        const double* c = j < 4 ? c1 : c2;
        const int b = j % 4;
        const double* dir = (b % 2 == 0) ? der + 3 : der + 6;
        if (vec_angle(t, dir, 3) >= 0.01) {
          switch (b) {
            case 0: s = c[1] > 0.0 ? 1 : -1; break;
            case 1: s = c[0] > 0.0 ? -1 : 1; break;
            case 2: s = c[1] > 0.0 ? -1 : 1; break;
            default: s = c[0] > 0.0 ? 1 : -1; break;
          }
        }
      } else {
        s = bound_sign_level(d1, j);
      }
      if (s == 0 || (sign != 0 && s != sign)) undecided = true;
      sign = s;
    }
    if (mask_count == 0 || !undecided) {
      isect_point* victim = p;
      remove_chain_point(data, &victim, nullptr, nullptr, &st);
    }
  }
}

std::vector<double> surface_bounds(const spline_surface* s) {
  return {s->knots1[s->order1 - 1], s->knots1[s->vertex_count1], s->knots2[s->order2 - 1],
          s->knots2[s->vertex_count2]};
}

}  // namespace

chain_tangency_table& chain_tangency() {
  static chain_tangency_table table{march_s1788, march_s1787};
  return table;
}

void s6idlis_s9ssexamin(spline_surface* surface1, spline_surface* surface2, isect_data** data,
                        int* status) {
  *status = 0;
  if (surface1->dim != 3 || surface2->dim != 3) {
    *status = -200;
    error_report("s6idlis_s9ssexamin", *status, 0);
    return;
  }
  examiner ex{surface1, surface2, 0.0, surface_bounds(surface1), 4};
  const auto b2 = surface_bounds(surface2);
  ex.bounds.insert(ex.bounds.end(), b2.begin(), b2.end());
  examine(ex, data, "s6idlis_s9ssexamin", status);
}

void s6idlis_s9psexamin(spline_surface* surface, double level, isect_data** data, int* status) {
  *status = 0;
  if (surface->dim != 1) {
    *status = -200;
    error_report("s6idlis_s9psexamin", *status, 0);
    return;
  }
  examiner ex{surface, nullptr, level, surface_bounds(surface), 2};
  examine(ex, data, "s6idlis_s9psexamin", status);
}
