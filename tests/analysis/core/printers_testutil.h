#pragma once
// Readable test output for the analysis value types.

#include <ostream>

#include "study/contour.h"

namespace kestrova::analysis {

inline void PrintTo(const PixelPoint& p, std::ostream* os) { *os << "(" << p.x << "," << p.y << ")"; }

}  // namespace kestrova::analysis
