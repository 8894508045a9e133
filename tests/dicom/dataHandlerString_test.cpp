#include "dicom/core/buffer.h"
#include "dicom/core/dataHandlerString.h"
#include "dicom/core/dataHandlerStringAS.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace Halvoran::Varnix::handlers;
using namespace dicomtest;

namespace
{
std::vector<std::wstring> valuesOf(const ptr<dataHandler>& handler)
{
    std::vector<std::wstring> values;
    for (std::uint32_t i = 0; i < handler->getSize(); ++i)
    {
        handler->setPointer(i);
        values.push_back(handler->getUnicodeString());
    }
    return values;
}

ptr<dataHandler> reader(const std::string& vr, const std::string& bytes)
{
    return makeBuffer(vr, bytes)->getDataHandler(false, 0);
}

// The text a writing handler leaves in its buffer after one setter call.
template <class F>
std::string written(const std::string& vr, F setter)
{
    ptr<buffer> valueBuffer(new buffer(ptr<baseObject>(new baseObject), vr));
    {
        ptr<dataHandler> handler = valueBuffer->getDataHandler(true, 0);
        handler->setSize(1);
        handler->setPointer(0);
        setter(handler.get());
    }
    std::string bytes = bufferBytes(valueBuffer);
    while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == '\0'))
        bytes.pop_back();
    return bytes;
}

typedef std::vector<std::wstring> values;
} // namespace

TEST(StringHandler, ParsingTable)
{
    struct row
    {
        const char* vr;
        std::string bytes;
        values expected;
    };
    const row rows[] = {
        {"CS", "A\\B\\\\C ", {L"A", L"B", L"", L"C"}},
        {"CS", " A", {L" A"}},
        {"CS", "A\\", {L"A"}},
        {"CS", "\\A", {L"", L"A"}},
        {"UI", std::string("1.2.840.10008.1.2\0", 18), {L"1.2.840.10008.1.2"}},
        {"UI", "1.2\\1.3", {L"1.2\\1.3"}},
        {"LT", "a\\b=c ", {L"a\\b=c"}},
        {"PN", "AB^CD=EF^GH", {L"AB^CD", L"EF^GH"}},
        {"AS", "012Y015M", {L"012Y", L"015M"}},
        {"AS", "0123Y\\045D", {L"0123", L"Y", L"045D"}},
    };
    for (const row& r : rows)
        EXPECT_EQ(r.expected, valuesOf(reader(r.vr, r.bytes))) << r.vr << " " << r.bytes;

    for (const char* vr : {"AE", "AS", "CS", "DS", "IS", "LO", "PN", "SH"})
    {
        ptr<dataHandler> handler = reader(vr, "");
        EXPECT_EQ(0u, handler->getSize()) << vr;
        handler->setPointer(0);
        EXPECT_FALSE(handler->pointerIsValid()) << vr;
        EXPECT_EQ(L"", handler->getUnicodeString());
    }
    for (const char* vr : {"LT", "ST", "UI", "UT"})
        EXPECT_EQ(values{L""}, valuesOf(reader(vr, ""))) << vr;
}

TEST(StringHandler, SizesAndLimits)
{
    const std::wstring twenty(20, L'x');
    EXPECT_EQ(std::string(16, 'x'), written("AE", [&](dataHandler* h) { h->setUnicodeString(twenty); }));
    EXPECT_EQ(std::string(20, 'x'), written("UT", [&](dataHandler* h) { h->setUnicodeString(twenty); }));
    // An index past the end changes nothing.
    EXPECT_EQ("", written("CS", [](dataHandler* h) {
                  h->setPointer(1);
                  h->setUnicodeString(L"X");
              }));

    ptr<buffer> lt = makeBuffer("LT", "text");
    ptr<dataHandler> handler = lt->getDataHandler(true, 0);
    handler->setSize(3);
    EXPECT_EQ(1u, handler->getSize());
    ptr<dataHandler> cs = makeBuffer("CS", "A\\B")->getDataHandler(true, 0);
    cs->setSize(0);
    EXPECT_EQ(0u, cs->getSize());

    // copyFromInt32 with nothing empties; copyToInt32 of nothing reads nothing.
    ptr<dataHandler> is = makeBuffer("IS", "1\\2")->getDataHandler(true, 0);
    is->setPointer(1);
    is->copyToInt32(nullptr, 0);
    EXPECT_EQ(2, is->getSignedLong());
    is->copyFromInt32(nullptr, 0);
    EXPECT_EQ(0u, is->getSize());
    const std::int32_t numbers[3] = {5, -6, 7};
    is->copyFromInt32(numbers, 3);
    std::int32_t back[3] = {};
    is->copyToInt32(back, 3);
    EXPECT_EQ(-6, back[1]);
    is->setPointer(0);
    is->skip(0);
    EXPECT_EQ(5, is->getSignedLong());
    is->skip(3);
    EXPECT_FALSE(is->pointerIsValid());
}

TEST(StringHandler, NumberRules)
{
    struct row
    {
        const char* vr;
        const char* text;
        std::int32_t signedValue;
        std::uint32_t unsignedValue;
        double doubleValue;
    };
    const row rows[] = {
        {"CS", "12.7", 12, 12u, 12.7},
        {"LO", " 42mm", 42, 42u, 42.0},
        {"SH", "-1", -1, 4294967295u, -1.0},
        {"AE", "abc", 0, 0u, 0.0},
        {"DS", "-1.9", -1, 4294967295u, -1.9},
        {"DS", "1e3", 1000, 1000u, 1000.0},
        {"IS", "12.7", 12, 12u, 12.0},
        {"AS", "018M", 1, 1u, 1.5},
        {"AS", "104W", 1, 1u, 104 / 52.14},
        {"AS", "5", 5, 5u, 5.0},
        {"AS", "", 0, 0u, 0.0},
    };
    for (const row& r : rows)
    {
        ptr<dataHandler> handler = reader(r.vr, r.text);
        EXPECT_EQ(r.signedValue, handler->getSignedLong()) << r.vr << " " << r.text;
        EXPECT_EQ(r.unsignedValue, handler->getUnsignedLong()) << r.vr << " " << r.text;
        EXPECT_DOUBLE_EQ(r.doubleValue, handler->getDouble()) << r.vr << " " << r.text;
    }

    wchar_t unit = 0;
    ptr<dataHandler> age = reader("AS", "5");
    EXPECT_EQ(5u, static_cast<dataHandlerStringAS*>(age.get())->getAge(&unit));
    EXPECT_EQ(L'Y', unit);
}

TEST(StringHandler, NumberFormats)
{
    struct row
    {
        const char* vr;
        double value;
        const char* text;
    };
    const row doubles[] = {
        {"AE", 0.5, "0.500000"},     {"CS", -3.25, "-3.250000"},   {"DS", 0.5, "0.5"},
        {"DS", 100, "100"},          {"DS", 1234567, "1234567"},   {"DS", 0.1, "0.1"},
        {"DS", 1.0 / 3, "0.33333333333333"}, {"DS", -2.5e-7, "-2.5e-07"}, {"DS", 123456789012.0, "123456789012"},
        {"IS", -2.9, "-2"},          {"IS", 2.9, "2"},             {"AS", 0.05, "018D"},
        {"AS", 0.3, "015W"},         {"AS", 1.5, "018M"},          {"AS", 30, "030Y"},
        {"AS", -1, "000D"},          {"AS", std::nan(""), "000D"},
    };
    for (const row& r : doubles)
        EXPECT_EQ(r.text, written(r.vr, [&](dataHandler* h) { h->setDouble(r.value); })) << r.vr << " " << r.value;

    EXPECT_EQ("-5", written("IS", [](dataHandler* h) { h->setSignedLong(-5); }));
    EXPECT_EQ("4294967295", written("LO", [](dataHandler* h) { h->setUnsignedLong(4294967295u); }));
    EXPECT_EQ("1234567", written("DS", [](dataHandler* h) { h->setSignedLong(1234567); }));
    EXPECT_EQ("005Y", written("AS", [](dataHandler* h) { static_cast<dataHandlerStringAS*>(h)->setAge(5, L'Y'); }));
    EXPECT_EQ("1234", written("AS", [](dataHandler* h) { static_cast<dataHandlerStringAS*>(h)->setAge(1234, L'Y'); }));

    // Every DS text fits in 16 characters and reads back within its precision.
    for (double value : {1.0 / 3, -1.0 / 7, 1e300, -1e-300, 123456.789012345, 2.0 / 3 * 1e10})
    {
        const std::string text = written("DS", [&](dataHandler* h) { h->setDouble(value); });
        EXPECT_LE(text.size(), 16u) << text;
        EXPECT_NEAR(value, std::stod(text), std::fabs(value) * 1e-9) << text;
    }
}

TEST(StringHandler, PlainBytesAboveAsciiAreLatin1AndRoundTrip)
{
    ptr<buffer> valueBuffer = makeBuffer("CS", "\xE9\x80\xFF ");
    ptr<dataHandler> handler = valueBuffer->getDataHandler(false, 0);
    EXPECT_EQ(std::wstring(L"\u00E9\u0080\u00FF"), handler->getUnicodeString());
    EXPECT_EQ("\xE9\x80\xFF", handler->getString());
    {
        ptr<dataHandler> writer = valueBuffer->getDataHandler(true, 0);
    }
    EXPECT_EQ("\xE9\x80\xFF ", bufferBytes(valueBuffer));
}
