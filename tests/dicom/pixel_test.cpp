#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/stream.h"
#include "dicom/base/streamException.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dicomCodec.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace Halvoran::Varnix::codecs;
using namespace dicomtest;

namespace
{

std::string pixelPath(const std::string& name)
{
    return std::string(KESTROVA_TEST_DATA "/dicom/pixel/") + name;
}

ptr<dataSet> loadFile(const std::string& path, std::uint32_t loadLimit = 0xFFFFFFFFu)
{
    ptr<stream> file(new stream);
    file->openFile(path, std::ios_base::in);
    return codecFactory::getCodecFactory()->load(ptr<streamReader>(new streamReader(file)), loadLimit);
}

ptr<streamReader> readerOf(const std::string& bytes)
{
    ptr<memory> block(new memory);
    block->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    return ptr<streamReader>(new streamReader(ptr<baseStream>(new memoryStream(block))));
}

std::vector<std::int32_t> pixelsOf(const ptr<image>& decoded)
{
    std::uint32_t rowSize = 0, pixelSize = 0, channels = 0;
    ptr<handlers::imageHandler> handler = decoded->getDataHandler(false, &rowSize, &pixelSize, &channels);
    std::vector<std::int32_t> values(handler->getSize());
    if (!values.empty())
        std::memcpy(values.data(), handler->getMemoryBuffer(), values.size() * 4);
    return values;
}

enum class layout
{
    bytes,     // one byte per sample, interleaved
    words,     // little-endian 16-bit words, interleaved
    planar,    // one byte per sample, plane after plane
    ybr422,    // groups Y Y Cb Cr per pair of pixels
    packed12   // 12-bit samples packed least significant bits first
};

struct pixelCase
{
    const char* file;
    const char* raw;
    std::uint32_t frames, width, height, channels;
    layout form;
    std::uint32_t stored, highBit;
    bool bSigned;
    std::uint8_t depth;
    const char* colorSpace;
};

// What a frame must decode to, read from the raw pixel bytes by the
// layout's own rules.
std::vector<std::int32_t> expectedFrame(const std::string& raw, const pixelCase& c, std::uint32_t frame)
{
    const std::uint32_t samples = c.width * c.height * c.channels;
    const std::uint32_t mask = ((1u << (c.highBit + 1)) - 1) & ~((1u << (c.highBit + 1 - c.stored)) - 1);
    const auto finish = [&](std::uint32_t v) {
        v &= mask;
        if (c.bSigned && (v & (1u << c.highBit)))
            v |= ~((2u << c.highBit) - 1);
        return static_cast<std::int32_t>(v);
    };
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(raw.at(i)); };
    std::vector<std::int32_t> out(samples);
    switch (c.form)
    {
    case layout::bytes:
        for (std::uint32_t i = 0; i < samples; ++i)
            out[i] = finish(byteAt(std::size_t{frame} * samples + i));
        break;
    case layout::words:
        for (std::uint32_t i = 0; i < samples; ++i)
        {
            const std::size_t at = (std::size_t{frame} * samples + i) * 2;
            out[i] = finish(byteAt(at) | (byteAt(at + 1) << 8));
        }
        break;
    case layout::planar:
    {
        const std::uint32_t pixels = c.width * c.height;
        for (std::uint32_t p = 0; p < pixels; ++p)
            for (std::uint32_t ch = 0; ch < c.channels; ++ch)
                out[p * c.channels + ch] = finish(byteAt(std::size_t{frame} * samples + ch * pixels + p));
        break;
    }
    case layout::ybr422:
    {
        const std::uint32_t pairs = (c.width + 1) / 2;
        for (std::uint32_t y = 0; y < c.height; ++y)
            for (std::uint32_t x = 0; x < c.width; ++x)
            {
                const std::size_t group = (std::size_t{y} * pairs + x / 2) * 4;
                std::int32_t* pixel = &out[(y * c.width + x) * 3];
                pixel[0] = finish(byteAt(group + x % 2));
                pixel[1] = finish(byteAt(group + 2));
                pixel[2] = finish(byteAt(group + 3));
            }
        break;
    }
    case layout::packed12:
        for (std::uint32_t i = 0; i < samples; ++i)
        {
            // Every frame starts on a byte boundary.
            const std::size_t bit = std::size_t{frame} * ((samples * 12 + 7) / 8) * 8 + std::size_t{i} * 12;
            const std::uint32_t two = byteAt(bit / 8) | (byteAt(bit / 8 + 1) << 8);
            out[i] = finish((two >> (bit % 8)) & 0xFFF);
        }
        break;
    }
    return out;
}

const pixelCase nativeCases[] = {
    {"mono8.dcm", "mono8.raw", 3, 7, 5, 1, layout::bytes, 8, 7, false, 1, "MONOCHROME2"},
    {"mono12.dcm", "mono12.raw", 2, 6, 4, 1, layout::words, 12, 11, false, 3, "MONOCHROME2"},
    {"mono12hb15s.dcm", "mono12hb15s.raw", 1, 6, 4, 1, layout::words, 12, 15, true, 4, "MONOCHROME2"},
    {"mono16s.dcm", "mono16s.raw", 2, 5, 3, 1, layout::words, 16, 15, true, 4, "MONOCHROME2"},
    {"rgb.dcm", "rgb.raw", 2, 5, 3, 3, layout::bytes, 8, 7, false, 1, "RGB"},
    {"rgbplanar.dcm", "rgbplanar.raw", 2, 5, 3, 3, layout::planar, 8, 7, false, 1, "RGB"},
    {"ybr422.dcm", "ybr422.raw", 1, 4, 2, 3, layout::ybr422, 8, 7, false, 1, "YBR_FULL"},
    {"ybr422odd.dcm", "ybr422odd.raw", 1, 5, 2, 3, layout::ybr422, 8, 7, false, 1, "YBR_FULL"},
    {"packed12.dcm", "packed12.raw", 2, 5, 3, 1, layout::packed12, 12, 11, false, 3, "MONOCHROME2"},
    {"mono12be.dcm", "mono12.raw", 2, 6, 4, 1, layout::words, 12, 11, false, 3, "MONOCHROME2"},
    // RLE files made by DCMTK; the raw bytes are what DCMTK decodes them to.
    {"mono8.rle.dcm", "mono8.rle.raw", 3, 7, 5, 1, layout::bytes, 8, 7, false, 1, "MONOCHROME2"},
    {"mono12.rle.dcm", "mono12.rle.raw", 2, 6, 4, 1, layout::words, 12, 11, false, 3, "MONOCHROME2"},
    {"mono16s.rle.dcm", "mono16s.rle.raw", 2, 5, 3, 1, layout::words, 16, 15, true, 4, "MONOCHROME2"},
    {"rgb.rle.dcm", "rgb.rle.raw", 2, 5, 3, 3, layout::bytes, 8, 7, false, 1, "RGB"},
    {"rgbplanar.rle.dcm", "rgbplanar.rle.raw", 2, 5, 3, 3, layout::planar, 8, 7, false, 1, "RGB"},
};

class pixelFixture : public ::testing::TestWithParam<pixelCase>
{
};

} // namespace

// Every frame of every layout decodes to the samples of the raw bytes, with
// the pixel data loaded and left on the stream, in order and out of order.
TEST_P(pixelFixture, framesDecodeToTheRawSamples)
{
    const pixelCase& c = GetParam();
    const std::string raw = readFile(pixelPath(c.raw));
    for (const std::uint32_t loadLimit : {0xFFFFFFFFu, 64u})
    {
        SCOPED_TRACE(std::string(c.file) + (loadLimit == 64u ? " on demand" : " loaded"));
        ptr<dataSet> loaded = loadFile(pixelPath(c.file), loadLimit);
        for (std::uint32_t frame = 0; frame < c.frames; ++frame)
        {
            ptr<image> decoded = loaded->getImage(frame);
            ASSERT_TRUE(decoded);
            std::uint32_t width = 0, height = 0;
            decoded->getSize(&width, &height);
            EXPECT_EQ(width, c.width);
            EXPECT_EQ(height, c.height);
            EXPECT_EQ(decoded->getChannelsNumber(), c.channels);
            EXPECT_EQ(decoded->getDepth(), c.depth);
            EXPECT_EQ(decoded->getHighBit(), c.highBit);
            EXPECT_EQ(decoded->getColorSpace(), fromUtf8(c.colorSpace));
            EXPECT_EQ(pixelsOf(decoded), expectedFrame(raw, c, frame)) << "frame " << frame;
            double widthMm = 0, heightMm = 0;
            decoded->getSizeMm(&widthMm, &heightMm);
            EXPECT_DOUBLE_EQ(widthMm, c.width * 0.25);
            EXPECT_DOUBLE_EQ(heightMm, c.height * 0.5);
        }
        EXPECT_THROW(loaded->getImage(c.frames), dataSetImageDoesntExist);
        exceptionsManager::getTrailText();

        // The last frame first, then the one before it.
        ptr<dataSet> fresh = loadFile(pixelPath(c.file), loadLimit);
        const std::uint32_t last = c.frames - 1;
        EXPECT_EQ(pixelsOf(fresh->getImage(last)), expectedFrame(raw, c, last));
        if (last > 0)
        {
            EXPECT_EQ(pixelsOf(fresh->getImage(last - 1)), expectedFrame(raw, c, last - 1));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(dcmtkFixtures, pixelFixture, ::testing::ValuesIn(nativeCases),
                         [](const ::testing::TestParamInfo<pixelCase>& info) {
                             std::string name = info.param.file;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

namespace
{

// The pixel bytes one image gives through setImage.
std::string encode(const ptr<image>& source, const std::wstring& transferSyntax, const std::string& vr,
                   int allocatedBits, bool bInterleaved = true, bool bSubSampledX = false)
{
    ptr<memory> block(new memory);
    {
        ptr<streamWriter> writer(new streamWriter(ptr<baseStream>(new memoryStream(block))));
        ptr<dicomCodec> pCodec(new dicomCodec);
        pCodec->setImage(writer, source, transferSyntax, 0, vr, allocatedBits, bSubSampledX, false, bInterleaved,
                         false);
        writer->flush();
    }
    return std::string(reinterpret_cast<const char*>(block->data()), block->size());
}

ptr<image> makeImage(std::uint32_t width, std::uint32_t height, std::uint8_t depth, const std::wstring& colorSpace,
                     std::uint8_t highBit, const std::vector<std::int32_t>& values)
{
    ptr<image> made(new image);
    ptr<handlers::imageHandler> handler = made->create(width, height, depth, colorSpace, highBit);
    std::memcpy(handler->getMemoryBuffer(), values.data(), values.size() * 4);
    return made;
}

// A frame decoded by the codec from bytes, with the image tags of a small
// data set.
ptr<image> decode(const std::string& bytes, const std::wstring& transferSyntax, std::uint32_t width,
                  std::uint32_t height, std::uint32_t samplesPerPixel, const std::wstring& colorSpace,
                  std::uint32_t bitsAllocated, std::uint32_t bitsStored, std::uint32_t highBit,
                  const std::string& vr = "OB", std::uint32_t planar = 0, std::uint32_t pixelRepresentation = 0)
{
    ptr<dataSet> header(new dataSet(ptr<baseObject>(new baseObject)));
    header->setUnicodeString(0x0002, 0, 0x0010, 0, transferSyntax);
    header->setUnicodeString(0x0028, 0, 0x0004, 0, colorSpace);
    header->setUnsignedLong(0x0028, 0, 0x0002, 0, samplesPerPixel);
    header->setUnsignedLong(0x0028, 0, 0x0006, 0, planar);
    header->setUnsignedLong(0x0028, 0, 0x0011, 0, width);
    header->setUnsignedLong(0x0028, 0, 0x0010, 0, height);
    header->setUnsignedLong(0x0028, 0, 0x0100, 0, bitsAllocated);
    header->setUnsignedLong(0x0028, 0, 0x0101, 0, bitsStored);
    header->setUnsignedLong(0x0028, 0, 0x0102, 0, highBit);
    header->setUnsignedLong(0x0028, 0, 0x0103, 0, pixelRepresentation);
    ptr<dicomCodec> pCodec(new dicomCodec);
    return pCodec->getImage(header, readerOf(bytes), vr);
}

const std::wstring rle = L"1.2.840.10008.1.2.5";

std::string rleFrame(const std::vector<std::string>& segments)
{
    std::string frame(64, '\0');
    frame[0] = static_cast<char>(segments.size());
    std::uint32_t offset = 64;
    for (std::size_t i = 0; i < segments.size(); ++i)
    {
        for (int b = 0; b < 4; ++b)
            frame[4 * (i + 1) + b] = static_cast<char>((offset >> (8 * b)) & 0xFF);
        offset += static_cast<std::uint32_t>(segments[i].size());
        frame += segments[i];
    }
    return frame;
}

} // namespace

TEST(dicomCodecPixels, transferSyntaxAnswers)
{
    ptr<dicomCodec> pCodec(new dicomCodec);
    EXPECT_EQ(pCodec->getMaxHighBit("1.2.840.10008.1.2.4.50"), 15u);
    EXPECT_EQ(pCodec->suggestAllocatedBits(L"1.2.840.10008.1.2.1", 11), 12u);
    EXPECT_EQ(pCodec->suggestAllocatedBits(rle, 11), 16u);
    EXPECT_EQ(pCodec->suggestAllocatedBits(L"1.2.840.10008.1.2", 7), 8u);
    EXPECT_EQ(pCodec->suggestAllocatedBits(rle, 7), 8u);
}

// The segment coder: runs of 4 or more equal bytes, literal blocks of at
// most 128, odd segments padded, the header of one 8-bit plane.
TEST(dicomCodecPixels, rleWriterCodesRunsAndLiteralBlocks)
{
    ptr<image> flat = makeImage(8, 1, image::depthU8, L"MONOCHROME2", 7, std::vector<std::int32_t>(8, 77));
    EXPECT_EQ(toHex(encode(flat, rle, "OB", 8)), toHex(rleFrame({std::string("\xF9\x4D", 2)})));

    std::vector<std::int32_t> distinct(200);
    for (int i = 0; i < 200; ++i)
        distinct[i] = (i * 7) % 251 == ((i + 1) * 7) % 251 ? 0 : (i * 7) % 251;
    ptr<image> noRuns = makeImage(200, 1, image::depthU8, L"MONOCHROME2", 7, distinct);
    const std::string coded = encode(noRuns, rle, "OB", 8);
    ASSERT_EQ(coded.size(), 64u + 1 + 128 + 1 + 72);
    EXPECT_EQ(static_cast<std::uint8_t>(coded[64]), 127);
    EXPECT_EQ(static_cast<std::uint8_t>(coded[64 + 129]), 71);

    // Runs do not cross a row end; 3 equal bytes stay literal.
    ptr<image> rows = makeImage(5, 2, image::depthU8, L"MONOCHROME2", 7, {1, 1, 1, 2, 2, 2, 2, 2, 2, 2});
    EXPECT_EQ(toHex(encode(rows, rle, "OB", 8)),
              toHex(rleFrame({fromHex("040101010202FC02")})));
    // A segment of odd length ends with 0x80.
    ptr<image> pair = makeImage(2, 1, image::depthU8, L"MONOCHROME2", 7, {1, 2});
    EXPECT_EQ(toHex(encode(pair, rle, "OB", 8)), toHex(rleFrame({fromHex("01010280")})));
}

TEST(dicomCodecPixels, rleReaderSkipsControlByte128AndChecksTheHeader)
{
    const ptr<image> decoded =
        decode(rleFrame({fromHex("80020102" "03fe09")}), rle, 3, 2, 1, L"MONOCHROME2", 8, 8, 7);
    EXPECT_EQ(pixelsOf(decoded), (std::vector<std::int32_t>{1, 2, 3, 9, 9, 9}));

    // A 16-bit plane needs two segments; one, none, or an offset inside the
    // header are refused.
    const std::string segment = fromHex("05010203040506");
    EXPECT_THROW(decode(rleFrame({segment}), rle, 3, 2, 1, L"MONOCHROME2", 16, 16, 15), codecExceptionCorruptedFile);
    EXPECT_THROW(decode(rleFrame({}), rle, 3, 2, 1, L"MONOCHROME2", 8, 8, 7), codecExceptionCorruptedFile);
    std::string zeroOffset = rleFrame({segment});
    std::memset(&zeroOffset[4], 0, 4);
    EXPECT_THROW(decode(zeroOffset, rle, 3, 2, 1, L"MONOCHROME2", 8, 8, 7), codecExceptionCorruptedFile);
    EXPECT_THROW(decode(rleFrame({segment}), rle, 4, 2, 3, L"YBR_FULL_422", 8, 8, 7), codecExceptionCorruptedFile);
    // A segment that ends early.
    EXPECT_THROW(decode(rleFrame({fromHex("0501")}), rle, 3, 2, 1, L"MONOCHROME2", 8, 8, 7), streamExceptionEOF);
    exceptionsManager::getTrailText();
}

// Headers that cannot describe a frame end in a codec error, never in a
// read out of bounds or a huge allocation.
TEST(dicomCodecPixels, badImageTagsAreRefused)
{
    const std::string bytes(64, '\x11');
    struct badCase
    {
        std::uint32_t width, height, samples, allocated, stored, high;
        const wchar_t* colorSpace;
    };
    const badCase cases[] = {
        {0, 4, 1, 8, 8, 7, L"MONOCHROME2"},     // no columns
        {4, 0, 1, 8, 8, 7, L"MONOCHROME2"},     // no rows
        {4, 4, 1, 0, 0, 0, L"MONOCHROME2"},     // no bits allocated
        {4, 4, 1, 16, 0, 15, L"MONOCHROME2"},   // no bits stored
        {4, 4, 1, 32, 32, 31, L"MONOCHROME2"},  // high bit 31
        {4, 4, 1, 8, 8, 7, L"RGB"},             // RGB with one sample
        {4, 4, 3, 8, 8, 7, L"MONOCHROME2"},     // grey with three samples
        {4, 4, 0, 8, 8, 7, L"RGB"},             // samples per pixel missing
        {4, 4, 1, 8, 8, 7, L"XYZ"},             // unknown colour space
    };
    for (const badCase& c : cases)
    {
        SCOPED_TRACE(c.width);
        EXPECT_THROW(decode(bytes, L"1.2.840.10008.1.2.1", c.width, c.height, c.samples, c.colorSpace, c.allocated,
                            c.stored, c.high),
                     std::runtime_error);
    }
    // Sizes far beyond the data: refused before the samples are allocated.
    EXPECT_ANY_THROW(decode(bytes, L"1.2.840.10008.1.2.1", 60000, 60000, 1, L"MONOCHROME2", 16, 16, 15));
    EXPECT_ANY_THROW(decode(bytes, L"1.2.840.10008.1.2.1", 65535, 65535, 3, L"RGB", 8, 8, 7));
    // A frame that ends early.
    EXPECT_THROW(decode(bytes, L"1.2.840.10008.1.2.1", 9, 9, 1, L"MONOCHROME2", 8, 8, 7), streamExceptionEOF);
    exceptionsManager::getTrailText();
}

// Native layouts written and read back, against their closed form.
TEST(dicomCodecPixels, nativeWriterLayouts)
{
    const std::vector<std::int32_t> rgb = {10, 20, 30, 11, 21, 31, 12, 22, 32, 13, 23, 33};
    ptr<image> colour = makeImage(2, 2, image::depthU8, L"RGB", 7, rgb);
    EXPECT_EQ(toHex(encode(colour, L"1.2.840.10008.1.2.1", "OB", 8)), "0A141E0B151F0C16200D1721");
    EXPECT_EQ(toHex(encode(colour, L"1.2.840.10008.1.2.1", "OB", 8, false)), "0A0B0C0D141516171E1F2021");
    // Two 12-bit samples in three bytes, least significant bits first.
    ptr<image> grey = makeImage(2, 1, image::depthU16, L"MONOCHROME2", 11, {0xABC, 0x123});
    EXPECT_EQ(toHex(encode(grey, L"1.2.840.10008.1.2.1", "OB", 12)), "BC3A12");
    EXPECT_EQ(pixelsOf(decode(fromHex("BC3A12"), L"1.2.840.10008.1.2.1", 2, 1, 1, L"MONOCHROME2", 12, 12, 11)),
              (std::vector<std::int32_t>{0xABC, 0x123}));
    // The same in 16-bit words of the machine's order ("OW").
    EXPECT_EQ(toHex(encode(grey, L"1.2.840.10008.1.2.1", "OW", 12)), "BC3A1200");
    EXPECT_EQ(pixelsOf(decode(fromHex("BC3A1200"), L"1.2.840.10008.1.2.1", 2, 1, 1, L"MONOCHROME2", 12, 12, 11, "OW")),
              (std::vector<std::int32_t>{0xABC, 0x123}));
    // 4:2:2: chroma is the mean of the two pixels it covers.
    ptr<image> ybr = makeImage(2, 1, image::depthU8, L"YBR_FULL", 7, {100, 10, 20, 102, 30, 40});
    EXPECT_EQ(toHex(encode(ybr, L"1.2.840.10008.1.2.1", "OB", 8, true, true)), "6466141E");
    EXPECT_THROW(encode(ybr, rle, "OB", 8, true, true), codecExceptionCorruptedFile);
    exceptionsManager::getTrailText();
}

// Our RLE frames, put in place of DCMTK's in an RLE file, decode with dcmdrle
// to the same pixel bytes.
TEST(dicomCodecPixels, rleWriterOutputDecodesWithDcmtk)
{
    if (std::system("command -v dcmdrle >/dev/null 2>&1 && command -v dcmdump >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "DCMTK not installed";
    for (const char* name : {"mono8", "mono12", "mono16s", "rgb", "rgbplanar"})
    {
        SCOPED_TRACE(name);
        ptr<dataSet> loaded = loadFile(pixelPath(std::string(name) + ".rle.dcm"));
        const std::uint32_t frames = loaded->getUnsignedLong(0x0028, 0, 0x0008, 0);
        const std::uint32_t allocated = loaded->getUnsignedLong(0x0028, 0, 0x0100, 0);
        std::vector<std::string> coded;
        for (std::uint32_t frame = 0; frame < frames; ++frame)
            coded.push_back(encode(loaded->getImage(frame), rle, "OB", static_cast<int>(allocated)));
        ptr<data> pixelTag = loaded->getTag(0x7FE0, 0, 0x0010, false);
        pixelTag->setBuffer(0, makeBuffer("OB", ""));
        for (std::uint32_t frame = 0; frame < frames; ++frame)
            pixelTag->setBuffer(frame + 1, makeBuffer("OB", coded[frame]));

        char folder[] = "/tmp/kestrova_rle_XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        const std::string ours = std::string(folder) + "/ours.dcm";
        {
            ptr<stream> file(new stream);
            file->openFile(ours, std::ios_base::out | std::ios_base::trunc);
            ptr<streamWriter> writer(new streamWriter(file));
            ptr<dicomCodec>(new dicomCodec)->writeStream(writer, loaded);
            writer->flush();
        }
        const std::string command = std::string("cd ") + folder +
                                    " && dcmdrle -q ours.dcm back.dcm && dcmdump -q +W . back.dcm >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(toHex(readFile(std::string(folder) + "/back.dcm.0.raw")),
                  toHex(readFile(pixelPath(std::string(name) + ".rle.raw"))));
        std::system((std::string("rm -rf ") + folder).c_str());
    }
}

namespace
{
// A data set of 8-bit grey frames of 2 x 2 pixels, held as encapsulated
// fragments of the given sizes after an offset table.
ptr<dataSet> encapsulated(const std::vector<std::uint32_t>& offsets, const std::vector<std::string>& fragments)
{
    ptr<dataSet> frames(new dataSet(ptr<baseObject>(new baseObject)));
    frames->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2.1");
    frames->setUnsignedLong(0x0028, 0, 0x0002, 0, 1);
    frames->setUnsignedLong(0x0028, 0, 0x0011, 0, 2);
    frames->setUnsignedLong(0x0028, 0, 0x0010, 0, 2);
    frames->setUnsignedLong(0x0028, 0, 0x0100, 0, 8);
    frames->setUnsignedLong(0x0028, 0, 0x0101, 0, 8);
    frames->setUnsignedLong(0x0028, 0, 0x0102, 0, 7);
    std::string table;
    for (const std::uint32_t offset : offsets)
        for (int b = 0; b < 4; ++b)
            table.push_back(static_cast<char>((offset >> (8 * b)) & 0xFF));
    ptr<data> pixelTag = frames->getTag(0x7FE0, 0, 0x0010, true);
    pixelTag->setBuffer(0, makeBuffer("OB", table));
    for (std::size_t i = 0; i < fragments.size(); ++i)
        pixelTag->setBuffer(static_cast<std::uint32_t>(i + 1), makeBuffer("OB", fragments[i]));
    return frames;
}
} // namespace

TEST(dataSetFrames, offsetTableAndFragments)
{
    // Fragments of 992, 992 and 500 bytes at offsets 0, 1000 and 2000.
    const std::vector<std::string> three = {std::string(992, '\1'), std::string(992, '\2'), std::string(500, '\3')};
    ptr<dataSet> frames = encapsulated({0, 1000, 2000}, three);
    std::uint32_t first = 0, end = 0;
    EXPECT_EQ(frames->getFrameBufferIds(1, &first, &end), 992u);
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(end, 3u);
    EXPECT_EQ(frames->getFrameBufferIds(2, &first, &end), 500u);
    EXPECT_EQ(first, 3u);
    EXPECT_EQ(end, 4u);
    EXPECT_EQ(pixelsOf(frames->getImage(2)), (std::vector<std::int32_t>{3, 3, 3, 3}));
    try
    {
        frames->getImage(3);
        FAIL();
    }
    catch (const dataSetImageDoesntExist& e)
    {
        EXPECT_STREQ(e.what(), "Image not in the table offset");
    }
    EXPECT_THROW(encapsulated({500}, {std::string(992, '\1')})->getImage(0), dataSetImageDoesntExist);
    EXPECT_THROW(encapsulated({5000}, {std::string(992, '\1'), std::string(992, '\1')})->getImage(0),
                 dataSetCorruptedOffsetTable);

    // A frame over two fragments is joined without the item headers.
    ptr<dataSet> spanning = encapsulated({0, 20}, {std::string("\5\6", 2), std::string("\7\10", 2), "\11\11\11\11"});
    EXPECT_EQ(pixelsOf(spanning->getImage(0)), (std::vector<std::int32_t>{5, 6, 7, 8}));
    EXPECT_EQ(pixelsOf(spanning->getImage(1)), (std::vector<std::int32_t>{9, 9, 9, 9}));

    // No offset table: one fragment per frame.
    ptr<dataSet> plain = encapsulated({}, {"\1\1\1\1", "\2\2\2\2", "\3\3\3\3", "\4\4\4\4"});
    EXPECT_EQ(pixelsOf(plain->getImage(3)), (std::vector<std::int32_t>{4, 4, 4, 4}));
    try
    {
        plain->getImage(4);
        FAIL();
    }
    catch (const dataSetImageDoesntExist& e)
    {
        EXPECT_STREQ(e.what(), "The requested image doesn't exist");
    }

    // A transfer syntax no codec handles fails before the pixel data is
    // looked at.
    ptr<dataSet> unknown(new dataSet(ptr<baseObject>(new baseObject)));
    unknown->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.3.4");
    EXPECT_THROW(unknown->getImage(0), dataSetExceptionUnknownTransferSyntax);
    exceptionsManager::getTrailText();
}

// A frame count larger than the pixel data: the frames that are there
// decode, the next one ends in a stream error.
TEST(dataSetFrames, moreFramesThanData)
{
    for (const std::uint32_t loadLimit : {0xFFFFFFFFu, 64u})
    {
        ptr<dataSet> loaded = loadFile(pixelPath("mono8.dcm"), loadLimit);
        loaded->setUnicodeString(0x0028, 0, 0x0008, 0, L"10");
        EXPECT_TRUE(loaded->getImage(2));
        EXPECT_THROW(loaded->getImage(3), streamExceptionEOF);
        EXPECT_THROW(loaded->getImage(9), streamExceptionEOF);
    }
    exceptionsManager::getTrailText();
}

// 1-bit frames follow each other without padding, so a frame of 25 pixels starts at
// bit 25 of the pixel data, inside a byte. Every frame decodes to its own pixels, read
// from the first bit of the frame (least significant bit first), in any order of calls
// and with the pixel data loaded or left in the file.
TEST(dataSetFrames, oneBitFramesThatDoNotStartOnAByte)
{
    struct Case
    {
        std::uint32_t width, height, frames;
    };
    for (const Case c : {Case{5, 5, 3}, Case{3, 7, 4}, Case{4, 4, 3}})
    {
        const std::uint32_t pixels = c.width * c.height;
        const auto pixel = [](std::uint32_t frame, std::uint32_t i) { return ((i * 7 + frame * 3) % 5) < 2 ? 1 : 0; };
        std::string packed((pixels * c.frames + 7) / 8, '\0');
        for (std::uint32_t bit = 0; bit < pixels * c.frames; ++bit)
            if (pixel(bit / pixels, bit % pixels) != 0)
                packed[bit / 8] = static_cast<char>(packed[bit / 8] | (1 << (bit % 8)));

        ptr<dataSet> source(new dataSet(ptr<baseObject>(new baseObject)));
        source->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2.1");
        source->setUnsignedLong(0x0028, 0, 0x0002, 0, 1);
        source->setUnicodeString(0x0028, 0, 0x0004, 0, L"MONOCHROME2");
        source->setUnicodeString(0x0028, 0, 0x0008, 0, std::to_wstring(c.frames));
        source->setUnsignedLong(0x0028, 0, 0x0010, 0, c.height);
        source->setUnsignedLong(0x0028, 0, 0x0011, 0, c.width);
        source->setUnsignedLong(0x0028, 0, 0x0100, 0, 1);
        source->setUnsignedLong(0x0028, 0, 0x0101, 0, 1);
        source->setUnsignedLong(0x0028, 0, 0x0102, 0, 0);
        source->getTag(0x7FE0, 0, 0x0010, true)->setBuffer(0, makeBuffer("OB", packed));
        ptr<memory> block(new memory);
        {
            ptr<streamWriter> writer(new streamWriter(ptr<baseStream>(new memoryStream(block))));
            codecFactory::getCodec(L"1.2.840.10008.1.2.1")->writeStream(writer, source);
        }
        const std::string bytes(reinterpret_cast<const char*>(block->data()), block->size());

        for (const std::uint32_t loadLimit : {0xFFFFFFFFu, 2u})
        {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " limit " << loadLimit);
            ptr<dataSet> loaded = codecFactory::getCodecFactory()->load(readerOf(bytes), loadLimit);
            // Last frame first, then from the start.
            std::vector<std::uint32_t> order{c.frames - 1};
            for (std::uint32_t f = 0; f < c.frames; ++f)
                order.push_back(f);
            for (const std::uint32_t frame : order)
            {
                std::vector<std::int32_t> expected(pixels);
                for (std::uint32_t i = 0; i < pixels; ++i)
                    expected[i] = pixel(frame, i);
                EXPECT_EQ(pixelsOf(loaded->getImage(frame)), expected) << "frame " << frame;
            }
            EXPECT_THROW(loaded->getImage(c.frames), dataSetImageDoesntExist);
        }
    }
    exceptionsManager::getTrailText();
}

// Masks, sign extension and defaults of the image tags, in closed form.
TEST(dicomCodecPixels, samplesKeepTheirBitsAndSign)
{
    const std::wstring le = L"1.2.840.10008.1.2.1";
    EXPECT_EQ(pixelsOf(decode(fromHex("FFFF3412"), le, 2, 1, 1, L"MONOCHROME2", 16, 12, 11)),
              (std::vector<std::int32_t>{0x0FFF, 0x0234}));
    const ptr<image> high = decode(fromHex("0080" "1F80" "F07F"), le, 3, 1, 1, L"MONOCHROME2", 16, 12, 15, "OB", 0, 1);
    EXPECT_EQ(pixelsOf(high), (std::vector<std::int32_t>{-32768, -32752, 0x7FF0}));
    EXPECT_EQ(high->getDepth(), image::depthS16);

    // A high bit below bits stored - 1 is raised.
    const ptr<image> raised = decode(fromHex("FF0F"), le, 1, 1, 1, L"MONOCHROME2", 16, 12, 7);
    EXPECT_EQ(raised->getHighBit(), 11u);
    EXPECT_EQ(raised->getDepth(), image::depthU16);
    EXPECT_EQ(pixelsOf(raised), std::vector<std::int32_t>{0x0FFF});

    // Signed 8-bit.
    const ptr<image> small = decode(fromHex("80FF7F"), le, 3, 1, 1, L"MONOCHROME2", 8, 8, 7, "OB", 0, 1);
    EXPECT_EQ(pixelsOf(small), (std::vector<std::int32_t>{-128, -1, 127}));
    EXPECT_EQ(small->getDepth(), image::depthS8);

    // No photometric interpretation: RGB for three samples, grey for none.
    EXPECT_EQ(decode(fromHex("010203"), le, 1, 1, 3, L"", 8, 8, 7)->getColorSpace(), L"RGB");
    EXPECT_EQ(decode(fromHex("01"), le, 1, 1, 0, L"", 8, 8, 7)->getColorSpace(), L"MONOCHROME2");

    // Chroma halved vertically, which no native layout has, is refused.
    EXPECT_THROW(decode(std::string(64, '\1'), le, 2, 2, 3, L"YBR_PARTIAL_420", 8, 8, 7), codecExceptionCorruptedFile);
    exceptionsManager::getTrailText();
}
