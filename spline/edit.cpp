#include "spline/edit.h"

#include <cmath>
#include <vector>

#include "spline/detail/internal.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/raise.h"
#include "spline/records.h"
#include "spline/split.h"
#include "spline/status.h"

using namespace spline_detail;

namespace {

// Inside the curve's knots [t[0], t[n+k-1]], a value equal to a bound counting as inside.
bool inside_knots(const spline_curve* c, double x) {
  const double a = c->knots[0], b = c->knots[c->vertex_count + c->order - 1];
  return (x >= a || dequal(x, a)) && (x <= b || dequal(x, b));
}

// Splits and keeps the right piece (for a periodic split, the opened curve).
int right_piece(const spline_curve* c, double x, spline_curve** right) {
  spline_curve *a = nullptr, *b = nullptr;
  int st = 0;
  s1710(c, x, &a, &b, &st);
  if (st < 0) return st;
  if (st > 0 && a && !b) {
    *right = a;
  } else {
    destroy_curve(a);
    *right = b;
  }
  return 0;
}

// Splits and keeps the left piece.
int left_piece(const spline_curve* c, double x, spline_curve** left) {
  spline_curve *a = nullptr, *b = nullptr;
  int st = 0;
  s1710(c, x, &a, &b, &st);
  if (st < 0) return st;
  if (st > 0 && !a && b) {
    *left = b;
  } else {
    destroy_curve(b);
    *left = a;
  }
  return 0;
}

}  // namespace

void reverse_curve(spline_curve* c) {
  if (!c) return;
  const int n = c->vertex_count, k = c->order;
  double* t = c->knots;
  const double sum = t[0] + t[n + k - 1];
  for (int i = 0, j = n + k - 1; i <= j; ++i, --j) {
    const double a = sum - t[j], b = sum - t[i];
    t[i] = a;
    t[j] = b;
  }
  auto flip = [n](double* v, int w) {
    if (!v) return;
    for (int i = 0, j = n - 1; i < j; ++i, --j)
      for (int m = 0; m < w; ++m) std::swap(v[i * w + m], v[j * w + m]);
  };
  flip(c->coefs, c->dim);
  if (is_rational_kind(c->kind)) flip(c->hom_coefs, c->dim + 1);
}

void s1712(const spline_curve* curve, double begin, double end, spline_curve** result,
           int* status) {
  if (!curve) {
    *status = -150;
    error_report("s1712", *status, 0);
    return;
  }
  if (!inside_knots(curve, begin) || !inside_knots(curve, end) || dequal(begin, end)) {
    *status = -151;
    error_report("s1712", *status, 0);
    return;
  }
  const int k = curve->order, n = curve->vertex_count;
  const double* t = curve->knots;
  double b = begin, e = end;
  if (curve->open_flag == -1) {
    const double p = t[n] - t[k - 1];
    for (double* x : {&b, &e}) {
      if (*x < t[k - 1] && !dequal(*x, t[k - 1])) *x += p;
      if (*x > t[n] || dequal(*x, t[n])) *x -= p;
    }
  }
  const double lo = b < e ? b : e, hi = b < e ? e : b;
  spline_curve* right = nullptr;
  int st = right_piece(curve, lo, &right);
  if (st < 0) {
    *status = st;
    return;
  }
  spline_curve* piece = nullptr;
  if (right) {
    if (dequal(lo, hi)) {
      piece = right;  // a periodic curve opened at lo: the whole period
      right = nullptr;
    } else {
      st = left_piece(right, hi, &piece);
      destroy_curve(right);
      if (st < 0) {
        *status = st;
        return;
      }
    }
  }
  if (!piece) {
    *status = kErrMemory;
    error_report("s1712", *status, 0);
    return;
  }
  if (begin > end) reverse_curve(piece);
  piece->open_flag = 1;
  *result = piece;
  *status = 0;
}

void s1714(const spline_curve* curve, double begin, double end, spline_curve** piece1,
           spline_curve** piece2, int* status) {
  if (!curve) {
    *status = -150;
    error_report("s1714", *status, 0);
    return;
  }
  if (dequal(begin, end)) {
    *status = -151;
    error_report("s1714", *status, 0);
    return;
  }
  spline_curve *a = nullptr, *b = nullptr;
  int st = 0;
  if (curve->open_flag == -1) {
    const int k = curve->order, n = curve->vertex_count;
    const double* t = curve->knots;
    const double p = t[n] - t[k - 1];
    int guard = 0;
    while (begin < t[k - 1] && !dequal(begin, t[k - 1]) && guard++ < 1000) begin += p;
    while ((begin > t[n] || dequal(begin, t[n])) && guard++ < 1000) begin -= p;
    while (!(end > begin && !dequal(end, begin)) && guard++ < 1000) end += p;
    while (end > begin + p && !dequal(end, begin + p) && guard++ < 1000) end -= p;
    spline_curve *opened = nullptr, *unused = nullptr;
    s1710(curve, begin, &opened, &unused, &st);
    destroy_curve(unused);
    if (st < 0 || !opened) {
      *status = st < 0 ? st : kErrMemory;
      error_report("s1714", *status, 0);
      return;
    }
    opened->open_flag = 1;
    s1710(opened, end, &a, &b, &st);
    destroy_curve(opened);
    if (st < 0) {
      *status = st;
      error_report("s1714", st, 0);
      return;
    }
    if (!a) {  // end at begin + p would leave piece 1 only; keep the order of pieces
      a = b;
      b = nullptr;
    }
  } else if (begin < end) {
    s1712(curve, begin, end, &a, &st);
    if (st >= 0) s1713(curve, end, begin, &b, &st);
  } else {
    s1713(curve, begin, end, &a, &st);
    if (st >= 0) s1712(curve, end, begin, &b, &st);
  }
  if (st < 0) {
    destroy_curve(a);
    destroy_curve(b);
    *status = st;
    error_report("s1714", st, 0);
    return;
  }
  *piece1 = a;
  *piece2 = b;
  *status = 0;
}

void s1713(const spline_curve* curve, double begin, double end, spline_curve** result,
           int* status) {
  if (!curve) {
    *status = -150;
    error_report("s1713", *status, 0);
    return;
  }
  int st = 0;
  if (curve->open_flag == -1) {
    spline_curve *a = nullptr, *b = nullptr;
    if (dequal(begin, end)) {
      // The whole period restarted at begin.
      s1710(curve, begin, &a, &b, &st);
      destroy_curve(b);
      if (st < 0 || !a) {
        *status = st < 0 ? st : kErrMemory;
        error_report("s1713", *status, 0);
        return;
      }
      *result = a;
      *status = 0;
      return;
    }
    s1714(curve, begin, end, &a, &b, &st);
    destroy_curve(b);
    if (st < 0) {
      *status = st;
      error_report("s1713", st, 0);
      return;
    }
    *result = a;
    *status = st;
    return;
  }
  if (!inside_knots(curve, begin) || !inside_knots(curve, end)) {
    *status = -151;
    error_report("s1713", *status, 0);
    return;
  }
  spline_curve *before = nullptr, *middle = nullptr, *after = nullptr;
  auto fail = [&](int code) {
    destroy_curve(before);
    destroy_curve(middle);
    destroy_curve(after);
    *status = code;
    error_report("s1713", code, 0);
  };
  const bool same = dequal(begin, end);
  const double lo = begin < end ? begin : end, hi = begin < end ? end : begin;
  spline_curve* rest = nullptr;
  s1710(curve, lo, &before, &rest, &st);
  if (st < 0) return fail(st);
  if (st == 5 && before && !rest) {  // split at the end: all before
    rest = nullptr;
  }
  if (!same && rest) {
    s1710(rest, hi, &middle, &after, &st);
    destroy_curve(rest);
    rest = nullptr;
    if (st < 0) return fail(st);
  } else if (same) {
    after = rest;
    rest = nullptr;
  }
  if (!same && begin < end) {
    destroy_curve(before);
    destroy_curve(after);
    if (!middle) {
      *status = kErrMemory;
      error_report("s1713", *status, 0);
      return;
    }
    middle->open_flag = 1;
    *result = middle;
    *status = 0;
    return;
  }
  destroy_curve(middle);
  middle = nullptr;
  spline_curve* joined = nullptr;
  if (after && before) {
    s1715(after, before, 1, 0, &joined, &st);
    destroy_curve(after);
    destroy_curve(before);
    after = before = nullptr;
    if (st < 0) return fail(st);
  } else {
    joined = after ? after : before;
    after = before = nullptr;
  }
  if (!joined) return fail(kErrMemory);
  *result = joined;
  *status = 0;
}

void s1715(const spline_curve* curve1, const spline_curve* curve2, int end1, int end2,
           spline_curve** result, int* status) {
  if (!curve1 || !curve2) {
    *status = -150;
    error_report("s1715", *status, 0);
    return;
  }
  if (curve1->dim != curve2->dim) {
    *status = kErrDimensionMismatch;
    error_report("s1715", *status, 0);
    return;
  }
  const int dim = curve1->dim;
  if (dim < 1) {
    *status = kErrMemory;
    error_report("s1715", *status, 0);
    return;
  }
  const spline_curve* c1 = curve1;
  const spline_curve* c2 = curve2;
  spline_curve* raised = nullptr;
  int st = 0;
  if (c1->order < c2->order) {
    s1750(c1, c2->order, &raised, &st);
    c1 = raised;
  } else if (c2->order < c1->order) {
    s1750(c2, c1->order, &raised, &st);
    c2 = raised;
  }
  if (st < 0) {
    *status = st;
    return;
  }
  const bool rational = is_rational_kind(c1->kind) || is_rational_kind(c2->kind);
  const int w = rational ? dim + 1 : dim;
  const int k = c1->order;
  const int n1 = c1->vertex_count, n2 = c2->vertex_count;
  const double* t1 = c1->knots;
  const double* t2 = c2->knots;
  const int last1 = n1 + k - 1, last2 = n2 + k - 1;
  const bool start1 = end1 == 0, start2 = end2 == 0;

  auto count_equal = [k](const double* t, int last, bool at_start) {
    int m = 0;
    if (at_start)
      for (int i = 0; i <= last && t[i] == t[0]; ++i) ++m;
    else
      for (int i = last; i >= 0 && t[i] == t[last]; --i) ++m;
    (void)k;
    return m;
  };
  const int m1 = count_equal(t1, last1, start1);
  const int m2 = count_equal(t2, last2, start2);
  const int m3 = count_equal(t2, last2, !start2);

  // Vertex i of a curve in the working form (homogeneous when the result is rational).
  auto vertex = [&](const spline_curve* c, int i, double* out) {
    if (rational && is_rational_kind(c->kind)) {
      for (int m = 0; m < w; ++m) out[m] = c->hom_coefs[i * w + m];
    } else {
      for (int m = 0; m < dim; ++m) out[m] = c->coefs[i * dim + m];
      if (rational) out[dim] = 1.0;
    }
  };

  std::vector<double> knots, verts;
  // Knots of curve 1, turned when its start is joined, without the joined end's run.
  std::vector<double> k1v(t1, t1 + last1 + 1);
  if (start1)
    for (int i = 0; i <= last1; ++i) k1v[i] = t1[0] + t1[last1] - t1[last1 - i];
  const double T = k1v[last1];
  knots.assign(k1v.begin(), k1v.end() - m1);
  for (int i = 0; i < k - 1; ++i) knots.push_back(T);
  // Knots of curve 2 moved so that its joined end becomes T, joined end first.
  std::vector<double> k2v(last2 + 1);
  for (int i = 0; i <= last2; ++i)
    k2v[i] = start2 ? t2[i] + (T - t2[0]) : (t2[last2] + T) - t2[last2 - i];
  knots.insert(knots.end(), k2v.begin() + m2, k2v.end());
  if (m3 < k)
    for (int i = 0; i < k - m3; ++i) knots.push_back(knots.back());

  // Translation between the joined end vertices (zero for an end below full multiplicity).
  std::vector<double> p1(dim, 0.0), p2(dim, 0.0), d(dim);
  if (m1 >= k)
    for (int m = 0; m < dim; ++m) p1[m] = c1->coefs[(start1 ? 0 : n1 - 1) * dim + m];
  if (m2 >= k)
    for (int m = 0; m < dim; ++m) p2[m] = c2->coefs[(start2 ? 0 : n2 - 1) * dim + m];
  for (int m = 0; m < dim; ++m) d[m] = p2[m] - p1[m];

  std::vector<double> tmp(w);
  for (int i = 0; i < n1; ++i) {
    vertex(c1, start1 ? n1 - 1 - i : i, tmp.data());
    verts.insert(verts.end(), tmp.begin(), tmp.end());
  }
  auto push_origin_offset = [&](int count) {  // vertices equal to -d (weight 1)
    for (int c = 0; c < count; ++c) {
      for (int m = 0; m < dim; ++m) verts.push_back(-d[m]);
      if (rational) verts.push_back(1.0);
    }
  };
  auto push_translated = [&](int i) {
    vertex(c2, i, tmp.data());
    const double wt = rational ? tmp[dim] : 1.0;
    for (int m = 0; m < dim; ++m) verts.push_back(tmp[m] - wt * d[m]);
    if (rational) verts.push_back(wt);
  };
  if (m1 < k)
    for (int c = 0; c < k - m1; ++c) {
      for (int m = 0; m < dim; ++m) verts.push_back(0.0);
      if (rational) verts.push_back(1.0);
    }
  const int j0 = start2 ? 0 : n2 - 1;
  const int step = start2 ? 1 : -1;
  if (m2 < k) {
    push_origin_offset(k - m2 - 1);
    push_translated(j0);
  }
  for (int c = 1; c < n2; ++c) push_translated(j0 + step * c);
  if (m3 < k) push_origin_offset(k - m3);

  const int n = static_cast<int>(verts.size()) / w;
  destroy_curve(raised);
  if (static_cast<int>(knots.size()) != n + k) {
    *status = kErrMemory;
    error_report("s1715", *status, 1);
    return;
  }
  spline_curve* c = adopt_curve(n, k, knots, verts, rational ? 2 : 1, dim);
  if (!c) {
    *status = kErrMemory;
    error_report("s1715", *status, 0);
    return;
  }
  *result = c;
  *status = 0;
}

void s1707(const spline_curve* c, int* status) {
  int code = 0;
  if (!c)
    code = -150;
  else if (c->vertex_count < c->order)
    code = kErrTooFewVertices;
  else if (c->order < 1)
    code = kErrOrder;
  else if (c->dim < 1)
    code = kErrDimension;
  if (code) {
    *status = code;
    error_report("s1707", code, 0);
    return;
  }
  const int n = c->vertex_count, k = c->order;
  const double* t = c->knots;
  bool ok = t[n + k - 1] > t[0];
  for (int i = 1; ok && i < n + k; ++i)
    if (t[i] < t[i - 1]) ok = false;
  if (!ok) {
    *status = kErrKnots;
    error_report("s1707", *status, 0);
    return;
  }
  if (is_rational_kind(c->kind))
    for (int i = 0; i < n; ++i)
      if (!(c->hom_coefs[i * (c->dim + 1) + c->dim] > 0.0)) {
        *status = 8;
        return;
      }
  if (c->open_flag == -1) {
    int st = 0;
    test_cyclic_knots(t, n, k, &st);
    if (st < 0) {
      *status = st;
      error_report("s1707", st, 0);
      return;
    }
    if (st == 0) {
      *status = 2;
      return;
    }
    int m = 0;
    for (int i = 0; i < n + k; ++i)
      if (t[i] == t[k - 1]) ++m;
    *status = n < 2 * k - m ? 1 : 0;
    return;
  }
  *status = 0;
}

void make_cv_kreg(const spline_curve* curve, spline_curve** result, int* status) {
  int st = 0;
  spline_curve* c = nullptr;
  s1712(curve, curve ? curve->knots[curve->order - 1] : 0.0,
        curve ? curve->knots[curve->vertex_count] : 1.0, &c, &st);
  if (st < 0) {
    *status = st;
    error_report("make_cv_kreg", st, 0);
    return;
  }
  c->open_flag = curve->open_flag == -1 ? 0 : curve->open_flag;
  *result = c;
  *status = 0;
}

void s1349(int count, spline_curve** curves, int* status) {
  for (int i = 0; i < count; ++i) {
    spline_curve* c = curves[i];
    const int k = c->order, n = c->vertex_count;
    int a = 0, b = 0;
    for (int j = 0; j < k; ++j) {
      if (c->knots[j] == c->knots[k - 1]) ++a;
      if (c->knots[n + j] == c->knots[n]) ++b;
    }
    if (a >= k && b >= k) continue;
    spline_curve* r = nullptr;
    int st = 0;
    s1712(c, c->knots[k - 1], c->knots[n], &r, &st);
    if (st < 0) {
      *status = st;
      error_report("s1349", st, 0);
      return;
    }
    r->open_flag = c->open_flag == -1 ? 0 : c->open_flag;
    destroy_curve(c);
    curves[i] = r;
  }
  *status = 0;
}
