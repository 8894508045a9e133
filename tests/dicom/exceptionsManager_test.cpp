#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Halvoran;

namespace
{
void innermost()
{
    HALVORAN_FUNCTION_START(L"probe::innermost")
    HALVORAN_THROW(streamExceptionEOF, "Attempt to read past the end of the file");
    HALVORAN_FUNCTION_END()
}

void middle()
{
    HALVORAN_FUNCTION_START(L"probe::middle")
    innermost();
    HALVORAN_FUNCTION_END()
}

void outer()
{
    HALVORAN_FUNCTION_START(L"probe::outer")
    middle();
    HALVORAN_FUNCTION_END()
}

void catchesInside()
{
    HALVORAN_FUNCTION_START(L"probe::catchesInside")
    try
    {
        throw std::runtime_error("handled here");
    }
    catch (const std::runtime_error&)
    {
    }
    HALVORAN_FUNCTION_END()
}

void throwsInteger()
{
    HALVORAN_FUNCTION_START(L"probe::throwsInteger")
    throw 42;
    HALVORAN_FUNCTION_END()
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}
} // namespace

TEST(ExceptionTrail, FourEntriesInTravelOrderWithExactText)
{
    exceptionsManager::getTrailText();
    EXPECT_THROW(outer(), streamExceptionEOF);
    const std::string trail = narrow(exceptionsManager::getTrailText());

    // Each entry: header, file and line, type, message, then the blank
    // separator. Only the line numbers depend on this file's layout.
    std::vector<std::string> methods;
    std::size_t at = 0;
    while (at < trail.size())
    {
        const std::size_t close = trail.find("]\n", at);
        ASSERT_NE(std::string::npos, close) << trail;
        ASSERT_EQ('[', trail[at]) << trail;
        methods.push_back(trail.substr(at + 1, close - at - 1));
        at = close + 2;
        const std::string filePrefix = " file: exceptionsManager_test.cpp  line: ";
        ASSERT_EQ(filePrefix, trail.substr(at, filePrefix.size())) << trail;
        at += filePrefix.size();
        const std::size_t digitsEnd = trail.find('\n', at);
        ASSERT_GT(digitsEnd, at);
        EXPECT_EQ(std::string::npos, trail.substr(at, digitsEnd - at).find_first_not_of("0123456789"));
        at = digitsEnd + 1;
        const std::string rest = " exception type: Halvoran::streamExceptionEOF\n"
                                 " exception message: Attempt to read past the end of the file\n\n\n";
        ASSERT_EQ(rest, trail.substr(at, rest.size())) << trail;
        at += rest.size();
    }
    EXPECT_EQ((std::vector<std::string>{"probe::innermost", "probe::innermost", "probe::middle", "probe::outer"}),
              methods);

    // Reading the trail empties it.
    EXPECT_EQ(L"", exceptionsManager::getTrailText());
}

TEST(ExceptionTrail, EntryFormat)
{
    const exceptionInfo info(L"stream::read", "stream.cpp", 42, "Halvoran::streamExceptionRead",
                             "stream::read failure");
    EXPECT_EQ(L"[stream::read]\n file: stream.cpp  line: 42\n exception type: Halvoran::streamExceptionRead\n"
              L" exception message: stream::read failure\n",
              info.format());
}

TEST(ExceptionTrail, CatchInsideBodyRecordsNothing)
{
    exceptionsManager::getTrailText();
    catchesInside();
    EXPECT_EQ(L"", exceptionsManager::getTrailText());
}

TEST(ExceptionTrail, ForeignExceptionIsUnknownAndRethrownUnchanged)
{
    exceptionsManager::getTrailText();
    try
    {
        throwsInteger();
        FAIL() << "no exception";
    }
    catch (int value)
    {
        EXPECT_EQ(42, value);
    }
    const std::wstring trail = exceptionsManager::getTrailText();
    EXPECT_NE(std::wstring::npos, trail.find(L"[probe::throwsInteger]"));
    EXPECT_NE(std::wstring::npos, trail.find(L" exception type: unknown\n exception message: \n"));
}

TEST(ExceptionTrail, ThreadsKeepSeparateTrails)
{
    exceptionsManager::getTrailText();
    std::wstring trailA, trailB;
    auto worker = [](std::wstring* trail, bool fail) {
        for (int i = 0; i < 50; ++i)
        {
            if (fail)
            {
                try
                {
                    middle();
                }
                catch (const streamException&)
                {
                }
            }
            else
            {
                catchesInside();
            }
        }
        *trail = exceptionsManager::getTrailText();
    };
    std::thread a(worker, &trailA, true);
    std::thread b(worker, &trailB, false);
    a.join();
    b.join();
    EXPECT_EQ(L"", trailB);
    std::size_t entries = 0;
    for (std::size_t at = trailA.find(L"[probe::"); at != std::wstring::npos; at = trailA.find(L"[probe::", at + 1))
        ++entries;
    EXPECT_EQ(150u, entries);
    EXPECT_EQ(L"", exceptionsManager::getTrailText());
}

TEST(ExceptionTrail, EndedThreadLeavesNothingForTheNextThread)
{
    // Threads started one after the other usually get the same identifier;
    // the first one's unread trail must not reach the second.
    std::thread::id firstId, secondId;
    std::thread first([&] {
        firstId = std::this_thread::get_id();
        EXPECT_THROW(middle(), streamExceptionEOF);
    });
    first.join();
    std::wstring inherited = L"not run";
    std::thread second([&] {
        secondId = std::this_thread::get_id();
        inherited = exceptionsManager::getTrailText();
    });
    second.join();
    EXPECT_EQ(L"", inherited);
}
