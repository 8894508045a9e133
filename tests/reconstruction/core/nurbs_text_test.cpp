#include "reconstruction/core/export_testutil.h"
#include "reconstruction/core/nurbs_text.h"
#include "reconstruction/tube_fixture.h"
#include "spline/surface_eval.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <random>

using namespace kestrova::reconstruction;

namespace {

// The surface of the scene text example: orders 2 x 2, 2 x 2 points, knots 0 0 1 1.
SurfaceHandle UnitSquare(int kind = 1)
{
    double knots[] = {0, 0, 1, 1};
    std::vector<double> points = kind == 1 ? std::vector<double>{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}
                                           : std::vector<double>{0, 0, 0, 1, 2, 0, 0, 2, 0, 1, 0, 1, 2, 2, 0, 2};
    return SurfaceHandle(create_surface(2, 2, 2, 2, knots, knots, points.data(), kind, 3, 1));
}

// Position of the surface at (u, v).
std::array<double, 3> At(const spline_surface& s, double u, double v)
{
    double derivs[3], normal[3];
    int l1 = 0, l2 = 0, status = 0;
    const double uv[2] = {u, v};
    s1421(&s, 0, uv, &l1, &l2, derivs, normal, &status);
    EXPECT_GE(status, 0);
    return {derivs[0], derivs[1], derivs[2]};
}

} // namespace

TEST(NurbsSceneText, TheTwoByTwoExampleByteForByte)
{
    EXPECT_EQ(WriteNurbsSurfaceText(UnitSquare().get()),
              "uOrder 2\nuDimension 2\nuKnot [\n0,0,1,1\n]\n"
              "vOrder 2\nvDimension 2\nvKnot [\n0,0,1,1\n]\n"
              "controlPoint [\n0 0 0,\n1 0 0,\n0 1 0,\n1 1 0\n]\n");
}

TEST(NurbsSceneText, NumbersAreSinglePrecisionWithFifteenDigits)
{
    EXPECT_EQ(FormatNumberPoint(0.1), "0.100000001490116");
    EXPECT_EQ(FormatNumberPoint(2.0), "2");
    EXPECT_EQ(FormatNumberPoint(-1.5), "-1.5");
    EXPECT_EQ(FormatNumberPoint(0.0), "0");
    EXPECT_EQ(FormatNumberPoint(123456789.0), "123456792");
    // Against the C library's "%.15g" of the single value, in the C locale.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (int i = 0; i < 2000; ++i) {
        const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.15g", static_cast<double>(static_cast<float>(v)));
        ASSERT_EQ(FormatNumberPoint(v), expected) << v;
    }
}

TEST(NurbsSceneText, RationalSurfacesBreakAfterEveryThirdValue)
{
    // Four homogeneous values per point, 16 values: ",\n" after values 3, 6, 9, 12, 15;
    // the last value (16, not a multiple of 3) is followed by its blank.
    EXPECT_EQ(WriteNurbsSurfaceText(UnitSquare(2).get()),
              "uOrder 2\nuDimension 2\nuKnot [\n0,0,1,1\n]\n"
              "vOrder 2\nvDimension 2\nvKnot [\n0,0,1,1\n]\n"
              "controlPoint [\n0 0 0,\n1 2 0,\n0 2 0,\n1 0 1,\n2 2 0,\n2 \n]\n");
}

TEST(NurbsSceneText, DecimalPointUnderACommaLocale)
{
    const SurfaceHandle tube = tube_fixture::TubeSurface(6, 3.3);
    const std::string before = WriteNurbsSurfaceText(tube.get());
    std::string after;
    char probe[32];
    {
        const export_test::ScopedCommaDecimal comma;
        ASSERT_TRUE(comma.CLocaleSet()) << "could not build a comma locale with localedef";
        std::snprintf(probe, sizeof probe, "%g", 0.5);
        after = WriteNurbsSurfaceText(tube.get());
        EXPECT_EQ(FormatNumberPoint(0.1), "0.100000001490116");
    }
    EXPECT_STREQ(probe, "0,5");
    EXPECT_EQ(after, before);
    EXPECT_NE(before.find('.'), std::string::npos);
}

TEST(NurbsSceneText, OurReaderGivesTheSameSurfaceBack)
{
    const SurfaceHandle tube = tube_fixture::TubeSurface(12, 7.0);
    const SurfaceHandle back = ReadNurbsSurfaceText(WriteNurbsSurfaceText(tube.get()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->order1, tube->order1);
    EXPECT_EQ(back->order2, tube->order2);
    EXPECT_EQ(back->vertex_count1, tube->vertex_count1);
    EXPECT_EQ(back->vertex_count2, tube->vertex_count2);
    EXPECT_EQ(back->kind, 1);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double scale = 1.0;
    for (int i = 0; i < tube->vertex_count1 * tube->vertex_count2 * 3; ++i)
        scale = std::max(scale, std::abs(tube->coefs[i]));
    const double u0 = tube->knots1[tube->order1 - 1], u1 = tube->knots1[tube->vertex_count1];
    const double v0 = tube->knots2[tube->order2 - 1], v1 = tube->knots2[tube->vertex_count2];
    for (int i = 0; i < 500; ++i) {
        const double u = u0 + (u1 - u0) * unit(rng), v = v0 + (v1 - v0) * unit(rng);
        const auto a = At(*tube, u, v), b = At(*back, u, v);
        for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(a[c], b[c], 1e-6 * scale) << u << " " << v;
    }

    // A rational surface reads back rational, with its weights.
    const SurfaceHandle square = UnitSquare(2);
    const SurfaceHandle squareBack = ReadNurbsSurfaceText(WriteNurbsSurfaceText(square.get()));
    EXPECT_EQ(squareBack->kind, 2);
    for (double u : {0.0, 0.3, 1.0}) {
        const auto a = At(*square, u, 0.6), b = At(*squareBack, u, 0.6);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(a[c], b[c], 1e-7);
    }
}

TEST(NurbsSceneText, TheReaderRefusesMalformedTexts)
{
    const std::string good = WriteNurbsSurfaceText(UnitSquare().get());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::vector<std::string> bad = {
        "",
        good.substr(0, good.size() / 2),
        replaced("uOrder 2", "uOrder x"),
        replaced("uKnot [\n0,0,1,1", "uKnot [\n0,0,1"),         // knot count
        replaced("vKnot [\n0,0,1,1", "vKnot [\n1,0,0,1"),       // decreasing knots
        replaced("1 1 0\n]", "1 1\n]"),                          // 11 values
        replaced("uDimension 2", "uDimension 1"),                // fewer points than the order
        replaced("0 1 0,", "0 nan 0,"),
        good + "extra",
    };
    for (const std::string& text : bad)
        EXPECT_THROW(ReadNurbsSurfaceText(text), NurbsTextError) << text;
    EXPECT_THROW(WriteNurbsSurfaceText(nullptr), std::invalid_argument);
}
