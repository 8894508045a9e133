#include "analysis/core/numeric_helpers.h"

#include <algorithm>

namespace kestrova::analysis {

int MinOfFour(int a, int b, int c, int d) { return std::min({a, b, c, d}); }

}  // namespace kestrova::analysis
