#include "dicom/core/dataHandlerStringDS.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/core/dataHandlerNumeric.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace Halvoran::Varnix::handlers
{

namespace
{
std::wstring formatWithPrecision(double value, int precision)
{
    std::wostringstream stream;
    stream.imbue(std::locale::classic());
    stream.precision(precision);
    stream << value;
    return stream.str();
}
} // namespace

std::wstring dataHandlerStringDS::formatDecimal(double value)
{
    int precision = 6;
    std::wstring text = formatWithPrecision(value, precision);
    if (!std::isfinite(value))
        return text;
    while (precision < 17 && readDouble(text) != value)
        text = formatWithPrecision(value, ++precision);
    while (text.size() > 16 && precision > 1)
        text = formatWithPrecision(value, --precision);
    return text;
}

std::int32_t dataHandlerStringDS::getSignedLong()
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringDS::getSignedLong")

    return static_cast<std::int32_t>(numericConversion::truncateTo64(getDouble()));

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataHandlerStringDS::getUnsignedLong()
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringDS::getUnsignedLong")

    return static_cast<std::uint32_t>(numericConversion::truncateTo64(getDouble()));

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringDS::setSignedLong(std::int32_t value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringDS::setSignedLong")

    setDouble(static_cast<double>(value));

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringDS::setUnsignedLong(std::uint32_t value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringDS::setUnsignedLong")

    setDouble(static_cast<double>(value));

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringDS::setDouble(double value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringDS::setDouble")

    setUnicodeString(formatDecimal(value));

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::handlers
