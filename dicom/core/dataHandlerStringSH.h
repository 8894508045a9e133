// Handler of SH values (short strings in the data set's character sets).
#pragma once

#include "dicom/core/dataHandlerStringUnicode.h"

namespace Halvoran::Varnix::handlers
{

// SH (Short String).
class dataHandlerStringSH : public dataHandlerStringUnicode
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 16; }
};

} // namespace Halvoran::Varnix::handlers
