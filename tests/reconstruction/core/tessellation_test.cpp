#include "reconstruction/core/nurbs_text.h"
#include "reconstruction/core/tessellation.h"
#include "reconstruction/tube_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrova::reconstruction;

// The mesh of a tube lies on the tube: every vertex at the radius from its frame's centre
// line (in its horizontal plane), normals of unit length pointing across the wall.
TEST(Tessellation, ATubeMeshLiesOnTheTubeWithNormalsPointingOut)
{
    const tube_fixture::Helix helix;
    const double r = 9.0;
    const int frames = 20;
    const SurfaceHandle tube = tube_fixture::TubeSurface(frames, r, helix);
    const Mesh mesh = MeshFromSceneText(WriteNurbsSurfaceText(tube.get()));
    ASSERT_FALSE(mesh.Empty());
    const std::size_t vertices = mesh.positions.size() / 3;
    ASSERT_EQ(mesh.normals.size(), mesh.positions.size());
    for (unsigned index : mesh.triangles)
        ASSERT_LT(index, vertices);
    double worst = 0.0, worstNormal = 1.0;
    for (std::size_t v = 0; v < vertices; ++v) {
        const Vec3 p{mesh.positions[v * 3], mesh.positions[v * 3 + 1], mesh.positions[v * 3 + 2]};
        const Vec3 n{mesh.normals[v * 3], mesh.normals[v * 3 + 1], mesh.normals[v * 3 + 2]};
        // The centre line at this height (the rise per frame is constant).
        const double k = p.y / helix.rise;
        const double t = k * helix.turn;
        const Vec3 c{helix.radius * std::cos(t) - helix.radius, p.y, helix.radius * std::sin(t)};
        const Vec3 radial{p.x - c.x, 0.0, p.z - c.z};
        worst = std::max(worst, std::abs(Length(radial) - r));
        ASSERT_NEAR(Length(n), 1.0, 1e-5);
        worstNormal = std::min(worstNormal, Dot(Normalized(radial), n));  // pointing out
    }
    EXPECT_LT(worst, 0.02 * r);
    EXPECT_GT(worstNormal, 0.9);
    // The triangles turn counter-clockwise seen from outside: their normal agrees with the
    // vertex normals.
    for (std::size_t t = 0; t < mesh.triangles.size(); t += 3) {
        auto P = [&](unsigned i) { return Vec3{mesh.positions[i * 3], mesh.positions[i * 3 + 1], mesh.positions[i * 3 + 2]}; };
        const unsigned a = mesh.triangles[t], b = mesh.triangles[t + 1], c = mesh.triangles[t + 2];
        const Vec3 face = Cross(P(b) - P(a), P(c) - P(a));
        if (Length(face) < 1e-9)
            continue;
        const Vec3 na{mesh.normals[a * 3], mesh.normals[a * 3 + 1], mesh.normals[a * 3 + 2]};
        ASSERT_GT(Dot(face, na), 0.0) << t;
    }
}

TEST(Tessellation, FourStepsPerKnotSpanWithinTheCap)
{
    const SurfaceHandle tube = tube_fixture::TubeSurface(5, 4.0);
    auto spans = [](const double* knots, int order, int count) {
        int s = 0;
        for (int i = order - 1; i < count; ++i)
            s += knots[i + 1] > knots[i];
        return s;
    };
    const int su = spans(tube->knots1, tube->order1, tube->vertex_count1);
    const int sv = spans(tube->knots2, tube->order2, tube->vertex_count2);
    const Mesh mesh = TessellateSurface(*tube);
    EXPECT_EQ(mesh.positions.size() / 3, static_cast<std::size_t>((su * 4 + 1) * (sv * 4 + 1)));
    EXPECT_EQ(mesh.triangles.size(), static_cast<std::size_t>(su * 4 * sv * 4 * 6));
    // A long vessel keeps at most maxSteps steps along.
    const SurfaceHandle longTube = tube_fixture::TubeSurface(150, 4.0);
    const Mesh capped = TessellateSurface(*longTube, {8, 400});  // finer than the default
    const int lv = spans(longTube->knots2, longTube->order2, longTube->vertex_count2);
    const int per = std::max(1, 400 / lv);
    EXPECT_EQ(capped.positions.size() / 3, static_cast<std::size_t>((su * 8 + 1) * (lv * per + 1)));
}
