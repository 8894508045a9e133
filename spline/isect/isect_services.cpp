#include "spline/isect/isect_services.h"

#include "spline/isect/chain_lists.h"

#include "spline/curve_eval.h"
#include "spline/isect/box_tests.h"
#include "spline/isect/implicit_forms.h"
#include "spline/isect/march.h"
#include "spline/isect/newton.h"
#include "spline/isect/subdiv.h"
#include "spline/knots.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

void missing(const char* name, int* status) {
  *status = kIsectServiceMissing;
  error_report(name, *status, 0);
}

void miss_s1221(const spline_curve*, int, double, int*, double*, int* st) { missing("s1221", st); }
void miss_s1421(const spline_surface*, int, const double*, int*, int*, double*, double*, int* st) {
  missing("s1421", st);
}
void miss_s1422(const spline_surface*, int, int, int, const double*, int*, int*, double*, double*,
                int* st) {
  missing("s1422", st);
}
void miss_s1424(const spline_surface*, int, int, const double*, int*, int*, double*, int* st) {
  missing("s1424", st);
}
void miss_s6degnorm(const spline_surface*, int, const double*, const double*, double*, double*,
                    double*, int* st) {
  missing("s6degnorm", st);
}
void miss_s1771(spline_point*, spline_curve*, double, double, double, double, double*,
                int* st) {
  missing("s1771", st);
}
void miss_s1773(spline_point*, spline_surface*, double, const double*, const double*,
                const double*, double*, int* st) {
  missing("s1773", st);
}
void miss_s6idedg(geom_object*, geom_object*, int, int, double, isect_data*, edge_node**,
                  int*, int* st) {
  missing("s6idedg", st);
}
void miss_s6fndintvl(const double*, int, int, int*, double, double, int, int* st) {
  missing("s6fndintvl", st);
}
void miss_set_point_tops(geom_object*, geom_object*, isect_data*, int* st) {
  missing("set_point_tops", st);
}
void miss_eval_curve_levelled(const spline_curve*, int, double, double, int*, double*, int* st) {
  missing("eval_curve_levelled", st);
}
void miss_surf_pair_curve_geom(const double*, const double*, const double*, const double*,
                               double*, double*, double*, int* st) {
  missing("surf_pair_curve_geom", st);
}
void miss_s1306(const double*, const double*, const double*, int, double*, double*, int* st) {
  missing("s1306", st);
}
void miss_s1331(const double*, const double*, int, int, double*, double*, int* st) {
  missing("s1331", st);
}

void miss_s1329(spline_surface*, const double*, const double*, int, spline_surface**,
                int* st) {
  missing("s1329", st);
}
void miss_s1321(const double*, double, int, int, double**, int* st) { missing("s1321", st); }
void miss_s1322(const double*, const double*, double, int, int, double**, int* st) {
  missing("s1322", st);
}
void miss_s1320(spline_surface*, const double*, int, int, spline_surface**, int* st) {
  missing("s1320", st);
}
void miss_s1378(spline_surface*, const double*, int, int, spline_surface**, int* st) {
  missing("s1378", st);
}
void miss_surface_box(spline_surface*, int, double, int* st) { missing("surface_box", st); }

}  // namespace

isect_service_table isect_missing_services() {
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

isect_service_table isect_default_services() {
  isect_service_table table = isect_missing_services();
  table.s1221 = s1221;
  table.s1421 = s1421;
  table.s1422 = s1422;
  table.s1424 = s1424;
  table.s6degnorm = s6degnorm;
  table.s6fndintvl = s6fndintvl;
  table.s1771 = [](spline_point* p, spline_curve* c, double tol, double a, double b, double g,
                   double* r, int* st) { s1771(p, c, tol, a, b, g, r, st); };
  table.s6idedg = s6idedg;
  table.set_point_tops = mark_param_ends;
  table.eval_curve_levelled = flat_curve_eval;
  table.s1773 = [](spline_point* p, spline_surface* s, double tol, const double* low,
                   const double* high, const double* guess, double* r, int* st) {
    s1773(p, s, tol, low, high, guess, r, st);
  };
  table.s1329 = [](spline_surface* s, const double* point, const double* normal, int dim,
                   spline_surface** r, int* st) { s1329(s, point, normal, dim, r, st); };
  table.s1321 = s1321;
  table.s1322 = s1322;
  table.s1320 = [](spline_surface* s, const double* m, int count, int rational,
                   spline_surface** r, int* st) { s1320(s, m, count, rational, r, st); };
  table.s1378 = [](spline_surface* s, const double* coefs, int type, int dim,
                   spline_surface** r, int* st) { s1378(s, coefs, type, dim, r, st); };
  table.surface_box = surface_box;
  table.surf_pair_curve_geom = ss_march_point;
  table.s1306 = s1306;
  table.s1331 = s1331;
  return table;
}

isect_service_table& isect_services() {
  static isect_service_table table = isect_default_services();
  return table;
}
