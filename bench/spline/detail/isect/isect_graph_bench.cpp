// Costs of the intersection point graph as the number of points P grows: adding points
// with merging (a linear scan per point) and building the lists of one long chain.
#include <benchmark/benchmark.h>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_lists.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/isect_services.h"

namespace {

void no_tops(geom_object*, geom_object*, isect_data*, int* st) { *st = 0; }

geom_object* unit_curve() {
  double k[4] = {0, 0, 1, 1};
  double c[6] = {0, 0, 0, 1, 0, 0};
  geom_object* obj = create_geom_object(1);
  obj->curve = create_curve(2, 2, k, c, 1, 3, 1);
  obj->origin = obj;
  return obj;
}

isect_data* chain(int n) {
  isect_data* data = nullptr;
  isect_point* prev = nullptr;
  for (int i = 0; i < n; ++i) {
    const double par[3] = {0.1 + 0.8 * i / n, 0.5, 0.1 + 0.8 * i / n};
    isect_point* pt =
        create_isect_point_geom(3, par, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
    int st = 0;
    sh6idnpt(&data, &pt, 1, &st);
    if (prev) sh6connect(prev, pt, &st);
    prev = pt;
  }
  return data;
}

void BM_AddPointsWithMerging(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    isect_data* data = chain(n);
    benchmark::ClobberMemory();
    destroy_isect_data(data);
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_AddPointsWithMerging)->Arg(50)->Arg(200)->Arg(1000)->Complexity();

// A surface against a curve keeps every point of the chain (no thinning), so the list
// walk visits all of them.
void BM_BuildListsOfOneChain(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  isect_services().set_point_tops = no_tops;
  double k[4] = {0, 0, 1, 1};
  double c[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  geom_object* surface = create_geom_object(2);
  surface->surface = create_surface(2, 2, 2, 2, k, k, c, 1, 3, 1);
  geom_object* curve = unit_curve();
  for (auto _ : state) {
    state.PauseTiming();
    isect_data* data = chain(n);
    state.ResumeTiming();
    int st = 0;
    sh6idlis(surface, curve, &data, &st);
    benchmark::ClobberMemory();
    state.PauseTiming();
    destroy_isect_data(data);
    state.ResumeTiming();
  }
  destroy_geom_object(surface);
  destroy_geom_object(curve);
  isect_services() = isect_default_services();
  state.SetComplexityN(n);
}
BENCHMARK(BM_BuildListsOfOneChain)->Arg(50)->Arg(200)->Arg(1000)->Complexity();

}  // namespace
