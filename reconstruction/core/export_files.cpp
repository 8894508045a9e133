#include "reconstruction/core/export_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace exports {

namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::string_view kXmlDeclaration = R"(<?xml version="1.0" encoding="ISO-8859-1"?>)";

// std::to_chars never consults the locale, unlike printf after setlocale() or a stream
// with an imbued locale.
std::string FormatGeneral(double value, int precision)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                   std::chars_format::general, precision);
    if (ec != std::errc())
        return "0";
    std::string text(buffer, end);
    if (auto comma = text.find(','); comma != std::string::npos)
        text[comma] = '.';
    return text;
}

std::string Int(int value)
{
    return std::to_string(value);
}

class Lines {
public:
    template <typename... Pieces>
    void Line(const Pieces&... pieces)
    {
        (text_.append(pieces), ...);
        text_.append(kEol);
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

const char* ProjectionName(Projection projection)
{
    return projection == Projection::LAO ? "LAO" : "RAO";
}

void AngioXmlList(Lines& out, const char* element, const WallContour& points)
{
    const std::string name(element);
    out.Line("<", name, " numPoints=\"", Int(static_cast<int>(points.size())), "\">");
    for (const PixelPoint& p : points) {
        out.Line("<point>");
        out.Line("<x>", Int(p.x), "</x>");
        out.Line("<y>", Int(p.y), "</y>");
        out.Line("</point>");
    }
    out.Line("</", name, ">");
}

void IvusXmlWall(Lines& out, const char* element, const std::vector<WallContour>& rows)
{
    const std::string name(element);
    out.Line("<", name, " numFrames=\"", Int(static_cast<int>(rows.size())), "\">");
    int zOrder = 0;
    for (const WallContour& row : rows) {
        zOrder += 5;
        out.Line("<points numPoints=\"", Int(static_cast<int>(row.size())), "\" zOrder=\"",
                 Int(zOrder), "\">");
        for (const PixelPoint& p : row)
            out.Line("<point x=\"", Int(p.x), "\" y=\"", Int(p.y), "\" />");
        out.Line("</points>");
    }
    out.Line("</", name, ">");
}

std::string CadAngioPoint(Projection projection, FrameSize size, const PixelPoint& p)
{
    if (projection == Projection::LAO)
        return "0," + Int(p.x) + "," + Int(size.height - p.y);
    return Int(size.width - p.x) + ",0," + Int(size.height - p.y);
}

void CadAngioList(Lines& out, const char* command, Projection projection, FrameSize size,
                  const WallContour& points)
{
    out.Line(command);
    for (const PixelPoint& p : points)
        out.Line(CadAngioPoint(projection, size, p));
    out.Line("_Enter");
}

void CadIvusWall(Lines& out, const std::vector<WallContour>& rows)
{
    int z = 0;
    for (const WallContour& row : rows) {
        z += 5;
        out.Line("_Interpcrv");
        for (const PixelPoint& p : row)
            out.Line(Int(p.x), ",", Int(p.y), ",", Int(z));
        out.Line("_Enter");
    }
}

}  // namespace

double ArcLengthPx(const WallContour& contour)
{
    double length = 0.0;
    for (size_t j = 1; j < contour.size(); ++j) {
        const double dx = static_cast<double>(contour[j].x) - contour[j - 1].x;
        const double dy = static_cast<double>(contour[j].y) - contour[j - 1].y;
        length += std::sqrt(dx * dx + dy * dy);
    }
    return length;
}

double FirstOuterArcLengthPx(const ParsedIvus& ivus)
{
    return ivus.outer.empty() ? 0.0 : ArcLengthPx(ivus.outer.front());
}

std::optional<ScaleAndLength> ExportScale(double pixelSpacing, double arcLengthPx,
                                          const Calibration& calibration)
{
    if (pixelSpacing > 0.0)
        return ScaleAndLength{pixelSpacing, arcLengthPx * pixelSpacing};
    const double dx = static_cast<double>(calibration.a.x) - calibration.b.x;
    const double dy = static_cast<double>(calibration.a.y) - calibration.b.y;
    const double pixels = std::sqrt(dx * dx + dy * dy);
    if (pixels == 0.0 || calibration.distance == 0.0)
        return std::nullopt;
    const double pixelsPerMm = pixels / calibration.distance;
    if (!std::isfinite(pixelsPerMm))
        return std::nullopt;
    return ScaleAndLength{pixelsPerMm, arcLengthPx / pixelsPerMm};
}

std::string FormatArcLength(double value)
{
    return FormatGeneral(value, 18);
}

std::string FormatPixelSpacing(double value)
{
    return FormatGeneral(value, 15);
}

std::string AngioXmlFile(Projection projection, FrameSize size, const AngioTracing& tracing)
{
    const std::string name = ProjectionName(projection);
    Lines out;
    out.Line(kXmlDeclaration);
    out.Line("<", name, " imageWidth=\"", Int(size.width), "\" imageHeight=\"",
             Int(size.height), "\">");
    AngioXmlList(out, "catheter", tracing.catheter);
    AngioXmlList(out, "lumenA", tracing.lumenA);
    AngioXmlList(out, "lumenB", tracing.lumenB);
    AngioXmlList(out, "catheterWidth", tracing.width);
    out.Line("</", name, ">");
    return out.Take();
}

std::string IvusXmlFile(FrameSize size, const ParsedIvus& ivus, const ScaleAndLength& scale)
{
    Lines out;
    out.Line(kXmlDeclaration);
    out.Line("<IVUS imageWidth=\"", Int(size.width), "\" imageHeight=\"", Int(size.height),
             "\">");
    IvusXmlWall(out, "outerWall", ivus.outer);
    IvusXmlWall(out, "innerWall", ivus.inner);
    out.Line("<info>");
    out.Line("<catheterCenter x=\"", Int(ivus.catheterCenter.x), "\" y=\"",
             Int(ivus.catheterCenter.y), "\" />");
    const std::string length = scale.lengthMm > 0.0 ? FormatArcLength(scale.lengthMm)
                                                    : FormatArcLength(0.0);
    out.Line("<arcLength>", length, "</arcLength>");
    out.Line("<pixelSpacing>", FormatPixelSpacing(scale.scale), "</pixelSpacing>");
    out.Line("</info>");
    out.Line("</IVUS>");
    return out.Take();
}

std::string AngioCadScript(Projection projection, FrameSize size, const AngioTracing& tracing)
{
    Lines out;
    CadAngioList(out, "_Interpcrv", projection, size, tracing.catheter);
    CadAngioList(out, "_Interpcrv", projection, size, tracing.lumenA);
    CadAngioList(out, "_Interpcrv", projection, size, tracing.lumenB);
    CadAngioList(out, "_Polyline", projection, size, tracing.width);
    return out.Take();
}

std::string IvusCadScript(const ParsedIvus& ivus, const ScaleAndLength& scale)
{
    Lines out;
    CadIvusWall(out, ivus.outer);
    CadIvusWall(out, ivus.inner);
    int z = 0;
    for (size_t i = 0; i < ivus.inner.size(); ++i) {
        z += 5;
        out.Line("_Point");
        out.Line(Int(ivus.catheterCenter.x), ",", Int(ivus.catheterCenter.y), ",", Int(z));
    }
    if (scale.lengthMm > 0.0)
        out.Line("length = ", FormatArcLength(scale.lengthMm));
    else
        out.Line("length = 0.0");
    out.Line("calibration_video = ", FormatPixelSpacing(scale.scale));
    return out.Take();
}

}  // namespace exports
