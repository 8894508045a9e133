// Handler of IS values (integers stored as text).
#pragma once

#include "dicom/core/dataHandlerString.h"

namespace Halvoran::Varnix::handlers
{

// IS (Integer String).
class dataHandlerStringIS : public dataHandlerString
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 12; }

    double getDouble() override;
    void setDouble(double value) override;
};

} // namespace Halvoran::Varnix::handlers
