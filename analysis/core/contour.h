#pragma once
// Integer pixel points and wall contours shared by the IVUS analysis.
//
// Coordinates are pixels of the frame image: x to the right, y downward, origin at
// the top-left pixel. A refined or detected contour is closed: its last point
// repeats its first. An empty contour means "no contour".

#include <vector>

namespace kestrova::analysis {

struct PixelPoint {
    int x = 0;
    int y = 0;

    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

using WallContour = std::vector<PixelPoint>;

}  // namespace kestrova::analysis
