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
#include "study/frame_reader.h"

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

// The largest distance, in pixels, of a stored point's coordinate from the image origin:
// a point lies within -kMaxPointCoordinate .. kMaxPointCoordinate on both axes. A frame
// file is at most kMaxFrameSide pixels wide and high (study/frame_reader.h), so every
// pixel of an image, and a contour dragged up to one image side past its top or left
// border, lies inside; any difference of two coordinates stays within 2 * 16384, whose
// square still fits a 32-bit integer.
inline constexpr int kMaxPointCoordinate = kMaxFrameSide;

// Reads a stored point list, its X and Y texts, into the points (X[i], Y[i]). Throws
// ConversionError as ParseIntList does, and when the two lists hold different numbers
// of values ("its X and Y lists differ in length (3 and 2 values)") or a value lies
// outside -kMaxPointCoordinate .. kMaxPointCoordinate ("the value 2147483647 lies
// outside any image"). The message names neither the row nor the column: the caller adds them.
WallContour ParsePointList(std::string_view xText, std::string_view yText, EmptyText empty);
