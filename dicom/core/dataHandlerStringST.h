// Handler of ST values (short text in the data set's character sets).
#pragma once

#include "dicom/core/dataHandlerStringUnicode.h"

namespace Halvoran::Varnix::handlers
{

// ST (Short Text: one value).
class dataHandlerStringST : public dataHandlerStringUnicode
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 1024; }
    wchar_t getSeparator() override { return 0; }
};

} // namespace Halvoran::Varnix::handlers
