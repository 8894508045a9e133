// Plain value types of the open card and of the analysis windows' contours.
// Qt-free, so the analysis core can share them.
#pragma once

#include <vector>

// An integer pixel position (IVUS or angiographic image pixels).
struct IntPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const IntPoint&, const IntPoint&) = default;
};

// One contour or tracing: an ordered list of integer points.
using WallContour = std::vector<IntPoint>;

// One contour per analysed IVUS frame, indexed by the analysed-frame index k.
using FrameContourList = std::vector<WallContour>;
