// The JPEG decoder on hostile and damaged streams: crafted headers and
// coefficients must be refused or decoded without reading or computing out of
// bounds, damaged frames must say so, and unsupported processes must say which
// they are. Each crafted stream here is also a case of the decoder's fuzz
// corpus (tests/dicom/fuzz/jpeg_corpus).
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memory.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/jpegDct.h"
#include "jpeg_testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace Halvoran::Varnix::codecs;
using namespace jpegtest;

namespace
{


// Offset of the first entropy-coded byte after the first SOS segment.
std::size_t scanDataStart(const std::string& bytes)
{
    const std::size_t sos = findMarker(bytes, 0xDA);
    const std::size_t length = (static_cast<unsigned char>(bytes[sos + 2]) << 8) | static_cast<unsigned char>(bytes[sos + 3]);
    return sos + 2 + length;
}

std::string bytesOf(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

} // namespace

TEST(JpegSafety, SamplingFactorsThatDoNotDivideAreRefused)
{
    // 20 bytes: two components sampled 3x1 and 2x1. The second one would be
    // 2/3 the width of the image, and its copy into the image ran past it.
    const std::string crafted = bytesOf({0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0E, 0x08, 0x00, 0x10, 0x00, 0x10, 0x02, 0x01,
                                         0x31, 0x00, 0x02, 0x21, 0x00, 0xFF, 0xD9});
    EXPECT_EQ(messageOf([&] { decode(crafted); }),
              "JPEG sampling factors that do not divide the largest one are not supported");

    // Factors 3 and 1 divide: such a stream (written here by hand from a 1x1
    // stream) is decoded at its size.
    std::string bytes = encode(speckleFrame(24, 16, 1), L"1.2.840.10008.1.2.4.50");
    const std::size_t sof = findMarker(bytes, 0xC0);
    bytes[sof + 11] = 0x33; // the only component: 3x3
    const jpegSamples result = decode(bytes);
    EXPECT_EQ(result.m_width, 24u);
    EXPECT_EQ(result.m_height, 16u);
    EXPECT_EQ(result.m_values.size(), 24u * 16u);
}

TEST(JpegSafety, CraftedCoefficientsAndTablesDoNotOverflow)
{
    // A 12-bit stream coded with tables of 1 carries coefficients up to 15
    // bits; with its quantisation entries raised to 65535 the products of the
    // inverse transform exceeded 64 bits.
    std::string bytes = encode(speckleFrame(32, 16, 1, 12), L"1.2.840.10008.1.2.4.51", 0, 12);
    const std::size_t dqt = findMarker(bytes, 0xDB);
    ASSERT_EQ(static_cast<unsigned char>(bytes[dqt + 4]) >> 4, 1) << "16-bit entries";
    for (std::size_t k = 0; k < 128; ++k)
        bytes[dqt + 5 + k] = static_cast<char>(0xFF);
    const jpegSamples result = decode(bytes);
    ASSERT_EQ(result.m_values.size(), 32u * 16u);
    for (std::int32_t v : result.m_values)
        ASSERT_TRUE(v >= 0 && v <= 4095) << v;
}

TEST(JpegSafety, DamagedStreamsAreDecodedAsFarAsTheyGoAndSaySo)
{
    const jpegSamples source = speckleFrame(64, 64, 1);
    const std::string whole = encode(source, L"1.2.840.10008.1.2.4.50");
    const jpegSamples full = decode(whole);
    EXPECT_FALSE(full.m_damaged);

    // Without its EOI the stream is still whole.
    EXPECT_FALSE(decode(whole.substr(0, whole.size() - 2)).m_damaged);

    const std::size_t data = scanDataStart(whole);
    const std::size_t middle = data + (whole.size() - data) / 2;
    struct Case
    {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"cut off in the scan", whole.substr(0, middle)},
        {"EOI in the scan", whole.substr(0, middle) + bytesOf({0xFF, 0xD9})},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const jpegSamples cut = decode(c.bytes);
        EXPECT_TRUE(cut.m_damaged);
        ASSERT_EQ(cut.m_values.size(), full.m_values.size());
        // The first block row was decoded as in the whole stream.
        for (std::size_t i = 0; i < 64u * 8u; ++i)
            ASSERT_EQ(cut.m_values[i], full.m_values[i]) << i;
        // The bottom row was never reached: mid-grey.
        EXPECT_EQ(cut.m_values.back(), 128);
    }
}

TEST(JpegSafety, ACoefficientCodedPastItsBlockMarksTheFrameDamaged)
{
    // One 8 x 8 block, unit quantisation; DC codes: '0' = size 0; AC codes:
    // '0' = run 15 size 1, '10' = EOB. Three run-15 coefficients land at
    // zig-zag 16, 32 and 48; a fourth would land at 64, past the block.
    std::string header = bytesOf({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00});
    header += std::string(64, '\x01');
    header += bytesOf({0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00});
    header += bytesOf({0xFF, 0xC4, 0x00, 0x14, 0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00});
    header += bytesOf({0xFF, 0xC4, 0x00, 0x15, 0x10, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF1, 0x00});
    header += bytesOf({0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
    // 0 01 01 01 10 (then 1s): three coefficients and EOB.
    const jpegSamples whole = decode(header + bytesOf({0x2B, 0x7F, 0xFF, 0xD9}));
    EXPECT_FALSE(whole.m_damaged);
    // 0 01 01 01 01: the fourth coefficient is past the block (byte 0xFF stuffed).
    const jpegSamples past = decode(header + bytesOf({0x2A, 0xFF, 0x00, 0xFF, 0xD9}));
    EXPECT_TRUE(past.m_damaged);
    // What the block holds is decoded as without the stray coefficient.
    EXPECT_EQ(past.m_values, whole.m_values);
}

TEST(JpegSafety, StreamsWithoutScanDataAreRefused)
{
    const std::string whole = encode(speckleFrame(16, 16, 1), L"1.2.840.10008.1.2.4.50");
    const std::size_t sos = findMarker(whole, 0xDA);
    const std::string eoi = bytesOf({0xFF, 0xD9});
    for (const std::string& bytes : {whole.substr(0, sos) + eoi, whole.substr(0, scanDataStart(whole)) + eoi,
                                     whole.substr(0, scanDataStart(whole))})
        EXPECT_EQ(messageOf([&] { decode(bytes); }), "The JPEG stream holds no scan data");
}

TEST(JpegSafety, SequentialScanHeadersWithOtherBandValuesAreRead)
{
    // Some 12-bit extended-process recordings carry 0 (or other values) in
    // the band and approximation bytes of their scan headers; sequential
    // scans always hold the whole band.
    for (const bool twelve : {true, false})
    {
        const std::string bytes = twelve ? encode(speckleFrame(32, 24, 1, 12), L"1.2.840.10008.1.2.4.51", 100, 12)
                                         : encode(speckleFrame(32, 24, 3), L"1.2.840.10008.1.2.4.50", 100, 8,
                                                  false, false, true);
        const jpegSamples expected = decode(bytes);
        for (const std::string& band : {bytesOf({0, 0, 0}), bytesOf({1, 5, 0x21})})
        {
            std::string patched = bytes;
            patched.replace(scanDataStart(bytes) - 3, 3, band);
            const jpegSamples result = decode(patched);
            EXPECT_FALSE(result.m_damaged);
            EXPECT_EQ(result.m_values, expected.m_values);
        }
    }
}

TEST(JpegSafety, UnsupportedProcessesSayWhichTheyAre)
{
    const std::string bytes = encode(speckleFrame(16, 16, 1), L"1.2.840.10008.1.2.4.50");
    const std::size_t sof = findMarker(bytes, 0xC0);
    struct Case
    {
        int code;
        const char* message;
    };
    for (const Case c : {Case{0xC2, "Progressive JPEG is not supported"},
                         Case{0xC5, "Hierarchical JPEG is not supported"},
                         Case{0xC6, "Progressive hierarchical JPEG is not supported"},
                         Case{0xC9, "Arithmetic-coded JPEG is not supported"},
                         Case{0xCA, "Arithmetic-coded JPEG is not supported"}})
    {
        std::string patched = bytes;
        patched[sof + 1] = static_cast<char>(c.code);
        EXPECT_EQ(messageOf([&] { decode(patched); }), c.message) << std::hex << c.code;
        ptr<memory> block(new memory);
        block->assign(reinterpret_cast<const std::uint8_t*>(patched.data()), static_cast<std::uint32_t>(patched.size()));
        ptr<dataSet> set(new dataSet(ptr<baseObject>(new baseObject)));
        ptr<streamReader> reader(new streamReader(ptr<baseStream>(new memoryStream(block))));
        EXPECT_EQ(messageOf([&] { ptr<jpegCodec>(new jpegCodec)->readStream(reader, set, 0); }), c.message);
    }
}

TEST(JpegDct, Avx2InverseTransformGivesThePortableBytes)
{
    // Random blocks: sparse and dense, of the coefficient range of 8-bit
    // streams and far beyond it (crafted), with several tables.
    std::mt19937 random(77);
    std::int32_t coefficients[64];
    std::int32_t quant[64];
    std::uint8_t portable[8 * 12];
    std::uint8_t avx2[8 * 12];
    for (int round = 0; round < 20000; ++round)
    {
        const int range = round % 3 == 0 ? 1 << 20 : (round % 3 == 1 ? 2048 : 64);
        const int density = 1 + static_cast<int>(random() % 64);
        for (int k = 0; k < 64; ++k)
        {
            coefficients[k] = static_cast<int>(random() % 64) < density
                                  ? static_cast<std::int32_t>(random() % (2 * range + 1)) - range
                                  : 0;
            quant[k] = 1 + static_cast<std::int32_t>(random() % (round % 5 == 0 ? 65535 : 120));
        }
        std::fill(std::begin(portable), std::end(portable), 7);
        std::fill(std::begin(avx2), std::end(avx2), 7);
        jpeg::inverseDct8Portable(coefficients, quant, portable, 12);
        if (!jpeg::inverseDct8Avx2(coefficients, quant, avx2, 12))
            GTEST_SKIP() << "no AVX2 on this processor";
        ASSERT_TRUE(std::equal(std::begin(portable), std::end(portable), std::begin(avx2))) << round;
    }
}

TEST(JpegDct, Avx2ForwardTransformGivesThePortableCoefficients)
{
    std::mt19937 random(78);
    std::int32_t samples[64];
    float factors[64];
    std::int32_t portable[64];
    std::int32_t avx2[64];
    for (int round = 0; round < 20000; ++round)
    {
        // 8-bit and 12-bit level-shifted samples, smooth or noisy.
        const int half = round % 2 == 0 ? 128 : 2048;
        const int base = static_cast<int>(random() % (2 * half)) - half;
        for (int k = 0; k < 64; ++k)
            samples[k] = std::clamp(base + (round % 4 < 2 ? static_cast<int>(random() % 41) - 20
                                                          : static_cast<int>(random() % (2 * half)) - half),
                                    -half, half - 1);
        for (int k = 0; k < 64; ++k)
            factors[k] = 1.0f / static_cast<float>(8 * (1 + random() % 255));
        jpeg::forwardDctQuantisePortable(samples, factors, portable);
        if (!jpeg::forwardDctQuantiseAvx2(samples, factors, avx2))
            GTEST_SKIP() << "no AVX2 on this processor";
        ASSERT_TRUE(std::equal(std::begin(portable), std::end(portable), std::begin(avx2))) << round;
    }
}
