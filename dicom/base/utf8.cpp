#include "dicom/base/utf8.h"

#include <cstdint>

namespace Halvoran
{

std::string wideToUtf8(const std::wstring& text)
{
    std::string result;
    result.reserve(text.size());
    for (wchar_t wc : text)
    {
        const std::uint32_t c = static_cast<std::uint32_t>(wc);
        if (c < 0x80)
            result.push_back(static_cast<char>(c));
        else if (c < 0x800)
        {
            result.push_back(static_cast<char>(0xC0 | (c >> 6)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else if (c < 0x10000)
        {
            result.push_back(static_cast<char>(0xE0 | (c >> 12)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else
        {
            result.push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
            result.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return result;
}

} // namespace Halvoran
