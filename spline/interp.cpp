#include "spline/interp.h"

#include <cmath>
#include <cstdlib>
#include <memory_resource>
#include <vector>

#include "spline/collocation.h"
#include "spline/edit.h"
#include "spline/detail/collocation.h"
#include "spline/detail/internal.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/raise.h"
#include "spline/records.h"
#include "spline/split.h"
#include "spline/status.h"

using namespace spline_detail;

namespace {

// A condition: its dim values stay in storage of the caller (the condition arrays, or
// the store that the expansion fills), so conditions copy as plain values.
struct Cond {
  const double* v;
  int code;
  double par;
};
using Conds = std::pmr::vector<Cond>;
using Doubles = std::pmr::vector<double>;

// The memory of one interpolation's work: one block from the heap, sized for count
// entries of dim values at the given order, that every work array is carved from.
class Arena {
 public:
  Arena(int count, int dim, int order)
      : res_(bytes(count, dim, order), std::pmr::new_delete_resource()) {}
  std::pmr::memory_resource* get() { return &res_; }

 private:
  static size_t bytes(int count, int dim, int order) {
    // The conditions (expanded and ordered, the zero condition and values of
    // difference entries), their parameters and right-hand sides, and the collocation
    // system's work (at most 3k + dim - 2 values and 3 indices per condition).
    const size_t n = static_cast<size_t>(std::max(count, 0)) + std::max(order, 1) + 4;
    const size_t k = std::max(order, 1), d = std::max(dim, 1);
    const size_t doubles = n * (2 * d + 2 + 3 * k + d) + k * k;
    return doubles * sizeof(double) + 3 * n * sizeof(Cond) + 3 * n * sizeof(int) + 4096;
  }
  std::pmr::monotonic_buffer_resource res_;
};

template <typename T>
T* malloc_array(const std::vector<T>& v) {
  auto* p = static_cast<T*>(std::malloc(sizeof(T) * (v.size() > 0 ? v.size() : 1)));
  if (p)
    for (size_t i = 0; i < v.size(); ++i) p[i] = v[i];
  return p;
}

int type_code(int type) {
  switch (type) {
    case 3: case 13: return -1;
    case 4: case 14: return 1;
    case 5: return -2;
    case 6: return 2;
    default: return 0;  // 1, 2 and unknown types are positions
  }
}

// Expansion of the caller's entries into conditions (parameters when given).
int expand(const double* points, const int* types, const double* pp, int open_flag,
           int start_cond, int end_cond, int count, int dim, Doubles& store, Conds& out) {
  if (count < 1 || dim < 1) return kErrMemory;
  out.clear();
  out.reserve(static_cast<size_t>(count) + 2);
  // Values of the conditions that are not the caller's points: the zero start and end
  // conditions, then the differences of the direction points.
  int differences = 0;
  for (int i = 0; i < count; ++i) differences += types[i] == 13 || types[i] == 14;
  store.assign(static_cast<size_t>(differences + 1) * dim, 0.0);
  const double* zero = store.data();
  double* next_difference = store.data() + dim;
  // Running position index for the parameters.
  int pos = -1;
  auto next_pos_par = [&](int from) {
    int p = pos;
    for (int j = from; j < count; ++j)
      if (type_code(types[j]) == 0 && types[j] != 13 && types[j] != 14) {
        ++p;
        break;
      }
    return pp ? pp[p < 0 ? 0 : p] : 0.0;
  };
  if (start_cond) out.push_back({zero, -2, pp ? pp[0] : 0.0});
  for (int i = 0; i < count; ++i) {
    const int ty = types[i];
    const int code = type_code(ty);
    const double* value = points + static_cast<size_t>(i) * dim;
    if (ty == 13 || ty == 14) {
      double* v = next_difference;
      next_difference += dim;
      value = v;
      for (int m = 0; m < dim; ++m) {
        if (ty == 13) {
          if (i + 1 >= count) return kErrMemory;
          v[m] = points[(i + 1) * dim + m] - points[i * dim + m];
        } else {
          if (i < 1) return kErrMemory;
          v[m] = points[i * dim + m] - points[(i - 1) * dim + m];
        }
      }
    }
    double par = 0.0;
    if (code == 0) {
      ++pos;
      par = pp ? pp[pos] : 0.0;
    } else if (code < 0) {
      par = next_pos_par(i + 1);
    } else {
      par = pp ? pp[pos < 0 ? 0 : pos] : 0.0;
    }
    out.emplace_back(value, code, par);
  }
  if (end_cond) out.push_back({zero, 2, pp ? pp[pos < 0 ? 0 : pos] : 0.0});
  if (pos < 0) return kErrMemory;  // no position at all
  (void)open_flag;
  return 0;
}

// Ordering of the conditions for the collocation system.
int order_conditions(const Conds& in, int k, int dim, int open_flag, double closing_par,
                     Conds& out) {
  out.clear();
  const int n = static_cast<int>(in.size());
  out.reserve(static_cast<size_t>(n) + k + 1);
  int i0 = -1;
  for (int i = 0; i < n; ++i)
    if (in[i].code == 0) {
      i0 = i;
      break;
    }
  if (i0 < 0) return kErrMemory;
  // The derivative orders emitted in the current run of conditions: seen[d] == run.
  std::pmr::vector<int> seen(k + 1, -1, out.get_allocator());
  int run = 0;
  auto emit = [&](const Cond& c, int code) {
    const int d = std::abs(code);
    if (d >= k || seen[d] == run) return;
    seen[d] = run;
    out.emplace_back(c.v, code, c.par);
  };
  emit(in[i0], 0);
  for (int j = i0 - 1; j >= 0 && in[j].code < 0; --j) emit(in[j], -in[j].code);
  int j = i0 + 1;
  while (j < n && in[j].code > 0) emit(in[j], in[j].code), ++j;
  while (j < n) {
    ++run;
    bool met = false;
    while (j < n) {
      const Cond& c = in[j];
      if (met && c.code <= 0) break;
      if (c.code == 0) met = true;
      emit(c, c.code);
      ++j;
    }
  }
  if (open_flag != 1) {
    int first = -1, last = -1;
    for (int i = 0; i < static_cast<int>(out.size()); ++i)
      if (out[i].code == 0) {
        if (first < 0) first = i;
        last = i;
      }
    int flag = 0;
    const double d = vec_dist(out[first].v, out[last].v, dim);
    const double L = std::fmax(vec_length(out[first].v, dim, &flag), vec_length(out[last].v, dim, &flag));
    if (std::fabs((d + L) - L) > 1e-12 * std::fmax(std::fabs(d + L), std::fabs(L))) {
      ++run;
      // Derivatives at the very start bound to the point before the first one belong to
      // the closing point.
      for (int s = 0; s < n && in[s].code > 0; ++s) {
        Cond c = in[s];
        c.par = closing_par;
        emit(c, -in[s].code);
      }
      Cond c = out[first];
      c.par = closing_par;
      c.code = 0;
      out.push_back(c);
    }
  }
  // The last group: its derivatives before its position, highest order first.
  int last = -1;
  for (int i = static_cast<int>(out.size()) - 1; i >= 0; --i)
    if (out[i].code == 0) {
      last = i;
      break;
    }
  int begin = last;
  while (begin > 0 && out[begin - 1].code < 0) --begin;
  Conds group(out.begin() + begin, out.end(), out.get_allocator());
  out.resize(begin);
  Cond position = out.empty() ? group[0] : group[0];
  for (const Cond& c : group)
    if (c.code == 0) position = c;
  for (int d = k - 1; d >= 1; --d)
    for (const Cond& c : group)
      if (std::abs(c.code) == d) {
        Cond e = c;
        e.code = -d;
        if (e.par != position.par && c.code > 0) e.par = position.par;
        out.push_back(e);
        break;
      }
  out.push_back(position);
  return 0;
}

// Chord-length parameters of ordered conditions; returns a status.
int chord_params(const Conds& c, int dim, int nonperiodic, double start, Doubles& par) {
  const int n = static_cast<int>(c.size());
  par.assign(n + (nonperiodic == 1 ? 0 : 1), start);
  double cur = start;
  int prev_pos = c[0].code == 0 ? 0 : -1;
  int i = 1;
  while (i < n) {
    if (c[i].code == 0) {
      const double step = prev_pos >= 0 ? vec_dist(c[prev_pos].v, c[i].v, dim) : 0.0;
      cur += step;
      par[i] = cur;
      prev_pos = i;
      ++i;
      continue;
    }
    int j = i;
    while (j < n && c[j].code != 0) ++j;
    double next = cur;
    if (j < n && prev_pos >= 0) next = cur + vec_dist(c[prev_pos].v, c[j].v, dim);
    for (int m = i; m < j; ++m) par[m] = c[m].code <= 0 ? next : cur;
    if (j < n) {
      par[j] = next;
      prev_pos = j;
    }
    cur = next;
    i = j + 1;
  }
  if (nonperiodic != 1) {
    int first = -1, lastp = -1;
    for (int m = 0; m < n; ++m)
      if (c[m].code == 0) {
        if (first < 0) first = m;
        lastp = m;
      }
    if (first < 0) return -164;
    par[n] = cur + vec_dist(c[first].v, c[lastp].v, dim);
  }
  return 0;
}

// The strictly increasing values of p[0 .. n - 1] (a new array); their count in count.
double* strictly_increasing(const double* p, size_t n, int* count) {
  auto* out = static_cast<double*>(std::malloc(sizeof(double) * (n > 0 ? n : 1)));
  int m = 0;
  if (out)
    for (size_t i = 0; i < n; ++i)
      if (m == 0 || p[i] > out[m - 1]) out[m++] = p[i];
  *count = m;
  return out;
}

// Raises a curve solved with fewer conditions than its order to that order (the curve is
// replaced; freed on an error, which is returned).
int raise_order(spline_curve*& c, int order, int open_flag) {
  if (c->order >= order) return 0;
  spline_curve* raised = nullptr;
  int st = 0;
  s1750(c, order, &raised, &st);
  destroy_curve(c);
  c = nullptr;
  if (st < 0) return st;
  raised->open_flag = open_flag;
  c = raised;
  return 0;
}

// Interpolation on ordered conditions with parameters (one per condition, plus the
// closing value for a periodic curve).  Returns the curve.
int solve_curve(const Conds& c, const double* par, int order, int dim, int open_flag,
                spline_curve** curve, std::pmr::memory_resource* mem) {
  int n = static_cast<int>(c.size());
  const int kk = std::min(order, n);
  const bool periodic = open_flag == -1;
  // The closing condition of a periodic curve leaves the system; its parameter ends the
  // period.
  if (periodic) --n;
  const int nv = periodic ? n + kk - 1 : n;
  const size_t knot_count = static_cast<size_t>(nv) + kk;
  // The curve adopts the knots and the vertices.
  auto* knots = static_cast<double*>(std::malloc(sizeof(double) * (knot_count + 1)));
  auto* verts = static_cast<double*>(std::malloc(sizeof(double) * (static_cast<size_t>(nv) * dim + 1)));
  auto fail = [&](int code) {
    std::free(knots);
    std::free(verts);
    return code;
  };
  if (!knots || !verts) return fail(kErrMemory);
  if (int st = interpolation_knots(par, n, kk, periodic, knots)) {
    error_report("s1902", st, 0);
    return fail(st);
  }
  WorkArray<double> rhs(mem, static_cast<size_t>(n) * dim);
  WorkArray<int> der(mem, n);
  if (!rhs || !der) return fail(kErrMemory);
  for (int i = 0; i < n; ++i) {
    for (int m = 0; m < dim; ++m) rhs[static_cast<size_t>(i) * dim + m] = c[i].v[m];
    der[i] = std::abs(c[i].code);
  }
  if (int st = collocation_solve(par, rhs.get(), dim, n, 1, der.get(), periodic, knots, kk, verts, mem)) {
    error_report("s1891", st, 0);
    return fail(st);
  }
  spline_curve* cv = create_curve(nv, kk, knots, verts, 1, dim, 2);
  if (!cv) return fail(kErrMemory);
  cv->open_flag = open_flag;
  if (int rst = raise_order(cv, order, open_flag)) return rst;
  *curve = cv;
  return 0;
}

void to_arrays(const Conds& c, int dim, double** conds, int** codes, double** params) {
  const size_t n = c.size();
  auto* v = static_cast<double*>(std::malloc(sizeof(double) * (n * dim > 0 ? n * dim : 1)));
  auto* k = static_cast<int*>(std::malloc(sizeof(int) * (n > 0 ? n : 1)));
  double* p = params ? static_cast<double*>(std::malloc(sizeof(double) * (n > 0 ? n : 1))) : nullptr;
  for (size_t i = 0; i < n; ++i) {
    if (v) std::copy(c[i].v, c[i].v + dim, v + i * dim);
    if (k) k[i] = c[i].code;
    if (p) p[i] = c[i].par;
  }
  *conds = v;
  *codes = k;
  if (params) *params = p;
}

Conds from_arrays(const double* conds, const int* codes, const double* params, int n, int dim,
                  std::pmr::memory_resource* mem = std::pmr::get_default_resource()) {
  Conds c(n, mem);
  for (int i = 0; i < n; ++i) {
    c[i].v = conds + static_cast<size_t>(i) * dim;
    c[i].code = codes[i];
    c[i].par = params ? params[i] : 0.0;
  }
  return c;
}

}  // namespace

void s1906(const double* points, const int* types, int start_cond, int end_cond, int count,
           int dim, double** conds, int** codes, int* n, int* status) {
  Conds c;
  Doubles store;
  if (int st = expand(points, types, nullptr, 1, start_cond, end_cond, count, dim, store, c)) {
    *status = st;
    error_report("s1906", st, 0);
    return;
  }
  to_arrays(c, dim, conds, codes, nullptr);
  *n = static_cast<int>(c.size());
  *status = 0;
}

void s1907(const double* points, const int* types, const double* point_params, int open_flag,
           int start_cond, int end_cond, int count, int dim, double** conds, int** codes,
           double** cond_params, int* n, int* status) {
  Conds c;
  Doubles store;
  if (int st = expand(points, types, point_params, open_flag, start_cond, end_cond, count, dim, store, c)) {
    *status = st;
    error_report("s1907", st, 0);
    return;
  }
  std::vector<double> p;
  for (auto& x : c) p.push_back(x.par);
  if (open_flag != 1) {
    int positions = 0;
    for (int i = 0; i < count; ++i) positions += type_code(types[i]) == 0;
    p.push_back(point_params[positions]);
  }
  to_arrays(c, dim, conds, codes, nullptr);
  *cond_params = malloc_array(p);
  *n = static_cast<int>(c.size());
  *status = 0;
}

void s1905(const double* conds, const int* codes, int n, int order, int dim, int open_flag,
           double** out_conds, int** out_codes, int* out_n, int* status) {
  Conds out;
  if (int st = order_conditions(from_arrays(conds, codes, nullptr, n, dim), order, dim, open_flag,
                                0.0, out)) {
    *status = st;
    error_report("s1905", st, 0);
    return;
  }
  to_arrays(out, dim, out_conds, out_codes, nullptr);
  *out_n = static_cast<int>(out.size());
  *status = 0;
}

void s1908(const double* conds, const int* codes, const double* cond_params, int n, int order,
           int dim, int open_flag, double** out_conds, int** out_codes, double** out_params,
           int* out_n, int* status) {
  Conds out;
  const double closing = open_flag != 1 ? cond_params[n] : 0.0;
  if (int st = order_conditions(from_arrays(conds, codes, cond_params, n, dim), order, dim,
                                open_flag, closing, out)) {
    *status = st;
    error_report("s1908", st, 0);
    return;
  }
  to_arrays(out, dim, out_conds, out_codes, out_params);
  *out_n = static_cast<int>(out.size());
  *status = 0;
}

void s1909(const double* conds, const int* codes, int n, int dim, int nonperiodic, double start,
           double* end, double** par, double** distinct, int* status) {
  Doubles p;
  if (int st = chord_params(from_arrays(conds, codes, nullptr, n, dim), dim, nonperiodic, start, p)) {
    *status = st;
    error_report("s1909", st, 0);
    return;
  }
  *end = p.back();
  *par = static_cast<double*>(std::malloc(sizeof(double) * std::max<size_t>(p.size(), 1)));
  if (*par) std::copy(p.begin(), p.end(), *par);
  int count = 0;
  *distinct = strictly_increasing(p.data(), p.size(), &count);
  *status = 0;
}

namespace {

// The interpolation of s1912 (periodic_driver false) and s1901 (true) on expanded
// conditions.  A null param_fn stands for chord-length parameters (s1909), found here
// without the round trip through arrays.  Work arrays come from mem.
void driver(interp_param_fn param_fn, const Conds& conds, double start, int order, int dim,
            int open_flag, bool periodic_driver, double* end, spline_curve** curve,
            double** params, int* param_count, const char* name, int* status,
            std::pmr::memory_resource* mem) {
  auto fail = [&](int code) {
    *status = code;
    error_report(name, code, 0);
  };
  // Periodic as far as the system is concerned.
  const bool periodic = periodic_driver ? open_flag != 1 : open_flag == -1;
  Conds ordered(mem);
  if (int st = order_conditions(conds, order, dim, open_flag, 0.0, ordered)) return fail(st);
  const int m = static_cast<int>(ordered.size());
  // The parameters: one per condition and, for a periodic curve, the end of the period
  // (the closing point leaves the system; the periodic curve repeats it by itself).
  Doubles p(mem);
  int st = 0;
  if (!param_fn) {
    if ((st = chord_params(ordered, dim, periodic ? 0 : 1, start, p))) {
      error_report("s1909", st, 0);
      return fail(st);
    }
  } else {
    std::vector<double> flat;
    std::vector<int> ocodes;
    flat.reserve(static_cast<size_t>(m) * dim);
    ocodes.reserve(m);
    for (auto& c : ordered) {
      flat.insert(flat.end(), c.v, c.v + dim);
      ocodes.push_back(c.code);
    }
    double* par = nullptr;
    double* distinct = nullptr;
    param_fn(flat.data(), ocodes.data(), m, dim, periodic ? 0 : 1, start, end, &par, &distinct, &st);
    if (st < 0) return fail(st);
    std::free(distinct);
    p.assign(par, par + m + (periodic ? 1 : 0));
    std::free(par);
  }
  spline_curve* c = nullptr;
  st = solve_curve(ordered, p.data(), order, dim, periodic ? -1 : open_flag, &c, mem);
  if (st < 0) return fail(st);
  if (periodic_driver) {
    c->open_flag = open_flag == 1 ? 1 : -1;
    if (open_flag == 0) {
      spline_curve* cut = nullptr;
      s1713(c, c->knots[c->order - 1], c->knots[c->vertex_count], &cut, &st);
      destroy_curve(c);
      if (st < 0) return fail(st);
      c = cut;
    }
  }
  *params = strictly_increasing(p.data(), p.size(), param_count);
  *end = p.back();
  *curve = c;
  *status = 0;
}

// s1912 or s1901 on the caller's condition arrays.
void driver_on_arrays(interp_param_fn param_fn, const double* conds, const int* codes, int n,
                      double start, int order, int dim, int open_flag, bool periodic_driver,
                      double* end, spline_curve** curve, double** params, int* param_count,
                      const char* name, int* status) {
  Arena arena(n, dim, order);
  driver(param_fn, from_arrays(conds, codes, nullptr, n, dim, arena.get()), start, order, dim,
         open_flag, periodic_driver, end, curve, params, param_count, name, status, arena.get());
}

// s1356 (periodic_driver false) and s1334 (true): the points expanded into conditions
// (as s1906 does) and interpolated at chord-length parameters (as s1912 and s1901 do
// with s1909 and s1902), reported under the names of those routines.
void interpolate_points(const double* points, int count, int dim, const int* types,
                        int start_cond, int end_cond, int open_flag, int order, double start,
                        bool periodic_driver, double* end, spline_curve** curve,
                        double** params, int* param_count, const char* name, int* status) {
  Arena arena(count, dim, order);
  Conds conds(arena.get());
  Doubles store(arena.get());
  int st = expand(points, types, nullptr, 1, start_cond, end_cond, count, dim, store, conds);
  if (st) {
    error_report("s1906", st, 0);
  } else {
    driver(nullptr, conds, start, order, dim, open_flag, periodic_driver, end, curve, params,
           param_count, periodic_driver ? "s1901" : "s1912", &st, arena.get());
  }
  if (st < 0) {
    *status = st;
    error_report(name, st, 0);
    return;
  }
  *status = 0;
}

}  // namespace

void s1912(interp_param_fn param_fn, interp_knot_fn, const double* conds, const int* codes,
           int n, double start, int order, int dim, int open_flag, double* end,
           spline_curve** curve, double** params, int* param_count, int* status) {
  driver_on_arrays(param_fn, conds, codes, n, start, order, dim, open_flag, false, end, curve,
                   params, param_count, "s1912", status);
}

void s1901(interp_param_fn param_fn, interp_knot_fn, const double* conds, const int* codes,
           int n, double start, int order, int dim, int open_flag, double* end,
           spline_curve** curve, double** params, int* param_count, int* status) {
  driver_on_arrays(param_fn, conds, codes, n, start, order, dim, open_flag, true, end, curve,
                   params, param_count, "s1901", status);
}

void s1356(const double* points, int count, int dim, const int* types, int start_cond,
           int end_cond, int open_flag, int order, double start, double* end,
           spline_curve** curve, double** params, int* param_count, int* status) {
  interpolate_points(points, count, dim, types, start_cond, end_cond, open_flag, order, start,
                     false, end, curve, params, param_count, "s1356", status);
}

void s1334(const double* points, int count, int dim, const double* types, int start_cond,
           int end_cond, int open_flag, int order, double start, double* end,
           spline_curve** curve, double** params, int* param_count, int* status) {
  std::vector<int> itypes(count > 0 ? count : 1);
  for (int i = 0; i < count; ++i) itypes[i] = static_cast<int>(types[i]);
  interpolate_points(points, count, dim, itypes.data(), start_cond, end_cond,
                     open_flag == 0 ? -1 : open_flag, order, start, true, end, curve, params,
                     param_count, "s1334", status);
}

void s1357(const double* points, int count, int dim, const int* types, const double* point_params,
           int start_cond, int end_cond, int open_flag, int order, double, double* end,
           spline_curve** curve, double** params, int* param_count, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1357", code, 0);
  };
  Arena arena(count, dim, order);
  Conds expanded(arena.get()), ordered(arena.get());
  Doubles store(arena.get());
  if (int st = expand(points, types, point_params, open_flag, start_cond, end_cond, count, dim,
                      store, expanded))
    return fail(st);
  double closing = 0.0;
  if (open_flag != 1) {
    int positions = 0;
    for (int i = 0; i < count; ++i) positions += type_code(types[i]) == 0;
    closing = point_params[positions];
  }
  if (int st = order_conditions(expanded, order, dim, open_flag, closing, ordered)) return fail(st);
  Doubles p(arena.get());
  p.reserve(ordered.size() + 1);
  for (auto& c : ordered) p.push_back(c.par);
  if (open_flag == -1) {
    // The closing condition, when the ordering added one, carries the closing value;
    // otherwise the period ends at the closing value.
    if (p.back() != closing) {
      Cond c = ordered[0];
      c.par = closing;
      ordered.push_back(c);
      p.push_back(closing);
    }
  }
  spline_curve* c = nullptr;
  // A periodic curve is turned to its first parameter in the order it was solved with
  // (at most the condition count) and raised afterwards: the turning depends on the
  // knot layout of that order.
  const int solved = open_flag == -1 ? std::min(order, static_cast<int>(ordered.size())) : order;
  int st = solve_curve(ordered, p.data(), solved, dim, open_flag, &c, arena.get());
  if (st < 0) return fail(st);
  if (open_flag == -1 && c->order % 2 == 0) {
    // An even-order periodic knot vector starts late: turn it so that the range starts
    // at the first given parameter (one knot and one vertex per step).
    const int k = c->order, nv = c->vertex_count, n = nv - (k - 1), total = nv + k;
    const double first = p[0];
    const double T = c->knots[n + k - 1] - c->knots[k - 1];
    int guard = 0;
    while (c->knots[k - 1] > first && !dequal(c->knots[k - 1], first) && guard++ < k) {
      const double new_first = c->knots[n - 1] - T;
      for (int i = total - 1; i >= 1; --i) c->knots[i] = c->knots[i - 1];
      c->knots[0] = new_first;
      std::vector<double> last(c->coefs + static_cast<size_t>(n - 1) * dim, c->coefs + static_cast<size_t>(n) * dim);
      for (int i = nv - 1; i >= 1; --i)
        for (int m = 0; m < dim; ++m) c->coefs[i * dim + m] = c->coefs[(i - 1) * dim + m];
      for (int m = 0; m < dim; ++m) c->coefs[m] = last[m];
    }
  }
  if (open_flag == -1 && c->order % 2 == 1 &&
      std::fabs(c->knots[c->order - 1] - p[0]) > 1e-12) {
    // An odd-order periodic knot vector has its knots between the parameters: open the
    // curve at the first parameter and make it periodic again from there.
    const int k = c->order, n = c->vertex_count;
    const double T = c->knots[n] - c->knots[k - 1];
    double x = p[0];
    int guard = 0;
    while (x < c->knots[k - 1] && guard++ < 100) x += T;
    while (x > c->knots[n] && guard++ < 100) x -= T;
    spline_curve *opened = nullptr, *none = nullptr;
    int ost = 0;
    s1710(c, x, &opened, &none, &ost);
    destroy_curve(none);
    if (ost < 0 || !opened) {
      destroy_curve(c);
      return fail(ost < 0 ? ost : kErrMemory);
    }
    const double shift = p[0] - opened->knots[k - 1];
    if (std::fabs(shift) > 1e-12)
      for (int i = 0; i < opened->vertex_count + k; ++i) opened->knots[i] += shift;
    int left = k - 1;
    int m = s6knotmult(c->knots, k, n, &left, x, &ost);
    if (m < 2) m = 1;
    make_cv_cyclic(opened, k - 1 - m, &ost);
    destroy_curve(c);
    if (ost < 0) {
      destroy_curve(opened);
      return fail(ost);
    }
    opened->open_flag = -1;
    c = opened;
  }
  if (int rst = raise_order(c, order, open_flag)) return fail(rst);
  *params = strictly_increasing(p.data(), p.size() - (open_flag == -1 ? 1 : 0), param_count);
  *end = c->knots[c->vertex_count];
  *curve = c;
  *status = 0;
}

void s1630(const double* points, int count, double start, int open_flag, int dim, int order,
           spline_curve** curve, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1630", code, 0);
  };
  const int kk = std::min(order, count);
  if (kk < 2) return fail(kErrInterval);
  if (open_flag != 1 && open_flag != 0 && open_flag != -1) return fail(-113);
  std::vector<double> par(count + 1);
  par[0] = start;
  for (int i = 1; i < count; ++i) par[i] = par[i - 1] + vec_dist(points + (i - 1) * dim, points + i * dim, dim);
  par[count] = par[count - 1] + vec_dist(points + (count - 1) * dim, points, dim);
  const int n = open_flag == 0 ? count + 1 : count;
  double* knots = nullptr;
  int st = 0;
  s1902(par.data(), n, kk, open_flag == -1 ? 0 : 1, &knots, &st);
  if (st < 0) return fail(st);
  std::vector<double> v(points, points + static_cast<size_t>(count) * dim);
  if (open_flag == -1) v.insert(v.end(), points, points + static_cast<size_t>(kk - 1) * dim);
  if (open_flag == 0) v.insert(v.end(), points, points + dim);
  const int nv = static_cast<int>(v.size()) / dim;
  double* verts = malloc_copy(v.data(), v.size());
  spline_curve* c = verts ? create_curve(nv, kk, knots, verts, 1, dim, 2) : nullptr;
  if (!c) {
    std::free(knots);
    std::free(verts);
    return fail(kErrMemory);
  }
  c->open_flag = open_flag;
  if (int rst = raise_order(c, order, open_flag)) return fail(rst);
  *curve = c;
  *status = 0;
}
