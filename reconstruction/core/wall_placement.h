// The wall contours placed along the catheter path and fitted into one surface per wall.
//
// Each contour of an analysed frame k is taken relative to the catheter centre,
// resampled to 21 points around a smooth closed curve that starts in the direction of
// the catheter centre, shrunk by 16, set at path point k and turned into the plane
// perpendicular to the path there. The placed contours of a wall are interpolated into
// one closed-around, open-along surface.
#pragma once

#include "reconstruction/core/reconstruction.h"
#include "spline/handles.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrova::reconstruction {

inline constexpr int kContourSamples = 21;

// The curve that runs like the closed `curve` but starts where the segment from A to B
// meets it (the point of the curve nearest the segment), turning so that the angle
// atan2(y, x) falls along it. Null when the segment cannot be built (A == B) or a
// toolkit step fails.
CurveHandle RestartContourAtRay(const spline_curve& curve, const TPointXY& A, const TPointXY& B);

// Replaces a contour (relative to the catheter centre) by n samples of a smooth closed
// curve through its points, starting in the direction of `centre` (the catheter centre
// in image pixels) and closed by a copy of the first sample when the last differs from
// it in both coordinates (open flag 0). Points are kept only when both whole-number
// coordinates differ from the previous point's. Returns false (contour unchanged) when
// fewer than two points are kept or the curve cannot be made or restarted.
bool ResampleContour(std::vector<TPointXY>& contour, const TPointXY& centre, int n, int openFlag);

// The samples (relative, IVUS pixels) set at path point P and turned into the plane
// perpendicular to the unit tangent T. Nothing when the samples are too few or lie on a
// line.
std::optional<std::vector<TPointXYZ>> PlaceContour(const std::vector<TPointXY>& samples, const TPointXYZ& P,
                                                   const TPointXYZ& T);

// One wall of the vessel: its scene lines and its grid of kContourSamples points per
// placed frame.
struct PlacedWall {
    std::vector<SceneLine> lines;
    std::vector<double> grid;  // frame after frame, x y z per point
    int frames = 0;            // M: placed frames
};

// Places every frame's contour of one wall ("outer" or "inner"); frames that cannot be
// placed (past the frames or the path, no catheter centre, points or centre outside
// 0..kMaxImageCoordinate, too few points, points on a line) are left out with one
// warning per reason naming them (frame numbers from 1).
PlacedWall PlaceWall(const std::vector<WallContour>& contours, const PixelPoint& centre, int frameCount,
                     const std::vector<TPointXYZ>& path, const std::vector<TPointXYZ>& tangents,
                     const std::string& name, const Rgb& colour, std::vector<std::string>& warnings);

// The interpolating surface through the wall's grid (s1536: 21 x M, closed around with
// order 3, open along with order 3); null with a warning when fewer than two frames were
// placed or the toolkit fails.
SurfaceHandle FitWallSurface(const PlacedWall& wall, const std::string& wallName, std::vector<std::string>& warnings);

// "3, 5-7, 10" for the sorted numbers.
std::string NumberRanges(const std::vector<long long>& sorted);

} // namespace kestrova::reconstruction
