// The export files of a patient card: the XML files and the CAD command scripts.
//
// Everything here is plain data in, bytes out: the caller reads the card's stored rows
// (patient row, ivus row, angio row, wall rows) into the structs below, the functions
// compose the file contents, and reconstruction/core/export_run.h writes them.
//
// Every line of every file ends with CR LF, written explicitly; numbers never depend on
// the process locale.
#pragma once

#include "study/contour.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace exports {

// One projection's tracing as stored in the angio row.
struct AngioTracing {
    WallContour catheter;
    WallContour lumenA;
    WallContour lumenB;
    WallContour width;
};

// What the IVUS files need of the card: the ivus row's catheter centre (0, 0 without a
// row) and the contours of the readable wall rows in ascending `id` (the data module
// leaves out, and names, a stored contour it cannot read).
struct IvusRows {
    PixelPoint catheterCenter;
    std::vector<WallContour> outer;
    std::vector<WallContour> inner;
};

// The open card's calibration: points A and B in IVUS pixels and their distance in mm.
struct Calibration {
    PixelPoint a;
    PixelPoint b;
    double distance = 1.0;
};

struct FrameSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

enum class Projection { LAO, RAO };

// The IVUS rows as the file composers take them.
using ParsedIvus = IvusRows;

// The scale written as `pixelSpacing` / "calibration_video" and the first outer
// contour's length in millimetres.
struct ScaleAndLength {
    double scale = 0.0;
    double lengthMm = 0.0;
};

// Length in pixels of the polyline through the points (0 below two points).
double ArcLengthPx(const WallContour& contour);

// The pixel length of the first outer contour (0 without outer rows).
double FirstOuterArcLengthPx(const ParsedIvus& ivus);

// The millimetre scale of both exports: the patient's pixel spacing when positive (L is
// then Lpx times it); otherwise the calibration's pixels per millimetre (A-B pixel
// distance over the calibration distance; L is Lpx divided by it). Empty when neither
// gives a usable scale (no pixel spacing and coinciding calibration points, or a zero
// calibration distance).
std::optional<ScaleAndLength> ExportScale(double pixelSpacing, double arcLengthPx,
                                          const Calibration& calibration);

// Locale-independent number texts of the exports.
std::string FormatArcLength(double value);     // 18 significant digits
std::string FormatPixelSpacing(double value);  // 15 significant digits

// The file contents.
std::string AngioXmlFile(Projection projection, FrameSize size, const AngioTracing& tracing);
std::string IvusXmlFile(FrameSize size, const ParsedIvus& ivus, const ScaleAndLength& scale);
std::string AngioCadScript(Projection projection, FrameSize size, const AngioTracing& tracing);
std::string IvusCadScript(const ParsedIvus& ivus, const ScaleAndLength& scale);

}  // namespace exports
