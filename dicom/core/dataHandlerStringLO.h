// Handler of LO values (long strings in the data set's character sets).
#pragma once

#include "dicom/core/dataHandlerStringUnicode.h"

namespace Halvoran::Varnix::handlers
{

// LO (Long String).
class dataHandlerStringLO : public dataHandlerStringUnicode
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 64; }
};

} // namespace Halvoran::Varnix::handlers
