#include "import/core/folder_import.h"

#include "import/core/recording_progress.h"
#include "import/core/temp_dir.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <set>

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::ReadFile;
using studyimport::testing::RecordingProgress;
using studyimport::testing::TempDir;
using studyimport::testing::WriteFile;

namespace {

// A small valid JPEG image told apart from the others by a comment segment holding `tag`.
std::string Jpeg(const std::string& tag)
{
    std::vector<unsigned char> bytes;
    cv::imencode(".jpg", cv::Mat(8, 8, CV_8UC1, cv::Scalar(tag.size() * 20 % 256)), bytes);
    const std::size_t len = tag.size() + 2;
    std::string comment = {'\xFF', '\xFE', static_cast<char>(len >> 8), static_cast<char>(len & 0xFF)};
    comment += tag;
    std::string jpeg(bytes.begin(), bytes.end());
    return jpeg.insert(2, comment); // right after the start-of-image marker
}

std::set<std::string> FileNames(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

TEST(NaturalSortTest, OrdersNamesAsAPersonWould)
{
    // Each list is in the expected order; sorting any permutation must restore it.
    const std::vector<std::vector<std::string>> orders = {
        {"img1.jpg", "img2.jpg", "img10.jpg"},
        {"IMG2.jpg", "img10.JPG"},
        {"a.jpg", "a1.jpg", "a2b.jpg", "a10.jpg", "b.jpg"},
        {"frame_9_end.jpg", "frame_10.jpg", "frame_10_a.jpg"},
        {"x1.jpg", "x01.jpg", "x001.jpg", "x2.jpg"},
        {"s1e10.jpg", "s2e1.jpg", "s10e1.jpg"},
        {"99999999999999999999.jpg", "100000000000000000000.jpg"},
        {"Img1.jpg", "img1.jpg"},
    };
    for (const auto& order : orders) {
        std::vector<std::string> names(order.rbegin(), order.rend());
        std::sort(names.begin(), names.end(), NaturalLess);
        EXPECT_EQ(names, order);
        for (const auto& n : order)
            EXPECT_FALSE(NaturalLess(n, n)) << n;
    }
}

class FolderImportTest : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path source = tmp.path() / "images";
    fs::path target = tmp.path() / "cache" / "tmp" / "LAO";
};

TEST_F(FolderImportTest, CopiesJpegFilesInNaturalOrder)
{
    WriteFile(source / "img10.jpg", Jpeg("ten"));
    WriteFile(source / "img2.JPG", Jpeg("two"));
    WriteFile(source / "img1.jpg", Jpeg("one"));
    WriteFile(source / "notes.txt", "not an image");
    WriteFile(source / "img3.jpeg", "other extension");
    WriteFile(source / ".img0.jpg", "hidden");
    fs::create_directories(source / "folder.jpg");

    RecordingProgress progress;
    const FolderImportResult r = ImportImageFolder(source, target, "LAO.", &progress);

    EXPECT_EQ(r.frameCount, 3);
    EXPECT_TRUE(r.failures.empty());
    EXPECT_EQ(FileNames(target), (std::set<std::string>{"LAO.0.jpg", "LAO.1.jpg", "LAO.2.jpg"}));
    EXPECT_EQ(ReadFile(target / "LAO.0.jpg"), Jpeg("one"));
    EXPECT_EQ(ReadFile(target / "LAO.1.jpg"), Jpeg("two"));
    EXPECT_EQ(ReadFile(target / "LAO.2.jpg"), Jpeg("ten"));
    EXPECT_EQ(progress.text, "Copying files");
    EXPECT_EQ(progress.maximum, 3);
    EXPECT_EQ(progress.steps, 3);
    EXPECT_EQ(progress.begins, 1);
    EXPECT_EQ(progress.ends, 1);
}

TEST_F(FolderImportTest, ReplacesOldFramesAndKeepsOtherFiles)
{
    for (int k = 0; k < 5; ++k)
        WriteFile(target / ("IVUS." + std::to_string(k) + ".jpg"), "old");
    WriteFile(target / "readme.txt", "keep");
    WriteFile(source / "single.jpg", Jpeg("new"));

    const FolderImportResult r = ImportImageFolder(source, target, "IVUS.");

    EXPECT_EQ(r.frameCount, 1);
    EXPECT_TRUE(r.failures.empty());
    EXPECT_EQ(FileNames(target), (std::set<std::string>{"IVUS.0.jpg", "readme.txt"}));
    EXPECT_EQ(ReadFile(target / "IVUS.0.jpg"), Jpeg("new"));
}

TEST_F(FolderImportTest, FolderWithoutImagesEmptiesWorkingFolder)
{
    fs::create_directories(source);
    WriteFile(source / "a.png", "png");
    WriteFile(target / "RAO.0.jpg", "old");

    RecordingProgress progress;
    const FolderImportResult r = ImportImageFolder(source, target, "RAO.", &progress);

    EXPECT_EQ(r.frameCount, 0);
    EXPECT_TRUE(r.failures.empty());
    EXPECT_TRUE(FileNames(target).empty());
    EXPECT_EQ(progress.maximum, 0);
    EXPECT_EQ(progress.ends, 1);
}

TEST_F(FolderImportTest, FailedCopyLeavesNoGapAndIsReported)
{
    for (const char* name : {"f1.jpg", "f2.jpg", "f3.jpg", "f4.jpg"})
        WriteFile(source / name, Jpeg(name));
    // f2 fails after leaving a partial file behind.
    const FrameFileCopier copier = [](const fs::path& from, const fs::path& to,
                                      std::error_code& ec) {
        if (from.filename() == "f2.jpg") {
            WriteFile(to, "partial");
            ec = std::make_error_code(std::errc::io_error);
            return false;
        }
        return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    };

    RecordingProgress progress;
    const FolderImportResult r = ImportImageFolder(source, target, "LAO.", &progress, copier);

    EXPECT_EQ(r.frameCount, 3);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].file.filename(), "f2.jpg");
    EXPECT_NE(r.failures[0].reason.find("cannot copy"), std::string::npos);
    EXPECT_EQ(FileNames(target), (std::set<std::string>{"LAO.0.jpg", "LAO.1.jpg", "LAO.2.jpg"}));
    EXPECT_EQ(ReadFile(target / "LAO.0.jpg"), Jpeg("f1.jpg"));
    EXPECT_EQ(ReadFile(target / "LAO.1.jpg"), Jpeg("f3.jpg"));
    EXPECT_EQ(ReadFile(target / "LAO.2.jpg"), Jpeg("f4.jpg"));
    EXPECT_EQ(progress.steps, 4);

    // A failure on the last file leaves no partial file beyond the count.
    const FrameFileCopier lastFails = [](const fs::path& from, const fs::path& to,
                                         std::error_code& ec) {
        if (from.filename() == "f4.jpg") {
            WriteFile(to, "partial");
            ec = std::make_error_code(std::errc::no_space_on_device);
            return false;
        }
        return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    };
    const FolderImportResult r2 = ImportImageFolder(source, target, "LAO.", nullptr, lastFails);
    EXPECT_EQ(r2.frameCount, 3);
    EXPECT_EQ(FileNames(target), (std::set<std::string>{"LAO.0.jpg", "LAO.1.jpg", "LAO.2.jpg"}));
}

TEST_F(FolderImportTest, FilesThatAreNotJpegImagesAreReportedAndNotCopied)
{
    WriteFile(source / "img1.jpg", Jpeg("one"));
    WriteFile(source / "img2.jpg", "plain text under a JPEG name");
    WriteFile(source / "img3.jpg", "");
    WriteFile(source / "img4.jpg", Jpeg("four").substr(0, 30)); // header cut short
    WriteFile(source / "img5.jpg", Jpeg("five"));

    RecordingProgress progress;
    const FolderImportResult r = ImportImageFolder(source, target, "LAO.", &progress);

    EXPECT_EQ(r.frameCount, 2);
    EXPECT_EQ(FileNames(target), (std::set<std::string>{"LAO.0.jpg", "LAO.1.jpg"}));
    EXPECT_EQ(ReadFile(target / "LAO.0.jpg"), Jpeg("one"));
    EXPECT_EQ(ReadFile(target / "LAO.1.jpg"), Jpeg("five"));
    ASSERT_EQ(r.failures.size(), 3u);
    for (const FolderImportFailure& f : r.failures)
        EXPECT_NE(f.reason.find("not a JPEG image"), std::string::npos) << f.file << ": " << f.reason;
    EXPECT_EQ(r.failures[0].file.filename(), "img2.jpg");
    EXPECT_EQ(progress.steps, 5);

    // A folder of such files only is no recording.
    fs::remove(source / "img1.jpg");
    fs::remove(source / "img5.jpg");
    EXPECT_EQ(ImportImageFolder(source, target, "LAO.").frameCount, 0);
    EXPECT_TRUE(FileNames(target).empty());
}

TEST_F(FolderImportTest, MissingSourceIsReportedAfterEmptyingTarget)
{
    WriteFile(target / "LAO.0.jpg", "old");
    const FolderImportResult r = ImportImageFolder(source / "gone", target, "LAO.");
    EXPECT_EQ(r.frameCount, 0);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].reason.find("cannot list"), std::string::npos);
    EXPECT_TRUE(FileNames(target).empty());
}

TEST_F(FolderImportTest, WorkingFolderAsSourceDeletesNothing)
{
    WriteFile(target / "LAO.0.jpg", "frame");
    const FolderImportResult r = ImportImageFolder(target, target / ".", "LAO.");
    EXPECT_EQ(r.frameCount, 0);
    EXPECT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(ReadFile(target / "LAO.0.jpg"), "frame");
}

TEST_F(FolderImportTest, UncreatableWorkingFolderIsReported)
{
    WriteFile(source / "a.jpg", "a");
    WriteFile(tmp.path() / "blocker", "a file where the folder should be");
    const FolderImportResult r = ImportImageFolder(source, tmp.path() / "blocker" / "LAO", "LAO.");
    EXPECT_EQ(r.frameCount, 0);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].reason.find("cannot create"), std::string::npos);
}

} // namespace
