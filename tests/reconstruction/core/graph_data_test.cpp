// The graph window's numbers without a window: stored wall rows -> contours -> the 18
// series, the sheet rows and the chart axes. The circle cards are checked against closed
// forms (radii, thickness, pi r^2) and against the wall measurement itself.
#include "reconstruction/core/graph_data.h"
#include "graph_testutil.h"

#include <cmath>
#include <map>

#include <gtest/gtest.h>

namespace {

using namespace graphs;
namespace an = kestrova::analysis;
using graph_test::CircleRow;

// Which FrameMeasurements quantity each sheet caption names, read from the caption itself.
double ByCaption(const std::string& caption, const an::FrameMeasurements& m, double s)
{
    const std::map<std::string, double> mm = {
        {"Min Lumen Radius (mm)", m.minLumenRadius},       {"Max Lumen Radius (mm)", m.maxLumenRadius},
        {"Mean Lumen Radius (mm)", m.meanLumenRadius},     {"Min Vessel Radius (mm)", m.minVesselRadius},
        {"Max Vessel Radius (mm)", m.maxVesselRadius},     {"Mean Vessel Radius (mm)", m.meanVesselRadius},
        {"Min Lumen Diameter (mm)", m.minLumenDiameter},   {"Max Lumen Diameter (mm)", m.maxLumenDiameter},
        {"Mean Lumen Diameter (mm)", m.meanLumenDiameter}, {"Min Vessel Diameter (mm)", m.minVesselDiameter},
        {"Max Vessel Diameter (mm)", m.maxVesselDiameter}, {"Mean Vessel Diameter (mm)", m.meanVesselDiameter},
        {"Min Wall Thickness (mm)", m.minWallThickness},   {"Max Wall Thickness (mm)", m.maxWallThickness},
        {"Mean Wall Thickness (mm)", m.meanWallThickness},
    };
    if (auto it = mm.find(caption); it != mm.end())
        return it->second * s;
    if (caption == "Lumen Area (mm^2)")
        return s * s * std::abs(static_cast<long>(m.lumenArea));
    if (caption == "Vessel Area (mm^2)")
        return s * s * std::abs(static_cast<long>(m.vesselArea));
    if (caption == "Wall Area (mm^2)")
        return s * s * m.wallArea;
    ADD_FAILURE() << "unknown caption " << caption;
    return 0.0;
}

// Frames 0, 1 and 3 of four carry concentric circles (lumen 50 px, vessel 80 px); frame 1's
// are centred elsewhere so its values differ from frame 0's.
StoredWalls CircleCard()
{
    StoredWalls walls;
    walls.hasIvusRow = true;
    for (int k : {3, 0, 1}) {  // rows in any order
        const double cx = k == 1 ? 240.4 : 200.3, cy = k == 1 ? 170.8 : 150.6;
        walls.outer.push_back(CircleRow(k, cx, cy, 80, 160));
        walls.inner.push_back(CircleRow(k, cx, cy, 50, 100));
    }
    return walls;
}

TEST(GraphData, CircleCardSeriesSheetAndOracle)
{
    const double spacing = 0.1;
    const LoadedContours contours = LoadGraphContours(4, CircleCard());
    EXPECT_TRUE(contours.problems.empty());
    int steps = 0;
    const GraphData data = MeasureFrames(contours, spacing, [&] { ++steps; });
    EXPECT_EQ(steps, 4);
    EXPECT_TRUE(data.problems.empty());

    // Frame 2 has no contour: three points at x = 1, 2, 4 in every series.
    for (const auto& s : data.series) {
        ASSERT_EQ(s.size(), 3u);
        EXPECT_EQ(s[0].x, 1.0);
        EXPECT_EQ(s[1].x, 2.0);
        EXPECT_EQ(s[2].x, 4.0);
    }
    const std::vector<SheetRow> rows = SheetRows(data.series);
    ASSERT_EQ(rows.size(), 3u);
    const int frames[] = {0, 1, 3};
    for (size_t r = 0; r < 3; ++r) {
        const int k = frames[r];
        SCOPED_TRACE(k);
        const an::MeasurementResult m = an::MeasureWallContours(contours.vessel[k], contours.lumen[k]);
        ASSERT_EQ(m.status, an::MeasurementStatus::Measured);
        // "Frame #" is the frame's own number, as on the charts.
        EXPECT_EQ(rows[r].frameNumber, k + 1);
        for (int c = 1; c < kSheetColumns; ++c)
            EXPECT_DOUBLE_EQ(rows[r].values[c - 1], ByCaption(SheetHeaders()[c], m.values, spacing)) << SheetHeaders()[c];

        // Closed forms of the circles in millimetres.
        const auto& v = rows[r].values;
        for (int c : {1, 2, 3})
            EXPECT_NEAR(v[c - 1], 5.0, c == 3 ? 0.05 : 0.25);
        for (int c : {4, 5, 6})
            EXPECT_NEAR(v[c - 1], 8.0, c == 6 ? 0.05 : 0.25);
        EXPECT_NEAR(v[9 - 1], 10.0, 0.05);
        EXPECT_NEAR(v[12 - 1], 16.0, 0.05);
        for (int c : {13, 14, 15})
            EXPECT_NEAR(v[c - 1], 3.0, c == 15 ? 0.05 : 0.2);
        EXPECT_NEAR(v[16 - 1], M_PI * 25.0, 0.005 * M_PI * 25.0);
        EXPECT_NEAR(v[17 - 1], M_PI * 64.0, 0.005 * M_PI * 64.0);
        EXPECT_NEAR(v[18 - 1], M_PI * 39.0, 1.0);
        // Areas are whole square pixels: 0.01 mm^2 steps.
        for (int c : {16, 17, 18})
            EXPECT_NEAR(v[c - 1] * 100.0, std::round(v[c - 1] * 100.0), 1e-9);
    }
}

TEST(GraphData, ChartsPlotTheSeriesOfTheirSheetColumns)
{
    // Every plotted series sits under the caption of its sheet column, and every series
    // is plotted exactly once, in the colours and legend of its kind.
    std::vector<int> seen(kSeriesCount, 0);
    const char* kinds[] = {"Lumen Radius", "Lumen Diameter", "Vessel Radius", "Vessel Diameter", "Wall Thickness"};
    for (size_t c = 0; c < ChartLayouts().size(); ++c) {
        const ChartLayout& chart = ChartLayouts()[c];
        EXPECT_EQ(chart.name, "Chart" + std::to_string(c + 1));
        for (const PlottedSeries& p : chart.plotted) {
            ++seen[p.series];
            const std::string caption = SheetHeaders()[p.sheetColumn];
            if (c < 5) {
                EXPECT_EQ(chart.title, std::string(kinds[c]));
                EXPECT_EQ(caption, std::string(p.legend) + " " + kinds[c] + " (mm)");
                const int offset = p.legend == std::string("Min") ? 0 : p.legend == std::string("Max") ? 1 : 2;
                EXPECT_EQ(p.series, 3 * static_cast<int>(c) + offset);
            } else {
                EXPECT_EQ(caption, std::string(p.legend) + " Area (mm^2)");
            }
        }
        // Legend order: green, blue, red.
        EXPECT_EQ(chart.plotted[0].colour, SeriesColour::Green);
        EXPECT_EQ(chart.plotted[1].colour, SeriesColour::Blue);
        EXPECT_EQ(chart.plotted[2].colour, SeriesColour::Red);
    }
    EXPECT_EQ(seen, std::vector<int>(kSeriesCount, 1));
    EXPECT_STREQ(ChartLayouts()[5].plotted[0].legend, "Vessel");
    EXPECT_STREQ(ChartLayouts()[5].plotted[1].legend, "Wall");
    EXPECT_STREQ(ChartLayouts()[5].plotted[2].legend, "Lumen");
}

TEST(GraphData, NothingStoredGivesHeadersOnly)
{
    StoredWalls noIvusRow = CircleCard();
    noIvusRow.hasIvusRow = false;  // rows of a card without an ivus row are never used
    for (const auto& [count, walls] : {std::pair{4, noIvusRow}, std::pair{0, CircleCard()}}) {
        const LoadedContours contours = LoadGraphContours(count, walls);
        int steps = 0;
        const GraphData data = MeasureFrames(contours, 0.1, [&] { ++steps; });
        EXPECT_EQ(steps, count);
        EXPECT_TRUE(data.problems.empty());
        EXPECT_TRUE(SheetRows(data.series).empty());
        for (const auto& s : data.series)
            EXPECT_TRUE(s.empty());
    }
    // Frame count 0: every stored row lies outside and is said so.
    EXPECT_EQ(LoadGraphContours(0, CircleCard()).problems.size(), 6u);
}

TEST(GraphData, RowsOfOneFrameJoinAndStrayRowsAreReported)
{
    StoredWalls walls;
    walls.hasIvusRow = true;
    walls.outer = {{1, {{10, 30}, {20, 40}}}, {1, {{50, 60}}}, {5, {{1, 3}, {2, 4}}}, {-1, {{1, 1}}}};
    const LoadedContours c = LoadGraphContours(3, walls);
    EXPECT_EQ(c.vessel[1], (WallContour{{10, 30}, {20, 40}, {50, 60}}));
    EXPECT_TRUE(c.vessel[0].empty() && c.vessel[2].empty());
    ASSERT_EQ(c.problems.size(), 2u);
    // Frames named as the charts number them (k + 1).
    EXPECT_EQ(c.problems[0], "The stored outer wall of frame: 6 lies outside the 3 analysed frames and was not loaded.");
    EXPECT_NE(c.problems[1].find("frame: 0 "), std::string::npos);
}

TEST(GraphData, FailedFramesAreReportedNeverPlotted)
{
    StoredWalls walls = CircleCard();
    // Frame 2: a small vessel far from the lumen, between two lines of the fan (3.6 degrees
    // apart), so no line through the lumen centroid crosses it; frame 4: a lumen too short
    // for a curve; frame 5: no lumen at all.
    const double a = 1.8 * M_PI / 180.0;
    walls.outer.push_back(CircleRow(2, 400 + 300 * std::sin(a), 150 + 300 * std::cos(a), 5, 12));
    walls.inner.push_back(CircleRow(2, 400, 150, 20, 24));
    walls.outer.push_back(CircleRow(4, 200, 150, 80, 160));
    walls.inner.push_back({4, {{150, 120}}});
    walls.outer.push_back(CircleRow(5, 200, 150, 80, 160));
    const GraphData data = MeasureFrames(LoadGraphContours(6, walls), 0.1);
    ASSERT_EQ(data.problems.size(), 2u);
    EXPECT_EQ(data.problems[0], "Error while calculating measurements at frame: 3. Code: no ray crossed both walls twice");
    EXPECT_EQ(data.problems[1].rfind("Error while calculating measurements at frame: 5. Code: ", 0), 0u);
    for (const auto& s : data.series) {
        ASSERT_EQ(s.size(), 3u);
        for (const DoublePoint& p : s)
            EXPECT_TRUE(std::isfinite(p.y) && p.y > 0.0);
    }
    EXPECT_EQ(SheetRows(data.series)[2].frameNumber, 4);
}

TEST(GraphData, ReadableAxes)
{
    struct Case {
        double lo, hi, minStep;
        bool roomAbove;
        AxisRange expected;
    };
    const Case cases[] = {
        {0.0, 8.07, 0.1, true, {0.0, 10.0, 2.0, 0}},
        {0.0, 5.0, 0.1, true, {0.0, 6.0, 1.0, 0}},      // a line along 5 keeps room above it
        {0.0, 0.32, 0.1, true, {0.0, 0.4, 0.1, 1}},     // never closer than 0.1
        {0.0, 0.0, 0.1, true, {0.0, 0.1, 0.1, 1}},      // nothing plotted
        {78.5, 201.06, 0.1, true, {50.0, 250.0, 50.0, 0}},
        {3.0, 3.0, 0.1, true, {2.0, 4.0, 1.0, 0}},       // one flat value
        {0.0, 4.0, 1.0, false, {0.0, 4.0, 1.0, 0}},      // frames: whole numbers
        {0.0, 300.0, 1.0, false, {0.0, 300.0, 100.0, 0}},
        {0.0, 1.0, 1.0, false, {0.0, 1.0, 1.0, 0}},
    };
    for (const Case& c : cases) {
        const AxisRange a = NiceAxis(c.lo, c.hi, c.minStep, c.roomAbove);
        EXPECT_NEAR(a.min, c.expected.min, 1e-12) << c.lo << ".." << c.hi;
        EXPECT_NEAR(a.max, c.expected.max, 1e-12) << c.lo << ".." << c.hi;
        EXPECT_NEAR(a.step, c.expected.step, 1e-12) << c.lo << ".." << c.hi;
        EXPECT_EQ(a.decimals, c.expected.decimals) << c.lo << ".." << c.hi;
    }
    // The length charts start at 0, the areas fit their data.
    const GraphData data = MeasureFrames(LoadGraphContours(4, CircleCard()), 0.1);
    EXPECT_EQ(ValueAxis(ChartLayouts()[2], data.series).min, 0.0);
    EXPECT_GT(ValueAxis(ChartLayouts()[2], data.series).max, 8.0);
    EXPECT_GT(ValueAxis(ChartLayouts()[5], data.series).min, 0.0);
    EXPECT_EQ(FrameAxis(data.series), (AxisRange{0.0, 4.0, 1.0, 0}));
}

}  // namespace
