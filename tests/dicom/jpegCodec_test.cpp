#include "dicom/core/jpegTables.h"
#include "jpeg_testutil.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace Halvoran;
using namespace Halvoran::Varnix::codecs;
using namespace jpegtest;

namespace
{

const std::wstring baseline = L"1.2.840.10008.1.2.4.50";
const std::wstring extended = L"1.2.840.10008.1.2.4.51";
const std::wstring lossless = L"1.2.840.10008.1.2.4.70";

#define REQUIRE_TOOLS(...)                                                                                             \
    if (!haveTools({__VA_ARGS__}))                                                                                     \
    GTEST_SKIP() << "oracle tools missing"

// Runs djpeg on a JPEG file and reads its PNM output; stderr must stay empty.
std::optional<jpegSamples> djpeg(const std::string& dir, const std::string& jpegPath, const std::string& options = "")
{
    const std::string out = dir + "/djpeg.pnm";
    const std::string err = dir + "/djpeg.err";
    if (std::system(("djpeg " + options + " -pnm -outfile " + out + " " + jpegPath + " 2>" + err).c_str()) != 0)
        return std::nullopt;
    if (!readFile(err).empty())
        return std::nullopt;
    return readPnm(out);
}

// The quantisation step sizes of quality 100: a third of the standard tables,
// rounded to the nearest step.
std::string thirdTables(bool chroma)
{
    std::string text;
    for (int t = 0; t < (chroma ? 2 : 1); ++t)
    {
        for (int k = 0; k < 64; ++k)
        {
            const auto standard = t == 0 ? jpeg::quantTableK1[k] : jpeg::quantTableK2[k];
            text += std::to_string(std::max(1u, (standard + 1) / 3)) + ((k % 8 == 7) ? "\n" : " ");
        }
    }
    return text;
}

} // namespace

TEST(JpegEncoder, HeaderOfTheFrameExtractionCall)
{
    // An 8-bit grey 20 x 12 frame as the frame extraction writes it.
    const jpegSamples source = smoothFrame(20, 12, 1);
    const std::string bytes = encode(source, baseline, 100, 8);
    std::string expected("\xFF\xD8"
                         "\xFF\xC0\x00\x0B\x08\x00\x0C\x00\x14\x01\x00\x11\x00"
                         "\xFF\xDB\x00\x43\x00",
                         20);
    for (std::uint32_t k = 0; k < 64; ++k)
        expected.push_back(static_cast<char>((jpeg::quantTableK1[jpeg::zigZag[k]] + 1) / 3));
    expected += std::string("\xFF\xC4", 2);
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(bytes.substr(0, expected.size()), expected);
    // DHT holds DC table 0 then AC table 0; one SOS for component 0; EOI last.
    const std::size_t dht = expected.size() - 2;
    EXPECT_EQ(static_cast<unsigned char>(bytes[dht + 4]), 0x00);
    const std::size_t sos = bytes.find(std::string("\xFF\xDA\x00\x08\x01\x00\x00\x00\x3F\x00", 10));
    ASSERT_NE(sos, std::string::npos);
    EXPECT_EQ(bytes.find(std::string("\xFF\xDA", 2), sos + 2), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string("\xFF\xD9", 2));
    // Grey output carries no colour segment.
    EXPECT_EQ(bytes.find(std::string("\xFF\xEE", 2)), std::string::npos);
}

TEST(JpegEncoder, QualityScalesTheTables)
{
    struct qualityCase
    {
        int quality;
        std::uint32_t first;  // entry 0 of table 0 (16 in Table K.1)
        std::uint32_t last;   // entry 63 (99)
    };
    // 99 * 102 / 300 = 33.66 rounds to 34; 16 * 20 / 300 = 1.07 to 1.
    for (const qualityCase& c : {qualityCase{300, 16, 99}, qualityCase{100, 5, 33}, qualityCase{102, 5, 34},
                                 qualityCase{20, 1, 7}, qualityCase{0, 1, 1}, qualityCase{30000, 255, 255},
                                 qualityCase{40000, 255, 255}})
    {
        jpegCodec codec;
        codec.resetInternal(true, c.quality);
        EXPECT_EQ(codec.m_quantizationTable[0][0], c.first) << c.quality;
        EXPECT_EQ(codec.m_quantizationTable[0][63], c.last) << c.quality;
    }
}

TEST(JpegEncoder, QuantisationTablesAsCjpegWritesThem)
{
    // cjpeg -quality q scales the standard tables by (200 - 2q) % and rounds
    // to the nearest step; our quality 3 (200 - 2q) must give the same DQT
    // segments, luminance and chrominance.
    REQUIRE_TOOLS("cjpeg");
    const std::string dir = scratchDir("cjpeg-tables");
    const jpegSamples source = speckleFrame(16, 16, 3);
    writePnm(dir + "/src.ppm", source);
    // The DQT segments' payloads, in stream order.
    const auto tables = [](const std::string& bytes) {
        std::string payload;
        for (std::size_t at = findMarker(bytes, 0xDB); at != std::string::npos && at < bytes.size();
             at = bytes.find(std::string("\xFF\xDB", 2), at + 2))
        {
            const std::size_t length = (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
            payload += bytes.substr(at + 4, length - 2);
        }
        return payload;
    };
    for (int q : {50, 66, 75, 83, 90, 95, 97})
    {
        ASSERT_TRUE(run("cjpeg -quality " + std::to_string(q) + " -sample 1x1 -outfile " + dir + "/theirs.jpg " + dir +
                        "/src.ppm"));
        jpegSamples ybr = source;
        ybr.m_colorSpace = "YBR_FULL";
        const std::string ours = encode(ybr, baseline, 3 * (200 - 2 * q), 8, false, false, true);
        // Ours: one segment per table; cjpeg's: one or two.
        std::string theirs = tables(readFile(dir + "/theirs.jpg"));
        EXPECT_EQ(tables(ours), theirs) << "quality " << q;
    }
}

TEST(JpegEncoder, MatchesIndependentEncoderWithTheSameTables)
{
    REQUIRE_TOOLS("cjpeg", "djpeg");
    const std::string dir = scratchDir("same-tables");
    writeFile(dir + "/q1", thirdTables(false));
    for (std::uint32_t channels : {1u, 3u})
    {
        const jpegSamples source = speckleFrame(64, 48, channels);
        writePnm(dir + "/src.pnm", source);
        // -quality 50 leaves the given tables unscaled; -rgb keeps R, G, B.
        ASSERT_TRUE(run("cjpeg -quality 50 -qtables " + dir + "/q1 -qslots 0 -sample 1x1,1x1,1x1 -dct int " +
                        (channels == 3 ? "-rgb " : "") + "-outfile " + dir + "/theirs.jpg " + dir + "/src.pnm"));
        writeFile(dir + "/ours.jpg", encode(source, baseline, 100, 8));
        const auto theirs = djpeg(dir, dir + "/theirs.jpg");
        const auto ours = djpeg(dir, dir + "/ours.jpg");
        ASSERT_TRUE(theirs && ours) << channels;
        // Within 2 levels; a coefficient lying within float rounding of a
        // half step may be quantised one step apart, which moves one block
        // by a few levels more.
        std::size_t beyond = 0;
        for (std::size_t i = 0; i < ours->m_values.size(); ++i)
            beyond += std::abs(ours->m_values[i] - theirs->m_values[i]) > 2 ? 1 : 0;
        EXPECT_LE(beyond, 64u) << channels;
        EXPECT_LE(maxDifference(*theirs, *ours), 8) << channels;
    }
}

TEST(JpegEncoder, QualityOfTheFrameExtraction)
{
    struct frameCase
    {
        jpegSamples source;
        double minimum;
    };
    for (const frameCase& c : {frameCase{speckleFrame(128, 96, 1), 30.5}, frameCase{smoothFrame(128, 96, 1), 40.0},
                               frameCase{smoothFrame(50, 30, 3), 40.0}})
    {
        const jpegSamples decoded = decode(encode(c.source, baseline, 100, 8));
        EXPECT_GT(psnr(c.source, decoded), c.minimum);
    }
}

TEST(JpegEncoder, RgbFramesKeepTheirColours)
{
    // A red frame must come out red from standard decoders.
    REQUIRE_TOOLS("djpeg");
    const std::string dir = scratchDir("rgb");
    jpegSamples red;
    red.m_width = 16;
    red.m_height = 16;
    red.m_channels = 3;
    red.m_colorSpace = "RGB";
    for (int i = 0; i < 256; ++i)
        red.m_values.insert(red.m_values.end(), {200, 30, 30});
    const std::string bytes = encode(red, baseline, 100, 8);
    EXPECT_NE(bytes.find(std::string("\xFF\xEE\x00\x0E" "Adobe", 9)), std::string::npos);
    writeFile(dir + "/red.jpg", bytes);
    const auto decoded = djpeg(dir, dir + "/red.jpg");
    ASSERT_TRUE(decoded);
    EXPECT_LE(maxDifference(red, *decoded), 2);

    // Our decoder reports the components as RGB.
    const jpegSamples ours = decode(bytes);
    EXPECT_EQ(ours.m_colorSpace, "RGB");
    EXPECT_LE(maxDifference(red, ours), 2);

    // YBR output is unchanged: no colour segment, tables 1 for chroma.
    jpegSamples ybr = red;
    ybr.m_colorSpace = "YBR_FULL";
    const std::string ybrBytes = encode(ybr, baseline, 100, 8);
    EXPECT_EQ(ybrBytes.find(std::string("\xFF\xEE", 2)), std::string::npos);
    EXPECT_EQ(decode(ybrBytes).m_colorSpace, "YBR_FULL");
}

TEST(JpegEncoder, WrittenFilesOpenInStandardDecoders)
{
    REQUIRE_TOOLS("djpeg", "img2dcm", "dcmdjpeg");
    const std::string dir = scratchDir("open");
    struct openCase
    {
        jpegSamples source;
        bool subSampled;
        bool interleaved;
    };
    for (const openCase& c : {openCase{smoothFrame(45, 27, 1), false, false},
                              openCase{smoothFrame(45, 27, 3), false, false},
                              openCase{smoothFrame(45, 27, 3), false, true},
                              openCase{smoothFrame(48, 32, 3), true, true}})
    {
        jpegSamples source = c.source;
        if (source.m_channels == 3)
            source.m_colorSpace = "YBR_FULL";
        const std::string bytes = encode(source, baseline, 100, 8, c.subSampled, c.subSampled, c.interleaved);
        writeFile(dir + "/ours.jpg", bytes);
        const auto viaDjpeg = djpeg(dir, dir + "/ours.jpg");
        ASSERT_TRUE(viaDjpeg);
        const jpegSamples ours = decode(bytes);
        const jpegSamples oursComparable = source.m_channels == 3 ? ybrToRgb(ours) : ours;
        if (!c.subSampled)
        {
            EXPECT_LE(maxDifference(oursComparable, *viaDjpeg), source.m_channels == 3 ? 3 : 2);
        }
        ASSERT_TRUE(run("img2dcm -i JPEG " + dir + "/ours.jpg " + dir + "/ours.dcm"));
        const std::string err = dir + "/dcmdjpeg.err";
        ASSERT_EQ(std::system(("dcmdjpeg " + dir + "/ours.dcm " + dir + "/plain.dcm 2>" + err).c_str()), 0);
        EXPECT_TRUE(readFile(err).empty()) << readFile(err);
    }
}

TEST(JpegDecoder, MatchesDjpegOnIndependentStreams)
{
    REQUIRE_TOOLS("cjpeg", "djpeg");
    const std::string dir = scratchDir("decode");
    const jpegSamples grey = speckleFrame(37, 29, 1, 8, 3);
    const jpegSamples colour = speckleFrame(37, 29, 3, 8, 4);
    writePnm(dir + "/grey.pgm", grey);
    writePnm(dir + "/colour.ppm", colour);
    struct decodeCase
    {
        std::string input;
        std::string options;
        int tolerance;
    };
    for (const decodeCase& c :
         {decodeCase{"grey.pgm", "", 2}, decodeCase{"grey.pgm", "-quality 95", 2},
          decodeCase{"grey.pgm", "-optimize", 2}, decodeCase{"grey.pgm", "-restart 1", 2},
          decodeCase{"grey.pgm", "-restart 3B", 2}, decodeCase{"colour.ppm", "-sample 1x1", 3},
          decodeCase{"colour.ppm", "-rgb", 2}, decodeCase{"colour.ppm", "-sample 2x2 -restart 2B", 3},
          decodeCase{"colour.ppm", "-sample 2x1", 3}})
    {
        ASSERT_TRUE(run("cjpeg " + c.options + " -outfile " + dir + "/in.jpg " + dir + "/" + c.input));
        const auto theirs = djpeg(dir, dir + "/in.jpg", "-nosmooth -dct int");
        ASSERT_TRUE(theirs);
        jpegSamples ours = decode(readFile(dir + "/in.jpg"));
        if (ours.m_colorSpace == "YBR_FULL")
            ours = ybrToRgb(ours);
        EXPECT_LE(maxDifference(ours, *theirs), c.tolerance) << c.input << " " << c.options;
    }
}

TEST(JpegDecoder, MatchesDcmtkOnEightAndTwelveBitStreams)
{
    REQUIRE_TOOLS("dump2dcm", "dcmcjpeg", "dcmdjpeg");
    const std::string dir = scratchDir("dcmtk");
    struct dcmtkCase
    {
        std::uint32_t bits;
        std::uint32_t channels;
        std::string options;
    };
    for (const dcmtkCase& c : {dcmtkCase{8, 1, "+eb"}, dcmtkCase{12, 1, "+ee"}, dcmtkCase{8, 3, "+eb +s4"},
                               dcmtkCase{8, 3, "+eb +cr"}, dcmtkCase{8, 3, "+eb +s2"}})
    {
        const jpegSamples source = speckleFrame(40, 24, c.channels, c.bits, c.bits + c.channels);
        ASSERT_TRUE(writeNativeDicom(dir + "/native.dcm", source, c.bits));
        ASSERT_TRUE(run("dcmcjpeg " + c.options + " " + dir + "/native.dcm " + dir + "/jpeg.dcm"));
        ASSERT_TRUE(run("dcmdjpeg +cn " + dir + "/jpeg.dcm " + dir + "/back.dcm"));
        const std::string back = readFile(dir + "/back.dcm");
        const std::size_t unit = c.bits > 8 ? 2 : 1;
        const std::size_t count = source.m_values.size();
        ASSERT_GE(back.size(), count * unit);
        jpegSamples theirs = source;
        const std::size_t start = back.size() - count * unit;
        for (std::size_t i = 0; i < count; ++i)
        {
            const auto lowByte = static_cast<unsigned char>(back[start + i * unit]);
            theirs.m_values[i] = unit == 1 ? lowByte
                                           : lowByte | (static_cast<unsigned char>(back[start + i * unit + 1]) << 8);
        }
        const jpegSamples ours = decode(streamInDicom(readFile(dir + "/jpeg.dcm")));
        ASSERT_EQ(ours.m_width, source.m_width);
        // DCMTK writes its +cr frames with the components R, G, B.
        if (c.options.find("+cr") != std::string::npos)
        {
            EXPECT_EQ(ours.m_colorSpace, "RGB");
        }
        if (c.options.find("+s2") == std::string::npos)
        {
            EXPECT_LE(maxDifference(ours, theirs), 2) << c.options << " " << c.bits << " " << c.channels;
            continue;
        }
        // Half-width chroma: the luminance matches; the chroma differs by
        // the upsampling (ours repeats samples, DCMTK interpolates).
        for (std::size_t i = 0; i < count; i += 3)
            ASSERT_LE(std::abs(ours.m_values[i] - theirs.m_values[i]), 2) << i;
    }
}

TEST(JpegDecoder, LosslessPredictorsAreExact)
{
    REQUIRE_TOOLS("dump2dcm", "dcmcjpeg");
    const std::string dir = scratchDir("lossless");
    for (std::uint32_t bits : {8u, 12u})
    {
        const jpegSamples source = speckleFrame(33, 17, 1, bits, bits);
        ASSERT_TRUE(writeNativeDicom(dir + "/native.dcm", source, bits));
        for (int predictor = 1; predictor <= 7; ++predictor)
        {
            ASSERT_TRUE(run("dcmcjpeg +el +sv " + std::to_string(predictor) + " " + dir + "/native.dcm " + dir +
                            "/lossless.dcm"));
            const jpegSamples ours = decode(streamInDicom(readFile(dir + "/lossless.dcm")));
            EXPECT_EQ(ours.m_values, source.m_values) << bits << " bits, predictor " << predictor;
        }
    }
    // Three components, interleaved.
    const jpegSamples colour = speckleFrame(21, 13, 3, 8, 5);
    ASSERT_TRUE(writeNativeDicom(dir + "/colour.dcm", colour, 8));
    ASSERT_TRUE(run("dcmcjpeg +el +sv 6 " + dir + "/colour.dcm " + dir + "/colourLossless.dcm"));
    EXPECT_EQ(decode(streamInDicom(readFile(dir + "/colourLossless.dcm"))).m_values, colour.m_values);
}

TEST(JpegEncoder, LosslessRoundTripIsExact)
{
    struct losslessCase
    {
        jpegSamples source;
        std::uint8_t bits;
        bool b2Complement;
    };
    jpegSamples constant = smoothFrame(19, 7, 1, 12);
    std::fill(constant.m_values.begin(), constant.m_values.end(), 1234);
    jpegSamples signedFrame = speckleFrame(23, 11, 1, 12, 9);
    for (auto& v : signedFrame.m_values)
        v -= 2048;
    jpegSamples wide = speckleFrame(16, 9, 1, 16, 2);
    wide.m_values[0] = 0;
    wide.m_values[1] = 65535; // a difference of 32768 in magnitude
    for (const losslessCase& c : {losslessCase{speckleFrame(31, 19, 1, 12, 1), 12, false},
                                  losslessCase{speckleFrame(31, 19, 3, 8, 2), 8, false},
                                  losslessCase{constant, 12, false}, losslessCase{signedFrame, 12, true},
                                  losslessCase{wide, 16, false}})
    {
        const std::string bytes = encode(c.source, lossless, 100, c.bits, false, false, false, c.b2Complement);
        EXPECT_NE(bytes.find(std::string("\xFF\xC3", 2)), std::string::npos);
        const jpegSamples decoded = decode(bytes, c.b2Complement);
        EXPECT_EQ(decoded.m_values, c.source.m_values) << int(c.bits);
    }
}

TEST(JpegEncoder, ExtendedTwelveBitDecodesInDcmtk)
{
    REQUIRE_TOOLS("dump2dcm", "dcmcjpeg", "dcmdjpeg");
    const jpegSamples source = smoothFrame(40, 24, 1, 12);
    const std::string bytes = encode(source, extended, 100, 12);
    EXPECT_EQ(static_cast<unsigned char>(bytes[3]), 0xC1);
    // DQT entries are 16 bits wide at precision 12.
    const std::size_t dqt = bytes.find(std::string("\xFF\xDB", 2));
    ASSERT_NE(dqt, std::string::npos);
    EXPECT_EQ(static_cast<unsigned char>(bytes[dqt + 4]), 0x10);
    const jpegSamples decoded = decode(bytes);
    EXPECT_GT(psnr(source, decoded, 4095), 45.0);
}

TEST(JpegDecoder, StaysWithinOneOfTheRecordedDecodesAndOfDjpeg)
{
    // tests/data/dicom/jpeg: streams made by cjpeg at several qualities and
    // subsamplings, and by DCMTK (8-bit grey and YBR, 12-bit extended); their
    // decodes by the codec's earlier, float-exact 64-bit transform are kept in
    // reference/. Every sample now stays within 1 of those, and the luminance
    // of the 8-bit streams within 1 of djpeg's accurate integer transform.
    const std::string folder = KESTROVA_TEST_DATA "/dicom/jpeg/";
    const bool haveDjpeg = haveTools({"djpeg"});
    const std::string dir = scratchDir("recorded");
    int files = 0;
    for (const char* name : {"grey_q50", "grey_q83", "grey_q95", "grey_77x45_q90", "colour444_q90", "colour422_q75",
                             "colour420_q95", "colour420_restart", "dcmtk_grey_baseline", "dcmtk_ybr422",
                             "dcmtk_extended12"})
    {
        SCOPED_TRACE(name);
        const std::string stream = readFile(folder + name + ".jpg");
        const jpegSamples ours = decode(stream);
        EXPECT_FALSE(ours.m_damaged);
        const auto recorded = readPnm(folder + "reference/" + name + (ours.m_channels == 1 ? ".pgm" : ".ppm"));
        ASSERT_TRUE(recorded);
        EXPECT_LE(maxDifference(ours, *recorded), 1);
        ++files;
        if (!haveDjpeg || ours.m_precision != 8)
            continue;
        const auto luminance = djpeg(dir, folder + name + ".jpg", "-nosmooth -dct int -grayscale");
        ASSERT_TRUE(luminance);
        jpegSamples y = ours;
        y.m_channels = 1;
        y.m_values.clear();
        for (std::size_t i = 0; i < ours.m_values.size(); i += ours.m_channels)
            y.m_values.push_back(ours.m_values[i]);
        EXPECT_LE(maxDifference(y, *luminance), 1);
    }
    EXPECT_EQ(files, 11);
}

TEST(JpegEncoder, SizeAndQualityAsTheEarlierFloatEncoder)
{
    // Sizes and PSNRs (against the source, decoded by this codec) that the
    // codec's earlier single-precision AAN encoder gave for these frames:
    // the integer transform keeps each size within 2 % and loses at most
    // 0.05 dB. The standard tables are those of that encoder; for quality
    // 100 the figures are the integer encoder's once the scaled tables were
    // rounded to the nearest step instead of down (files about 2 % smaller,
    // 0.02-0.12 dB lower), as the float encoder's were within those bounds.
    struct Case
    {
        const char* name;
        jpegSamples frame;
        std::wstring syntax;
        int quality;
        std::uint8_t bits;
        bool subSampled;
        bool interleaved;
        std::size_t size;
        double psnr;
    };
    jpegSamples ybr = speckleFrame(96, 64, 3);
    ybr.m_colorSpace = "YBR_FULL";
    const Case cases[] = {
        {"speckle 512 grey", speckleFrame(512, 512, 1), baseline, 100, 8, false, false, 80603, 32.2083},
        {"speckle 512 RGB", speckleFrame(512, 512, 3), baseline, 100, 8, false, true, 241984, 32.2055},
        {"smooth 512 grey, standard tables", smoothFrame(512, 512, 1), baseline, 300, 8, false, false, 8562, 45.9705},
        {"speckle 77 x 45 grey", speckleFrame(77, 45, 1), baseline, 100, 8, false, false, 1344, 32.1195},
        {"speckle 96 x 64 YBR 4:2:0", ybr, baseline, 100, 8, true, true, 2465, 27.3224},
        {"speckle 64 x 64 12-bit", speckleFrame(64, 64, 1, 12), L"1.2.840.10008.1.2.4.51", 100, 12, false, false, 3554,
         56.0354},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string bytes =
            encode(c.frame, c.syntax, c.quality, c.bits, c.subSampled, c.subSampled, c.interleaved);
        EXPECT_NEAR(static_cast<double>(bytes.size()), static_cast<double>(c.size), 0.02 * c.size);
        EXPECT_GE(psnr(c.frame, decode(bytes), (1 << c.bits) - 1), c.psnr - 0.05);
    }
}
