// Surface against surface: both surfaces are wrapped in engine objects (the caller's
// records are borrowed, never freed or copied), intersected by recursive subdivision,
// single-point lists are dissolved, curves cut by a periodic seam are joined, and the
// result is turned into the caller's points, curves and parameter tracks.
#include <cstdlib>

#include "spline/detail/isect/isect_degen.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/surface_pairs.h"
#include "spline/status.h"

void sh1859(spline_surface* surface1, spline_surface* surface2, double /*epsco*/,
            double epsge, int /*extra_flag*/, int* extra_count, void* /*extra*/,
            int* point_count, double** params1, double** params2, int** markers,
            int* curve_count, isect_curve*** curves, int* track_count, param_track*** tracks,
            int* status) {
  *point_count = 0;
  *curve_count = 0;
  *track_count = 0;
  if (extra_count) *extra_count = 0;
  *params1 = *params2 = nullptr;
  *markers = nullptr;
  *curves = nullptr;
  *tracks = nullptr;
  geom_object* o1 = nullptr;
  geom_object* o2 = nullptr;
  isect_data* data = nullptr;
  auto cleanup = [&]() {
    // The surfaces are the caller's: detach them before the wrappers go.
    if (o1) o1->surface = nullptr;
    if (o2) o2->surface = nullptr;
    destroy_geom_object(o1);
    destroy_geom_object(o2);
    destroy_isect_data(data);
  };
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1859", s, 0);
    cleanup();
  };
  if (!surface1 || !surface2) return fail(kErrKind);
  if (surface1->dim != surface2->dim) return fail(kErrDimensionMismatch);
  // The evaluation of intersection curves at their points (seam joining, output)
  // works in space only.
  if (surface1->dim != 3) return fail(kErrDimensionNotAccepted);

  o1 = create_geom_object(kSurfaceObject);
  o2 = create_geom_object(kSurfaceObject);
  if (!o1 || !o2) return fail(kErrMemory);
  o1->surface = surface1;
  o1->origin = o1;
  o2->surface = surface2;
  o2->origin = o2;

  int st = 0;
  sh1761(o1, o2, epsge, &data, &st);
  if (st < 0) return fail(st);
  const bool budget_spent = isect_budget_exceeded();
  if (data) {
    st = 0;
    sh6degen(o1, o2, &data, epsge, &st);
    if (st < 0) return fail(st);
  }
  st = 0;
  int_join_per(&data, o1, o2, nullptr, 0, epsge, &st);
  if (st < 0) return fail(st);
  if (data) {
    st = 0;
    hp_s1880(o1, o2, 0, 2, 2, data, point_count, params1, params2, markers, curve_count, curves,
             track_count, tracks, &st);
    if (st < 0) return fail(st);
  }
  *status = budget_spent ? kSubdivBudgetWarning : 0;
  cleanup();
}

void s1859(spline_surface* surface1, spline_surface* surface2, double epsco, double epsge,
           int* point_count, double** params1, double** params2, int* curve_count,
           isect_curve*** curves, int* status) {
  int* markers = nullptr;
  int tracks = 0;
  param_track** track_array = nullptr;
  int extra = 0;
  int st = 0;
  sh1859(surface1, surface2, epsco, epsge, 0, &extra, nullptr, point_count, params1, params2,
         &markers, curve_count, curves, &tracks, &track_array, &st);
  free(markers);
  for (int i = 0; i < tracks; ++i) destroy_param_track(track_array[i]);
  free(track_array);
  if (st < 0) {
    *status = st;
    error_report("s1859", st, 0);
    return;
  }
  if (st == kSubdivBudgetWarning)
    *status = kS1859BudgetSpent;
  else if (tracks > 0)
    *status = kS1859LoopsDropped;
  else if (*curve_count == 0)
    *status = kS1859NoCurve;
  else
    *status = 0;
}
