// The files of the graph window: the numbers sheet as an Office Open XML workbook and
// the names of the files it writes.
#pragma once

#include "reconstruction/core/graph_data.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace graphs {

// The workbook's proposed name: the patient code followed by ".xlsx".
std::string WorkbookFileName(int patientCode);

// The image file of a chart: the patient code followed by the chart's suffix
// ("7_LumenRadius.bmp").
std::string ChartImageFileName(int patientCode, const ChartLayout& chart);

// Writes the sheet as a workbook with one worksheet: the 19 header texts in the first
// row, then one row per measured frame with "Frame #" and every value as numbers.
// The workbook is written beside the file and then takes its place (study/replace_file.h):
// a failure leaves an existing file as it was. Returns the reason of a failure, empty on
// success.
std::string WriteMeasurementWorkbook(const std::filesystem::path& file, const std::vector<SheetRow>& rows);

// Writes the six chart images (encoded files, in ChartLayouts() order) into the folder as
// one set: each is written beside its name first, and the old files are replaced only
// when all six are written, so a failure leaves every old image as it was. Returns
// "<path>: <system's reason>" of the file that failed, empty on success.
std::string WriteChartImages(const std::filesystem::path& folder, int patientCode,
                             const std::array<std::string, 6>& images);

// Reads a written workbook back: its zip directory, every part inflated against its
// checksum, and every XML part ending with the end of its root element. Returns what is
// wrong ("it is cut short", "the part xl/worksheets/sheet1.xml is cut short"), empty
// when the file is whole.
std::string CheckWorkbookFile(const std::filesystem::path& file);

}  // namespace graphs
