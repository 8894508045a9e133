#include "dicom/core/dataHandlerString.h"

#include "dicom/base/exceptionsManager.h"

#include <iomanip>
#include <locale>
#include <sstream>

namespace Halvoran::Varnix::handlers
{

dataHandlerString::dataHandlerString() : m_elementNumber(0) {}

void dataHandlerString::setPointer(std::uint32_t elementNumber)
{
    m_elementNumber = elementNumber;
}

void dataHandlerString::incPointer()
{
    ++m_elementNumber;
}

bool dataHandlerString::pointerIsValid()
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::pointerIsValid")

    return m_elementNumber < m_strings.size();

    HALVORAN_FUNCTION_END()
}

void dataHandlerString::setSize(std::uint32_t elementsNumber)
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::setSize")

    if (getSeparator() == 0)
        elementsNumber = 1;
    m_strings.resize(elementsNumber);

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataHandlerString::getSize()
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::getSize")

    return static_cast<std::uint32_t>(m_strings.size());

    HALVORAN_FUNCTION_END()
}

void dataHandlerString::parseBuffer(const ptr<memory>& memoryBuffer)
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::parseBuffer")

    m_strings.clear();
    std::string bytes;
    if (memoryBuffer && !memoryBuffer->empty())
        bytes.assign(reinterpret_cast<const char*>(memoryBuffer->data()), memoryBuffer->size());
    std::wstring text = convertToUnicode(bytes);

    const std::size_t last = text.find_last_not_of(std::wstring(L" \0", 2));
    text.erase(last == std::wstring::npos ? 0 : last + 1);

    const wchar_t separator = getSeparator();
    if (separator == 0)
    {
        m_strings.push_back(text);
        return;
    }
    const std::size_t unitSize = getUnitSize();
    for (std::size_t position = 0; position < text.size();)
    {
        std::size_t end = text.find(separator, position);
        if (end == std::wstring::npos)
            end = text.size();
        bool bCut = false;
        if (unitSize != 0 && end - position > unitSize)
        {
            end = position + unitSize;
            bCut = true;
        }
        m_strings.push_back(text.substr(position, end - position));
        position = (!bCut && end < text.size() && text[end] == separator) ? end + 1 : end;
    }

    HALVORAN_FUNCTION_END()
}

void dataHandlerString::buildBuffer(const ptr<memory>& memoryBuffer)
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::buildBuffer")

    std::wstring text;
    const wchar_t separator = getSeparator();
    for (std::size_t i = 0; i < m_strings.size(); ++i)
    {
        if (i != 0 && separator != 0)
            text.push_back(separator);
        text += m_strings[i];
    }
    const std::string bytes = convertFromUnicode(text);
    memoryBuffer->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));

    HALVORAN_FUNCTION_END()
}

std::int32_t dataHandlerString::readSigned(const std::wstring& text)
{
    std::wistringstream stream(text);
    stream.imbue(std::locale::classic());
    std::int32_t value = 0;
    if (!(stream >> value))
        return 0;
    return value;
}

std::uint32_t dataHandlerString::readUnsigned(const std::wstring& text)
{
    // The stream extraction of an unsigned number takes "-1" as 2^32 - 1.
    std::wistringstream stream(text);
    stream.imbue(std::locale::classic());
    std::uint32_t value = 0;
    if (!(stream >> value))
        return 0;
    return value;
}

double dataHandlerString::readDouble(const std::wstring& text)
{
    std::wistringstream stream(text);
    stream.imbue(std::locale::classic());
    double value = 0;
    if (!(stream >> value))
        return 0;
    return value;
}

std::int32_t dataHandlerString::getSignedLong()
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::getSignedLong")

    return readSigned(getUnicodeString());

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataHandlerString::getUnsignedLong()
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::getUnsignedLong")

    return readUnsigned(getUnicodeString());

    HALVORAN_FUNCTION_END()
}

double dataHandlerString::getDouble()
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::getDouble")

    return readDouble(getUnicodeString());

    HALVORAN_FUNCTION_END()
}

std::string dataHandlerString::getString()
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::getString")

    return convertFromUnicode(getUnicodeString());

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerString::getUnicodeString()
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::getUnicodeString")

    if (m_elementNumber >= m_strings.size())
        return std::wstring();
    return m_strings[m_elementNumber];

    HALVORAN_FUNCTION_END()
}

void dataHandlerString::setSignedLong(std::int32_t value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::setSignedLong")

    setUnicodeString(std::to_wstring(value));

    HALVORAN_FUNCTION_END()
}

void dataHandlerString::setUnsignedLong(std::uint32_t value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::setUnsignedLong")

    setUnicodeString(std::to_wstring(value));

    HALVORAN_FUNCTION_END()
}

void dataHandlerString::setDouble(double value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::setDouble")

    std::wostringstream stream;
    stream.imbue(std::locale::classic());
    stream << std::fixed << value;
    setUnicodeString(stream.str());

    HALVORAN_FUNCTION_END()
}

void dataHandlerString::setString(const std::string& value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::setString")

    setUnicodeString(convertToUnicode(value));

    HALVORAN_FUNCTION_END()
}

void dataHandlerString::setUnicodeString(const std::wstring& value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerString::setUnicodeString")

    if (m_elementNumber >= m_strings.size())
        return;
    const std::uint32_t limit = maxSize();
    if (limit != 0 && value.size() > limit)
        m_strings[m_elementNumber] = value.substr(0, limit);
    else
        m_strings[m_elementNumber] = value;

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerString::convertToUnicode(const std::string& value)
{
    std::wstring result;
    result.reserve(value.size());
    for (char c : value)
        result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return result;
}

std::string dataHandlerString::convertFromUnicode(const std::wstring& value)
{
    std::string result;
    result.reserve(value.size());
    for (wchar_t c : value)
        result.push_back(static_cast<char>(static_cast<std::uint32_t>(c) & 0xFF));
    return result;
}

std::uint32_t dataHandlerString::maxSize()
{
    return 0;
}

wchar_t dataHandlerString::getSeparator()
{
    return L'\\';
}

} // namespace Halvoran::Varnix::handlers
