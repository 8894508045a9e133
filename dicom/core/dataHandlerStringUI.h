// Handler of UI values (unique identifiers such as the transfer syntax).
#pragma once

#include "dicom/core/dataHandlerString.h"

namespace Halvoran::Varnix::handlers
{

// UI (Unique Identifier: one value, padded with NUL).
class dataHandlerStringUI : public dataHandlerString
{
public:
    std::uint8_t getPaddingByte() override { return 0x00; }
    std::uint32_t getUnitSize() override { return 0; }
    std::uint32_t maxSize() override { return 64; }
    wchar_t getSeparator() override { return 0; }
};

} // namespace Halvoran::Varnix::handlers
