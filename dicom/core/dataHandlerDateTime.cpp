#include "dicom/core/dataHandlerDateTime.h"

#include "dicom/base/exceptionsManager.h"

#include <algorithm>

namespace Halvoran::Varnix::handlers
{

void dataHandlerDateTime::getDate(std::int32_t* pYear, std::int32_t* pMonth, std::int32_t* pDay,
                                  std::int32_t* pHour, std::int32_t* pMinutes, std::int32_t* pSeconds,
                                  std::int32_t* pMicroseconds, std::int32_t* pOffsetHours,
                                  std::int32_t* pOffsetMinutes)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTime::getDate")

    const std::wstring value = dataHandlerString::getUnicodeString();
    // The offset may follow any part of the value ("2001+0100").
    const std::size_t signAt = value.find_first_of(L"+-");
    const std::wstring core = value.substr(0, signAt);
    const std::wstring offset = signAt == std::wstring::npos ? std::wstring() : value.substr(signAt);
    parseDate(core.substr(0, 8), pYear, pMonth, pDay);
    parseTime((core.size() > 8 ? core.substr(8) : std::wstring()) + offset, pHour, pMinutes, pSeconds, pMicroseconds,
              pOffsetHours, pOffsetMinutes);

    HALVORAN_FUNCTION_END()
}

void dataHandlerDateTime::setDate(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour,
                                  std::int32_t minutes, std::int32_t seconds, std::int32_t microseconds,
                                  std::int32_t offsetHours, std::int32_t offsetMinutes)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTime::setDate")

    dataHandlerString::setUnicodeString(
        buildDate(static_cast<std::uint32_t>(year), static_cast<std::uint32_t>(month),
                  static_cast<std::uint32_t>(day)) +
        buildTime(hour, minutes, seconds, microseconds, offsetHours, offsetMinutes));

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerDateTime::getUnicodeString()
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTime::getUnicodeString")

    std::int32_t year, month, day, hour, minutes, seconds, microseconds, offsetHours, offsetMinutes;
    getDate(&year, &month, &day, &hour, &minutes, &seconds, &microseconds, &offsetHours, &offsetMinutes);
    return number(year, 4) + L"-" + number(month, 2) + L"-" + number(day, 2) + L" " +
           readableTime(hour, minutes, seconds, microseconds, offsetHours, offsetMinutes);

    HALVORAN_FUNCTION_END()
}

void dataHandlerDateTime::setUnicodeString(const std::wstring& value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTime::setUnicodeString")

    std::wstring text = value;
    const std::size_t first = text.find_first_not_of(L' ');
    text.erase(0, first == std::wstring::npos ? text.size() : first);

    const std::size_t spaceAt = text.find(L' ');
    std::wstring datePart = text.substr(0, spaceAt);
    std::wstring timePart = spaceAt == std::wstring::npos ? std::wstring() : text.substr(spaceAt + 1);
    // An offset right after the date ("2001-01-05+01:00") belongs to the time.
    const std::size_t plusAt = datePart.find(L'+');
    if (plusAt != std::wstring::npos)
    {
        timePart = datePart.substr(plusAt) + timePart;
        datePart.erase(plusAt);
    }
    timePart.erase(std::remove(timePart.begin(), timePart.end(), L' '), timePart.end());

    std::int32_t year = 0, month = 1, day = 1;
    std::list<std::wstring> pieces;
    split(datePart, L"-/.", &pieces);
    auto piece = pieces.begin();
    if (piece != pieces.end())
        year = readSigned(*piece++);
    if (piece != pieces.end())
        month = readSigned(*piece++);
    if (piece != pieces.end())
        day = readSigned(*piece++);

    std::int32_t hour, minutes, seconds, microseconds, offsetHours, offsetMinutes;
    parseReadableTime(timePart, &hour, &minutes, &seconds, &microseconds, &offsetHours, &offsetMinutes);
    setDate(year, month, day, hour, minutes, seconds, microseconds, offsetHours, offsetMinutes);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::handlers
