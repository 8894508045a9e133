#include "dicom/core/dataHandlerStringAS.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/core/dataHandlerNumeric.h"

#include <cmath>

namespace Halvoran::Varnix::handlers
{

void dataHandlerStringAS::setAge(std::uint32_t age, wchar_t unit)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringAS::setAge")

    std::wstring text = std::to_wstring(age);
    if (text.size() < 3)
        text.insert(0, 3 - text.size(), L'0');
    text.push_back(unit);
    setUnicodeString(text);

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataHandlerStringAS::getAge(wchar_t* pUnit)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringAS::getAge")

    const std::wstring value = getUnicodeString();
    std::size_t digitsEnd = 0;
    while (digitsEnd < value.size() && value[digitsEnd] >= L'0' && value[digitsEnd] <= L'9')
        ++digitsEnd;
    const std::uint32_t age = readUnsigned(value.substr(0, digitsEnd));
    *pUnit = digitsEnd < value.size() ? static_cast<wchar_t>(static_cast<std::uint32_t>(value[digitsEnd]) & 0xFF)
                                      : L'Y';
    return age;

    HALVORAN_FUNCTION_END()
}

double dataHandlerStringAS::getDouble()
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringAS::getDouble")

    wchar_t unit = L'Y';
    const long double age = getAge(&unit);
    switch (unit)
    {
    case L'D':
        return static_cast<double>(age * (1.0L / 365.0L));
    case L'W':
        return static_cast<double>(age * (1.0L / 52.14L));
    case L'M':
        return static_cast<double>(age * (1.0L / 12.0L));
    default:
        return static_cast<double>(age);
    }

    HALVORAN_FUNCTION_END()
}

std::int32_t dataHandlerStringAS::getSignedLong()
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringAS::getSignedLong")

    return static_cast<std::int32_t>(numericConversion::truncateTo64(getDouble()));

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataHandlerStringAS::getUnsignedLong()
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringAS::getUnsignedLong")

    return static_cast<std::uint32_t>(numericConversion::truncateTo64(getDouble()));

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringAS::setSignedLong(std::int32_t value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringAS::setSignedLong")

    setDouble(static_cast<double>(value));

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringAS::setUnsignedLong(std::uint32_t value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringAS::setUnsignedLong")

    setDouble(static_cast<double>(value));

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringAS::setDouble(double value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringAS::setDouble")

    if (!(value >= 0))
        value = 0;
    auto count = [](double number) {
        return static_cast<std::uint32_t>(std::min(numericConversion::truncateTo64(number), std::int64_t{0xFFFFFFFF}));
    };
    if (value < 0.08)
        setAge(count(value * 365), L'D');
    else if (value < 0.5)
        setAge(count(value * 52.14), L'W');
    else if (value < 2)
        setAge(count(value * 12), L'M');
    else
        setAge(count(value), L'Y');

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::handlers
