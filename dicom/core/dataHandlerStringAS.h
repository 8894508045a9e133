// Handler of AS values (ages such as "018M"), read and written as years.
#pragma once

#include "dicom/core/dataHandlerString.h"

namespace Halvoran::Varnix::handlers
{

// AS (Age String): three digits and a unit, D days, W weeks, M months or Y
// years ("018M"). Numbers are ages in years.
class dataHandlerStringAS : public dataHandlerString
{
public:
    std::uint8_t getPaddingByte() override { return 0x20; }
    std::uint32_t getUnitSize() override { return 4; }
    std::uint32_t maxSize() override { return 4; }

    std::int32_t getSignedLong() override;
    std::uint32_t getUnsignedLong() override;
    double getDouble() override;
    void setSignedLong(std::int32_t value) override;
    void setUnsignedLong(std::uint32_t value) override;
    void setDouble(double value) override;

    // Stores the age with at least three digits, then the unit.
    virtual void setAge(std::uint32_t age, wchar_t unit);
    // The number at the start of the value and the unit after it; a value
    // without a unit is in years ("5" is 5 years, "" is 0 years).
    virtual std::uint32_t getAge(wchar_t* pUnit);
};

} // namespace Halvoran::Varnix::handlers
