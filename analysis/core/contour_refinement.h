#pragma once
// Active-contour refinement of IVUS wall contours and its re-run after a parameter
// change.
//
// Every wall contour made by hand or by propagation passes through two steps before it
// is shown: RefineContourSnake pulls the initial contour onto the nearby edges of the
// frame image (greedy_snake.h), then SmoothContourPolar (polar_smoothing.h) smooths its
// distances from the catheter centre. ReapplyRefinement re-runs both on one frame from
// its initial contours.

#include <opencv2/core.hpp>

#include "study/contour.h"

namespace kestrova::analysis {

/// The refinement parameters (the IVUS window's spin editors). The member initialisers
/// are the window's start values; ResetValues() are the values of "Reset parameters".
struct RefinementParameters {
    double alpha = 14.0;      // "Contour Continuity (a)", 0 and up
    double beta = 200.0;      // "Contour Carvature (b)", 0 and up
    double gamma = 30.0;      // "Energy Sensitivity (g)", 0 and up
    int window = 3;           // "Neighborhood (w)": odd, 1 to 13
    int smoothnessLevel = 5;  // "Smoothness Level": 4 to 10

    static RefinementParameters ResetValues() { return {0.002, 50.0, 35.0, 9, 5}; }
};

/// Iteration limit of the refinement's snake.
inline constexpr int kSnakeIterations = 14;

/// Refines `source` on `image` into `target` (source and target must be different
/// contours). With n = source size < 5 nothing happens. The image may be 8-bit grey
/// (used as is), BGR or BGRA (converted to grey). The snake runs on a copy of the source
/// points with one alpha, beta and gamma for all points, a w-by-w window and at most 14
/// iterations; the target becomes the n moved points. Both contours are then closed:
/// the last point of the source and of the target is set equal to its first.
///
/// Returns false, leaving both contours as they were, when n < 5 or the image is empty
/// or of an unsupported type.
bool RefineContourSnake(const cv::Mat& image, WallContour& source, WallContour& target,
                        const RefinementParameters& parameters);

/// The four contours of one analysed frame.
struct FrameWalls {
    WallContour& outer;      // shown outer wall (vessel border)
    WallContour& inner;      // shown inner wall (lumen border)
    WallContour& userOuter;  // initial outer wall
    WallContour& userInner;  // initial inner wall
};

/// Which walls the user is drawing (the IVUS window's drawing mode).
enum class DrawMode { None = 0, Outer = 1, Inner = 2 };

/// Re-runs the refinement and the polar smoothing on one frame after a parameter change
/// (the caller checks that a frame is selected):
///   - Outer: when the shown outer wall has at least 6 points, refine the initial outer
///     wall into the shown one and smooth the shown one in place around `centre`;
///   - Inner: the same for the inner wall;
///   - None: the outer wall when its shown contour has more than 5 points, then the
///     inner wall likewise.
/// Returns true when the frame's contours should be redrawn: always in mode None,
/// otherwise when the wall was processed.
bool ReapplyRefinement(const cv::Mat& image, DrawMode mode, FrameWalls walls, PixelPoint centre,
                       const RefinementParameters& parameters);

}  // namespace kestrova::analysis
