#include "dicom/core/buffer.h"
#include "dicom/core/dataHandlerDateTimeBase.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <list>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace Halvoran::Varnix::handlers;
using namespace dicomtest;

namespace
{
typedef std::array<std::int32_t, 9> record;

record recordOf(const ptr<dataHandler>& handler)
{
    record r;
    handler->getDate(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8]);
    return r;
}

// The stored text (padding removed) after a writer of the VR ran the setter.
template <class F>
std::string stored(const std::string& vr, F setter, const std::string& initial = "")
{
    ptr<buffer> valueBuffer = makeBuffer(vr, initial);
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
} // namespace

TEST(DateTimeHandler, StoredFormsReadAsRecordsAndText)
{
    struct row
    {
        const char* vr;
        const char* bytes;
        record expected;
        const wchar_t* text;
    };
    const row rows[] = {
        {"DA", "2001.1.5", {2001, 1, 5, 0, 0, 0, 0, 0, 0}, L"2001-01-05"},
        {"DA", "2001/01/05", {2001, 1, 5, 0, 0, 0, 0, 0, 0}, L"2001-01-05"},
        {"DA", "20010105", {2001, 1, 5, 0, 0, 0, 0, 0, 0}, L"2001-01-05"},
        {"DA", "", {0, 0, 0, 0, 0, 0, 0, 0, 0}, L"0000-00-00"},
        {"DA", "2001", {2001, 0, 0, 0, 0, 0, 0, 0, 0}, L"2001-00-00"},
        {"TM", "10:5:3.25", {0, 0, 0, 10, 5, 3, 250000, 0, 0}, L"10:05:03.250000"},
        {"TM", "1015", {0, 0, 0, 10, 15, 0, 0, 0, 0}, L"10:15:00.000000"},
        {"TM", "102030.5", {0, 0, 0, 10, 20, 30, 500000, 0, 0}, L"10:20:30.500000"},
        {"DT", "2001", {2001, 0, 0, 0, 0, 0, 0, 0, 0}, L"2001-00-00 00:00:00.000000"},
        {"DT", "20010105", {2001, 1, 5, 0, 0, 0, 0, 0, 0}, L"2001-01-05 00:00:00.000000"},
        {"DT", "20010105102030.500000-0530", {2001, 1, 5, 10, 20, 30, 500000, -5, -30},
         L"2001-01-05 10:20:30.500000-05:30"},
        // Offsets after a short or missing fraction, and sign-only minutes.
        {"DT", "20010105102030+0100", {2001, 1, 5, 10, 20, 30, 0, 1, 0}, L"2001-01-05 10:20:30.000000+01:00"},
        {"DT", "20010105102030.5+0100", {2001, 1, 5, 10, 20, 30, 500000, 1, 0}, L"2001-01-05 10:20:30.500000+01:00"},
        {"DT", "20010105102030.000000-0030", {2001, 1, 5, 10, 20, 30, 0, 0, -30}, L"2001-01-05 10:20:30.000000-00:30"},
        {"DT", "200101051020-0500", {2001, 1, 5, 10, 20, 0, 0, -5, 0}, L"2001-01-05 10:20:00.000000-05:00"},
    };
    for (const row& r : rows)
    {
        ptr<dataHandler> handler = makeBuffer(r.vr, r.bytes)->getDataHandler(false, 0);
        EXPECT_EQ(r.expected, recordOf(handler)) << r.vr << " " << r.bytes;
        EXPECT_EQ(r.text, handler->getUnicodeString()) << r.vr << " " << r.bytes;
        EXPECT_EQ(toUtf8(r.text), handler->getString());
        EXPECT_EQ(-1, handler->getSignedLong());
        EXPECT_EQ(4294967295u, handler->getUnsignedLong());
        EXPECT_EQ(-1.0, handler->getDouble());
    }
}

TEST(DateTimeHandler, OlderFormsAreRewrittenAtParse)
{
    EXPECT_EQ("20010105", stored("DA", [](dataHandler*) {}, "2001.1.5"));
    EXPECT_EQ("2001010512", stored("DA", [](dataHandler*) {}, "200101051234"));
    EXPECT_EQ("100503.25", stored("TM", [](dataHandler*) {}, "10:5:3.25"));
    // An odd-length value is padded with a space.
    ptr<buffer> tm = makeBuffer("TM", "");
    {
        ptr<dataHandler> handler = tm->getDataHandler(true, 0);
        handler->setUnicodeString(L"10:20:30.5");
    }
    EXPECT_EQ("102030.500000 ", bufferBytes(tm));
}

TEST(DateTimeHandler, SettersTable)
{
    struct row
    {
        const char* vr;
        std::function<void(dataHandler*)> setter;
        const char* expected;
    };
    const row rows[] = {
        {"DA", [](dataHandler* h) { h->setString("2001-1-5"); }, "20010105"},
        {"DA", [](dataHandler* h) { h->setUnicodeString(L"2001/1/5/7"); }, "19990101"},
        {"DA", [](dataHandler* h) { h->setDate(2001, 13, 5, 0, 0, 0, 0, 0, 0); }, "00000000"},
        {"DA", [](dataHandler* h) { h->setDate(2001, 2, 31, 0, 0, 0, 0, 0, 0); }, "20010231"},
        {"TM", [](dataHandler* h) { h->setDate(0, 0, 0, 10, 20, 30, 500000, -5, 0); }, "102030.500000"},
        {"TM", [](dataHandler* h) { h->setDate(0, 0, 0, 24, 0, 0, 0, 0, 0); }, "000000.000000"},
        {"TM", [](dataHandler* h) { h->setUnicodeString(L"10:20:30.5"); }, "102030.500000"},
        {"TM", [](dataHandler* h) { h->setUnicodeString(L"7"); }, "070000.000000"},
        {"DT", [](dataHandler* h) { h->setDate(2001, 1, 5, 10, 20, 30, 500000, -5, -30); },
         "20010105102030.500000-0530"},
        {"DT", [](dataHandler* h) { h->setDate(2001, 1, 5, 10, 20, 30, 0, 1, 0); }, "20010105102030.000000+0100"},
        {"DT", [](dataHandler* h) { h->setDate(2001, 1, 5, 10, 20, 30, 0, 0, -30); }, "20010105102030.000000-0030"},
        {"DT", [](dataHandler* h) { h->setDate(2001, 1, 5, 10, 20, 30, 0, 13, 0); }, "20010105000000.000000+0000"},
        {"DT", [](dataHandler* h) { h->setUnicodeString(L"2001-01-05 10:20:30.000000-05:00"); },
         "20010105102030.000000-0500"},
        {"DT", [](dataHandler* h) { h->setUnicodeString(L"2001"); }, "20010101000000.000000+0000"},
        {"DT", [](dataHandler* h) { h->setUnicodeString(L"2001-01-05 10:20:30.5"); }, "20010105102030.500000+0000"},
        {"DT", [](dataHandler* h) { h->setUnicodeString(L"2001-01-05 10:20:30-00:30"); },
         "20010105102030.000000-0030"},
        {"DT", [](dataHandler* h) { h->setUnicodeString(L"2001-01-05 10:20+01:00"); }, "20010105102000.000000+0100"},
        {"DA", [](dataHandler* h) { h->setDouble(5.0); }, "19990101"},
    };
    for (const row& r : rows)
        EXPECT_EQ(r.expected, stored(r.vr, r.setter, r.vr == std::string("DA") ? "19990101" : "")) << r.expected;
}

TEST(DateTimeHandler, ReadableTextRoundTrips)
{
    // Whatever getUnicodeString shows, setUnicodeString stores again.
    for (const char* value : {"20010105102030.500000-0530", "20010105102030.000000+0100", "20010105102030.000000-0030",
                              "19991231235959.999999+1200", "20010105102030.250000+0000"})
    {
        ptr<buffer> valueBuffer = makeBuffer("DT", value);
        const std::wstring text = valueBuffer->getDataHandler(false, 0)->getUnicodeString();
        EXPECT_EQ(value, stored("DT", [&](dataHandler* h) { h->setUnicodeString(text); })) << toUtf8(text);
    }
    for (const char* value : {"102030.500000", "000000.000001", "235959.999999"})
    {
        const std::wstring text = makeBuffer("TM", value)->getDataHandler(false, 0)->getUnicodeString();
        EXPECT_EQ(value, stored("TM", [&](dataHandler* h) { h->setUnicodeString(text); })) << toUtf8(text);
    }
}

TEST(DateTimeHandler, Helpers)
{
    std::list<std::wstring> pieces;
    dataHandlerDateTimeBase::split(L"a--b", L"-", &pieces);
    EXPECT_EQ((std::list<std::wstring>{L"a", L"", L"b"}), pieces);
    pieces.clear();
    dataHandlerDateTimeBase::split(L"", L"-", &pieces);
    EXPECT_EQ(std::list<std::wstring>{L""}, pieces);
    pieces.clear();
    dataHandlerDateTimeBase::split(L"a-", L"-", &pieces);
    EXPECT_EQ((std::list<std::wstring>{L"a", L""}), pieces);

    EXPECT_EQ(L"0005", dataHandlerDateTimeBase::padLeft(L"5", L"0", 4));
    EXPECT_EQ(L"12345", dataHandlerDateTimeBase::padLeft(L"12345", L"0", 4));
    EXPECT_EQ(L"00000000", dataHandlerDateTimeBase::buildDate(static_cast<std::uint32_t>(-1), 1, 1));
    EXPECT_EQ(L"102030.500000-0530", dataHandlerDateTimeBase::buildTime(10, 20, 30, 500000, -5, -30));
}
