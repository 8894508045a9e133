// The numbers sheet written as a workbook and read back by an independent reader
// (Python's openpyxl).
#include "reconstruction/core/graph_files.h"

#include "export_testutil.h"
#include "graph_testutil.h"

#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

namespace {

using namespace graphs;
using graph_test::ReadWorkbook;

std::vector<SheetRow> MeasuredCircles()
{
    StoredWalls walls;
    walls.hasIvusRow = true;
    for (int k : {0, 1, 3}) {
        walls.outer.push_back(graph_test::CircleRow(k, 200.3 + k, 150.6, 80, 160));
        walls.inner.push_back(graph_test::CircleRow(k, 200.3 + k, 150.6, 50, 100));
    }
    return SheetRows(MeasureFrames(LoadGraphContours(4, walls), 0.1).series);
}

void ExpectHeaderRow(const std::vector<graph_test::Cell>& cells)
{
    ASSERT_EQ(cells.size(), static_cast<size_t>(kSheetColumns));
    for (int c = 0; c < kSheetColumns; ++c) {
        EXPECT_EQ(cells[c].type, "s");
        EXPECT_EQ(cells[c].value, SheetHeaders()[c]);
    }
}

TEST(MeasurementWorkbook, ReadBackByOpenpyxl)
{
    const std::vector<SheetRow> rows = MeasuredCircles();
    ASSERT_EQ(rows.size(), 3u);
    export_test::TempFolder folder;
    const auto file = folder.path() / WorkbookFileName(7);
    EXPECT_EQ(file.filename(), "7.xlsx");
    {
        std::ofstream old(file);
        old << "an older file that is replaced";
    }
    ASSERT_EQ(WriteMeasurementWorkbook(file, rows), "");

    std::string error;
    const auto cells = ReadWorkbook(file, &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(cells.size(), 4u);
    ExpectHeaderRow(cells[0]);
    const char* frameNumbers[] = {"1.0", "2.0", "4.0"};
    for (size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(cells[r + 1].size(), static_cast<size_t>(kSheetColumns));
        EXPECT_EQ(cells[r + 1][0].type, "n");
        EXPECT_EQ(cells[r + 1][0].value, frameNumbers[r]);
        for (int c = 1; c < kSheetColumns; ++c) {
            EXPECT_EQ(cells[r + 1][c].type, "n");
            EXPECT_NEAR(std::strtod(cells[r + 1][c].value.c_str(), nullptr), rows[r].values[c - 1], 1e-9)
                << SheetHeaders()[c];
        }
    }
}

TEST(MeasurementWorkbook, HeadersOnlyAndFailures)
{
    export_test::TempFolder folder;
    const auto file = folder.path() / "empty.xlsx";
    ASSERT_EQ(WriteMeasurementWorkbook(file, {}), "");
    std::string error;
    const auto cells = ReadWorkbook(file, &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(cells.size(), 1u);
    ExpectHeaderRow(cells[0]);

    // A folder that does not exist: the failure is said, not a success.
    EXPECT_NE(WriteMeasurementWorkbook(folder.path() / "missing" / "7.xlsx", MeasuredCircles()), "");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing"));
}

TEST(MeasurementWorkbook, ChartImageNames)
{
    std::vector<std::string> names;
    for (const ChartLayout& chart : ChartLayouts())
        names.push_back(ChartImageFileName(12, chart));
    EXPECT_EQ(names, (std::vector<std::string>{"12_LumenRadius.bmp", "12_LumenDiameter.bmp", "12_VesselRadius.bmp",
                                               "12_VesselDiameter.bmp", "12_WallThickness.bmp", "12_Areas.bmp"}));
}

}  // namespace
