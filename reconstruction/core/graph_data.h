// The numbers of the graph window: every analysed IVUS frame of a card measured from its
// stored wall contours, as 18 series of (frame number, value) points, the rows of the
// numbers sheet, and the layout of the six charts. No window and no database here: the
// caller reads the stored rows into StoredWalls and draws what comes back.
//
// Frames are counted from 0 (k) internally and shown from 1 (k + 1) on the charts and in
// the sheet's "Frame #" column, so a sheet row and a chart point of one frame carry the
// same number even when frames before it could not be measured.
#pragma once

#include "study/contour.h"
#include "analysis/core/wall_measurements.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace graphs {

// One readable stored wall row: its analysed frame index and its points (the data
// module reads the rows and leaves out those it cannot read).
struct StoredWallRow {
    int frame = 0;
    WallContour points;
};

// What the graph window reads of a card: the pixel spacing of the patient row, whether
// the card has an ivus row, and the outer (vessel) and inner (lumen) wall rows in the
// order the database returned them. Without an ivus row the wall rows are not read.
struct StoredWalls {
    bool hasIvusRow = false;
    std::vector<StoredWallRow> outer;
    std::vector<StoredWallRow> inner;
};

using Contours = std::vector<WallContour>;

// The stored contours of every analysed frame. A row's points are appended to the
// contour of its frame; a row of a frame outside 0 .. frameCount - 1 is left out and
// described in `problems`, naming the frame counted from 1.
struct LoadedContours {
    Contours vessel;
    Contours lumen;
    std::vector<std::string> problems;
};

LoadedContours LoadGraphContours(int frameCount, const StoredWalls& walls);

inline constexpr int kSeriesCount = 18;

struct DoublePoint {
    double x = 0.0;  // the analysed frame counted from 1
    double y = 0.0;  // mm or mm^2
    friend bool operator==(const DoublePoint&, const DoublePoint&) = default;
};

// One sequence per entry of FrameMeasurements, in its order (0 minimum lumen radius ...
// 17 wall area). Every measured frame appends one point to each, so all have one length.
using MeasurementSeries = std::array<std::vector<DoublePoint>, kSeriesCount>;

// Millimetres and square millimetres of the window's pixel spacing.
inline double ScaleToMm(double x, double spacing) { return x * spacing; }
inline double ScaleToMm2(double x, double spacing) { return spacing * spacing * x; }

// The 18 plotted values of a measurement: lengths times the spacing; the lumen and
// vessel areas as spacing^2 times |area| truncated to whole square pixels; the wall area
// (already whole) times spacing^2.
std::array<double, kSeriesCount> SeriesValues(const kestrova::analysis::FrameMeasurements& m, double spacing);

// The message of a frame that could not be measured, naming analysed frame k as the
// charts and the sheet number it (k + 1).
std::string MeasurementFailureText(int k, const std::string& why);

struct GraphData {
    MeasurementSeries series;
    std::vector<std::string> problems;  // frames refused or not measured, in frame order
};

// Measures analysed frames 0 .. n - 1 of the loaded contours with the given spacing and
// appends the results. `step` runs after every frame (the progress bar). A frame with an
// empty contour adds nothing and says nothing (the reader names a contour it left out); a frame
// whose measurement fails (no line crossed both walls twice, a contour too short for a
// curve, a value that is not finite) adds nothing and is described in `problems`.
GraphData MeasureFrames(const LoadedContours& contours, double spacing, const std::function<void()>& step = {});

// ---- the sheet --------------------------------------------------------------------------

inline constexpr int kSheetColumns = 19;

// The header row: "Frame #" and the 18 measurement captions.
const std::array<const char*, kSheetColumns>& SheetHeaders();

struct SheetRow {
    int frameNumber = 0;                          // column 0: the analysed frame counted from 1
    std::array<double, kSheetColumns - 1> values;  // columns 1 .. 18
};

// One row per measured frame, in series order; "Frame #" is the frame's own number.
std::vector<SheetRow> SheetRows(const MeasurementSeries& series);

// ---- the charts ---------------------------------------------------------------------------

enum class SeriesColour { Red, Green, Blue };

struct PlottedSeries {
    int series;          // index into MeasurementSeries
    const char* legend;  // "Max", "Mean", "Min" or "Vessel", "Wall", "Lumen"
    SeriesColour colour;
    int sheetColumn;     // where its values stand in the sheet
};

struct ChartLayout {
    const char* name;        // "Chart1" .. "Chart6"
    const char* title;       // "Lumen Radius" ...
    const char* valueTitle;  // "mm" or "mm^2"
    bool fromZero;           // the length charts start at 0; the areas fit their data
    const char* fileSuffix;  // "_LumenRadius.bmp" ...
    std::array<PlottedSeries, 3> plotted;  // in legend order
};

// The six charts in file order (Chart1 .. Chart6); left column Chart1, 3, 5, right 2, 4, 6.
const std::array<ChartLayout, 6>& ChartLayouts();

// A value axis: its range, the distance of its ticks and the decimals of its labels.
struct AxisRange {
    double min = 0.0;
    double max = 1.0;
    double step = 0.2;
    int decimals = 1;
    friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

// A readable axis over [lo, hi]: about five ticks at 1, 2 or 5 times a power of ten, never
// closer than `minStep`; the minimum rounded down and the maximum rounded up to a tick.
// With `roomAbove` the maximum lies at least one tick above `hi`, so a line along the
// top stays visible. A flat range gets one tick of room below (never below 0 when lo is
// not negative).
AxisRange NiceAxis(double lo, double hi, double minStep, bool roomAbove = true);

// The value axis of a chart over the plotted points (fromZero: from 0 to the data's
// rounded maximum), ticks never closer than 0.1.
AxisRange ValueAxis(const ChartLayout& chart, const MeasurementSeries& series);
// The "frames" axis: from 0 past the last measured frame, whole-number ticks.
AxisRange FrameAxis(const MeasurementSeries& series);

}  // namespace graphs
