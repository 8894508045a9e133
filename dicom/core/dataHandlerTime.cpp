#include "dicom/core/dataHandlerTime.h"

#include "dicom/base/exceptionsManager.h"

namespace Halvoran::Varnix::handlers
{

void dataHandlerTime::parseBuffer(const ptr<memory>& memoryBuffer)
{
    HALVORAN_FUNCTION_START(L"dataHandlerTime::parseBuffer")

    dataHandlerString::parseBuffer(memoryBuffer);
    setPointer(0);
    std::wstring value = dataHandlerString::getUnicodeString();
    const std::size_t last = value.find_last_not_of(std::wstring(L" \0", 2));
    value.erase(last == std::wstring::npos ? 0 : last + 1);

    std::list<std::wstring> pieces;
    split(value, L":", &pieces);
    std::wstring rewritten;
    if (pieces.size() == 1)
        rewritten = value;
    else
    {
        auto piece = pieces.begin();
        rewritten = padLeft(*piece++, L"0", 2);
        if (piece != pieces.end())
            rewritten += padLeft(*piece++, L"0", 2);
        if (piece != pieces.end())
        {
            std::list<std::wstring> secondParts;
            split(*piece, L".", &secondParts);
            auto secondPart = secondParts.begin();
            rewritten += padLeft(*secondPart++, L"0", 2);
            if (secondPart != secondParts.end())
                rewritten += L"." + *secondPart;
        }
    }
    dataHandlerString::setUnicodeString(rewritten);

    HALVORAN_FUNCTION_END()
}

void dataHandlerTime::getDate(std::int32_t* pYear, std::int32_t* pMonth, std::int32_t* pDay, std::int32_t* pHour,
                              std::int32_t* pMinutes, std::int32_t* pSeconds, std::int32_t* pMicroseconds,
                              std::int32_t* pOffsetHours, std::int32_t* pOffsetMinutes)
{
    HALVORAN_FUNCTION_START(L"dataHandlerTime::getDate")

    *pYear = *pMonth = *pDay = 0;
    parseTime(dataHandlerString::getUnicodeString(), pHour, pMinutes, pSeconds, pMicroseconds, pOffsetHours,
              pOffsetMinutes);

    HALVORAN_FUNCTION_END()
}

void dataHandlerTime::setDate(std::int32_t, std::int32_t, std::int32_t, std::int32_t hour, std::int32_t minutes,
                              std::int32_t seconds, std::int32_t microseconds, std::int32_t offsetHours,
                              std::int32_t offsetMinutes)
{
    HALVORAN_FUNCTION_START(L"dataHandlerTime::setDate")

    dataHandlerString::setUnicodeString(
        buildTime(hour, minutes, seconds, microseconds, offsetHours, offsetMinutes).substr(0, 13));

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerTime::getUnicodeString()
{
    HALVORAN_FUNCTION_START(L"dataHandlerTime::getUnicodeString")

    std::int32_t year, month, day, hour, minutes, seconds, microseconds, offsetHours, offsetMinutes;
    getDate(&year, &month, &day, &hour, &minutes, &seconds, &microseconds, &offsetHours, &offsetMinutes);
    return readableTime(hour, minutes, seconds, microseconds, offsetHours, offsetMinutes);

    HALVORAN_FUNCTION_END()
}

void dataHandlerTime::setUnicodeString(const std::wstring& value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerTime::setUnicodeString")

    std::int32_t hour, minutes, seconds, microseconds, offsetHours, offsetMinutes;
    parseReadableTime(value, &hour, &minutes, &seconds, &microseconds, &offsetHours, &offsetMinutes);
    setDate(0, 1, 1, hour, minutes, seconds, microseconds, offsetHours, offsetMinutes);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::handlers
