#include "helix_testutil.h"

#include <cmath>

namespace helix_test {

TPointXYZ Helix(double t) { return {200 + 80 * std::cos(t), -(50 + 30 * t), 200 + 80 * std::sin(t)}; }

TPointXYZ HelixTangent(double t)
{
    const double x = -80 * std::sin(t), y = -30, z = 80 * std::cos(t);
    const double l = std::sqrt(x * x + y * y + z * z);
    return {x / l, y / l, z / l};
}

WallContour LaoTracing(int count, int shiftX)
{
    WallContour out;
    for (int i = 0; i < count; ++i) {
        const TPointXYZ p = Helix(kTurns * i / (count - 1));
        out.push_back({static_cast<int>(std::lround(p.x)) + shiftX, static_cast<int>(std::lround(-p.y))});
    }
    return out;
}

WallContour RaoTracing(int count)
{
    WallContour out;
    for (int i = 0; i < count; ++i) {
        const TPointXYZ p = Helix(kTurns * i / (count - 1));
        out.push_back({static_cast<int>(std::lround(400 - p.z)), static_cast<int>(std::lround(-p.y))});
    }
    return out;
}

double DistanceToHelix(const TPointXYZ& p, double* tAt)
{
    const auto d2 = [&p](double t) {
        const TPointXYZ h = Helix(t);
        return (h.x - p.x) * (h.x - p.x) + (h.y - p.y) * (h.y - p.y) + (h.z - p.z) * (h.z - p.z);
    };
    // Coarse search, then golden-section refinement around the best sample.
    const int n = 4000;
    double bestT = 0, best = d2(0);
    for (int i = 1; i <= n; ++i) {
        const double t = kTurns * i / n;
        if (d2(t) < best) {
            best = d2(t);
            bestT = t;
        }
    }
    double a = bestT - kTurns / n, b = bestT + kTurns / n;
    for (int i = 0; i < 100; ++i) {
        const double m1 = a + (b - a) * 0.381966, m2 = a + (b - a) * 0.618034;
        if (d2(m1) < d2(m2))
            b = m2;
        else
            a = m1;
    }
    const double t = 0.5 * (a + b);
    if (tAt)
        *tAt = t;
    return std::sqrt(std::min(best, d2(t)));
}

WallContour Circle(const PixelPoint& centre, double radius, int points)
{
    WallContour out;
    for (int i = 0; i <= points; ++i) {
        const double a = 2 * 3.14159265358979323846 * i / points;
        out.push_back({centre.x + static_cast<int>(std::lround(radius * std::cos(a))),
                       centre.y + static_cast<int>(std::lround(radius * std::sin(a)))});
    }
    return out;
}

kestrova::reconstruction::ReconstructionInput HelixInput(int tracingPoints, int frames, double outerR, double innerR)
{
    kestrova::reconstruction::ReconstructionInput in;
    in.laoCatheter = LaoTracing(tracingPoints);
    in.raoCatheter = RaoTracing(tracingPoints);
    in.frameCount = frames;
    in.catheterCentre = {256, 256};
    for (int k = 0; k < frames; ++k) {
        in.outerWalls.push_back(Circle(in.catheterCentre, 16 * outerR));
        in.innerWalls.push_back(Circle(in.catheterCentre, 16 * innerR));
    }
    return in;
}

} // namespace helix_test
