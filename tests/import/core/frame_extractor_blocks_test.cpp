// A multi-frame JPEG-baseline recording (made with DCMTK) extracted on the thread pool,
// again and again: every 8 x 8 block of every frame file (decoded by libjpeg-turbo's
// djpeg) is compared with DCMTK's dcmdjpeg decode of the stored stream. The frame files
// are lossy re-encodes, so a block may differ by the re-encoding; a block decoded from
// anything but the stored stream (leftover memory, another frame) differs far more.
#include "import/core/frame_extractor.h"
#include "import/core/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// Fresh allocations are filled (up to 1 MiB, not the first 4 KiB only), so that a read
// of memory never written shows as garbage here as it does on a used heap.
extern "C" const char* __asan_default_options() { return "max_malloc_fill_size=1048576"; }
#endif

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::TempDir;

namespace {

constexpr int kFrames = 24;
constexpr int kWidth = 96;
constexpr int kHeight = 80;

int Shell(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()); }

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Ultrasound-like frames (a smooth base with speckle) moving from frame to frame.
std::string RecordingPixels()
{
    std::mt19937 random(43);
    std::normal_distribution<double> speckle(0.0, 6.0);
    std::string pixels;
    for (int f = 0; f < kFrames; ++f)
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double base = 110 + 80 * std::sin(0.09 * (x + 3 * f)) * std::cos(0.07 * (y - 2 * f));
                pixels.push_back(static_cast<char>(std::clamp(int(std::lround(base + speckle(random))), 0, 255)));
            }
    return pixels;
}

// The recording as DCMTK writes it in JPEG baseline; false when the tools fail.
bool WriteRecording(const fs::path& dir)
{
    std::ofstream(dir / "pixels.raw", std::ios::binary) << RecordingPixels();
    std::ofstream dump(dir / "rec.dump");
    dump << "(0002,0010) UI =LittleEndianExplicit\n(0008,0016) UI =UltrasoundMultiframeImageStorage\n"
            "(0008,0018) UI [1.2.826.0.1.3680043.2.1143.43.1]\n(0028,0002) US 1\n"
            "(0028,0004) CS [MONOCHROME2]\n(0028,0008) IS ["
         << kFrames << "]\n(0028,0010) US " << kHeight << "\n(0028,0011) US " << kWidth
         << "\n(0028,0100) US 8\n(0028,0101) US 8\n(0028,0102) US 7\n(0028,0103) US 0\n"
         << "(7fe0,0010) OB =" << (dir / "pixels.raw").string() << "\n";
    dump.close();
    return Shell("dump2dcm +E -g " + (dir / "rec.dump").string() + " " + (dir / "native.dcm").string()) == 0 &&
           Shell("dcmcjpeg +eb " + (dir / "native.dcm").string() + " " + (dir / "rec.dcm").string()) == 0;
}

// dcmdjpeg's decode of the stored frames: the native pixel data at the end of its output.
std::vector<std::uint8_t> ReferenceFrames(const fs::path& dir)
{
    if (Shell("dcmdjpeg " + (dir / "rec.dcm").string() + " " + (dir / "plain.dcm").string()) != 0)
        return {};
    const std::string plain = ReadAll(dir / "plain.dcm");
    const std::size_t size = std::size_t(kFrames) * kWidth * kHeight;
    if (plain.size() < size)
        return {};
    return std::vector<std::uint8_t>(plain.end() - std::ptrdiff_t(size), plain.end());
}

// djpeg's decode of a frame file (P5, 8 bits).
std::vector<std::uint8_t> DecodedFrameFile(const fs::path& jpg, const fs::path& pgm)
{
    if (Shell("djpeg -pnm -outfile " + pgm.string() + " " + jpg.string()) != 0)
        return {};
    std::ifstream in(pgm, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    in.get();
    if (magic != "P5" || width != kWidth || height != kHeight || maxval != 255)
        return {};
    std::vector<std::uint8_t> samples(std::size_t(width) * height);
    in.read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size()));
    return in ? samples : std::vector<std::uint8_t>{};
}

// The blocks of a frame whose root-mean-square difference or largest difference exceed
// what re-encoding at the frame files' quality gives (on this speckle, measured: at
// most about 5 and 21); a block of other content differs by tens on average.
std::string BlocksBeyondReencoding(const std::vector<std::uint8_t>& ours, const std::uint8_t* reference)
{
    constexpr double kMaxRms = 8.0;
    constexpr int kMaxDifference = 40;
    std::ostringstream report;
    for (int by = 0; by < kHeight; by += 8)
        for (int bx = 0; bx < kWidth; bx += 8) {
            double squares = 0;
            int largest = 0;
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x) {
                    const int d = int(ours[std::size_t(y) * kWidth + x]) - reference[std::size_t(y) * kWidth + x];
                    squares += double(d) * d;
                    largest = std::max(largest, std::abs(d));
                }
            const double rms = std::sqrt(squares / 64);
            if (rms > kMaxRms || largest > kMaxDifference)
                report << "block (" << bx / 8 << ", " << by / 8 << "): rms " << rms << ", largest " << largest << "; ";
        }
    return report.str();
}

} // namespace

TEST(FrameExtractorBlocksTest, EveryBlockOfEveryFrameMatchesAnIndependentDecodeOnThePool)
{
    TempDir tmp;
    if (Shell("command -v dump2dcm && command -v dcmcjpeg && command -v dcmdjpeg && command -v djpeg") != 0)
        GTEST_SKIP() << "DCMTK or djpeg missing";
    ASSERT_TRUE(WriteRecording(tmp.path()));
    const std::vector<std::uint8_t> reference = ReferenceFrames(tmp.path());
    ASSERT_EQ(reference.size(), std::size_t(kFrames) * kWidth * kHeight);

    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const fs::path out = tmp.path() / ("out" + std::to_string(run));
        fs::create_directories(out);
        FrameExtractor extractor(OpenDicomFrameSource((tmp.path() / "rec.dcm").string()), NewBaselineJpegWriter(),
                                 out.string() + "/", "IVUS");
        extractor.SetThreads(4);
        ASSERT_EQ(extractor.Run(), kFrames);
        EXPECT_TRUE(extractor.DamagedFrames().empty());
        int badFrames = 0;
        for (int f = 0; f < kFrames; ++f) {
            const std::vector<std::uint8_t> ours = DecodedFrameFile(out / ("IVUS." + std::to_string(f) + ".jpg"),
                                                                    out / "frame.pgm");
            ASSERT_EQ(ours.size(), std::size_t(kWidth) * kHeight) << "frame " << f;
            const std::string blocks = BlocksBeyondReencoding(ours, reference.data() + std::size_t(f) * kWidth * kHeight);
            if (!blocks.empty())
                ++badFrames;
            EXPECT_EQ(blocks, "") << "frame " << f;
        }
        EXPECT_EQ(badFrames, 0);
    }
}
