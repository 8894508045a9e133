#include "dicom/core/dataHandlerDateTimeBase.h"

#include "dicom/base/exceptionsManager.h"

#include <cstdlib>

namespace Halvoran::Varnix::handlers
{

std::int32_t dataHandlerDateTimeBase::getSignedLong()
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::getSignedLong")
    return -1;
    HALVORAN_FUNCTION_END()
}

std::uint32_t dataHandlerDateTimeBase::getUnsignedLong()
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::getUnsignedLong")
    return 0xFFFFFFFFu;
    HALVORAN_FUNCTION_END()
}

double dataHandlerDateTimeBase::getDouble()
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::getDouble")
    return -1.0;
    HALVORAN_FUNCTION_END()
}

void dataHandlerDateTimeBase::setSignedLong(std::int32_t) {}

void dataHandlerDateTimeBase::setUnsignedLong(std::uint32_t) {}

void dataHandlerDateTimeBase::setDouble(double) {}

std::wstring dataHandlerDateTimeBase::number(std::int64_t value, std::uint32_t digits)
{
    std::wstring text = std::to_wstring(value);
    if (text.size() < digits)
        text.insert(0, digits - text.size(), L'0');
    return text;
}

std::int32_t dataHandlerDateTimeBase::readFraction(const std::wstring& digits)
{
    std::wstring fraction = digits.substr(0, 6);
    std::size_t end = 0;
    while (end < fraction.size() && fraction[end] >= L'0' && fraction[end] <= L'9')
        ++end;
    fraction.erase(end);
    fraction.append(6 - fraction.size(), L'0');
    return readSigned(fraction);
}

void dataHandlerDateTimeBase::parseDate(const std::wstring& dateString, std::int32_t* pYear, std::int32_t* pMonth,
                                        std::int32_t* pDay)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::parseDate")

    std::wstring text = dateString;
    if (text.size() < 8)
        text.append(8 - text.size(), L'0');
    *pYear = readSigned(text.substr(0, 4));
    *pMonth = readSigned(text.substr(4, 2));
    *pDay = readSigned(text.substr(6, 2));

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerDateTimeBase::buildDate(std::uint32_t year, std::uint32_t month, std::uint32_t day)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::buildDate")

    if (year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        year = month = day = 0;
    return number(year, 4) + number(month, 2) + number(day, 2);

    HALVORAN_FUNCTION_END()
}

void dataHandlerDateTimeBase::parseTime(const std::wstring& timeString, std::int32_t* pHour, std::int32_t* pMinutes,
                                        std::int32_t* pSeconds, std::int32_t* pMicroseconds,
                                        std::int32_t* pOffsetHours, std::int32_t* pOffsetMinutes)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::parseTime")

    const std::size_t signAt = timeString.find_first_of(L"+-");
    std::wstring time = timeString.substr(0, signAt);
    const std::wstring offset = signAt == std::wstring::npos ? std::wstring() : timeString.substr(signAt);

    std::wstring fraction;
    const std::size_t pointAt = time.find(L'.');
    if (pointAt != std::wstring::npos)
    {
        fraction = time.substr(pointAt + 1);
        time.erase(pointAt);
    }
    if (time.size() < 6)
        time.append(6 - time.size(), L'0');
    *pHour = readSigned(time.substr(0, 2));
    *pMinutes = readSigned(time.substr(2, 2));
    *pSeconds = readSigned(time.substr(4, 2));
    *pMicroseconds = readFraction(fraction);

    *pOffsetHours = *pOffsetMinutes = 0;
    if (!offset.empty())
    {
        std::wstring digits = offset.substr(1, 4);
        if (digits.size() < 4)
            digits.append(4 - digits.size(), L'0');
        *pOffsetHours = readSigned(digits.substr(0, 2));
        *pOffsetMinutes = readSigned(digits.substr(2, 2));
        if (offset[0] == L'-')
        {
            *pOffsetHours = -*pOffsetHours;
            *pOffsetMinutes = -*pOffsetMinutes;
        }
    }

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerDateTimeBase::buildTime(std::int32_t hour, std::int32_t minutes, std::int32_t seconds,
                                                std::int32_t microseconds, std::int32_t offsetHours,
                                                std::int32_t offsetMinutes)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::buildTime")

    if (hour < 0 || hour > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59 || microseconds < 0 ||
        microseconds > 999999 || offsetHours < -12 || offsetHours > 12 || offsetMinutes < -59 || offsetMinutes > 59)
    {
        hour = minutes = seconds = microseconds = offsetHours = offsetMinutes = 0;
    }
    const bool bNegative = offsetHours < 0 || (offsetHours == 0 && offsetMinutes < 0);
    return number(hour, 2) + number(minutes, 2) + number(seconds, 2) + L"." + number(microseconds, 6) +
           (bNegative ? L"-" : L"+") + number(std::abs(offsetHours), 2) + number(std::abs(offsetMinutes), 2);

    HALVORAN_FUNCTION_END()
}

void dataHandlerDateTimeBase::split(const std::wstring& source, const std::wstring& separators,
                                    std::list<std::wstring>* pComponents)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::split")

    std::wstring rest = source;
    for (;;)
    {
        const std::size_t at = rest.find_first_of(separators);
        if (at == std::wstring::npos)
        {
            pComponents->push_back(rest);
            return;
        }
        pComponents->push_back(rest.substr(0, at));
        rest.erase(0, at + 1);
    }

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerDateTimeBase::padLeft(const std::wstring& source, const std::wstring& fillChar,
                                              std::uint32_t length)
{
    HALVORAN_FUNCTION_START(L"dataHandlerDateTimeBase::padLeft")

    std::wstring result = source;
    if (fillChar.empty())
        return result;
    while (result.size() < length)
        result.insert(0, fillChar);
    return result;

    HALVORAN_FUNCTION_END()
}

void dataHandlerDateTimeBase::parseReadableTime(const std::wstring& text, std::int32_t* pHour,
                                                std::int32_t* pMinutes, std::int32_t* pSeconds,
                                                std::int32_t* pMicroseconds, std::int32_t* pOffsetHours,
                                                std::int32_t* pOffsetMinutes)
{
    *pHour = *pMinutes = *pSeconds = *pMicroseconds = *pOffsetHours = *pOffsetMinutes = 0;

    const std::size_t signAt = text.find_first_of(L"+-");
    std::wstring time = text.substr(0, signAt);
    std::wstring offset = signAt == std::wstring::npos ? std::wstring() : text.substr(signAt);

    std::list<std::wstring> parts;
    split(time, L":", &parts);
    auto part = parts.begin();
    if (part != parts.end())
        *pHour = readSigned(*part++);
    if (part != parts.end())
        *pMinutes = readSigned(*part++);
    if (part != parts.end())
    {
        const std::wstring secondsText = *part;
        const std::size_t pointAt = secondsText.find(L'.');
        *pSeconds = readSigned(secondsText.substr(0, pointAt));
        if (pointAt != std::wstring::npos)
            *pMicroseconds = readFraction(secondsText.substr(pointAt + 1));
    }

    if (!offset.empty())
    {
        const bool bNegative = offset[0] == L'-';
        offset.erase(0, 1);
        std::int32_t hours = 0;
        std::int32_t minutes = 0;
        const std::size_t colonAt = offset.find(L':');
        if (colonAt != std::wstring::npos)
        {
            hours = readSigned(offset.substr(0, colonAt));
            minutes = readSigned(offset.substr(colonAt + 1));
        }
        else
        {
            std::wstring digits = offset.substr(0, 4);
            if (digits.size() > 2 && digits.size() < 4)
                digits.insert(0, 4 - digits.size(), L'0');
            hours = readSigned(digits.substr(0, 2));
            minutes = digits.size() > 2 ? readSigned(digits.substr(2, 2)) : 0;
        }
        *pOffsetHours = bNegative ? -hours : hours;
        *pOffsetMinutes = bNegative ? -minutes : minutes;
    }
}

std::wstring dataHandlerDateTimeBase::readableTime(std::int32_t hour, std::int32_t minutes, std::int32_t seconds,
                                                   std::int32_t microseconds, std::int32_t offsetHours,
                                                   std::int32_t offsetMinutes)
{
    std::wstring text = number(hour, 2) + L":" + number(minutes, 2) + L":" + number(seconds, 2) + L"." +
                        number(microseconds, 6);
    if (offsetHours != 0 || offsetMinutes != 0)
    {
        const bool bNegative = offsetHours < 0 || (offsetHours == 0 && offsetMinutes < 0);
        text += bNegative ? L"-" : L"+";
        text += number(std::abs(offsetHours), 2) + L":" + number(std::abs(offsetMinutes), 2);
    }
    return text;
}

} // namespace Halvoran::Varnix::handlers
