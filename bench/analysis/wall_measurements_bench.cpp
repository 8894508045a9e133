// Speed of the wall measurements of one frame (two closed fits, two areas, the fan of
// 50 lines against both curves) on 200-point contours as the refinement leaves them,
// and of the fit of a hand-drawn wall.

#include <cmath>

#include <benchmark/benchmark.h>

#include "analysis/core/drawn_wall.h"
#include "analysis/core/wall_measurements.h"

namespace {

using namespace kestrova::analysis;

// A closed 200-point contour with a gentle waviness, like a refined wall.
WallContour WavyContour(double cx, double cy, double r, int n)
{
    WallContour c;
    for (int i = 0; i < n; ++i) {
        const double t = 2.0 * M_PI * i / n;
        const double rr = r * (1.0 + 0.06 * std::sin(3 * t) + 0.03 * std::cos(5 * t));
        c.push_back({static_cast<int>(cx + rr * std::cos(t)), static_cast<int>(cy + rr * std::sin(t))});
    }
    c.push_back(c.front());
    return c;
}

void BM_MeasureFrame(benchmark::State& state)
{
    const WallContour lumen = WavyContour(256.3, 250.7, 60, 200);
    const WallContour vessel = WavyContour(256.3, 250.7, 110, 200);
    for (auto _ : state) {
        MeasurementResult r = MeasureWallContours(vessel, lumen);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_MeasureFrame)->Unit(benchmark::kMillisecond);

void BM_FitDrawnWall(benchmark::State& state)
{
    WallContour stroke;
    for (int i = 0; i < 120; ++i) {
        const double t = 2.0 * M_PI * i / 125;
        stroke.push_back({static_cast<int>(256 + 90 * std::cos(t)), static_cast<int>(256 + 80 * std::sin(t))});
    }
    for (auto _ : state) {
        WallContour shown = stroke;
        WallContour initial;
        DrawnWallResult r = FitDrawnWall(1, shown, initial);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_FitDrawnWall)->Unit(benchmark::kMillisecond);

}  // namespace
