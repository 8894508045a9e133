// The one frame-file reader: its pixels against the image library's decoder of the same
// files, its pixel layouts, its size limit and its refusals.
#include "study/frame_reader.h"

#include "import/core/temp_dir.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

using studyimport::testing::TempDir;

namespace {

cv::Mat Pattern(int channels)
{
    cv::Mat m(24, 40, channels == 1 ? CV_8UC1 : CV_8UC3);
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x) {
            if (channels == 1)
                m.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>((x * 6 + y * 3) % 256);
            else
                m.at<cv::Vec3b>(y, x) =
                    cv::Vec3b(static_cast<std::uint8_t>(x * 6), static_cast<std::uint8_t>(y * 10), 128);
        }
    return m;
}

// Largest difference between our bytes and the image library's matrix of the same layout.
int Worst(const FramePixels& ours, const cv::Mat& theirs)
{
    EXPECT_EQ(ours.width, theirs.cols);
    EXPECT_EQ(ours.height, theirs.rows);
    EXPECT_EQ(ours.channels, theirs.channels());
    EXPECT_EQ(ours.bytes.size(), theirs.total() * theirs.elemSize());
    int worst = 0;
    const cv::Mat c = theirs.isContinuous() ? theirs : theirs.clone();
    for (std::size_t i = 0; i < std::min(ours.bytes.size(), c.total() * c.elemSize()); ++i)
        worst = std::max(worst, std::abs(int(ours.bytes[i]) - int(c.data[i])));
    return worst;
}

} // namespace

TEST(FrameReader, DecodesEveryLayoutLikeTheImageLibrary)
{
    TempDir tmp;
    for (const int channels : {1, 3}) {
        SCOPED_TRACE(channels);
        const auto path = tmp.path() / "f.jpg";
        ASSERT_TRUE(cv::imwrite(path.string(), Pattern(channels)));
        // Same library underneath; colour upsampling may round differently by one.
        const int tolerance = channels == 1 ? 0 : 2;
        EXPECT_LE(Worst(ReadFrameFile(path, FramePixelFormat::AsStored), cv::imread(path.string(), cv::IMREAD_UNCHANGED)),
                  tolerance);
        EXPECT_LE(Worst(ReadFrameFile(path, FramePixelFormat::Bgr), cv::imread(path.string(), cv::IMREAD_COLOR)),
                  tolerance);
        EXPECT_LE(Worst(ReadFrameFile(path, FramePixelFormat::Grey), cv::imread(path.string(), cv::IMREAD_GRAYSCALE)),
                  0);

        // 0xAARRGGBB words in the machine's byte order.
        const FramePixels argb = ReadFrameFile(path, FramePixelFormat::Argb32);
        const cv::Mat expected = cv::imread(path.string(), cv::IMREAD_COLOR);
        ASSERT_EQ(argb.channels, 4);
        int worst = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x) {
                std::uint32_t p = 0;
                std::memcpy(&p, argb.bytes.data() + (static_cast<std::size_t>(y) * 40 + x) * 4, 4);
                const cv::Vec3b e = expected.at<cv::Vec3b>(y, x);  // B, G, R
                EXPECT_EQ(p >> 24, 0xFFu);
                worst = std::max({worst, std::abs(int((p >> 16) & 0xFF) - e[2]), std::abs(int((p >> 8) & 0xFF) - e[1]),
                                  std::abs(int(p & 0xFF) - e[0])});
            }
        EXPECT_LE(worst, tolerance);
    }
}

TEST(FrameReader, RefusesWhatIsNotAFrameFile)
{
    TempDir tmp;
    studyimport::testing::WriteFile(tmp.path() / "empty.jpg", "");
    studyimport::testing::WriteFile(tmp.path() / "text.jpg", "plain text, no JPEG markers");
    studyimport::testing::WriteFile(tmp.path() / "cut.jpg", std::string("\xFF\xD8\xFF\xC0\x00", 5));
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"missing.jpg", "cannot open "},
        {"empty.jpg", "empty file "},
        {"text.jpg", " is not a JPEG image: "},
        {"cut.jpg", " is not a JPEG image: "},
    };
    for (const auto& c : cases) {
        const auto path = tmp.path() / c.name;
        try {
            ReadFrameFile(path, FramePixelFormat::AsStored);
            ADD_FAILURE() << c.name << " was read";
        } catch (const FrameFileError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(c.reason), std::string::npos) << what;
            EXPECT_NE(what.find(path.string()), std::string::npos) << what;  // names the file
        }
    }
    EXPECT_THROW(DecodeFrameBytes({}, FramePixelFormat::Grey), FrameFileError);
}

// A header that asks for more than the limit is refused before any pixel is allocated;
// a frame at the limit's side still reads.
TEST(FrameReader, SizeLimitComesFromTheHeader)
{
    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", cv::Mat(8, 8, CV_8UC1, cv::Scalar(90)), jpeg));
    // The baseline frame header: FF C0, length, precision, then height and width.
    const unsigned char marker[] = {0xFF, 0xC0};
    const auto sof = std::search(jpeg.begin(), jpeg.end(), std::begin(marker), std::end(marker));
    ASSERT_NE(sof, jpeg.end());
    const auto setSize = [&](int width, int height) {
        std::vector<unsigned char> patched = jpeg;
        const std::size_t at = static_cast<std::size_t>(sof - jpeg.begin()) + 5;
        patched[at] = static_cast<unsigned char>(height >> 8);
        patched[at + 1] = static_cast<unsigned char>(height & 0xFF);
        patched[at + 2] = static_cast<unsigned char>(width >> 8);
        patched[at + 3] = static_cast<unsigned char>(width & 0xFF);
        return patched;
    };
    for (const auto& [w, h] : {std::pair{kMaxFrameSide + 1, 8}, std::pair{8, kMaxFrameSide + 1},
                              std::pair{kMaxFrameSide, kMaxFrameSide}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        try {
            DecodeFrameBytes(setSize(w, h), FramePixelFormat::Grey);
            ADD_FAILURE() << "accepted";
        } catch (const FrameFileError& e) {
            EXPECT_NE(std::string(e.what()).find("unsupported size"), std::string::npos) << e.what();
        }
    }
    // A wide frame within both limits decodes (the scan data is cut short: a warning).
    const FramePixels wide = DecodeFrameBytes(setSize(kMaxFrameSide, 8), FramePixelFormat::Grey);
    EXPECT_EQ(wide.width, kMaxFrameSide);
    EXPECT_EQ(wide.height, 8);
}
