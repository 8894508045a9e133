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
            EXPECT_EQ(pixelsOf(fresh->getImage(last - 1)), expectedFrame(raw, c, last - 1));
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
