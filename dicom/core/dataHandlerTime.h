// Handler of TM values (times of day).
#pragma once

#include "dicom/core/dataHandlerDateTimeBase.h"

namespace Halvoran::Varnix::handlers
{

// TM: "HHMMSS.FFFFFF", readable as "HH:MM:SS.FFFFFF".
class dataHandlerTime : public dataHandlerDateTimeBase
{
public:
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 16; }

    // Also rewrites the older form with colons ("10:5:3.25" -> "100503.25").
    void parseBuffer(const ptr<memory>& memoryBuffer) override;

    void getDate(std::int32_t* pYear, std::int32_t* pMonth, std::int32_t* pDay, std::int32_t* pHour,
                 std::int32_t* pMinutes, std::int32_t* pSeconds, std::int32_t* pMicroseconds,
                 std::int32_t* pOffsetHours, std::int32_t* pOffsetMinutes) override;
    // Stores "HHMMSS.FFFFFF" (a time value has no offset).
    void setDate(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour, std::int32_t minutes,
                 std::int32_t seconds, std::int32_t microseconds, std::int32_t offsetHours,
                 std::int32_t offsetMinutes) override;
    std::wstring getUnicodeString() override;
    // Reads "HH[:MM[:SS[.F...]]]" with an optional offset.
    void setUnicodeString(const std::wstring& value) override;
};

} // namespace Halvoran::Varnix::handlers
