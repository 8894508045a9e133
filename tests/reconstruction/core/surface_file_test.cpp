// The wall surface written as a surface file and read back by an independent reader:
// the text parsed token by token and the B-spline evaluated by the Cox-de Boor recursion.
#include "helix_testutil.h"
#include "surface_file_testutil.h"

#include "reconstruction/core/wall_placement.h"
#include "spline/surface_eval.h"
#include "spline/vsf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

using namespace kestrova::reconstruction;
using namespace helix_test;

using namespace surface_file_test;


TEST(SurfaceFile, IndependentReaderMatchesTheToolkit)
{
    const int N = 40;
    std::vector<TPointXYZ> path, tangents;
    for (int k = 0; k < N; ++k) {
        path.push_back(Helix(kTurns * k / N));
        tangents.push_back(HelixTangent(kTurns * k / N));
    }
    std::vector<std::string> warnings;
    const PlacedWall wall = PlaceWall(std::vector<WallContour>(N, Circle({256, 256}, 48)), {256, 256}, N, path,
                                      tangents, "outer", {255, 255, 255}, warnings);
    const SurfaceHandle surface = FitWallSurface(wall, "Outer", warnings);
    ASSERT_TRUE(surface);

    std::stringstream file;
    writeVashSurface(surface.get(), file);
    const FileSurface read = ReadSurfaceFile(file);
    ASSERT_EQ(read.dim, 3);
    ASSERT_EQ(read.rational, 0);
    ASSERT_EQ(read.n1, surface->vertex_count1);
    ASSERT_EQ(read.n2, surface->vertex_count2);
    ASSERT_EQ(read.k1, 3);
    ASSERT_EQ(read.k2, 3);

    // The file carries six significant digits per number, so a value is known to within
    // 5e-6 of its size; evaluations agree to that, relative to the largest coordinate.
    double scale = 0;
    for (int i = 0; i < surface->vertex_count1 * surface->vertex_count2 * 3; ++i)
        scale = std::max(scale, std::abs(surface->coefs[i]));
    std::mt19937 rng(1);
    const double u0 = surface->knots1[2], u1 = surface->knots1[surface->vertex_count1];
    const double v0 = surface->knots2[2], v1 = surface->knots2[surface->vertex_count2];
    std::uniform_real_distribution<double> U(u0, u1), V(v0, v1);
    for (int i = 0; i < 200; ++i) {
        // Parameters inside the file's rounded range.
        const double u = std::clamp(U(rng), read.t1[2], read.t1[read.n1]);
        const double v = std::clamp(V(rng), read.t2[2], read.t2[read.n2]);
        const double uv[2] = {u, v};
        double d[3];
        int l1 = 0, l2 = 0, status = 0;
        s1424(surface.get(), 0, 0, uv, &l1, &l2, d, &status);
        ASSERT_GE(status, 0);
        const std::vector<double> p = Evaluate(read, u, v);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(p[c], d[c], 1e-5 * scale) << "u " << u << " v " << v;
    }
}
