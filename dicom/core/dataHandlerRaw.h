// Handler that gives any value as its raw bytes.
#pragma once

#include "dicom/core/dataHandlerNumeric.h"

namespace Halvoran::Varnix::handlers
{

// The bytes of any value as unsigned 8-bit elements.
class dataHandlerRaw : public dataHandlerNumeric<std::uint8_t>
{
public:
    dataHandlerRaw() = default;
};

} // namespace Halvoran::Varnix::handlers
