#pragma once
// Fitting of a wall drawn by hand: the stroke's points become the control polygon of an
// order-5 spline curve, a blend curve closes it, and the closed curve is sampled at 200
// equal parameter steps into the frame's shown and initial contours.

#include "study/contour.h"

#include <string>

struct spline_curve;

namespace kestrova::analysis {

enum class DrawnWallFit {
    TooFewPoints,  // fewer than five stroke points: the stroke stays as drawn
    Fitted,        // shown and initial contour hold the samples of the closed curve
    Failed,        // the spline toolkit refused the stroke: the stroke stays as drawn
};

struct DrawnWallResult {
    DrawnWallFit outcome = DrawnWallFit::TooFewPoints;
    std::string routine;  // the toolkit routine that failed (outcome Failed)
    int status = 0;       // its status
};

/// The spline routines the fit calls, replaceable so that a failure of the toolkit
/// can be provoked; the defaults are the toolkit's own.
struct DrawnWallToolkit {
    void (*s1630)(const double*, int, double, int, int, int, spline_curve**, int*);
    void (*S1227)(const spline_curve*, int, double, int*, double*, int*);
    void (*s1606)(const spline_curve*, const spline_curve*, double, const double*, const double*, int, int, int,
                  spline_curve**, int*);
    void (*s1715)(const spline_curve*, const spline_curve*, int, int, spline_curve**, int*);
};
const DrawnWallToolkit& DefaultDrawnWallToolkit();

/// Fits the stroke held in `shown` (kind 1 outer wall, 2 inner wall; the kind only
/// decides whether the sample at the curve's end parameter is taken). On success `shown`
/// and `initial` both become the samples (truncated toward zero). Otherwise `shown` keeps
/// the stroke's raw points and `initial` is untouched.
DrawnWallResult FitDrawnWall(int kind, WallContour& shown, WallContour& initial);
DrawnWallResult FitDrawnWall(int kind, WallContour& shown, WallContour& initial, const DrawnWallToolkit& toolkit);

/// The message shown when the fit failed.
inline constexpr const char* kDrawWallAgainText = "Please, draw wall again!";

}  // namespace kestrova::analysis
