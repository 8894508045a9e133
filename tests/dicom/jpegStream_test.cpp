#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memory.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/data.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/image.h"
#include "jpeg_testutil.h"

#include <gtest/gtest.h>

#include <random>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace Halvoran::Varnix::codecs;
using namespace jpegtest;

namespace
{

ptr<streamReader> readerOf(const std::string& bytes)
{
    ptr<memory> block(new memory);
    block->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    return ptr<streamReader>(new streamReader(ptr<baseStream>(new memoryStream(block))));
}

// Parses a bare stream into a new data set with the JPEG codec.
ptr<dataSet> readBare(const std::string& bytes)
{
    ptr<dataSet> result(new dataSet(ptr<baseObject>(new baseObject)));
    ptr<jpegCodec> codec(new jpegCodec);
    codec->readStream(readerOf(bytes), result, 0xFFFFFFFFu);
    return result;
}

std::string bufferBytes(const ptr<dataSet>& set, std::uint32_t bufferId)
{
    ptr<handlers::dataHandlerRaw> raw = set->getDataHandlerRaw(0x7FE0, 0, 0x0010, bufferId, false, "OB");
    if (!raw)
        return {};
    return std::string(reinterpret_cast<const char*>(raw->getMemoryBuffer()), raw->getSize());
}


} // namespace

TEST(JpegStream, BareStreamBecomesADataSet)
{
    const std::string bytes = encode(smoothFrame(16, 16, 1), L"1.2.840.10008.1.2.4.50");
    // The registry offers the stream to the DICOM codec first, then to ours.
    ptr<dataSet> set = codecFactory::getCodecFactory()->load(readerOf(bytes));
    ASSERT_TRUE(set);
    EXPECT_EQ(set->getUnicodeString(0x0028, 0, 0x0004, 0), L"MONOCHROME2");
    EXPECT_EQ(set->getUnicodeString(0x0002, 0, 0x0010, 0), L"1.2.840.10008.1.2.4.50");
    EXPECT_EQ(set->getUnsignedLong(0x0028, 0, 0x0002, 0), 1u);
    EXPECT_EQ(set->getUnsignedLong(0x0028, 0, 0x0010, 0), 16u);
    EXPECT_EQ(set->getUnsignedLong(0x0028, 0, 0x0011, 0), 16u);
    EXPECT_EQ(set->getUnsignedLong(0x0028, 0, 0x0100, 0), 8u);
    EXPECT_EQ(set->getUnsignedLong(0x0028, 0, 0x0101, 0), 8u);
    EXPECT_EQ(set->getUnsignedLong(0x0028, 0, 0x0102, 0), 7u);
    EXPECT_EQ(set->getUnsignedLong(0x0028, 0, 0x0006, 0), 0u);
    EXPECT_EQ(bufferBytes(set, 0), std::string(4, '\0'));
    // Values are kept at even length: an odd stream gets one 0 after EOI.
    const std::string stored = bytes.size() % 2 == 0 ? bytes : bytes + std::string(1, '\0');
    EXPECT_EQ(bufferBytes(set, 1), stored);

    // Decoded through the data set: size, depth and high bit of the stream.
    ptr<image> frame = set->getImage(0);
    ASSERT_TRUE(frame);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    frame->getSize(&width, &height);
    EXPECT_EQ(width, 16u);
    EXPECT_EQ(height, 16u);
    EXPECT_EQ(frame->getDepth(), image::depthU8);
    EXPECT_EQ(frame->getHighBit(), 7u);

    // Written back: the stored stream, unchanged.
    ptr<memory> out(new memory);
    {
        ptr<streamWriter> writer(new streamWriter(ptr<baseStream>(new memoryStream(out))));
        ptr<jpegCodec>(new jpegCodec)->writeStream(writer, set);
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out->data()), out->size()), stored);
}

TEST(JpegStream, ProcessesAndWrongFormats)
{
    EXPECT_EQ(messageOf([] { readBare(std::string("\x00\xD8\xFF\xD9", 4)); }), "detected a wrong format");
    EXPECT_EQ(messageOf([] { readBare(std::string("\xFF", 1)); }), "readStream detected a wrong format");
    EXPECT_EQ(messageOf([] { decode(std::string("\xFF", 1)); }), "Jpeg signature not present");
    EXPECT_EQ(messageOf([] { decode(std::string("\xFF\xD9", 2)); }), "Jpeg signature not valid");

    // SOF3 and SOF7 streams are lossless (.57); SOF2 is refused.
    std::string bytes = encode(speckleFrame(16, 8, 1, 12), L"1.2.840.10008.1.2.4.70", 100, 12);
    EXPECT_EQ(readBare(bytes)->getUnicodeString(0x0002, 0, 0x0010, 0), L"1.2.840.10008.1.2.4.57");
    bytes[findMarker(bytes, 0xC3) + 1] = static_cast<char>(0xC7);
    EXPECT_EQ(readBare(bytes)->getUnicodeString(0x0002, 0, 0x0010, 0), L"1.2.840.10008.1.2.4.57");
    std::string extended = encode(smoothFrame(16, 8, 1, 12), L"1.2.840.10008.1.2.4.51", 100, 12);
    EXPECT_EQ(readBare(extended)->getUnicodeString(0x0002, 0, 0x0010, 0), L"1.2.840.10008.1.2.4.51");

    if (!haveTools({"cjpeg"}))
        GTEST_SKIP() << "cjpeg missing";
    const std::string dir = scratchDir("progressive");
    writePnm(dir + "/in.pgm", smoothFrame(32, 32, 1));
    ASSERT_TRUE(run("cjpeg -progressive -outfile " + dir + "/p.jpg " + dir + "/in.pgm"));
    const std::string progressive = readFile(dir + "/p.jpg");
    ptr<dataSet> set(new dataSet(ptr<baseObject>(new baseObject)));
    EXPECT_EQ(messageOf([&] { ptr<jpegCodec>(new jpegCodec)->readStream(readerOf(progressive), set, 0); }),
              "Progressive JPEG is not supported");
    EXPECT_EQ(set->getUnicodeString(0x0028, 0, 0x0004, 0), L"MONOCHROME2");
    EXPECT_FALSE(set->getTag(0x7FE0, 0, 0x0010, false));
    EXPECT_EQ(messageOf([&] { decode(progressive); }), "Progressive JPEG is not supported");
}

TEST(JpegStream, SegmentsFillBytesAndMissingEnd)
{
    if (!haveTools({"cjpeg", "djpeg"}))
        GTEST_SKIP() << "cjpeg missing";
    const std::string dir = scratchDir("segments");
    const jpegSamples source = speckleFrame(24, 16, 1);
    writePnm(dir + "/in.pgm", source);
    ASSERT_TRUE(run("cjpeg -outfile " + dir + "/c.jpg " + dir + "/in.pgm"));
    std::string bytes = readFile(dir + "/c.jpg");
    bytes.insert(2, std::string("\xFF\xFE\x00\x0Akestrova", 12));
    ASSERT_NE(findMarker(bytes, 0xFE), std::string::npos); // COM
    ASSERT_NE(findMarker(bytes, 0xE0), std::string::npos); // APP0
    const jpegSamples reference = decode(bytes);

    // Fill bytes before the SOS marker change nothing.
    std::string filled = bytes;
    filled.insert(findMarker(filled, 0xDA), std::string("\xFF\xFF\xFF", 3));
    EXPECT_EQ(decode(filled).m_values, reference.m_values);

    // Without EOI: parsing ends at the end of the data, the image is whole.
    const std::string noEnd = bytes.substr(0, bytes.size() - 2);
    EXPECT_EQ(readBare(noEnd)->getUnsignedLong(0x0028, 0, 0x0010, 0), 16u);
    EXPECT_EQ(decode(noEnd).m_values, reference.m_values);

    // A scan cut short gives the image decoded so far; the rest is mid-grey.
    const std::string cut = bytes.substr(0, findMarker(bytes, 0xDA) + 40);
    const jpegSamples partial = decode(cut);
    ASSERT_EQ(partial.m_values.size(), reference.m_values.size());
    EXPECT_EQ(partial.m_values.back(), 128);
}

TEST(JpegStream, RestartMarkersResynchronise)
{
    if (!haveTools({"cjpeg", "djpeg"}))
        GTEST_SKIP() << "cjpeg missing";
    const std::string dir = scratchDir("restart");
    const jpegSamples source = speckleFrame(16, 48, 1);
    writePnm(dir + "/in.pgm", source);
    // One MCU row per interval: intervals 0..5, markers RST0..RST4.
    ASSERT_TRUE(run("cjpeg -restart 1 -outfile " + dir + "/r.jpg " + dir + "/in.pgm"));
    const std::string bytes = readFile(dir + "/r.jpg");
    const jpegSamples whole = decode(bytes);

    std::string damaged = bytes;
    const std::size_t rst2 = findMarker(damaged, 0xD2);
    ASSERT_NE(rst2, std::string::npos);
    damaged.erase(rst2, 2);
    const jpegSamples decoded = decode(damaged);
    ASSERT_EQ(decoded.m_values.size(), whole.m_values.size());
    for (std::uint32_t row = 0; row < 48; ++row)
    {
        for (std::uint32_t x = 0; x < 16; ++x)
        {
            const std::size_t i = row * 16 + x;
            if (row / 8 == 3) // the interval after the lost marker is skipped
                ASSERT_EQ(decoded.m_values[i], 128) << row;
            else
                ASSERT_EQ(decoded.m_values[i], whole.m_values[i]) << row;
        }
    }
}

TEST(JpegStream, MalformedSegmentsAreRefused)
{
    const std::string good = encode(smoothFrame(16, 16, 3), L"1.2.840.10008.1.2.4.50", 100, 8, true, true, true);
    const std::size_t sof = findMarker(good, 0xC0);
    const std::size_t dht = findMarker(good, 0xC4);
    const std::size_t sos = findMarker(good, 0xDA);

    struct badCase
    {
        std::string name;
        std::size_t offset;
        char value;
        std::string message;
    };
    const std::uint8_t dhtLength = static_cast<std::uint8_t>(good[dht + 3]);
    for (const badCase& c : {
             badCase{"DHT one byte short", dht + 3, static_cast<char>(dhtLength - 1), "Corrputed tag DHT found"},
             badCase{"precision 0", sof + 4, 0, "Corrupted SOF tag found"},
             badCase{"sampling factor 0", sof + 11, 0x01, "Corrupted SOF tag found"},
             badCase{"width 0", sof + 8, 0, "Corrupted SOF tag found"},
             badCase{"undeclared component", sos + 5, 9, "Corrupted tag SOS found"},
             badCase{"no components", sos + 4, 0, "Corrupted tag SOS found"},
         })
    {
        std::string bytes = good;
        bytes[c.offset] = c.value;
        if (c.name == "width 0")
            bytes[c.offset - 1] = 0;
        EXPECT_EQ(messageOf([&] { decode(bytes); }), c.message) << c.name;
    }

    // Code counts beyond the 256 symbols of a table.
    std::string counts = good;
    counts[dht + 5] = static_cast<char>(0xFF);
    counts[dht + 6] = static_cast<char>(0xFF);
    EXPECT_EQ(messageOf([&] { decode(counts); }), "Corrputed tag DHT found");
}

TEST(JpegStream, ColourLabelOfTheDataSet)
{
    jpegSamples frame = smoothFrame(16, 16, 3);
    struct labelCase
    {
        std::string colorSpace; // of the samples handed to the encoder
        std::wstring declared;  // (0028,0004) of the data set
        std::wstring syntax;
        std::wstring expected;
    };
    for (const labelCase& c : {labelCase{"YBR_FULL", L"RGB", L"1.2.840.10008.1.2.4.50", L"YBR_FULL"},
                               labelCase{"RGB", L"RGB", L"1.2.840.10008.1.2.4.50", L"RGB"},
                               labelCase{"YBR_FULL", L"RGB", L"1.2.840.10008.1.2.4.70", L"RGB"}})
    {
        frame.m_colorSpace = c.colorSpace;
        ptr<dataSet> set = readBare(encode(frame, c.syntax));
        set->setUnicodeString(0x0028, 0, 0x0004, 0, c.declared);
        set->setUnicodeString(0x0002, 0, 0x0010, 0, c.syntax);
        ptr<image> decoded = set->getImage(0);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->getColorSpace(), c.expected) << c.colorSpace;
    }

    // A data set declaring fewer components than the stream holds.
    ptr<dataSet> set = readBare(encode(frame, L"1.2.840.10008.1.2.4.50"));
    set->setUnicodeString(0x0028, 0, 0x0004, 0, L"MONOCHROME2");
    set->setUnsignedLong(0x0028, 0, 0x0002, 0, 1);
    EXPECT_EQ(messageOf([&] { set->getImage(0); }), "The stream's components do not match the image");
}

TEST(JpegStream, ImagesWrittenAndReadThroughTheCodecInterface)
{
    ptr<image> source(new image);
    {
        ptr<handlers::imageHandler> handler = source->create(20, 12, image::depthU8, L"MONOCHROME2", 7);
        for (std::uint32_t i = 0; i < 240; ++i)
            handler->setSignedLong(i % 7 == 0 ? 300 : static_cast<std::int32_t>(i)), handler->incPointer();
    }
    ptr<memory> out(new memory);
    {
        ptr<streamWriter> writer(new streamWriter(ptr<baseStream>(new memoryStream(out))));
        ptr<codec> jpeg = codecFactory::getCodec(L"1.2.840.10008.1.2.4.50");
        ASSERT_TRUE(jpeg);
        jpeg->setImage(writer, source, L"1.2.840.10008.1.2.4.57", 100, "OB", 8, false, false, false, false);
        writer->m_pTagByte = nullptr;
    }
    const std::string bytes(reinterpret_cast<const char*>(out->data()), out->size());
    const jpegSamples decoded = decode(bytes);
    ASSERT_EQ(decoded.m_values.size(), 240u);
    for (std::uint32_t i = 0; i < 240; ++i)
        ASSERT_EQ(decoded.m_values[i], i % 7 == 0 ? 255 : std::min<std::int32_t>(static_cast<std::int32_t>(i), 255))
            << i; // 300 is clipped to 255
}

TEST(JpegStream, DecoderSurvivesDamagedStreams)
{
    // A bounded mutation run over small streams of every kind the codec
    // writes; every failure must be an exception, never a crash.
    std::vector<std::string> seeds = {
        encode(speckleFrame(24, 16, 1), L"1.2.840.10008.1.2.4.50"),
        encode(speckleFrame(24, 16, 3), L"1.2.840.10008.1.2.4.50", 100, 8, true, true, true),
        encode(speckleFrame(17, 9, 1, 12), L"1.2.840.10008.1.2.4.70", 100, 12),
        encode(speckleFrame(17, 9, 1, 12), L"1.2.840.10008.1.2.4.51", 100, 12),
    };
    std::mt19937 random(2024);
    std::size_t decoded = 0;
    for (int round = 0; round < 1200; ++round)
    {
        std::string bytes = seeds[round % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e)
        {
            const std::size_t at = random() % bytes.size();
            switch (random() % 3)
            {
            case 0: bytes[at] = static_cast<char>(random()); break;
            case 1: bytes.erase(at, 1 + random() % 8); break;
            default: bytes.insert(at, 1, static_cast<char>(random())); break;
            }
            if (bytes.empty())
                bytes = "x";
        }
        try
        {
            const jpegSamples result = decode(bytes);
            long long sum = 0;
            for (std::int32_t v : result.m_values)
                sum += v;
            decoded += sum >= 0 ? 1 : 0;
        }
        catch (const std::exception&)
        {
            exceptionsManager::getTrailText();
        }
    }
    EXPECT_GT(decoded, 0u);
}

TEST(JpegStream, ReaderIsHandedBackAfterDecoding)
{
    // The reader must not keep reporting markers into a codec that is gone.
    const std::string bytes = encode(smoothFrame(8, 8, 1), L"1.2.840.10008.1.2.4.50");
    ptr<streamReader> reader = readerOf(bytes + bytes);
    {
        ptr<jpegCodec> codec(new jpegCodec);
        codec->decodeSamples(reader, false);
    }
    EXPECT_EQ(reader->m_pTagByte, nullptr);
    ptr<jpegCodec> second(new jpegCodec);
    EXPECT_EQ(second->decodeSamples(reader, false).m_width, 8u);
    EXPECT_EQ(messageOf([&] { ptr<jpegCodec>(new jpegCodec)->readStream(readerOf("xx"), nullptr, 0); }),
              "detected a wrong format");
}
