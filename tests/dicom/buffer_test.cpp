#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/stream.h"
#include "dicom/core/buffer.h"
#include "dicom/core/dataHandlerNumeric.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dataHandlerString.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace dicomtest;

namespace
{
ptr<memoryStream> memoryOf(const std::string& bytes)
{
    ptr<memory> block(new memory);
    block->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    return ptr<memoryStream>(new memoryStream(block));
}

// A memory stream that counts the reads reaching it.
class countingStream : public memoryStream
{
public:
    explicit countingStream(const std::string& bytes) : memoryStream(ptr<memory>(new memory))
    {
        m_memory->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    }
    std::uint32_t read(std::uint32_t position, std::uint8_t* destination, std::uint32_t length) override
    {
        ++reads;
        return memoryStream::read(position, destination, length);
    }
    int reads = 0;
};

std::uint32_t wordSizeOf(const std::string& vr)
{
    // What the file reader passes: FL and FD have no word size of their own
    // in the dictionary; the buffer reorders them by their element size.
    if (vr == "US" || vr == "SS" || vr == "OW" || vr == "AT")
        return 2;
    if (vr == "UL" || vr == "SL")
        return 4;
    return 0;
}

// "(gggg,eeee)" -> value text, from dcmdump's output.
std::map<std::string, std::string> dcmdumpValues(const std::string& path)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(readFile(path));
    std::string line;
    while (std::getline(lines, line))
    {
        if (line.size() < 15 || line[0] != '(')
            continue;
        std::string value = line.substr(15, line.find('#') - 15);
        value.erase(value.find_last_not_of(' ') + 1);
        if (value.size() >= 2 && value.front() == '[' && value.back() == ']')
            value = value.substr(1, value.size() - 2);
        values[line.substr(0, 11)] = value;
    }
    return values;
}

std::vector<std::string> splitBackslash(const std::string& text)
{
    std::vector<std::string> pieces;
    std::stringstream stream(text);
    std::string piece;
    while (std::getline(stream, piece, '\\'))
        pieces.push_back(piece);
    return pieces;
}

std::string tagText(std::uint16_t group, std::uint16_t tag)
{
    char text[16];
    std::snprintf(text, sizeof(text), "(%04x,%04x)", group, tag);
    return text;
}
} // namespace

TEST(Buffer, VrIsTwoCharactersOrOB)
{
    ptr<baseObject> lock(new baseObject);
    for (const auto& [type, vr] : std::map<std::string, std::string>{{"US", "US"}, {"", "OB"}, {"U", "OB"}, {"USS", "OB"}})
        EXPECT_EQ(vr, ptr<buffer>(new buffer(lock, type))->getDataType()) << type;
}

TEST(Buffer, UnknownTypeThrowsButRawWorks)
{
    for (const char* vr : {"SQ", "OF", "XX"})
    {
        ptr<buffer> valueBuffer = makeBuffer(vr, "abcd");
        exceptionsManager::getTrailText();
        try
        {
            valueBuffer->getDataHandler(false, 0);
            FAIL() << vr;
        }
        catch (const bufferExceptionUnknownType& e)
        {
            EXPECT_STREQ("Unknown data type requested", e.what());
        }
        EXPECT_NE(std::wstring::npos, exceptionsManager::getTrailText().find(L"[buffer::getDataHandler]"));
        EXPECT_EQ(4u, valueBuffer->getDataHandlerRaw(false, 0)->getSize());
    }
}

TEST(Buffer, WritingHandlerSizes)
{
    ptr<buffer> empty(new buffer(ptr<baseObject>(new baseObject), "US"));
    EXPECT_EQ(0u, empty->getDataHandler(true, 0)->getSize());
    // A released writer of an empty value commits an empty value.
    EXPECT_EQ(0u, empty->getBufferSizeBytes());
    EXPECT_EQ(3u, empty->getDataHandler(true, 3)->getSize());
    EXPECT_EQ(6u, empty->getBufferSizeBytes());

    ptr<buffer> ten = makeBuffer("US", std::string(10, '\x01'));
    EXPECT_EQ(5u, ten->getDataHandler(true, 7)->getSize());

    // An odd length is padded to even with the handler's padding byte.
    ptr<buffer> five = makeBuffer("OB", "\x01\x02\x03\x04\x05");
    EXPECT_EQ(std::string("\x01\x02\x03\x04\x05\x00", 6), bufferBytes(five));
    ptr<buffer> ui = makeBuffer("UI", "");
    {
        ptr<handlers::dataHandler> handler = ui->getDataHandler(true, 0);
        handler->setSize(1);
        handler->setUnicodeString(L"1.2.3");
    }
    EXPECT_EQ(std::string("1.2.3\0", 6), bufferBytes(ui));
    ptr<buffer> cs = makeBuffer("CS", "");
    {
        ptr<handlers::dataHandler> handler = cs->getDataHandler(true, 0);
        handler->setSize(2);
        handler->setUnicodeString(L"A");
        handler->setPointer(1);
        handler->setUnicodeString(L"B");
    }
    EXPECT_EQ("A\\B ", bufferBytes(cs));
}

TEST(Buffer, OnDemandLoadsReorderedCopiesUntilCommitted)
{
    const std::string bytes("\x00\x01\x00\x02\x00\x03", 6);
    ptr<countingStream> source(new countingStream(bytes));
    ptr<buffer> valueBuffer(new buffer(ptr<baseObject>(new baseObject), "US", source, 0, 6, 2, 2));
    EXPECT_EQ(6u, valueBuffer->getBufferSizeBytes());
    EXPECT_EQ(0, source->reads);

    {
        ptr<handlers::dataHandler> handler = valueBuffer->getDataHandler(false, 0);
        ASSERT_EQ(3u, handler->getSize());
        EXPECT_EQ(1u, handler->getUnsignedLongIncPointer());
        EXPECT_EQ(2u, handler->getUnsignedLongIncPointer());
        EXPECT_EQ(3u, handler->getUnsignedLongIncPointer());
        // A reading handler of an on-demand value writes into its own copy.
        handler->setPointer(0);
        handler->setUnsignedLong(99);
    }
    const int readsAfterFirst = source->reads;
    EXPECT_GT(readsAfterFirst, 0);
    EXPECT_EQ(1u, valueBuffer->getDataHandler(false, 0)->getUnsignedLong());
    EXPECT_GT(source->reads, readsAfterFirst);

    // The stream reader delivers the stored bytes as they are.
    {
        ptr<streamReader> reader = valueBuffer->getStreamReader();
        std::string raw(6, '\0');
        reader->read(reinterpret_cast<std::uint8_t*>(raw.data()), 6);
        EXPECT_EQ(bytes, raw);
    }

    // After a write is committed the stream is no longer read.
    {
        ptr<handlers::dataHandler> writer = valueBuffer->getDataHandler(true, 0);
        writer->setPointer(2);
        writer->setUnsignedLong(7);
    }
    const int readsBeforeMemory = source->reads;
    ptr<handlers::dataHandler> handler = valueBuffer->getDataHandler(false, 0);
    EXPECT_EQ(7u, (handler->setPointer(2), handler->getUnsignedLong()));
    EXPECT_EQ(1u, (handler->setPointer(0), handler->getUnsignedLong()));
    EXPECT_EQ(6u, valueBuffer->getBufferSizeBytes());
    ptr<streamReader> reader = valueBuffer->getStreamReader();
    std::uint16_t first = 0;
    reader->read(reinterpret_cast<std::uint8_t*>(&first), 2);
    EXPECT_EQ(1u, first);
    EXPECT_EQ(readsBeforeMemory, source->reads);
}

TEST(Buffer, OnDemandWordSizeZeroKeepsBytes)
{
    ptr<buffer> valueBuffer(
        new buffer(ptr<baseObject>(new baseObject), "OB", memoryOf(std::string("\x01\x02\x03\x04", 4)), 0, 4, 0, 2));
    EXPECT_EQ(std::string("\x01\x02\x03\x04", 4), bufferBytes(valueBuffer));
}

TEST(Buffer, CorruptLengthFailsBeforeAllocating)
{
    // A length of nearly 4 GiB over a 16-byte stream: refused at once.
    ptr<buffer> valueBuffer(
        new buffer(ptr<baseObject>(new baseObject), "OB", memoryOf(std::string(16, 'x')), 8, 0xFFFFFFF0u, 1, 1));
    EXPECT_EQ(0xFFFFFFF0u, valueBuffer->getBufferSizeBytes());
    EXPECT_THROW(valueBuffer->getDataHandler(false, 0), streamExceptionEOF);
    EXPECT_THROW(valueBuffer->getDataHandler(true, 0), streamExceptionEOF);
    exceptionsManager::getTrailText();

    ptr<buffer> tooLong(new buffer(ptr<baseObject>(new baseObject), "US", memoryOf(std::string(16, 'x')), 10, 8, 2, 1));
    EXPECT_THROW(tooLong->getDataHandler(false, 0), streamExceptionEOF);
    exceptionsManager::getTrailText();
}

TEST(Buffer, ReadingNumericHandlerWritesInPlaceReadingStringHandlerLoses)
{
    ptr<buffer> numbers = makeBuffer("US", std::string("\x01\x00\x02\x00", 4));
    {
        ptr<handlers::dataHandler> reader = numbers->getDataHandler(false, 0);
        reader->setUnsignedLong(500);
    }
    EXPECT_EQ(500u, numbers->getDataHandler(false, 0)->getUnsignedLong());

    ptr<buffer> text = makeBuffer("CS", "ABC ");
    {
        ptr<handlers::dataHandler> reader = text->getDataHandler(false, 0);
        reader->setUnicodeString(L"XYZ");
        EXPECT_EQ(L"XYZ", reader->getUnicodeString());
    }
    EXPECT_EQ("ABC ", bufferBytes(text));
}

TEST(Buffer, UntouchedWriterHandsBackTheSameBytes)
{
    const std::string bytes("\x10\x20\x30\x40", 4);
    ptr<buffer> valueBuffer = makeBuffer("SS", bytes);
    {
        ptr<handlers::dataHandler> writer = valueBuffer->getDataHandler(true, 0);
    }
    EXPECT_EQ(bytes, bufferBytes(valueBuffer));
}

TEST(Buffer, OnDemandValuesMatchDcmdump)
{
    for (const bool bBigEndian : {false, true})
    {
        const std::string base = std::string(KESTROVA_TEST_DATA "/dicom/values/values_") + (bBigEndian ? "be" : "le");
        const std::string bytes = readFile(base + ".bin");
        const std::map<std::string, std::string> expected = dcmdumpValues(base + ".txt");
        ASSERT_EQ(16u, expected.size());

        ptr<stream> file(new stream);
        file->openFile(base + ".bin", std::ios_base::in);
        ptr<baseObject> lock(new baseObject);
        int checked = 0;
        for (const element& e : walkExplicitShort(bytes, bBigEndian))
        {
            const std::string tag = tagText(e.group, e.tag);
            ASSERT_EQ(1u, expected.count(tag)) << tag;
            const std::string& oracle = expected.at(tag);
            ptr<buffer> valueBuffer(
                new buffer(lock, e.vr, file, e.offset, e.length, wordSizeOf(e.vr), bBigEndian ? 2 : 1));
            ptr<handlers::dataHandler> handler = valueBuffer->getDataHandler(false, 0);

            if (e.vr == "AT")
            {
                const std::uint32_t group = handler->getUnsignedLongIncPointer();
                const std::uint32_t tagId = handler->getUnsignedLongIncPointer();
                EXPECT_EQ(oracle, tagText(static_cast<std::uint16_t>(group), static_cast<std::uint16_t>(tagId)));
            }
            else if (e.vr.size() == 2 && std::string("US SS UL SL FL FD").find(e.vr) != std::string::npos)
            {
                const std::vector<std::string> pieces = splitBackslash(oracle);
                ASSERT_EQ(pieces.size(), handler->getSize()) << tag;
                for (const std::string& piece : pieces)
                {
                    const double want = std::stod(piece);
                    EXPECT_NEAR(want, handler->getDoubleIncPointer(), std::fabs(want) * 1e-7) << tag << " " << piece;
                }
            }
            else if (e.vr == "DA" || e.vr == "TM" || e.vr == "DT")
            {
                // The readable forms of the stored text.
                const std::map<std::string, std::wstring> readable = {
                    {"DA", L"2001-01-05"}, {"TM", L"10:20:30.250000"}, {"DT", L"2001-01-05 10:20:30.500000+01:00"}};
                EXPECT_EQ(readable.at(e.vr), handler->getUnicodeString()) << tag << " stored as " << oracle;
            }
            else
            {
                std::wstring joined;
                for (std::uint32_t i = 0; i < handler->getSize(); ++i)
                {
                    handler->setPointer(i);
                    joined += (i == 0 ? L"" : L"\\") + handler->getUnicodeString();
                }
                EXPECT_EQ(fromUtf8(oracle), joined) << tag;
                if (e.vr == "DS" || e.vr == "IS")
                {
                    const std::vector<std::string> pieces = splitBackslash(oracle);
                    handler->setPointer(0);
                    for (const std::string& piece : pieces)
                        EXPECT_DOUBLE_EQ(e.vr == "IS" ? std::stoi(piece) : std::stod(piece),
                                         handler->getDoubleIncPointer());
                }
            }
            ++checked;
        }
        EXPECT_EQ(16, checked);
    }
}

TEST(Buffer, WriteBackFailureKeepsOldValueAndDoesNotThrow)
{
    // A handler whose charsets start with another default than the buffer's
    // cannot be merged back: the old value stays, nothing escapes.
    const charsetsList::tCharsetsList latin1{L"ISO_IR 100"};
    ptr<buffer> valueBuffer = makeBuffer("LO", "Caf\xE9", latin1);
    exceptionsManager::getTrailText();
    {
        ptr<handlers::dataHandler> writer = valueBuffer->getDataHandler(true, 0);
        writer->setUnicodeString(L"Tea");
        // Another writer changes the buffer's charsets in between.
        const charsetsList::tCharsetsList utf8{L"ISO_IR 192"};
        valueBuffer->setCharsetsList(&utf8);
    }
    EXPECT_EQ("Caf\xE9", bufferBytes(valueBuffer));
    const std::wstring trail = exceptionsManager::getTrailText();
    EXPECT_NE(std::wstring::npos, trail.find(L"[buffer::copyBack]"));
    EXPECT_NE(std::wstring::npos, trail.find(L"[dataHandler::copyBack]"));
    EXPECT_NE(std::wstring::npos, trail.find(L"[dataHandler::preDelete]"));
    EXPECT_NE(std::wstring::npos, trail.find(L"Different default charsets"));
}

TEST(Buffer, HandlersOfOneDataSetShareTheLock)
{
    ptr<baseObject> dataSetLock(new baseObject);
    ptr<buffer> first(new buffer(dataSetLock, "US"));
    ptr<buffer> second(new buffer(dataSetLock, "US"));
    EXPECT_EQ(dataSetLock.get(), first->getLockRoot());
    EXPECT_EQ(first->getLockRoot(), second->getLockRoot());
}

TEST(Buffer, EveryValueRepresentationHasItsHandler)
{
    // VR -> unit size of its handler (0 for the string VRs but AS and DA).
    const std::map<std::string, std::uint32_t> units = {
        {"AE", 0}, {"AS", 4}, {"CS", 0}, {"DS", 0}, {"IS", 0}, {"LO", 0}, {"LT", 0}, {"PN", 0}, {"SH", 0},
        {"ST", 0}, {"UI", 0}, {"UT", 0}, {"OB", 1}, {"UN", 1}, {"SB", 1}, {"OW", 2}, {"AT", 2}, {"US", 2},
        {"SS", 2}, {"UL", 4}, {"SL", 4}, {"FL", 4}, {"FD", 8}, {"DA", 8}, {"DT", 0}, {"TM", 0}};
    for (const auto& [vr, unit] : units)
    {
        ptr<buffer> valueBuffer(new buffer(ptr<baseObject>(new baseObject), vr));
        ptr<handlers::dataHandler> handler = valueBuffer->getDataHandler(true, 2);
        EXPECT_EQ(unit, handler->getUnitSize()) << vr;
        EXPECT_EQ(vr, handler->getDataType());
    }
}
