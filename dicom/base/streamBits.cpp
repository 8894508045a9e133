// The bit layer of the stream reader and writer, used by the JPEG codec's
// entropy coding.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"

namespace Halvoran
{

bool streamReader::readBits(std::uint32_t& bits, int count)
{
    HALVORAN_FUNCTION_START(L"streamReader::readBits")

    if (count <= 0)
    {
        bits = 0;
        return true;
    }
    std::uint32_t wanted = static_cast<std::uint32_t>(count);
    if (m_inBitsNum >= wanted)
    {
        bits = static_cast<std::uint32_t>(m_inBitsBuffer) >> (8 - wanted);
        m_inBitsBuffer = static_cast<std::uint8_t>(static_cast<std::uint32_t>(m_inBitsBuffer) << wanted);
        m_inBitsNum -= wanted;
        return true;
    }
    std::uint64_t result = 0;
    if (m_inBitsNum > 0)
    {
        result = static_cast<std::uint64_t>(m_inBitsBuffer >> (8 - m_inBitsNum)) << (wanted - m_inBitsNum);
        wanted -= m_inBitsNum;
        m_inBitsNum = 0;
    }
    for (;;)
    {
        if (!readByte(&m_inBitsBuffer))
        {
            m_inBitsNum = 0;
            bits = static_cast<std::uint32_t>(result);
            return false;
        }
        if (wanted <= 8)
        {
            bits = static_cast<std::uint32_t>(result | (static_cast<std::uint32_t>(m_inBitsBuffer) >> (8 - wanted)));
            m_inBitsBuffer = static_cast<std::uint8_t>(static_cast<std::uint32_t>(m_inBitsBuffer) << wanted);
            m_inBitsNum = 8 - wanted;
            return true;
        }
        result |= static_cast<std::uint64_t>(m_inBitsBuffer) << (wanted - 8);
        wanted -= 8;
    }

    HALVORAN_FUNCTION_END()
}

bool streamReader::addBitSlow(std::uint32_t& code)
{
    if (m_inBitsNum == 0)
    {
        if (!readByte(&m_inBitsBuffer))
            return false;
        m_inBitsNum = 8;
    }
    code = (code << 1) | (static_cast<std::uint32_t>(m_inBitsBuffer) >> 7);
    m_inBitsBuffer = static_cast<std::uint8_t>(m_inBitsBuffer << 1);
    --m_inBitsNum;
    return true;
}

void streamWriter::writeBits(const std::uint32_t& bits, int count)
{
    while (count > 0)
    {
        const std::uint32_t value =
            count >= 32 ? bits : (bits & ((1u << static_cast<std::uint32_t>(count)) - 1u));
        const std::uint32_t freeBits = 8 - m_outBitsNum;
        const std::uint32_t wanted = static_cast<std::uint32_t>(count);
        if (wanted <= freeBits)
        {
            m_outBitsBuffer = static_cast<std::uint8_t>(m_outBitsBuffer | (value << (freeBits - wanted)));
            m_outBitsNum += wanted;
            count = 0;
        }
        else
        {
            m_outBitsBuffer = static_cast<std::uint8_t>(m_outBitsBuffer | (value >> (wanted - freeBits)));
            count -= static_cast<int>(freeBits);
            m_outBitsNum = 8;
        }
        if (m_outBitsNum == 8)
        {
            m_outBitsNum = 0;
            if (m_pDataBufferCurrent == m_pDataBufferMaxEnd)
                flush();
            *m_pDataBufferCurrent++ = m_outBitsBuffer;
            if (m_pTagByte != nullptr && m_outBitsBuffer == 0xFF)
            {
                if (m_pDataBufferCurrent == m_pDataBufferMaxEnd)
                {
                    m_pDataBufferEnd = m_pDataBufferCurrent;
                    flush();
                }
                *m_pDataBufferCurrent++ = 0;
            }
            m_pDataBufferEnd = m_pDataBufferCurrent;
            m_outBitsBuffer = 0;
        }
    }
}

} // namespace Halvoran
