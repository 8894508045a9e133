#include "reconstruction/core/wall_placement.h"

#include "reconstruction/core/geometry.h"
#include "spline/blend.h"
#include "spline/curve_eval.h"
#include "spline/edit.h"
#include "spline/interp.h"
#include "spline/isect.h"
#include "spline/loft.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <numbers>

namespace kestrova::reconstruction {
namespace {

double RangeStart(const spline_curve& c) { return c.knots[c.order - 1]; }
double RangeEnd(const spline_curve& c) { return c.knots[c.vertex_count]; }

// Position at t, or nullopt on a toolkit error.
std::optional<TPointXY> Evaluate2(const spline_curve& c, double t)
{
    double pos[2] = {0, 0};
    int left = 0, status = 0;
    S1227(&c, 0, t, &left, pos, &status);
    if (status < 0)
        return std::nullopt;
    return TPointXY{pos[0], pos[1]};
}

bool Finite(const TPointXYZ& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Why a frame's contour was left out.
enum class Skip { BeyondFrames, BeyondPath, NoCentre, CentreOutside, PointsOutside, TooFewPoints, OnALine };

const char* Reason(Skip s)
{
    switch (s) {
    case Skip::BeyondFrames: return "past the card's analysed frames";
    case Skip::BeyondPath: return "past the end of the catheter path";
    case Skip::NoCentre: return "the catheter centre of the IVUS frames is not set";
    case Skip::CentreOutside: return "the catheter centre of the IVUS frames lies outside the image";
    case Skip::PointsOutside: return "contour points lie outside the image";
    case Skip::TooFewPoints: return "fewer than two usable contour points";
    case Skip::OnALine: return "the contour points lie on a line";
    }
    return "";
}

} // namespace

bool InImage(const PixelPoint& p)
{
    return p.x >= 0 && p.y >= 0 && p.x <= kMaxImageCoordinate && p.y <= kMaxImageCoordinate;
}

std::string NumberRanges(const std::vector<long long>& sorted)
{
    std::string out;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i;
        while (j + 1 < sorted.size() && sorted[j] < sorted[j + 1] && sorted[j + 1] - sorted[j] == 1)
            ++j;
        if (!out.empty())
            out += ", ";
        out += std::to_string(sorted[i]);
        if (j > i)
            out += (j == i + 1 ? ", " : "-") + std::to_string(sorted[j]);
        i = j + 1;
    }
    return out;
}

CurveHandle RestartContourAtRay(const spline_curve& curve, const TPointXY& A, const TPointXY& B)
{
    const double a[2] = {A.x, A.y};
    const double b[2] = {B.x, B.y};
    double segmentEnd = 0.0;
    spline_curve* rawSegment = nullptr;
    int status = 0;
    s1602(a, b, 2, 2, 0.0, &segmentEnd, &rawSegment, &status);
    CurveHandle segment(rawSegment);
    if (status < 0 || !segment)
        return nullptr;

    int pointCount = 0, curveCount = 0;
    double* rawParams1 = nullptr;
    double* rawParams2 = nullptr;
    isect_curve** rawCurves = nullptr;
    s1955(segment.get(), &curve, 0.0, 0.001, &pointCount, &rawParams1, &rawParams2, &curveCount, &rawCurves, &status);
    ToolkitArray<double> params1(rawParams1), params2(rawParams2);
    IsectCurveArray stretches(rawCurves, curveCount);
    if (status < 0)
        return nullptr;
    double u = 0.0;
    if (pointCount > 0)
        u = params2[0];
    else if (!stretches.empty() && stretches[0]->point_count > 0 && stretches[0]->params2)
        u = stretches[0]->params2[0];
    else
        return nullptr;

    const double start = RangeStart(curve), end = RangeEnd(curve);
    const double eps = 1e-12 * std::max(1.0, end - start);
    CurveHandle joined;
    if (u <= start + eps || u >= end - eps) {
        joined.reset(copy_curve(&curve));
    } else {
        spline_curve* rawFirst = nullptr;
        spline_curve* rawSecond = nullptr;
        s1713(&curve, start, u, &rawFirst, &status);
        CurveHandle first(rawFirst);
        if (status < 0 || !first)
            return nullptr;
        s1713(&curve, u, end, &rawSecond, &status);
        CurveHandle second(rawSecond);
        if (status < 0 || !second)
            return nullptr;
        spline_curve* rawJoined = nullptr;
        s1715(second.get(), first.get(), 1, 0, &rawJoined, &status);
        joined.reset(rawJoined);
        if (status < 0)
            return nullptr;
    }
    if (!joined)
        return nullptr;
    joined->open_flag = 0;

    // Turning sense: the angle about the catheter centre must not grow from the start on.
    const auto p = Evaluate2(*joined, joined->knots[0]);
    const auto q = Evaluate2(*joined, joined->knots[joined->order + 1]);
    if (!p || !q)
        return nullptr;
    const double angleA = std::atan2(p->y, p->x) + std::numbers::pi;
    const double angleB = std::atan2(q->y, q->x) + std::numbers::pi;
    if (angleA < angleB)
        reverse_curve(joined.get());
    return joined;
}

bool ResampleContour(std::vector<TPointXY>& contour, const TPointXY& centre, int n, int openFlag)
{
    if (contour.empty())
        return false;
    std::vector<double> kept;
    double px = 0.0, py = 0.0;
    for (const TPointXY& p : contour) {
        const double xi = std::trunc(p.x), yi = std::trunc(p.y);
        if (xi != px && yi != py) {
            kept.push_back(xi);
            kept.push_back(yi);
        }
        px = xi;
        py = yi;
    }
    const int count = static_cast<int>(kept.size() / 2);
    if (count < 2)
        return false;
    spline_curve* rawCurve = nullptr;
    int status = 0;
    s1630(kept.data(), count, 0.0, openFlag, 2, 4, &rawCurve, &status);
    CurveHandle curve(rawCurve);
    if (status < 0 || !curve)
        return false;

    CurveHandle restarted = RestartContourAtRay(*curve, centre, TPointXY{0.0, 0.0});
    if (!restarted)
        return false;

    const double start = RangeStart(*restarted), end = RangeEnd(*restarted);
    const double step = (end - start) / n;
    std::vector<TPointXY> samples;
    samples.reserve(static_cast<std::size_t>(n) + 2);
    for (double t = start; t < end; t += step) {
        const auto p = Evaluate2(*restarted, t);
        if (!p)
            return false;
        samples.push_back(*p);
    }
    if (openFlag == 0 && !samples.empty() && samples.front().x != samples.back().x &&
        samples.front().y != samples.back().y)
        samples.push_back(samples.front());
    contour = std::move(samples);
    return true;
}

std::optional<std::vector<TPointXYZ>> PlaceContour(const std::vector<TPointXY>& samples, const TPointXYZ& P,
                                                   const TPointXYZ& T)
{
    if (samples.size() < 16)
        return std::nullopt;
    std::vector<TPointXYZ> placed;
    placed.reserve(std::min<std::size_t>(samples.size(), kContourSamples + 1));
    for (std::size_t i = 0; i < samples.size() && i < kContourSamples + 1; ++i)
        placed.emplace_back(samples[i].x / kContourDivisor + P.x, samples[i].y / kContourDivisor + P.y, P.z);

    // The contour's plane and the plane perpendicular to the path, in the placement's
    // convention (the middle component of the cross product negated): for the path's
    // frame (T, N, B) PlaneNormal(P, P + N, P + B) is T with its middle component negated.
    const TPointXYZ n1 = PlaneNormal(placed[0], placed[5], placed[15]);
    const double span = Norm(placed[5] - placed[0]) * Norm(placed[15] - placed[0]);
    if (!(Norm(n1) > 1e-9 * span))
        return std::nullopt;
    const TPointXYZ n2{T.x, -T.y, T.z};

    TPointXYZ axis, linePoint;
    double angle = -AngleBetweenVectors(n1, n2);
    if (!PlaneIntersectionLine(n1, placed[0], n2, P, axis, linePoint)) {
        // The contour already lies in the perpendicular plane (facing either way).
        if (std::abs(angle) < std::numbers::pi / 2)
            angle = 0.0;
        const TPointXYZ helper = std::abs(n1.x) < std::abs(n1.y) ? TPointXYZ{1, 0, 0} : TPointXYZ{0, 1, 0};
        axis = Cross(n1, helper);
    }
    for (TPointXYZ& c : placed) {
        if (angle != 0.0)
            c = RotateAboutAxis(c, axis, P, angle);
        if (!Finite(c))
            return std::nullopt;
    }
    return placed;
}

PlacedWall PlaceWall(const std::vector<WallContour>& contours, const PixelPoint& centre, int frameCount,
                     const std::vector<TPointXYZ>& path, const std::vector<TPointXYZ>& tangents,
                     const std::string& name, const Rgb& colour, std::vector<std::string>& warnings)
{
    PlacedWall wall;
    // Frame numbers as the sheet and the slider show them (from 1).
    std::map<Skip, std::vector<long long>> skipped;
    const TPointXY c{static_cast<double>(centre.x), static_cast<double>(centre.y)};
    const bool centreSet = centre.x != 0 || centre.y != 0;
    for (std::size_t k = 0; k < contours.size(); ++k) {
        const WallContour& contour = contours[k];
        if (contour.empty())
            continue;
        const long long number = static_cast<long long>(k) + 1;
        if (k >= static_cast<std::size_t>(std::max(frameCount, 0))) {
            skipped[Skip::BeyondFrames].push_back(number);
            continue;
        }
        const int frame = static_cast<int>(k);
        if (k >= path.size() || k >= tangents.size()) {
            skipped[Skip::BeyondPath].push_back(number);
            continue;
        }
        if (!centreSet) {
            skipped[Skip::NoCentre].push_back(number);
            continue;
        }
        if (!InImage(centre)) {
            skipped[Skip::CentreOutside].push_back(number);
            continue;
        }
        if (!std::all_of(contour.begin(), contour.end(), InImage)) {
            skipped[Skip::PointsOutside].push_back(number);
            continue;
        }
        std::vector<TPointXY> samples;
        samples.reserve(contour.size());
        for (const PixelPoint& p : contour)
            samples.emplace_back(p.x - c.x, p.y - c.y);
        if (!ResampleContour(samples, c, kContourSamples, 0)) {
            skipped[Skip::TooFewPoints].push_back(number);
            continue;
        }
        auto placed = PlaceContour(samples, path[k], tangents[k]);
        if (!placed) {
            skipped[Skip::OnALine].push_back(number);
            continue;
        }
        for (std::size_t i = 0; i < placed->size() && i < kContourSamples; ++i) {
            wall.grid.push_back((*placed)[i].x);
            wall.grid.push_back((*placed)[i].y);
            wall.grid.push_back((*placed)[i].z);
        }
        ++wall.frames;
        wall.lines.push_back(SceneLine{name + std::to_string(number), frame, 1, colour, kReconstructionScale,
                                       std::move(*placed)});
    }
    std::string wallName = name;
    wallName[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(wallName[0])));
    for (const auto& [why, frames] : skipped)
        warnings.push_back(wallName + " wall: frame" + (frames.size() > 1 ? "s " : " ") + NumberRanges(frames) +
                           " left out: " + Reason(why) + ".");
    return wall;
}

SurfaceHandle FitWallSurface(const PlacedWall& wall, const std::string& wallName, std::vector<std::string>& warnings)
{
    if (wall.frames < 2) {
        if (wall.frames == 1)
            warnings.push_back(wallName + " wall: only one frame could be placed; a surface needs two.");
        return nullptr;
    }
    spline_surface* raw = nullptr;
    int status = 0;
    s1536(wall.grid.data(), kContourSamples, wall.frames, 3, 1, 0, 0, 1, 1, 3, 3, 0, 1, &raw, &status);
    SurfaceHandle surface(raw);
    if (status < 0 || !surface) {
        warnings.push_back(wallName + " wall: the surface cannot be fitted (spline routine s1536, status " +
                           std::to_string(status) + ").");
        return nullptr;
    }
    return surface;
}

} // namespace kestrova::reconstruction
