#include "graph_testutil.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace graph_test {

graphs::StoredWallRow CircleRow(int k, double cx, double cy, double r, int n)
{
    graphs::StoredWallRow row;
    row.frame = k;
    for (int i = 0; i <= n; ++i) {
        const double t = 2.0 * M_PI * (i % n) / n;
        row.points.push_back({static_cast<int>(std::lround(cx + r * std::cos(t))),
                              static_cast<int>(std::lround(cy + r * std::sin(t)))});
    }
    return row;
}

std::vector<std::vector<Cell>> ReadWorkbook(const std::filesystem::path& file, std::string* error)
{
    const std::filesystem::path script =
        std::filesystem::path(KESTROVA_TEST_DATA) / "reconstruction" / "graphs" / "read_workbook.py";
    const std::string command = "/usr/bin/python3 '" + script.string() + "' '" + file.string() + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        *error = "cannot run " + command;
        return {};
    }
    std::string out;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    const int status = pclose(pipe);
    if (status != 0) {
        *error = "the reader failed: " + out;
        return {};
    }
    // One line per row, cells separated by tabs, each "type:value".
    std::vector<std::vector<Cell>> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<Cell> cells;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) {
            const size_t colon = field.find(':');
            cells.push_back({field.substr(0, colon), colon == std::string::npos ? "" : field.substr(colon + 1)});
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

}  // namespace graph_test
