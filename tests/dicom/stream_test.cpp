#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/stream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace Halvoran;

namespace
{
std::string tempPath(const std::string& name)
{
    return testing::TempDir() + "dicom_stream_" + std::to_string(::getpid()) + "_" + name;
}

std::vector<std::uint8_t> pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A memory stream that counts the reads reaching it and can fail its writes.
class countingStream : public memoryStream
{
public:
    explicit countingStream(const std::vector<std::uint8_t>& bytes) : memoryStream(ptr<memory>(new memory))
    {
        m_memory->assign(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    std::uint32_t read(std::uint32_t position, std::uint8_t* destination, std::uint32_t length) override
    {
        ++reads;
        lastReadLength = length;
        return memoryStream::read(position, destination, length);
    }
    void write(std::uint32_t position, const std::uint8_t* source, std::uint32_t length) override
    {
        if (failWrites)
            throw streamExceptionWrite("stream::write failure");
        memoryStream::write(position, source, length);
    }
    int reads = 0;
    std::uint32_t lastReadLength = 0;
    bool failWrites = false;
};
} // namespace

TEST(Stream, OpenModeTable)
{
    using std::ios_base;
    struct row
    {
        ios_base::openmode mode;
        const char* text;
    };
    const row rows[] = {
        {ios_base::in | ios_base::binary, "rb"},
        {ios_base::out, "wb"},
        {ios_base::out | ios_base::trunc | ios_base::binary, "wb"},
        {ios_base::out | ios_base::app, "ab"},
        {ios_base::in | ios_base::out, "r+b"},
        {ios_base::in | ios_base::out | ios_base::app, "a+b"},
        {ios_base::in | ios_base::out | ios_base::trunc, "w+b"},
        {ios_base::in | ios_base::ate, "b"},
        {ios_base::trunc, "b"},
    };
    for (const row& r : rows)
        EXPECT_EQ(r.text, stream::modeText(r.mode));
}

TEST(Stream, OpenFailuresThrowWithTrail)
{
    const std::string path = tempPath("open");
    writeFile(path, pattern(10));
    exceptionsManager::getTrailText();

    ptr<stream> file(new stream);
    try
    {
        file->openFile(path, std::ios_base::in | std::ios_base::ate);
        FAIL() << "opened with an unsupported mode";
    }
    catch (const streamExceptionOpen& e)
    {
        EXPECT_STREQ("stream::openFile failure", e.what());
    }
    const std::wstring trail = exceptionsManager::getTrailText();
    EXPECT_EQ(0u, trail.find(L"[stream::openFile (ansi)]"));
    EXPECT_NE(std::wstring::npos, trail.find(L"Halvoran::streamExceptionOpen"));

    EXPECT_THROW(file->openFile(std::wstring(L"/nonexistent/dir/f\u00FCr.dcm"), std::ios_base::in), streamExceptionOpen);
    EXPECT_EQ(0u, exceptionsManager::getTrailText().find(L"[stream::openFile (unicode)]"));
    std::remove(path.c_str());
}

TEST(Stream, WideNameIsUtf8AndReopenClosesTheFirst)
{
    const std::string path = tempPath("wide_\xC3\xBC.bin");
    writeFile(path, pattern(3));
    std::wstring wide;
    for (char c : tempPath("wide_"))
        wide.push_back(static_cast<unsigned char>(c));
    wide += L"\u00FC.bin";

    ptr<stream> file(new stream);
    file->openFile(wide, std::ios_base::in);
    file->openFile(path, std::ios_base::in);
    std::uint8_t bytes[4] = {};
    EXPECT_EQ(3u, file->read(0, bytes, 4));
    EXPECT_EQ(pattern(3)[2], bytes[2]);
    EXPECT_EQ(3u, file->getSize());
    std::remove(path.c_str());
}

TEST(StreamReader, FillsInBlocksAndThrowsPastTheEnd)
{
    const std::vector<std::uint8_t> bytes = pattern(5000);
    ptr<countingStream> source(new countingStream(bytes));
    ptr<streamReader> reader(new streamReader(source));

    std::vector<std::uint8_t> got(5001, 0xEE);
    EXPECT_EQ(4096u, reader->fillDataBuffer());
    reader->read(got.data(), 4096);
    EXPECT_EQ(904u, reader->fillDataBuffer());
    reader->seek(0);
    exceptionsManager::getTrailText();
    try
    {
        reader->read(got.data(), 5001);
        FAIL() << "read past the end";
    }
    catch (const streamExceptionEOF& e)
    {
        EXPECT_STREQ("Attempt to read past the end of the file", e.what());
    }
    // The reader records no entry of its own.
    EXPECT_EQ(L"", exceptionsManager::getTrailText());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), got.begin()));
    EXPECT_EQ(5000u, reader->position());
    EXPECT_TRUE(reader->atEnd());
}

TEST(StreamReader, VirtualWindow)
{
    const std::string path = tempPath("window");
    const std::vector<std::uint8_t> bytes = pattern(1000);
    writeFile(path, bytes);
    ptr<stream> file(new stream);
    file->openFile(path, std::ios_base::in | std::ios_base::binary);
    ptr<streamReader> reader(new streamReader(file, 100, 10));

    std::uint8_t got[10];
    reader->read(got, 4);
    EXPECT_EQ(4u, reader->position());
    EXPECT_EQ(104u, reader->absolutePosition());
    reader->read(got + 4, 6);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 100, got, 10));
    EXPECT_TRUE(reader->atEnd());
    std::uint8_t one;
    EXPECT_THROW(reader->read(&one, 1), streamExceptionEOF);

    reader->seek(3);
    reader->read(&one, 1);
    EXPECT_EQ(bytes[103], one);
    reader->seek(50);
    EXPECT_TRUE(reader->atEnd());
    std::remove(path.c_str());
}

TEST(StreamReader, SeekInsideBufferReadsNothing)
{
    ptr<countingStream> source(new countingStream(pattern(10000)));
    ptr<streamReader> reader(new streamReader(source));
    std::uint8_t byte;
    reader->read(&byte, 1);
    EXPECT_EQ(1, source->reads);
    reader->seek(4095);
    reader->seek(-4000, true);
    reader->read(&byte, 1);
    EXPECT_EQ(pattern(10000)[95], byte);
    EXPECT_EQ(1, source->reads);
    reader->seek(4096);
    EXPECT_EQ(2, source->reads);
    reader->read(&byte, 1);
    EXPECT_EQ(pattern(10000)[4096], byte);
}

TEST(StreamReader, JpegModeEscapesAndMarkers)
{
    const std::vector<std::uint8_t> bytes = {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xFF, 0xD9, 0xFF};
    ptr<streamReader> reader(new streamReader(new countingStream(bytes)));
    std::uint8_t marker = 0;
    reader->m_pTagByte = &marker;

    std::uint8_t value = 0;
    EXPECT_TRUE(reader->readByte(&value));
    EXPECT_EQ(0x12, value);
    EXPECT_TRUE(reader->readByte(&value));
    EXPECT_EQ(0xFF, value);
    EXPECT_TRUE(reader->readByte(&value));
    EXPECT_EQ(0x34, value);
    EXPECT_FALSE(reader->readByte(&value));
    EXPECT_EQ(0xD9, marker);
    EXPECT_EQ(0xD9, value);
    // A lone 0xFF at the end runs out of data.
    EXPECT_THROW(reader->readByte(&value), streamExceptionEOF);

    // Outside JPEG mode every byte comes unchanged.
    ptr<streamReader> plain(new streamReader(new countingStream(bytes)));
    for (std::uint8_t expected : bytes)
    {
        EXPECT_TRUE(plain->readByte(&value));
        EXPECT_EQ(expected, value);
    }
}

TEST(StreamReader, ReadBitMostSignificantFirst)
{
    ptr<streamReader> reader(new streamReader(new countingStream({0xA5, 0x80})));
    std::vector<std::uint32_t> bits;
    std::uint32_t bit;
    for (int i = 0; i < 9; ++i)
    {
        ASSERT_TRUE(reader->readBit(&bit));
        bits.push_back(bit);
    }
    EXPECT_EQ((std::vector<std::uint32_t>{1, 0, 1, 0, 0, 1, 0, 1, 1}), bits);
}

TEST(MemoryStream, WriteBeyondEndGrowsWithZeroGap)
{
    ptr<memory> block(new memory);
    ptr<memoryStream> s(new memoryStream(block));
    const std::uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    s->write(2000, ten, 10);
    EXPECT_EQ(2010u, block->size());
    EXPECT_GE(block->capacity(), 2048u);
    for (std::uint32_t i = 0; i < 2000; ++i)
        ASSERT_EQ(0, block->data()[i]);
    EXPECT_EQ(10, block->data()[2009]);

    std::uint8_t got[20];
    EXPECT_EQ(10u, s->read(2000, got, 20));
    EXPECT_EQ(0u, s->read(2010, got, 20));
    EXPECT_EQ(0u, s->read(0, got, 0));
    s->write(5, ten, 0);
    EXPECT_EQ(2010u, block->size());
}

TEST(StreamController, FixByteOrder)
{
    const std::uint32_t foreign = streamController::getPlatformEndian() == streamController::lowByteEndian
                                      ? streamController::highByteEndian
                                      : streamController::lowByteEndian;
    const std::uint32_t own = streamController::getPlatformEndian();
    const std::vector<std::uint8_t> original = {0, 1, 2, 3, 4, 5, 6, 7};
    struct row
    {
        std::uint32_t wordSize;
        std::uint32_t order;
        std::uint32_t count;
        std::vector<std::uint8_t> expected;
    };
    const row rows[] = {
        {2, own, 4, original},
        {1, foreign, 8, original},
        {0, foreign, 8, original},
        {2, foreign, 4, {1, 0, 3, 2, 5, 4, 7, 6}},
        {4, foreign, 2, {3, 2, 1, 0, 7, 6, 5, 4}},
        {2, foreign, 1, {1, 0, 2, 3, 4, 5, 6, 7}},
        {8, foreign, 1, {7, 6, 5, 4, 3, 2, 1, 0}},
    };
    for (const row& r : rows)
    {
        std::vector<std::uint8_t> bytes = original;
        streamController::fixByteOrder(bytes.data(), r.wordSize, r.order, r.count);
        EXPECT_EQ(r.expected, bytes) << "word size " << r.wordSize;
    }
}

TEST(StreamWriter, DestructorFlushesAndNeverThrows)
{
    ptr<memory> block(new memory);
    {
        ptr<streamWriter> writer(new streamWriter(new memoryStream(block)));
        const std::uint8_t bytes[3] = {7, 8, 9};
        writer->write(bytes, 3);
        EXPECT_EQ(0u, block->size());
    }
    EXPECT_EQ(3u, block->size());

    exceptionsManager::getTrailText();
    ptr<countingStream> failing(new countingStream({}));
    failing->failWrites = true;
    {
        ptr<streamWriter> writer(new streamWriter(failing));
        const std::uint8_t bytes[3] = {7, 8, 9};
        writer->write(bytes, 3);
        EXPECT_THROW(writer->flush(), streamExceptionWrite);
        writer->write(bytes, 3);
    }
    // The failure in the destructor is recorded, not thrown.
    const std::wstring trail = exceptionsManager::getTrailText();
    EXPECT_NE(std::wstring::npos, trail.find(L"[streamWriter::~streamWriter]"));
}

TEST(StreamWriter, FileWriteFailureThrows)
{
    // /dev/full accepts the open and refuses every write.
    ptr<stream> full(new stream);
    full->openFile(std::string("/dev/full"), std::ios_base::out);
    ptr<streamWriter> writer(new streamWriter(full));
    const std::uint8_t bytes[16] = {};
    writer->write(bytes, sizeof(bytes));
    try
    {
        writer->flush();
        FAIL() << "write to /dev/full succeeded";
    }
    catch (const streamExceptionWrite& e)
    {
        EXPECT_STREQ("stream::write failure", e.what());
    }
    exceptionsManager::getTrailText();
}

TEST(StreamReaderWriter, RandomChunkCopyMatchesCmp)
{
    const std::string inPath = tempPath("copy_in");
    const std::string outPath = tempPath("copy_out");
    std::mt19937 random(12345);
    std::vector<std::uint8_t> bytes(6 * 1024 * 1024 + 4321);
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(random());
    writeFile(inPath, bytes);

    {
        ptr<stream> in(new stream);
        in->openFile(inPath, std::ios_base::in);
        ptr<stream> out(new stream);
        out->openFile(outPath, std::ios_base::out | std::ios_base::trunc);
        ptr<streamReader> reader(new streamReader(in));
        ptr<streamWriter> writer(new streamWriter(out));
        std::vector<std::uint8_t> chunk(70000);
        std::uniform_int_distribution<std::uint32_t> chunkSize(1, 70000);
        std::uint32_t left = static_cast<std::uint32_t>(bytes.size());
        while (left != 0)
        {
            const std::uint32_t count = std::min(left, chunkSize(random));
            reader->read(chunk.data(), count);
            writer->write(chunk.data(), count);
            left -= count;
        }
        EXPECT_TRUE(reader->atEnd());
        writer->flush();
    }
    const std::string command = "cmp -s '" + inPath + "' '" + outPath + "'";
    EXPECT_EQ(0, std::system(command.c_str()));
    std::remove(inPath.c_str());
    std::remove(outPath.c_str());
}

TEST(StreamReader, BigEndianWordsThroughFixByteOrder)
{
    // 0x0102 and 0x03040506 stored high byte first.
    ptr<streamReader> reader(new streamReader(new countingStream({0x01, 0x02, 0x03, 0x04, 0x05, 0x06})));
    std::uint16_t word;
    std::uint32_t dword;
    reader->read(reinterpret_cast<std::uint8_t*>(&word), 2);
    streamController::fixByteOrder(reinterpret_cast<std::uint8_t*>(&word), 2, streamController::highByteEndian, 1);
    reader->read(reinterpret_cast<std::uint8_t*>(&dword), 4);
    streamController::fixByteOrder(reinterpret_cast<std::uint8_t*>(&dword), 4, streamController::highByteEndian, 1);
    EXPECT_EQ(0x0102, word);
    EXPECT_EQ(0x03040506u, dword);
}

TEST(StreamWriter, ResetOutBitsBufferWritesThePartialByte)
{
    ptr<memory> block(new memory);
    ptr<streamWriter> writer(new streamWriter(new memoryStream(block)));
    writer->resetOutBitsBuffer();
    EXPECT_EQ(0u, block->size());

    // Three bits 101 placed from the top: 0xA0, written and flushed at once.
    writer->m_outBitsBuffer = 0xA0;
    writer->m_outBitsNum = 3;
    writer->resetOutBitsBuffer();
    ASSERT_EQ(1u, block->size());
    EXPECT_EQ(0xA0, block->data()[0]);
    EXPECT_EQ(0u, writer->m_outBitsNum);

    // In JPEG mode a 0xFF byte is followed by 0x00.
    std::uint8_t marker = 0;
    writer->m_pTagByte = &marker;
    writer->m_outBitsBuffer = 0xFF;
    writer->m_outBitsNum = 8;
    writer->resetOutBitsBuffer();
    ASSERT_EQ(3u, block->size());
    EXPECT_EQ(0xFF, block->data()[1]);
    EXPECT_EQ(0x00, block->data()[2]);
}

TEST(MemoryStream, GrowsGeometricallyWhileWritten)
{
    // A 4 MB stream written through a writer's 4,096-byte flushes: the block
    // is moved a few times, not once per flush.
    ptr<memory> block(new memory);
    ptr<memoryStream> out(new memoryStream(block));
    std::vector<std::uint8_t> chunk(1000, 0x5A);
    std::uint32_t moves = 0;
    const std::uint8_t* last = nullptr;
    {
        ptr<streamWriter> writer(new streamWriter(out));
        for (int i = 0; i < 4000; ++i)
        {
            writer->write(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
            if (block->data() != last)
            {
                ++moves;
                last = block->data();
            }
        }
    }
    EXPECT_EQ(block->size(), 4000000u);
    EXPECT_LE(moves, 16u);
}
