// Frames of files whose frame count and fragments do not say what the pixel
// data hold: a count far beyond the pixel data, an empty count, and JPEG
// frames that span several fragments without an offset table.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/stream.h"
#include "dicom/base/streamException.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/image.h"
#include "dicom_testutil.h"
#include "jpeg_testutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace dicomtest;

namespace
{

std::vector<std::int32_t> pixelsOf(const ptr<image>& decoded)
{
    std::uint32_t rowSize = 0, pixelSize = 0, channels = 0;
    ptr<handlers::imageHandler> handler = decoded->getDataHandler(false, &rowSize, &pixelSize, &channels);
    std::vector<std::int32_t> values(handler->getSize());
    if (!values.empty())
        std::memcpy(values.data(), handler->getMemoryBuffer(), values.size() * 4);
    return values;
}

// An 8-bit grey native data set of width x height frames holding the pixel
// bytes, with (0028,0008) as given (nullptr: no such element).
ptr<dataSet> nativeFrames(std::uint32_t width, std::uint32_t height, const wchar_t* count, const std::string& pixels)
{
    ptr<dataSet> frames(new dataSet(ptr<baseObject>(new baseObject)));
    frames->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2.1");
    frames->setUnsignedLong(0x0028, 0, 0x0002, 0, 1);
    frames->setUnicodeString(0x0028, 0, 0x0004, 0, L"MONOCHROME2");
    if (count)
        frames->setUnicodeString(0x0028, 0, 0x0008, 0, count);
    frames->setUnsignedLong(0x0028, 0, 0x0010, 0, height);
    frames->setUnsignedLong(0x0028, 0, 0x0011, 0, width);
    frames->setUnsignedLong(0x0028, 0, 0x0100, 0, 8);
    frames->setUnsignedLong(0x0028, 0, 0x0101, 0, 8);
    frames->setUnsignedLong(0x0028, 0, 0x0102, 0, 7);
    frames->getTag(0x7FE0, 0, 0x0010, true)->setBuffer(0, makeBuffer("OB", pixels));
    return frames;
}

// The data set written as a file and read back with a load limit, so that
// the pixel data stay in the stream as the frame extraction reads them.
ptr<dataSet> reloaded(const ptr<dataSet>& source, std::uint32_t loadLimit)
{
    ptr<memory> block(new memory);
    {
        ptr<streamWriter> writer(new streamWriter(ptr<baseStream>(new memoryStream(block))));
        codecs::codecFactory::getCodec(L"1.2.840.10008.1.2.1")->writeStream(writer, source);
    }
    ptr<streamReader> reader(new streamReader(ptr<baseStream>(new memoryStream(block))));
    return codecs::codecFactory::getCodecFactory()->load(reader, loadLimit);
}

// 8-bit grey 2 x 3 frames held as encapsulated fragments without an offset
// table (the native codec reads each frame's joined bytes as its samples).
ptr<dataSet> fragments(const std::vector<std::string>& parts)
{
    ptr<dataSet> frames = nativeFrames(2, 3, nullptr, "");
    ptr<data> pixelTag = frames->getTag(0x7FE0, 0, 0x0010, true);
    pixelTag->setBuffer(0, makeBuffer("OB", ""));
    for (std::size_t i = 0; i < parts.size(); ++i)
        pixelTag->setBuffer(static_cast<std::uint32_t>(i + 1), makeBuffer("OB", parts[i]));
    return frames;
}

// Three frames: over three fragments, in one, over two.
const std::vector<std::string> threeFrames = {"\xFF\xD8", "\1\2", "\3\4", "\xFF\xD8\5\6\7\10",
                                              "\xFF\xD8\11\12", "\13\14"};

} // namespace

// A count of frames that the pixel data cannot hold sizes nothing: the frames
// past the data end at once with a message naming the count and the length,
// whether the count is huge (2^31 - 1 frames of an 8 x 8 file, which would
// have made 8 GB of frame positions) or merely too large.
TEST(hostileFrames, aFrameCountBeyondThePixelDataIsRefusedNamingBothNumbers)
{
    struct Case
    {
        const wchar_t* count;
        std::uint32_t dataFrames;
        std::uint32_t asked;
    };
    for (const Case c : {Case{L"2147483647", 1, 1}, Case{L"2147483647", 2, 7}, Case{L"4294967295", 1, 2},
                         Case{L"10", 3, 3}})
    {
        std::string pixels(64 * c.dataFrames, '\0');
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<char>(i / 64 + 1);
        for (const std::uint32_t loadLimit : {0xFFFFFFFFu, 16u})
        {
            SCOPED_TRACE(testing::Message() << "count " << toUtf8(c.count) << " limit " << loadLimit);
            ptr<dataSet> frames = reloaded(nativeFrames(8, 8, c.count, pixels), loadLimit);
            EXPECT_EQ(frames->getPixelDataFrames(), c.dataFrames);
            // The frames that are there decode, also the last one.
            EXPECT_EQ(pixelsOf(frames->getImage(c.dataFrames - 1)),
                      std::vector<std::int32_t>(64, static_cast<std::int32_t>(c.dataFrames)));
            try
            {
                frames->getImage(c.asked);
                FAIL() << "frame " << c.asked << " decoded";
            }
            catch (const streamExceptionEOF& e)
            {
                const std::string text = e.what();
                EXPECT_NE(text.find(toUtf8(c.count) + " frames"), std::string::npos) << text;
                EXPECT_NE(text.find(std::to_string(pixels.size()) + " bytes"), std::string::npos) << text;
            }
        }
    }
    exceptionsManager::getTrailText();
}

// An empty number of frames: the frames the pixel data hold. No number of
// frames at all is one frame, as before.
TEST(hostileFrames, anEmptyFrameCountTakesTheFramesOfThePixelData)
{
    std::string pixels;
    for (int frame = 0; frame < 6; ++frame)
        pixels += std::string(12, static_cast<char>(10 * frame));
    for (const std::uint32_t loadLimit : {0xFFFFFFFFu, 16u})
    {
        SCOPED_TRACE(loadLimit);
        ptr<dataSet> empty = reloaded(nativeFrames(4, 3, L"", pixels), loadLimit);
        EXPECT_EQ(empty->getPixelDataFrames(), 6u);
        for (std::uint32_t frame : {5u, 0u, 1u, 2u, 3u, 4u})
            EXPECT_EQ(pixelsOf(empty->getImage(frame)), std::vector<std::int32_t>(12, 10 * std::int32_t(frame)))
                << frame;
        EXPECT_THROW(empty->getImage(6), dataSetImageDoesntExist);

        ptr<dataSet> missing = reloaded(nativeFrames(4, 3, nullptr, pixels), loadLimit);
        EXPECT_TRUE(missing->getImage(0));
        EXPECT_THROW(missing->getImage(1), dataSetImageDoesntExist);
    }
    exceptionsManager::getTrailText();
}

// What getPixelDataFrames counts for each layout, in closed form.
TEST(hostileFrames, framesHeldByEachLayout)
{
    // Native: whole frames only (a padding byte makes no frame).
    EXPECT_EQ(nativeFrames(3, 3, L"1", std::string(10, '\0'))->getPixelDataFrames(), 1u);
    EXPECT_EQ(nativeFrames(3, 3, L"1", std::string(27, '\0'))->getPixelDataFrames(), 3u);
    EXPECT_EQ(nativeFrames(3, 3, L"1", std::string(8, '\0'))->getPixelDataFrames(), 0u);
    // 1-bit frames of 25 pixels are not padded: 4 bytes hold one, 7 bytes two.
    for (const auto& [bytes, held] : {std::pair{4u, 1u}, std::pair{7u, 2u}})
    {
        ptr<dataSet> bits = nativeFrames(5, 5, L"1", std::string(bytes, '\0'));
        bits->setUnsignedLong(0x0028, 0, 0x0100, 0, 1);
        EXPECT_EQ(bits->getPixelDataFrames(), held) << bytes;
    }
    // No size tags: no frame can be told.
    ptr<dataSet> sizeless = nativeFrames(3, 3, L"1", std::string(9, '\0'));
    sizeless->setUnsignedLong(0x0028, 0, 0x0010, 0, 0);
    EXPECT_EQ(sizeless->getPixelDataFrames(), 0u);
    EXPECT_THROW(sizeless->getImage(1), codecs::codecExceptionCorruptedFile);
    // Encapsulated: one fragment per frame unless JPEG frames continue over
    // fragments that do not start an image.
    EXPECT_EQ(fragments({"\1\1\1\1\1\1", "\2\2\2\2\2\2", "\3\3\3\3\3\3"})->getPixelDataFrames(), 3u);
    EXPECT_EQ(fragments(threeFrames)->getPixelDataFrames(), 3u);
    exceptionsManager::getTrailText();
}

// Without an offset table a frame starts at a fragment that begins with a
// start-of-image marker and takes the fragments up to the next one.
TEST(hostileFrames, framesOverSeveralFragmentsWithoutAnOffsetTable)
{
    ptr<dataSet> frames = fragments(threeFrames);
    EXPECT_EQ(pixelsOf(frames->getImage(1)), (std::vector<std::int32_t>{255, 216, 5, 6, 7, 8}));
    EXPECT_EQ(pixelsOf(frames->getImage(0)), (std::vector<std::int32_t>{255, 216, 1, 2, 3, 4}));
    EXPECT_EQ(pixelsOf(frames->getImage(2)), (std::vector<std::int32_t>{255, 216, 9, 10, 11, 12}));
    EXPECT_THROW(frames->getImage(3), dataSetImageDoesntExist);
    // Fragments added later are found too.
    frames->getTag(0x7FE0, 0, 0x0010, false)->setBuffer(7, makeBuffer("OB", "\xFF\xD8\7\7\7\7"));
    EXPECT_EQ(pixelsOf(frames->getImage(3)), (std::vector<std::int32_t>{255, 216, 7, 7, 7, 7}));
    exceptionsManager::getTrailText();
}

// A baseline JPEG recording of 6 frames cut by DCMTK into fragments of 1 KB
// with an empty offset table decodes frame for frame as DCMTK's dcmdjpeg
// decodes it.
TEST(hostileFrames, jpegFramesOverFragmentsMatchDcmtk)
{
    using namespace jpegtest;
    if (!haveTools({"dump2dcm", "dcmcjpeg", "dcmdjpeg"}))
        GTEST_SKIP() << "oracle tools missing";
    const std::string dir = scratchDir("fragmented");
    const std::uint32_t width = 64, height = 48, count = 6;
    std::string raw;
    for (std::uint32_t frame = 0; frame < count; ++frame)
    {
        const jpegSamples samples = speckleFrame(width, height, 1, 8, frame + 3);
        for (const std::int32_t v : samples.m_values)
            raw.push_back(static_cast<char>(v));
    }
    writeFile(dir + "/frames.raw", raw);
    std::ostringstream dump;
    dump << "(0002,0010) UI =LittleEndianExplicit\n(0008,0016) UI =SecondaryCaptureImageStorage\n"
         << "(0008,0018) UI 1.2.826.0.1.3680043.2.1125.7\n(0028,0002) US 1\n(0028,0004) CS MONOCHROME2\n"
         << "(0028,0008) IS " << count << "\n(0028,0010) US " << height << "\n(0028,0011) US " << width << "\n"
         << "(0028,0100) US 8\n(0028,0101) US 8\n(0028,0102) US 7\n(0028,0103) US 0\n"
         << "(7fe0,0010) OB =" << dir << "/frames.raw\n";
    writeFile(dir + "/frames.txt", dump.str());
    ASSERT_TRUE(run("dump2dcm --write-xfer-little " + dir + "/frames.txt " + dir + "/native.dcm"));
    ASSERT_TRUE(run("dcmcjpeg +eb +fs 1 -ot " + dir + "/native.dcm " + dir + "/jpeg.dcm"));
    ASSERT_TRUE(run("dcmdjpeg " + dir + "/jpeg.dcm " + dir + "/back.dcm"));
    const std::string back = jpegtest::readFile(dir + "/back.dcm");
    ASSERT_GE(back.size(), raw.size());
    const std::string theirs = back.substr(back.size() - raw.size());

    for (const std::uint32_t loadLimit : {0xFFFFFFFFu, 2048u})
    {
        SCOPED_TRACE(loadLimit);
        ptr<stream> file(new stream);
        file->openFile(dir + "/jpeg.dcm", std::ios_base::in);
        ptr<dataSet> loaded =
            codecs::codecFactory::getCodecFactory()->load(ptr<streamReader>(new streamReader(file)), loadLimit);
        ptr<data> pixelTag = loaded->getTag(0x7FE0, 0, 0x0010, false);
        ASSERT_TRUE(pixelTag);
        ASSERT_EQ(pixelTag->getBufferSize(0), 0u);                // no offset table
        ASSERT_TRUE(pixelTag->bufferExists(2 * count));           // frames over several fragments
        EXPECT_EQ(loaded->getPixelDataFrames(), count);
        for (std::uint32_t frame = 0; frame < count; ++frame)
        {
            const std::vector<std::int32_t> ours = pixelsOf(loaded->getImage(frame));
            ASSERT_EQ(ours.size(), std::size_t{width} * height);
            int worst = 0;
            for (std::size_t i = 0; i < ours.size(); ++i)
                worst = std::max(worst, std::abs(ours[i] - static_cast<unsigned char>(theirs[frame * ours.size() + i])));
            EXPECT_LE(worst, 2) << "frame " << frame;
        }
        EXPECT_THROW(loaded->getImage(count), dataSetImageDoesntExist);
    }
    exceptionsManager::getTrailText();
}
