#include "reconstruction/core/export_testutil.h"
#include "reconstruction/core/surface_export.h"
#include "reconstruction/tube_fixture.h"
#include "spline/surface_eval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

using namespace kestrova::reconstruction;

namespace {

// An independent reader of the surface text file: the seven lines read as numbers, the
// surface evaluated by de Boor's algorithm of its own.
struct VsfSurface {
    int dim = 0, rational = 0, n1 = 0, k1 = 0, n2 = 0, k2 = 0;
    std::vector<double> t1, t2, coefs;

    static VsfSurface Read(const std::filesystem::path& file)
    {
        std::ifstream in(file);
        VsfSurface s;
        int type = 0, major = 0, minor = 0, extra = 0;
        in >> type >> major >> minor >> extra >> s.dim >> s.rational >> s.n1 >> s.k1;
        s.t1.resize(s.n1 + s.k1);
        for (double& t : s.t1)
            in >> t;
        in >> s.n2 >> s.k2;
        s.t2.resize(s.n2 + s.k2);
        for (double& t : s.t2)
            in >> t;
        s.coefs.resize(static_cast<std::size_t>(s.n1) * s.n2 * (s.dim + s.rational));
        for (double& c : s.coefs)
            in >> c;
        EXPECT_EQ(type, 200);
        EXPECT_TRUE(static_cast<bool>(in));
        return s;
    }

    // de Boor on one direction: the values of `width` doubles per control point.
    static std::vector<double> DeBoor(const std::vector<double>& t, int k, int n, double x,
                                      std::vector<std::vector<double>> d)
    {
        int span = k - 1;
        while (span + 1 < n && x >= t[span + 1])
            ++span;
        std::vector<std::vector<double>> p(d.begin() + (span - k + 1), d.begin() + span + 1);
        for (int r = 1; r < k; ++r)
            for (int j = k - 1; j >= r; --j) {
                const int i = span - k + 1 + j;
                const double denom = t[i + k - r] - t[i];
                const double a = denom > 0 ? (x - t[i]) / denom : 0.0;
                for (std::size_t c = 0; c < p[j].size(); ++c)
                    p[j][c] = (1 - a) * p[j - 1][c] + a * p[j][c];
            }
        return p[k - 1];
    }

    std::array<double, 3> At(double u, double v) const
    {
        const int w = dim + rational;
        std::vector<std::vector<double>> column;
        for (int j = 0; j < n2; ++j) {
            std::vector<std::vector<double>> row;
            for (int i = 0; i < n1; ++i) {
                const double* c = &coefs[(static_cast<std::size_t>(j) * n1 + i) * w];
                row.emplace_back(c, c + w);
            }
            column.push_back(DeBoor(t1, k1, n1, u, row));
        }
        const auto p = DeBoor(t2, k2, n2, v, column);
        const double weight = rational ? p[dim] : 1.0;
        return {p[0] / weight, p[1] / weight, p[2] / weight};
    }
};

double SixDigits(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return std::strtod(text, nullptr);
}

} // namespace

TEST(SurfaceExport, BothWallsOfCardSevenInOneFolderReplacedOnRepeat)
{
    const export_test::TempFolder folder;
    const SurfaceHandle outer = tube_fixture::TubeSurface(8, 10.0), inner = tube_fixture::TubeSurface(8, 5.0);
    EXPECT_EQ(ExportSurfaceFile(outer.get(), Wall::Outer, 7, folder.path()), folder.path() / "outerSurface_7.vsf");
    EXPECT_EQ(ExportSurfaceFile(inner.get(), Wall::Inner, 7, folder.path()), folder.path() / "innerSurface_7.vsf");
    const std::string first = export_test::ReadBytes(folder.path() / "outerSurface_7.vsf");
    EXPECT_EQ(first.rfind("200 1 0 0\n3 0\n", 0), 0u);
    // Exporting again replaces the file (a longer old file leaves nothing behind).
    {
        std::ofstream junk(folder.path() / "innerSurface_7.vsf");
        junk << std::string(first.size() * 3, 'x');
    }
    ExportSurfaceFile(inner.get(), Wall::Inner, 7, folder.path());
    const std::string innerText = export_test::ReadBytes(folder.path() / "innerSurface_7.vsf");
    EXPECT_EQ(innerText.find('x'), std::string::npos);
    ExportSurfaceFile(outer.get(), Wall::Outer, 7, folder.path());
    EXPECT_EQ(export_test::ReadBytes(folder.path() / "outerSurface_7.vsf"), first);
}

TEST(SurfaceExport, AnIndependentReaderFindsTheToolkitsSurface)
{
    const export_test::TempFolder folder;
    const SurfaceHandle outer = tube_fixture::TubeSurface(15, 12.0);
    const auto path = ExportSurfaceFile(outer.get(), Wall::Outer, 3, folder.path());
    const VsfSurface s = VsfSurface::Read(path);
    ASSERT_EQ(s.n1, outer->vertex_count1);
    ASSERT_EQ(s.n2, outer->vertex_count2);
    ASSERT_EQ(s.k1, outer->order1);
    ASSERT_EQ(s.dim, 3);
    ASSERT_EQ(s.rational, 0);
    // The file holds each value with the stream's six significant digits.
    for (std::size_t i = 0; i < s.coefs.size(); ++i)
        ASSERT_NEAR(s.coefs[i], SixDigits(outer->coefs[i]), 1e-12) << i;
    // Evaluated by the reader, the file gives the toolkit's points: exactly those of the
    // six-digit coefficients (1e-6), and the unrounded surface's within six digits.
    SurfaceHandle rounded(copy_surface(outer.get()));
    for (int i = 0; i < rounded->vertex_count1 * rounded->vertex_count2 * 3; ++i)
        rounded->coefs[i] = SixDigits(rounded->coefs[i]);
    for (int i = 0; i < rounded->vertex_count1 + rounded->order1; ++i)
        rounded->knots1[i] = SixDigits(rounded->knots1[i]);
    for (int i = 0; i < rounded->vertex_count2 + rounded->order2; ++i)
        rounded->knots2[i] = SixDigits(rounded->knots2[i]);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 300; ++i) {
        const double u = s.t1[s.k1 - 1] + (s.t1[s.n1] - s.t1[s.k1 - 1]) * unit(rng);
        const double v = s.t2[s.k2 - 1] + (s.t2[s.n2] - s.t2[s.k2 - 1]) * unit(rng);
        const auto mine = s.At(u, v);
        for (const spline_surface* surface : {rounded.get(), outer.get()}) {
            double derivs[3], normal[3];
            int l1 = 0, l2 = 0, status = 0;
            const double uv[2] = {u, v};
            s1421(surface, 0, uv, &l1, &l2, derivs, normal, &status);
            const double tolerance = surface == rounded.get() ? 1e-6 : 1e-5 * 100.0;
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(mine[c], derivs[c], tolerance) << u << " " << v;
        }
    }
}

TEST(SurfaceExport, NoSurfaceOrNoFileWritesNothing)
{
    const export_test::TempFolder folder;
    try {
        ExportSurfaceFile(nullptr, Wall::Inner, 7, folder.path());
        ADD_FAILURE() << "no error";
    } catch (const SurfaceExportError& e) {
        EXPECT_NE(std::string(e.what()).find("inner wall"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "innerSurface_7.vsf"));

    const SurfaceHandle outer = tube_fixture::TubeSurface(4, 3.0);
    const auto missing = folder.path() / "no such folder";
    try {
        ExportSurfaceFile(outer.get(), Wall::Outer, 7, missing);
        ADD_FAILURE() << "no error";
    } catch (const SurfaceExportError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to open output file.\n" + (missing / "outerSurface_7.vsf").string());
    }
}
