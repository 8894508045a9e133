#include "helix_testutil.h"

#include "reconstruction/core/catheter_path.h"
#include "reconstruction/core/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrova::reconstruction;
using namespace helix_test;

TEST(Helix, Smoke)
{
    ReconstructionInput in = HelixInput(150, 50);
    std::vector<std::string> warnings;
    CatheterPath path = BuildCatheterPath(in, warnings, {});
    ASSERT_GE(path.points.size(), 50u);
    const TPointXYZ start = Helix(0);
    double worst = 0;
    for (const TPointXYZ& p : path.points)
        worst = std::max(worst, DistanceToHelix(p + start));
    std::printf("points %zu worst %g\n", path.points.size(), worst);
    for (auto& w : warnings) std::printf("W: %s\n", w.c_str());
}
