// Small helpers for hand-built intersection graphs in the tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "spline/isect/isect_graph.h"
#include "spline/isect/isect_records.h"
#include "spline/isect/isect_services.h"
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
