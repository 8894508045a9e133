// Point-list text: the one text format in which every list of integers is stored
// (contour coordinates, tracings, the end-diastolic list). The data module, the card
// store, the graphs and the exports all read and write it through these functions.
//
// A list of n >= 1 integers is written as each value in decimal followed by one blank,
// then "-1": {12, 40, 41} -> "12 40 41 -1". The empty list is the empty text. A point
// list is stored as two such texts (X values, Y values) of equal length.
#pragma once

#include "study/conversion_error.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

std::string PointListText(std::span<const int> values);
std::string PointListText(std::span<const std::uint32_t> values);

// Reads a point-list text. Each piece before a blank is a decimal integer with an
// optional sign ("+4", "-4"); reading stops when the remainder is exactly "-1", so a
// value -1 inside the list is a value ("3 -1 7 -1" -> 3, -1, 7). Negative values come
// back in two's complement (cast to int to get them). Throws ConversionError on the
// empty text, a text that does not end in " -1", a piece that is not a decimal number,
// or a value outside the 32-bit signed range. Linear in the length of the text.
std::vector<std::uint32_t> ParseIntList(std::string_view text);

// ParseIntList converted to signed values.
std::vector<int> ParseIntListSigned(std::string_view text);
