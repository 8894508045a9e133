#include "dicom/base/charsetConversion.h"
#include "dicom/base/exceptionsManager.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace Halvoran;

namespace
{
using dicomtest::fromHex;
using dicomtest::fromUtf8;

struct example
{
    std::string table;
    std::string note;
    std::string bytes;
    std::wstring text;
};

std::vector<example> loadExamples()
{
    std::ifstream in(KESTROVA_TEST_DATA "/dicom/charset_examples.txt");
    std::vector<example> examples;
    std::string line;
    while (std::getline(in, line))
    {
        if (line.empty() || line[0] == '#')
            continue;
        std::stringstream fields(line);
        std::string table, note, hex, text;
        std::getline(fields, table, '|');
        std::getline(fields, note, '|');
        std::getline(fields, hex, '|');
        std::getline(fields, text);
        examples.push_back({table, note, fromHex(hex), fromUtf8(text)});
    }
    return examples;
}
} // namespace

TEST(CharsetConversion, StandardExamplesRoundTrip)
{
    const std::vector<example> examples = loadExamples();
    ASSERT_GE(examples.size(), 20u);
    for (const example& e : examples)
    {
        charsetConversion conversion;
        conversion.initialize(e.table);
        EXPECT_EQ(e.text, conversion.toUnicode(e.bytes)) << e.table << " " << e.note;
        EXPECT_EQ(e.bytes, conversion.fromUnicode(e.text)) << e.table << " " << e.note;
    }
}

TEST(CharsetConversion, TableLookup)
{
    EXPECT_EQ(0, charsetConversion::findTable(""));
    EXPECT_EQ(0, charsetConversion::findTable("LOCALE"));
    EXPECT_EQ(1, charsetConversion::findTable("ASCII"));
    EXPECT_EQ(1, charsetConversion::findTable("ISO-IR 6"));
    EXPECT_EQ(12, charsetConversion::findTable("ISO-8859-11"));
    EXPECT_EQ(15, charsetConversion::findTable("KSC-5601"));
    EXPECT_EQ(17, charsetConversion::findTable("GB18030"));
    EXPECT_EQ(-1, charsetConversion::findTable("ISO_IR 100"));
    EXPECT_EQ(-1, charsetConversion::findTable("iso-8859-1"));

    charsetConversion conversion;
    conversion.initialize("ASCII");
    EXPECT_EQ("ISO-IR 6", conversion.currentTableName());
    conversion.initialize("ISO-IR 6");
    EXPECT_EQ("ISO-IR 6", conversion.currentTableName());
    conversion.initialize("");
    EXPECT_EQ("LOCALE", conversion.currentTableName());

    exceptionsManager::getTrailText();
    try
    {
        conversion.initialize("ISO_IR 100");
        FAIL() << "a DICOM defined term was accepted";
    }
    catch (const charsetConversionExceptionNoTable& e)
    {
        EXPECT_STREQ("The requested ISO table doesn't exist", e.what());
    }
    EXPECT_EQ("", conversion.currentTableName());
    const std::wstring trail = exceptionsManager::getTrailText();
    EXPECT_EQ(0u, trail.find(L"[charsetConversion::initialize]"));
    EXPECT_NE(std::wstring::npos, trail.find(L"Halvoran::charsetConversionExceptionNoTable"));
}

TEST(CharsetConversion, UnrepresentableCharacterGivesEmptyResult)
{
    charsetConversion conversion;
    conversion.initialize("ISO-8859-1");
    EXPECT_EQ("", conversion.fromUnicode(L"a\u03B1"));
    EXPECT_EQ("", conversion.fromUnicode(L""));
    EXPECT_EQ(L"", conversion.toUnicode(""));
    conversion.initialize("ISO-8859-7");
    EXPECT_EQ(std::string("a\xE1"), conversion.fromUnicode(L"a\u03B1"));

    // The 7-bit and JIS sets hold only what they designate.
    conversion.initialize("ASCII");
    EXPECT_EQ("", conversion.fromUnicode(L"M\u00FCller"));
    conversion.initialize("ISO-IR 87");
    EXPECT_EQ("", conversion.fromUnicode(L"^"));
    EXPECT_EQ("", conversion.fromUnicode(L"\uFF94"));
    conversion.initialize("ISO-IR 13");
    EXPECT_EQ("", conversion.fromUnicode(L"\u5C71"));
    conversion.initialize("ISO-IR 159");
    EXPECT_EQ("", conversion.fromUnicode(L"\u5C71"));
}

TEST(CharsetConversion, DefaultSetReadsLatin1BytesAndInvalidBytesAreReplaced)
{
    charsetConversion conversion;
    conversion.initialize("ISO-IR 6");
    EXPECT_EQ(L"M\u00FCller", conversion.toUnicode("M\xFCller"));

    conversion.initialize("ISO-IR 192");
    EXPECT_EQ(L"a\uFFFDb", conversion.toUnicode("a\xFF" "b"));
    EXPECT_EQ(std::string("\xF0\x9F\x98\x80"), conversion.fromUnicode(L"\U0001F600"));
    conversion.initialize("GB18030");
    EXPECT_EQ(L"\U0001F600", conversion.toUnicode(conversion.fromUnicode(L"\U0001F600")));
}

TEST(CharsetConversion, CopiesKeepTheirSelection)
{
    charsetConversion first;
    first.initialize("ISO-8859-5");
    charsetConversion second(first);
    first.initialize("ISO-8859-7");
    EXPECT_EQ("ISO-8859-5", second.currentTableName());
    EXPECT_EQ(L"\u041B", second.toUnicode("\xBB"));
    second = first;
    EXPECT_EQ("ISO-8859-7", second.currentTableName());
}
