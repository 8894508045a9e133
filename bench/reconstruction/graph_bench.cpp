// The graph window's work for a 300-frame pull-back: the stored wall rows (400-point
// refined contours as point-list texts) read into contours, every frame measured, the 18
// series and the sheet rows built. Target: well under 2 s for the whole loop.
#include "reconstruction/core/graph_data.h"
#include "study/point_list.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

namespace {

// Frame k's stored wall row: its frame number and the X and Y point-list texts.
struct TextRow {
    int frame = 0;
    std::string x, y;
};

// A closed wavy wall as the refinement leaves it, stored as frame k's point-list texts.
TextRow WallRow(int k, double r, int points)
{
    TextRow row;
    row.frame = k;
    const double cx = 256.3 + 4 * std::sin(k * 0.05), cy = 250.7 + 3 * std::cos(k * 0.07);
    for (int i = 0; i <= points; ++i) {
        const double t = 2.0 * M_PI * (i % points) / points;
        const double rr = r * (1.0 + 0.06 * std::sin(3 * t + k * 0.1) + 0.03 * std::cos(5 * t));
        row.x += std::to_string(static_cast<int>(cx + rr * std::cos(t))) + " ";
        row.y += std::to_string(static_cast<int>(cy + rr * std::sin(t))) + " ";
    }
    row.x += "-1";
    row.y += "-1";
    return row;
}

struct TextWalls {
    std::vector<TextRow> outer, inner;
};

TextWalls PullBack(int frames)
{
    TextWalls walls;
    for (int k = 0; k < frames; ++k) {
        walls.outer.push_back(WallRow(k, 110 + k % 15, 400));
        walls.inner.push_back(WallRow(k, 60 + k % 10, 400));
    }
    return walls;
}

// The stored texts read as the data module reads them.
graphs::StoredWalls ReadRows(const TextWalls& text)
{
    graphs::StoredWalls walls;
    walls.hasIvusRow = true;
    for (const TextRow& row : text.outer)
        walls.outer.push_back({row.frame, ParsePointList(row.x, row.y, EmptyText::Damaged)});
    for (const TextRow& row : text.inner)
        walls.inner.push_back({row.frame, ParsePointList(row.x, row.y, EmptyText::Damaged)});
    return walls;
}

void BM_GraphPullBack(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    const TextWalls text = PullBack(frames);
    for (auto _ : state) {
        const graphs::StoredWalls walls = ReadRows(text);
        const graphs::LoadedContours contours = graphs::LoadGraphContours(frames, walls);
        graphs::GraphData data = graphs::MeasureFrames(contours, 0.05);
        std::vector<graphs::SheetRow> rows = graphs::SheetRows(data.series);
        if (rows.size() != static_cast<size_t>(frames))
            state.SkipWithError("a frame was not measured");
        benchmark::DoNotOptimize(rows);
    }
    state.counters["frames"] = frames;
}
BENCHMARK(BM_GraphPullBack)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace
