#include "analysis/core/drawn_wall.h"

#include "spline/blend.h"
#include "spline/curve_eval.h"
#include "spline/edit.h"
#include "spline/handles.h"
#include "spline/interp.h"
#include "spline/records.h"

#include <memory>
#include <vector>

namespace kestrova::analysis {

namespace {

double RangeEnd(const spline_curve* c) { return c->knots[c->vertex_count]; }

}  // namespace

const DrawnWallToolkit& DefaultDrawnWallToolkit()
{
    static const DrawnWallToolkit toolkit{&::s1630, &::S1227, &::s1606, &::s1715};
    return toolkit;
}

DrawnWallResult FitDrawnWall(int kind, WallContour& shown, WallContour& initial)
{
    return FitDrawnWall(kind, shown, initial, DefaultDrawnWallToolkit());
}

DrawnWallResult FitDrawnWall(int kind, WallContour& shown, WallContour& initial, const DrawnWallToolkit& tk)
{
    DrawnWallResult result;
    const int n = static_cast<int>(shown.size());
    if (n < 5)
        return result;

    const auto fail = [&result](const char* routine, int status) {
        result.outcome = DrawnWallFit::Failed;
        result.routine = routine;
        result.status = status;
        return result;
    };

    std::vector<double> points;
    points.reserve(2 * static_cast<std::size_t>(n));
    for (const PixelPoint& p : shown) {
        points.push_back(p.x);
        points.push_back(p.y);
    }

    int status = 0;
    spline_curve* raw = nullptr;
    tk.s1630(points.data(), n, 0.0, 1, 2, 5, &raw, &status);
    CurveHandle curve(raw);
    if (status < 0 || !curve)
        return fail("s1630", status);

    double start[2] = {0.0, 0.0};
    double end[2] = {0.0, 0.0};
    int left = 0;
    tk.S1227(curve.get(), 0, curve->knots[0], &left, start, &status);
    if (status < 0)
        return fail("S1227", status);
    tk.S1227(curve.get(), 0, RangeEnd(curve.get()), &left, end, &status);
    if (status < 0)
        return fail("S1227", status);

    spline_curve* rawBlend = nullptr;
    tk.s1606(curve.get(), curve.get(), 0.05, start, end, 3, 2, 4, &rawBlend, &status);
    const CurveHandle blend(rawBlend);
    if (status < 0 || !blend)
        return fail("s1606", status);

    spline_curve* rawJoined = nullptr;
    tk.s1715(curve.get(), blend.get(), 1, 1, &rawJoined, &status);
    if (status < 0 || !rawJoined)
        return fail("s1715", status);
    curve.reset(rawJoined);

    const double t0 = curve->knots[0];
    const double t1 = RangeEnd(curve.get());
    const double dt = (t1 - t0) * 0.005;
    if (!(dt > 0.0))
        return fail("s1715", status);

    // The parameter advances by repeated addition, so the count of samples (200 or 201)
    // follows the rounding of the sum; the inner wall also takes t1 itself when the sum
    // lands on it.
    WallContour samples;
    samples.reserve(202);
    left = 0;
    for (double t = t0; kind == 2 ? t <= t1 : t < t1; t += dt) {
        double p[2] = {0.0, 0.0};
        tk.S1227(curve.get(), 0, t, &left, p, &status);
        if (status < 0)
            return fail("S1227", status);
        samples.push_back({static_cast<int>(p[0]), static_cast<int>(p[1])});
    }
    shown = samples;
    initial = std::move(samples);
    result.outcome = DrawnWallFit::Fitted;
    return result;
}

}  // namespace kestrova::analysis
