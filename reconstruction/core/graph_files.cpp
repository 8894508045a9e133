#include "reconstruction/core/graph_files.h"

#include <xlsxwriter.h>

namespace graphs {

std::string WorkbookFileName(int patientCode)
{
    return std::to_string(patientCode) + ".xlsx";
}

std::string ChartImageFileName(int patientCode, const ChartLayout& chart)
{
    return std::to_string(patientCode) + chart.fileSuffix;
}

std::string WriteMeasurementWorkbook(const std::filesystem::path& file, const std::vector<SheetRow>& rows)
{
    lxw_workbook* workbook = workbook_new(file.c_str());
    if (!workbook)
        return "the workbook could not be created";
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_error error = sheet ? LXW_NO_ERROR : LXW_ERROR_MEMORY_MALLOC_FAILED;
    const auto keep = [&error](lxw_error e) {
        if (error == LXW_NO_ERROR)
            error = e;
    };
    if (sheet) {
        const auto& headers = SheetHeaders();
        for (lxw_col_t c = 0; c < headers.size(); ++c)
            keep(worksheet_write_string(sheet, 0, c, headers[c], nullptr));
        for (size_t r = 0; r < rows.size(); ++r) {
            const auto row = static_cast<lxw_row_t>(r + 1);
            keep(worksheet_write_number(sheet, row, 0, rows[r].frameNumber, nullptr));
            for (size_t c = 0; c < rows[r].values.size(); ++c)
                keep(worksheet_write_number(sheet, row, static_cast<lxw_col_t>(c + 1), rows[r].values[c], nullptr));
        }
        // Wide enough for the longest caption.
        keep(worksheet_set_column(sheet, 0, 0, 9, nullptr));
        keep(worksheet_set_column(sheet, 1, static_cast<lxw_col_t>(headers.size() - 1), 25, nullptr));
    }
    // Closing writes the file; it also frees the workbook when an earlier step failed.
    const lxw_error closed = workbook_close(workbook);
    keep(closed);
    if (error != LXW_NO_ERROR)
        return std::string("the workbook could not be written (") + lxw_strerror(error) + ")";
    return {};
}

}  // namespace graphs
