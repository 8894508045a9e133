// Point-list text: the one text format in which every list of integers is stored
// (contour coordinates, tracings, the end-diastolic list).
//
// A list of n >= 1 integers is written as each value in decimal followed by one blank,
// then "-1": {12, 40, 41} -> "12 40 41 -1". The empty list is the empty text. A point
// list is stored as two such texts (X values, Y values) of equal length.
#pragma once

#include "app/contour.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

std::string PointListText(std::span<const int> values);
std::string PointListText(std::span<const std::uint32_t> values);

// The X and Y texts of the first n points of a contour (all of it when n exceeds its size).
std::pair<std::string, std::string> PointListTexts(const WallContour& points,
                                                   std::size_t n = static_cast<std::size_t>(-1));

// Reads a point-list text. Reading stops when the remainder is exactly "-1", so a value
// -1 inside the list is a value ("3 -1 7 -1" -> 3, -1, 7). Negative values come back in
// two's complement (cast to int to get them). Throws ConversionError on the empty text,
// a text that does not end in " -1", a piece that is not a decimal number, or a value
// outside the 32-bit range. Linear in the length of the text.
std::vector<std::uint32_t> ParseIntList(std::string_view text);

// ParseIntList converted to signed values.
std::vector<int> ParseIntListSigned(std::string_view text);

// Pairs two coordinate lists into points, reading no further than the shorter one.
WallContour ZipPoints(const std::vector<int>& xs, const std::vector<int>& ys);
