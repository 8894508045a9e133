// Handler of AE values (application entity titles).
#pragma once

#include "dicom/core/dataHandlerString.h"

namespace Halvoran::Varnix::handlers
{

// AE (Application Entity).
class dataHandlerStringAE : public dataHandlerString
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 16; }
};

} // namespace Halvoran::Varnix::handlers
