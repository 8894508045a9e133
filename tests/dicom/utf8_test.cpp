// The toolkit's UTF-8 writer and its character-set conversions, each checked against
// bytes that do not come from the toolkit: a table written out from the sets' code charts,
// and glibc's iconv over every Unicode scalar value.
#include "dicom/base/charsetConversion.h"
#include "dicom/base/utf8.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace Halvoran;
using dicomtest::fromHex;
using dicomtest::toHex;

namespace
{

struct character
{
    const char* set;        // the toolkit's name of the character set
    std::uint32_t code;     // Unicode code point
    const char* setBytes;   // the character in that set, hex (JIS sets as their 7-bit code pair)
    const char* utf8Bytes;  // the character in UTF-8, hex
};

// Characters from each set the toolkit reads, near the ends of each set's upper half and
// from each length of UTF-8 sequence.
const character kCharacters[] = {
    {"ISO-IR 6", 0x0041, "41", "41"},
    {"ISO-IR 6", 0x007E, "7E", "7E"},
    {"ISO-8859-1", 0x00A0, "A0", "C2A0"},
    {"ISO-8859-1", 0x00FF, "FF", "C3BF"},
    {"ISO-8859-2", 0x0150, "D5", "C590"},
    {"ISO-8859-2", 0x02D9, "FF", "CB99"},
    {"ISO-8859-3", 0x0126, "A1", "C4A6"},
    {"ISO-8859-3", 0x02D9, "FF", "CB99"},
    {"ISO-8859-4", 0x0138, "A2", "C4B8"},
    {"ISO-8859-4", 0x02D9, "FF", "CB99"},
    {"ISO-8859-5", 0x0416, "B6", "D096"},
    {"ISO-8859-5", 0x2116, "F0", "E28496"},
    {"ISO-8859-6", 0x0639, "D9", "D8B9"},
    {"ISO-8859-6", 0x061F, "BF", "D89F"},
    {"ISO-8859-7", 0x03B1, "E1", "CEB1"},
    {"ISO-8859-7", 0x2015, "AF", "E28095"},
    {"ISO-8859-8", 0x05D0, "E0", "D790"},
    {"ISO-8859-8", 0x2017, "DF", "E28097"},
    {"ISO-8859-9", 0x011F, "F0", "C49F"},
    {"ISO-8859-9", 0x0130, "DD", "C4B0"},
    {"ISO-IR 13", 0xFF71, "B1", "EFBDB1"},
    {"ISO-IR 13", 0xFF9F, "DF", "EFBE9F"},
    {"ISO-IR 166", 0x0E01, "A1", "E0B881"},
    {"ISO-IR 166", 0x0E5B, "FB", "E0B99B"},
    {"ISO-IR 87", 0x4E9C, "3021", "E4BA9C"},
    {"ISO-IR 87", 0x5C71, "3B33", "E5B1B1"},
    {"ISO-IR 87", 0x3042, "2422", "E38182"},
    {"ISO-IR 87", 0xFF21, "2341", "EFBCA1"},
    {"ISO-IR 159", 0x4E02, "3021", "E4B882"},
    {"ISO-IR 159", 0x00C1, "2A21", "C381"},
    {"ISO-IR 149", 0xAC00, "B0A1", "EAB080"},
    {"ISO-IR 149", 0xD55C, "C7D1", "ED959C"},
    {"ISO-IR 192", 0x0080, "C280", "C280"},
    {"ISO-IR 192", 0x07FF, "DFBF", "DFBF"},
    {"ISO-IR 192", 0x0800, "E0A080", "E0A080"},
    {"ISO-IR 192", 0xFFFD, "EFBFBD", "EFBFBD"},
    {"ISO-IR 192", 0x10000, "F0908080", "F0908080"},
    {"ISO-IR 192", 0x1F600, "F09F9880", "F09F9880"},
    {"ISO-IR 192", 0x10FFFF, "F48FBFBF", "F48FBFBF"},
    {"GB18030", 0x00E9, "A8A6", "C3A9"},
    {"GB18030", 0x4E2D, "D6D0", "E4B8AD"},
    {"GB18030", 0x20AC, "A2E3", "E282AC"},
    {"GB18030", 0x1F600, "9439FC36", "F09F9880"},
};

} // namespace

TEST(Utf8, CharactersOfEverySetHaveTheirWrittenOutBytes)
{
    for (const character& c : kCharacters)
    {
        const std::wstring text(1, static_cast<wchar_t>(c.code));
        EXPECT_EQ(c.utf8Bytes, toHex(wideToUtf8(text))) << c.set << " U+" << std::hex << c.code;

        charsetConversion conversion;
        conversion.initialize(c.set);
        EXPECT_EQ(c.setBytes, toHex(conversion.fromUnicode(text))) << c.set << " U+" << std::hex << c.code;
        EXPECT_EQ(text, conversion.toUnicode(fromHex(c.setBytes))) << c.set << " U+" << std::hex << c.code;
        // Read from the set and written out as UTF-8, as the dump and the windows show it.
        EXPECT_EQ(c.utf8Bytes, toHex(wideToUtf8(conversion.toUnicode(fromHex(c.setBytes)))))
            << c.set << " U+" << std::hex << c.code;
    }
}

// The sequence lengths change at U+0080, U+0800 and U+10000; every scalar value up to
// U+10FFFF (surrogates are not characters) must give iconv's bytes.
TEST(Utf8, EveryScalarValueGivesIconvsBytes)
{
    constexpr std::uint32_t kBlock = 0x1000;
    int failures = 0;
    for (std::uint32_t first = 0; first <= 0x10FFFF && failures < 5; first += kBlock)
    {
        std::wstring block;
        for (std::uint32_t code = first; code < first + kBlock && code <= 0x10FFFF; ++code)
        {
            if (code < 0xD800 || code > 0xDFFF)
                block.push_back(static_cast<wchar_t>(code));
        }
        if (block.empty())
            continue;
        const std::string ours = wideToUtf8(block);
        const std::string expected = dicomtest::toUtf8(block);
        if (ours == expected)
            continue;
        ++failures;
        // Name the first character that differs.
        for (wchar_t wc : block)
        {
            const std::wstring one(1, wc);
            if (wideToUtf8(one) != dicomtest::toUtf8(one))
            {
                ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(wc) << ": " << toHex(wideToUtf8(one))
                              << " instead of " << toHex(dicomtest::toUtf8(one));
                break;
            }
        }
    }
    EXPECT_EQ(0, failures);
}

// The tests' own conversion, used to compare the toolkit's text with DCMTK's, refuses what
// is not UTF-8 instead of guessing.
TEST(Utf8, TestConversionRefusesInvalidBytes)
{
    EXPECT_EQ(L"\u00E9", dicomtest::fromUtf8("\xC3\xA9"));
    EXPECT_THROW(dicomtest::fromUtf8("\xC3"), std::runtime_error);
    EXPECT_THROW(dicomtest::fromUtf8("\xA9"), std::runtime_error);
    EXPECT_THROW(dicomtest::fromUtf8("\xED\xA0\x80"), std::runtime_error);
}
