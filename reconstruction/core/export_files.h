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

// A stored row could not be turned into numbers (a damaged point-list text, X and Y
// lists of different lengths). The text names the row.
class ExportDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One projection's tracing as stored in the angio row.
struct AngioTracing {
    WallContour catheter;
    WallContour lumenA;
    WallContour lumenB;
    WallContour width;
};

// One stored wall row: its X and Y point-list texts (`outerWallX`/`outerWallY` or
// `innerWallX`/`innerWallY`).
struct WallRow {
    std::string x;
    std::string y;
};

// What the IVUS files need of the card: the ivus row's catheter centre (0, 0 without a
// row) and the wall rows in ascending `id`.
struct IvusRows {
    PixelPoint catheterCenter;
    std::vector<WallRow> outer;
    std::vector<WallRow> inner;
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

// The IVUS rows with every wall row parsed.
struct ParsedIvus {
    PixelPoint catheterCenter;
    std::vector<WallContour> outer;
    std::vector<WallContour> inner;
};

// The scale written as `pixelSpacing` / "calibration_video" and the first outer
// contour's length in millimetres.
struct ScaleAndLength {
    double scale = 0.0;
    double lengthMm = 0.0;
};

// Parses every wall row; throws ExportDataError naming the first damaged row.
ParsedIvus ParseIvusRows(const IvusRows& rows);

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
