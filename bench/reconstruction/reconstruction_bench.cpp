// The whole reconstruction (catheter path, frames, both wall surfaces) for 150-, 300- and 1000-point
// helix tracings and 100 analysed frames, with the share of each step; and the
// reduction s1940 alone on the marched catheter curve.
#include "reconstruction/core/catheter_path.h"
#include "reconstruction/core/reconstruction.h"
#include "spline/reduce.h"
#include "tests/reconstruction/core/helix_testutil.h"
#include "tests/reconstruction/realistic_cards.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cinttypes>
#include <cstdio>

using namespace kestrova::reconstruction;

namespace {

double PeakRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

void BM_Reconstruction(benchmark::State& state)
{
    const ReconstructionInput in = helix_test::HelixInput(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    StepTimes sum;
    int runs = 0;
    for (auto _ : state) {
        StepTimes t;
        ReconstructionHooks hooks;
        hooks.times = &t;
        Reconstruction r = ReconstructVessel(in, hooks);
        benchmark::DoNotOptimize(r.outerSurface.get());
        sum.curves += t.curves;
        sum.intersect += t.intersect;
        sum.march += t.march;
        sum.sampling += t.sampling;
        sum.reduce += t.reduce;
        sum.frames += t.frames;
        sum.placement += t.placement;
        sum.surfaces += t.surfaces;
        ++runs;
    }
    const double total = sum.Total();
    const std::pair<const char*, double> steps[] = {
        {"curves+lofts", sum.curves}, {"s1859", sum.intersect}, {"s1310", sum.march},
        {"sampling", sum.sampling},   {"s1940", sum.reduce},    {"s2559", sum.frames},
        {"placement", sum.placement}, {"s1536", sum.surfaces},
    };
    std::printf("\nReconstruction of %lld-point tracings, %lld frames: %.1f ms processor time per run\n",
                static_cast<long long>(state.range(0)), static_cast<long long>(state.range(1)), 1000 * total / runs);
    for (const auto& [name, seconds] : steps) {
        std::printf("  %-13s %8.2f ms  %5.1f %%\n", name, 1000 * seconds / runs, 100 * seconds / total);
        state.counters[std::string(name) + " %"] = 100 * seconds / total;
    }
    state.counters["peak RSS MB"] = PeakRssMb();
}
BENCHMARK(BM_Reconstruction)
    ->Args({300, 100})
    ->Args({150, 50})
    ->Args({1000, 100})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

void BM_DenseTracing(benchmark::State& state)
{
    // A realistic card traced with a point every pixel or less: the catheter path alone.
    const realistic_cards::Card card = realistic_cards::MakeCard(realistic_cards::DenseCard(static_cast<int>(state.range(0))));
    const ReconstructionInput in = realistic_cards::WithFrames(card, 100);
    for (auto _ : state) {
        std::vector<std::string> warnings;
        CatheterPath path = BuildCatheterPath(in, warnings, {});
        benchmark::DoNotOptimize(path.points.data());
    }
    state.counters["peak RSS MB"] = PeakRssMb();
}
BENCHMARK(BM_DenseTracing)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_ReduceMarchedCurve(benchmark::State& state)
{
    // The marched curve of the helix tracings, as the reconstruction reduces it.
    ReconstructionInput in = helix_test::HelixInput(static_cast<int>(state.range(0)), 100);
    std::vector<TPointXYZ> L, R;
    for (const PixelPoint& p : in.laoCatheter)
        L.emplace_back(p.x, -p.y, 0.0);
    for (const PixelPoint& p : in.raoCatheter)
        R.emplace_back(0.0, -p.y, 400.0 - p.x);
    std::vector<std::string> warnings;
    SampledPath path = CatheterPathFromProjections(L, R, 400.0, L.front(), 100, warnings, nullptr);
    const double tol[3] = {0.9, 0.9, 0.9};
    for (auto _ : state) {
        double errors[3];
        spline_curve* reduced = nullptr;
        int status = 0;
        s1940(path.curve.get(), tol, 1, 1, 1, 150, &reduced, errors, &status);
        CurveHandle own(reduced);
        benchmark::DoNotOptimize(reduced);
    }
    state.counters["vertices"] = path.curve->vertex_count;
    state.counters["peak RSS MB"] = PeakRssMb();
}
BENCHMARK(BM_ReduceMarchedCurve)->Arg(300)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
