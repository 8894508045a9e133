// The numbers sheet written as a workbook and read back by an independent reader
// (Python's openpyxl).
#include "reconstruction/core/graph_files.h"

#include "export_testutil.h"
#include "graph_testutil.h"

#include "support/child_process.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

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

// A long pull-back's sheet: n rows of made-up values.
std::vector<SheetRow> ManyRows(int n)
{
    std::vector<SheetRow> rows(static_cast<size_t>(n));
    for (int r = 0; r < n; ++r) {
        rows[r].frameNumber = r + 1;
        for (size_t c = 0; c < rows[r].values.size(); ++c)
            rows[r].values[c] = 0.001 * (r * 19 + static_cast<int>(c)) + 1.0 / (c + 3.0);
    }
    return rows;
}

size_t FilesIn(const std::filesystem::path& folder)
{
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

// A good workbook replaced on a full disk (a file-size limit in a child process) comes
// out byte for byte as it was, and the failure is reported.
TEST(MeasurementWorkbook, AGoodWorkbookSurvivesAFullDisk)
{
    export_test::TempFolder folder;
    const auto file = folder.path() / "7.xlsx";
    ASSERT_EQ(WriteMeasurementWorkbook(file, MeasuredCircles()), "");
    const std::string good = export_test::ReadBytes(file);
    const std::vector<SheetRow> longer = ManyRows(3000);
    for (rlim_t limit : {rlim_t(0), rlim_t(good.size() + 4096), rlim_t(100000)}) {
        SCOPED_TRACE(limit);
        const child_process::Result r = child_process::Run([&]() -> std::string {
            if (!child_process::LimitFileSize(limit))
                return "cannot set up: setrlimit";
            return WriteMeasurementWorkbook(file, longer);
        });
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output, "");
        const std::string now = export_test::ReadBytes(file);
        EXPECT_TRUE(now == good) << "the good workbook is now " << now.size() << " bytes";
        EXPECT_EQ(FilesIn(folder.path()), 1u);
    }
    // Without a limit the longer sheet is written.
    ASSERT_EQ(WriteMeasurementWorkbook(file, longer), "");
    std::string error;
    EXPECT_EQ(ReadWorkbook(file, &error).size(), 3001u) << error;
}

// A process killed while it saves the workbook leaves the good workbook or a new one
// that reads, never a damaged file.
TEST(MeasurementWorkbook, AKilledSaveLeavesAWorkbookThatReads)
{
    export_test::TempFolder folder;
    const auto file = folder.path() / "7.xlsx";
    ASSERT_EQ(WriteMeasurementWorkbook(file, MeasuredCircles()), "");
    const std::string good = export_test::ReadBytes(file);
    const std::vector<SheetRow> longer = ManyRows(2000);
    // Kills spread over about two saves.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(WriteMeasurementWorkbook(folder.path() / "timing.xlsx", longer), "");
    const auto save = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::filesystem::remove(folder.path() / "timing.xlsx");
    std::mt19937 random(7);
    std::uniform_int_distribution<long> delayUs(0, 2 * save.count());
    int replaced = 0;
    for (int round = 0; round < 8; ++round) {
        std::fflush(nullptr);
        const pid_t saver = ::fork();
        if (saver == 0) {
            for (;;)
                WriteMeasurementWorkbook(file, longer);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
        const std::string now = export_test::ReadBytes(file);
        if (now == good)
            continue;
        ++replaced;
        std::string error;
        EXPECT_EQ(ReadWorkbook(file, &error).size(), 2001u) << "round " << round << ": " << now.size() << " bytes, "
                                                           << error;
    }
    std::printf("%d of 8 kills came after a save was complete\n", replaced);
}

// The read-back check of a written workbook: whole workbooks pass, whether written here
// or by another writer (openpyxl); a file cut short, a damaged part and a part that a
// full disk cut short before it was packed (a zip that is itself in order) are found.
TEST(MeasurementWorkbook, TheReadBackCheckFindsDamage)
{
    export_test::TempFolder folder;
    const auto ours = folder.path() / "ours.xlsx";
    ASSERT_EQ(WriteMeasurementWorkbook(ours, ManyRows(300)), "");
    EXPECT_EQ(CheckWorkbookFile(ours), "");
    const auto theirs = folder.path() / "theirs.xlsx";
    const auto [status, output] = export_test::RunCommand(
        "/usr/bin/python3 -c \"import openpyxl, sys; wb = openpyxl.Workbook(); ws = wb.active; "
        "[ws.append([r, r * 0.5, 'x']) for r in range(500)]; wb.save(sys.argv[1])\" " + export_test::Quote(theirs));
    ASSERT_EQ(status, 0) << output;
    EXPECT_EQ(CheckWorkbookFile(theirs), "");

    const std::string good = export_test::ReadBytes(ours);
    const auto copy = folder.path() / "copy.xlsx";
    for (size_t keep : {size_t(0), size_t(21), good.size() / 3, good.size() - 100, good.size() - 1}) {
        SCOPED_TRACE(keep);
        std::ofstream(copy, std::ios::binary) << good.substr(0, keep);
        EXPECT_EQ(CheckWorkbookFile(copy), "it is cut short");
    }
    // One byte of packed data changed.
    std::string flipped = good;
    flipped[good.size() / 2] = static_cast<char>(flipped[good.size() / 2] ^ 0x20);
    std::ofstream(copy, std::ios::binary) << flipped;
    EXPECT_NE(CheckWorkbookFile(copy), "");

    // The sheet part cut short and packed again into an orderly zip.
    const auto [cut, cutOutput] = export_test::RunCommand(
        "/usr/bin/python3 -c \"import zipfile, sys\n"
        "src = zipfile.ZipFile(sys.argv[1])\n"
        "dst = zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED)\n"
        "for i in src.infolist():\n"
        "    data = src.read(i.filename)\n"
        "    dst.writestr(i.filename, data[:len(data) // 2] if i.filename == 'xl/worksheets/sheet1.xml' else data)\n"
        "dst.close()\" " + export_test::Quote(ours) + " " + export_test::Quote(copy));
    ASSERT_EQ(cut, 0) << cutOutput;
    EXPECT_EQ(CheckWorkbookFile(copy), "the part xl/worksheets/sheet1.xml is cut short");
}

// The six images are one set: when one cannot be written (a full disk), every old image
// stays as it was.
TEST(ChartImages, ASetThatCannotBeWrittenWholeChangesNoImage)
{
    export_test::TempFolder folder;
    std::array<std::string, 6> old, fresh;
    for (size_t i = 0; i < 6; ++i) {
        old[i] = "BM old " + std::to_string(i);
        fresh[i] = "BM new " + std::string(i == 4 ? 9000 : 2000, static_cast<char>('a' + i));
    }
    ASSERT_EQ(WriteChartImages(folder.path(), 7, old), "");
    const child_process::Result r = child_process::Run([&]() -> std::string {
        if (!child_process::LimitFileSize(4096))
            return "cannot set up: setrlimit";
        return WriteChartImages(folder.path(), 7, fresh);
    });
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, (folder.path() / "7_WallThickness.bmp").string() + ": File too large");
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(export_test::ReadBytes(folder.path() / ChartImageFileName(7, ChartLayouts()[i])), old[i]) << i;
    EXPECT_EQ(FilesIn(folder.path()), 6u);

    ASSERT_EQ(WriteChartImages(folder.path(), 7, fresh), "");
    for (size_t i = 0; i < 6; ++i)
        EXPECT_TRUE(export_test::ReadBytes(folder.path() / ChartImageFileName(7, ChartLayouts()[i])) == fresh[i]) << i;
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
