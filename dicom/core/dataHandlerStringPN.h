// Handler of PN values (person names; their component groups are the values).
#pragma once

#include "dicom/core/dataHandlerStringUnicode.h"

namespace Halvoran::Varnix::handlers
{

// PN (Person Name: the component groups are the values).
class dataHandlerStringPN : public dataHandlerStringUnicode
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 64; }
    wchar_t getSeparator() override { return L'='; }
};

} // namespace Halvoran::Varnix::handlers
