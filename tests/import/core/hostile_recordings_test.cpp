// Recordings whose frame count does not agree with their pixel data, and JPEG frames
// over several fragments without an offset table: refused before the question naming
// what is wrong, or extracted in full with a word to the user.
#include "import/core/frame_extractor.h"
#include "import/core/dicom_bytes.h"
#include "import/core/temp_dir.h"
#include "study/frame_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::GreyFile;
using studyimport::testing::TempDir;
using studyimport::testing::WriteBytes;

namespace {

std::string MessageOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no exception";
}

std::int32_t ExtractAll(const std::string& path, const fs::path& out, int threads)
{
    FrameExtractor extractor(OpenDicomFrameSource(path), NewBaselineJpegWriter(), out.string() + "/", "LAO");
    extractor.SetThreads(threads);
    return extractor.Run();
}

} // namespace

// 8 x 8 pixels that state 2^31 - 1 frames made every decoding thread size 8 GB of frame
// positions. The file is refused before the question and before any frame, naming the
// count and the length of the pixel data; so is a count merely one too large.
TEST(HostileRecordings, AFrameCountBeyondThePixelDataIsRefused)
{
    TempDir tmp;
    struct Case {
        const char* frames;
        unsigned pixelBytes;
        const char* says;
    };
    for (const Case c : {Case{"2147483647", 64, "states 2147483647 frames, but its pixel data of 64 bytes hold 1 frame"},
                         Case{"3", 128, "states 3 frames, but its pixel data of 128 bytes hold 2 frames"}}) {
        SCOPED_TRACE(c.frames);
        const std::string path = WriteBytes(tmp.path() / "hostile.dcm", GreyFile(8, 8, c.frames, std::string(c.pixelBytes, '\x40')));
        const std::string summary = MessageOf([&] { ReadDicomSummary(path); });
        EXPECT_NE(summary.find("(0028,0008)"), std::string::npos) << summary;
        EXPECT_NE(summary.find(c.says), std::string::npos) << summary;
        EXPECT_EQ(MessageOf([&] { OpenDicomFrameSource(path); }), summary);
    }
    // A file that holds what it states is read as before.
    const std::string fine = WriteBytes(tmp.path() / "fine.dcm", GreyFile(8, 8, "2", std::string(128, '\x40')));
    EXPECT_EQ(ReadDicomSummary(fine).frameCount, 2);
    EXPECT_EQ(ReadDicomSummary(fine).frameCountWarning, "");
}

// An empty (0028,0008) took 1 of 6 frames without a word: the 6 frames of the pixel
// data are counted, said, and extracted. A missing one still means one frame.
TEST(HostileRecordings, AnEmptyFrameCountTakesThePixelDataFramesAndSaysSo)
{
    TempDir tmp;
    std::string pixels;
    for (int frame = 0; frame < 6; ++frame)
        pixels += std::string(16 * 12, static_cast<char>(40 * frame));
    const std::string empty = WriteBytes(tmp.path() / "empty.dcm", GreyFile(16, 12, "", pixels));
    const DicomSummary s = ReadDicomSummary(empty);
    EXPECT_EQ(s.frameCount, 6);
    EXPECT_EQ(s.frameCountWarning, "The number of frames (0028,0008) of the file is empty: the 6 frames that its "
                                   "pixel data of 1152 bytes hold are extracted.");
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        const fs::path out = tmp.path() / ("out" + std::to_string(threads));
        fs::create_directory(out);
        ASSERT_EQ(ExtractAll(empty, out, threads), 6);
        for (int frame = 0; frame < 6; ++frame) {
            const FramePixels p = ReadFrameFile(out / ("LAO." + std::to_string(frame) + ".jpg"), FramePixelFormat::Grey);
            ASSERT_EQ(p.bytes.size(), 16u * 12u);
            EXPECT_NEAR(p.bytes[100], 40 * frame, 1) << frame;
        }
    }

    const std::string missing = WriteBytes(tmp.path() / "missing.dcm", GreyFile(16, 12, nullptr, pixels));
    EXPECT_EQ(ReadDicomSummary(missing).frameCount, 1);
    EXPECT_EQ(ReadDicomSummary(missing).frameCountWarning, "");
    const fs::path one = tmp.path() / "one";
    fs::create_directory(one);
    EXPECT_EQ(ExtractAll(missing, one, 1), 1);

    // Empty, and no whole frame in the pixel data: refused naming the element.
    const std::string none = WriteBytes(tmp.path() / "none.dcm", GreyFile(16, 12, "", std::string(100, '\0')));
    const std::string text = MessageOf([&] { ReadDicomSummary(none); });
    EXPECT_NE(text.find("(0028,0008)"), std::string::npos) << text;
}

// A baseline JPEG recording of 6 frames that DCMTK cut into fragments of 1 KB with an
// empty offset table: every frame is extracted, each close to DCMTK's own decode. The
// speckle keeps each frame over several fragments and costs the re-encoded frame files
// some precision (about 35 dB); neighbouring frames differ by 30 grey levels, about 18 dB.
TEST(HostileRecordings, JpegFramesOverSeveralFragmentsAreAllExtracted)
{
    for (const char* tool : {"dump2dcm", "dcmcjpeg", "dcmdjpeg"})
        if (std::system((std::string("command -v ") + tool + " > /dev/null 2>&1").c_str()) != 0)
            GTEST_SKIP() << tool << " (the reference) is missing";
    TempDir tmp;
    const unsigned width = 64, height = 48, count = 6;
    std::string raw;
    unsigned seed = 11;
    for (unsigned i = 0; i < width * height * count; ++i) {
        seed = seed * 1103515245u + 12345u;
        const unsigned x = i % width, y = i / width % height, f = i / (width * height);
        raw.push_back(static_cast<char>((x * 3 + y * 2 + f * 30 + (seed >> 16) % 24) % 256));
    }
    const std::string native = WriteBytes(tmp.path() / "native.dcm", GreyFile(width, height, "6", raw));
    const fs::path jpeg = tmp.path() / "jpeg.dcm", back = tmp.path() / "back.dcm";
    ASSERT_EQ(std::system(("dcmcjpeg +eb +fs 1 -ot " + native + " " + jpeg.string()).c_str()), 0);
    ASSERT_EQ(std::system(("dcmdjpeg " + jpeg.string() + " " + back.string()).c_str()), 0);
    std::ifstream in(back, std::ios::binary);
    const std::string decoded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(decoded.size(), raw.size());
    const std::string theirs = decoded.substr(decoded.size() - raw.size());

    EXPECT_EQ(ReadDicomSummary(jpeg.string()).frameCount, 6);
    const fs::path out = tmp.path() / "out";
    fs::create_directory(out);
    ASSERT_EQ(ExtractAll(jpeg.string(), out, 2), 6);
    for (unsigned frame = 0; frame < count; ++frame) {
        const FramePixels p = ReadFrameFile(out / ("LAO." + std::to_string(frame) + ".jpg"), FramePixelFormat::Grey);
        ASSERT_EQ(p.bytes.size(), std::size_t{width} * height);
        double se = 0;
        for (std::size_t i = 0; i < p.bytes.size(); ++i) {
            const double d = double(p.bytes[i]) - static_cast<unsigned char>(theirs[frame * p.bytes.size() + i]);
            se += d * d;
        }
        const double mse = se / double(p.bytes.size());
        EXPECT_GE(mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse), 30.0) << "frame " << frame;
    }
}
