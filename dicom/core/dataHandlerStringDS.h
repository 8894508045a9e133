// Handler of DS values (decimal numbers stored as text).
#pragma once

#include "dicom/core/dataHandlerString.h"

namespace Halvoran::Varnix::handlers
{

// DS (Decimal String).
class dataHandlerStringDS : public dataHandlerString
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 16; }

    std::int32_t getSignedLong() override;
    std::uint32_t getUnsignedLong() override;
    void setSignedLong(std::int32_t value) override;
    void setUnsignedLong(std::uint32_t value) override;
    // The shortest text (from six significant digits on) that reads back as
    // the same number, cut to the precision that fits in 16 characters.
    void setDouble(double value) override;

    static std::wstring formatDecimal(double value);
};

} // namespace Halvoran::Varnix::handlers
