// The files of the graph window: the numbers sheet as an Office Open XML workbook and
// the names of the files it writes.
#pragma once

#include "reconstruction/core/graph_data.h"

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
// An existing file is replaced. Returns the reason of a failure, empty on success.
std::string WriteMeasurementWorkbook(const std::filesystem::path& file, const std::vector<SheetRow>& rows);

}  // namespace graphs
