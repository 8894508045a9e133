// Wall placement of off-centre, non-circular contours against an independent account of
// the placement: each contour, taken relative to the catheter centre and shrunk by 16,
// lies in the image plane at its path point P; the placement turns that plane by the
// smallest rotation that takes its normal to the path's tangent T, the normal being the
// one the contour's winding gives (the samples run clockwise about the catheter, so it
// is -e_z). Undoing that rotation must give back points of the drawn contour, on the
// side of the catheter where it was drawn.
#include "helix_testutil.h"
#include "../realistic_cards.h"

#include "reconstruction/core/geometry.h"
#include "reconstruction/core/wall_placement.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrova::reconstruction;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The rotation taking the unit vector a to the unit vector b about the axis a x b
// (Rodrigues' formula), applied to v.
TPointXYZ RotateTo(const TPointXYZ& a, const TPointXYZ& b, const TPointXYZ& v)
{
    const TPointXYZ axis = Cross(a, b);
    const double s = Norm(axis), c = Dot(a, b);
    if (s < 1e-12)
        return c > 0 ? v : TPointXYZ{v.x, -v.y, -v.z}; // b = -a: any half turn; not met here
    const TPointXYZ k = (1.0 / s) * axis;
    return c * v + s * Cross(k, v) + ((1 - c) * Dot(k, v)) * k;
}

// Distance from p to the closed polygon of the contour.
double DistanceToContour(const WallContour& contour, double px, double py)
{
    double best = 1e300;
    for (std::size_t i = 0; i < contour.size(); ++i) {
        const PixelPoint a = contour[i], b = contour[(i + 1) % contour.size()];
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        best = std::min(best, std::hypot(px - (a.x + t * dx), py - (a.y + t * dy)));
    }
    return best;
}

// An off-centre plaque-like contour around the catheter centre c: an ellipse with its
// centre moved off the catheter, turned by `turn`, with a bulge on one side.
WallContour Plaque(const PixelPoint& c, double offX, double offY, double a, double b, double turn, double bulge,
                   int points = 72)
{
    WallContour out;
    for (int i = 0; i <= points; ++i) {
        const double t = 2 * kPi * i / points;
        const double r = 1.0 + bulge * std::exp(-4.0 * (1 - std::cos(t - 1.0)));
        const double ex = a * r * std::cos(t), ey = b * r * std::sin(t);
        const double x = c.x + offX + ex * std::cos(turn) - ey * std::sin(turn);
        const double y = c.y + offY + ex * std::sin(turn) + ey * std::cos(turn);
        out.push_back({static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))});
    }
    return out;
}

// Checks one placed line against the drawn contour, for path point P and tangent T.
void ExpectPlacedOnTheDrawnContour(const std::vector<TPointXYZ>& placed, const WallContour& drawn,
                                   const PixelPoint& centre, const TPointXYZ& P, const TPointXYZ& T,
                                   const std::string& what)
{
    ASSERT_GE(placed.size(), 21u) << what;
    // The samples turn with a falling angle about the catheter centre (image axes), so
    // samples 0, 5 and 15 wind clockwise in the (x, y) plane: the plane's normal by the
    // placement's cross product is -e_z, and the placement takes -e_z to T.
    const TPointXYZ normal{0, 0, -1};
    auto unplace = [&](const TPointXYZ& q) { return RotateTo(T, normal, q - P); };
    for (std::size_t i = 0; i < placed.size(); ++i) {
        EXPECT_LT(std::abs(Dot(placed[i] - P, T)), 1e-9) << what << " point " << i << ": not across the path";
        const TPointXYZ w = unplace(placed[i]);
        EXPECT_LT(std::abs(w.z), 1e-9) << what << " point " << i;
        const double x = centre.x + kContourDivisor * w.x, y = centre.y + kContourDivisor * w.y;
        EXPECT_LT(DistanceToContour(drawn, x, y), 2.0) << what << " point " << i << " back at (" << x << ", " << y << ")";
    }
    // Around the catheter once, the angle falling from sample to sample.
    for (std::size_t i = 1; i < 21; ++i) {
        const TPointXYZ a = unplace(placed[i - 1]), b = unplace(placed[i]);
        EXPECT_LT(a.x * b.y - a.y * b.x, 0.0) << what << " samples " << i - 1 << ", " << i;
    }
}

struct PlaqueCase {
    const char* what;
    double offX, offY, a, b, turn, bulge;
};

const PlaqueCase kPlaques[] = {
    {"plaque to the right, upright ellipse", 22, -9, 58, 34, 0.3, 0.0},
    {"plaque above, turned ellipse with a bulge", -6, -25, 44, 70, 1.1, 0.35},
    {"lumen off to the lower left, bulging", -18, 15, 36, 30, -0.7, 0.5},
};

} // namespace

TEST(WallOracle, OffCentreContoursAlongAHelixLandWhereTheyWereDrawn)
{
    // The exact helix as the path: tangents of every direction, each frame its own plaque.
    const int N = 60;
    std::vector<TPointXYZ> path, tangents;
    for (int k = 0; k < N; ++k) {
        const double t = helix_test::kTurns * k / N;
        path.push_back(helix_test::Helix(t));
        tangents.push_back(helix_test::HelixTangent(t));
    }
    const PixelPoint centre{240, 262};
    std::vector<WallContour> contours(N);
    for (int k = 0; k < N; ++k) {
        const PlaqueCase& c = kPlaques[k % 3];
        contours[k] = Plaque(centre, c.offX, c.offY, c.a, c.b, c.turn + 0.05 * k, c.bulge);
    }
    std::vector<std::string> warnings;
    const PlacedWall wall = PlaceWall(contours, centre, N, path, tangents, "outer", {255, 255, 255}, warnings);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(wall.lines.size(), static_cast<std::size_t>(N));
    for (const SceneLine& line : wall.lines) {
        const int k = line.tag;
        ExpectPlacedOnTheDrawnContour(line.points, contours[k], centre, path[k], tangents[k],
                                      std::string(kPlaques[k % 3].what) + ", frame " + std::to_string(k + 1));
    }
}

TEST(WallOracle, OffCentreContoursOnARebuiltCard)
{
    // A realistic card: the path and tangents the reconstruction itself gives.
    const realistic_cards::Card card = realistic_cards::MakeCard(realistic_cards::OrdinaryCards()[2]);
    ReconstructionInput in = realistic_cards::WithFrames(card, 30);
    in.catheterCentre = {256, 250};
    for (int k = 0; k < 30; ++k) {
        const PlaqueCase& c = kPlaques[k % 3];
        in.outerWalls.push_back(Plaque(in.catheterCentre, c.offX, c.offY, c.a, c.b, c.turn, c.bulge));
        in.innerWalls.push_back(Plaque(in.catheterCentre, c.offX / 2, c.offY / 2, c.a / 2, c.b / 2, -c.turn, 0.0));
    }
    const Reconstruction r = ReconstructVessel(in);
    EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
    int lines = 0;
    for (const SceneLine& line : r.lines) {
        if (line.tag < 0)
            continue;
        ++lines;
        const int k = line.tag;
        const bool outer = line.name.rfind("outer", 0) == 0;
        ExpectPlacedOnTheDrawnContour(line.points, outer ? in.outerWalls[k] : in.innerWalls[k], in.catheterCentre,
                                      r.catheterPath[k], r.pathTangents[k], line.name);
    }
    EXPECT_EQ(lines, 60);
}
