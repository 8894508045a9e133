// A service table whose every entry fails, for the tests of the topology's error paths.
#pragma once

#include "spline/detail/isect/isect_services.h"
#include "spline/status.h"

// Status of a stand-in service.
constexpr int kIsectServiceMissing = -990;

namespace failing_services {

inline void missing(const char* name, int* status) {
  *status = kIsectServiceMissing;
  error_report(name, *status, 0);
}

inline void miss_s1221(const spline_curve*, int, double, int*, double*, int* st) { missing("s1221", st); }
inline void miss_s1421(const spline_surface*, int, const double*, int*, int*, double*, double*, int* st) {
  missing("s1421", st);
}
inline void miss_s1422(const spline_surface*, int, int, int, const double*, int*, int*, double*, double*,
                int* st) {
  missing("s1422", st);
}
inline void miss_s1424(const spline_surface*, int, int, const double*, int*, int*, double*, int* st) {
  missing("s1424", st);
}
inline void miss_s6degnorm(const spline_surface*, int, const double*, const double*, double*, double*,
                    double*, int* st) {
  missing("s6degnorm", st);
}
inline void miss_s1771(spline_point*, spline_curve*, double, double, double, double, double*,
                int* st) {
  missing("s1771", st);
}
inline void miss_s1773(spline_point*, spline_surface*, double, const double*, const double*,
                const double*, double*, int* st) {
  missing("s1773", st);
}
inline void miss_s6idedg(geom_object*, geom_object*, int, int, double, isect_data*, edge_node**,
                  int*, int* st) {
  missing("s6idedg", st);
}
inline void miss_s6fndintvl(const double*, int, int, int*, double, double, int, int* st) {
  missing("s6fndintvl", st);
}
inline void miss_set_point_tops(geom_object*, geom_object*, isect_data*, int* st) {
  missing("set_point_tops", st);
}
inline void miss_eval_curve_levelled(const spline_curve*, int, double, double, int*, double*, int* st) {
  missing("eval_curve_levelled", st);
}
inline void miss_surf_pair_curve_geom(const double*, const double*, const double*, const double*,
                               double*, double*, double*, int* st) {
  missing("surf_pair_curve_geom", st);
}
inline void miss_s1306(const double*, const double*, const double*, int, double*, double*, int* st) {
  missing("s1306", st);
}
inline void miss_s1331(const double*, const double*, int, int, double*, double*, int* st) {
  missing("s1331", st);
}

inline void miss_s1329(spline_surface*, const double*, const double*, int, spline_surface**,
                int* st) {
  missing("s1329", st);
}
inline void miss_s1321(const double*, double, int, int, double**, int* st) { missing("s1321", st); }
inline void miss_s1322(const double*, const double*, double, int, int, double**, int* st) {
  missing("s1322", st);
}
inline void miss_s1320(spline_surface*, const double*, int, int, spline_surface**, int* st) {
  missing("s1320", st);
}
inline void miss_s1378(spline_surface*, const double*, int, int, spline_surface**, int* st) {
  missing("s1378", st);
}
inline void miss_surface_box(spline_surface*, int, double, int* st) { missing("surface_box", st); }

}  // namespace failing_services

// A table of stand-ins only: every entry reports kIsectServiceMissing under its
// routine's name, so that a test can make any service fail.
inline isect_service_table isect_missing_services() {
  using namespace failing_services;
  return isect_service_table{miss_s1221,         miss_s1421,
                             miss_s1422,         miss_s1424,
                             miss_s6degnorm,     miss_s1771,
                             miss_s1773,         miss_s6idedg,
                             miss_s6fndintvl,    miss_set_point_tops,
                             miss_eval_curve_levelled, miss_surf_pair_curve_geom,
                             miss_s1306,         miss_s1331,
                             miss_s1329,         miss_s1321,
                             miss_s1322,         miss_s1320,
                             miss_s1378,         miss_surface_box};
}

