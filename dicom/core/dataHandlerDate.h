// Handler of DA values (dates).
#pragma once

#include "dicom/core/dataHandlerDateTimeBase.h"

namespace Halvoran::Varnix::handlers
{

// DA: "YYYYMMDD", readable as "YYYY-MM-DD".
class dataHandlerDate : public dataHandlerDateTimeBase
{
public:
    std::uint32_t getUnitSize() override { return 8; }
    std::uint32_t maxSize() override { return 10; }

    // Also rewrites the older form with separators ("2001.1.5" -> "20010105").
    void parseBuffer(const ptr<memory>& memoryBuffer) override;

    void getDate(std::int32_t* pYear, std::int32_t* pMonth, std::int32_t* pDay, std::int32_t* pHour,
                 std::int32_t* pMinutes, std::int32_t* pSeconds, std::int32_t* pMicroseconds,
                 std::int32_t* pOffsetHours, std::int32_t* pOffsetMinutes) override;
    void setDate(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour, std::int32_t minutes,
                 std::int32_t seconds, std::int32_t microseconds, std::int32_t offsetHours,
                 std::int32_t offsetMinutes) override;
    std::wstring getUnicodeString() override;
    // Reads "YYYY-MM-DD" (or with "/" or "."); other texts are ignored.
    void setUnicodeString(const std::wstring& value) override;
};

} // namespace Halvoran::Varnix::handlers
