#include "reconstruction/core/graph_files.h"

#include "study/replace_file.h"

#include <xlsxwriter.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

namespace graphs {

std::string WorkbookFileName(int patientCode)
{
    return std::to_string(patientCode) + ".xlsx";
}

std::string ChartImageFileName(int patientCode, const ChartLayout& chart)
{
    return std::to_string(patientCode) + chart.fileSuffix;
}

std::string WriteChartImages(const std::filesystem::path& folder, int patientCode,
                             const std::array<std::string, 6>& images)
{
    std::vector<FileContent> files;
    for (size_t i = 0; i < images.size(); ++i)
        files.push_back({folder / ChartImageFileName(patientCode, ChartLayouts()[i]), images[i]});
    try {
        ReplaceFiles(files);
        return {};
    } catch (const FileWriteError& e) {
        return e.what();
    }
}

namespace {

std::uint32_t Le(std::string_view bytes, size_t at, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

// The end of an XML part is the end of its root element.
bool XmlPartIsWhole(std::string_view xml)
{
    size_t at = 0;
    // Past the declaration and any processing instruction or comment before the root.
    while (true) {
        at = xml.find('<', at);
        if (at == std::string_view::npos || at + 1 >= xml.size())
            return false;
        if (xml[at + 1] != '?' && xml[at + 1] != '!')
            break;
        at = xml.find('>', at);
        if (at == std::string_view::npos)
            return false;
    }
    const size_t nameEnd = xml.find_first_of(" \t\r\n/>", at + 1);
    const size_t tagEnd = xml.find('>', at);
    if (nameEnd == std::string_view::npos || tagEnd == std::string_view::npos)
        return false;
    const std::string_view name = xml.substr(at + 1, nameEnd - at - 1);
    const size_t last = xml.find_last_not_of(" \t\r\n");
    if (xml[tagEnd - 1] == '/')  // a root without content ends with its own tag
        return last == tagEnd;
    const std::string close = "</" + std::string(name) + ">";
    return last + 1 >= close.size() && xml.substr(last + 1 - close.size(), close.size()) == close;
}

}  // namespace

std::string CheckWorkbookFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof())
        return "it cannot be read back";
    // The end-of-directory record closes the file (the library writes no comment).
    constexpr size_t kEnd = 22, kCentral = 46, kLocal = 30;
    if (bytes.size() < kEnd || Le(bytes, bytes.size() - kEnd, 4) != 0x06054b50)
        return "it is cut short";
    const size_t endAt = bytes.size() - kEnd;
    const std::uint32_t entries = Le(bytes, endAt + 10, 2);
    const size_t directorySize = Le(bytes, endAt + 12, 4);
    size_t at = Le(bytes, endAt + 16, 4);
    if (at + directorySize != endAt || entries == 0)
        return "its directory is damaged";
    for (std::uint32_t e = 0; e < entries; ++e) {
        if (at + kCentral > endAt || Le(bytes, at, 4) != 0x02014b50)
            return "its directory is damaged";
        const std::uint32_t method = Le(bytes, at + 10, 2);
        const std::uint32_t crc = Le(bytes, at + 16, 4);
        const size_t packed = Le(bytes, at + 20, 4);
        const size_t size = Le(bytes, at + 24, 4);
        const size_t nameLength = Le(bytes, at + 28, 2);
        const size_t local = Le(bytes, at + 42, 4);
        const std::string name = bytes.substr(at + kCentral, nameLength);
        at += kCentral + nameLength + Le(bytes, at + 30, 2) + Le(bytes, at + 32, 2);
        if (local + kLocal > endAt || Le(bytes, local, 4) != 0x04034b50)
            return "the part " + name + " is damaged";
        const size_t data = local + kLocal + Le(bytes, local + 26, 2) + Le(bytes, local + 28, 2);
        if (data + packed > endAt || (method != 0 && method != Z_DEFLATED))
            return "the part " + name + " is damaged";
        std::string content(size, '\0');
        if (method == 0) {
            content = bytes.substr(data, packed);
        } else {
            z_stream z{};
            if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
                return "it cannot be checked";
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + data));
            z.avail_in = static_cast<uInt>(packed);
            z.next_out = reinterpret_cast<Bytef*>(content.data());
            z.avail_out = static_cast<uInt>(content.size());
            const int status = inflate(&z, Z_FINISH);
            const bool whole = status == Z_STREAM_END && z.total_out == size;
            inflateEnd(&z);
            if (!whole)
                return "the part " + name + " is damaged";
        }
        const auto computed = crc32(0L, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size()));
        if (computed != crc)
            return "the part " + name + " is damaged";
        const std::string_view n(name);
        const bool xml = n.ends_with(".xml") || n.ends_with(".rels");
        if (xml && !XmlPartIsWhole(content))
            return "the part " + name + " is cut short";
    }
    return {};
}

namespace {

// Writes the workbook at `file` (a new temporary of the caller's); the reason of a
// failure, empty on success.
std::string WriteWorkbookAt(const std::filesystem::path& file, const std::vector<SheetRow>& rows)
{
    errno = 0;
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
    const int systemError = errno;
    keep(closed);
    // The library does not check its own writes: a full disk can leave a file that it
    // reports as written, cut short or holding a part cut short. Reading it back tells.
    std::string what = error != LXW_NO_ERROR ? lxw_strerror(error) : CheckWorkbookFile(file);
    if (what.empty())
        return {};
    if (error == LXW_NO_ERROR)
        what = "the written file is damaged: " + what;
    // The library's texts are general; the system's reason says why.
    if (systemError != 0)
        what += "; " + std::error_code(systemError, std::generic_category()).message();
    return "the workbook could not be written (" + what + ")";
}

}  // namespace

std::string WriteMeasurementWorkbook(const std::filesystem::path& file, const std::vector<SheetRow>& rows)
{
    try {
        ReplaceFileWith(file, [&rows](const std::filesystem::path& temporary) { return WriteWorkbookAt(temporary, rows); });
        return {};
    } catch (const FileWriteError& e) {
        return e.reason();
    }
}

}  // namespace graphs
