// Composing the IVUS export files of a long pull-back: 200 analysed frames, each with an
// outer and an inner contour of 400 points, and reading such rows from their point-list texts.
#include "reconstruction/core/export_files.h"
#include "study/point_list.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

namespace {

WallContour Circle(int radius, int points)
{
    WallContour contour;
    for (int i = 0; i < points; ++i) {
        const double a = 2 * M_PI * i / points;
        contour.push_back({256 + static_cast<int>(radius * std::cos(a)), 256 + static_cast<int>(radius * std::sin(a))});
    }
    return contour;
}

exports::IvusRows PullBack(int frames, int points)
{
    exports::IvusRows rows;
    rows.catheterCenter = {256, 256};
    for (int k = 0; k < frames; ++k) {
        rows.outer.push_back(Circle(150 + k % 20, points));
        rows.inner.push_back(Circle(90 + k % 15, points));
    }
    return rows;
}

// Reading every stored wall row of the pull-back back from its point-list texts.
void BM_ParseWallRows(benchmark::State& state)
{
    std::vector<std::pair<std::string, std::string>> texts;
    for (const WallContour& c : PullBack(static_cast<int>(state.range(0)), 400).outer)
        texts.push_back(PointListTexts(c));
    for (auto _ : state)
        for (const auto& [x, y] : texts)
            benchmark::DoNotOptimize(ParsePointList(x, y, EmptyText::Damaged));
}
BENCHMARK(BM_ParseWallRows)->Arg(20)->Arg(200);

void BM_IvusXmlFile(benchmark::State& state)
{
    const exports::ParsedIvus ivus = PullBack(static_cast<int>(state.range(0)), 400);
    const auto scale = exports::ExportScale(0.0123, exports::FirstOuterArcLengthPx(ivus), {});
    for (auto _ : state)
        benchmark::DoNotOptimize(exports::IvusXmlFile({512, 512}, ivus, *scale));
}
BENCHMARK(BM_IvusXmlFile)->Arg(20)->Arg(200);

void BM_IvusCadScript(benchmark::State& state)
{
    const exports::ParsedIvus ivus = PullBack(static_cast<int>(state.range(0)), 400);
    const auto scale = exports::ExportScale(0.0123, exports::FirstOuterArcLengthPx(ivus), {});
    for (auto _ : state)
        benchmark::DoNotOptimize(exports::IvusCadScript(ivus, *scale));
}
BENCHMARK(BM_IvusCadScript)->Arg(20)->Arg(200);

}  // namespace
