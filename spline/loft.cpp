#include "spline/loft.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/edit.h"
#include "spline/implicit.h"
#include "spline/detail/internal.h"
#include "spline/interp.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/raise.h"
#include "spline/records.h"
#include "spline/split.h"
#include "spline/status.h"

using namespace spline_detail;

void s1934(double* t, int n, int k, double a, double b, int* status) {
  if (k < 1 || n < k) {
    *status = kErrKnots;
    error_report("s1934", *status, 0);
    return;
  }
  if (a == b) {
    *status = -124;
    error_report("s1934", *status, 0);
    return;
  }
  const double t0 = t[k - 1], t1 = t[n];
  for (int i = k; i < n; ++i) t[i] = a + (t[i] - t0) * (b - a) / (t1 - t0);
  for (int i = 0; i < k; ++i) {
    t[i] = a;
    t[n + i] = b;
  }
  *status = 0;
}

void s1935(const double* t1, int n1, const double* t2, int n2, double** merged, int* n, int k,
           int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1935", code, 0);
  };
  if (k < 1) return fail(kErrOrder);
  if (n1 < k || n2 < k) return fail(kErrTooFewVertices);
  if (!(t1[n1] > t1[k - 1]) || !(t2[n2] > t2[k - 1])) return fail(kErrKnots);
  std::vector<double> out;
  int i = 0, j = 0;
  const int e1 = n1 + k, e2 = n2 + k;
  while (i < e1 && j < e2) {
    const double v = std::min(t1[i], t2[j]);
    out.push_back(v);
    if (dequal(t1[i], v)) ++i;
    if (dequal(t2[j], v)) ++j;
  }
  while (i < e1) out.push_back(t1[i++]);
  while (j < e2) out.push_back(t2[j++]);
  *merged = malloc_copy(out.data(), out.size());
  if (!*merged) return fail(kErrMemory);
  *n = static_cast<int>(out.size()) - k;
  *status = 0;
}

void s1936(const spline_curve* c, const double* refined, int refined_n, double* verts,
           int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1936", code, 0);
  };
  const int k = c->order, n = c->vertex_count, dim = c->dim;
  if (k < 1) return fail(kErrOrder);
  if (n < k || refined_n < k) return fail(kErrTooFewVertices);
  if (dim < 1) return fail(kErrDimension);
  // Every knot of the curve must occur in the refined vector.
  int j = 0;
  for (int i = 0; i < n + k; ++i) {
    while (j < refined_n + k && refined[j] < c->knots[i] && !dequal(refined[j], c->knots[i])) ++j;
    if (j >= refined_n + k) return fail(kErrTooFewVertices);
    if (!dequal(refined[j], c->knots[i])) return fail(kErrKnots);
    ++j;
  }
  std::vector<double> coefs(k);
  int mu = k - 1;
  for (int r = 0; r < refined_n; ++r) {
    while (mu < n - 1 && c->knots[mu + 1] <= refined[r]) ++mu;
    int offset = 0, first = 0, last = 0, st = 0;
    refine_alpha(r, mu, k, n, &offset, &first, &last, refined, c->knots, nullptr, coefs.data(), &st);
    for (int m = 0; m < dim; ++m) {
      double s = 0.0;
      for (int i = first; i <= last; ++i) s += coefs[offset + i] * c->coefs[i * dim + m];
      verts[static_cast<size_t>(r) * dim + m] = s;
    }
  }
  *status = 0;
}

namespace {

// The union of the curves' knot vectors at order k (each raised to k).
int knot_union(const std::vector<spline_curve*>& cs, int k, double a, double b,
               std::vector<double>& out) {
  out.assign(k, a);
  out.insert(out.end(), k, b);
  for (auto* c : cs) {
    double* raised = nullptr;
    int nr = 0, st = 0;
    s1754(c->knots, c->vertex_count, c->order, k, &raised, &nr, &st);
    if (st < 0) return st;
    double* merged = nullptr;
    int nm = 0;
    s1935(out.data(), static_cast<int>(out.size()) - k, raised, nr, &merged, &nm, k, &st);
    std::free(raised);
    if (st < 0) return st;
    out.assign(merged, merged + nm + k);
    std::free(merged);
  }
  return 0;
}

// Moves knot values of different curves that differ only by rounding onto one value.
void align_knots(std::vector<spline_curve*>& cs, const std::vector<double>& uni, int k, double a,
                 double b) {
  const double tol = (b - a) * 1e-14;
  const int nu = static_cast<int>(uni.size()) - k;
  int i = k;
  while (i < nu) {
    int j = i;
    while (j + 1 < nu && uni[j + 1] - uni[i] <= tol) ++j;
    if (uni[j] != uni[i]) {
      const double lo = uni[i], hi = uni[j];
      for (auto* c : cs) {
        // Distinct values of this curve in the cluster keep their order on a grid.
        std::vector<double> vals;
        for (int q = c->order; q < c->vertex_count; ++q)
          if (c->knots[q] >= lo && c->knots[q] <= hi &&
              (vals.empty() || vals.back() != c->knots[q]))
            vals.push_back(c->knots[q]);
        if (vals.empty()) continue;
        for (int q = c->order; q < c->vertex_count; ++q)
          if (c->knots[q] >= lo && c->knots[q] <= hi) {
            const int idx = static_cast<int>(std::find(vals.begin(), vals.end(), c->knots[q]) - vals.begin());
            c->knots[q] = vals.size() == 1 ? lo : lo + (hi - lo) * idx / (vals.size() - 1);
          }
      }
    }
    i = j + 1;
  }
}

}  // namespace

void s1931(int count, spline_curve* const* curves, double** knots_out, double** verts_out, int* n_out,
           int* k_out, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1931", code, 0);
  };
  if (count < 2) return fail(kErrRationalMemory);
  double a = 0, b = 0;
  int k = 0;
  const int dim = curves[0]->dim;
  for (int i = 0; i < count; ++i) {
    const spline_curve* c = curves[i];
    if (c->order < 1 || c->vertex_count < c->order) return fail(kErrKnots);
    if (is_rational_kind(c->kind)) return fail(kErrKind);
    if (c->dim != dim) return fail(kErrDimensionMismatch);
    a += c->knots[c->order - 1] / count;
    b += c->knots[c->vertex_count] / count;
    k = std::max(k, c->order);
  }
  std::vector<spline_curve*> cs;
  auto cleanup = [&]() {
    for (auto* c : cs) destroy_curve(c);
  };
  for (int i = 0; i < count; ++i) {
    spline_curve* c = copy_curve(curves[i]);
    if (!c) {
      cleanup();
      return fail(kErrMemory);
    }
    cs.push_back(c);
  }
  int st = 0;
  s1349(count, cs.data(), &st);
  if (st < 0) {
    cleanup();
    return fail(st);
  }
  // Raise to the common order and move onto [a, b].
  for (auto*& c : cs) {
    if (c->order < k) {
      spline_curve* r = nullptr;
      s1750(c, k, &r, &st);
      if (st < 0) {
        cleanup();
        return fail(st);
      }
      destroy_curve(c);
      c = r;
    }
    s1934(c->knots, c->vertex_count, c->order, a, b, &st);
    if (st < 0) {
      cleanup();
      return fail(st);
    }
  }
  std::vector<double> uni;
  if ((st = knot_union(cs, k, a, b, uni)) < 0) {
    cleanup();
    return fail(st);
  }
  align_knots(cs, uni, k, a, b);
  if ((st = knot_union(cs, k, a, b, uni)) < 0) {
    cleanup();
    return fail(st);
  }
  const int n = static_cast<int>(uni.size()) - k;
  std::vector<double> all(static_cast<size_t>(n) * dim * count);
  for (int i = 0; i < count; ++i) {
    s1936(cs[i], uni.data(), n, &all[static_cast<size_t>(i) * n * dim], &st);
    if (st < 0) {
      cleanup();
      return fail(st);
    }
  }
  cleanup();
  *knots_out = malloc_copy(uni.data(), uni.size());
  *verts_out = malloc_copy(all.data(), all.size());
  if (!*knots_out || !*verts_out) {
    std::free(*knots_out);
    std::free(*verts_out);
    return fail(kErrMemory);
  }
  *n_out = n;
  *k_out = k;
  *status = 0;
}

void s1531(int dim, int n1, int n2, const double* pts, int type, int open1, int open2,
           double** par1, double** par2, int* status) {
  if (type != 1 && type != 2) {
    // Only chord length and uniform parameters are defined.
    *status = kErrDimension;
    error_report("s1531", *status, 0);
    return;
  }
  auto make = [&](int count, int lines, bool closed, bool first_dir) {
    std::vector<double> p(count + (closed ? 1 : 0), 0.0);
    auto point = [&](int i, int line) {
      return first_dir ? pts + (static_cast<size_t>(line) * n1 + i) * dim
                       : pts + (static_cast<size_t>(i) * n1 + line) * dim;
    };
    if (type == 1) {
      for (int i = 1; i < static_cast<int>(p.size()); ++i) {
        double s = 0.0;
        for (int l = 0; l < lines; ++l) s += vec_dist(point(i - 1, l), point(i % count, l), dim);
        p[i] = p[i - 1] + s / lines;
      }
    }
    if (type == 2 || p.back() == 0.0)
      for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<double>(i);
    return p;
  };
  auto p1 = make(n1, n2, open1 != 1, true);
  auto p2 = make(n2, n1, open2 != 1, false);
  *par1 = malloc_copy(p1.data(), p1.size());
  *par2 = malloc_copy(p2.data(), p2.size());
  if (!*par1 || !*par2) {
    std::free(*par1);
    std::free(*par2);
    *status = kErrMemory;
    error_report("s1531", *status, 0);
    return;
  }
  *status = 0;
}

void s1537(const double* pts, int n1, int n2, int dim, const double* par1, const double* par2,
           int start2, int end2, int start1, int end1, int k1, int k2, int open1, int open2,
           spline_surface** surface, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1537", code, 0);
  };
  std::vector<int> types(std::max(n1, n2), 1);
  spline_curve* c2 = nullptr;
  double end = 0, *pl = nullptr;
  int np = 0, st = 0;
  s1357(pts, n2, n1 * dim, types.data(), par2, start2, end2, open2, k2, 0.0, &end, &c2, &pl, &np, &st);
  if (st < 0) return fail(st);
  std::free(pl);
  const int m2 = c2->vertex_count;
  std::vector<double> tr(static_cast<size_t>(m2) * n1 * dim);
  transpose_coefs(c2->coefs, n1, m2, dim, tr.data());  // n1 points of m2 * dim values
  spline_curve* c1 = nullptr;
  s1357(tr.data(), n1, m2 * dim, types.data(), par1, start1, end1, open1, k1, 0.0, &end, &c1, &pl, &np, &st);
  if (st < 0) {
    destroy_curve(c2);
    return fail(st);
  }
  std::free(pl);
  const int m1 = c1->vertex_count;
  std::vector<double> v(static_cast<size_t>(m1) * m2 * dim);
  transpose_coefs(c1->coefs, m2, m1, dim, v.data());
  spline_surface* s = create_surface(m1, m2, c1->order, c2->order, c1->knots, c2->knots, v.data(), 1,
                                     dim, 1);
  if (!s) {
    destroy_curve(c1);
    destroy_curve(c2);
    return fail(kErrMemory);
  }
  s->open_flag1 = c1->open_flag;
  s->open_flag2 = c2->open_flag;
  destroy_curve(c1);
  destroy_curve(c2);
  *surface = s;
  *status = 0;
}

void s1536(const double* pts, int n1, int n2, int dim, int type, int start2, int end2, int start1,
           int end1, int k1, int k2, int open1, int open2, spline_surface** surface, int* status) {
  if (type < 1 || type > 2) {
    // Type 3 has no defined parameters: refuse it rather than interpolate on garbage.
    *status = kErrDimension;
    error_report("s1536", *status, 0);
    return;
  }
  double *p1 = nullptr, *p2 = nullptr;
  int st = 0;
  s1531(dim, n1, n2, pts, type, open1, open2, &p1, &p2, &st);
  if (st >= 0) s1537(pts, n1, n2, dim, p1, p2, start2, end2, start1, end1, k1, k2, open1, open2, surface, &st);
  std::free(p1);
  std::free(p2);
  if (st < 0) {
    *status = st;
    error_report("s1536", st, 0);
    return;
  }
  *status = 0;
}

void s1333_count(int count, spline_curve* const* curves, int* continuity, int* status) {
  int cont = 1 << 30;
  for (int i = 0; i < count; ++i) {
    const spline_curve* c = curves[i];
    const int k = c->order, n = c->vertex_count;
    int st = 0, l1 = k - 1, l2 = n;
    const int m1 = s6knotmult(c->knots, k, n, &l1, c->knots[k - 1], &st);
    const int m2 = s6knotmult(c->knots, k, n, &l2, c->knots[n], &st);
    if (st < 0) {
      *status = st;
      error_report("s1333_count", st, 0);
      return;
    }
    const int m = std::min(std::max(m1, m2), k);
    cont = std::min(cont, k - m - 1);
  }
  *continuity = count > 0 ? cont : -1;
  *status = 0;
}

void s1333_cyclic(spline_surface* s, int c, int* status) {
  *status = 0;
  if (c < 0) return;
  const int k = s->order1, n1 = s->vertex_count1, n2 = s->vertex_count2, dim = s->dim;
  if (c > k - 2) c = k - 2;
  if (c < 0) return;
  std::vector<double> e = cyclic_knots(s->knots1, n1, k, c);
  // Along the first direction each vertex holds the n2 vertices of its column.
  std::vector<double> longv(static_cast<size_t>(n1) * n2 * dim), out(longv.size());
  transpose_coefs(s->coefs, n1, n2, dim, longv.data());
  const int st = reexpress(s->knots1, n1, k, longv.data(), n2 * dim, e.data(), out.data());
  if (st < 0) {
    *status = st;
    error_report("s1333_cyclic", st, 0);
    return;
  }
  transpose_coefs(out.data(), n2, n1, dim, s->coefs);
  for (int i = 0; i < n1 + k; ++i) s->knots1[i] = e[i];
  s->open_flag1 = -1;
}

namespace {

// List check of the loft (marks N, F, S); keeps accepted entries and computes the cross
// parameters.  Returns the status (102 when something changed).
int check_list(std::vector<int>& types, std::vector<std::vector<double>>& verts, int n, int dim,
               double start, int open_flag, std::vector<double>& par, std::vector<int>& flags,
               double* closing) {
  bool N = true, F = false, S = false, changed = false;
  std::vector<int> kt;
  std::vector<std::vector<double>> kv;
  std::vector<double> kp;
  std::vector<int> kf;
  std::vector<int> waiting;
  int last_pos = -1;
  double cur = start;
  const int count = static_cast<int>(types.size());
  auto dist_sum = [&](const std::vector<double>& a, const std::vector<double>& b) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += vec_dist(&a[static_cast<size_t>(i) * dim], &b[static_cast<size_t>(i) * dim], dim);
    return s;
  };
  for (int i = 0; i < count; ++i) {
    const int ty = types[i];
    bool ok = false;
    if (ty == 1 || ty == 2) {
      double d = last_pos >= 0 ? dist_sum(kv[last_pos], verts[i]) : 0.0;
      ok = last_pos < 0 || d != 0.0;
      if (ok) {
        if (last_pos >= 0) cur += d / n;
        for (int w : waiting) kp[w] = cur;
        waiting.clear();
        if (!N) F = S = false;
        N = false;
        kt.push_back(ty);
        kv.push_back(verts[i]);
        kp.push_back(cur);
        kf.push_back(0);
        last_pos = static_cast<int>(kt.size()) - 1;
        if (ty == 2 && i != 0 && i != count - 1) changed = true;
        continue;
      }
    } else if (ty == 3 || ty == 13) {
      ok = !(N && F);
      if (ok) {
        if (!N) S = false;
        F = N = true;
      }
    } else if (ty == 4 || ty == 14) {
      ok = !N && !F;
      if (ok) F = true;
    } else if (ty == 5) {
      ok = !(N && S);
      if (ok) {
        if (!N) F = false;
        S = N = true;
      }
    } else if (ty == 6) {
      ok = !N && !S;
      if (ok) S = true;
    }
    if (!ok) {
      changed = true;
      continue;
    }
    kt.push_back(ty);
    kv.push_back(verts[i]);
    kp.push_back(cur);
    kf.push_back(ty == 5 || ty == 6 ? 2 : 1);
    if (ty == 3 || ty == 13 || ty == 5) waiting.push_back(static_cast<int>(kt.size()) - 1);
  }
  // Conditions still waiting for a position are dropped.
  if (!waiting.empty()) {
    changed = true;
    for (int w = static_cast<int>(waiting.size()) - 1; w >= 0; --w) {
      kt.erase(kt.begin() + waiting[w]);
      kv.erase(kv.begin() + waiting[w]);
      kp.erase(kp.begin() + waiting[w]);
      kf.erase(kf.begin() + waiting[w]);
    }
  }
  *closing = cur;
  if (open_flag != 1) {
    int first = -1, last = -1;
    for (int i = 0; i < static_cast<int>(kt.size()); ++i)
      if (kt[i] == 1 || kt[i] == 2) {
        if (first < 0) first = i;
        last = i;
      }
    if (first < 0) return kErrRationalMemory;
    const double d = dist_sum(kv[last], kv[first]);
    if (d == 0.0) changed = true;
    *closing = cur + d / n;
  }
  if (kt.size() < 2) return -187;
  types = kt;
  verts = kv;
  par = kp;
  flags = kf;
  return changed ? 102 : 0;
}

}  // namespace

void s1538(int count, spline_curve* const* curves, int* types, double start, int open_flag,
           int order, int adjust, spline_surface** surface, double** params, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1538", code, 0);
  };
  if (count < 2) return fail(kErrRationalMemory);
  const int dim = curves[0]->dim;
  double *knots = nullptr, *all = nullptr;
  int n = 0, k = 0, st = 0;
  s1931(count, curves, &knots, &all, &n, &k, &st);
  if (st < 0) return fail(st);
  std::vector<double> t(knots, knots + n + k);
  std::vector<std::vector<double>> verts(count);
  for (int i = 0; i < count; ++i)
    verts[i].assign(all + static_cast<size_t>(i) * n * dim, all + static_cast<size_t>(i + 1) * n * dim);
  std::free(knots);
  std::free(all);
  std::vector<int> ty(types, types + count);
  std::vector<double> par;
  std::vector<int> flags;
  double closing = 0.0;
  const int check = check_list(ty, verts, n, dim, start, open_flag, par, flags, &closing);
  if (check < 0) return fail(check);
  const int m = static_cast<int>(ty.size());
  // Direction points become differences.
  for (int i = 0; i < m; ++i) {
    if (ty[i] == 13 && i + 1 < m) {
      for (size_t q = 0; q < verts[i].size(); ++q) verts[i][q] = verts[i + 1][q] - verts[i][q];
      ty[i] = 3;
    } else if (ty[i] == 14 && i > 0) {
      for (size_t q = 0; q < verts[i].size(); ++q) verts[i][q] = verts[i][q] - verts[i - 1][q];
      ty[i] = 4;
    }
  }
  std::vector<double> pos_par;
  for (int i = 0; i < m; ++i)
    if (ty[i] == 1 || ty[i] == 2) pos_par.push_back(par[i]);
  if (open_flag != 1) pos_par.push_back(closing);
  if (adjust) {
    for (int i = 0; i < m; ++i) {
      if (flags[i] != 1) continue;
      int self = -1, prev = -1, next = -1;
      for (int j = 0; j < m; ++j) {
        if (flags[j] != 0) continue;
        if (par[j] == par[i]) self = j;
        if (par[j] < par[i]) prev = j;
        if (par[j] > par[i] && next < 0) next = j;
      }
      if (self < 0 || (prev < 0 && next < 0)) return fail(-186);
      s1919(t.data(), prev >= 0 ? verts[prev].data() : nullptr, verts[self].data(), verts[i].data(),
            next >= 0 ? verts[next].data() : nullptr, n, k, dim, prev >= 0, next >= 0,
            prev >= 0 ? par[prev] : 0.0, par[i], next >= 0 ? par[next] : 0.0, &st);
      if (st < 0) return fail(st);
    }
  }
  std::vector<double> flat;
  for (auto& v : verts) flat.insert(flat.end(), v.begin(), v.end());
  spline_curve* c = nullptr;
  double end = 0, *pl = nullptr;
  int np = 0;
  s1357(flat.data(), m, n * dim, ty.data(), pos_par.data(), 0, 0, open_flag, order, 0.0, &end, &c, &pl,
        &np, &st);
  if (st < 0) return fail(st);
  std::free(pl);
  spline_surface* s = create_surface(n, c->vertex_count, k, c->order, t.data(), c->knots, c->coefs, 1,
                                     dim, 1);
  if (!s) {
    destroy_curve(c);
    return fail(kErrMemory);
  }
  s->open_flag2 = c->open_flag;
  destroy_curve(c);
  int cont = -1;
  s1333_count(count, curves, &cont, &st);
  if (st >= 0 && cont >= 0) s1333_cyclic(s, cont, &st);
  if (st < 0) {
    // A failed seam step leaves nothing with the caller.
    destroy_surface(s);
    return fail(st);
  }
  if (cont < 0) {
    int largest = -2;
    for (int i = 0; i < count; ++i) largest = std::max(largest, curves[i]->open_flag);
    if (largest == 0) s->open_flag1 = 0;
  }
  for (int i = 0; i < m; ++i) types[i] = ty[i];
  std::free(*params);
  *params = malloc_copy(pos_par.data(), pos_par.size());
  *surface = s;
  *status = check;
}

void refinement_alpha(const double* t, int k, int j1, int mu, double* coefs, const double* refined) {
  int offset = 0, first = 0, last = 0, st = 0;
  std::vector<double> a(k);
  // The same coefficients as refine_alpha with the interval index mu - 1.
  refine_alpha(j1 - 1, mu - 1, k, mu, &offset, &first, &last, refined, t, nullptr, a.data(), &st);
  for (int i = 0; i < k; ++i) coefs[i] = a[i];
}
