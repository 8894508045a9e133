#pragma once
// Polar transforms of contours around the catheter centre and the multiscale
// smoothing of periodic integer rows.
//
// Polar convention of the contour smoothing (the border detection has its own, see
// border_detection.h): a point's angle is atan2(cx - x, cy - y) + 3.14159265 and the
// way back is x = cx + trunc(r sin(angle)), y = cy + trunc(r cos(angle)).

#include <cstdint>
#include <span>
#include <vector>

#include "study/contour.h"

namespace kestrova::analysis {

struct PolarPoint {
    double radius = 0.0;
    double angle = 0.0;
};

/// radius = |centre - p|, angle = atan2(cx - x, cy - y) + 3.14159265 (about 0 .. 2 pi),
/// so that sin(angle) = (x - cx) / radius and cos(angle) = (y - cy) / radius.
std::vector<PolarPoint> CartesianToPolar(std::span<const PixelPoint> points, PixelPoint centre);

/// x = cx + trunc(radius sin(angle)), y = cy + trunc(radius cos(angle)).
std::vector<PixelPoint> PolarToCartesian(std::span<const PolarPoint> points, PixelPoint centre);

/// How MultiscaleSmooth turns its averages back into integers.
enum class SmoothRounding {
    Floor,        // the contour smoothing
    RoundHalfUp,  // the border detection
};

/// Fills the gaps (value -1) of one periodic row in place by linear interpolation
/// around the circle between the nearest known values on either side. A row without
/// any known value is left as it is and false is returned; otherwise true.
/// Values are doubles (the smoothing's working row).
bool FillGaps(std::span<double> row);

/// Smooths each of `rows` periodic rows of `n` integers in place (position j stands for
/// j modulo n). `level` L (4..10 in the windows; values below 1 are taken as 1) makes L
/// averaging passes: first out[j] = (in[j] + in[j-1]) / 2, then for s = 1, 2, 4, ...,
/// 2^(L-2): out[j] = (in[j+s] + in[j-s]) / 2.
///
/// With `fillGaps`, the gaps (-1) of every row are first filled by FillGaps; a row
/// without any known value is left all -1 and not smoothed. The return value holds one
/// flag per row: false for such a row (always true without `fillGaps`).
std::vector<bool> MultiscaleSmooth(std::int32_t* const* values, int n, int rows, int level, bool fillGaps,
                                   SmoothRounding rounding);

/// One row; returns false for a row left unsmoothed (see above).
bool MultiscaleSmooth(std::span<std::int32_t> row, int level, bool fillGaps, SmoothRounding rounding);

/// The polar smoothing of a contour: with n = number of source points (nothing happens
/// for n < 5), converts the points to polar form around `centre`, truncates the radii to
/// integers, smooths them as one periodic row (level `smoothnessLevel`, no gap filling,
/// floor), and writes the points with their new radii and their old angles into
/// `target`, whose last point is then set equal to its first. Source and target may be
/// the same contour. Returns false when nothing was done.
bool SmoothContourPolar(const WallContour& source, WallContour& target, PixelPoint centre, int smoothnessLevel);

}  // namespace kestrova::analysis
