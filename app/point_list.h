// The point-list text of contours: the card's X and Y texts of a contour and back.
// The text format itself and its one reader live in study/point_list.h.
#pragma once

#include "study/contour.h"
#include "study/point_list.h"

#include <string>
#include <utility>
#include <vector>

// The X and Y texts of the first n points of a contour (all of it when n exceeds its size).
std::pair<std::string, std::string> PointListTexts(const WallContour& points,
                                                   std::size_t n = static_cast<std::size_t>(-1));

// Pairs two coordinate lists into points, reading no further than the shorter one.
WallContour ZipPoints(const std::vector<int>& xs, const std::vector<int>& ys);
