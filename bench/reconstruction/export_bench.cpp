// Composing the IVUS export files of a long pull-back: 200 analysed frames, each with an
// outer and an inner contour of 400 points stored as point-list texts.
#include "reconstruction/core/export_files.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

namespace {

exports::WallRow CircleRow(int radius, int points)
{
    exports::WallRow row;
    for (int i = 0; i < points; ++i) {
        const double a = 2 * M_PI * i / points;
        row.x += std::to_string(256 + static_cast<int>(radius * std::cos(a))) + " ";
        row.y += std::to_string(256 + static_cast<int>(radius * std::sin(a))) + " ";
    }
    row.x += "-1";
    row.y += "-1";
    return row;
}

exports::IvusRows PullBack(int frames, int points)
{
    exports::IvusRows rows;
    rows.catheterCenter = {256, 256};
    for (int k = 0; k < frames; ++k) {
        rows.outer.push_back(CircleRow(150 + k % 20, points));
        rows.inner.push_back(CircleRow(90 + k % 15, points));
    }
    return rows;
}

void BM_ParseIvusRows(benchmark::State& state)
{
    const exports::IvusRows rows = PullBack(static_cast<int>(state.range(0)), 400);
    for (auto _ : state)
        benchmark::DoNotOptimize(exports::ParseIvusRows(rows));
}
BENCHMARK(BM_ParseIvusRows)->Arg(20)->Arg(200);

void BM_IvusXmlFile(benchmark::State& state)
{
    const exports::ParsedIvus ivus = exports::ParseIvusRows(PullBack(static_cast<int>(state.range(0)), 400));
    const auto scale = exports::ExportScale(0.0123, exports::FirstOuterArcLengthPx(ivus), {});
    for (auto _ : state)
        benchmark::DoNotOptimize(exports::IvusXmlFile({512, 512}, ivus, *scale));
}
BENCHMARK(BM_IvusXmlFile)->Arg(20)->Arg(200);

void BM_IvusCadScript(benchmark::State& state)
{
    const exports::ParsedIvus ivus = exports::ParseIvusRows(PullBack(static_cast<int>(state.range(0)), 400));
    const auto scale = exports::ExportScale(0.0123, exports::FirstOuterArcLengthPx(ivus), {});
    for (auto _ : state)
        benchmark::DoNotOptimize(exports::IvusCadScript(ivus, *scale));
}
BENCHMARK(BM_IvusCadScript)->Arg(20)->Arg(200);

}  // namespace
