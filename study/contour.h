// The pixel point and the wall contour: the one spelling of an image position and of a
// contour or tracing that the windows, the analysis, the reconstruction and the exports
// hand each other.
//
// Coordinates are pixels of the frame image: x to the right, y downward, origin at the
// top-left pixel. A refined or detected contour is closed: its last point repeats its
// first. An empty contour means "no contour".
#pragma once

#include <vector>

// An integer pixel position (IVUS or angiographic image pixels).
struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// One contour or tracing: an ordered list of pixel points.
using WallContour = std::vector<PixelPoint>;

// One contour per analysed IVUS frame, indexed by the analysed-frame index k.
using FrameContourList = std::vector<WallContour>;
