// The catheter path: the LAO and RAO catheter tracings swept along their viewing
// directions into two surfaces, intersected and marched into one space curve, sampled
// at one point per analysed IVUS frame and given a frame per sample.
//
// Every step checks its toolkit status; a failure throws ReconstructionRefused.
#pragma once

#include "reconstruction/core/reconstruction.h"
#include "spline/handles.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrova::reconstruction {

// A tracing on its way to the surfaces: image pixels (x right, y down), whole pixels as
// clicked or the means of crowded clicks.
using TracingPoints = std::vector<TPointXY>;

// The tracing with crowded points merged: taken in stored order, a point closer than
// `distance` to the first point of a group already formed joins that group, otherwise
// it starts a new one; each group becomes the mean of its points, in the order the
// groups were started. The height range stays: a group holding points of the top (or
// bottom) row becomes their mean on that row; otherwise the first group stays at the
// first point, where the ordering starts. Clicks `distance` or more apart stay as they are; a pixel
// clicked twice, or a tracing with a point every pixel or less, becomes one point every
// few pixels along the catheter, which the ordering by nearness follows without leaving
// pixels of the band behind (and the curve through it without following each pixel).
inline constexpr double kMergeDistance = 3.0;
TracingPoints MergeCrowdedPoints(const WallContour& points, double distance = kMergeDistance);

// Orders a tracing by nearness, in place: the first point stays; then repeatedly the
// nearest of the remaining points (the earlier of equally near ones) follows.
void OrderCatheterPoints(WallContour& points);
void OrderCatheterPoints(TracingPoints& points);

// How far (rows) an ordered tracing may fall back against its general run in height
// before it counts as turning back: the noise of the clicks.
inline constexpr double kHeightNoise = 4.0;

// Where an ordered tracing turns back in height by more than `noise` rows: the rows it
// runs through twice, from the row where it turns to the row it falls back to (or the
// row it turns at again). Nothing when its height changes steadily in one direction.
struct HeightReversal {
    int fromRow = 0;  // the smaller row of the range
    int toRow = 0;
};
std::optional<HeightReversal> FindHeightReversal(const WallContour& points, double noise = kHeightNoise);
std::optional<HeightReversal> FindHeightReversal(const TracingPoints& points, double noise = kHeightNoise);

// The greatest y of a tracing (0 when no y is positive).
double MaxHeight(const WallContour& points);
double MaxHeight(const TracingPoints& points);

// Brings the two tracings to the same greatest y: the lower one is scaled up about the
// image origin (x and y, truncated to whole pixels); equal heights change nothing.
// Both heights must be positive; refuses when the scaled tracing would leave
// kMaxModelCoordinate. The path scales its merged tracing points by the same ratio of
// the stored tracings' greatest y, keeping their fractions.
inline constexpr double kMaxModelCoordinate = 1 << 20;
void MatchHeights(WallContour& lao, WallContour& rao);

// (x, y, z) for each point (x, y).
std::vector<TPointXYZ> ToPoints3D(const WallContour& points, double z);

// The depth over which both tracings are swept: 400, or more when a tracing reaches
// x >= 400 - kSweepMargin, so that each swept surface spans the other tracing.
inline constexpr int kSweepMargin = 10;
double SweepDepth(const WallContour& lao, const WallContour& rao);
double SweepDepth(const TracingPoints& lao, const TracingPoints& rao);

// The curve interpolating every point (order 4, chord-length parameters from 0).
// Refuses on a toolkit error.
CurveHandle CurveThroughPoints3D(const std::vector<TPointXYZ>& points, int openFlag);

// The tracing curve the surfaces are swept from: the curve through every point, reduced
// to the fewest knots that keep it within kTracingTolerance pixels of them across and
// kTracingHeightTolerance in height (the ends kept exactly). The height is held closer:
// where the catheter runs at a shallow slope, a height error moves the path along the
// other view's tracing by the error divided by the slope.
inline constexpr double kTracingTolerance = 1.0;
inline constexpr double kTracingHeightTolerance = 0.25;
CurveHandle TracingCurve(const std::vector<TPointXYZ>& points);

// A range of rows of the matched heights (top < bottom).
struct RowRange {
    double top = 0.0;
    double bottom = 0.0;
};

// The chosen intersection curve of the two swept tracings and the path sampled on it.
struct SampledPath {
    std::vector<TPointXYZ> points;  // N or N + 1, not yet moved to the origin
    std::vector<double> params;     // the curve parameter of each point
    CurveHandle curve;              // the chosen, oriented geometry curve
    // The rows where the path runs back and forth along the LAO or RAO tracing (more
    // than kHeightNoise pixels back along it), if anywhere.
    std::optional<RowRange> laoBackAndForth, raoBackAndForth;
    // The rows where the path runs nearly level (its height changing by less than 2 rows
    // over 40 pixels of path), if anywhere.
    std::optional<RowRange> level;
};

// L (the LAO tracing at z = 0) swept along z and R (the RAO tracing at x = 0) swept
// along x, each over `depth`, intersected and marched; the longest curve is oriented so
// that it starts at the end nearest `start` seen along z (the first LAO point), then
// sampled at frameCount steps. Warnings are appended.
SampledPath CatheterPathFromProjections(const std::vector<TPointXYZ>& L, const std::vector<TPointXYZ>& R,
                                        double depth, const TPointXYZ& start, int frameCount,
                                        std::vector<std::string>& warnings, StepTimes* times);

// The rows (matched heights, top < bottom) of the shared height range that a path
// covering `covered` leaves out, when clearly more than the click noise (kHeightNoise,
// or 2 % of the shared range): at most one range above and one below.
std::vector<RowRange> MissingRows(const RowRange& shared, const RowRange& covered);

// Unit tangent, normal and binormal of the path at the given parameters of `curve`,
// taken on its reduced form (s1940, 0.9 px): the Frenet frame where the path bends, the
// tangent completed by the neighbouring normal where it runs straight.
struct PathFrames {
    std::vector<TPointXYZ> tangents, normals, binormals;
};
PathFrames PathFramesAt(const spline_curve& curve, const std::vector<double>& params, StepTimes* times);

// The whole path of the input: ordering, heights, sweeping, sampling (moved so that point
// 0 is the origin) and frames at the first min(N, points) samples. Refuses on bad input
// (see ReconstructVessel); warns when the two tracings start at opposite ends or when
// the path covers clearly less height than both tracings share.
struct CatheterPath {
    std::vector<TPointXYZ> points;
    PathFrames frames;
};
CatheterPath BuildCatheterPath(const ReconstructionInput& input, std::vector<std::string>& warnings,
                               const ReconstructionHooks& hooks);

} // namespace kestrova::reconstruction
