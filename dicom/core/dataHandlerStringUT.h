// Handler of UT values (unlimited text in the data set's character sets).
#pragma once

#include "dicom/core/dataHandlerStringUnicode.h"

namespace Halvoran::Varnix::handlers
{

// UT (Unlimited Text: one value, no length limit).
class dataHandlerStringUT : public dataHandlerStringUnicode
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 0; }
    wchar_t getSeparator() override { return 0; }
};

} // namespace Halvoran::Varnix::handlers
