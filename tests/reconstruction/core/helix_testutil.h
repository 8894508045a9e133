// The helix oracle of the reconstruction tests: a catheter along the helix
//     x = 200 + 80 cos t,  y = -(50 + 30 t),  z = 200 + 80 sin t,  t in [0, 4 pi]
// traced into the LAO view as (round x, round -y) and into the RAO view as
// (round(400 - z), round -y).
#pragma once

#include "reconstruction/core/reconstruction.h"

#include <vector>

namespace helix_test {
using kestrova::reconstruction::TPointXYZ;

inline constexpr double kTurns = 4.0 * 3.14159265358979323846;

TPointXYZ Helix(double t);
// Unit tangent of the helix at t (direction of growing t).
TPointXYZ HelixTangent(double t);

// `count` points at equal steps of t from 0 to 4 pi; `shiftX` moves the LAO tracing.
WallContour LaoTracing(int count, int shiftX = 0);
WallContour RaoTracing(int count);

// The distance from p to the helix and the t of its nearest point.
double DistanceToHelix(const TPointXYZ& p, double* tAt = nullptr);

// Circles of radius `radius` (IVUS pixels) around `centre`, as integer contour points.
WallContour Circle(const PixelPoint& centre, double radius, int points = 60);

// An input with both helix tracings and N frames, every frame with outer circles of
// 16 * outerR and inner circles of 16 * innerR pixels around (256, 256).
kestrova::reconstruction::ReconstructionInput HelixInput(int tracingPoints, int frames, double outerR = 3.0,
                                                         double innerR = 2.0);

} // namespace helix_test
