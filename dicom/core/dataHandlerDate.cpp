#include "dicom/core/dataHandlerDate.h"

#include "dicom/base/exceptionsManager.h"

namespace Halvoran::Varnix::handlers
{

void dataHandlerDate::parseBuffer(const ptr<memory>& memoryBuffer)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDate::parseBuffer")

    dataHandlerString::parseBuffer(memoryBuffer);
    setPointer(0);
    std::wstring value = dataHandlerString::getUnicodeString();
    const std::size_t last = value.find_last_not_of(std::wstring(L" \0", 2));
    value.erase(last == std::wstring::npos ? 0 : last + 1);

    std::list<std::wstring> pieces;
    split(value, L"./-", &pieces);
    std::wstring rewritten;
    if (pieces.size() == 1)
        rewritten = value;
    else
    {
        auto piece = pieces.begin();
        rewritten = padLeft(*piece++, L"0", 4);
        if (piece != pieces.end())
            rewritten += padLeft(*piece++, L"0", 2);
        if (piece != pieces.end())
            rewritten += padLeft(*piece++, L"0", 2);
    }
    dataHandlerString::setUnicodeString(rewritten);

    HALVORAN_FUNCTION_END()
}

void dataHandlerDate::getDate(std::int32_t* pYear, std::int32_t* pMonth, std::int32_t* pDay, std::int32_t* pHour,
                              std::int32_t* pMinutes, std::int32_t* pSeconds, std::int32_t* pMicroseconds,
                              std::int32_t* pOffsetHours, std::int32_t* pOffsetMinutes)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDate::getDate")

    *pYear = *pMonth = *pDay = *pHour = *pMinutes = *pSeconds = *pMicroseconds = *pOffsetHours = *pOffsetMinutes = 0;
    parseDate(dataHandlerString::getUnicodeString(), pYear, pMonth, pDay);

    HALVORAN_FUNCTION_END()
}

void dataHandlerDate::setDate(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t, std::int32_t,
                              std::int32_t, std::int32_t, std::int32_t, std::int32_t)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDate::setDate")

    dataHandlerString::setUnicodeString(buildDate(static_cast<std::uint32_t>(year), static_cast<std::uint32_t>(month),
                                                  static_cast<std::uint32_t>(day)));

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerDate::getUnicodeString()
{
    HALVORAN_FUNCTION_START(L"dataHandlerDate::getUnicodeString")

    std::int32_t year, month, day, hour, minutes, seconds, microseconds, offsetHours, offsetMinutes;
    getDate(&year, &month, &day, &hour, &minutes, &seconds, &microseconds, &offsetHours, &offsetMinutes);
    return number(year, 4) + L"-" + number(month, 2) + L"-" + number(day, 2);

    HALVORAN_FUNCTION_END()
}

void dataHandlerDate::setUnicodeString(const std::wstring& value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDate::setUnicodeString")

    std::list<std::wstring> pieces;
    split(value, L"-/.", &pieces);
    if (pieces.size() != 3)
        return;
    auto piece = pieces.begin();
    const std::int32_t year = readSigned(*piece++);
    const std::int32_t month = readSigned(*piece++);
    const std::int32_t day = readSigned(*piece);
    setDate(year, month, day, 0, 0, 0, 0, 0, 0);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::handlers
