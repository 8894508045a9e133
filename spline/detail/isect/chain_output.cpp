#include "spline/detail/isect/chain_output.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "spline/detail/isect/isect_records.h"
#include "spline/records.h"
#include "spline/split.h"
#include "spline/status.h"

namespace {

// A malloc'd copy of v, or null for an empty vector (ok is false on memory failure).
double* to_array(const std::vector<double>& v, bool* ok) {
  if (v.empty()) return nullptr;
  auto* a = static_cast<double*>(std::malloc(sizeof(double) * v.size()));
  if (!a) {
    *ok = false;
    return nullptr;
  }
  std::memcpy(a, v.data(), sizeof(double) * v.size());
  return a;
}

void append_params(const isect_point* p, int n1, int n2, std::vector<double>& a,
                   std::vector<double>& b) {
  for (int i = 0; i < n1; ++i) a.push_back(i < p->param_count ? p->params[i] : 0.0);
  for (int i = 0; i < n2; ++i) b.push_back(n1 + i < p->param_count ? p->params[n1 + i] : 0.0);
}

}  // namespace

void s1880(int param_count1, int param_count2, int* point_count, isect_point** points,
           int* list_count, isect_list** lists, int* single_count, double** params1,
           double** params2, int* curve_count, isect_curve*** curves, int* status) {
  *status = 0;
  *single_count = 0;
  *params1 = *params2 = nullptr;
  *curve_count = 0;
  *curves = nullptr;
  std::vector<isect_curve*> made;
  auto cleanup_fail = [&](int code) {
    for (isect_curve* c : made) destroy_isect_curve(c);
    *status = code;
    error_report("s1880", code, 0);
  };
  static const int kCurveType[6] = {4, 2, 5, 6, 7, 8};
  const int nl = list_count ? *list_count : 0;
  for (int l = 0; l < nl; ++l) {
    isect_list* list = lists[l];
    if (!list || !list->first) return cleanup_fail(-137);
    if (list->list_type < 0 || list->list_type > 5) return cleanup_fail(-146);
    std::vector<double> a, b;
    int count = 0;
    for (isect_point* p = list->first; p && p->param_count != -1; p = p->link) {
      append_params(p, param_count1, param_count2, a, b);
      p->param_count = -1;
      ++count;
    }
    if (count == 0) return cleanup_fail(-137);
    bool ok = true;
    double* pa = to_array(a, &ok);
    double* pb = to_array(b, &ok);
    isect_curve* c = ok ? create_isect_curve(count, param_count1, param_count2, pa, pb,
                                             kCurveType[list->list_type])
                        : nullptr;
    if (!c) {
      std::free(pa);
      std::free(pb);
      return cleanup_fail(kErrMemory);
    }
    made.push_back(c);
  }
  std::vector<double> a, b;
  int singles = 0;
  const int np = *point_count;
  for (int i = 0; i < np; ++i) {
    isect_point* p = points[i];
    if (!p || p->param_count == -1) continue;
    append_params(p, param_count1, param_count2, a, b);
    ++singles;
  }
  bool ok = true;
  double* pa = to_array(a, &ok);
  double* pb = to_array(b, &ok);
  isect_curve** array = nullptr;
  if (ok && !made.empty()) {
    array = static_cast<isect_curve**>(std::malloc(sizeof(isect_curve*) * made.size()));
    ok = array != nullptr;
    if (ok) std::memcpy(array, made.data(), sizeof(isect_curve*) * made.size());
  }
  if (!ok) {
    std::free(pa);
    std::free(pb);
    return cleanup_fail(kErrMemory);
  }
  // The points go; the lists stay with the caller and must not name them any more.
  for (int i = 0; i < np; ++i) {
    destroy_isect_point(points[i]);
    points[i] = nullptr;
  }
  *point_count = 0;
  for (int l = 0; l < nl; ++l)
    if (lists[l]) lists[l]->first = lists[l]->last = nullptr;
  *single_count = singles;
  *params1 = pa;
  *params2 = pb;
  *curve_count = static_cast<int>(made.size());
  *curves = array;
}

void make_sf_kreg(const spline_surface* surface, spline_surface** result, int* status) {
  *status = 0;
  spline_surface* s = nullptr;
  int st = 0;
  s1001(surface, surface->knots1[surface->order1 - 1], surface->knots2[surface->order2 - 1],
        surface->knots1[surface->vertex_count1], surface->knots2[surface->vertex_count2], &s,
        &st);
  if (st < 0 || !s) {
    *status = st < 0 ? st : kErrMemory;
    error_report("make_sf_kreg", *status, 0);
    return;
  }
  if (s->open_flag1 == -1) s->open_flag1 = 0;
  if (s->open_flag2 == -1) s->open_flag2 = 0;
  *result = s;
}
