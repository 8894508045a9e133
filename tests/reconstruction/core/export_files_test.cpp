// The export file contents: number texts, the millimetre scale and the
// lines of the XML files and CAD scripts.
#include "reconstruction/core/export_files.h"
#include "reconstruction/core/export_testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <sstream>

using namespace exports;
using export_test::PointsOf;
using export_test::WallRowOf;

namespace {

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

ParsedIvus Parsed(const IvusRows& rows)
{
    return rows;
}

}  // namespace

TEST(ExportNumbers, GeneralFormatWithFixedDigits)
{
    struct Case {
        double value;
        const char* arcLength;
        const char* pixelSpacing;
    };
    const Case cases[] = {
        {12.3, "12.3000000000000007", "12.3"},
        {0.05, "0.0500000000000000028", "0.05"},
        {20.0, "20", "20"},
        {0.0, "0", "0"},
        {400 * 0.05, "20", "20"},
        {1.0 / 3.0, "0.333333333333333315", "0.333333333333333"},
        {1e-5, "1.00000000000000008e-05", "1e-05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(FormatArcLength(c.value), c.arcLength);
        EXPECT_EQ(FormatPixelSpacing(c.value), c.pixelSpacing);
    }
}

TEST(ExportScale, PixelSpacingOrCalibration)
{
    const Calibration none{{0, 0}, {0, 0}, 1.0};
    const Calibration calibrated{{10, 10}, {40, 50}, 2.0};  // 50 px over 2 mm: 25 px/mm

    auto s = ExportScale(0.05, 400.0, none);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->scale, 0.05);
    EXPECT_EQ(s->lengthMm, 400.0 * 0.05);

    s = ExportScale(0.05, 400.0, calibrated);  // a positive spacing wins
    ASSERT_TRUE(s);
    EXPECT_EQ(s->scale, 0.05);

    for (double spacing : {0.0, -1.0}) {
        s = ExportScale(spacing, 400.0, calibrated);
        ASSERT_TRUE(s);
        EXPECT_DOUBLE_EQ(s->scale, 25.0);
        EXPECT_DOUBLE_EQ(s->lengthMm, 16.0);
    }

    s = ExportScale(0.0, 0.0, calibrated);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lengthMm, 0.0);
}

TEST(ExportScale, RefusesWithoutUsableScale)
{
    // No pixel spacing and the calibration points coincide (a card never calibrated), or
    // a zero calibration distance: any scale would be a division by zero.
    EXPECT_FALSE(ExportScale(0.0, 400.0, {{0, 0}, {0, 0}, 1.0}));
    EXPECT_FALSE(ExportScale(0.0, 0.0, {{7, 9}, {7, 9}, 1.0}));
    EXPECT_FALSE(ExportScale(0.0, 400.0, {{0, 0}, {3, 4}, 0.0}));
    EXPECT_FALSE(ExportScale(0.0, 400.0, {{0, 0}, {3, 4}, std::nan("")}));
}

TEST(ExportIvusFiles, SquareOfSide100AtSpacing005)
{
    IvusRows rows;
    rows.outer = {WallRowOf({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}})};
    const ParsedIvus ivus = Parsed(rows);
    EXPECT_EQ(FirstOuterArcLengthPx(ivus), 400.0);
    const auto scale = ExportScale(0.05, FirstOuterArcLengthPx(ivus), {});
    ASSERT_TRUE(scale);

    const auto xml = LinesOf(IvusXmlFile({400, 300}, ivus, *scale));
    EXPECT_NE(std::find(xml.begin(), xml.end(), "<arcLength>20</arcLength>"), xml.end());
    EXPECT_NE(std::find(xml.begin(), xml.end(), "<pixelSpacing>0.05</pixelSpacing>"), xml.end());

    const auto script = LinesOf(IvusCadScript(ivus, *scale));
    ASSERT_GE(script.size(), 2u);
    EXPECT_EQ(script[script.size() - 2], "length = 20");
    EXPECT_EQ(script.back(), "calibration_video = 0.05");
}

TEST(ExportIvusFiles, ZOrderFollowsRowOrderPerWall)
{
    // Three outer rows (say for analysed frames 0, 2 and 5) and two inner rows.
    IvusRows rows;
    rows.catheterCenter = {250, 260};
    rows.outer = {WallRowOf({{1, 1}}), WallRowOf({{2, 2}}), WallRowOf({{3, 3}})};
    rows.inner = {WallRowOf({{4, 4}}), WallRowOf({{5, 5}})};
    const ParsedIvus ivus = Parsed(rows);
    const ScaleAndLength scale{0.05, 0.0};

    const std::string xml = IvusXmlFile({0, 0}, ivus, scale);
    const std::string outer = xml.substr(0, xml.find("<innerWall"));
    const std::string inner = xml.substr(xml.find("<innerWall"));
    for (const char* z : {"zOrder=\"5\"", "zOrder=\"10\"", "zOrder=\"15\""})
        EXPECT_NE(outer.find(z), std::string::npos) << z;
    EXPECT_NE(inner.find("zOrder=\"5\""), std::string::npos);
    EXPECT_NE(inner.find("zOrder=\"10\""), std::string::npos);
    EXPECT_EQ(inner.find("zOrder=\"15\""), std::string::npos);

    const std::vector<std::string> expected = {
        "_Interpcrv", "1,1,5", "_Enter", "_Interpcrv", "2,2,10", "_Enter",
        "_Interpcrv", "3,3,15", "_Enter", "_Interpcrv", "4,4,5", "_Enter",
        "_Interpcrv", "5,5,10", "_Enter", "_Point", "250,260,5", "_Point",
        "250,260,10", "length = 0.0", "calibration_video = 0.05"};
    EXPECT_EQ(LinesOf(IvusCadScript(ivus, scale)), expected);
}

TEST(ExportIvusFiles, CardWithoutWallRows)
{
    const ParsedIvus ivus = Parsed(IvusRows{});
    const auto scale = ExportScale(0.05, FirstOuterArcLengthPx(ivus), {});
    ASSERT_TRUE(scale);
    EXPECT_EQ(IvusCadScript(ivus, *scale), "length = 0.0\r\ncalibration_video = 0.05\r\n");
    EXPECT_EQ(IvusXmlFile({0, 0}, ivus, *scale),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
              "<IVUS imageWidth=\"0\" imageHeight=\"0\">\r\n"
              "<outerWall numFrames=\"0\">\r\n</outerWall>\r\n"
              "<innerWall numFrames=\"0\">\r\n</innerWall>\r\n"
              "<info>\r\n<catheterCenter x=\"0\" y=\"0\" />\r\n"
              "<arcLength>0</arcLength>\r\n<pixelSpacing>0.05</pixelSpacing>\r\n"
              "</info>\r\n</IVUS>\r\n");
}

TEST(ExportAngioFiles, ScriptPointsTurnYUpAndMirrorRao)
{
    AngioTracing tracing;
    tracing.catheter = PointsOf({{10, 20}});
    const std::vector<std::string> lao = LinesOf(AngioCadScript(Projection::LAO, {512, 512}, tracing));
    const std::vector<std::string> rao = LinesOf(AngioCadScript(Projection::RAO, {512, 512}, tracing));
    ASSERT_GE(lao.size(), 2u);
    ASSERT_GE(rao.size(), 2u);
    EXPECT_EQ(lao[1], "0,10,492");
    EXPECT_EQ(rao[1], "502,0,492");
}

TEST(ExportAngioFiles, CardWithoutAngioRow)
{
    const std::vector<std::string> commandsOnly = {"_Interpcrv", "_Enter", "_Interpcrv", "_Enter",
                                                   "_Interpcrv", "_Enter", "_Polyline", "_Enter"};
    for (Projection p : {Projection::LAO, Projection::RAO})
        EXPECT_EQ(LinesOf(AngioCadScript(p, {512, 512}, {})), commandsOnly);

    EXPECT_EQ(AngioXmlFile(Projection::RAO, {640, 480}, {}),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
              "<RAO imageWidth=\"640\" imageHeight=\"480\">\r\n"
              "<catheter numPoints=\"0\">\r\n</catheter>\r\n"
              "<lumenA numPoints=\"0\">\r\n</lumenA>\r\n"
              "<lumenB numPoints=\"0\">\r\n</lumenB>\r\n"
              "<catheterWidth numPoints=\"0\">\r\n</catheterWidth>\r\n"
              "</RAO>\r\n");
}

// A comma decimal separator set for C formatting (setlocale) and for C++ streams (the
// global locale) changes nothing in the files.
TEST(ExportNumbers, IndependentOfTheProcessLocale)
{
    const exports::CardRows card = export_test::FixtureCard();
    const ParsedIvus ivus = Parsed(card.ivus);
    const ScaleAndLength scale{0.05, 12.3};
    const std::string xmlBefore = IvusXmlFile({400, 300}, ivus, scale);
    const std::string scriptBefore = IvusCadScript(ivus, scale);

    char probe[32];
    std::string streamText, xmlAfter, scriptAfter;
    bool cLocaleSet = false;
    {
        const export_test::ScopedCommaDecimal comma;
        cLocaleSet = comma.CLocaleSet();
        std::snprintf(probe, sizeof probe, "%g", 0.05);
        std::ostringstream streamProbe;
        streamProbe << 0.05;
        streamText = streamProbe.str();
        xmlAfter = IvusXmlFile({400, 300}, ivus, scale);
        scriptAfter = IvusCadScript(ivus, scale);
    }

    EXPECT_EQ(streamText, "0,05");
    if (cLocaleSet)
        EXPECT_STREQ(probe, "0,05");
    else
        ADD_FAILURE() << "could not build a comma locale with localedef; C formatting untested";
    EXPECT_EQ(xmlAfter, xmlBefore);
    EXPECT_EQ(scriptAfter, scriptBefore);
    EXPECT_NE(xmlAfter.find("<arcLength>12.3000000000000007</arcLength>"), std::string::npos);
    EXPECT_NE(xmlAfter.find("<pixelSpacing>0.05</pixelSpacing>"), std::string::npos);
    EXPECT_NE(scriptAfter.find("calibration_video = 0.05\r\n"), std::string::npos);
}
