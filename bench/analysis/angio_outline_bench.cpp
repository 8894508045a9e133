// Speed of the vessel-outline filter on angiographic frames.

#include <cmath>

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include "analysis/core/angio_tracing.h"
#include "analysis/core/vessel_outline.h"

namespace {

using namespace kestrova::analysis;

void BM_VesselOutline(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    cv::Mat frame(size, size, CV_8UC1, cv::Scalar(190));
    cv::line(frame, {size / 8, size / 3}, {size - size / 8, size / 2}, cv::Scalar(70), 9, cv::LINE_AA);
    cv::circle(frame, {size / 2, size / 2}, size / 4, cv::Scalar(90), 5, cv::LINE_AA);
    cv::GaussianBlur(frame, frame, cv::Size(0, 0), 2.0);
    for (auto _ : state) {
        cv::Mat mask = ComputeVesselOutline(frame, {});
        benchmark::DoNotOptimize(mask);
    }
}
BENCHMARK(BM_VesselOutline)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

// Loading a stored tracing re-orders the list after every addition.
void BM_LoadStoredTracing(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<PixelPoint> points;
    for (int i = 0; i < n; ++i) {
        const double t = 6.0 * i / n;
        points.push_back({static_cast<int>(256 + 200 * std::cos(t)), static_cast<int>(256 + 200 * std::sin(t))});
    }
    for (auto _ : state) {
        AngioTracing tracing(512, 512);
        tracing.SetStoredPoints(points, points, points, {});
        benchmark::DoNotOptimize(tracing);
    }
}
BENCHMARK(BM_LoadStoredTracing)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

}  // namespace
