// DICOM recordings to numbered JPEG frame files. The fixtures (tests/data/import/dicom,
// made with DCMTK) are read with the DICOM toolkit; every written frame is decoded by
// libjpeg-turbo's djpeg and compared with DCMTK's dcmj2pnm rendering of the same frame.
#include "import/core/frame_extractor.h"
#include "import/core/temp_dir.h"
#include "study/frame_reader.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::TempDir;

namespace {

std::string Fixture(const std::string& name) { return std::string(KESTROVA_TEST_DATA "/import/dicom/") + name; }

struct Pnm {
    int width = 0, height = 0, channels = 0;
    std::vector<unsigned char> samples;
};

Pnm ReadPnm(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    Pnm p;
    in >> magic >> p.width >> p.height >> maxval;
    in.get();
    p.channels = magic == "P6" ? 3 : 1;
    p.samples.resize(std::size_t(p.width) * p.height * p.channels);
    in.read(reinterpret_cast<char*>(p.samples.data()), std::streamsize(p.samples.size()));
    EXPECT_TRUE(in.good() && maxval == 255) << path;
    return p;
}

// A numeric punctuation with a decimal comma, as a user's locale may have it.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

int Shell(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()); }

double Psnr(const Pnm& a, const Pnm& b)
{
    EXPECT_EQ(a.samples.size(), b.samples.size());
    double se = 0;
    for (std::size_t i = 0; i < std::min(a.samples.size(), b.samples.size()); ++i) {
        const double d = double(a.samples[i]) - b.samples[i];
        se += d * d;
    }
    const double mse = se / double(std::max<std::size_t>(1, a.samples.size()));
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::int32_t Extract(const std::string& fixture, const fs::path& out, std::vector<std::int32_t>* progress = nullptr)
{
    FrameExtractor extractor(OpenDicomFrameSource(Fixture(fixture)), NewBaselineJpegWriter(), out.string() + "/",
                             "LAO");
    FrameExtractor::Callbacks cb;
    if (progress)
        cb.progress = [progress](std::int32_t i) { progress->push_back(i); };
    return extractor.Run(cb);
}

TEST(FrameExtractorTest, HeaderSummaries)
{
    struct Case {
        const char* file;
        const char* name;
        std::int32_t frames;
        const char* birth; // as the toolkit reads a date
        const char* spacingText;
        double spacing;
        const char* angle;
    };
    const Case cases[] = {
        {"grey8_smooth.dcm", "Doe^John", 3, "1960-05-17", "0.25", 0.25, "-30.5"},
        {"grey8_big_endian.dcm", "Doe^John", 3, "1960-05-17", "0.25", 0.25, "-30.5"},
        {"grey8_implicit.dcm", "Doe^John", 3, "1960-05-17", "0.25", 0.25, "-30.5"},
        {"grey8_noisy.dcm", "Roe^Jane", 3, "1971-02-03", "", 0.0, ""},
        // No (0028,0008): one frame. An empty name stays empty.
        {"single_frame.dcm", "", 1, "2001-01-01", "1", 1.0, ""},
        {"grey12.dcm", "Deep^Twelve", 2, "1950-01-01", "", 0.0, ""},
        {"grey8_rle.dcm", "Doe^John", 3, "1960-05-17", "0.25", 0.25, "-30.5"},
        {"grey8_jpeg_baseline.dcm", "Doe^John", 3, "1960-05-17", "0.25", 0.25, "-30.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const DicomSummary s = ReadDicomSummary(Fixture(c.file));
        EXPECT_EQ(s.patientName, c.name);
        EXPECT_EQ(s.frameCount, c.frames);
        EXPECT_EQ(s.birthDate, c.birth);
        EXPECT_EQ(s.pixelSpacingText, c.spacingText);
        EXPECT_DOUBLE_EQ(s.pixelSpacing, c.spacing);
        EXPECT_EQ(s.positionerPrimaryAngle, c.angle);
    }
}

TEST(FrameExtractorTest, UnreadableOrUnsupportedFilesFailBeforeAnyExtraction)
{
    TempDir tmp;
    const fs::path garbage = tmp.path() / "garbage.dcm";
    std::ofstream(garbage) << "this is not a DICOM file at all, not even an old NEMA one";
    for (const std::string& path : {Fixture("grey8_jpegls.dcm"),
                                   (tmp.path() / "missing.dcm").string(), garbage.string()}) {
        SCOPED_TRACE(path);
        EXPECT_THROW(ReadDicomSummary(path), DicomImportError);
        EXPECT_THROW(OpenDicomFrameSource(path), DicomImportError);
    }
}

TEST(FrameExtractorTest, NumbersAreReadWithADecimalPointWhateverTheLocale)
{
    EXPECT_EQ(ParseFrameCount(""), 1);
    EXPECT_EQ(ParseFrameCount(" 40 "), 40);
    for (const char* bad : {"0", "-3", "4x", "abc"})
        EXPECT_THROW(ParseFrameCount(bad), DicomImportError) << bad;
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    EXPECT_DOUBLE_EQ(ParseDecimal("0.25"), 0.25);
    EXPECT_DOUBLE_EQ(ParseDecimal("1"), 1.0);
    EXPECT_DOUBLE_EQ(ParseDecimal(""), 0.0);
    EXPECT_THROW(ParseDecimal("abc"), DicomImportError);
    std::locale::global(previous);
}

TEST(FrameExtractorTest, FramesMatchTheReferenceRendering)
{
    struct Case {
        const char* file;
        int frames;
        const char* renderOptions; // of dcmj2pnm
        double minPsnr;
    };
    const Case cases[] = {
        {"grey8_smooth.dcm", 3, "", 40.0},
        {"grey8_big_endian.dcm", 3, "", 40.0},
        {"grey8_implicit.dcm", 3, "", 40.0},
        {"grey8_noisy.dcm", 3, "", 30.0},
        {"single_frame.dcm", 1, "", 40.0},
        {"grey12_window.dcm", 2, "+Wi 1", 40.0},
        {"grey12.dcm", 2, "", 35.0}, // shifted right by 4 against a full-range rescale
        {"rgb.dcm", 2, "", 40.0},
        {"grey8_rle.dcm", 3, "", 40.0},
        {"grey8_jpeg_baseline.dcm", 3, "", 40.0}, // dcmj2pnm decodes the same stored JPEG
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TempDir tmp;
        std::vector<std::int32_t> progress;
        ASSERT_EQ(Extract(c.file, tmp.path(), &progress), c.frames);
        // Progress before each frame, and once more for the end of the recording.
        EXPECT_EQ(progress.size(), std::size_t(c.frames) + 1);
        ASSERT_EQ(Shell("dcmj2pnm --all-frames " + std::string(c.renderOptions) + " " + Fixture(c.file) + " " +
                      (tmp.path() / "ref").string()), 0);
        for (int i = 0; i < c.frames; ++i) {
            const fs::path jpg = tmp.path() / ("LAO." + std::to_string(i) + ".jpg");
            ASSERT_TRUE(fs::exists(jpg)) << jpg;
            const fs::path decoded = tmp.path() / ("d" + std::to_string(i) + ".pnm");
            ASSERT_EQ(Shell("djpeg -pnm -outfile " + decoded.string() + " " + jpg.string()), 0);
            const char* ext = c.file == std::string("rgb.dcm") ? ".ppm" : ".pgm";
            const Pnm ours = ReadPnm(decoded), ref = ReadPnm(tmp.path() / ("ref." + std::to_string(i) + ext));
            EXPECT_EQ(ours.width, ref.width);
            EXPECT_EQ(ours.height, ref.height);
            EXPECT_EQ(ours.channels, ref.channels);
            EXPECT_GE(Psnr(ours, ref), c.minPsnr) << "frame " << i;
        }
        EXPECT_FALSE(fs::exists(tmp.path() / ("LAO." + std::to_string(c.frames) + ".jpg")));
    }
}

TEST(FrameExtractorTest, AStopLeavesTheFramesWrittenSoFar)
{
    TempDir tmp;
    FrameExtractor extractor(OpenDicomFrameSource(Fixture("grey8_smooth.dcm")), NewBaselineJpegWriter(),
                             tmp.path().string() + "/", "IVUS");
    FrameExtractor::Callbacks cb;
    cb.progress = [&](std::int32_t i) {
        if (i == 2)
            extractor.RequestStop(); // the frame being read is still completed
    };
    EXPECT_EQ(extractor.Run(cb), 3);
    TempDir tmp2;
    FrameExtractor early(OpenDicomFrameSource(Fixture("grey8_smooth.dcm")), NewBaselineJpegWriter(),
                         tmp2.path().string() + "/", "IVUS");
    early.RequestStop();
    EXPECT_EQ(early.Run(), 0);
    EXPECT_TRUE(fs::is_empty(tmp2.path()));
}

TEST(FrameExtractorTest, AFrameFileThatCannotBeWrittenIsAnError)
{
    TempDir tmp;
    FrameExtractor extractor(OpenDicomFrameSource(Fixture("grey8_smooth.dcm")), NewBaselineJpegWriter(),
                             (tmp.path() / "no-such-folder").string() + "/", "LAO");
    EXPECT_THROW(extractor.Run(), DicomImportError);
}

// A frame file that cannot be written fails the extraction; it leaves no part of itself,
// and the frame files that were there stay as they were.
TEST(FrameExtractorTest, AFrameFileThatFailsLeavesNoPartAndKeepsTheGoodFiles)
{
    const auto ReadAll = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    // A full disk (a limit on the size of the files written, in a child process) while a
    // new extraction replaces good frame files: the frame that does not fit leaves no
    // file behind, and the good frame files are not touched.
    TempDir tmp;
    FrameExtractor first(OpenDicomFrameSource(Fixture("grey8_smooth.dcm")), NewBaselineJpegWriter(),
                         tmp.path().string() + "/", "LAO");
    const std::int32_t frames = first.Run();
    ASSERT_GE(frames, 2);
    std::vector<std::string> good;
    for (std::int32_t i = 0; i < frames; ++i)
        good.push_back(ReadAll(tmp.path() / ("LAO." + std::to_string(i) + ".jpg")));
    fs::remove(tmp.path() / "LAO.1.jpg");
    const child_process::Result r = child_process::Run([&]() -> std::string {
        if (!child_process::LimitFileSize(100))
            return "cannot set up: setrlimit";
        FrameExtractor full(OpenDicomFrameSource(Fixture("grey8_smooth.dcm")), NewBaselineJpegWriter(),
                            tmp.path().string() + "/", "LAO");
        try {
            full.Run();
            return "no error";
        } catch (const DicomImportError& e) {
            return e.what();
        }
    });
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "The frame file " + tmp.path().string() + "/LAO.0.jpg cannot be written: File too large");
    for (std::int32_t i = 0; i < frames; ++i) {
        const fs::path file = tmp.path() / ("LAO." + std::to_string(i) + ".jpg");
        if (i == 1)
            EXPECT_FALSE(fs::exists(file));
        else
            EXPECT_TRUE(ReadAll(file) == good[std::size_t(i)]) << file;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), frames - 1);

    // Any writer: what it left of the failing frame goes too.
    struct HalfWriter : FrameFileWriter {
        void Write(const Frame8&, const std::string& path) override
        {
            std::ofstream(path, std::ios::binary) << "\xFF\xD8 half a frame";
            throw DicomImportError("No space left on device");
        }
    };
    TempDir tmp2;
    FrameExtractor half(OpenDicomFrameSource(Fixture("grey8_smooth.dcm")), std::make_unique<HalfWriter>(),
                        tmp2.path().string() + "/", "RAO");
    EXPECT_THROW(half.Run(), DicomImportError);
    EXPECT_TRUE(fs::is_empty(tmp2.path()));
}

// 12-bit angiograms are brought into 8 bits by their window (or by dropping the low bits),
// not clipped at 255: clipping would turn nearly the whole frame white.
TEST(FrameExtractorTest, TwelveBitFramesAreNotWhitenedByClipping)
{
    // (A recording with its own window is windowed as the reference renderer does it:
    // FramesMatchTheReferenceRendering.)
    for (const char* file : {"grey12.dcm"}) {
        SCOPED_TRACE(file);
        const std::optional<RawFrame> raw = OpenDicomFrameSource(Fixture(file))->ReadFrame(0);
        ASSERT_TRUE(raw);
        ASSERT_EQ(raw->highBit, 11);
        const auto whiteShare = [](const auto& samples) {
            std::size_t white = 0;
            for (const auto v : samples)
                white += v >= 255;
            return double(white) / double(samples.size());
        };
        ASSERT_GT(whiteShare(raw->samples), 0.5) << "the fixture must show what clipping does";

        TempDir tmp;
        ASSERT_GE(Extract(file, tmp.path()), 1);
        const FramePixels frame = ReadFrameFile(tmp.path() / "LAO.0.jpg", FramePixelFormat::Grey);
        const std::vector<int> grey(frame.bytes.begin(), frame.bytes.end());
        EXPECT_LT(whiteShare(grey), 0.2);
        const auto [lo, hi] = std::minmax_element(grey.begin(), grey.end());
        EXPECT_GT(*hi - *lo, 100) << "the frame keeps its contrast";
    }
}

TEST(FrameExtractorTest, DepthMapping)
{
    const auto map = [](int highBit, std::vector<std::int32_t> v, std::optional<VoiWindow> w) {
        RawFrame f;
        f.width = int(v.size());
        f.height = 1;
        f.highBit = highBit;
        f.samples = std::move(v);
        return MapToEightBits(f, w).samples;
    };
    using V = std::vector<std::uint8_t>;
    // 8-bit data passes unchanged (a window never touches it); out-of-range values clip.
    EXPECT_EQ(map(7, {0, 1, 128, 255, 300, -4}, VoiWindow{10, 5}), (V{0, 1, 128, 255, 255, 0}));
    // 12 bits without a window: shifted right by 4.
    EXPECT_EQ(map(11, {0, 15, 16, 2048, 4095}, std::nullopt), (V{0, 0, 1, 128, 255}));
    // With a window (centre 1500, width 1000): below, inside and above.
    const V w = map(11, {0, 1000, 1500, 2000, 4095}, VoiWindow{1500, 1000});
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[1], 0);
    EXPECT_NEAR(w[2], 128, 1);
    EXPECT_EQ(w[3], 255);
    EXPECT_EQ(w[4], 255);
}

TEST(FrameExtractorTest, FrameNamesIgnoreDotsInTheFolder)
{
    EXPECT_EQ(ExtractedFramePath("/opt/kestrova-2.1/cache/tmp/LAO/", "LAO", 12), "/opt/kestrova-2.1/cache/tmp/LAO/LAO.12.jpg");
    EXPECT_EQ(ExtractedFramePath("/x/", "frame.jpeg", 0), "/x/frame.0.jpeg");
}

} // namespace

namespace {

// The markers of a JPEG file, in order (entropy-coded data skipped: there 0xFF is always
// followed by 0x00 or a restart marker).
std::vector<unsigned char> Markers(const std::string& bytes)
{
    std::vector<unsigned char> markers;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) != 0xFF)
            continue;
        const unsigned char m = static_cast<unsigned char>(bytes[i + 1]);
        if (m != 0x00 && m != 0xFF && (m < 0xD0 || m > 0xD7))
            markers.push_back(m);
    }
    return markers;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(FrameExtractorTest, FramesAreBaselineJpegFilesOfTheRightComponents)
{
    struct Case {
        int channels;
        const char* djpegMagic;
    };
    for (const Case& c : {Case{1, "P5"}, Case{3, "P6"}}) {
        SCOPED_TRACE(c.channels);
        TempDir tmp;
        Frame8 frame;
        frame.width = 19;
        frame.height = 11;
        frame.channels = c.channels;
        for (int i = 0; i < frame.width * frame.height * frame.channels; ++i)
            frame.samples.push_back(static_cast<std::uint8_t>((i * 7) % 256));
        const fs::path jpg = tmp.path() / "f.jpg";
        NewBaselineJpegWriter()->Write(frame, jpg.string());
        const std::string bytes = ReadAll(jpg);
        ASSERT_GE(bytes.size(), 4u);
        const std::vector<unsigned char> markers = Markers(bytes);
        ASSERT_FALSE(markers.empty());
        EXPECT_EQ(markers.front(), 0xD8);
        EXPECT_EQ(markers.back(), 0xD9);
        // Exactly one frame header, and it is SOF0 (baseline DCT).
        int sof = 0;
        for (unsigned char m : markers) {
            if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
                ++sof;
                EXPECT_EQ(m, 0xC0);
            }
        }
        EXPECT_EQ(sof, 1);
        const std::size_t at = bytes.find("\xFF\xC0");
        ASSERT_NE(at, std::string::npos);
        ASSERT_GT(bytes.size(), at + 9);
        EXPECT_EQ(static_cast<unsigned char>(bytes[at + 4]), 8);           // precision
        EXPECT_EQ(static_cast<unsigned char>(bytes[at + 9]), c.channels); // components
        // An independent decoder reads it back at the frame's size and colour type.
        const fs::path decoded = tmp.path() / "f.pnm";
        ASSERT_EQ(Shell("djpeg -pnm -outfile " + decoded.string() + " " + jpg.string()), 0);
        const Pnm back = ReadPnm(decoded);
        EXPECT_EQ(back.width, frame.width);
        EXPECT_EQ(back.height, frame.height);
        EXPECT_EQ(back.channels, c.channels);
        EXPECT_EQ(ReadAll(decoded).substr(0, 2), c.djpegMagic);
    }
}

TEST(FrameExtractorTest, FramesOfOtherChannelCountsAreRefused)
{
    TempDir tmp;
    Frame8 frame;
    frame.width = 2;
    frame.height = 2;
    frame.channels = 2;
    frame.samples.assign(8, 0);
    EXPECT_THROW(NewBaselineJpegWriter()->Write(frame, (tmp.path() / "f.jpg").string()), DicomImportError);
}

namespace {

// The fixture with its frame 1 altered in place: the EOI marker written over the two
// bytes at `offsetInScan` bytes into the frame's scan data, or over its SOS marker
// when `offsetInScan` is negative.
fs::path WithFrameOneDamaged(const fs::path& folder, long offsetInScan)
{
    std::ifstream in(Fixture("grey8_jpeg_baseline.dcm"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string soi("\xFF\xD8\xFF", 3), sos("\xFF\xDA", 2);
    const std::size_t frame1 = bytes.find(soi, bytes.find(soi) + 3);
    const std::size_t scan = bytes.find(sos, frame1);
    EXPECT_NE(scan, std::string::npos);
    const std::size_t length = (static_cast<unsigned char>(bytes[scan + 2]) << 8) | static_cast<unsigned char>(bytes[scan + 3]);
    const std::size_t at = offsetInScan < 0 ? scan : scan + 2 + length + std::size_t(offsetInScan);
    bytes.replace(at, 2, "\xFF\xD9", 2);
    const fs::path path = folder / "damaged.dcm";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

} // namespace

TEST(FrameExtractorTest, DamagedFramesAreStoredAndNamed)
{
    TempDir tmp;
    const fs::path file = WithFrameOneDamaged(tmp.path(), 20);
    fs::create_directories(tmp.path() / "out");
    FrameExtractor extractor(OpenDicomFrameSource(file.string()), NewBaselineJpegWriter(),
                             (tmp.path() / "out").string() + "/", "IVUS");
    EXPECT_EQ(extractor.Run(), 3);
    EXPECT_EQ(extractor.DamagedFrames(), std::vector<std::int32_t>{1});
    EXPECT_EQ(DamagedFramesWarning(extractor.DamagedFrames()),
              "Frame 1 of the recording is damaged: it was stored as far as it could be decoded.");
    EXPECT_EQ(DamagedFramesWarning({3, 7, 9}),
              "Frames 3, 7 and 9 of the recording are damaged: they were stored as far as they could be decoded.");
    EXPECT_EQ(DamagedFramesWarning({}), "");

    // A frame without any scan data is refused, and the error names it.
    TempDir tmp2;
    const fs::path empty = WithFrameOneDamaged(tmp2.path(), -1);
    FrameExtractor refusing(OpenDicomFrameSource(empty.string()), NewBaselineJpegWriter(), tmp2.path().string() + "/",
                            "IVUS");
    try {
        refusing.Run();
        ADD_FAILURE() << "no error";
    } catch (const DicomImportError& e) {
        EXPECT_STREQ(e.what(), "Frame 1 cannot be read: The JPEG stream holds no scan data");
    }
    EXPECT_TRUE(fs::exists(tmp2.path() / "IVUS.0.jpg"));
}

TEST(FrameExtractorTest, SeveralThreadsWriteTheSameFilesInOrder)
{
    auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    for (const char* fixture : {"grey8_jpeg_baseline.dcm", "rgb.dcm", "grey12.dcm", "grey8_rle.dcm"}) {
        SCOPED_TRACE(fixture);
        TempDir one, four;
        FrameExtractor single(OpenDicomFrameSource(Fixture(fixture)), NewBaselineJpegWriter(), one.path().string() + "/",
                              "IVUS");
        single.SetThreads(1);
        FrameExtractor pooled(OpenDicomFrameSource(Fixture(fixture)), NewBaselineJpegWriter(),
                              four.path().string() + "/", "IVUS");
        pooled.SetThreads(4);
        std::vector<std::int32_t> progress;
        FrameExtractor::Callbacks cb;
        cb.progress = [&](std::int32_t i) {
            // Every earlier frame file is there before the progress of the next.
            for (std::int32_t k = 0; k < i; ++k)
                EXPECT_TRUE(fs::exists(four.path() / ("IVUS." + std::to_string(k) + ".jpg"))) << k;
            progress.push_back(i);
        };
        const std::int32_t n = single.Run();
        ASSERT_EQ(pooled.Run(cb), n);
        EXPECT_EQ(progress.size(), std::size_t(n) + 1);
        for (std::int32_t i = 0; i < n; ++i) {
            const std::string name = "IVUS." + std::to_string(i) + ".jpg";
            EXPECT_EQ(read(one.path() / name), read(four.path() / name)) << name;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(four.path()), fs::directory_iterator()), n);
    }

    // A stop ends after the frame being written; frames made ahead are not stored.
    TempDir stopped;
    FrameExtractor pooled(OpenDicomFrameSource(Fixture("grey8_smooth.dcm")), NewBaselineJpegWriter(),
                          stopped.path().string() + "/", "IVUS");
    pooled.SetThreads(4);
    FrameExtractor::Callbacks cb;
    cb.progress = [&](std::int32_t i) {
        if (i == 1)
            pooled.RequestStop();
    };
    EXPECT_EQ(pooled.Run(cb), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(stopped.path()), fs::directory_iterator()), 2);
}
