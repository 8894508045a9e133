#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/stream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataHandler.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dataSetDumper.h"
#include "dicom/core/dicomCodec.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <cstring>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace Halvoran::Varnix::codecs;
using namespace dicomtest;

namespace
{
const char* const fixtures[] = {"explicit_le", "implicit_le", "explicit_be", "undefined_lengths", "nema_implicit",
                                "encapsulated"};

std::string fixturePath(const std::string& name)
{
    return std::string(KESTROVA_TEST_DATA "/dicom/files/") + name;
}

ptr<streamReader> readerOf(const std::string& bytes)
{
    ptr<memory> block(new memory);
    block->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    return ptr<streamReader>(new streamReader(ptr<baseStream>(new memoryStream(block))));
}

ptr<dataSet> loadFile(const std::string& path, std::uint32_t loadLimit = 0xFFFFFFFFu)
{
    ptr<stream> file(new stream);
    file->openFile(path, std::ios_base::in);
    return codecFactory::getCodecFactory()->load(ptr<streamReader>(new streamReader(file)), loadLimit);
}

ptr<dataSet> loadBytes(const std::string& bytes, std::uint32_t loadLimit = 0xFFFFFFFFu)
{
    return codecFactory::getCodecFactory()->load(readerOf(bytes), loadLimit);
}

std::vector<std::string> dumpLines(const ptr<dataSet>& loaded)
{
    std::ostringstream out;
    dataSetDumper::dump(loaded, out);
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// dcmdump's listing in the dumper's form: delimitation lines dropped,
// brackets and comments removed, descriptions in parentheses dropped.
std::vector<std::string> normalisedDcmdump(const std::string& path)
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);)
    {
        const std::size_t open = line.find('(');
        if (open == std::string::npos || line.find_first_not_of(' ') != open)
            continue;
        const std::string tag = line.substr(open, 11);
        if (tag == "(fffe,e00d)" || tag == "(fffe,e0dd)")
            continue;
        const std::string vr = line.substr(open + 12, 2);
        std::string value = line.substr(open + 15);
        const std::size_t comment = value.rfind(" #");
        value = value.substr(0, comment);
        value.erase(value.find_last_not_of(' ') + 1);
        if (!value.empty() && value.front() == '(' && tag != "(fffe,e000)")
            value.clear();
        if (!value.empty() && value.front() == '(' && vr == "na")
            value.clear();
        if (value.size() >= 2 && value.front() == '[' && value.back() == ']')
            value = value.substr(1, value.size() - 2);
        lines.push_back(line.substr(0, open) + tag + " " + vr + (value.empty() ? "" : " " + value));
    }
    return lines;
}

// Lines equal, or both cut ("...") and equal up to the shorter cut.
bool sameLine(const std::string& ours, const std::string& theirs)
{
    if (ours == theirs)
        return true;
    const bool oursCut = ours.size() >= 3 && ours.compare(ours.size() - 3, 3, "...") == 0;
    const bool theirsCut = theirs.size() >= 3 && theirs.compare(theirs.size() - 3, 3, "...") == 0;
    if (!oursCut && !theirsCut)
        return false;
    const std::string a = oursCut ? ours.substr(0, ours.size() - 3) : ours;
    const std::string b = theirsCut ? theirs.substr(0, theirs.size() - 3) : theirs;
    const std::size_t common = std::min(a.size(), b.size());
    return a.compare(0, common, b, 0, common) == 0 && (oursCut || a.size() >= b.size()) &&
           (theirsCut || b.size() >= a.size());
}

// In implicit VR the dictionary gives Pixel Data the VR OB, where dcmdump
// chooses OW from the bits allocated: its words are shown as the
// little-endian bytes they are.
std::string asImplicitPixelBytes(const std::string& line)
{
    const std::string prefix = "(7fe0,0010) OW ";
    if (line.compare(0, prefix.size(), prefix) != 0)
        return line;
    std::string bytes = "(7fe0,0010) OB ";
    std::istringstream words(line.substr(prefix.size()));
    bool first = true;
    for (std::string word; std::getline(words, word, '\\');)
    {
        if (word.size() < 4)
        {
            bytes += "...";
            break;
        }
        bytes += (first ? "" : "\\") + word.substr(2, 2) + "\\" + word.substr(0, 2);
        first = false;
        if (word.size() > 4)
            bytes += "...";
    }
    return bytes;
}

void expectSameListing(const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
                       const std::string& what)
{
    ASSERT_EQ(theirs.size(), ours.size()) << what;
    for (std::size_t i = 0; i < ours.size(); ++i)
        EXPECT_TRUE(sameLine(ours[i], theirs[i]) || sameLine(ours[i], asImplicitPixelBytes(theirs[i]))) << what << " line " << i << "\n ours:    " << ours[i]
                                                  << "\n dcmdump: " << theirs[i];
}

std::vector<std::string> withoutGroupLengths(std::vector<std::string> lines)
{
    std::vector<std::string> kept;
    for (const std::string& line : lines)
    {
        const std::size_t open = line.find('(');
        if (line.compare(open + 6, 5, "0000)") != 0)
            kept.push_back(line);
    }
    return kept;
}

std::string writeToBytes(const ptr<dataSet>& source)
{
    ptr<memory> block(new memory);
    {
        ptr<streamWriter> writer(new streamWriter(ptr<baseStream>(new memoryStream(block))));
        ptr<codec> dicom = codecFactory::getCodec(L"1.2.840.10008.1.2.1");
        dicom->writeStream(writer, source);
    }
    return block->empty() ? std::string() : std::string(reinterpret_cast<const char*>(block->data()), block->size());
}

std::string le16(std::uint16_t v)
{
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string le32(std::uint32_t v)
{
    return le16(static_cast<std::uint16_t>(v & 0xFFFF)) + le16(static_cast<std::uint16_t>(v >> 16));
}
// An explicit little-endian element with a 16-bit length.
std::string shortElement(std::uint16_t group, std::uint16_t element, const char* vr, const std::string& value)
{
    return le16(group) + le16(element) + vr + le16(static_cast<std::uint16_t>(value.size())) + value;
}
std::string preamble()
{
    return std::string(128, '\0') + "DICM";
}
std::string metaExplicitLittle()
{
    return shortElement(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1\0", 20));
}
} // namespace

TEST(DicomCodec, FixturesReadAsDcmdumpShowsThem)
{
    for (const char* name : fixtures)
    {
        const std::vector<std::string> theirs = normalisedDcmdump(fixturePath(name) + ".dcmdump.txt");
        ASSERT_FALSE(theirs.empty()) << name;
        // Everything loaded, and everything left on the stream.
        for (std::uint32_t limit : {0xFFFFFFFFu, 0u, 16u})
            expectSameListing(dumpLines(loadFile(fixturePath(name) + ".dcm", limit)), theirs,
                              std::string(name) + " limit " + std::to_string(limit));
    }
}

TEST(DicomCodec, TypedReadsOfTheImportTags)
{
    for (const char* name : {"explicit_le", "implicit_le", "explicit_be", "undefined_lengths", "nema_implicit"})
    {
        ptr<dataSet> loaded = loadFile(fixturePath(name) + ".dcm", 2048);
        EXPECT_EQ(L"M\u00FCller^Hans", loaded->getUnicodeString(0x0010, 0, 0x0010, 0)) << name;
        EXPECT_EQ("M\xFCller^Hans", loaded->getString(0x0010, 0, 0x0010, 0)) << name;
        EXPECT_EQ(2u, loaded->getUnsignedLong(0x0028, 0, 0x0008, 0)) << name;
        EXPECT_EQ("1960-01-02", loaded->getString(0x0010, 0, 0x0030, 0)) << name;
        EXPECT_DOUBLE_EQ(0.5, loaded->getDouble(0x0028, 0, 0x0030, 1)) << name;
        EXPECT_DOUBLE_EQ(-30.5, loaded->getDouble(0x0018, 0, 0x1510, 0)) << name;
        EXPECT_DOUBLE_EQ(0.125, loaded->getDouble(0x0018, 0, 0x602C, 0)) << name;
        EXPECT_DOUBLE_EQ(-1.25, loaded->getDouble(0x0028, 0, 0x6114, 1)) << name;
        EXPECT_EQ(4u, loaded->getUnsignedLong(0x0028, 0, 0x0010, 0)) << name;
        // Pixel data (64 bytes) stays on the stream and loads when used; OW
        // words come in the machine's order (low byte first here) whatever
        // the file's, and implicit files, where Pixel Data is OB, keep the
        // file's bytes.
        EXPECT_EQ(64u, loaded->getTag(0x7FE0, 0, 0x0010, false)->getBufferSize(0)) << name;
        ptr<handlers::dataHandlerRaw> pixels = loaded->getDataHandlerRaw(0x7FE0, 0, 0x0010, 0, false, "");
        ASSERT_EQ(64u, pixels->getSize()) << name;
        EXPECT_EQ(0x20, pixels->getMemoryBuffer()[62]) << name;
        EXPECT_EQ(0x00, pixels->getMemoryBuffer()[63]) << name;

        ptr<dataSet> item = loaded->getSequenceItem(0x0008, 0, 0x1115, 0);
        ASSERT_TRUE(item) << name;
        EXPECT_EQ(L"4", item->getSequenceItem(0x0008, 0, 0x1140, 0)->getUnicodeString(0x0008, 0, 0x1160, 1));
        EXPECT_EQ(L"1.2.3.5", loaded->getSequenceItem(0x0008, 0, 0x1115, 1)->getUnicodeString(0x0008, 0, 0x1155, 0));
        EXPECT_FALSE(loaded->getSequenceItem(0x0008, 0, 0x1115, 2));

        charsetsList::tCharsetsList charsets;
        loaded->getCharsetsList(&charsets);
        EXPECT_EQ(charsetsList::tCharsetsList{L"ISO_IR 100"}, charsets) << name;
    }
}

TEST(DicomCodec, WrittenFilesReadBackAndPassDcmdump)
{
    for (const char* name : fixtures)
    {
        ptr<dataSet> original = loadFile(fixturePath(name) + ".dcm", 16);
        if (std::string(name) == "nema_implicit")
            original->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2");
        const std::string bytes = writeToBytes(original);
        ASSERT_GT(bytes.size(), 132u);
        EXPECT_EQ("DICM", bytes.substr(128, 4));
        // The file-meta group is explicit VR, low byte first, whatever the syntax.
        EXPECT_EQ(std::string("\x02\x00\x00\x00UL\x04\x00", 8), bytes.substr(132, 8)) << name;

        ptr<dataSet> again = loadBytes(bytes, 0xFFFFFFFFu);
        expectSameListing(withoutGroupLengths(dumpLines(again)), withoutGroupLengths(dumpLines(original)), name);

        const std::string path = testing::TempDir() + "dicom_written_" + std::to_string(::getpid()) + "_" + name;
        {
            std::ofstream out(path, std::ios::binary);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        if (std::system("command -v dcmdump >/dev/null 2>&1") == 0)
        {
            const std::string command = "dcmdump -q +E '" + path + "' > '" + path + ".txt' 2>&1";
            EXPECT_EQ(0, std::system(command.c_str())) << name << "\n" << readFile(path + ".txt");
            EXPECT_EQ(std::string::npos, readFile(path + ".txt").find("E:")) << readFile(path + ".txt");
            std::remove((path + ".txt").c_str());
        }
        std::remove(path.c_str());
    }
}

TEST(DicomCodec, WriterLayoutOfOneTag)
{
    // Transfer syntax .2.1 and one CS tag of 2 bytes: preamble, prefix,
    // group 2, then (0008,0000) UL 4 = 10 and the tag.
    ptr<dataSet> source(new dataSet(ptr<baseObject>(new baseObject)));
    source->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2.1");
    source->setUnicodeString(0x0008, 0, 0x0060, 0, L"XA");
    const std::string bytes = writeToBytes(source);
    const std::string group2 = std::string("\x02\x00\x00\x00UL\x04\x00", 8) + le32(28) +
                               shortElement(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1\0", 20));
    const std::string group8 =
        std::string("\x08\x00\x00\x00UL\x04\x00", 8) + le32(10) + shortElement(0x0008, 0x0060, "CS", "XA");
    EXPECT_EQ(toHex(preamble() + group2 + group8), toHex(bytes));

    // Implicit: 8-byte headers after the explicit meta group; group 0008 is
    // 10 bytes again.
    source->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2");
    const std::string implicitBytes = writeToBytes(source);
    const std::string implicitGroup8 = le16(8) + le16(0) + le32(4) + le32(10) + le16(8) + le16(0x60) + le32(2) + "XA";
    EXPECT_EQ(toHex(implicitGroup8), toHex(implicitBytes.substr(implicitBytes.size() - implicitGroup8.size())));

    // An empty data set is the preamble and prefix only.
    EXPECT_EQ(preamble(), writeToBytes(ptr<dataSet>(new dataSet(ptr<baseObject>(new baseObject)))));
}

TEST(DicomCodec, WriterRefusesLongValuesInShortForm)
{
    ptr<dataSet> source(new dataSet(ptr<baseObject>(new baseObject)));
    source->setUnicodeString(0x0010, 0, 0x4000, 0, std::wstring(70000, L'x'), "UT");
    EXPECT_NO_THROW(writeToBytes(source));
    ptr<dataSet> tooLong(new dataSet(ptr<baseObject>(new baseObject)));
    {
        ptr<handlers::dataHandlerRaw> raw = tooLong->getDataHandlerRaw(0x0010, 0, 0x0020, 0, true, "LO");
        raw->setSize(70000);
        std::memset(raw->getMemoryBuffer(), 'x', 70000);
    }
    EXPECT_THROW(writeToBytes(tooLong), codecExceptionValueTooLong);
    exceptionsManager::getTrailText();
}

TEST(DicomCodec, BigEndianValuesAreSwappedOnWrite)
{
    ptr<dataSet> source(new dataSet(ptr<baseObject>(new baseObject)));
    source->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2.2");
    source->setUnsignedLong(0x0028, 0, 0x0010, 0, 0x0102);
    {
        ptr<handlers::dataHandler> fd = source->getDataHandler(0x0018, 0, 0x602C, 0, true, "");
        fd->setSize(1);
        fd->setDouble(-2.75);
    }
    const std::string bytes = writeToBytes(source);
    EXPECT_NE(std::string::npos, bytes.find(std::string("\x00\x28\x00\x10US\x00\x02\x01\x02", 10)));
    EXPECT_NE(std::string::npos, bytes.find(std::string("\x00\x18\x60\x2c" "FD\x00\x08\xc0\x06\x00\x00\x00\x00\x00\x00", 16)));
    ptr<dataSet> again = loadBytes(bytes);
    EXPECT_EQ(0x0102u, again->getUnsignedLong(0x0028, 0, 0x0010, 0));
    EXPECT_DOUBLE_EQ(-2.75, again->getDouble(0x0018, 0, 0x602C, 0));
}

TEST(DicomCodec, StreamStartsAndLengths)
{
    struct row
    {
        std::string bytes;
        const char* message;
    };
    const row rows[] = {
        {"", "none of the codecs recognized the file format"},
        {std::string(7, 'x'), "none of the codecs recognized the file format"},
        {std::string("\x08\x00\x05\x00\x02\x00\x00\x00", 8) + std::string(50, 'x'),
         "Attempt to read past the end of the file"},
        {std::string(131, '\0'), "Attempt to read past the end of the file"},
        {std::string("\x00\x08\x05\x00\x02\x00\x00\x00", 8) + std::string(200, '\0'),
         "none of the codecs recognized the file format"},
    };
    for (const row& r : rows)
    {
        exceptionsManager::getTrailText();
        ptr<streamReader> reader = readerOf(r.bytes);
        try
        {
            codecFactory::getCodecFactory()->load(reader);
            FAIL() << r.bytes.size();
        }
        catch (const std::runtime_error& e)
        {
            EXPECT_STREQ(r.message, e.what()) << r.bytes.size();
        }
        const std::wstring trail = exceptionsManager::getTrailText();
        if (std::string(r.message) == "none of the codecs recognized the file format")
        {
            // Only the final failure is in the trail, and the reader is back at 0.
            EXPECT_EQ(0u, trail.find(L"[codecFactory::load]"));
            EXPECT_EQ(std::wstring::npos, trail.find(L"dicomCodec"));
            EXPECT_EQ(0u, reader->position());
        }
    }

    // A data set that ends exactly after its last tag; one stray byte is an
    // error, two are read as a group number and end the data set.
    const std::string file = preamble() + metaExplicitLittle() + shortElement(0x0008, 0x0060, "CS", "XA");
    EXPECT_EQ(L"XA", loadBytes(file)->getUnicodeString(0x0008, 0, 0x0060, 0));
    EXPECT_THROW(loadBytes(file + "\x01"), streamExceptionEOF);
    EXPECT_EQ(L"XA", loadBytes(file + std::string("\x01\x02", 2))->getUnicodeString(0x0008, 0, 0x0060, 0));
    exceptionsManager::getTrailText();
}

TEST(DicomCodec, TagOrderAndUnknownVr)
{
    // (0008,0005), (0010,0010), (0008,0020): the third tag's group is not
    // greater than the last one but its element is, so it stays in order 0;
    // the fourth, (0008,0005) again, opens order 1 of group 0008.
    const std::string ordered = preamble() + metaExplicitLittle() + shortElement(0x0008, 0x0005, "CS", "AB") +
                                shortElement(0x0010, 0x0010, "PN", "XY") + shortElement(0x0008, 0x0020, "DA", "20010105") +
                                shortElement(0x0008, 0x0005, "CS", "CD");
    ptr<dataSet> loaded = loadBytes(ordered);
    EXPECT_EQ(L"2001-01-05", loaded->getUnicodeString(0x0008, 0, 0x0020, 0));
    EXPECT_EQ(L"CD", loaded->getUnicodeString(0x0008, 1, 0x0005, 0));
    ptr<dataCollectionIterator<dataGroup>> groups = loaded->getDataIterator();
    std::vector<std::pair<std::uint16_t, std::uint16_t>> keys;
    for (; groups->isValid(); groups->incIterator())
        keys.emplace_back(groups->getId(), groups->getOrder());
    EXPECT_EQ((std::vector<std::pair<std::uint16_t, std::uint16_t>>{{2, 0}, {8, 0}, {8, 1}, {0x10, 0}}), keys);

    // Bytes 10 81 00 00 where the VR should be: an implicit tag of length 0x8110.
    const std::string unknownVr = preamble() + metaExplicitLittle() + le16(0x0009) + le16(0x1001) +
                                  std::string("\x10\x81\x00\x00", 4) + std::string(0x8110, 'z');
    ptr<dataSet> unknown = loadBytes(unknownVr);
    EXPECT_EQ(0x8110u, unknown->getTag(0x0009, 0, 0x1001, false)->getBufferSize(0));
    EXPECT_EQ(std::string("\x10\x81", 2), unknown->getDataType(0x0009, 0, 0x1001));
}

TEST(DicomCodec, SequencesFragmentsAndDepth)
{
    auto item = [](const std::string& content) { return le16(0xFFFE) + le16(0xE000) + le32(0xFFFFFFFFu) + content +
                                                         le16(0xFFFE) + le16(0xE00D) + le32(0); };
    auto sequence = [](std::uint16_t element, const std::string& items, std::uint32_t length) {
        return le16(0x0008) + le16(element) + "SQ" + le16(0) + le32(length) + items;
    };
    const std::string endOfSequence = le16(0xFFFE) + le16(0xE0DD) + le32(0);

    // Two items of undefined length in a sequence of undefined length, and
    // the same in a sequence of defined length; an empty sequence makes no tag.
    const std::string items = item(shortElement(0x0008, 0x1155, "UI", "1.2")) + item(shortElement(0x0008, 0x1155, "UI", "3.4"));
    const std::string file = preamble() + metaExplicitLittle() + sequence(0x1115, items + endOfSequence, 0xFFFFFFFFu) +
                             sequence(0x1140, items, static_cast<std::uint32_t>(items.size())) +
                             sequence(0x1200, "", 0) + shortElement(0x0008, 0x2111, "ST", "after");
    ptr<dataSet> loaded = loadBytes(file);
    EXPECT_EQ(L"3.4", loaded->getSequenceItem(8, 0, 0x1115, 1)->getUnicodeString(8, 0, 0x1155, 0));
    EXPECT_EQ(L"1.2", loaded->getSequenceItem(8, 0, 0x1140, 0)->getUnicodeString(8, 0, 0x1155, 0));
    EXPECT_FALSE(loaded->getTag(8, 0, 0x1200, false));
    EXPECT_EQ(L"after", loaded->getUnicodeString(8, 0, 0x2111, 0));
    EXPECT_EQ(132u + 20 + 8 + 12, loaded->getSequenceItem(8, 0, 0x1115, 0)->getItemPosition());

    // Encapsulated pixel data: an empty offset table and three fragments.
    auto fragment = [](const std::string& bytes) { return le16(0xFFFE) + le16(0xE000) + le32(static_cast<std::uint32_t>(bytes.size())) + bytes; };
    const std::string pixels = preamble() + metaExplicitLittle() + le16(0x7FE0) + le16(0x0010) + "OB" + le16(0) +
                               le32(0xFFFFFFFFu) + fragment("") + fragment("ab") + fragment("cdef") + fragment("gh") +
                               endOfSequence;
    ptr<data> pixelTag = loadBytes(pixels)->getTag(0x7FE0, 0, 0x0010, false);
    EXPECT_EQ(4u, pixelTag->getBuffersCount());
    EXPECT_EQ(0u, pixelTag->getBufferSize(0));
    EXPECT_EQ(4u, pixelTag->getBufferSize(2));

    // 16 nested levels are read, 17 are refused.
    auto nested = [&](int levels) {
        std::string content = shortElement(0x0008, 0x0060, "CS", "XA");
        for (int level = 0; level < levels; ++level)
            content = sequence(0x1115, item(content) + endOfSequence, 0xFFFFFFFFu);
        return preamble() + metaExplicitLittle() + content;
    };
    EXPECT_NO_THROW(loadBytes(nested(16)));
    try
    {
        loadBytes(nested(17));
        FAIL() << "17 levels accepted";
    }
    catch (const dicomCodecExceptionDepthLimitReached& e)
    {
        EXPECT_STREQ("Depth for embedded dataset reached", e.what());
    }
    exceptionsManager::getTrailText();
}

TEST(DicomCodec, DamagedLengthsFailCleanly)
{
    auto expectToolkitFailure = [](const std::string& bytes, const char* what) {
        try
        {
            loadBytes(bytes, 0xFFFFFFFFu);
            ADD_FAILURE() << what << ": accepted";
        }
        catch (const streamException&)
        {
        }
        catch (const codecException&)
        {
        }
        exceptionsManager::getTrailText();
    };
    const std::string start = preamble() + metaExplicitLittle();
    // A value length far beyond the file: no 4 GiB allocation, a clear error.
    expectToolkitFailure(start + le16(0x0010) + le16(0x0010) + "OB" + le16(0) + le32(0xFFFFFFF0u) + "abc",
                         "length beyond the file");
    // A fragment longer than what is left of a defined-length sequence.
    expectToolkitFailure(start + le16(0x0008) + le16(0x1115) + "SQ" + le16(0) + le32(16) + le16(0xFFFE) +
                             le16(0xE000) + le32(0xFFFFFFF0u) + std::string(8, '\0'),
                         "item longer than its sequence");
    expectToolkitFailure(start + le16(0x7FE0) + le16(0x0010) + "OB" + le16(0) + le32(0xFFFFFFFFu) + le16(0xFFFE) +
                             le16(0xE000) + le32(100) + std::string(10, '\0'),
                         "fragment beyond the end of the file");
    // Truncated inside a value.
    expectToolkitFailure(start + shortElement(0x0010, 0x0010, "PN", "Doe^John").substr(0, 12), "truncated value");

    // Every prefix and many random corruptions of a real file fail cleanly
    // or read: never a crash (the sanitizers watch), a hang or a huge block.
    const std::string original = readFile(fixturePath("undefined_lengths.dcm"));
    for (std::size_t length = 0; length < original.size(); length += 7)
    {
        try
        {
            loadBytes(original.substr(0, length));
        }
        catch (const std::runtime_error&)
        {
        }
    }
    std::mt19937 random(11);
    for (int trial = 0; trial < 400; ++trial)
    {
        std::string damaged = original;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int change = 0; change < changes; ++change)
            damaged[132 + random() % (damaged.size() - 132)] = static_cast<char>(random());
        try
        {
            ptr<dataSet> loaded = loadBytes(damaged, 32);
            std::ostringstream out;
            dataSetDumper::dump(loaded, out);
        }
        catch (const std::runtime_error&)
        {
        }
    }
    exceptionsManager::getTrailText();
}

TEST(DicomCodec, NamesWithoutSpecificCharacterSet)
{
    // No (0008,0005): Latin-1 bytes still read as the letters they stand for.
    const std::string file =
        preamble() + metaExplicitLittle() + shortElement(0x0010, 0x0010, "PN", "M\xFCller^Hans");
    ptr<dataSet> loaded = loadBytes(file);
    EXPECT_EQ(L"M\u00FCller^Hans", loaded->getUnicodeString(0x0010, 0, 0x0010, 0));

    // A Korean name written with its character sets reads back the same.
    ptr<dataSet> korean(new dataSet(ptr<baseObject>(new baseObject)));
    korean->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2.1");
    korean->setUnicodeString(0x0008, 0, 0x0005, 0, L"");
    korean->setUnicodeString(0x0008, 0, 0x0005, 1, L"ISO 2022 IR 149");
    korean->refreshCharsetsList();
    korean->setUnicodeString(0x0010, 0, 0x0010, 0, L"Hong^Gildong");
    korean->setUnicodeString(0x0010, 0, 0x0010, 1, L"\u6D2A^\u5409\u6D1E");
    korean->setUnicodeString(0x0010, 0, 0x0010, 2, L"\uD64D^\uAE38\uB3D9");
    ptr<dataSet> again = loadBytes(writeToBytes(korean));
    EXPECT_EQ(L"\u6D2A^\u5409\u6D1E", again->getUnicodeString(0x0010, 0, 0x0010, 1));
    EXPECT_EQ(L"\uD64D^\uAE38\uB3D9", again->getUnicodeString(0x0010, 0, 0x0010, 2));
    // The stored bytes are those of the standard's example.
    ptr<handlers::dataHandlerRaw> raw = again->getDataHandlerRaw(0x0010, 0, 0x0010, 0, false, "");
    const std::string stored(reinterpret_cast<const char*>(raw->getMemoryBuffer()), raw->getSize());
    EXPECT_EQ(toHex(fromHex("486F6E675E47696C646F6E673D1B242943FBF35E1B242943D1CED4D73D1B242943C8AB5E1B242943B1E6B5BF")),
              toHex(stored));
}

// Values of known tags written with the VR UN (an explicit-VR file that went through a
// node which did not know them) read as the dictionary says: the character set is
// honoured, sizes are numbers, and an unknown private tag stays raw bytes.
TEST(DicomCodec, KnownTagsStoredAsUnReadAsTheirOwnVr)
{
    const auto unElement = [](std::uint16_t group, std::uint16_t element, const std::string& value) {
        return le16(group) + le16(element) + "UN" + le16(0) + le32(static_cast<std::uint32_t>(value.size())) + value;
    };
    const std::string file = preamble() + metaExplicitLittle() + unElement(0x0008, 0x0005, "ISO_IR 100") +
                             unElement(0x0009, 0x1001, "ab") + unElement(0x0010, 0x0010, "M\xFCller^Hans") +
                             unElement(0x0028, 0x0010, le16(5)) + unElement(0x0028, 0x0030, "0.25\\0.5 ");
    ptr<dataSet> loaded;
    ASSERT_NO_THROW(loaded = loadBytes(file));
    EXPECT_EQ(L"ISO_IR 100", loaded->getUnicodeString(0x0008, 0, 0x0005, 0));
    EXPECT_EQ("CS", loaded->getDataType(0x0008, 0, 0x0005));
    EXPECT_EQ(L"M\u00FCller^Hans", loaded->getUnicodeString(0x0010, 0, 0x0010, 0));
    EXPECT_EQ(5u, loaded->getUnsignedLong(0x0028, 0, 0x0010, 0));
    EXPECT_DOUBLE_EQ(0.5, loaded->getDouble(0x0028, 0, 0x0030, 1));
    EXPECT_EQ("UN", loaded->getDataType(0x0009, 0, 0x1001));
    EXPECT_EQ(2u, loaded->getTag(0x0009, 0, 0x1001, false)->getBufferSize(0));
}

TEST(DicomCodec, OneDataSetReadFromSeveralThreads)
{
    ptr<dataSet> loaded = loadFile(fixturePath("explicit_be.dcm"), 16);
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
            {
                if (loaded->getUnicodeString(0x0010, 0, 0x0010, 0) != L"M\u00FCller^Hans")
                    ++mismatches;
                ptr<handlers::dataHandlerRaw> pixels = loaded->getDataHandlerRaw(0x7FE0, 0, 0x0010, 0, false, "");
                if (pixels->getSize() != 64 || pixels->getMemoryBuffer()[62] != 0x20)
                    ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, mismatches.load());
}

TEST(CodecFactory, CodecsBySyntax)
{
    ptr<codec> first = codecFactory::getCodec(L"1.2.840.10008.1.2");
    ptr<codec> second = codecFactory::getCodec(L"1.2.840.10008.1.2");
    ASSERT_TRUE(first);
    EXPECT_NE(first.get(), second.get());
    EXPECT_TRUE(codecFactory::getCodec(L""));
    EXPECT_TRUE(codecFactory::getCodec(L"1.2.840.10008.1.2.2"));
    EXPECT_FALSE(codecFactory::getCodec(L"1.2.3"));
    EXPECT_THROW(first->hasEncapsulatedPixelData(L"1.2.3"), codecExceptionWrongTransferSyntax);
    EXPECT_TRUE(first->hasEncapsulatedPixelData(L"1.2.840.10008.1.2.5"));
    exceptionsManager::getTrailText();

    const std::size_t registered = codecFactory::getCodecFactory()->codecsCount();
    codecFactory::getCodecFactory()->registerCodec(ptr<codec>());
    EXPECT_EQ(registered, codecFactory::getCodecFactory()->codecsCount());
}

TEST(CodecChannel, AllocateZeroes)
{
    ptr<channel> samples(new channel);
    samples->m_samplingFactorX = 2;
    samples->allocate(3, 2);
    EXPECT_EQ(6u, samples->m_bufferSize);
    for (std::uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(0, samples->m_pBuffer[i]);
    EXPECT_EQ(2u, samples->m_samplingFactorX);
}
