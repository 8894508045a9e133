#include "reconstruction/core/graph_data.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace graphs {

namespace an = kestrova::analysis;

namespace {

void LoadRows(const std::vector<StoredWallRow>& rows, const char* wall, Contours& contours, LoadedContours& out)
{
    const int n = static_cast<int>(contours.size());
    for (const StoredWallRow& row : rows) {
        if (row.frame < 0 || row.frame >= n) {
            out.problems.push_back("The stored " + std::string(wall) + " wall of frame: " +
                                   std::to_string(static_cast<long long>(row.frame) + 1) + " lies outside the " +
                                   std::to_string(n) + " analysed frames and was not loaded.");
            continue;
        }
        const auto k = static_cast<size_t>(row.frame);
        contours[k].insert(contours[k].end(), row.points.begin(), row.points.end());
    }
}

// The smallest of 1, 2 and 5 times a power of ten that is at least `raw`.
double NiceStep(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw * (1.0 - 1e-12))
            return m * power;
    return 10.0 * power;
}

}  // namespace

LoadedContours LoadGraphContours(int frameCount, const StoredWalls& walls)
{
    const auto n = static_cast<size_t>(std::max(0, frameCount));
    LoadedContours out;
    out.vessel.resize(n);
    out.lumen.resize(n);
    if (!walls.hasIvusRow)
        return out;
    LoadRows(walls.outer, "outer", out.vessel, out);
    LoadRows(walls.inner, "inner", out.lumen, out);
    return out;
}

std::array<double, kSeriesCount> SeriesValues(const an::FrameMeasurements& m, double spacing)
{
    const std::array<double, 18> pixels = m.Series();
    std::array<double, kSeriesCount> values{};
    for (int i = 0; i < 15; ++i)
        values[i] = ScaleToMm(pixels[i], spacing);
    // Areas are plotted in whole square pixels: the fraction is cut off before scaling.
    values[15] = ScaleToMm2(std::fabs(std::trunc(m.lumenArea)), spacing);
    values[16] = ScaleToMm2(std::fabs(std::trunc(m.vesselArea)), spacing);
    values[17] = ScaleToMm2(static_cast<double>(m.wallArea), spacing);
    return values;
}

std::string MeasurementFailureText(int k, const std::string& why)
{
    return "Error while calculating measurements at frame: " + std::to_string(static_cast<long long>(k) + 1) +
           ". Code: " + why;
}

GraphData MeasureFrames(const LoadedContours& contours, double spacing, const std::function<void()>& step)
{
    GraphData data;
    const size_t n = std::min(contours.vessel.size(), contours.lumen.size());
    for (auto& s : data.series)
        s.reserve(n);
    for (size_t k = 0; k < n; ++k) {
        {
            const an::MeasurementResult r = an::MeasureWallContours(contours.vessel[k], contours.lumen[k]);
            const int frame = static_cast<int>(k);
            if (r.status == an::MeasurementStatus::Failed) {
                data.problems.push_back(MeasurementFailureText(frame, r.error));
            } else if (r.status == an::MeasurementStatus::Measured) {
                const std::array<double, kSeriesCount> values = SeriesValues(r.values, spacing);
                if (std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); })) {
                    for (int i = 0; i < kSeriesCount; ++i)
                        data.series[i].push_back({static_cast<double>(k + 1), values[i]});
                } else {
                    data.problems.push_back(MeasurementFailureText(frame, "a value is not a finite number"));
                }
            }
        }
        if (step)
            step();
    }
    return data;
}

const std::array<const char*, kSheetColumns>& SheetHeaders()
{
    static const std::array<const char*, kSheetColumns> headers = {
        "Frame #",
        "Min Lumen Radius (mm)",     "Max Lumen Radius (mm)",     "Mean Lumen Radius (mm)",
        "Min Vessel Radius (mm)",    "Max Vessel Radius (mm)",    "Mean Vessel Radius (mm)",
        "Min Lumen Diameter (mm)",   "Max Lumen Diameter (mm)",   "Mean Lumen Diameter (mm)",
        "Min Vessel Diameter (mm)",  "Max Vessel Diameter (mm)",  "Mean Vessel Diameter (mm)",
        "Min Wall Thickness (mm)",   "Max Wall Thickness (mm)",   "Mean Wall Thickness (mm)",
        "Lumen Area (mm^2)",         "Vessel Area (mm^2)",        "Wall Area (mm^2)",
    };
    return headers;
}

const std::array<ChartLayout, 6>& ChartLayouts()
{
    using C = SeriesColour;
    static const std::array<ChartLayout, 6> charts = {{
        {"Chart1", "Lumen Radius", "mm", true, "_LumenRadius.bmp",
         {{{1, "Max", C::Green, 2}, {2, "Mean", C::Blue, 3}, {0, "Min", C::Red, 1}}}},
        {"Chart2", "Lumen Diameter", "mm", true, "_LumenDiameter.bmp",
         {{{4, "Max", C::Green, 8}, {5, "Mean", C::Blue, 9}, {3, "Min", C::Red, 7}}}},
        {"Chart3", "Vessel Radius", "mm", true, "_VesselRadius.bmp",
         {{{7, "Max", C::Green, 5}, {8, "Mean", C::Blue, 6}, {6, "Min", C::Red, 4}}}},
        {"Chart4", "Vessel Diameter", "mm", true, "_VesselDiameter.bmp",
         {{{10, "Max", C::Green, 11}, {11, "Mean", C::Blue, 12}, {9, "Min", C::Red, 10}}}},
        {"Chart5", "Wall Thickness", "mm", true, "_WallThickness.bmp",
         {{{13, "Max", C::Green, 14}, {14, "Mean", C::Blue, 15}, {12, "Min", C::Red, 13}}}},
        {"Chart6", "Areas", "mm^2", false, "_Areas.bmp",
         {{{16, "Vessel", C::Green, 17}, {17, "Wall", C::Blue, 18}, {15, "Lumen", C::Red, 16}}}},
    }};
    return charts;
}

std::vector<SheetRow> SheetRows(const MeasurementSeries& series)
{
    std::vector<SheetRow> rows(series[0].size());
    for (size_t r = 0; r < rows.size(); ++r)
        rows[r].frameNumber = static_cast<int>(series[0][r].x);
    for (const ChartLayout& chart : ChartLayouts())
        for (const PlottedSeries& p : chart.plotted)
            for (size_t r = 0; r < rows.size() && r < series[p.series].size(); ++r)
                rows[r].values[static_cast<size_t>(p.sheetColumn - 1)] = series[p.series][r].y;
    return rows;
}

AxisRange NiceAxis(double lo, double hi, double minStep, bool roomAbove)
{
    if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo) {
        lo = 0.0;
        hi = 0.0;
    }
    const double span = hi - lo;
    AxisRange axis;
    axis.step = std::max(minStep, NiceStep(span > 0.0 ? span / 5.0 : std::max(std::fabs(hi), minStep) / 5.0));
    axis.min = std::floor(lo / axis.step) * axis.step;
    if (span == 0.0 && axis.min == lo)
        axis.min -= axis.step;
    if (lo >= 0.0)
        axis.min = std::max(0.0, axis.min);
    axis.max = roomAbove ? (std::floor(hi / axis.step) + 1.0) * axis.step
                         : std::max(axis.min + axis.step, std::ceil(hi / axis.step) * axis.step);
    axis.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(axis.step) + 1e-9)));
    return axis;
}

AxisRange ValueAxis(const ChartLayout& chart, const MeasurementSeries& series)
{
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    for (const PlottedSeries& p : chart.plotted)
        for (const DoublePoint& point : series[p.series]) {
            lo = std::min(lo, point.y);
            hi = std::max(hi, point.y);
        }
    if (hi < lo)
        lo = hi = 0.0;
    return NiceAxis(chart.fromZero ? 0.0 : lo, hi, 0.1);
}

AxisRange FrameAxis(const MeasurementSeries& series)
{
    const double last = series[0].empty() ? 0.0 : series[0].back().x;
    return NiceAxis(0.0, last, 1.0, false);
}

}  // namespace graphs
