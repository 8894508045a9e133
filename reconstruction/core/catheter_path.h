// The catheter path: the LAO and RAO catheter tracings swept along their viewing
// directions into two surfaces, intersected and marched into one space curve, sampled
// at one point per analysed IVUS frame and given a frame per sample.
//
// Every step checks its toolkit status; a failure throws ReconstructionRefused.
#pragma once

#include "reconstruction/core/reconstruction.h"
#include "spline/handles.h"

#include <string>
#include <vector>

namespace kestrova::reconstruction {

// Orders a tracing by nearness, in place: the first point stays; then repeatedly the
// nearest of the remaining points (the earlier of equally near ones) follows.
void OrderCatheterPoints(WallContour& points);

// The greatest y of a tracing (0 when no y is positive).
double MaxHeight(const WallContour& points);

// Brings the two tracings to the same greatest y: the lower one is scaled up about the
// image origin (x and y, truncated to whole pixels); equal heights change nothing.
// Both heights must be positive.
void MatchHeights(WallContour& lao, WallContour& rao);

// (x, y, z) for each point (x, y).
std::vector<TPointXYZ> ToPoints3D(const WallContour& points, double z);

// The depth over which both tracings are swept: 400, or more when a tracing reaches
// x >= 400 - kSweepMargin, so that each swept surface spans the other tracing.
inline constexpr int kSweepMargin = 10;
double SweepDepth(const WallContour& lao, const WallContour& rao);

// The curve interpolating the first count - 1 points (coordinates truncated to whole
// numbers; order 4, chord-length parameters from 0). Refuses on a toolkit error.
CurveHandle CurveThroughPoints3D(const std::vector<TPointXYZ>& points, int openFlag);

// The chosen intersection curve of the two swept tracings and the path sampled on it.
struct SampledPath {
    std::vector<TPointXYZ> points;  // N or N + 1, not yet moved to the origin
    std::vector<double> params;     // the curve parameter of each point
    CurveHandle curve;              // the chosen, oriented geometry curve
};

// L, L' (the LAO tracing at z = 0 and z = depth) and R, R' (the RAO tracing at x = 0 and
// x = depth) swept, intersected and marched; the longest curve is oriented so that it
// starts at the end nearest `start` seen along z (the first LAO point), then sampled at
// frameCount steps. Warnings are appended.
SampledPath CatheterPathFromProjections(const std::vector<TPointXYZ>& L, const std::vector<TPointXYZ>& L2,
                                        const std::vector<TPointXYZ>& R, const std::vector<TPointXYZ>& R2,
                                        const TPointXYZ& start, int frameCount, std::vector<std::string>& warnings,
                                        StepTimes* times);

// Unit tangent, normal and binormal of the path at the given parameters of `curve`,
// taken on its reduced form (s1940, 0.9 px): the Frenet frame where the path bends, the
// tangent completed by the neighbouring normal where it runs straight.
struct PathFrames {
    std::vector<TPointXYZ> tangents, normals, binormals;
};
PathFrames PathFramesAt(const spline_curve& curve, const std::vector<double>& params, StepTimes* times);

// The whole path of the input: ordering, heights, sweeping, sampling (moved so that point
// 0 is the origin) and frames at the first min(N, points) samples. Refuses on bad input.
struct CatheterPath {
    std::vector<TPointXYZ> points;
    PathFrames frames;
};
CatheterPath BuildCatheterPath(const ReconstructionInput& input, std::vector<std::string>& warnings,
                               const ReconstructionHooks& hooks);

} // namespace kestrova::reconstruction
