#include "import/core/jpeg_frame.h"

#include "import/core/temp_dir.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

using namespace studyimport;
using studyimport::testing::TempDir;

namespace {

TEST(JpegFrameTest, DecodesGreyAndColourLikeOpenCv)
{
    TempDir tmp;
    cv::Mat grey(24, 40, CV_8UC1);
    cv::Mat colour(24, 40, CV_8UC3);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            grey.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>((x * 6 + y * 3) % 256);
            colour.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<std::uint8_t>(x * 6),
                                                   static_cast<std::uint8_t>(y * 10), 128);
        }
    for (const cv::Mat& img : {grey, colour}) {
        const auto path = tmp.path() / "f.jpg";
        ASSERT_TRUE(cv::imwrite(path.string(), img));
        const cv::Mat expected = cv::imread(path.string(), cv::IMREAD_COLOR);
        DecodedFrame frame;
        std::string error;
        ASSERT_TRUE(DecodeFrameFile(path, frame, error)) << error;
        ASSERT_EQ(frame.width, 40);
        ASSERT_EQ(frame.height, 24);
        int worst = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x) {
                const std::uint32_t p = frame.pixels[static_cast<std::size_t>(y) * 40 + x];
                const cv::Vec3b e = expected.at<cv::Vec3b>(y, x); // B, G, R
                EXPECT_EQ(p >> 24, 0xFFu);
                worst = std::max({worst, std::abs(int((p >> 16) & 0xFF) - e[2]),
                                  std::abs(int((p >> 8) & 0xFF) - e[1]),
                                  std::abs(int(p & 0xFF) - e[0])});
            }
        // Same library underneath; colour upsampling may round differently by one.
        EXPECT_LE(worst, img.channels() == 1 ? 0 : 2);
    }
}

TEST(JpegFrameTest, ReportsMissingEmptyAndBrokenFiles)
{
    TempDir tmp;
    studyimport::testing::WriteFile(tmp.path() / "empty.jpg", "");
    studyimport::testing::WriteFile(tmp.path() / "text.jpg", "plain text, no JPEG markers");
    studyimport::testing::WriteFile(tmp.path() / "cut.jpg", std::string("\xFF\xD8\xFF\xC0\x00", 5));
    for (const char* name : {"missing.jpg", "empty.jpg", "text.jpg", "cut.jpg"}) {
        DecodedFrame frame;
        frame.width = 7;
        std::string error;
        EXPECT_FALSE(DecodeFrameFile(tmp.path() / name, frame, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(frame.width, 7) << name; // left untouched
    }
}

} // namespace
