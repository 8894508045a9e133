// Decoding of frame files: the window's decoder against the image library's, and what
// it does with files that are not JPEG images.
#include "analysis/ui/frame_image.h"

#include <QFile>
#include <QTemporaryDir>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

using namespace kestrova::analysis;

namespace {

cv::Mat Pattern(int channels)
{
    cv::Mat m(48, 64, channels == 1 ? CV_8UC1 : CV_8UC3);
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x) {
            if (channels == 1)
                m.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>((x * 4 + y * 2) & 0xFF);
            else
                m.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 5), 90);
        }
    return m;
}

} // namespace

TEST(FrameImage, DecodesLikeTheImageLibrary)
{
    QTemporaryDir dir;
    for (const int channels : {1, 3}) {
        SCOPED_TRACE(channels);
        const std::string path = (dir.path() + QStringLiteral("/f%1.jpg").arg(channels)).toStdString();
        ASSERT_TRUE(cv::imwrite(path, Pattern(channels), {cv::IMWRITE_JPEG_QUALITY, 95}));
        std::string error;
        const cv::Mat ours = DecodeJpegFile(QString::fromStdString(path), &error);
        ASSERT_FALSE(ours.empty()) << error;
        const cv::Mat theirs = cv::imread(path, cv::IMREAD_UNCHANGED);
        ASSERT_EQ(ours.type(), theirs.type());
        ASSERT_EQ(ours.size(), theirs.size());
        double worst = 0;
        cv::minMaxLoc(cv::abs(ours - theirs), nullptr, &worst);
        EXPECT_LE(worst, 2.0);

        const QImage image = MatToImage(ours);
        ASSERT_EQ(image.size(), QSize(64, 48));
        if (channels == 1) {
            EXPECT_EQ(qGray(image.pixel(10, 7)), ours.at<std::uint8_t>(7, 10));
        } else {
            const cv::Vec3b bgr = ours.at<cv::Vec3b>(7, 10);
            EXPECT_EQ(image.pixel(10, 7), qRgb(bgr[2], bgr[1], bgr[0]));
        }
    }
}

TEST(FrameImage, UnreadableFilesGiveAnEmptyFrameAndAReason)
{
    QTemporaryDir dir;
    const QString garbage = dir.path() + QStringLiteral("/garbage.jpg");
    QFile f(garbage);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a picture");
    f.close();
    struct Case {
        QString path;
    };
    for (const QString& path : {garbage, dir.path() + QStringLiteral("/missing.jpg")}) {
        std::string error;
        EXPECT_TRUE(DecodeJpegFile(path, &error).empty());
        EXPECT_FALSE(error.empty());
    }
    // A file cut short still decodes to its full size or is refused, never read past its end.
    std::vector<unsigned char> bytes;
    cv::imencode(".jpg", Pattern(3), bytes);
    bytes.resize(bytes.size() / 2);
    const cv::Mat half = DecodeJpegBytes(bytes.data(), bytes.size());
    EXPECT_TRUE(half.empty() || half.size() == cv::Size(64, 48));
    EXPECT_TRUE(DecodeJpegBytes(nullptr, 0).empty());
    EXPECT_TRUE(MatToImage(cv::Mat(4, 4, CV_32F)).isNull());
}
