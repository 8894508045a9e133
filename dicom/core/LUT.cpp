#include "dicom/core/LUT.h"

#include "dicom/base/exceptionsManager.h"

namespace Halvoran::Varnix
{

void lut::setLut(const ptr<handlers::dataHandler>& pDescriptor, const ptr<handlers::dataHandler>& pData,
                 const std::wstring& description)
{
    HALVORAN_FUNCTION_START(L"lut::setLut")

    if (!pDescriptor || pDescriptor->getSize() < 3)
        HALVORAN_THROW(lutExceptionCorrupted, "The LUT is corrupted");

    pDescriptor->setPointer(0);
    std::int32_t lutSize = pDescriptor->getSignedLongIncPointer();
    const std::int32_t firstMapped = pDescriptor->getSignedLongIncPointer();
    const std::uint8_t bits = static_cast<std::uint8_t>(pDescriptor->getUnsignedLongIncPointer());

    if (lutSize == 0)
        lutSize = 0x10000;
    if (lutSize < 0)
        lutSize &= 0xFFFF;

    if (!pData || pData->getSize() != static_cast<std::uint32_t>(lutSize))
        HALVORAN_THROW(lutExceptionCorrupted, "The LUT is corrupted");

    create(static_cast<std::uint32_t>(lutSize), firstMapped, bits, description);
    pData->copyToInt32(m_entries.data(), m_size);
    m_bRangeChecked = false;

    HALVORAN_FUNCTION_END()
}

void lut::create(std::uint32_t size, std::int32_t firstMapped, std::uint8_t bits, const std::wstring& description)
{
    HALVORAN_FUNCTION_START(L"lut::create")

    m_entries.clear();
    m_entries.shrink_to_fit();
    m_bRangeChecked = false;
    m_size = 0;
    m_description = description;
    if (size != 0)
    {
        m_entries.resize(size);
        m_size = size;
        m_firstMapped = firstMapped;
        m_bits = bits;
    }

    HALVORAN_FUNCTION_END()
}

bool lut::checkValidDataRange()
{
    if (m_bRangeChecked)
        return m_bRangeValid;
    const std::int32_t minValue = m_bits == 8 ? -128 : -32768;
    const std::int32_t maxValue = m_bits == 8 ? 255 : 65535;
    // Entries of no bits carry no value (their high bit would be below 0).
    m_bRangeValid = m_size == 0 || m_bits != 0;
    for (std::uint32_t i = 0; m_bRangeValid && i < m_size; ++i)
        if (m_entries[i] < minValue || m_entries[i] > maxValue)
        {
            m_bRangeValid = false;
            break;
        }
    m_bRangeChecked = true;
    return m_bRangeValid;
}

std::int32_t lut::mappedValue(std::int32_t input) const
{
    if (m_size == 0)
        return 0;
    const std::int64_t d = static_cast<std::int64_t>(input) - m_firstMapped;
    if (d <= 0)
        return m_entries[0];
    if (d < m_size)
        return m_entries[static_cast<std::size_t>(d)];
    return m_entries[m_size - 1];
}

} // namespace Halvoran::Varnix
