#include "reconstruction/core/export_testutil.h"
#include "reconstruction/core/surface_export.h"
#include "reconstruction/tube_fixture.h"
#include "surface_file_testutil.h"
#include "spline/surface_eval.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

using namespace kestrova::reconstruction;

namespace {

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
    std::ifstream file(path);
    const surface_file_test::FileSurface s = surface_file_test::ReadSurfaceFile(file);
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
        const auto mine = surface_file_test::Evaluate(s, u, v);
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
        EXPECT_EQ(std::string(e.what()), "Unable to open output file.\n" + (missing / "outerSurface_7.vsf").string() +
                                              ": No such file or directory");
    }
}

TEST(SurfaceExport, ASetOfFilesIsWrittenWholeOrNotAtAll)
{
    const export_test::TempFolder folder;
    const SurfaceHandle outer = tube_fixture::TubeSurface(8, 10.0), inner = tube_fixture::TubeSurface(8, 5.0);
    const SurfaceFile files[] = {ComposeSurfaceFile(*outer.get(), Wall::Outer, 3, folder.path()),
                                 ComposeSurfaceFile(*inner.get(), Wall::Inner, 3, folder.path())};
    WriteSurfaceFiles(files);
    // The same bytes as the view's export of each wall.
    EXPECT_EQ(export_test::ReadBytes(folder.path() / "innerSurface_3.vsf"), files[1].text);
    const auto viewFolder = folder.path() / "view";
    std::filesystem::create_directory(viewFolder);
    EXPECT_EQ(export_test::ReadBytes(ExportSurfaceFile(outer.get(), Wall::Outer, 3, viewFolder)),
              export_test::ReadBytes(folder.path() / "outerSurface_3.vsf"));

    // The second file cannot be opened: the first is not written either, and a good
    // outer file of an earlier export stays as it was.
    const auto missing = folder.path() / "no such folder";
    const SurfaceFile broken[] = {ComposeSurfaceFile(*outer.get(), Wall::Outer, 4, folder.path()),
                                  ComposeSurfaceFile(*inner.get(), Wall::Inner, 4, missing)};
    try {
        WriteSurfaceFiles(broken);
        ADD_FAILURE() << "no error";
    } catch (const SurfaceExportError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to open output file.\n" + (missing / "innerSurface_4.vsf").string() +
                                              ": No such file or directory");
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "outerSurface_4.vsf"));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "outerSurface_3.vsf"));

    // A folder under the inner file's name: the good outer file of card 3 is kept.
    const std::string goodOuter = export_test::ReadBytes(folder.path() / "outerSurface_3.vsf");
    std::filesystem::remove(folder.path() / "innerSurface_3.vsf");
    std::filesystem::create_directory(folder.path() / "innerSurface_3.vsf");
    const SurfaceHandle wider = tube_fixture::TubeSurface(8, 14.0);
    const SurfaceFile blocked[] = {ComposeSurfaceFile(*wider.get(), Wall::Outer, 3, folder.path()),
                                   ComposeSurfaceFile(*inner.get(), Wall::Inner, 3, folder.path())};
    ASSERT_NE(blocked[0].text, goodOuter);
    EXPECT_THROW(WriteSurfaceFiles(blocked), SurfaceExportError);
    EXPECT_TRUE(export_test::ReadBytes(folder.path() / "outerSurface_3.vsf") == goodOuter)
        << "the good outer file is now " << export_test::ReadBytes(folder.path() / "outerSurface_3.vsf").size()
        << " bytes";
}

// Good surface files replaced on a full disk (a file-size limit in a child process):
// they come out unchanged, and the failure names the file and the system's reason.
TEST(SurfaceExport, GoodFilesSurviveAFullDisk)
{
    const export_test::TempFolder folder;
    const SurfaceHandle outer = tube_fixture::TubeSurface(8, 10.0), inner = tube_fixture::TubeSurface(8, 5.0);
    const SurfaceFile good[] = {ComposeSurfaceFile(*outer.get(), Wall::Outer, 7, folder.path()),
                                ComposeSurfaceFile(*inner.get(), Wall::Inner, 7, folder.path())};
    WriteSurfaceFiles(good);

    // A finer fit: the outer file fits under the limit, the inner one does not.
    const SurfaceHandle outer2 = tube_fixture::TubeSurface(8, 11.0), inner2 = tube_fixture::TubeSurface(40, 6.0);
    const SurfaceFile fresh[] = {ComposeSurfaceFile(*outer2.get(), Wall::Outer, 7, folder.path()),
                                 ComposeSurfaceFile(*inner2.get(), Wall::Inner, 7, folder.path())};
    const std::size_t limit = std::max(good[0].text.size(), fresh[0].text.size()) + 10;
    ASSERT_GT(fresh[1].text.size(), limit);
    for (int wall = 0; wall < 3; ++wall) {
        SCOPED_TRACE(wall);
        const child_process::Result r = child_process::Run([&]() -> std::string {
            if (!child_process::LimitFileSize(limit))
                return "cannot set up: setrlimit";
            try {
                if (wall == 2)
                    WriteSurfaceFiles(fresh);  // the command's pair
                else
                    ExportSurfaceFile(inner2.get(), Wall::Inner, 7, folder.path());  // the view's button
                return "no error";
            } catch (const SurfaceExportError& e) {
                return e.what();
            }
        });
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output, "Unable to write the output file.\n" + good[1].path.string() + ": File too large");
        EXPECT_TRUE(export_test::ReadBytes(good[0].path) == good[0].text);
        EXPECT_TRUE(export_test::ReadBytes(good[1].path) == good[1].text)
            << std::filesystem::file_size(good[1].path) << " bytes";
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()),
              2);
}
