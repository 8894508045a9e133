// One recorded step of an exception's way up through the toolkit's traced methods.
#pragma once

#include <cstdint>
#include <string>

namespace Halvoran
{

// One entry of a thread's exception trail.
class exceptionInfo
{
public:
    exceptionInfo(const std::wstring& methodName, const std::string& fileName, std::int32_t lineNumber,
                  const std::string& exceptionType, const std::string& exceptionMessage);
    exceptionInfo(const exceptionInfo&) = default;
    exceptionInfo& operator=(const exceptionInfo&) = default;

    // "[method]\n file: F  line: N\n exception type: T\n exception message: M\n"
    std::wstring format() const;

    std::wstring m_methodName;
    std::string m_fileName;
    std::int32_t m_lineNumber;
    std::string m_exceptionType;
    std::string m_exceptionMessage;
};

} // namespace Halvoran
