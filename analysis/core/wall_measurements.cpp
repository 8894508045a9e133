#include "analysis/core/wall_measurements.h"

#include "analysis/core/numeric_helpers.h"
#include "spline/area.h"
#include "spline/curve_eval.h"
#include "spline/handles.h"
#include "spline/interp.h"
#include "spline/isect.h"
#include "spline/records.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kestrova::analysis {

namespace {

constexpr int kSamples = 100;         // the fan has kSamples / 2 lines
constexpr double kTwoPi = 6.2831853;  // as the fan has always been laid out
constexpr double kRayLength = 100.0;

std::string ToolkitError(const char* routine, int status)
{
    return std::string(routine) + " status " + std::to_string(status);
}

// Closed order-3 interpolation of interleaved points; on failure `error` is set.
CurveHandle InterpolateClosed(const std::vector<double>& points, std::string& error)
{
    const int count = static_cast<int>(points.size() / 2);
    if (count < 3) {
        error = "a contour keeps " + std::to_string(count) + " points, too few for a curve";
        return nullptr;
    }
    const std::vector<int> types(static_cast<std::size_t>(count), 1);
    double end = 0.0;
    spline_curve* curve = nullptr;
    double* params = nullptr;
    int paramCount = 0;
    int status = 0;
    s1356(points.data(), count, 2, types.data(), 0, 0, 0, 3, 0.0, &end, &curve, &params, &paramCount, &status);
    const ToolkitArray<double> ownedParams(params);
    CurveHandle owned(curve);
    if (status < 0 || !owned) {
        error = ToolkitError("s1356", status);
        return nullptr;
    }
    return owned;
}

// Crossings of the curve with the line through `point` with normal `normal`: the
// parameters of the single points (curve pieces lying on the line are not counted).
bool Crossings(spline_curve* curve, const double* point, const double* normal, std::vector<double>& params,
               std::string& error)
{
    int pointCount = 0;
    double* par = nullptr;
    int curveCount = 0;
    isect_curve** curves = nullptr;
    int status = 0;
    s1850(curve, point, normal, 2, 0.0, 0.001, &pointCount, &par, &curveCount, &curves, &status);
    const ToolkitArray<double> ownedPar(par);
    const IsectCurveArray ownedCurves(curves, curveCount);
    if (status >= 0)
        params.assign(par, par + pointCount);
    if (status < 0) {
        error = ToolkitError("s1850", status);
        return false;
    }
    return true;
}

bool Evaluate(const spline_curve* curve, double t, double* p, std::string& error)
{
    int left = 0;
    int status = 0;
    S1227(curve, 0, t, &left, p, &status);
    if (status < 0) {
        error = ToolkitError("S1227", status);
        return false;
    }
    return true;
}

double Distance(const double* a, const double* b) { return std::hypot(a[0] - b[0], a[1] - b[1]); }

struct Extremes {
    double min = DBL_MAX;
    double max = DBL_MIN;
    double sum = 0.0;
    void Add(double v)
    {
        if (v < min)
            min = v;
        if (v > max)
            max = v;
        sum += v;
    }
};

}  // namespace

std::array<double, 2> detail::WallThicknesses(const double* c, const double* p1, const double* p2, const double* p3,
                                              const double* p4)
{
    // Each lumen crossing pairs with the vessel crossing on the same side of the centroid.
    const bool sameSide = (p1[0] - c[0]) * (p3[0] - c[0]) + (p1[1] - c[1]) * (p3[1] - c[1]) > 0.0;
    if (sameSide)
        return {Distance(p1, p3), Distance(p2, p4)};
    return {Distance(p1, p4), Distance(p2, p3)};
}

std::array<double, 18> FrameMeasurements::Series() const
{
    return {minLumenRadius,   maxLumenRadius,    meanLumenRadius,    minLumenDiameter,  maxLumenDiameter,
            meanLumenDiameter, minVesselRadius,  maxVesselRadius,    meanVesselRadius,  minVesselDiameter,
            maxVesselDiameter, meanVesselDiameter, minWallThickness, maxWallThickness,  meanWallThickness,
            lumenArea,         vesselArea,       static_cast<double>(wallArea)};
}

std::vector<double> FilterContourPoints(const WallContour& contour)
{
    std::vector<double> kept;
    kept.reserve(2 * contour.size());
    PixelPoint previous{0, 0};
    for (const PixelPoint& p : contour) {
        if (p.x != previous.x && p.y != previous.y) {
            kept.push_back(p.x);
            kept.push_back(p.y);
        }
        previous = p;
    }
    return kept;
}

MeasurementResult MeasureWallContours(const WallContour& vessel, const WallContour& lumen)
{
    MeasurementResult result;
    if (vessel.empty() || lumen.empty())
        return result;

    const auto fail = [&result](std::string text) {
        result.status = MeasurementStatus::Failed;
        result.error = std::move(text);
        result.lineCount = 0;
        return result;
    };

    const std::vector<double> vesselPoints = FilterContourPoints(vessel);
    const std::vector<double> lumenPoints = FilterContourPoints(lumen);

    double centre[2] = {0.0, 0.0};
    const std::size_t lumenCount = lumenPoints.size() / 2;
    if (lumenCount > 0) {
        for (std::size_t i = 0; i < lumenCount; ++i) {
            centre[0] += lumenPoints[2 * i];
            centre[1] += lumenPoints[2 * i + 1];
        }
        centre[0] /= static_cast<double>(lumenCount);
        centre[1] /= static_cast<double>(lumenCount);
    }
    const double cx = centre[0];
    const double cy = centre[1];

    std::string error;
    const CurveHandle vesselCurve = InterpolateClosed(vesselPoints, error);
    if (!vesselCurve)
        return fail("vessel: " + error);
    const CurveHandle lumenCurve = InterpolateClosed(lumenPoints, error);
    if (!lumenCurve)
        return fail("lumen: " + error);

    FrameMeasurements& m = result.values;
    int status = 0;
    s1241(lumenCurve.get(), centre, 2, 0.0001, &m.lumenArea, &status);
    if (status < 0)
        return fail(ToolkitError("s1241", status));
    s1241(vesselCurve.get(), centre, 2, 0.0001, &m.vesselArea, &status);
    if (status < 0)
        return fail(ToolkitError("s1241", status));
    m.wallArea = std::abs(std::abs(static_cast<int>(m.vesselArea)) - std::abs(static_cast<int>(m.lumenArea)));

    Extremes lumenRadius, vesselRadius, lumenDiameter, vesselDiameter, thickness;
    int count = 0;
    std::vector<double> lumenHits, vesselHits;
    const int cxr = RoundHalfUp(cx);
    const int cyr = RoundHalfUp(cy);
    for (int k = 0; k < kSamples / 2; ++k) {
        const double theta = k * kTwoPi / kSamples;
        const double ex = cxr + RoundHalfUp(kRayLength * std::sin(theta));
        const double ey = cyr + RoundHalfUp(kRayLength * std::cos(theta));
        // The line through the centroid towards E; a line level with the centroid gets
        // the vertical normal instead of a division by zero.
        double normal[2] = {0.0, 1.0};
        if (ey - cy != 0.0) {
            normal[0] = 1.0;
            normal[1] = -(ex - cx) / (ey - cy);
        }
        if (!Crossings(lumenCurve.get(), centre, normal, lumenHits, error))
            return fail(error);
        if (lumenHits.size() != 2)
            continue;
        if (!Crossings(vesselCurve.get(), centre, normal, vesselHits, error))
            return fail(error);
        if (vesselHits.size() != 2)
            continue;

        double p1[2], p2[2], p3[2], p4[2];
        if (!Evaluate(lumenCurve.get(), lumenHits[0], p1, error) ||
            !Evaluate(lumenCurve.get(), lumenHits[1], p2, error) ||
            !Evaluate(vesselCurve.get(), vesselHits[0], p3, error) ||
            !Evaluate(vesselCurve.get(), vesselHits[1], p4, error))
            return fail(error);

        const double r1 = Distance(centre, p1);
        const double r2 = Distance(centre, p2);
        const double r3 = Distance(centre, p3);
        const double r4 = Distance(centre, p4);
        lumenRadius.Add(r1);
        lumenRadius.Add(r2);
        vesselRadius.Add(r3);
        vesselRadius.Add(r4);
        lumenDiameter.Add(r1 + r2);
        vesselDiameter.Add(r3 + r4);
        const std::array<double, 2> t = detail::WallThicknesses(centre, p1, p2, p3, p4);
        thickness.Add(t[0]);
        thickness.Add(t[1]);
        ++count;
    }
    if (count == 0)
        return fail(kNoLineMeasuredText);

    m.minLumenRadius = lumenRadius.min;
    m.maxLumenRadius = lumenRadius.max;
    m.meanLumenRadius = lumenRadius.sum / (2.0 * count);
    m.minLumenDiameter = lumenDiameter.min;
    m.maxLumenDiameter = lumenDiameter.max;
    m.meanLumenDiameter = lumenDiameter.sum / count;
    m.minVesselRadius = vesselRadius.min;
    m.maxVesselRadius = vesselRadius.max;
    m.meanVesselRadius = vesselRadius.sum / (2.0 * count);
    m.minVesselDiameter = vesselDiameter.min;
    m.maxVesselDiameter = vesselDiameter.max;
    m.meanVesselDiameter = vesselDiameter.sum / count;
    m.minWallThickness = thickness.min;
    m.maxWallThickness = thickness.max;
    m.meanWallThickness = thickness.sum / (2.0 * count);
    result.lineCount = count;
    result.status = MeasurementStatus::Measured;
    return result;
}

std::string FormatTwoDecimals(double value, const std::string& decimalSeparator, const std::string& groupSeparator)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NaN" : (value < 0 ? "-INF" : "INF");
    const double rounded = std::round(std::fabs(value) * 100.0);
    const bool negative = value < 0.0 && rounded != 0.0;
    const double whole = std::floor(rounded / 100.0);
    const int cents = static_cast<int>(rounded - whole * 100.0);
    char digits[400];
    std::snprintf(digits, sizeof digits, "%.0f", whole);
    const std::string intPart(digits);
    std::string grouped;
    const std::size_t len = intPart.size();
    for (std::size_t i = 0; i < len; ++i) {
        if (i > 0 && (len - i) % 3 == 0)
            grouped += groupSeparator;
        grouped += intPart[i];
    }
    char frac[3];
    std::snprintf(frac, sizeof frac, "%02d", cents);
    return (negative ? "-" : "") + grouped + decimalSeparator + frac;
}

std::vector<std::string> MeasurementMemoLines(int frame, const FrameMeasurements& m, double spacing,
                                              const std::function<std::string(double)>& format)
{
    const auto mm = [&](const char* label, double pixels) {
        return std::string(label) + format(pixels * spacing) + " mm";
    };
    const auto mm2 = [&](const char* label, double squarePixels) {
        return std::string(label) + format(std::fabs(spacing * spacing * squarePixels)) + " mm^2";
    };
    return {
        "Frame #" + std::to_string(frame + 1),
        mm("Min Lumen Radius: ", m.minLumenRadius),
        mm("Max Lumen Radius: ", m.maxLumenRadius),
        mm("Mean Lumen Radius: ", m.meanLumenRadius),
        "",
        mm("Min Vessel Radius: ", m.minVesselRadius),
        mm("Max Vessel Radius: ", m.maxVesselRadius),
        mm("Mean Vessel Radius: ", m.meanVesselRadius),
        "",
        mm("Min Lumen Diameter: ", m.minLumenDiameter),
        mm("Max Lumen Diameter: ", m.maxLumenDiameter),
        mm("Mean Lumen Diameter: ", m.meanLumenDiameter),
        "",
        mm("Min Vessel Diameter: ", m.minVesselDiameter),
        mm("Max Vessel Diameter: ", m.maxVesselDiameter),
        mm("Mean Vessel Diameter: ", m.meanVesselDiameter),
        "",
        mm("Min Wall Thickness: ", m.minWallThickness),
        mm("Max Wall Thickness: ", m.maxWallThickness),
        mm("Mean Wall Thickness: ", m.meanWallThickness),
        "",
        mm2("Lumen Area: ", m.lumenArea),
        mm2("Vessel Area: ", m.vesselArea),
        mm2("Wall Area: ", static_cast<double>(m.wallArea)),
    };
}

}  // namespace kestrova::analysis
