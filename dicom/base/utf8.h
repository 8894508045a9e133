// UTF-8 conversion of the toolkit's wide strings, for file names and for text handed
// to the application.
#pragma once

#include <string>

namespace Halvoran
{

/// UTF-8 form of a wide string (one code point per wchar_t). Used for file names
/// and for text shown outside the toolkit.
std::string wideToUtf8(const std::wstring& text);

} // namespace Halvoran
