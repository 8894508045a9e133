// Point-list text: the one text format in which every list of integers is stored
// (contour coordinates, tracings, the end-diastolic list). The data module, the card
// store, the graphs and the exports all read and write it through these functions.
//
// A list of n >= 1 integers is written as each value in decimal followed by one blank,
// then "-1": {12, 40, 41} -> "12 40 41 -1". The empty list is the empty text. A point
// list is stored as two such texts (X values, Y values) of equal length.
#pragma once

#include "study/contour.h"
#include "study/conversion_error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
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

// The X and Y texts of the first n points of a contour (all of it when n exceeds its size).
std::pair<std::string, std::string> PointListTexts(const WallContour& points,
                                                   std::size_t n = static_cast<std::size_t>(-1));

// What reading a stored point list makes of an empty X or Y text.
enum class EmptyText {
    NoPoints,  // a tracing: the empty text is the empty list
    Damaged,   // a wall row, which the card save never writes empty: ConversionError
};

// What it makes of X and Y texts that hold different numbers of values (the card save
// never writes such a pair).
enum class UnequalLists {
    PairUpToShorter,  // the values past the shorter list are left out
    Refuse,           // ConversionError "its X and Y lists differ in length (3 and 2 values)"
};

// Reads a stored point list, its X and Y texts, into the points (X[i], Y[i]). A damaged
// text throws ConversionError as ParseIntList does.
WallContour ParsePointList(std::string_view xText, std::string_view yText, EmptyText empty, UnequalLists unequal);
