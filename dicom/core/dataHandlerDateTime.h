// Handler of DT values (date and time with an optional offset).
#pragma once

#include "dicom/core/dataHandlerDateTimeBase.h"

namespace Halvoran::Varnix::handlers
{

// DT: "YYYYMMDDHHMMSS.FFFFFF&ZZZZ", readable as
// "YYYY-MM-DD HH:MM:SS.FFFFFF" followed by "&HH:MM" when there is an offset.
class dataHandlerDateTime : public dataHandlerDateTimeBase
{
public:
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 26; }

    void getDate(std::int32_t* pYear, std::int32_t* pMonth, std::int32_t* pDay, std::int32_t* pHour,
                 std::int32_t* pMinutes, std::int32_t* pSeconds, std::int32_t* pMicroseconds,
                 std::int32_t* pOffsetHours, std::int32_t* pOffsetMinutes) override;
    void setDate(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour, std::int32_t minutes,
                 std::int32_t seconds, std::int32_t microseconds, std::int32_t offsetHours,
                 std::int32_t offsetMinutes) override;
    std::wstring getUnicodeString() override;
    // Reads "YYYY[-MM[-DD]] [HH[:MM[:SS[.F...]]]][&HH[:MM]]" ("/" or "." may
    // separate the date too); missing parts are January 1st, 00:00:00.
    void setUnicodeString(const std::wstring& value) override;
};

} // namespace Halvoran::Varnix::handlers
