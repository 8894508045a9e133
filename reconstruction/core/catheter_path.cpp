#include "reconstruction/core/catheter_path.h"

#include "reconstruction/core/geometry.h"
#include "reconstruction/core/step_timer.h"
#include "spline/curve_eval.h"
#include "spline/frames.h"
#include "spline/interp.h"
#include "spline/isect.h"
#include "spline/loft.h"
#include "spline/edit.h"
#include "spline/reduce.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace kestrova::reconstruction {
namespace {

[[noreturn]] void RefuseToolkit(const char* routine, int status)
{
    throw ReconstructionRefused("The catheter path cannot be built: the spline routine " + std::string(routine) +
                                " failed (status " + std::to_string(status) + ").");
}

void Check(const char* routine, int status)
{
    if (status < 0)
        RefuseToolkit(routine, status);
}

// Takes over a toolkit result; refuses when the routine failed or handed back nothing.
template <typename Handle, typename Record>
Handle Take(const char* routine, Record* raw, int status)
{
    Handle owned(raw);
    Check(routine, status);
    if (!owned)
        RefuseToolkit(routine, status);
    return owned;
}

double Distance(const PixelPoint& a, const PixelPoint& b)
{
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

void ScaleTracing(WallContour& points, double numerator, double denominator)
{
    for (PixelPoint& p : points) {
        p.x = static_cast<int>(std::trunc(p.x * numerator / denominator));
        p.y = static_cast<int>(std::trunc(p.y * numerator / denominator));
    }
}

TPointXYZ Evaluate(const spline_curve& curve, double t)
{
    double pos[3] = {0, 0, 0};
    int left = 0, status = 0;
    S1227(&curve, 0, t, &left, pos, &status);
    Check("S1227", status);
    return {pos[0], pos[1], pos[2]};
}

double RangeStart(const spline_curve& c) { return c.knots[c.order - 1]; }
double RangeEnd(const spline_curve& c) { return c.knots[c.vertex_count]; }

// The loft through a curve and its swept copy.
SurfaceHandle Loft(spline_curve* a, spline_curve* b, int orderAcross)
{
    spline_curve* curves[2] = {a, b};
    int types[2] = {1, 1};
    spline_surface* surface = nullptr;
    double* params = nullptr;
    int status = 0;
    s1538(2, curves, types, 0.0, 1, orderAcross, 0, &surface, &params, &status);
    ToolkitArray<double> ownParams(params);
    return Take<SurfaceHandle>("s1538", surface, status);
}

// A unit vector perpendicular to the unit vector t, as near to `hint` as possible.
TPointXYZ PerpendicularTo(const TPointXYZ& t, const TPointXYZ& hint)
{
    TPointXYZ n = hint - Dot(hint, t) * t;
    double len = Norm(n);
    if (len < 1e-6) {
        // The hint runs along t: take the axis least aligned with t.
        const TPointXYZ axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        const TPointXYZ* best = &axes[0];
        for (const TPointXYZ& a : axes)
            if (std::abs(Dot(a, t)) < std::abs(Dot(*best, t)))
                best = &a;
        n = *best - Dot(*best, t) * t;
        len = Norm(n);
    }
    return (1.0 / len) * n;
}

} // namespace

void OrderCatheterPoints(WallContour& points)
{
    const std::size_t count = points.size();
    for (std::size_t i = 0; i + 1 < count; ++i) {
        double d = Distance(points[i], points[i + 1]);
        for (std::size_t j = i + 2; j < count; ++j) {
            const double dj = Distance(points[i], points[j]);
            if (dj < d) {
                std::swap(points[i + 1], points[j]);
                d = dj;
            }
        }
    }
}

double MaxHeight(const WallContour& points)
{
    double m = 0.0;
    for (const PixelPoint& p : points)
        if (p.y > m)
            m = p.y;
    return m;
}

void MatchHeights(WallContour& lao, WallContour& rao)
{
    const double maxL = MaxHeight(lao);
    const double maxR = MaxHeight(rao);
    if (maxL < maxR)
        ScaleTracing(lao, maxR, maxL);
    else if (maxL > maxR)
        ScaleTracing(rao, maxL, maxR);
}

std::vector<TPointXYZ> ToPoints3D(const WallContour& points, double z)
{
    std::vector<TPointXYZ> out;
    out.reserve(points.size());
    for (const PixelPoint& p : points)
        out.emplace_back(p.x, p.y, z);
    return out;
}

double SweepDepth(const WallContour& lao, const WallContour& rao)
{
    int extent = 0;
    for (const WallContour* tracing : {&lao, &rao})
        for (const PixelPoint& p : *tracing)
            extent = std::max(extent, p.x);
    return std::max(400, extent + kSweepMargin);
}

CurveHandle CurveThroughPoints3D(const std::vector<TPointXYZ>& points, int openFlag)
{
    // The last point is left out, as the path has always been built.
    const int count = static_cast<int>(points.size()) - 1;
    std::vector<double> coords;
    coords.reserve(3 * static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        coords.push_back(std::trunc(points[i].x));
        coords.push_back(std::trunc(points[i].y));
        coords.push_back(std::trunc(points[i].z));
    }
    const std::vector<int> types(static_cast<std::size_t>(std::max(count, 0)), 1);
    spline_curve* curve = nullptr;
    double* params = nullptr;
    int paramCount = 0;
    double end = 0.0;
    int status = 0;
    s1356(coords.data(), count, 3, types.data(), 0, 0, openFlag, 4, 0.0, &end, &curve, &params, &paramCount,
          &status);
    ToolkitArray<double> ownParams(params);
    return Take<CurveHandle>("s1356", curve, status);
}

SampledPath CatheterPathFromProjections(const std::vector<TPointXYZ>& L, const std::vector<TPointXYZ>& L2,
                                        const std::vector<TPointXYZ>& R, const std::vector<TPointXYZ>& R2,
                                        const TPointXYZ& start, int frameCount, std::vector<std::string>& warnings,
                                        StepTimes* times)
{
    SurfaceHandle lao, rao;
    {
        StepTimer timer(Slot(times, &StepTimes::curves));
        CurveHandle cL = CurveThroughPoints3D(L, 1);
        CurveHandle cL2 = CurveThroughPoints3D(L2, 1);
        CurveHandle cR = CurveThroughPoints3D(R, 1);
        CurveHandle cR2 = CurveThroughPoints3D(R2, 1);
        lao = Loft(cL.get(), cL2.get(), 4);
        rao = Loft(cR.get(), cR2.get(), 3);
    }

    IsectCurveArray curves;
    {
        StepTimer timer(Slot(times, &StepTimes::intersect));
        int pointCount = 0, curveCount = 0, status = 0;
        double* params1 = nullptr;
        double* params2 = nullptr;
        isect_curve** raw = nullptr;
        s1859(lao.get(), rao.get(), 1e-15, 1e-5, &pointCount, &params1, &params2, &curveCount, &raw, &status);
        ToolkitArray<double> own1(params1), own2(params2);
        curves = IsectCurveArray(raw, curveCount);
        Check("s1859", status);
        if (status == kS1859NoCurve || curves.empty())
            throw ReconstructionRefused(
                "The LAO and RAO catheter tracings do not meet in space: check that both trace the same "
                "catheter over the same stretch.");
        if (status == kS1859BudgetSpent)
            warnings.push_back("The search for the catheter path was cut short; the path may be incomplete.");
        else if (status == kS1859LoopsDropped)
            warnings.push_back("Closed loops where the tracings meet were left out of the catheter path.");
    }

    {
        StepTimer timer(Slot(times, &StepTimes::march));
        int failures = 0, firstError = 0;
        for (int i = 0; i < curves.size(); ++i) {
            int status = 0;
            s1310(lao.get(), rao.get(), curves[i], 1e-5, 0.0, 1, 0, &status);
            if (status < 0) {
                ++failures;
                if (firstError == 0)
                    firstError = status;
            } else if (status == kMarchBudgetSpent) {
                warnings.push_back("The catheter path was marched out only in part (point budget spent).");
            }
        }
        if (failures == curves.size())
            RefuseToolkit("s1310", firstError);
    }

    StepTimer timer(Slot(times, &StepTimes::sampling));
    // The longest marched curve (the first of equally long ones).
    int best = -1;
    double bestEnd = 0.0;
    for (int i = 0; i < curves.size(); ++i) {
        const spline_curve* g = curves[i]->geometry;
        if (!g)
            continue;
        const double e = RangeEnd(*g);
        if (best < 0 || e > bestEnd) {
            best = i;
            bestEnd = e;
        }
    }
    if (best < 0)
        throw ReconstructionRefused("The catheter path cannot be built: the tracings meet in no curve.");
    SampledPath out;
    out.curve = curves.TakeGeometry(best);
    spline_curve& c = *out.curve;

    // Frame 0 lies at the end where the clinician started the LAO tracing.
    const TPointXYZ a = Evaluate(c, RangeStart(c));
    const TPointXYZ b = Evaluate(c, RangeEnd(c));
    const auto seenAlongZ = [&start](const TPointXYZ& p) { return std::hypot(p.x - start.x, p.y - start.y); };
    if (seenAlongZ(b) < seenAlongZ(a))
        reverse_curve(&c);

    const double t0 = RangeStart(c);
    const double t1 = RangeEnd(c);
    const double step = (t1 - t0) / frameCount;
    out.points.reserve(static_cast<std::size_t>(frameCount) + 1);
    for (double t = t0; t < t1; t += step) {
        out.points.push_back(Evaluate(c, t));
        out.params.push_back(t);
    }
    return out;
}

PathFrames PathFramesAt(const spline_curve& curve, const std::vector<double>& params, StepTimes* times)
{
    CurveHandle reduced;
    {
        StepTimer timer(Slot(times, &StepTimes::reduce));
        const double tol[3] = {0.9, 0.9, 0.9};
        double errors[3] = {0, 0, 0};
        spline_curve* raw = nullptr;
        int status = 0;
        s1940(&curve, tol, 1, 1, 1, 150, &raw, errors, &status);
        reduced = Take<CurveHandle>("s1940", raw, status);
    }

    StepTimer timer(Slot(times, &StepTimes::frames));
    const std::size_t m = params.size();
    std::vector<double> at(params);
    const double lo = RangeStart(*reduced), hi = RangeEnd(*reduced);
    for (double& t : at)
        t = std::clamp(t, lo, hi);
    std::vector<double> pos(3 * m), tan(3 * m), nor(3 * m), bin(3 * m);
    int status = 0;
    if (m > 0)
        s2559(reduced.get(), at.data(), static_cast<int>(m), pos.data(), tan.data(), nor.data(), bin.data(), &status);
    Check("s2559", status);

    PathFrames f;
    f.tangents.reserve(m);
    f.normals.reserve(m);
    f.binormals.reserve(m);
    // The tangent is the direction of the reduced curve across one frame step (one-sided
    // at the ends): the reduction may bend an end span by tens of degrees within its
    // tolerance, and the chord is immune to that and to the marched curve's ripple.
    const double half = 0.5 * (m >= 2 ? at[1] - at[0] : hi - lo);
    TPointXYZ previousNormal{1, 0, 0};
    for (std::size_t i = 0; i < m; ++i) {
        TPointXYZ t = Evaluate(*reduced, std::min(at[i] + half, hi)) - Evaluate(*reduced, std::max(at[i] - half, lo));
        if (!(Norm(t) > 1e-9))
            t = {tan[3 * i], tan[3 * i + 1], tan[3 * i + 2]};
        if (!(Norm(t) > 1e-9))
            t = f.tangents.empty() ? TPointXYZ{0, -1, 0} : f.tangents.back();
        t = (1.0 / Norm(t)) * t;
        // The Frenet normal turned into the plane perpendicular to the tangent; where the
        // path runs straight (no normal) the previous normal continued.
        TPointXYZ n{nor[3 * i], nor[3 * i + 1], nor[3 * i + 2]};
        n = n - Dot(n, t) * t;
        if (!(Norm(n) > 0.5))
            n = PerpendicularTo(t, previousNormal);
        else
            n = (1.0 / Norm(n)) * n;
        const TPointXYZ b = Cross(t, n);
        f.tangents.push_back(t);
        f.normals.push_back(n);
        f.binormals.push_back(b);
        previousNormal = n;
    }
    return f;
}

CatheterPath BuildCatheterPath(const ReconstructionInput& input, std::vector<std::string>& warnings,
                               const ReconstructionHooks& hooks)
{
    if (input.laoCatheter.empty() || input.raoCatheter.empty())
        throw ReconstructionRefused("Cannot construct 3D because you have not defined the LAO or/and RAO catheter");
    if (input.frameCount <= 0)
        throw ReconstructionRefused("The card has no analysed IVUS frames: there is nothing to place along the catheter.");
    for (const auto& [name, tracing] : {std::pair{"LAO", &input.laoCatheter}, std::pair{"RAO", &input.raoCatheter}}) {
        if (tracing->size() < 3)
            throw ReconstructionRefused(std::string("The ") + name +
                                        " catheter tracing has fewer than three points: trace the catheter again.");
        if (MaxHeight(*tracing) <= 0.0)
            throw ReconstructionRefused(std::string("The ") + name +
                                        " catheter tracing lies on the top row of the image: trace the catheter again.");
    }

    WallContour lao = input.laoCatheter;
    WallContour rao = input.raoCatheter;
    std::vector<TPointXYZ> L, L2, R, R2;
    {
        StepTimer timer(Slot(hooks.times, &StepTimes::curves));
        OrderCatheterPoints(lao);
        OrderCatheterPoints(rao);
        // A pixel clicked twice would stop the interpolation (coinciding points).
        for (auto [name, tracing] : {std::pair{"LAO", &lao}, std::pair{"RAO", &rao}}) {
            tracing->erase(std::unique(tracing->begin(), tracing->end()), tracing->end());
            if (tracing->size() < 3)
                throw ReconstructionRefused(std::string("The ") + name +
                                            " catheter tracing has fewer than three distinct points: trace the "
                                            "catheter again.");
        }
        MatchHeights(lao, rao);
        const double depth = SweepDepth(lao, rao);
        for (const PixelPoint& p : lao) {
            L.emplace_back(p.x, -p.y, 0.0);
            L2.emplace_back(p.x, -p.y, depth);
        }
        for (const PixelPoint& p : rao) {
            R.emplace_back(0.0, -p.y, depth - p.x);
            R2.emplace_back(depth, -p.y, depth - p.x);
        }
    }

    SampledPath sampled =
        CatheterPathFromProjections(L, L2, R, R2, L.front(), input.frameCount, warnings, hooks.times);

    // A path much shorter than the height both tracings share is a fragment.
    const auto top = [](const WallContour& t) {
        return std::min_element(t.begin(), t.end(), [](const PixelPoint& a, const PixelPoint& b) { return a.y < b.y; })->y;
    };
    const double shared = MaxHeight(lao) - std::max(top(lao), top(rao));
    const double length = RangeEnd(*sampled.curve) - RangeStart(*sampled.curve);
    if (shared > 0 && length < 0.5 * shared)
        warnings.push_back("The catheter path covers only a part of the traced catheter (" +
                           std::to_string(static_cast<int>(length)) + " of " + std::to_string(static_cast<int>(shared)) +
                           " pixels): check that both tracings follow the same catheter.");

    CatheterPath path;
    path.points = std::move(sampled.points);
    const TPointXYZ origin = path.points.front();
    for (TPointXYZ& p : path.points)
        p = p - origin;

    std::vector<double> frameParams = sampled.params;
    frameParams.resize(std::min<std::size_t>(frameParams.size(), static_cast<std::size_t>(input.frameCount)));
    path.frames = PathFramesAt(*sampled.curve, frameParams, hooks.times);
    return path;
}

} // namespace kestrova::reconstruction
