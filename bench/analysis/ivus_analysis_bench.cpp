// Speed of the IVUS analysis: automatic detection per frame and snake refinement of a
// contour, on 512 x 512 frames.

#include <cmath>
#include <random>

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include "analysis/core/border_detection.h"
#include "analysis/core/contour_refinement.h"
#include "analysis/core/polar_smoothing.h"

namespace {

using namespace kestrova::analysis;

cv::Mat SpeckledFrame(int size, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(0, 40);
    cv::Mat frame(size, size, CV_8UC1);
    const double c = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double r = std::hypot(x - c, y - c);
            const int base = r < 70 ? 15 : r < 140 ? 110 : r < 152 ? 220 : 60;
            frame.at<std::uint8_t>(y, x) = cv::saturate_cast<std::uint8_t>(base + noise(rng));
        }
    return frame;
}

void BM_DetectOneFrame(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const cv::Mat frame = SpeckledFrame(size, 1);
    const PixelPoint centre{size / 2, size / 2};
    for (auto _ : state) {
        DetectionResult r = DetectIvusBorders([&](int) { return frame; }, 1, {size, size}, centre,
                                              {centre.x + 15, centre.y}, {});
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_DetectOneFrame)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_DetectRunOfFrames(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    const cv::Mat frame = SpeckledFrame(512, 2);
    for (auto _ : state) {
        DetectionResult r =
            DetectIvusBorders([&](int) { return frame; }, frames, {512, 512}, {256, 256}, {271, 256}, {frames});
        benchmark::DoNotOptimize(r);
    }
    state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DetectRunOfFrames)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_RefineContour(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    const int window = static_cast<int>(state.range(1));
    cv::Mat disc(512, 512, CV_8UC1, cv::Scalar(40));
    cv::circle(disc, {256, 256}, 120, cv::Scalar(200), cv::FILLED, cv::LINE_AA);
    cv::GaussianBlur(disc, disc, cv::Size(0, 0), 3.0);
    WallContour initial;
    for (int i = 0; i < points; ++i) {
        const double t = 2 * M_PI * i / points;
        initial.push_back({static_cast<int>(256 + 132 * std::cos(t)), static_cast<int>(256 + 132 * std::sin(t))});
    }
    initial.push_back(initial.front());
    RefinementParameters parameters = RefinementParameters::ResetValues();
    parameters.window = window;
    for (auto _ : state) {
        WallContour source = initial, target;
        RefineContourSnake(disc, source, target, parameters);
        SmoothContourPolar(target, target, {256, 256}, parameters.smoothnessLevel);
        benchmark::DoNotOptimize(target);
    }
}
BENCHMARK(BM_RefineContour)->Args({400, 3})->Args({400, 9})->Args({400, 13})->Args({100, 9})->Unit(benchmark::kMillisecond);

}  // namespace
