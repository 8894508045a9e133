#include "spline/detail/isect/isect_services.h"

#include "spline/detail/isect/chain_lists.h"

#include "spline/curve_eval.h"
#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/implicit_forms.h"
#include "spline/detail/isect/march.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/knots.h"
#include "spline/surface_eval.h"

isect_service_table isect_default_services() {
  isect_service_table table{};
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
