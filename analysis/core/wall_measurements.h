#pragma once
// Measurements of one analysed IVUS frame from its vessel (outer) and lumen (inner)
// contours: radii, diameters and wall thickness along a fan of 50 lines through the
// lumen centroid, and the lumen, vessel and wall areas. Lengths are in pixels and areas
// in square pixels; the windows convert them with the pixel spacing.

#include "study/contour.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace kestrova::analysis {

/// The results in the order the graph window keeps its series.
struct FrameMeasurements {
    double minLumenRadius = 0, maxLumenRadius = 0, meanLumenRadius = 0;
    double minLumenDiameter = 0, maxLumenDiameter = 0, meanLumenDiameter = 0;
    double minVesselRadius = 0, maxVesselRadius = 0, meanVesselRadius = 0;
    double minVesselDiameter = 0, maxVesselDiameter = 0, meanVesselDiameter = 0;
    double minWallThickness = 0, maxWallThickness = 0, meanWallThickness = 0;
    double lumenArea = 0;   // signed area of the lumen curve about the lumen centroid
    double vesselArea = 0;  // signed area of the vessel curve about the lumen centroid
    int wallArea = 0;       // | |trunc(vessel area)| - |trunc(lumen area)| |

    /// The 18 values in series order (0 minimum lumen radius ... 17 wall area).
    std::array<double, 18> Series() const;
};

enum class MeasurementStatus {
    NoResult,  // a contour is empty: nothing to show
    Measured,
    Failed,    // `error` says why
};

struct MeasurementResult {
    MeasurementStatus status = MeasurementStatus::NoResult;
    FrameMeasurements values;
    int lineCount = 0;  // lines that crossed both curves exactly twice
    std::string error;
};

/// Keeps a point only when both its x and its y differ from the previously visited
/// point (which starts at (0, 0)); the kept points as interleaved (x, y) doubles.
std::vector<double> FilterContourPoints(const WallContour& contour);

/// Measures a frame. Never throws for bad geometry: toolkit errors, contours too short
/// for a curve and a fan in which no line crossed both walls twice give status Failed.
MeasurementResult MeasureWallContours(const WallContour& vessel, const WallContour& lumen);

/// A number with two decimals and thousands grouping, with the given separators
/// (1234567.891 -> "1,234,567.89" with "." and ",").
std::string FormatTwoDecimals(double value, const std::string& decimalSeparator, const std::string& groupSeparator);

/// The 24 memo lines of a measured frame: `frame` is the 0-based analysed frame,
/// `spacing` millimetres per pixel, `format` writes a value with two decimals.
std::vector<std::string> MeasurementMemoLines(int frame, const FrameMeasurements& m, double spacing,
                                              const std::function<std::string(double)>& format);

namespace detail {
/// The two wall thicknesses of one line through the centroid c, whose lumen crossings
/// are p1, p2 and vessel crossings p3, p4 (each pair in the order the toolkit gave).
std::array<double, 2> WallThicknesses(const double* c, const double* p1, const double* p2, const double* p3,
                                      const double* p4);
}  // namespace detail

/// The first words of the window's failure message, followed by the failure's text.
inline constexpr const char* kMeasurementErrorPrefix = "Error while calculating measurements. Code: ";
/// The failure's text when no line of the fan crossed both walls exactly twice.
inline constexpr const char* kNoLineMeasuredText = "no ray crossed both walls twice";

}  // namespace kestrova::analysis
