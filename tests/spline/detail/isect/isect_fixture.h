// Small helpers for hand-built intersection graphs in the tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/isect_services.h"
#include "failing_services_testutil.h"
#include "spline/status.h"

namespace isect_test {

// Collects the error lines of the toolkit while alive.
class ReportLog {
 public:
  ReportLog() { previous_ = set_error_sink(&ReportLog::sink, this); }
  ~ReportLog() { set_error_sink(nullptr, nullptr); }
  ReportLog(const ReportLog&) = delete;
  ReportLog& operator=(const ReportLog&) = delete;

  int count() const { return static_cast<int>(lines_.size()); }
  bool named(const std::string& routine) const {
    for (const auto& l : lines_)
      if (l.find("Call from routine : " + routine + " ") != std::string::npos) return true;
    return false;
  }
  void clear() { lines_.clear(); }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  static void sink(void* ctx, const char* text) {
    static_cast<ReportLog*>(ctx)->lines_.emplace_back(text);
  }
  std::vector<std::string> lines_;
  error_sink_fn previous_ = nullptr;
};

// Restores the service table when a test ends.
class ServiceGuard {
 public:
  ServiceGuard() : saved_(isect_services()) {}
  ~ServiceGuard() { isect_services() = saved_; }

 private:
  isect_service_table saved_;
};

// An isect_data built point by point; destroyed with the fixture.
class Graph {
 public:
  Graph() = default;
  ~Graph() { destroy_isect_data(data); }
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  isect_point* add(std::initializer_list<double> params, int kind = 1) {
    std::vector<double> p(params);
    isect_point* pt = create_isect_point_geom(static_cast<int>(p.size()), p.data(), 0.0, kind,
                                              0, 0, 0, 0, 0, 0, nullptr, nullptr);
    int st = 0;
    sh6idnpt(&data, &pt, 0, &st);
    EXPECT_EQ(st, 0);
    return pt;
  }
  void link(isect_point* p, isect_point* q) {
    int st = 0;
    sh6connect(p, q, &st);
    EXPECT_EQ(st, 0);
  }
  // Connects consecutive points.
  void chain(std::initializer_list<isect_point*> pts) {
    std::vector<isect_point*> v(pts);
    for (size_t i = 0; i + 1 < v.size(); ++i) link(v[i], v[i + 1]);
  }
  int size() const { return data ? data->point_count : 0; }
  bool holds(const isect_point* pt) const {
    for (int i = 0; i < size(); ++i)
      if (data->points[i] == pt) return true;
    return false;
  }

  isect_data* data = nullptr;
};

// Independent check of the graph: every connection two-sided, slots within capacity,
// no duplicate neighbour, no self-connection, every neighbour held by the data, no
// point held twice.  Returns an empty text when sound.
inline std::string graph_problem(const isect_data* data) {
  if (!data) return {};
  auto held = [&](const isect_point* pt) {
    int n = 0;
    for (int i = 0; i < data->point_count; ++i)
      if (data->points[i] == pt) ++n;
    return n;
  };
  for (int i = 0; i < data->point_count; ++i) {
    const isect_point* p = data->points[i];
    if (!p) return "null point entry";
    if (held(p) != 1) return "point held twice";
    if (p->neighbour_count > p->capacity) return "more neighbours than capacity";
    for (int s = 0; s < p->neighbour_count; ++s) {
      const isect_point* q = p->neighbours[s];
      if (!q) return "null neighbour";
      if (q == p) return "self connection";
      if (held(q) != 1) return "neighbour not in data";
      int back = 0;
      for (int t = 0; t < q->neighbour_count; ++t)
        if (q->neighbours[t] == p) ++back;
      if (back != 1) return "one-sided or doubled connection";
      for (int t = s + 1; t < p->neighbour_count; ++t)
        if (p->neighbours[t] == q) return "duplicate neighbour";
    }
  }
  return {};
}

inline int mask_toward(const isect_point* p, const isect_point* q) {
  const int s = neighbour_index(p, q);
  return s >= 0 ? p->segment_masks[s] : 0x7fffffff;
}

}  // namespace isect_test

namespace isect_test {

// Wrapped geometry for the boundary tests; only the parameter ranges matter there.
// A bilinear surface of dimension dim over [u0, u1] x [v0, v1].
inline geom_object* surface_object(double u0, double u1, double v0, double v1, int dim = 3) {
  double k1[4] = {u0, u0, u1, u1};
  double k2[4] = {v0, v0, v1, v1};
  std::vector<double> c(4 * dim, 0.0);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      c[(j * 2 + i) * dim] = i ? u1 : u0;
      if (dim > 1) c[(j * 2 + i) * dim + 1] = j ? v1 : v0;
    }
  geom_object* obj = create_geom_object(kSurfaceObject);
  obj->surface = create_surface(2, 2, 2, 2, k1, k2, c.data(), 1, dim, 1);
  obj->origin = obj;
  return obj;
}

// A straight curve of dimension dim over [t0, t1].
inline geom_object* curve_object(double t0, double t1, int dim = 3) {
  double k[4] = {t0, t0, t1, t1};
  std::vector<double> c(2 * dim, 0.0);
  c[dim] = 1.0;
  geom_object* obj = create_geom_object(kCurveObject);
  obj->curve = create_curve(2, 2, k, c.data(), 1, dim, 1);
  obj->origin = obj;
  return obj;
}

inline geom_object* point_object(std::initializer_list<double> coords) {
  std::vector<double> c(coords);
  geom_object* obj = create_geom_object(kPointObject);
  obj->point = create_point(c.data(), static_cast<int>(c.size()), 1);
  obj->origin = obj;
  return obj;
}

struct ObjectPair {
  ObjectPair(geom_object* a, geom_object* b) : o1(a), o2(b) {}
  ~ObjectPair() {
    destroy_geom_object(o1);
    destroy_geom_object(o2);
  }
  ObjectPair(const ObjectPair&) = delete;
  ObjectPair& operator=(const ObjectPair&) = delete;
  geom_object* o1;
  geom_object* o2;
};

}  // namespace isect_test
