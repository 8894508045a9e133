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
#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>

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

// Squared distances: exact for whole pixels (64-bit integers, or doubles holding whole
// numbers), so comparing them orders points as their distances do.
std::int64_t SquaredDistance(const PixelPoint& a, const PixelPoint& b)
{
    const std::int64_t dx = static_cast<std::int64_t>(a.x) - b.x;
    const std::int64_t dy = static_cast<std::int64_t>(a.y) - b.y;
    return dx * dx + dy * dy;
}

double SquaredDistance(const TPointXY& a, const TPointXY& b)
{
    const double dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

template <typename Points>
void OrderByNearness(Points& points)
{
    const std::size_t count = points.size();
    for (std::size_t i = 0; i + 1 < count; ++i) {
        auto d = SquaredDistance(points[i], points[i + 1]);
        for (std::size_t j = i + 2; j < count; ++j) {
            const auto dj = SquaredDistance(points[i], points[j]);
            if (dj < d) {
                std::swap(points[i + 1], points[j]);
                d = dj;
            }
        }
    }
}

template <typename Points>
std::optional<HeightReversal> HeightReversalOf(const Points& points, double noise)
{
    if (points.size() < 2)
        return std::nullopt;
    // Depth along the tracing's general run: rows growing when it runs down the image.
    const double sign = points.back().y >= points.front().y ? 1.0 : -1.0;
    const auto depth = [sign](const auto& p) { return sign * static_cast<double>(p.y); };
    double deepest = depth(points.front());
    for (std::size_t i = 1; i < points.size(); ++i) {
        const double d = depth(points[i]);
        if (d > deepest) {
            deepest = d;
            continue;
        }
        if (deepest - d <= noise)
            continue;
        // Turned: the rows from the turning row back to the shallowest one reached before
        // the tracing passes the turning row again.
        double back = d;
        for (std::size_t j = i + 1; j < points.size() && depth(points[j]) <= deepest; ++j)
            back = std::min(back, depth(points[j]));
        const auto a = static_cast<int>(std::lround(sign * deepest)), b = static_cast<int>(std::lround(sign * back));
        return HeightReversal{std::min(a, b), std::max(a, b)};
    }
    return std::nullopt;
}

template <typename Points>
double MaxHeightOf(const Points& points)
{
    double m = 0.0;
    for (const auto& p : points)
        if (p.y > m)
            m = p.y;
    return m;
}

// Scales a tracing by numerator / denominator about the image origin; whole pixels stay
// whole (truncated toward zero).
template <typename Points>
void ScaleTracing(Points& points, double numerator, double denominator)
{
    const auto scaled = [&](auto v) {
        double s = v * numerator / denominator;
        if constexpr (std::is_integral_v<decltype(v)>)
            s = std::trunc(s);
        if (!(std::abs(s) <= kMaxModelCoordinate))
            throw ReconstructionRefused(
                "The LAO and RAO catheter tracings differ too much in height to be matched (greatest rows " +
                std::to_string(std::llround(std::min(numerator, denominator))) + " and " +
                std::to_string(std::llround(std::max(numerator, denominator))) +
                "): check that both trace the same catheter.");
        return static_cast<decltype(v)>(s);
    };
    for (auto& p : points) {
        p.x = scaled(p.x);
        p.y = scaled(p.y);
    }
}

template <typename Points>
double SweepDepthOf(const Points& lao, const Points& rao)
{
    double extent = 0.0;
    for (const Points* tracing : {&lao, &rao})
        for (const auto& p : *tracing)
            extent = std::max(extent, static_cast<double>(p.x));
    return std::max(400.0, extent + kSweepMargin);
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

// The polynomial curve moved by v (a new record: the copy's cached boxes would be stale).
CurveHandle Translated(const spline_curve& c, const TPointXYZ& v)
{
    std::vector<double> coefs(c.coefs, c.coefs + static_cast<std::size_t>(c.vertex_count) * 3);
    for (std::size_t i = 0; i < coefs.size(); i += 3) {
        coefs[i] += v.x;
        coefs[i + 1] += v.y;
        coefs[i + 2] += v.z;
    }
    std::vector<double> knots(c.knots, c.knots + c.vertex_count + c.order);
    CurveHandle moved(create_curve(c.vertex_count, c.order, knots.data(), coefs.data(), 1, 3, 1));
    if (!moved)
        RefuseToolkit("create_curve", -101);
    return moved;
}

// A tracing curve as a polyline in its view's plane (x or z, and y), with the length
// along it at each vertex.
struct TracingPolyline {
    std::vector<double> across, height, along;
};

TracingPolyline SampleTracing(const spline_curve& c, int axis)
{
    const double t0 = RangeStart(c), t1 = RangeEnd(c);
    const int n = std::clamp(static_cast<int>(2 * (t1 - t0)), 200, 20000);
    TracingPolyline line;
    for (int i = 0; i <= n; ++i) {
        const TPointXYZ p = Evaluate(c, t0 + (t1 - t0) * i / n);
        const double across = axis == 0 ? p.x : p.z;
        line.along.push_back(i == 0 ? 0.0
                                    : line.along.back() + std::hypot(across - line.across.back(), p.y - line.height.back()));
        line.across.push_back(across);
        line.height.push_back(p.y);
    }
    return line;
}

// The rows (-y of `geometry`) over which the path runs back along a tracing: where the
// path's place along the tracing (its nearest point seen in that view) falls back by
// more than kHeightNoise pixels against its general run, from the place where it turned
// to where it passes that place again.
std::optional<RowRange> BackAndForth(const spline_curve& geometry, const TracingPolyline& tracing, int axis)
{
    constexpr int kSamples = 1000;
    const double t0 = RangeStart(geometry), t1 = RangeEnd(geometry);
    std::vector<double> along(kSamples + 1), rows(kSamples + 1);
    for (int i = 0; i <= kSamples; ++i) {
        const TPointXYZ p = Evaluate(geometry, t0 + (t1 - t0) * i / kSamples);
        const double across = axis == 0 ? p.x : p.z;
        std::size_t nearest = 0;
        double best = 1e300;
        for (std::size_t j = 0; j < tracing.along.size(); ++j) {
            const double da = tracing.across[j] - across, dh = tracing.height[j] - p.y;
            const double d = da * da + dh * dh;
            if (d < best) {
                best = d;
                nearest = j;
            }
        }
        along[i] = tracing.along[nearest];
        rows[i] = -p.y;
    }
    const double sign = along.back() >= along.front() ? 1.0 : -1.0;
    std::optional<RowRange> stretch;
    double furthest = sign * along[0];
    int turn = 0;
    for (int i = 1; i <= kSamples; ++i) {
        const double a = sign * along[i];
        if (a > furthest) {
            furthest = a;
            turn = i;
            continue;
        }
        if (furthest - a <= kHeightNoise)
            continue;
        int j = i;
        while (j < kSamples && sign * along[j + 1] <= furthest)
            ++j;
        const auto [lo, hi] = std::minmax_element(rows.begin() + turn, rows.begin() + j + 1);
        if (!stretch)
            stretch = RowRange{*lo, *hi};
        stretch->top = std::min(stretch->top, *lo);
        stretch->bottom = std::max(stretch->bottom, *hi);
        i = j;
    }
    return stretch;
}

// The rows (-y) of the stretches where the path runs nearly level: over kLevelRun pixels
// of path its height changes by less than kLevelRise rows. There a row of click noise
// moves the place where the two views' tracings meet by tens of pixels.
std::optional<RowRange> LevelStretch(const spline_curve& geometry)
{
    constexpr double kLevelRun = 40.0, kLevelRise = 2.0;
    constexpr int kSamples = 1000;
    const double t0 = RangeStart(geometry), t1 = RangeEnd(geometry);
    std::vector<double> arc(kSamples + 1, 0.0), rows(kSamples + 1);
    TPointXYZ previous = Evaluate(geometry, t0);
    for (int i = 0; i <= kSamples; ++i) {
        const TPointXYZ p = Evaluate(geometry, t0 + (t1 - t0) * i / kSamples);
        if (i > 0)
            arc[i] = arc[i - 1] + Norm(p - previous);
        rows[i] = -p.y;
        previous = p;
    }
    std::optional<RowRange> stretch;
    for (int i = 0, j = 0; i <= kSamples; ++i) {
        while (j <= kSamples && arc[j] - arc[i] < kLevelRun)
            ++j;
        if (j > kSamples)
            break;
        const auto [lo, hi] = std::minmax_element(rows.begin() + i, rows.begin() + j + 1);
        if (*hi - *lo >= kLevelRise)
            continue;
        if (!stretch)
            stretch = RowRange{*lo, *hi};
        stretch->top = std::min(stretch->top, *lo);
        stretch->bottom = std::max(stretch->bottom, *hi);
    }
    return stretch;
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

TracingPoints MergeCrowdedPoints(const WallContour& points, double distance)
{
    if (points.empty())
        return {};
    // The tracing's height range is kept: a group holding points of the top (or bottom)
    // row stands at their mean on that row. The group of the first point (from which the
    // ordering starts) stands at the first point.
    const auto [topIt, bottomIt] =
        std::minmax_element(points.begin(), points.end(), [](const PixelPoint& a, const PixelPoint& b) { return a.y < b.y; });
    const int top = topIt->y, bottom = bottomIt->y;
    struct Group {
        PixelPoint first;
        double sx = 0, sy = 0;
        int n = 0;
        double topX = 0, bottomX = 0;
        int onTop = 0, onBottom = 0;
    };
    std::vector<Group> groups;
    // The groups' first points in a grid of cells `distance` wide: a point's group, if
    // any, starts in its own cell or one of the eight around it.
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> cells;
    const auto cellOf = [distance](int v) { return static_cast<std::int64_t>(std::floor(v / distance)); };
    const auto key = [](std::int64_t cx, std::int64_t cy) {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(cx)) << 32) | static_cast<std::uint32_t>(cy);
    };
    const double limit = distance * distance;
    for (const PixelPoint& p : points) {
        const std::int64_t cx = cellOf(p.x), cy = cellOf(p.y);
        std::size_t joined = groups.size();
        for (std::int64_t dx = -1; dx <= 1 && joined == groups.size(); ++dx)
            for (std::int64_t dy = -1; dy <= 1 && joined == groups.size(); ++dy) {
                const auto it = cells.find(key(cx + dx, cy + dy));
                if (it == cells.end())
                    continue;
                for (std::size_t g : it->second)
                    if (static_cast<double>(SquaredDistance(groups[g].first, p)) < limit) {
                        joined = g;
                        break;
                    }
            }
        if (joined == groups.size()) {
            groups.push_back({p});
            cells[key(cx, cy)].push_back(joined);
        }
        Group& g = groups[joined];
        g.sx += p.x;
        g.sy += p.y;
        ++g.n;
        if (p.y == top) {
            g.topX += p.x;
            ++g.onTop;
        } else if (p.y == bottom) {
            g.bottomX += p.x;
            ++g.onBottom;
        }
    }
    TracingPoints out;
    out.reserve(groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const Group& g = groups[i];
        if (g.onTop > 0)
            out.emplace_back(g.topX / g.onTop, top);
        else if (g.onBottom > 0)
            out.emplace_back(g.bottomX / g.onBottom, bottom);
        else if (i == 0)
            out.emplace_back(g.first.x, g.first.y);
        else
            out.emplace_back(g.sx / g.n, g.sy / g.n);
    }
    return out;
}

void OrderCatheterPoints(WallContour& points) { OrderByNearness(points); }
void OrderCatheterPoints(TracingPoints& points) { OrderByNearness(points); }

std::optional<HeightReversal> FindHeightReversal(const WallContour& points, double noise)
{
    return HeightReversalOf(points, noise);
}
std::optional<HeightReversal> FindHeightReversal(const TracingPoints& points, double noise)
{
    return HeightReversalOf(points, noise);
}

double MaxHeight(const WallContour& points) { return MaxHeightOf(points); }
double MaxHeight(const TracingPoints& points) { return MaxHeightOf(points); }

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

double SweepDepth(const WallContour& lao, const WallContour& rao) { return SweepDepthOf(lao, rao); }
double SweepDepth(const TracingPoints& lao, const TracingPoints& rao) { return SweepDepthOf(lao, rao); }

CurveHandle CurveThroughPoints3D(const std::vector<TPointXYZ>& points, int openFlag)
{
    const int count = static_cast<int>(points.size());
    std::vector<double> coords;
    coords.reserve(3 * static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        coords.push_back(points[i].x);
        coords.push_back(points[i].y);
        coords.push_back(points[i].z);
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

CurveHandle TracingCurve(const std::vector<TPointXYZ>& points)
{
    CurveHandle through = CurveThroughPoints3D(points, 1);
    const double tol[3] = {kTracingTolerance, kTracingHeightTolerance, kTracingTolerance};
    double errors[3] = {0, 0, 0};
    spline_curve* raw = nullptr;
    int status = 0;
    s1940(through.get(), tol, 2, 2, 1, 150, &raw, errors, &status);
    return Take<CurveHandle>("s1940", raw, status);
}

SampledPath CatheterPathFromProjections(const std::vector<TPointXYZ>& L, const std::vector<TPointXYZ>& R,
                                        double depth, const TPointXYZ& start, int frameCount,
                                        std::vector<std::string>& warnings, StepTimes* times)
{
    SurfaceHandle lao, rao;
    TracingPolyline laoTracing, raoTracing;
    {
        StepTimer timer(Slot(times, &StepTimes::curves));
        CurveHandle cL = TracingCurve(L);
        CurveHandle cL2 = Translated(*cL, {0.0, 0.0, depth});
        CurveHandle cR = TracingCurve(R);
        CurveHandle cR2 = Translated(*cR, {depth, 0.0, 0.0});
        lao = Loft(cL.get(), cL2.get(), 4);
        rao = Loft(cR.get(), cR2.get(), 3);
        laoTracing = SampleTracing(*cL, 0);
        raoTracing = SampleTracing(*cR, 2);
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
        bool budgetSpent = false;
        for (int i = 0; i < curves.size(); ++i) {
            int status = 0;
            s1310(lao.get(), rao.get(), curves[i], 1e-5, 0.0, kMarchGeometry, 0, &status);
            if (status < 0) {
                ++failures;
                if (firstError == 0)
                    firstError = status;
            } else if (status == kMarchBudgetSpent) {
                budgetSpent = true;
            }
        }
        if (budgetSpent)
            warnings.push_back("The catheter path was marched out only in part (point budget spent).");
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
    // Along the path, each tracing should be run through once: where the path's place on
    // a tracing falls back, the two views cannot tell where the catheter goes.
    out.laoBackAndForth = BackAndForth(*curves[best]->geometry, laoTracing, 0);
    out.raoBackAndForth = BackAndForth(*curves[best]->geometry, raoTracing, 2);
    out.level = LevelStretch(*curves[best]->geometry);
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

namespace {

const char* ViewName(bool lao) { return lao ? "LAO" : "RAO"; }

std::string Rows(double a, double b)
{
    const long long from = std::llround(std::min(a, b)), to = std::llround(std::max(a, b));
    return from == to ? "row " + std::to_string(from) : "rows " + std::to_string(from) + "-" + std::to_string(to);
}

double TopRow(const TracingPoints& t)
{
    return std::min_element(t.begin(), t.end(), [](const TPointXY& a, const TPointXY& b) { return a.y < b.y; })->y;
}

double BottomRow(const TracingPoints& t)
{
    return std::max_element(t.begin(), t.end(), [](const TPointXY& a, const TPointXY& b) { return a.y < b.y; })->y;
}

// The stored tracing merged and ordered (see MergeCrowdedPoints), in the view's own
// pixels, and where it turns back in height. Crowded points merge at kMergeDistance of
// the matched heights (`scale` is the view's height match). A band of points wider than
// that (a dense, shaky tracing) can still leave the ordering behind and send it back
// for what it left; such a tracing is merged again at twice the distance, up to
// kMaxMergeDistance, until it runs steadily.
std::optional<HeightReversal> PrepareTracing(const WallContour& stored, double scale, TracingPoints& out)
{
    constexpr double kMaxMergeDistance = 24.0;
    // Dense: many distinct pixels per merged point (a click repeated is not dense).
    std::unordered_map<std::uint64_t, char> distinct;
    for (const PixelPoint& p : stored)
        distinct.emplace((static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32) | static_cast<std::uint32_t>(p.y), 0);
    std::optional<HeightReversal> back;
    for (double distance = kMergeDistance;; distance *= 2) {
        out = MergeCrowdedPoints(stored, distance / scale);
        OrderCatheterPoints(out);
        back = FindHeightReversal(out);
        double longest = 0.0;
        for (std::size_t i = 1; i < out.size(); ++i)
            longest = std::max(longest, std::sqrt(SquaredDistance(out[i], out[i - 1])));
        const bool dense = distinct.size() >= 2 * out.size();
        const bool steady = !back && longest * scale <= 8 * distance;
        if (steady || !dense || 2 * distance > kMaxMergeDistance)
            return back;
    }
}

// The tracings as read: present, within the image, enough points and frames.
void CheckInput(const ReconstructionInput& input)
{
    if (input.laoCatheter.empty() || input.raoCatheter.empty())
        throw ReconstructionRefused("Cannot construct 3D because you have not defined the LAO or/and RAO catheter");
    if (input.frameCount <= 0)
        throw ReconstructionRefused("The card has no analysed IVUS frames: there is nothing to place along the catheter.");
    if (input.frameCount > kMaxFrameCount)
        throw ReconstructionRefused("The card claims " + std::to_string(input.frameCount) +
                                    " analysed IVUS frames, more than a pull-back can hold: check the card's frame list.");
    for (const bool isLao : {true, false}) {
        const WallContour& tracing = isLao ? input.laoCatheter : input.raoCatheter;
        for (const PixelPoint& p : tracing)
            if (p.x < 0 || p.y < 0 || p.x > kMaxImageCoordinate || p.y > kMaxImageCoordinate)
                throw ReconstructionRefused(std::string("The ") + ViewName(isLao) + " catheter tracing holds the point (" +
                                            std::to_string(p.x) + ", " + std::to_string(p.y) +
                                            "), outside any image: trace the catheter again.");
        if (tracing.size() < 3)
            throw ReconstructionRefused(std::string("The ") + ViewName(isLao) +
                                        " catheter tracing has fewer than three points: trace the catheter again.");
        if (MaxHeight(tracing) <= 0.0)
            throw ReconstructionRefused(std::string("The ") + ViewName(isLao) +
                                        " catheter tracing lies on the top row of the image: trace the catheter again.");
    }
}

// Whether a tracing starts at its top end (nothing when its height hardly changes).
std::optional<bool> StartsAtTop(const TracingPoints& t)
{
    const double top = TopRow(t), bottom = BottomRow(t);
    if (bottom - top <= 2 * kHeightNoise)
        return std::nullopt;
    return t.front().y - top < bottom - t.front().y;
}

// The greatest and least model height of the curve (its y), sampled densely.
std::pair<double, double> HeightCoverage(const spline_curve& c)
{
    const int samples = std::max(512, 4 * c.vertex_count);
    const double t0 = RangeStart(c), t1 = RangeEnd(c);
    double lo = 1e300, hi = -1e300;
    for (int i = 0; i <= samples; ++i) {
        const double y = Evaluate(c, t0 + (t1 - t0) * i / samples).y;
        lo = std::min(lo, y);
        hi = std::max(hi, y);
    }
    return {lo, hi};
}

} // namespace

std::vector<RowRange> MissingRows(const RowRange& shared, const RowRange& covered)
{
    const double slack = std::max(kHeightNoise, 0.02 * (shared.bottom - shared.top));
    std::vector<RowRange> missing;
    if (covered.top - shared.top > slack)
        missing.push_back({shared.top, std::min(covered.top, shared.bottom)});
    if (shared.bottom - covered.bottom > slack)
        missing.push_back({std::max(covered.bottom, shared.top), shared.bottom});
    return missing;
}

CatheterPath BuildCatheterPath(const ReconstructionInput& input, std::vector<std::string>& warnings,
                               const ReconstructionHooks& hooks)
{
    CheckInput(input);

    TracingPoints lao, rao;
    std::vector<TPointXYZ> L, R;
    double depth = 0.0;
    // The height match of the stored clicks: the tracing whose greatest y is smaller is
    // scaled up to the other's.
    const double maxL = MaxHeight(input.laoCatheter), maxR = MaxHeight(input.raoCatheter);
    const double laoScale = maxL < maxR ? maxR / maxL : 1.0;
    const double raoScale = maxR < maxL ? maxL / maxR : 1.0;
    {
        StepTimer timer(Slot(hooks.times, &StepTimes::curves));
        std::string turns;
        for (auto [isLao, tracing] : {std::pair{true, &lao}, std::pair{false, &rao}}) {
            const double scale = isLao ? laoScale : raoScale;
            const auto back = PrepareTracing(isLao ? input.laoCatheter : input.raoCatheter, scale, *tracing);
            if (tracing->size() < 3)
                throw ReconstructionRefused(std::string("The ") + ViewName(isLao) +
                                            " catheter tracing has fewer than three points at least " +
                                            std::to_string(static_cast<int>(kMergeDistance)) +
                                            " pixels apart: trace the catheter again.");
            if (back)
                turns += std::string(turns.empty() ? "" : ", and the ") + ViewName(isLao) + " tracing between " +
                         Rows(back->fromRow, back->toRow);
        }
        if (!turns.empty())
            throw ReconstructionRefused(
                "The catheter turns back in height: the " + turns +
                ". The two views share the height axis, so a catheter that runs back up cannot be rebuilt from "
                "them: trace only a stretch whose height changes steadily in both views.");
        if (laoScale != 1.0)
            ScaleTracing(lao, maxR, maxL);
        if (raoScale != 1.0)
            ScaleTracing(rao, maxL, maxR);

        // The start ends, once the heights are matched: both tracings should begin where the
        // pull-back starts.
        const auto laoTop = StartsAtTop(lao), raoTop = StartsAtTop(rao);
        if (laoTop && raoTop && *laoTop != *raoTop)
            warnings.push_back(std::string("The LAO and RAO catheter tracings start at opposite ends (LAO at the ") +
                               (*laoTop ? "top" : "bottom") + ", RAO at the " + (*raoTop ? "top" : "bottom") +
                               "): frame 1 was placed at the " + (*laoTop ? "top" : "bottom") +
                               ", where the LAO tracing starts. Trace both views from where the pull-back starts.");

        depth = SweepDepth(lao, rao);
        for (const TPointXY& p : lao)
            L.emplace_back(p.x, -p.y, 0.0);
        for (const TPointXY& p : rao)
            R.emplace_back(0.0, -p.y, depth - p.x);
    }

    SampledPath sampled = CatheterPathFromProjections(L, R, depth, L.front(), input.frameCount, warnings, hooks.times);

    // The height the path covers against the height both tracings share (matched rows).
    {
        const double sharedTop = std::max(TopRow(lao), TopRow(rao));
        const double sharedBottom = std::min(BottomRow(lao), BottomRow(rao));
        const auto [lowY, highY] = HeightCoverage(*sampled.curve);
        const auto missing = MissingRows({sharedTop, sharedBottom}, {-highY, -lowY});
        if (!missing.empty()) {
            // Rows of each view's own image (the lower view was scaled up to match).
            std::string where;
            for (const auto& [a, b] : missing) {
                if (!where.empty())
                    where += " and ";
                if (laoScale != 1.0 || raoScale != 1.0)
                    where += "LAO " + Rows(a / laoScale, b / laoScale) + ", RAO " + Rows(a / raoScale, b / raoScale);
                else
                    where += Rows(a, b);
            }
            warnings.push_back("The catheter path leaves out part of the height both tracings share (" + where +
                               "): the tracings meet there in pieces, typically where the catheter runs level. "
                               "Frames are placed along the longest piece only.");
        }
    }

    // Where the path runs nearly level, or back and forth along a tracing: the two views
    // cannot tell there where the catheter goes.
    if (sampled.level || sampled.laoBackAndForth || sampled.raoBackAndForth) {
        RowRange rows{1e300, -1e300};
        std::string views;
        for (const auto& [name, range] : {std::pair{"", &sampled.level}, std::pair{"LAO", &sampled.laoBackAndForth},
                                          std::pair{"RAO", &sampled.raoBackAndForth}}) {
            if (!*range)
                continue;
            if (*name)
                views += std::string(views.empty() ? "" : " and ") + name;
            rows.top = std::min(rows.top, (*range)->top);
            rows.bottom = std::max(rows.bottom, (*range)->bottom);
        }
        const std::string where = laoScale != 1.0 || raoScale != 1.0
                                      ? "LAO " + Rows(rows.top / laoScale, rows.bottom / laoScale) + ", RAO " +
                                            Rows(rows.top / raoScale, rows.bottom / raoScale)
                                      : Rows(rows.top, rows.bottom);
        warnings.push_back("The catheter runs nearly level in both views (" + where + ")" +
                           (views.empty() ? "" : ", and the path runs back and forth along the " + views + " tracing there") +
                           ": the two views cannot tell where it goes there, and frames there may lie far from their "
                           "true place.");
    }

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
