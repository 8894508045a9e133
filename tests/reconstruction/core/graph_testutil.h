// Stored wall rows for the graph tests: circles traced as the card save stores them.
#pragma once

#include "reconstruction/core/graph_data.h"

#include <filesystem>
#include <string>
#include <vector>

namespace graph_test {

// A closed circle of n integer points (the first point repeated at the end) about
// (cx, cy) with radius r, stored as frame k's point-list texts.
graphs::StoredWallRow CircleRow(int k, double cx, double cy, double r, int n);

// One cell of a workbook as read back by openpyxl: its type ("n" number, "s" text) and
// its value as text (numbers in Python's round-trip form).
struct Cell {
    std::string type;
    std::string value;
};

// Reads every cell of the first worksheet with Python's openpyxl (rows of cells);
// an empty result and `error` set when the reader fails.
std::vector<std::vector<Cell>> ReadWorkbook(const std::filesystem::path& file, std::string* error);

}  // namespace graph_test
