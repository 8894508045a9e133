// Handler of LT values (long text in the data set's character sets).
#pragma once

#include "dicom/core/dataHandlerStringUnicode.h"

namespace Halvoran::Varnix::handlers
{

// LT (Long Text: one value).
class dataHandlerStringLT : public dataHandlerStringUnicode
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 10240; }
    wchar_t getSeparator() override { return 0; }
};

} // namespace Halvoran::Varnix::handlers
