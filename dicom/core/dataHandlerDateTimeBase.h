// What the DA, DT and TM handlers share: parsing and writing dates and times.
#pragma once

#include "dicom/core/dataHandlerString.h"

#include <list>

namespace Halvoran::Varnix::handlers
{

// Common part of the DA, DT and TM handlers: one value in the DICOM form,
// exchanged as a date record (nine numbers) or as readable text.
//
// Time-zone offsets: the offset hours carry the sign, and the offset
// minutes carry it too ("-0530" is -5 and -30, "-0030" is 0 and -30).
class dataHandlerDateTimeBase : public dataHandlerString
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    wchar_t getSeparator() override { return 0; }

    // Dates and times are not numbers: -1 when read, ignored when written.
    std::int32_t getSignedLong() override;
    std::uint32_t getUnsignedLong() override;
    double getDouble() override;
    void setSignedLong(std::int32_t value) override;
    void setUnsignedLong(std::uint32_t value) override;
    void setDouble(double value) override;

    // "YYYYMMDD", filled with "0" on the right when shorter.
    static void parseDate(const std::wstring& dateString, std::int32_t* pYear, std::int32_t* pMonth,
                          std::int32_t* pDay);
    static std::wstring buildDate(std::uint32_t year, std::uint32_t month, std::uint32_t day);

    // "HH[MM[SS[.F...]]][&HHMM]", read by component: a fraction of fewer
    // than six digits is filled with "0" on the right, and the offset is
    // read wherever it starts.
    static void parseTime(const std::wstring& timeString, std::int32_t* pHour, std::int32_t* pMinutes,
                          std::int32_t* pSeconds, std::int32_t* pMicroseconds, std::int32_t* pOffsetHours,
                          std::int32_t* pOffsetMinutes);
    // "HHMMSS.FFFFFF&HHMM"; an invalid time gives "000000.000000+0000".
    static std::wstring buildTime(std::int32_t hour, std::int32_t minutes, std::int32_t seconds,
                                  std::int32_t microseconds, std::int32_t offsetHours, std::int32_t offsetMinutes);

    static void split(const std::wstring& source, const std::wstring& separators, std::list<std::wstring>* pComponents);
    static std::wstring padLeft(const std::wstring& source, const std::wstring& fillChar, std::uint32_t length);

protected:
    // Reads a readable time "HH[:MM[:SS[.F...]]]" with an optional offset
    // "&HH[:MM]" (or "&HHMM"); missing parts are 0.
    static void parseReadableTime(const std::wstring& text, std::int32_t* pHour, std::int32_t* pMinutes,
                                  std::int32_t* pSeconds, std::int32_t* pMicroseconds, std::int32_t* pOffsetHours,
                                  std::int32_t* pOffsetMinutes);
    // "HH:MM:SS.FFFFFF", then "&HH:MM" when the offset is not zero.
    static std::wstring readableTime(std::int32_t hour, std::int32_t minutes, std::int32_t seconds,
                                     std::int32_t microseconds, std::int32_t offsetHours, std::int32_t offsetMinutes);
    static std::wstring number(std::int64_t value, std::uint32_t digits);
    // The fraction digits as microseconds (at most six digits, filled on the right).
    static std::int32_t readFraction(const std::wstring& digits);
};

} // namespace Halvoran::Varnix::handlers
