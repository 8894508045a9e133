#include "dicom/base/exceptionInfo.h"

namespace Halvoran
{

namespace
{
// Widens ASCII text one byte to one character; other bytes keep their value
// as Latin-1 so that no entry is ever lost.
std::wstring widen(const std::string& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (char c : text)
        result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return result;
}
} // namespace

exceptionInfo::exceptionInfo(const std::wstring& methodName, const std::string& fileName, std::int32_t lineNumber,
                             const std::string& exceptionType, const std::string& exceptionMessage)
    : m_methodName(methodName), m_fileName(fileName), m_lineNumber(lineNumber), m_exceptionType(exceptionType),
      m_exceptionMessage(exceptionMessage)
{
}

std::wstring exceptionInfo::format() const
{
    std::wstring text;
    text += L"[";
    text += m_methodName;
    text += L"]\n";
    text += L" file: ";
    text += widen(m_fileName);
    text += L"  line: ";
    text += std::to_wstring(m_lineNumber);
    text += L"\n";
    text += L" exception type: ";
    text += widen(m_exceptionType);
    text += L"\n";
    text += L" exception message: ";
    text += widen(m_exceptionMessage);
    text += L"\n";
    return text;
}

} // namespace Halvoran
